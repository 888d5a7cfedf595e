// The stand-in wg.exe and wireguard.exe as the product meets them: real
// processes, their standard streams and exit codes, tunnel state shared
// between the two, the adapter delay, and every fault switch. Each test
// gets a state folder of its own and pins the tools' clock; the clock shift
// variable moves it instead of sleeping.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "standins/wireguard/standin_platform.h"
#include "standins/wireguard/tests/process_runner.h"
#include "standins/wireguard/wg_text.h"

namespace wg_standin_test {
namespace {

using wg_standin::UniqueHandle;

constexpr char kConfig[] =
    "[Interface]\r\n"
    "PrivateKey = yAnz5TF+lXXJte14tji3zlMNq+hd2rYUIgJBgB3fBmk=\r\n"
    "Address = 10.66.0.2/32\r\n"
    "DNS = 1.1.1.1\r\n"
    "\r\n"
    "[Peer]\r\n"
    "PublicKey = QmFzZTY0UGVlcktleUV4YW1wbGVGb3JUZXN0czAwMDA=\r\n"
    "Endpoint = 203.0.113.7:51820\r\n"
    "AllowedIPs = 0.0.0.0/0, ::/0\r\n"
    "PersistentKeepalive = 25\r\n";

// "YYYY/MM/DD HH:MM:SS Error: MESSAGE\n" -> MESSAGE, or "<not an error line>".
std::string ErrorMessage(const std::string& stderr_text) {
  static const std::regex kLine(R"(^\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2} Error: (.*)\n$)");
  std::smatch match;
  if (!std::regex_match(stderr_text, match, kLine))
    return "<not an error line: " + stderr_text + ">";
  return match[1];
}

class StandinTools : public ::testing::Test {
 protected:
  std::wstring WriteConfig(const std::string& name, const std::string& text = kConfig) {
    const std::wstring path = state_.path() + L"\\" + wg_standin::Widen(name) + L".conf";
    EXPECT_TRUE(WriteTextFile(path, text));
    return path;
  }
  ProgramRun Install(const std::wstring& path) {
    return RunProgram(Wireguard(L"/installtunnelservice \"" + path + L"\""));
  }
  ProgramRun Uninstall(const std::wstring& name) {
    return RunProgram(Wireguard(L"/uninstalltunnelservice " + name));
  }
  // wg.exe run |shift_ms| milliseconds in the future.
  ProgramRun WgAt(const std::wstring& arguments, long long shift_ms) {
    ScopedEnv shift(L"ORVA_STANDIN_CLOCK_SHIFT_MS", std::to_wstring(shift_ms));
    return RunProgram(Wg(arguments));
  }
  // Installs |name| from kConfig with the adapter up at once.
  void InstallRunning(const std::string& name) {
    ScopedEnv faults(L"ORVA_STANDIN_FAULTS", L"wireguard=slow-start:0");
    const ProgramRun run = Install(WriteConfig(name));
    ASSERT_EQ(run.exit_code, 0u) << run.err;
  }

