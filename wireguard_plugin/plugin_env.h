// PluginEnv: everything the WireGuard plugin asks of the operating system.
//
// The plugin's logic (what to run, what to log, how to judge the answers) is
// platform-independent and talks to Windows only through this interface.
// Win32PluginEnv (win32_plugin_env.cc) is the one production implementation;
// FakePluginEnv (fake_plugin_env.h) scripts answers for unit tests, records
// every call, and turns waits into recorded numbers instead of sleeps.
//
// Contract for all operations: none of them throws, and each one closes every
// handle it opens before it returns. Paths and command lines are narrow texts
// in the system's ANSI code page. An operation that can fail in more than one
// way answers a Status; one that either works or does not answers a bool or
// an empty optional.
#ifndef ORVA_WIREGUARD_PLUGIN_PLUGIN_ENV_H_
#define ORVA_WIREGUARD_PLUGIN_PLUGIN_ENV_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// Shell folder ids (CSIDL values) that the plugin asks ShellFolder for.
inline constexpr int kCsidlPersonal = 0x05;       // the user's Documents
inline constexpr int kCsidlCommonAppData = 0x23;  // ProgramData
inline constexpr int kCsidlProgramFiles = 0x26;   // the 64-bit program folder

// The security descriptor of our folders under ProgramData (SDDL): owned by
// the Administrators group, full access for LocalSystem and Administrators,
// handed down to what is inside, and nothing inherited from ProgramData,
// which lets every user read and make folders.
inline constexpr char kProtectedFolderSddl[] = "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

// The outcome of an operation: it worked, or the step that failed and the
// system's error number (GetLastError) there, 0 where there is none.
class Status {
 public:
  enum class Step {
    kNone,                  // it worked
    kCreatePipe,            // CreatePipe
    kSetHandleInformation,  // making the pipe's read end non-inheritable
    kCreateProcess,         // CreateProcessA
    kOpen,                  // creating or opening a file
    kWrite,                 // writing or closing it
    kFlush,                 // FlushFileBuffers
    kRemove,                // removing a file
    kTimedOut,              // the wait ended first
  };

  Status() = default;
  static Status Failed(Step step, uint32_t error = 0) { return Status(step, error); }

  bool ok() const { return step_ == Step::kNone; }
  Step step() const { return step_; }
  uint32_t error() const { return error_; }
  // The failed step by the system call that failed there, as log lines name
  // it ("CreateProcess error: 2").
  const char* what() const {
    static constexpr const char* kCalls[] = {
        "",          "CreatePipe",       "SetHandleInformation", "CreateProcess",      "CreateFile",
        "WriteFile", "FlushFileBuffers", "DeleteFile",           "WaitForSingleObject"};
    return kCalls[static_cast<int>(step_)];
  }

 private:
  Status(Step step, uint32_t error) : step_(step), error_(error) {}
  Step step_ = Step::kNone;
  uint32_t error_ = 0;
};

// The outcome of running one command line as a hidden child process whose
// standard output and standard error go into one pipe.
struct ProcessRun {
  // Whether the child was started: kCreatePipe, kSetHandleInformation or
  // kCreateProcess with its error number when it was not.
  Status status;

  // The child's bytes exactly as read, in the order written (at most the
  // kept-output bound; the rest was read and discarded).
  std::string output;

  // The child's exit code as the system reports it; 1 when the child had to
  // be terminated or the wait for it failed.
  uint32_t exit_code = 1;

  // True when the child was terminated because it outlived its bounds: still
  // running 2000 ms after its output ended, or the whole run took longer than
  // the overall bound (for example a grandchild kept the pipe open).
  bool terminated = false;

  // True when the run was cut short, or never started, because the program
  // is closing (see PluginEnv::SetInterrupted).
  bool interrupted = false;
};

class PluginEnv {
 public:
  virtual ~PluginEnv() = default;

  // How a child is started. The command interpreter gets a hidden console of
  // its own, shared by the tools it starts, so that their output reaches the
  // pipe too. A tool started directly gets no console at all: it writes to
  // the pipe it is handed, and no console host process starts beside it.
  enum class Console { kNone, kHidden };

  // Runs |command_line| exactly as given (any interpreter prefix is already
  // part of it) hidden, with inherited pipe handles, and collects its output.
  // Children (these and installers) never get WG_HIDE_KEYS from us: with it,
  // wg.exe would print the tunnel's keys.
  // The run is bounded: reading stops after an overall limit (30 s in
  // production), the child is then terminated and |terminated| set; a child
  // still alive 2000 ms after its output ended is terminated likewise. Only
  // the first few MiB of output are kept. Logging is the caller's business.
  virtual ProcessRun RunHidden(const std::string& command_line, Console console) = 0;

  // Starts an installer command line hidden and detached, calls |started|
  // once it runs and before the wait begins, waits up to |timeout_ms| for it
  // to end, and closes its handles. ok when it ended in time; kCreateProcess
  // with its error number when it did not start; kTimedOut when the wait
  // ended first (the installer keeps running).
  virtual Status RunInstaller(const std::string& command_line, uint32_t timeout_ms,
                              const std::function<void()>& started) = 0;

  // The system's own program folder (GetSystemDirectoryA, 260 characters),
  // for example "C:\Windows\system32", where cmd.exe and msiexec.exe live.
  // Empty when it cannot be had: the plugin then starts neither, rather than
  // let a search by bare name find one elsewhere.
  virtual std::string SystemFolder() = 0;

