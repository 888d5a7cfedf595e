// FakePluginEnv: a scripted PluginEnv for unit tests.
//
// Tests describe the machine (files, folders, registry keys, environment,
// shell folders, short names) in plain containers and script process runs
// with a function. Every call is appended to |events| in order, so a test can
// check what happened and in which order; Sleep only records its duration.
#ifndef ORVA_WIREGUARD_PLUGIN_FAKE_PLUGIN_ENV_H_
#define ORVA_WIREGUARD_PLUGIN_FAKE_PLUGIN_ENV_H_

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "wireguard_plugin/plugin_env.h"

class FakePluginEnv : public PluginEnv {
 public:
  // --- The machine.
  std::set<std::string> paths;                   // existing files and folders
  std::set<std::string> undeterminable;          // paths whose status query fails
  std::map<std::string, std::string> files;      // contents written by WriteFile
  std::map<std::string, std::string> file_sddl;  // descriptor given when written
  std::map<int, std::string> shell_folders;      // CSIDL -> folder (ANSI)
  // CSIDL -> UTF-8 name, where it differs from the ANSI one above.
  std::map<int, std::string> shell_folders_utf8;
  std::set<std::string> machine_keys;  // openable HKLM subkeys
  std::map<std::string, std::string> environment;
  std::map<std::string, std::string> short_names;
  std::string module_file_name = "C:\\Program Files\\ORVA VPN\\orva_vpn.exe";
  std::string system_folder = "C:\\Windows\\system32";
  std::set<std::string> blocked_folders;  // CreateProtectedFolder fails for these
  // WriteFile's faults by path; an entry ending in '*' names every path it begins.
  std::set<std::string> unwritable;     // WriteFile, ClaimFile and AppendFile fail on these
  std::set<std::string> write_fails;    // WriteFile opens, writes half, then fails
  std::set<std::string> flush_fails;    // WriteFile writes all, the flush fails
  std::set<std::string> unreplaceable;  // MoveFileOver fails with these as |to|
  std::map<std::string, std::string> folder_sddl;  // descriptor given by CreateProtectedFolder
  UtcTime now{2026, 12, 7, 3, 4, 5, 67};
  std::optional<std::string> windows_version = "10.0.19045";
  std::set<std::string> unremovable;  // RemoveFile fails for these

  // --- Scripted processes. Default: exits 0 with no output.
  std::function<ProcessRun(const std::string& command_line)> on_run;
  // Default: the installer starts and ends in time.
  std::function<Status(const std::string& command_line, uint32_t timeout_ms)> on_installer;
  // Runs before each log line is recorded (a test may throw from it).
  std::function<void(const std::string& text)> on_log;

  // --- What happened, in order: "run <cmd>", "installer <cmd> <ms>" (the
  // start), "installer-wait" (the wait for a started installer begins),
  // "broadcast", "sleep <ms>", "log <text>", "write <path>", "remove <path>",
  // "mkdir <path>", "replace <from> <to>".
  std::vector<std::string> events;
  std::vector<std::string> logs;  // DebugOutput texts only
  std::vector<std::string> runs;  // RunHidden command lines only
  std::vector<uint32_t> sleeps;   // Sleep durations only

  ProcessRun RunHidden(const std::string& command_line, Console) override {
    events.push_back("run " + command_line);
    runs.push_back(command_line);
    if (on_run) return on_run(command_line);
    ProcessRun run;
    run.exit_code = 0;
    return run;
  }

  Status RunInstaller(const std::string& command_line, uint32_t timeout_ms,
                      const std::function<void()>& started) override {
    events.push_back("installer " + command_line + " " + std::to_string(timeout_ms));
    const Status run = on_installer ? on_installer(command_line, timeout_ms) : Status();
    if (run.step() == Status::Step::kCreateProcess) return run;
    if (started) started();
    events.push_back("installer-wait");
    return run;
  }

  std::string SystemFolder() override { return system_folder; }

  void BroadcastEnvironmentChange() override { events.push_back("broadcast"); }

