// Tunnel status and transfer counters over the fake platform.
#include <string>
#include <vector>

#include "wireguard_plugin/testing/plugin_test_fixture.h"

namespace {

const char kWg[] = "C:\\Program Files\\WireGuard\\wg.exe";
const char kWgShort[] = "C:\\PROGRA~1\\WIREGU~1\\wg.exe";
const char kStatusCommand[] = "\"C:\\PROGRA~1\\WIREGU~1\\wg.exe\" show \"orva_divuv\" 2>&1";
// What is started for it: the tool itself, its streams already merged.
const char kStatusCommandRun[] = "\"C:\\PROGRA~1\\WIREGU~1\\wg.exe\" show \"orva_divuv\"";

// wg show for a running tunnel, as the tool lays it out.
const char kRunningTunnel[] =
    "interface: orva_divuv\r\n"
    "  public key: 9bV0oM2nq1cVqX5s0m7hXJm0bd2S5cUYcMhG0WlqS2Y=\r\n"
    "  private key: (hidden)\r\n"
    "  listening port: 51820\r\n"
    "\r\n"
    "peer: QmFzZTY0UGVlcktleUV4YW1wbGVGb3JUZXN0czAwMDA=\r\n"
    "  endpoint: 203.0.113.7:51820\r\n"
    "  allowed ips: 0.0.0.0/0, ::/0\r\n"
    "  latest handshake: 1 minute, 5 seconds ago\r\n"
    "  transfer: 56.59 KiB received, 3.73 MiB sent\r\n"
    "  persistent keepalive: every 25 seconds\r\n";

class StatusTest : public PluginTest {
 protected:
  StatusTest() {
    env_.paths = {kWg, "C:\\Program Files\\WireGuard"};
    env_.short_names[kWg] = kWgShort;
  }

  // Every run of the wg.exe command prints |output| and exits with |code|.
  void ToolPrints(const std::string& output, uint32_t code = 0) {
    env_.on_run = [output, code](const std::string&) {
      ProcessRun run;
      run.output = output;
      run.exit_code = code;
      return run;
    };
  }

  std::string StatusOf(const std::string& output) {
    ToolPrints(output);
    env_.logs.clear();
    return StatusWord(plugin_.GetVPNStatus());
  }

