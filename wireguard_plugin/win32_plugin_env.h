// Win32PluginEnv: the plugin's access to Windows (see plugin_env.h for the
// contract of each operation). Windows builds only.
//
// SystemPluginEnv() is the instance the product uses, with the production
// bounds below; tests may build their own with tighter bounds.
#ifndef ORVA_WIREGUARD_PLUGIN_WIN32_PLUGIN_ENV_H_
#define ORVA_WIREGUARD_PLUGIN_WIN32_PLUGIN_ENV_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "common/unique_handle.h"
#include "wireguard_plugin/plugin_env.h"

// The bounds of one RunHidden call.
struct RunLimits {
  // The whole read phase: past it the child is terminated and the output
  // read so far is returned (a grandchild holding the pipe's write end would
  // otherwise keep the read going for good).
  uint32_t overall_ms = 30000;
  // How long a child may live on after its output ended.
  uint32_t exit_wait_ms = 2000;
  // Output kept in memory; anything beyond is read and discarded.
  size_t kept_output_bytes = size_t{4} << 20;
};

class Win32PluginEnv : public PluginEnv {
 public:
  explicit Win32PluginEnv(RunLimits limits = RunLimits());

  ProcessRun RunHidden(const std::string& command_line, Console console) override;
  Status RunInstaller(const std::string& command_line, uint32_t timeout_ms,
                      const std::function<void()>& started) override;
  std::string SystemFolder() override;
  void BroadcastEnvironmentChange() override;
  bool Exists(const std::string& path) override;
  std::optional<std::string> ShellFolder(int csidl) override;
  std::optional<FolderName> ShellFolderName(int csidl) override;
  bool MachineKeyExists(const std::string& subkey) override;
  std::optional<std::string> EnvironmentVariable(const std::string& name) override;
  std::optional<std::string> ShortPathName(const std::string& path) override;
  std::string ModuleFileName() override;
  bool CreateProtectedFolder(const std::string& path, const std::string& sddl) override;
  Status WriteFile(const std::string& path, const std::string& bytes,
                   const std::string& sddl) override;
  bool MoveFileOver(const std::string& from, const std::string& to) override;
  bool ClaimFile(const std::string& path) override;
  bool AppendFile(const std::string& path, const std::string& bytes) override;
  std::optional<uint64_t> FileSize(const std::string& path) override;
  Status RemoveFile(const std::string& path) override;
  void Sleep(uint32_t milliseconds) override;
  void DebugOutput(const std::string& text) override;
  UtcTime UtcNow() override;
  std::string AnsiToUtf8(const std::string& text) override;
  std::optional<std::string> WindowsVersion() override;
  void SetInterrupted(bool interrupted) override;

 private:
  // Waits for |handle| for up to |milliseconds|: WAIT_OBJECT_0 when it was
  // signalled, WAIT_TIMEOUT, kInterruptedWait while interrupted, or
  // WAIT_FAILED.
  static constexpr unsigned long kInterruptedWait = 0x1000;
  unsigned long WaitUnlessInterrupted(HANDLE handle, uint32_t milliseconds) const;
  bool Interrupted() const;

  RunLimits limits_;
  // A manual-reset event, set while interrupted.
  UniqueHandle interrupted_;
};

#endif  // ORVA_WIREGUARD_PLUGIN_WIN32_PLUGIN_ENV_H_
