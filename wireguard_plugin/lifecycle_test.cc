// Tests of ConnectVPN, DisconnectVPN and RecreateTunnel over a scripted
// machine: the command lines given to WireGuard's tools, how their answers
// are judged, the waits between steps and the log lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "wireguard_plugin/fake_wireguard_machine.h"
#include "wireguard_plugin/wireguard_plugin.h"

namespace {

const std::string kInstallCommand =
    "\"" + kTunnelToolShortPath + "\" /installtunnelservice \"" + kConfigPath + "\"";
const std::string kUninstallCommand =
    "\"" + kTunnelToolShortPath + "\" /uninstalltunnelservice orva_divuv";
const std::string kDownCommand = "\"" + kControlToolShortPath + "\" set orva_divuv down 2>&1";
// What is started for it: the tool itself, its streams already merged.
const std::string kDownRun = kDownCommand.substr(0, kDownCommand.size() - 5);

TEST(ConnectVPN, AlreadyConnectedTunnelIsLeftAlone) {
  FakeWireguardMachine machine;
  machine.tunnel_up = true;
  WireguardPlugin plugin(nullptr, machine);

  EXPECT_TRUE(plugin.ConnectVPN("[Interface]\nPrivateKey = other\n"));
  EXPECT_TRUE(machine.files.empty()) << "the new configuration must not be written";
  EXPECT_TRUE(machine.RunsContaining("/installtunnelservice").empty());
  EXPECT_TRUE(machine.sleeps.empty());
  EXPECT_TRUE(machine.LoggedInOrder({"ConnectVPN called", "WireGuard is installed",
                                     "Current status: connected", "Already connected"}));
}

TEST(ConnectVPN, InstallsTheServiceFromTheLongConfigPathAndConfirms) {
  FakeWireguardMachine machine;
  WireguardPlugin plugin(nullptr, machine);

  EXPECT_TRUE(plugin.ConnectVPN("[Interface]\nAddress = 10.0.0.2/32\n"));

  // The tool stands in its short form, the configuration in its long form
  // (its short form would end in ".CON" and name no tunnel).
  ASSERT_EQ(machine.RunsContaining("/installtunnelservice").size(), 1u);
  EXPECT_EQ(machine.RunsContaining("/installtunnelservice")[0], kInstallCommand);
  EXPECT_EQ(machine.RunsContaining(kConfigShortPath).size(), 0u);
  EXPECT_EQ(machine.files[kConfigPath], "[Interface]\r\nAddress = 10.0.0.2/32\r\n");
  EXPECT_EQ(machine.sleeps, std::vector<uint32_t>{1000});
  EXPECT_TRUE(machine.LoggedInOrder({
      "ConnectVPN called",
      "WireGuard is installed",
      "Current status: disconnected",
      "Config saved to: " + kConfigPath,
      "Executing installtunnelservice command: " + kInstallCommand,
      "installtunnelservice result code: 0",
      "Current status after installtunnelservice: connected",
      "Tunnel is connected!",
  }));
  EXPECT_FALSE(machine.Logged("installtunnelservice output: "))
      << "an empty output writes no output line";
}

TEST(ConnectVPN, NonZeroInstallRunIsJudgedByCaseSensitiveWords) {
  struct Case {
    std::string output;
    bool accepted;
    uint32_t exit_code = 1;
    std::string logged_code = "1";  // signed decimal
  };
  const std::vector<Case> cases = {
      {"Error: Tunnel already installed and running", true},
      {"completed successfully", true},
      {"Successfully", false},           // capital first letter is no match
      {"Successfully installed", true},  // ... but "installed" still is
      {"ALREADY INSTALLED", false},
      {"crash", false, 0xC0000005u, "-1073741819"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output);
    FakeWireguardMachine machine;
    machine.install_run = MakeRun(c.exit_code, c.output);
    WireguardPlugin plugin(nullptr, machine);

    EXPECT_EQ(plugin.ConnectVPN("cfg"), c.accepted);
    EXPECT_TRUE(machine.LoggedInOrder({"installtunnelservice result code: " + c.logged_code,
                                       "installtunnelservice output: " + c.output}));
    EXPECT_EQ(machine.Logged("Failed to install tunnel service"), !c.accepted);
    EXPECT_EQ(machine.sleeps.size(), c.accepted ? 1u : 0u);
  }
}

TEST(ConnectVPN, AcceptedRunIsDecidedByTheStatusAfterOneSecond) {
  FakeWireguardMachine machine;
  machine.install_run = MakeRun(1, "Tunnel already installed");
  machine.install_brings_tunnel_up = false;
  WireguardPlugin plugin(nullptr, machine);

  EXPECT_FALSE(plugin.ConnectVPN("cfg"));
  EXPECT_EQ(machine.sleeps, std::vector<uint32_t>{1000});
  EXPECT_TRUE(machine.LoggedInOrder(
      {"Current status after installtunnelservice: disconnected",
       "Tunnel service installed but status is not connected: disconnected"}));
  // The status query that decides comes after the wait.
  const std::vector<std::string>& events = machine.events;
  auto wait = std::find(events.begin(), events.end(), "sleep 1000");
  ASSERT_NE(wait, events.end());
  EXPECT_TRUE(std::any_of(wait, events.end(), [](const std::string& event) {
    return event.rfind("run ", 0) == 0 && event.find(" show ") != std::string::npos;
  }));
}

TEST(ConnectVPN, StopsBeforeTheInstallRunWhenSomethingIsMissing) {
  const struct {
    const char* name;
    void (*prepare)(FakeWireguardMachine&);
    std::vector<std::string> log;
  } cases[] = {
      {"no WireGuard",
       [](FakeWireguardMachine& m) { m.RemoveWireguard(); },
       {"ConnectVPN called", "WireGuard not installed"}},
      {"no ProgramData folder",
       [](FakeWireguardMachine& m) { m.shell_folders.clear(); },
       {"Failed to save config file"}},
      {"saved file not found afterwards",
       [](FakeWireguardMachine& m) { m.undeterminable.insert(kConfigPath); },
       {"Config saved to: " + kConfigPath, "Config file does not exist after save"}},
      {"only wg.exe and the registry key",
       [](FakeWireguardMachine& m) {
         m.paths.erase(kTunnelToolPath);
         m.machine_keys.insert("SOFTWARE\\WireGuard");
       },
       {"wireguard.exe not found at: " + kTunnelToolPath}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeWireguardMachine machine;
    c.prepare(machine);
    WireguardPlugin plugin(nullptr, machine);
    EXPECT_FALSE(plugin.ConnectVPN("cfg"));
    EXPECT_TRUE(machine.LoggedInOrder(c.log));
    EXPECT_TRUE(machine.RunsContaining("/installtunnelservice").empty());
    // Without WireGuard nothing at all is run or written.
    if (c.log.back() == "WireGuard not installed") {
      EXPECT_TRUE(machine.runs.empty());
      EXPECT_TRUE(machine.files.empty());
    }
  }
}

TEST(DisconnectVPN, WithoutWireguardAnswersFalseSilently) {
  FakeWireguardMachine machine;
  machine.RemoveWireguard();
  WireguardPlugin plugin(nullptr, machine);

  EXPECT_FALSE(plugin.DisconnectVPN());
  // Only the detection speaks; DisconnectVPN itself logs nothing.
  EXPECT_EQ(machine.Messages(), std::vector<std::string>{"WireGuard not found"});
  EXPECT_TRUE(machine.runs.empty());
  EXPECT_TRUE(machine.sleeps.empty());
}

TEST(DisconnectVPN, AcceptedUninstallIsDecidedByTheStatus) {
  {
    SCOPED_TRACE("exit code 0, tunnel gone");
    FakeWireguardMachine machine;
    machine.tunnel_up = true;
    WireguardPlugin plugin(nullptr, machine);
    EXPECT_TRUE(plugin.DisconnectVPN());
    EXPECT_EQ(machine.RunsContaining("/uninstalltunnelservice"),
              std::vector<std::string>{kUninstallCommand});
    EXPECT_TRUE(machine.RunsContaining(" down").empty()) << "no fallback after success";
    EXPECT_EQ(machine.sleeps, std::vector<uint32_t>{300});
    EXPECT_TRUE(machine.LoggedInOrder({
        "DisconnectVPN called",
        "Executing uninstalltunnelservice command: " + kUninstallCommand,
        "uninstalltunnelservice result code: 0",
        "Tunnel service uninstalled successfully",
        "Status after uninstall: disconnected",
    }));
  }
  const struct {
    const char* name;
    ProcessRun uninstall;
    bool control_tool;
    bool answer;
    std::string status;
  } cases[] = {
      {"non-zero code with \"removed\", tunnel still up", MakeRun(1, "service removed"), true,
       false, "connected"},
      {"accepted, then the control tool is gone", MakeRun(0), false, true, "not_installed"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeWireguardMachine machine;
    machine.tunnel_up = true;
    machine.uninstall_run = c.uninstall;
    machine.uninstall_takes_tunnel_down = false;
    if (!c.control_tool) machine.paths.erase(kControlToolPath);
    WireguardPlugin plugin(nullptr, machine);
    EXPECT_EQ(plugin.DisconnectVPN(), c.answer);
    EXPECT_TRUE(machine.LoggedInOrder(
        {"Tunnel service uninstalled successfully", "Status after uninstall: " + c.status}));
    EXPECT_TRUE(machine.RunsContaining(" down").empty());
  }
}

// After a rejected uninstall: 300 ms after a control tool that ran (result
// code not negative), and always 300 ms before the final status.
TEST(DisconnectVPN, RejectedUninstallFallsBackToTheControlTool) {
  const struct {
    const char* name;
    bool tunnel_tool, control_tool;
    ProcessRun down;
    std::vector<uint32_t> sleeps;
  } cases[] = {
      {"control tool present", true, true, MakeRun(1, "Invalid argument: down"), {300, 300}},
      {"control tool cannot start", true, true, FailedStart(), {300}},
      {"control tool missing", true, false, MakeRun(0), {300}},
      {"neither tool present, WireGuard known from the registry", false, false, MakeRun(0), {300}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeWireguardMachine machine;
    machine.tunnel_up = true;
    machine.uninstall_run =
        MakeRun(1, "Error: The specified service does not exist as an installed service.");
    machine.uninstall_takes_tunnel_down = false;
    machine.down_run = c.down;
    machine.next_show_up = {false};
    if (!c.tunnel_tool) machine.paths.erase(kTunnelToolPath);
    if (!c.control_tool) machine.paths.erase(kControlToolPath);
    if (!c.tunnel_tool && !c.control_tool) machine.machine_keys.insert("SOFTWARE\\WireGuard");
    WireguardPlugin plugin(nullptr, machine);
    // Down either way: "disconnected", or "not_installed" without wg.exe.
    EXPECT_TRUE(plugin.DisconnectVPN());
    const std::vector<std::string> down_runs = machine.RunsContaining(" down");
    ASSERT_EQ(down_runs.size(), c.control_tool ? 1u : 0u);
    if (c.control_tool) {
      EXPECT_NE(down_runs[0].find(kDownRun), std::string::npos);
    }
    EXPECT_EQ(machine.RunsContaining("/uninstalltunnelservice").size(), c.tunnel_tool ? 1u : 0u);
    EXPECT_EQ(machine.sleeps, c.sleeps);
    EXPECT_EQ(machine.Logged("wg set down command executed"), c.sleeps.size() == 2);
    EXPECT_FALSE(machine.Logged("Tunnel service uninstalled successfully"));
  }
}

TEST(RecreateTunnel, RebuildsInFourStepsAndConnectsWithTheNewConfig) {
  FakeWireguardMachine machine;
  machine.tunnel_up = true;
  machine.paths.insert(kConfigPath);
  machine.files[kConfigPath] = "old";
  WireguardPlugin plugin(nullptr, machine);

  EXPECT_TRUE(plugin.RecreateTunnel("new"));
  EXPECT_EQ(machine.files[kConfigPath], "new");
  EXPECT_TRUE(machine.LoggedInOrder({
      "RecreateTunnel called",
      "Step 1: Disconnecting VPN...",
      "DisconnectVPN called",
      "Step 2: Keeping old config file until the new one replaces it...",
      "Step 3: Uninstalling tunnel service...",
      "Step 4: Saving new config and connecting...",
      "ConnectVPN called",
      "Tunnel is connected!",
  }));
  // Disconnect (300 after its uninstall), 500, the step-3 uninstall's 300,
  // then the connect's 1000.
  EXPECT_EQ(machine.sleeps, (std::vector<uint32_t>{300, 500, 300, 1000}));
  EXPECT_EQ(machine.RunsContaining("/uninstalltunnelservice").size(), 2u);
}

TEST(RecreateTunnel, GoesOnPastAFailedDisconnect) {
  FakeWireguardMachine machine;
  machine.tunnel_up = true;
  machine.uninstall_run = MakeRun(1, "Access is denied.");
  machine.uninstall_takes_tunnel_down = false;
  machine.next_show_up = {true, false};  // the disconnect fails; the connect finds it down
  WireguardPlugin plugin(nullptr, machine);

  EXPECT_TRUE(plugin.RecreateTunnel("new"));
  EXPECT_TRUE(machine.LoggedInOrder({
      "Step 2: Keeping old config file until the new one replaces it...",
      "Step 3: Uninstalling tunnel service...",
      "Step 4: Saving new config and connecting...",
  }));
  EXPECT_EQ(machine.files[kConfigPath], "new");
}

// The service reads the old file at its next start, whatever step failed.
TEST(RecreateTunnel, ASaveThatFailsLeavesThePreviousFileByteForByte) {
  const std::function<void(FakeWireguardMachine&)> faults[] = {
      [](FakeWireguardMachine& m) { m.shell_folders.clear(); },
      [](FakeWireguardMachine& m) { m.blocked_folders = {"C:\\ProgramData\\WireGuard"}; },
      [](FakeWireguardMachine& m) { m.unreplaceable = {kConfigPath}; },
  };
  for (const auto& fault : faults) {
    FakeWireguardMachine machine;
    machine.tunnel_up = true;
    machine.paths.insert(kConfigPath);
    machine.files[kConfigPath] = "[Interface]\r\nPrivateKey = old\r\n";
    fault(machine);
    WireguardPlugin plugin(nullptr, machine);
    EXPECT_FALSE(plugin.RecreateTunnel("new"));
    EXPECT_EQ(machine.files[kConfigPath], "[Interface]\r\nPrivateKey = old\r\n");
    EXPECT_TRUE(machine.Logged("Failed to save config file"));
  }
}

TEST(RecreateTunnel, WithoutWireguardExeStepThreeRunsNothingAndWaitsNot) {
  FakeWireguardMachine machine;
  machine.paths.erase(kTunnelToolPath);
  machine.machine_keys.insert("SOFTWARE\\WireGuard");
  WireguardPlugin plugin(nullptr, machine);
  EXPECT_FALSE(plugin.RecreateTunnel("new"));
  EXPECT_TRUE(machine.RunsContaining("/uninstalltunnelservice").empty());
  // Disconnect's fallback (300 after wg, 300 before status) and the 500.
  EXPECT_EQ(machine.sleeps, (std::vector<uint32_t>{300, 300, 500}));
}

// The service cannot be removed, so the old tunnel runs on: the answer says
// the new configuration is not in force, and the file holds it for the
// service's next start.
TEST(RecreateTunnel, TunnelThatStaysUpAnswersFalseAndKeepsTheNewConfig) {
  FakeWireguardMachine machine;
  machine.tunnel_up = true;
  machine.uninstall_run = MakeRun(1, "Access is denied.");
  machine.uninstall_takes_tunnel_down = false;
  machine.paths.insert(kConfigPath);
  machine.files[kConfigPath] = "old";
  WireguardPlugin plugin(nullptr, machine);

  EXPECT_FALSE(plugin.RecreateTunnel("new"));
  EXPECT_EQ(machine.files[kConfigPath], "new");
  EXPECT_TRUE(machine.LoggedInOrder({"Current status: connected", "Already connected",
                                     "Old tunnel still connected, new config not applied",
                                     "SaveConfigToFile called"}));
  EXPECT_TRUE(machine.RunsContaining("/installtunnelservice").empty());
}

}  // namespace