  TransferStats StatsOf(const std::string& output) {
    ToolPrints(output);
    env_.logs.clear();
    return plugin_.GetTransferStats();
  }
};

TEST_F(StatusTest, RunningTunnelIsConnectedThroughTheMendedStatusCommand) {
  ToolPrints(kRunningTunnel);
  EXPECT_EQ(plugin_.GetVPNStatus(), TunnelStatus::kConnected);
  EXPECT_EQ(env_.runs, (std::vector<std::string>{kStatusCommandRun}));
  EXPECT_EQ(env_.logs, (std::vector<std::string>{
                           Log("GetVPNStatus called"),
                           Log(std::string("WireGuard found at: ") + kWg),
                           Log(std::string("Using short path: ") + kWgShort),
                           Log(std::string("Executing status command: ") + kStatusCommand),
                           Log(std::string("Executing command: ") + kStatusCommand),
                           Log("Command result code: 0"),
                           Log(std::string("Command output: ") + kRunningTunnel),
                           Log("Status command result code: 0"),
                           Log(std::string("Status command output: ") + kRunningTunnel),
                           Log("Found 'interface:' in output, status: connected"),
                       }));
}

TEST_F(StatusTest, MarkersDecideInTheirOrderAndCaseSensitively) {
  EXPECT_EQ(StatusOf("Unable to access interface: Permission denied (orva_divuv)"), "connected");
  EXPECT_EQ(IndexOfLog("Permission denied - interface likely exists and is active") + 1,
            IndexOfLog("Interface name found in error message, assuming connected"));

  EXPECT_EQ(StatusOf("Unable to access: Permission denied"), "disconnected");
  EXPECT_LT(IndexOfLog("Permission denied - interface likely exists and is active"),
            IndexOfLog("No connection indicators found, status: disconnected"));

  // Permission denied without the name falls through to the other markers.
  EXPECT_EQ(StatusOf("Permission denied\ninterface: x"), "connected");
  EXPECT_EQ(CountLogged("Found 'interface:' in output, status: connected"), 1);

  EXPECT_EQ(StatusOf("tunnel orva_divuv is up"), "connected");
  EXPECT_EQ(CountLogged("Found interface name in output, status: connected"), 1);

  EXPECT_EQ(StatusOf("PublicKey: abc\nlistening-port: 1"), "connected");
  EXPECT_EQ(CountLogged("Found public key and listening port, status: connected"), 1);
  EXPECT_EQ(StatusOf("public key: abc"), "disconnected");

  EXPECT_EQ(StatusOf("peer: abc\n  allowed ips: 0.0.0.0/0"), "connected");
  EXPECT_EQ(CountLogged("Found peer with allowed ips, status: connected"), 1);
  EXPECT_EQ(StatusOf("peer: abc"), "disconnected");

  EXPECT_EQ(StatusOf("latest handshake: now"), "connected");
  EXPECT_EQ(CountLogged("Found 'latest handshake', status: connected"), 1);
  EXPECT_EQ(StatusOf("Latest handshake: now"), "disconnected");
  EXPECT_EQ(StatusOf("INTERFACE: ORVA_DIVUV"), "disconnected");
}

TEST_F(StatusTest, ErrorOutputAndEmptyOutputAreDisconnectedWhateverTheCode) {
  ToolPrints("Unable to access: No such file or directory\r\n", 1);
  EXPECT_EQ(plugin_.GetVPNStatus(), TunnelStatus::kDisconnected);
  EXPECT_EQ(CountLogged("Status command result code: 1"), 1);

  // The tool's own errors name the interface but do not start a line with it:
  // a missing tunnel, or one it may not read, is not a running one.
  EXPECT_EQ(StatusOf("Unable to access interface: No such file or directory\r\n"), "disconnected");
  EXPECT_EQ(StatusOf("Unable to access interface: Permission denied\r\n"), "disconnected");
  EXPECT_EQ(CountLogged("Found 'interface:' in output, status: connected"), 0);
  EXPECT_EQ(StatusOf("peer: x\r\ninterface: orva_divuv\r\n"), "connected");

  EXPECT_EQ(StatusOf(""), "disconnected");
  EXPECT_EQ(env_.logs.back(), Log("No connection indicators found, status: disconnected"));
  for (const std::string& line : env_.logs) {
    EXPECT_EQ(line.find("Status command output: "), std::string::npos);
  }
}

TEST_F(StatusTest, MissingWireGuardOrToolIsNotInstalledAndNothingRuns) {
  env_.paths.clear();
  EXPECT_EQ(plugin_.GetVPNStatus(), TunnelStatus::kNotInstalled);
  EXPECT_EQ(env_.logs.back(), Log("WireGuard not installed, status: not_installed"));

  env_.paths = {"C:\\Program Files\\WireGuard\\wireguard.exe"};
  EXPECT_EQ(plugin_.GetVPNStatus(), TunnelStatus::kNotInstalled);
  EXPECT_EQ(env_.logs.back(), Log("wg.exe not found, status: not_installed"));

  EXPECT_EQ(plugin_.GetTransferStats().rx, 0);
  EXPECT_EQ(env_.logs.back(), Log("wg.exe not found, returning 0 stats"));
  env_.paths.clear();
  plugin_.GetTransferStats();
  EXPECT_EQ(env_.logs.back(), Log("WireGuard not installed, returning 0 stats"));
  EXPECT_TRUE(env_.runs.empty());
}

TEST_F(StatusTest, UnstartableToolRetriesWithShowAllThenIsUnknown) {
  env_.on_run = [](const std::string& line) {
    ProcessRun run;
    if (line.find("show all") == std::string::npos) {
      run.status = Status::Failed(Status::Step::kCreateProcess, 2);
    } else {
      run.output = "interface: orva_divuv\n";
      run.exit_code = 0;
    }
    return run;
  };
  EXPECT_EQ(plugin_.GetVPNStatus(), TunnelStatus::kConnected);
  EXPECT_EQ(env_.runs.back(), "\"C:\\PROGRA~1\\WIREGU~1\\wg.exe\" show all");
  EXPECT_EQ(CountLogged("Failed to execute status command, trying 'wg show all'"), 1);

  env_.on_run = [](const std::string&) {
    ProcessRun run;
    run.status = Status::Failed(Status::Step::kCreatePipe, 8);
    return run;
  };
  env_.logs.clear();
  EXPECT_EQ(plugin_.GetVPNStatus(), TunnelStatus::kUnknown);
  EXPECT_EQ(env_.logs.back(), Log("Failed to execute 'wg show all', status: unknown"));

  env_.logs.clear();
  TransferStats stats = plugin_.GetTransferStats();
  EXPECT_EQ(stats.rx, 0);
  EXPECT_EQ(stats.tx, 0);
  EXPECT_EQ(env_.logs.back(), Log("getStats: command failed or empty output, returning 0 stats"));
}

TEST_F(StatusTest, CountersAreReadWithTheirUnitsAsBytes) {
  TransferStats stats = StatsOf(kRunningTunnel);
  EXPECT_EQ(stats.rx, 57948);    // 56.59 * 1024 = 57948.16
  EXPECT_EQ(stats.tx, 3911188);  // 3.73 * 1048576 = 3911188.48
  EXPECT_EQ(env_.logs.back(), Log("Parsed transfer stats: rx=57948 bytes, tx=3911188 bytes"));
  EXPECT_EQ(CountLogged(std::string("Executing stats command: ") + kStatusCommand), 1);
  EXPECT_EQ(CountLogged(std::string("getStats output: ") + kRunningTunnel), 1);

  const struct {
    const char* output;
    int64_t rx, tx;
  } cases[] = {
      {"  transfer: 512 B received, 1.50 KiB sent", 512, 1536},
      {"  transfer: 2.00 GiB received, 1.25 TiB sent\r\n", int64_t{2} << 30, int64_t{5} << 38},
      {"  transfer: 0.01 MiB received, 0.005 KiB sent", 10486, 5},  // 10485.76 up, 5.12 down
      {"transfer: 12 received, 34 sent", 12, 34},                   // no unit word: bytes
      // Only the first line with two readable values counts.
      {"  transfer: 1.00 KiB received\n  rx 5 B tx 6 B\n  transfer: 7 B received, 8 B sent\n"
       "  transfer: 9 B received, 10 B sent\n",
       7, 8},
      // A digit run too long for 64 bits is skipped with its unit, and so is a
      // value that would overflow once scaled.
      {"transfer: 1234567890123456789012345 KiB, 3 B received, 4.00 KiB sent", 3, 4096},
      {"transfer: 99999999999999999 TiB 1 B 2 B", 1, 2},
  };
  for (const auto& c : cases) {
    stats = StatsOf(c.output);
    EXPECT_EQ(stats.rx, c.rx) << c.output;
    EXPECT_EQ(stats.tx, c.tx) << c.output;
  }
}

TEST_F(StatusTest, UnreadableCountersGiveZerosWithoutAParsedLine) {
  for (const char* output :
       {"interface: orva_divuv\n  listening port: 51820\n", "transfer: lots received, more sent",
        "transfer: 1.2.3 KiB received, -4 B sent, 1e5 B",
        "Unable to access interface: Permission denied\r\n"}) {
    TransferStats stats = StatsOf(output);
    EXPECT_EQ(stats.rx, 0) << output;
    EXPECT_EQ(stats.tx, 0) << output;
    for (const std::string& line : env_.logs) {
      EXPECT_EQ(line.find("Parsed transfer stats"), std::string::npos) << output;
    }
  }
  StatsOf("");
  EXPECT_EQ(env_.logs.back(), Log("getStats: command failed or empty output, returning 0 stats"));
}

}  // namespace