  // As on Windows, letter case does not matter.
  bool Exists(const std::string& path) override {
    if (undeterminable.count(path)) return false;
    auto same = [&](const std::string& known) {
      return std::equal(known.begin(), known.end(), path.begin(), path.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
      });
    };
    return std::any_of(paths.begin(), paths.end(), same);
  }

  std::optional<std::string> ShellFolder(int csidl) override {
    auto it = shell_folders.find(csidl);
    if (it == shell_folders.end()) return std::nullopt;
    return it->second;
  }

  std::optional<FolderName> ShellFolderName(int csidl) override {
    std::optional<std::string> ansi = ShellFolder(csidl);
    if (!ansi) return std::nullopt;
    auto utf8 = shell_folders_utf8.find(csidl);
    return FolderName{utf8 != shell_folders_utf8.end() ? utf8->second : *ansi, *ansi};
  }

  bool MachineKeyExists(const std::string& subkey) override {
    return machine_keys.count(subkey) > 0;
  }

  std::optional<std::string> EnvironmentVariable(const std::string& name) override {
    auto it = environment.find(name);
    if (it == environment.end()) return std::nullopt;
    return it->second;
  }

  std::optional<std::string> ShortPathName(const std::string& path) override {
    auto it = short_names.find(path);
    if (it != short_names.end()) return it->second;
    if (paths.count(path)) return path;  // short name of a plain path is itself
    return std::nullopt;
  }

  std::string ModuleFileName() override { return module_file_name; }

  bool CreateProtectedFolder(const std::string& path, const std::string& sddl) override {
    events.push_back("mkdir " + path);
    if (blocked_folders.count(path)) return false;
    paths.insert(path);
    folder_sddl[path] = sddl;
    return true;
  }

  Status WriteFile(const std::string& path, const std::string& bytes,
                   const std::string& sddl) override {
    events.push_back("write " + path);
    if (Listed(unwritable, path) || paths.count(path))
      return Status::Failed(Status::Step::kOpen, 5);
    paths.insert(path);
    file_sddl[path] = sddl;
    if (Listed(write_fails, path)) {
      files[path] = bytes.substr(0, bytes.size() / 2);  // the disk filled up
      return Status::Failed(Status::Step::kWrite, 112);
    }
    files[path] = bytes;
    return Listed(flush_fails, path) ? Status::Failed(Status::Step::kFlush, 5) : Status();
  }

  static bool Listed(const std::set<std::string>& set, const std::string& path) {
    return std::any_of(set.begin(), set.end(), [&](const std::string& entry) {
      return entry == path || (!entry.empty() && entry.back() == '*' &&
                               path.compare(0, entry.size() - 1, entry, 0, entry.size() - 1) == 0);
    });
  }

  bool MoveFileOver(const std::string& from, const std::string& to) override {
    events.push_back("replace " + from + " " + to);
    if (unreplaceable.count(to) || !paths.count(from)) return false;
    files[to] = files[from];
    file_sddl[to] = file_sddl[from];
    paths.insert(to);
    paths.erase(from);
    files.erase(from);
    file_sddl.erase(from);
    return true;
  }

  bool ClaimFile(const std::string& path) override { return !unwritable.count(path); }

  bool AppendFile(const std::string& path, const std::string& bytes) override {
    if (unwritable.count(path)) return false;
    paths.insert(path);
    files[path] += bytes;
    return true;
  }

  std::optional<uint64_t> FileSize(const std::string& path) override {
    auto it = files.find(path);
    if (it == files.end()) return std::nullopt;
    return it->second.size();
  }

  Status RemoveFile(const std::string& path) override {
    events.push_back("remove " + path);
    if (unremovable.count(path)) return Status::Failed(Status::Step::kRemove, 5);
    paths.erase(path);
    files.erase(path);
    file_sddl.erase(path);
    return Status();
  }

  void Sleep(uint32_t milliseconds) override {
    events.push_back("sleep " + std::to_string(milliseconds));
    sleeps.push_back(milliseconds);
  }

  // Records the change; |on_interrupt| lets a test release a scripted run
  // that is waiting (it may be called from the thread that shuts down).
  std::function<void(bool interrupted)> on_interrupt;
  void SetInterrupted(bool interrupted) override {
    if (on_interrupt) on_interrupt(interrupted);
  }

  void DebugOutput(const std::string& text) override {
    if (on_log) on_log(text);
    events.push_back("log " + text);
    logs.push_back(text);
  }

  UtcTime UtcNow() override { return now; }
  // The fake machine's ANSI code page is UTF-8.
  std::string AnsiToUtf8(const std::string& text) override { return text; }
  std::optional<std::string> WindowsVersion() override { return windows_version; }
};

#endif  // ORVA_WIREGUARD_PLUGIN_FAKE_PLUGIN_ENV_H_