  ScopedEnv no_faults_{L"ORVA_STANDIN_FAULTS", L""};
  ScopedEnv pinned_clock_{L"ORVA_STANDIN_CLOCK_MS", L"1800000000000"};
  ScopedEnv no_shift_{L"ORVA_STANDIN_CLOCK_SHIFT_MS", L"0"};
  ScopedStateFolder state_;
};

// The naming rules themselves are covered in tunnel_rules_test; here one
// path of each kind shows the refusal reaching the tool's exit and stderr.
TEST_F(StandinTools, InstallRefusesPathsAndNamesAsTheRealToolDoes) {
  const struct {
    std::wstring path;
    std::string message;
  } cases[] = {
      {L"C:\\PROGRA~3\\WIREGU~1\\CONFIG~1\\ORVA~WLO.CON",
       "Path must end in either .conf.dpapi or .conf"},
      {L"C:\\x\\has space.conf", "Tunnel name is not valid"},
  };
  for (const auto& c : cases) {
    const ProgramRun run = Install(c.path);
    EXPECT_EQ(run.exit_code, 1u) << wg_standin::Narrow(c.path);
    EXPECT_EQ(ErrorMessage(run.err), c.message) << wg_standin::Narrow(c.path);
    EXPECT_EQ(run.out, "");
  }
  // Nothing was installed by any of them.
  const ProgramRun all = WgAt(L"show all", 60000);
  EXPECT_EQ(all.out, "");
  EXPECT_EQ(all.exit_code, 0u);
}

TEST_F(StandinTools, InstallIsSilentAndRefusesATunnelAlreadyRunning) {
  const std::wstring config = WriteConfig("orva_divuv");
  const ProgramRun first = Install(config);
  EXPECT_EQ(first.exit_code, 0u);
  EXPECT_EQ(first.out + first.err, "");

  // Still starting (start pending): a second install is taken as success.
  const ProgramRun pending = Install(config);
  EXPECT_EQ(pending.exit_code, 0u) << pending.err;

  ASSERT_EQ(WgAt(L"show orva_divuv", 5000).exit_code, 0u);
  const ProgramRun again = Install(config);
  EXPECT_EQ(again.exit_code, 1u);
  EXPECT_EQ(ErrorMessage(again.err), "Tunnel already installed and running");

  // The .conf.dpapi form names its tunnel too.
  const ProgramRun dpapi = Install(state_.path() + L"\\second.conf.dpapi");
  EXPECT_EQ(dpapi.exit_code, 0u) << dpapi.err;
}

TEST_F(StandinTools, UninstallRemovesTheTunnelOrSaysThereIsNoSuchService) {
  const std::string kNoService = "The specified service does not exist as an installed service.";
  ProgramRun missing = Uninstall(L"orva_divuv");
  EXPECT_EQ(missing.exit_code, 1u);
  EXPECT_EQ(ErrorMessage(missing.err), kNoService);

  InstallRunning("orva_divuv");
  ASSERT_EQ(WgAt(L"show orva_divuv", 1000).exit_code, 0u);
  const ProgramRun removed = Uninstall(L"orva_divuv");
  EXPECT_EQ(removed.exit_code, 0u);
  EXPECT_EQ(removed.out + removed.err, "");
  const ProgramRun gone = WgAt(L"show orva_divuv", 1000);
  EXPECT_EQ(gone.exit_code, 1u);
  EXPECT_EQ(gone.err, "Unable to access interface: No such file or directory\r\n");

  missing = Uninstall(L"orva_divuv");
  EXPECT_EQ(ErrorMessage(missing.err), kNoService);

  // Once removed, the same tunnel installs again.
  InstallRunning("orva_divuv");
  EXPECT_EQ(WgAt(L"show orva_divuv", 1000).exit_code, 0u);
}

TEST_F(StandinTools, AdapterAppearsOnlyAfterTheStartDelay) {
  ASSERT_EQ(Install(WriteConfig("orva_divuv")).exit_code, 0u);
  // Default delay 300 ms: not up 200 ms after the install, up 400 ms after it.
  ProgramRun early = WgAt(L"show orva_divuv", 200);
  EXPECT_EQ(early.exit_code, 1u);
  EXPECT_EQ(early.err, "Unable to access interface: No such file or directory\r\n");
  EXPECT_EQ(early.out, "");
  EXPECT_EQ(WgAt(L"show all", 200).out, "");
  EXPECT_EQ(WgAt(L"show orva_divuv", 400).exit_code, 0u);

  {
    ScopedEnv faults(L"ORVA_STANDIN_FAULTS", L"wireguard=slow-start:60000");
    ASSERT_EQ(Install(WriteConfig("slow")).exit_code, 0u);
  }
  EXPECT_EQ(WgAt(L"show slow", 30000).exit_code, 1u);
  EXPECT_EQ(WgAt(L"show slow", 65000).exit_code, 0u);
}

TEST_F(StandinTools, ATunnelWhoseConfigurationCannotBeReadNeverComesUp) {
  const std::wstring config = state_.path() + L"\\late.conf";
  // The installer does not read the file; its service does, when it starts.
  ASSERT_EQ(Install(config).exit_code, 0u);
  EXPECT_EQ(WgAt(L"show late", 5000).exit_code, 1u);
  WriteConfig("late");
  EXPECT_EQ(WgAt(L"show late", 10000).exit_code, 1u) << "the failed service stays stopped";
  // A stopped service is replaced by a new install.
  {
    ScopedEnv faults(L"ORVA_STANDIN_FAULTS", L"wireguard=slow-start:0");
    ASSERT_EQ(Install(config).exit_code, 0u);
  }
  EXPECT_EQ(WgAt(L"show late", 1000).exit_code, 0u);

  // An unusable configuration (no private key) fails the same way.
  ASSERT_EQ(Install(WriteConfig("keyless", "[Interface]\nAddress = 10.0.0.1/32\n")).exit_code, 0u);
  EXPECT_EQ(WgAt(L"show keyless", 5000).exit_code, 1u);
}

TEST_F(StandinTools, ShowPrintsTheRealLayoutWithCrLfLineEnds) {
  InstallRunning("orva_divuv");
  const ProgramRun run = WgAt(L"show orva_divuv", 65400);
  EXPECT_EQ(run.exit_code, 0u);
  EXPECT_EQ(run.err, "");
  const std::string key =
      wg_standin::DerivePublicKey("yAnz5TF+lXXJte14tji3zlMNq+hd2rYUIgJBgB3fBmk=");
  // 65.4 s after the adapter came up: 92 + 65400^2/2000 bytes received,
  // 148 + 65400^2/5000 sent.
  EXPECT_EQ(run.out,
            "interface: orva_divuv\r\n"
            "  public key: " +
                key +
                "\r\n"
                "  private key: (hidden)\r\n"
                "  listening port: 51820\r\n"
                "\r\n"
                "peer: QmFzZTY0UGVlcktleUV4YW1wbGVGb3JUZXN0czAwMDA=\r\n"
                "  endpoint: 203.0.113.7:51820\r\n"
                "  allowed ips: 0.0.0.0/0, ::/0\r\n"
                "  latest handshake: 1 minute, 5 seconds ago\r\n"
                "  transfer: 2.04 MiB received, 835.53 KiB sent\r\n"
                "  persistent keepalive: every 25 seconds\r\n");

  // The same private key gives the same public key on every run; a
  // ListenPort in the file is what the tunnel listens on.
  ScopedEnv faults(L"ORVA_STANDIN_FAULTS", L"wireguard=slow-start:0");
  std::string other = kConfig;
  other.replace(other.find("Address"), 0, "ListenPort = 40123\r\n");
  ASSERT_EQ(Install(WriteConfig("other", other)).exit_code, 0u);
  const ProgramRun second = WgAt(L"show other", 1000);
  EXPECT_NE(second.out.find("  public key: " + key + "\r\n"), std::string::npos) << second.out;
  EXPECT_NE(second.out.find("  listening port: 40123\r\n"), std::string::npos) << second.out;
}

TEST_F(StandinTools, ShowAllListsEveryRunningTunnelSeparatedByABlankLine) {
  ProgramRun none = WgAt(L"show all", 0);
  EXPECT_EQ(none.exit_code, 0u);
  EXPECT_EQ(none.out + none.err, "");
  EXPECT_EQ(WgAt(L"show interfaces", 0).out, "");

  InstallRunning("beta");
  InstallRunning("alpha");
  const ProgramRun all = WgAt(L"show all", 1000);
  EXPECT_EQ(all.exit_code, 0u);
  const size_t alpha = all.out.find("interface: alpha\r\n");
  const size_t beta = all.out.find("\r\n\r\ninterface: beta\r\n");
  EXPECT_EQ(alpha, 0u) << all.out;
  EXPECT_NE(beta, std::string::npos) << all.out;
  EXPECT_EQ(WgAt(L"show", 1000).out.substr(0, 18), "interface: alpha\r\n");
  EXPECT_EQ(WgAt(L"", 1000).out.find("interface: beta"), beta + 4);
  EXPECT_EQ(WgAt(L"show interfaces", 1000).out, "alpha beta\r\n");
}

TEST_F(StandinTools, RefusesCommandsItDoesNotKnow) {
  InstallRunning("orva_divuv");
  const ProgramRun down = RunProgram(Wg(L"set orva_divuv down"));
  EXPECT_EQ(down.exit_code, 1u);
  EXPECT_EQ(down.err, "Invalid argument: down\r\n");
  EXPECT_EQ(down.out, "");
  // The tunnel is still up: "down" changed nothing.
  EXPECT_EQ(WgAt(L"show orva_divuv", 1000).exit_code, 0u);

  const ProgramRun set_alone = RunProgram(Wg(L"set"));
  EXPECT_EQ(set_alone.exit_code, 1u);
  EXPECT_EQ(set_alone.err.rfind("Usage: wg set", 0), 0u) << set_alone.err;

  const ProgramRun unknown = RunProgram(Wg(L"up orva_divuv"));
  EXPECT_EQ(unknown.exit_code, 1u);
  EXPECT_EQ(unknown.err.rfind("Invalid subcommand: `up'\r\nUsage: wg", 0), 0u) << unknown.err;

  EXPECT_EQ(RunProgram(Wg(L"show a b c")).exit_code, 1u);

  for (const std::wstring args :
       {L"/installtunnel x.conf", L"/installtunnelservice a.conf b.conf"}) {
    const ProgramRun run = RunProgram(Wireguard(args));
    EXPECT_EQ(run.exit_code, 1u) << wg_standin::Narrow(args);
    EXPECT_EQ(run.err.rfind("Usage: wireguard.exe", 0), 0u) << run.err;
  }
}

TEST_F(StandinTools, FaultsOfWireguardExe) {
  InstallRunning("orva_divuv");
  {
    ScopedEnv faults(L"ORVA_STANDIN_FAULTS", L"wireguard=deny-install,wireguard=deny-uninstall");
    const ProgramRun install = Install(WriteConfig("another"));
    EXPECT_EQ(install.exit_code, 1u);
    EXPECT_EQ(ErrorMessage(install.err), "Access is denied.");
    const ProgramRun uninstall = Uninstall(L"orva_divuv");
    EXPECT_EQ(uninstall.exit_code, 1u);
    EXPECT_EQ(ErrorMessage(uninstall.err), "Access is denied.");
  }
  EXPECT_EQ(WgAt(L"show orva_divuv", 1000).exit_code, 0u) << "a denied uninstall leaves the tunnel";
  EXPECT_EQ(WgAt(L"show another", 60000).exit_code, 1u) << "a denied install leaves nothing";
}

TEST_F(StandinTools, FaultsOfWgExe) {
  InstallRunning("orva_divuv");
  {
    ScopedEnv faults(L"ORVA_STANDIN_FAULTS", L"wg=permission-denied");
    const ProgramRun one = WgAt(L"show orva_divuv", 1000);
    EXPECT_EQ(one.exit_code, 1u);
    EXPECT_EQ(one.err, "Unable to access interface: Permission denied\r\n");
    EXPECT_EQ(one.out, "");
    const ProgramRun all = WgAt(L"show all", 1000);
    EXPECT_EQ(all.exit_code, 1u);
    EXPECT_EQ(all.err, "Unable to access interface orva_divuv: Permission denied\r\n");
    EXPECT_EQ(WgAt(L"show missing", 1000).err,
              "Unable to access interface: No such file or directory\r\n");
  }
  {
    ScopedEnv faults(L"ORVA_STANDIN_FAULTS", L"wg=crash");
    EXPECT_EQ(RunProgram(Wg(L"show orva_divuv")).exit_code, 0xC0000005u);
  }
  {
    ScopedEnv faults(L"ORVA_STANDIN_FAULTS", L"wg=flood");
    const ProgramRun flood = RunProgram(Wg(L"show orva_divuv"));
    EXPECT_EQ(flood.exit_code, 0u);
    EXPECT_EQ(flood.out.size(), 8u * 1024 * 1024);
  }
  {
    ScopedEnv faults(L"ORVA_STANDIN_FAULTS", L"wg=flood:1000");
    EXPECT_EQ(RunProgram(Wg(L"show orva_divuv")).out.size(), 1000u);
  }
  {
    ScopedEnv faults(L"ORVA_STANDIN_FAULTS", L"wg=binary");
    const ProgramRun binary = RunProgram(Wg(L"show orva_divuv"));
    EXPECT_EQ(binary.exit_code, 0u);
    EXPECT_NE(binary.out.find('\0'), std::string::npos);
    EXPECT_NE(binary.out.find('\xff'), std::string::npos);
    EXPECT_NE(binary.out.find("\xc3\x28"), std::string::npos) << "invalid UTF-8 sequence";
  }
  {
    ScopedEnv faults(L"ORVA_STANDIN_FAULTS", L"wg=hang");
    const ProgramRun hang = RunProgram(Wg(L"show orva_divuv"), 3000);
    EXPECT_TRUE(hang.started);
    EXPECT_FALSE(hang.finished) << "wg.exe ended instead of hanging";
    EXPECT_EQ(hang.out, "");
  }
}

TEST_F(StandinTools, GrandchildKeepsTheOutputPipeOpenAfterWgExits) {
  InstallRunning("orva_divuv");
  ScopedEnv faults(L"ORVA_STANDIN_FAULTS", L"wg=grandchild:8000");
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE read_end = nullptr, write_end = nullptr;
  ASSERT_TRUE(CreatePipe(&read_end, &write_end, &inherit, 0));
  UniqueHandle reader(read_end), writer(write_end);
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = write_end;
  startup.hStdError = write_end;
  PROCESS_INFORMATION info = {};
  std::wstring command = Wg(L"show orva_divuv");
  ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                             nullptr, nullptr, &startup, &info));
  UniqueHandle thread(info.hThread), process(info.hProcess);
  writer.Reset();

