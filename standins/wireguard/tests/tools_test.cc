// The stand-in wg.exe and wireguard.exe as the product meets them, run as
// real processes: what /installtunnelservice accepts and refuses, what
// /uninstalltunnelservice says, and the exact `wg show` layout the product
// parses. The fault switches are exercised by the end-to-end fault sessions,
// which expect the product's answer to each. Each test gets a state folder
// of its own and pins the tools' clock; the clock shift variable moves it
// instead of sleeping.
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

// One path of each kind the product could get wrong: the refusal reaches the
// tool's exit code and standard error.
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

// Real mode with a relay that is gone: WireGuard for Windows' own refusals
// still come first, every other run says the relay cannot be reached, and a
// start that never happened leaves no service behind.
TEST_F(StandinTools, RealModeChecksFirstThenNeedsItsRelay) {
  ASSERT_TRUE(WriteTextFile(state_.path() + L"\\relay.txt", "1 token-of-a-finished-run\n"));
  const std::string kUnreachable = "stand-in relay: cannot reach 127.0.0.1:1\n";
  const std::wstring good = WriteConfig("orva_divuv");
  const struct {
    std::wstring tool_run;
    std::string err;  // as printed, or the message of an error line
  } cases[] = {
      {Wireguard(L"/installtunnelservice \"" + state_.path() + L"\\orva.txt\""),
       "Path must end in either .conf.dpapi or .conf"},
      {Wireguard(L"/uninstalltunnelservice orva_divuv"),
       "The specified service does not exist as an installed service."},
      {Wireguard(L"/installtunnelservice \"" + good + L"\""), kUnreachable},
      {Wireguard(L"/installtunnelservice \"" + good + L"\""), kUnreachable},
      {Wg(L"show orva_divuv"), kUnreachable},
  };
  for (const auto& c : cases) {
    const ProgramRun run = RunProgram(c.tool_run);
    EXPECT_EQ(run.exit_code, 1u) << wg_standin::Narrow(c.tool_run);
    EXPECT_EQ(run.err == c.err ? c.err : ErrorMessage(run.err), c.err)
        << wg_standin::Narrow(c.tool_run);
    EXPECT_EQ(run.out, "");
  }
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
}

}  // namespace
}  // namespace wg_standin_test
