// The plugin over the real Win32 platform, under Wine or Windows: real child
// processes and cmd.exe, a real prefix's Program Files, ProgramData and
// registry, and the debugger output buffer.
//
// These tests change machine state (files under Program Files and
// ProgramData, HKLM\SOFTWARE\WireGuard) and own the debug output buffer, so
// they run serially and put back what they change.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "codec/method_channel.h"
#include "common/unique_handle.h"
#include "tools/debug_output_listener/debug_output_capture.h"
#include "wireguard_plugin/support_log.h"
#include "wireguard_plugin/win32_plugin_env.h"
#include "wireguard_plugin/wireguard_plugin.h"

namespace {

// The real platform, with every log line also kept for the test.
class RecordingEnv : public Win32PluginEnv {
 public:
  using Win32PluginEnv::Win32PluginEnv;
  void DebugOutput(const std::string& text) override {
    logs.push_back(text);
    Win32PluginEnv::DebugOutput(text);
  }
  std::vector<std::string> logs;
};

std::string Log(const std::string& message) { return "[WireGuardPlugin] " + message; }

int Count(const std::vector<std::string>& lines, const std::string& line) {
  int count = 0;
  for (const std::string& l : lines) count += l == line;
  return count;
}

std::string OwnFolder() {
  char path[MAX_PATH] = {};
  ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder = path;
  return folder.substr(0, folder.find_last_of('\\'));
}

std::string Child() { return "\"" + OwnFolder() + "\\plugin_test_child.exe\""; }
std::string GuiChild() { return "\"" + OwnFolder() + "\\plugin_test_gui_child.exe\""; }

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// How many temporary files of a save are in |folder|.
int Temporaries(const std::string& folder) {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    count += std::regex_match(entry.path().filename().string(),
                              std::regex(R"(orva_divuv\.conf\..*\.tmp)"));
  }
  return count;
}

// Runs a setup command (reg add, ...) and insists that it worked.
void RunSetup(const std::string& command_line) {
  ProcessRun run = Win32PluginEnv().RunHidden(command_line, PluginEnv::Console::kNone);
  ASSERT_TRUE(run.status.ok()) << command_line;
  ASSERT_EQ(run.exit_code, 0u) << command_line << ": " << run.output;
}

// Runs a setup command whose failure is fine (deleting what may be absent).
void RunAnyway(const std::string& command_line) {
  Win32PluginEnv().RunHidden(command_line, PluginEnv::Console::kNone);
}

// Removes a file or an empty folder now and again when the scope ends.
class Cleanup {
 public:
  explicit Cleanup(std::vector<std::string> paths) : paths_(std::move(paths)) { Clean(); }
  ~Cleanup() { Clean(); }

 private:
  void Clean() {
    for (const std::string& path : paths_) {
      ::DeleteFileA(path.c_str());
      ::RemoveDirectoryA(path.c_str());
    }
  }
  std::vector<std::string> paths_;
};

// Moves a folder out of the way for the scope and puts it back afterwards,
// so the tests start from a machine without WireGuard even in a prefix where
// other tests installed it.
class SetAside {
 public:
  explicit SetAside(std::string path) : path_(std::move(path)), aside_(path_ + ".orva-test-aside") {
    moved_ = ::MoveFileA(path_.c_str(), aside_.c_str()) != 0;
  }
  ~SetAside() {
    if (moved_) ::MoveFileA(aside_.c_str(), path_.c_str());
  }

 private:
  std::string path_;
  std::string aside_;
  bool moved_ = false;
};

class Win32PluginTest : public ::testing::Test {
 protected:
  ~Win32PluginTest() override {
    if (had_registry_key_) RunAnyway("reg add HKLM\\SOFTWARE\\WireGuard /f");
  }

  SetAside program_files_{"C:\\Program Files\\WireGuard"};
  SetAside program_files_x86_{"C:\\Program Files (x86)\\WireGuard"};
  SetAside program_data_{"C:\\ProgramData\\WireGuard"};
  RecordingEnv env_;
  bool had_registry_key_ = env_.MachineKeyExists("SOFTWARE\\WireGuard");
  WireguardPlugin plugin_{nullptr, env_};
};

// --- Command runner -------------------------------------------------------