  ASSERT_EQ(WaitForSingleObject(process.Get(), 60000), WAIT_OBJECT_0);
  DWORD exit_code = 99;
  GetExitCodeProcess(process.Get(), &exit_code);
  EXPECT_EQ(exit_code, 0u);
  // wg.exe is gone, but the pipe is not broken: someone still holds it.
  DWORD available = 0;
  EXPECT_TRUE(PeekNamedPipe(read_end, nullptr, 0, nullptr, &available, nullptr))
      << "pipe broken, error " << GetLastError();
  std::string output;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(read_end, buffer, sizeof buffer, &read, nullptr) && read > 0) {
    output.append(buffer, read);
  }
  // The end of the output comes when the grandchild ends; wg's own output is whole.
  EXPECT_EQ(output.rfind("interface: orva_divuv\r\n", 0), 0u) << output;
}

TEST_F(StandinTools, FaultsFileSwitchesFaultsBetweenCalls) {
  InstallRunning("orva_divuv");
  const std::wstring faults_file = state_.path() + L"\\faults.txt";
  ASSERT_TRUE(WriteTextFile(faults_file, "# switched by the test\nwg=permission-denied\n"));
  EXPECT_EQ(WgAt(L"show orva_divuv", 1000).err,
            "Unable to access interface: Permission denied\r\n");
  ASSERT_TRUE(DeleteFileW(faults_file.c_str()));
  EXPECT_EQ(WgAt(L"show orva_divuv", 1000).exit_code, 0u);
}

