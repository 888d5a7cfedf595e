// Test helpers that run the stand-in programs as real child processes under
// Windows (or Wine) and collect what they print, plus scoped changes of the
// environment and the state folder.
#ifndef ORVA_STANDINS_WIREGUARD_TESTS_PROCESS_RUNNER_H_
#define ORVA_STANDINS_WIREGUARD_TESTS_PROCESS_RUNNER_H_

#include <windows.h>

#include <optional>
#include <string>

namespace wg_standin_test {

struct ProgramRun {
  bool started = false;
  bool finished = false;  // false: still running after the wait and terminated
  DWORD exit_code = 0;
  std::string out;  // standard output, bytes as written
  std::string err;  // standard error, bytes as written
};

// Runs |command_line| with separate pipes for its standard output and error
// and waits up to |wait_ms| for it; a program still running then is
// terminated. The output is read until every writer has closed its end.
ProgramRun RunProgram(const std::wstring& command_line, DWORD wait_ms = 60000);

// Runs |command_line| with no standard handles and nothing inherited, as the
// product starts installers, and waits up to |wait_ms|. Wine may start its
// desktop process from such a program, and that process would keep any
// inherited pipe open for good. Returns the exit code, or no value when the
// program did not start or did not end in time (it is terminated then).
std::optional<DWORD> RunWithoutPipes(const std::wstring& command_line, DWORD wait_ms);

// Folders of the build tree, found from the test executable (<build>\bin).
std::wstring StandinFolder();  // <build>\standins\wireguard
std::wstring ToolsFolder();    // <build>\standins\wireguard\tools

// "\"<tools>\\wg.exe\" " + arguments, and likewise for wireguard.exe.
std::wstring Wg(const std::wstring& arguments);
std::wstring Wireguard(const std::wstring& arguments);

// Sets an environment variable (inherited by the programs run) for the
// lifetime of the object, restoring the previous value afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const wchar_t* name, const std::wstring& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::wstring name_;
  std::optional<std::wstring> previous_;
};

// A fresh, empty state folder for the stand-in tools, removed with its
// content at the end of the scope.
class ScopedStateFolder {
 public:
  ScopedStateFolder();
  ~ScopedStateFolder();
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
  ScopedEnv env_;
};

bool WriteTextFile(const std::wstring& path, const std::string& text);
bool FileExists(const std::wstring& path);
// Removes a folder and everything in it; true when it is gone.
bool RemoveTree(const std::wstring& path);

}  // namespace wg_standin_test

#endif  // ORVA_STANDINS_WIREGUARD_TESTS_PROCESS_RUNNER_H_