TEST_F(Win32PluginTest, InterpreterRunsQuotedCommandsAsWritten) {
  std::string output;
  // More than two quotes: plain "cmd.exe /c" would strip the first and last.
  EXPECT_EQ(plugin_.ExecuteCommand(
                Child() + " print \"a b\" && " + Child() + " print \"|c\" exit 4", output),
            4);
  EXPECT_EQ(output, "a b|c");

  // A trailing " 2>&1" runs the tool directly: the same bytes (standard
  // error interleaved, line ends untouched) and the same exit code as
  // through the interpreter.
  const std::string both =
      Child() + " print \"out\\n\" eprint \"to stderr\\r\\n\" print more exit 2";
  const ProcessRun interpreted =
      env_.RunHidden("cmd.exe /s /c \"" + both + " 2>&1\"", PluginEnv::Console::kHidden);
  EXPECT_EQ(plugin_.ExecuteCommand(both + " 2>&1", output), 2);
  EXPECT_EQ(output, interpreted.output);
  EXPECT_EQ(interpreted.exit_code, 2u);
  EXPECT_EQ(output, "out\nto stderr\r\nmore");

  EXPECT_EQ(
      plugin_.ExecuteCommand(Child() + " print piped | " + Child() + " print \"<after>\"", output),
      0);
  EXPECT_EQ(output, "<after>");
}

TEST_F(Win32PluginTest, SilentChildCrashCodeAndStartFailure) {
  std::string output = "stale";
  EXPECT_EQ(plugin_.ExecuteCommand(Child(), output), 0);
  EXPECT_EQ(output, "");
  EXPECT_EQ(env_.logs.back(), Log("Command result code: 0"));

  int result = plugin_.ExecuteCommand(Child() + " exit 0xC0000005", output);
  EXPECT_LT(result, 0);
  EXPECT_EQ(env_.logs.back(), Log("Command result code: 3221225477"));

  output = "kept";
  EXPECT_EQ(plugin_.ExecuteCommand("\"" + OwnFolder() + "\\missing.exe\" /x", output), -1);
  EXPECT_EQ(output, "kept");
  // The system's own error number follows: ERROR_FILE_NOT_FOUND.
  EXPECT_EQ(
      std::vector<std::string>(env_.logs.end() - 2, env_.logs.end()),
      (std::vector<std::string>{Log("Failed to create process"), Log("CreateProcess error: 2")}));
}

TEST_F(Win32PluginTest, ChildOutlivingItsOutputIsTerminatedWithCodeOne) {
  std::string output;
  // The child would end by itself with 7 well within the overall bound; only
  // the wait after its output ended can make the result 1.
  EXPECT_EQ(plugin_.ExecuteCommand(GuiChild() + " print bye close sleep 15000 exit 7", output), 1);
  EXPECT_EQ(output, "bye");
  EXPECT_EQ(Count(env_.logs, Log("Command timeout, terminating process")), 1);
  EXPECT_EQ(env_.logs.back(), Log("Command output: bye"));
}