  // Tells every top-level window that the environment changed
  // (WM_SETTINGCHANGE "Environment", abort if hung, 5000 ms).
  virtual void BroadcastEnvironmentChange() = 0;

  // True when a file or folder exists at |path|. A path whose status cannot
  // be determined (access denied, malformed) counts as absent.
  virtual bool Exists(const std::string& path) = 0;

  // SHGetFolderPathA(csidl, current path) into a 260-character buffer; no
  // value when the call does not succeed.
  virtual std::optional<std::string> ShellFolder(int csidl) = 0;

  // A folder as the wide query names it, in the two narrow forms the plugin
  // needs: UTF-8 for the UI's channel, whose strings are UTF-8, and the ANSI
  // code page for log lines (what the ANSI query would give: characters the
  // code page lacks become '?', so it cannot name every folder).
  struct FolderName {
    std::string utf8;
    std::string ansi;
  };
  // SHGetFolderPathW(csidl, current path) into a 260-character buffer; no
  // value when the call does not succeed or the folder has no UTF-8 form.
  virtual std::optional<FolderName> ShellFolderName(int csidl) = 0;

  // True when HKEY_LOCAL_MACHINE\|subkey| can be opened for reading.
  virtual bool MachineKeyExists(const std::string& subkey) = 0;

  // The value of an environment variable, or no value when it is unset.
  virtual std::optional<std::string> EnvironmentVariable(const std::string& name) = 0;

  // GetShortPathNameA with a 260-character buffer: the short form when the
  // call returns a length from 1 to 260, else no value.
  virtual std::optional<std::string> ShortPathName(const std::string& path) = 0;

  // The executable's own full path (GetModuleFileNameA, 260 characters), or
  // an empty text when it cannot be had.
  virtual std::string ModuleFileName() = 0;

  // Makes the folder |path|, whose parent must exist, with the security
  // descriptor |sddl| (SDDL text: owner and protected DACL), or finds it and
  // repairs it: a folder gets that owner and DACL; a link there (a junction
  // or a symbolic link) is removed, the link itself and never its target,
  // and a real folder made in its place. False when |path| is not such a
  // folder afterwards: a file in the way, no rights, or a link that cannot be
  // removed safely (where the system would act on the target instead).
  virtual bool CreateProtectedFolder(const std::string& path, const std::string& sddl) = 0;

  // Creates the new file |path| and writes |bytes| unchanged (binary), then
  // flushes them to the disk (FlushFileBuffers) and closes it. Anything
  // already at |path| fails the open (kOpen): a file made by someone else is
  // never written into. A non-empty |sddl| (SDDL text) is the file's security
  // descriptor from its creation on; an SDDL text that cannot be converted
  // fails the open. Empty means the folder's inherited default. kWrite
  // covers a failed write (a full disk) and a failed close; kFlush a failed
  // flush. A file that was created stays, whatever the outcome: removing it
  // is the caller's job.
  virtual Status WriteFile(const std::string& path, const std::string& bytes,
                           const std::string& sddl) = 0;

  // Puts the file |from| in the place of |to| in one step, replacing any
  // file there, and returns once that is on the disk (MoveFileExW with
  // MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH). False when the move
  // did not happen: both files are then as they were.
  virtual bool MoveFileOver(const std::string& from, const std::string& to) = 0;

  // Makes the file at |path|, if there is one, a file we may go on writing
  // into: one that is not ours (its owner is not its folder's, a link, or a
  // second name of another file) is removed, so that the next write makes
  // a new one. False when such a file cannot be removed.
  virtual bool ClaimFile(const std::string& path) = 0;

  // Appends |bytes| to the file |path|, which is created (with the folder's
  // inherited access) when missing. False when not all of them were written.
  virtual bool AppendFile(const std::string& path, const std::string& bytes) = 0;

  // The size of the file at |path| in bytes; no value when there is none or
  // it cannot be read.
  virtual std::optional<uint64_t> FileSize(const std::string& path) = 0;

  // Removes the file at |path| (kRemove when it cannot be removed).
  virtual Status RemoveFile(const std::string& path) = 0;

  // Blocks the calling thread for |milliseconds|.
  virtual void Sleep(uint32_t milliseconds) = 0;

  // While interrupted (the program is closing), nothing waits: a tool run in
  // progress ends at once with its whole process tree and later runs start
  // nothing (both come back |interrupted|), sleeps return at once, an
  // installer wait ends as a timed-out one (the installer runs on), and the
  // environment broadcast is skipped. Any thread may set it.
  virtual void SetInterrupted(bool interrupted) = 0;

  // One OutputDebugStringA call with |text|.
  virtual void DebugOutput(const std::string& text) = 0;

  // The current time in UTC (GetSystemTime).
  struct UtcTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
  };
  virtual UtcTime UtcNow() = 0;

  // |text|, in the system's ANSI code page, as UTF-8.
  virtual std::string AnsiToUtf8(const std::string& text) = 0;

  // The version of Windows that runs us, "major.minor.build" (for example
  // "10.0.19045"), when the system tells it.
  virtual std::optional<std::string> WindowsVersion() = 0;
};

// The process-wide Win32 implementation (Windows builds only).
PluginEnv& SystemPluginEnv();

#endif  // ORVA_WIREGUARD_PLUGIN_PLUGIN_ENV_H_