TEST(StandinToolsDefaultState, KeepsItsStateUnderProgramData) {
  ScopedEnv no_override(L"ORVA_STANDIN_WIREGUARD_STATE_DIR", L"");
  ScopedEnv no_faults(L"ORVA_STANDIN_FAULTS", L"");
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring config = std::wstring(temp) + L"orva_standin_default_state.conf";
  ASSERT_TRUE(WriteTextFile(config, kConfig));
  const std::wstring state_file = L"C:\\ProgramData\\OrvaStandinWireGuard\\tunnels.txt";

  const ProgramRun install = RunProgram(Wireguard(L"/installtunnelservice \"" + config + L"\""));
  EXPECT_EQ(install.exit_code, 0u) << install.err;
  const auto state = wg_standin::ReadWholeFile(state_file);
  ASSERT_TRUE(state);
  EXPECT_NE(state->find("orva_standin_default_state\tstarting\t"), std::string::npos) << *state;

  const ProgramRun uninstall =
      RunProgram(Wireguard(L"/uninstalltunnelservice orva_standin_default_state"));
  EXPECT_EQ(uninstall.exit_code, 0u) << uninstall.err;
  EXPECT_EQ(wg_standin::ReadWholeFile(state_file)->find("orva_standin_default_state"),
            std::string::npos);
  DeleteFileW(config.c_str());
}

}  // namespace
}  // namespace wg_standin_test