TEST_F(Win32PluginTest, GrandchildHoldingThePipeCannotBlockPastTheOverallBound) {
  RunLimits limits;
  limits.overall_ms = 3000;
  RecordingEnv env(limits);
  WireguardPlugin plugin(nullptr, env);

  std::string output;
  EXPECT_EQ(plugin.ExecuteCommand(Child() + " print start\\n grandchild 120000 exit 0", output), 1);
  ASSERT_EQ(output.rfind("start\ngrandchild ", 0), 0u) << output;
  EXPECT_EQ(Count(env.logs, Log("Command timeout, terminating process")), 1);
  EXPECT_EQ(env.logs[env.logs.size() - 2], Log("Command result code: 1"));

  // Ending the run ends the whole tree: the grandchild is gone too (or goes
  // at once), rather than living on with the pipe for two minutes.
  DWORD pid = std::stoul(output.substr(output.find(' ') + 1));
  UniqueHandle grandchild(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
  const bool gone = !grandchild || ::WaitForSingleObject(grandchild.Get(), 5000) == WAIT_OBJECT_0;
  EXPECT_TRUE(gone) << "grandchild " << pid << " outlived the run";
  if (!gone) ::TerminateProcess(grandchild.Get(), 0);
}

TEST_F(Win32PluginTest, OutputBeyondTheKeptBoundIsReadAndDropped) {
  RunLimits limits;
  limits.kept_output_bytes = 100000;
  Win32PluginEnv env(limits);
  ProcessRun run =
      env.RunHidden(Child() + " flood 3000000 print tail exit 4", PluginEnv::Console::kNone);
  EXPECT_EQ(run.exit_code, 4u);  // the child was not stuck on a full pipe
  EXPECT_FALSE(run.terminated);
  EXPECT_EQ(run.output, std::string(100000, 'x'));
}

// --- Detection ------------------------------------------------------------

TEST_F(Win32PluginTest, DetectionProbesFilesThenRegistryOfTheRealPrefix) {
  Cleanup files(
      {"C:\\Program Files (x86)\\WireGuard\\wg.exe", "C:\\Program Files (x86)\\WireGuard"});
  RunAnyway("reg delete HKLM\\SOFTWARE\\WireGuard /f");
  ASSERT_FALSE(plugin_.IsWireguardInstalled()) << "the prefix already has WireGuard";
  EXPECT_EQ(env_.logs, (std::vector<std::string>{Log("WireGuard not found")}));

  ASSERT_TRUE(::CreateDirectoryA("C:\\Program Files (x86)\\WireGuard", nullptr));
  WriteAll("C:\\Program Files (x86)\\WireGuard\\wg.exe", "MZ");
  env_.logs.clear();
  EXPECT_TRUE(plugin_.IsWireguardInstalled());
  EXPECT_EQ(env_.logs, (std::vector<std::string>{
                           Log("WireGuard found at: C:\\Program Files (x86)\\WireGuard\\wg.exe")}));
  EXPECT_EQ(plugin_.GetWireguardDirectory(), "C:\\Program Files\\WireGuard");
  ::DeleteFileA("C:\\Program Files (x86)\\WireGuard\\wg.exe");

  RunSetup("reg add HKLM\\SOFTWARE\\WireGuard /f");
  env_.logs.clear();
  EXPECT_TRUE(plugin_.IsWireguardInstalled());
  EXPECT_EQ(env_.logs, (std::vector<std::string>{Log("WireGuard found in registry")}));

  RunSetup("reg delete HKLM\\SOFTWARE\\WireGuard /f");
  env_.logs.clear();
  EXPECT_FALSE(plugin_.IsWireguardInstalled());
  EXPECT_EQ(env_.logs, (std::vector<std::string>{Log("WireGuard not found")}));
}

TEST_F(Win32PluginTest, ProgramFilesOnAnotherDriveAndShortPaths) {
  char saved[MAX_PATH] = {};
  ASSERT_GT(::GetEnvironmentVariableA("PROGRAMFILES", saved, MAX_PATH), 0u);
  // Z: is the Unix root under Wine; any other drive does as well.
  const std::string other = "Z:\\tmp\\orva plugin test " + std::to_string(::GetCurrentProcessId());
  Cleanup folders({other + "\\WireGuard", other});
  ASSERT_TRUE(::CreateDirectoryA(other.c_str(), nullptr));
  ASSERT_TRUE(::SetEnvironmentVariableA("PROGRAMFILES", other.c_str()));

  EXPECT_EQ(plugin_.GetWireguardDirectory(), "C:\\Program Files\\WireGuard");
  ASSERT_TRUE(::CreateDirectoryA((other + "\\WireGuard").c_str(), nullptr));
  EXPECT_EQ(plugin_.GetWireguardDirectory(), other + "\\WireGuard");
  WriteAll(other + "\\WireGuard\\wg.exe", "MZ");
  const WireguardTools tools = plugin_.FindTools();
  ::SetEnvironmentVariableA("PROGRAMFILES", saved);

  EXPECT_EQ(tools.wireguard.short_path, other + "\\WireGuard\\wireguard.exe");
  const std::string& short_path = tools.wg.short_path;
  EXPECT_NE(short_path, tools.wg.path);
  EXPECT_EQ(short_path.find(' '), std::string::npos) << short_path;
  EXPECT_TRUE(env_.Exists(short_path)) << short_path;
  ::DeleteFileA((other + "\\WireGuard\\wg.exe").c_str());
}

// --- Configuration file ---------------------------------------------------

const char kConfigFolder[] = "C:\\ProgramData\\WireGuard\\Configurations";
const char kConfigFile[] = "C:\\ProgramData\\WireGuard\\Configurations\\orva_divuv.conf";

TEST_F(Win32PluginTest, ConfigurationFileHoldsTheTextWithCrLf) {
  // A folder named as the temporary file was, which cannot be removed, does
  // not stand in the way of a save.
  const std::string stale = std::string(kConfigFile) + ".tmp";
  Cleanup files(
      {kConfigFile, stale + "\\theirs", stale, kConfigFolder, "C:\\ProgramData\\WireGuard"});
  ASSERT_TRUE(::CreateDirectoryA("C:\\ProgramData\\WireGuard", nullptr));
  ASSERT_TRUE(::CreateDirectoryA(kConfigFolder, nullptr));
  ASSERT_TRUE(::CreateDirectoryA(stale.c_str(), nullptr));
  WriteAll(stale + "\\theirs", "x");
  EXPECT_EQ(plugin_.SaveConfigToFile("[Interface]\nPrivateKey = k\r\n"), kConfigFile);
  EXPECT_EQ(ReadAll(kConfigFile), "[Interface]\r\nPrivateKey = k\r\r\n");
  EXPECT_EQ(env_.logs.back(), Log(std::string("Config file saved successfully: ") + kConfigFile));

  // The second save replaces the first.
  EXPECT_EQ(plugin_.SaveConfigToFile("second"), kConfigFile);
  EXPECT_EQ(ReadAll(kConfigFile), "second");
  EXPECT_EQ(plugin_.SaveConfigToFile(""), kConfigFile);
  EXPECT_EQ(ReadAll(kConfigFile), "");
  EXPECT_EQ(Temporaries(kConfigFolder), 0);
  EXPECT_EQ(ReadAll(stale + "\\theirs"), "x");
}

// WireGuard's configuration folder on a real disk of a few KiB: a tmpfs that
// testing/small_disk_test.sh mounts and names in ORVA_TEST_SMALL_DISK.
TEST(Win32SmallDisk, AFullDiskKeepsThePreviousConfigurationAndNoTemporaryFile) {
  const char* disk = std::getenv("ORVA_TEST_SMALL_DISK");
  if (disk == nullptr) GTEST_SKIP() << "no small disk: testing/small_disk_test.sh runs this one";
  class SmallDiskEnv : public RecordingEnv {
   public:
    explicit SmallDiskEnv(std::string disk) : disk_(std::move(disk)) {}
    std::optional<std::string> ShellFolder(int csidl) override {
      return csidl == kCsidlCommonAppData ? disk_ : RecordingEnv::ShellFolder(csidl);
    }

   private:
    std::string disk_;
  } env(disk);
  WireguardPlugin plugin(nullptr, env);
  const std::string file = std::string(disk) + "\\WireGuard\\Configurations\\orva_divuv.conf";
  ASSERT_EQ(plugin.SaveConfigToFile("[Interface]\nPrivateKey = old\n"), file);

  const size_t too_large[] = {13 * 1024, 64 * 1024};  // the space left, the whole disk
  for (size_t size : too_large) {
    SCOPED_TRACE(size);
    EXPECT_EQ(plugin.SaveConfigToFile(std::string(size, 'x')), "");
    EXPECT_EQ(env.logs.back(), Log("Failed to save config file"));
    EXPECT_TRUE(ReadAll(file) == "[Interface]\r\nPrivateKey = old\r\n") << "the old file is gone";
    EXPECT_EQ(Temporaries(file.substr(0, file.find_last_of('\\'))), 0);
  }
  // The space came back with the temporary file.
  EXPECT_EQ(plugin.SaveConfigToFile(std::string(8 * 1024, 'y')), file);
  EXPECT_TRUE(ReadAll(file) == std::string(8 * 1024, 'y'));
}

TEST_F(Win32PluginTest, FileInTheWayOfTheFolderFailsTheSave) {
  Cleanup files({kConfigFile, kConfigFolder, "C:\\ProgramData\\WireGuard"});
  ASSERT_TRUE(::CreateDirectoryA("C:\\ProgramData\\WireGuard", nullptr));
  WriteAll(kConfigFolder, "not a folder");

  EXPECT_EQ(plugin_.SaveConfigToFile("x"), "");
  EXPECT_EQ(env_.logs.back(), Log("Failed to save config file"));
  EXPECT_EQ(ReadAll(kConfigFolder), "not a folder");
}

TEST_F(Win32PluginTest, DocumentsFolderComesFromTheShell) {
  std::string documents = plugin_.GetDocumentsPath().ansi;
  ASSERT_FALSE(documents.empty());
  EXPECT_TRUE(env_.Exists(documents)) << documents;
  EXPECT_EQ(env_.logs.back(), Log("Documents path: " + documents));
}

// --- Debug output ---------------------------------------------------------

TEST(Win32PluginDebugOutput, LogLinesReachTheDebugOutputBufferOneByOne) {
  DebugOutputCapture capture;
  ASSERT_TRUE(capture.ok()) << capture.error();
  Win32PluginEnv env;
  WireguardPlugin plugin(nullptr, env);

  plugin.PluginLog("debug buffer check");
  std::string output;
  plugin.ExecuteCommand(Child() + " print \"two\\nlines\"", output);
  ASSERT_TRUE(capture.WaitForText(Log("Command output: two\nlines"), 10000));

  EXPECT_EQ(capture.TextsFrom(::GetCurrentProcessId()),
            (std::vector<std::string>{
                Log("debug buffer check"),
                Log("Executing command: " + Child() + " print \"two\\nlines\""),
                Log("Command result code: 0"),
                Log("Command output: two\nlines"),
            }));
}

// --- The log file for support ----------------------------------------------
// Wine keeps no ACLs: the folder's descriptor is checked at the seam
// (support_log_test.cc); here the real files.

const char kLogFile[] = "C:\\ProgramData\\ORVA VPN\\logs\\plugin.log";

TEST_F(Win32PluginTest, LogFileHoldsStampedUtf8Lines) {
  SetAside earlier("C:\\ProgramData\\ORVA VPN");
  Cleanup files({kLogFile, "C:\\ProgramData\\ORVA VPN\\logs", "C:\\ProgramData\\ORVA VPN"});
  // The conversion is checked where the ANSI code page is 1252 (a Wine
  // prefix made in an English or C locale); elsewhere with ASCII only.
  const bool cp1252 = ::GetACP() == 1252;
  const std::string stamp = "\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z ";
  const std::string start =
      stamp + "Program start: ORVA VPN 1\\.2\\.3, Windows \\d+\\.\\d+\\.\\d+\\r\\n";
  SupportLog log(env_);
  log.Start("1.2.3");
  log.Write(Log(std::string(cp1252 ? "caf\xE9" : "cafe") + " output: a\nb\r\n"));
  EXPECT_TRUE(std::regex_match(
      ReadAll(kLogFile), std::regex(start + stamp + "\\[WireGuardPlugin\\] " +
                                    (cp1252 ? "caf\xC3\xA9" : "cafe") + " output: a\\r\\nb\\r\\n")))
      << ReadAll(kLogFile);
  // The next start finds the folder and the file and carries on.
  SupportLog(env_).Start("1.2.3");
  EXPECT_TRUE(std::regex_search(ReadAll(kLogFile), std::regex("\\n" + start + "$")));
  EXPECT_EQ(Count(env_.logs, Log(std::string("Log file cannot be written: ") + kLogFile)), 0);
}

// A plugin.log that someone else left as a second name of their own file is
// replaced, never written into.
TEST_F(Win32PluginTest, ALogFileThatIsNotOursIsReplaced) {
  SetAside earlier("C:\\ProgramData\\ORVA VPN");
  const std::string theirs = "C:\\ProgramData\\orva test theirs.txt";
  Cleanup files({kLogFile, theirs, "C:\\ProgramData\\ORVA VPN\\logs", "C:\\ProgramData\\ORVA VPN"});
  ASSERT_TRUE(::CreateDirectoryA("C:\\ProgramData\\ORVA VPN", nullptr));
  ASSERT_TRUE(::CreateDirectoryA("C:\\ProgramData\\ORVA VPN\\logs", nullptr));
  WriteAll(theirs, "their text\r\n");
  ASSERT_TRUE(::CreateHardLinkA(kLogFile, theirs.c_str(), nullptr));
  SupportLog(env_).Start("1.2.3");
  EXPECT_EQ(ReadAll(theirs), "their text\r\n");
  EXPECT_TRUE(std::regex_match(ReadAll(kLogFile), std::regex("[^\\n]* Program start: [^\\n]*\\n")))
      << ReadAll(kLogFile);
}

// With WG_HIDE_KEYS=never, wg.exe would print the tunnel's keys: no child
// gets it from us.
TEST(Win32PluginEnvironment, ChildrenDoNotGetWgHideKeys) {
  ASSERT_TRUE(::SetEnvironmentVariableA("WG_HIDE_KEYS", "never"));
  Win32PluginEnv env;
  const ProcessRun run = env.RunHidden(env.SystemFolder() + "\\cmd.exe /c echo [%WG_HIDE_KEYS%]",
                                       PluginEnv::Console::kHidden);
  EXPECT_EQ(run.output, "[%WG_HIDE_KEYS%]\r\n");
}

}  // namespace
