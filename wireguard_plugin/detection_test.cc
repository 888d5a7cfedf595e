// WireGuard detection and tool paths over the fake platform.
#include <string>
#include <vector>

#include "wireguard_plugin/testing/plugin_test_fixture.h"

namespace {

using DetectionTest = PluginTest;

const char kWireguard64[] = "C:\\Program Files\\WireGuard\\wireguard.exe";
const char kWireguard32[] = "C:\\Program Files (x86)\\WireGuard\\wireguard.exe";
const char kWg64[] = "C:\\Program Files\\WireGuard\\wg.exe";
const char kWg32[] = "C:\\Program Files (x86)\\WireGuard\\wg.exe";

TEST_F(DetectionTest, FixedPathsAreProbedInOrderAndTheFirstHitIsLogged) {
  env_.paths = {kWg32, kWg64, kWireguard32};
  env_.machine_keys = {"SOFTWARE\\WireGuard"};
  EXPECT_TRUE(plugin_.IsWireguardInstalled());
  EXPECT_EQ(env_.logs,
            (std::vector<std::string>{Log(std::string("WireGuard found at: ") + kWireguard32)}));

  env_.logs.clear();
  env_.paths = {kWg32};
  EXPECT_TRUE(plugin_.IsWireguardInstalled());
  EXPECT_EQ(env_.logs,
            (std::vector<std::string>{Log(std::string("WireGuard found at: ") + kWg32)}));
  // Found in the 32-bit folder, yet the tools are still taken from the
  // 64-bit one.
  EXPECT_EQ(plugin_.GetWireguardDirectory(), "C:\\Program Files\\WireGuard");
}

TEST_F(DetectionTest, ShellProgramFolderThenRegistryAreTheLastResorts) {
  env_.shell_folders[kCsidlProgramFiles] = "D:\\Apps";
  env_.paths = {"D:\\Apps\\WireGuard\\wireguard.exe"};
  env_.machine_keys = {"SOFTWARE\\WireGuard"};
  EXPECT_TRUE(plugin_.IsWireguardInstalled());
  EXPECT_EQ(
      env_.logs,
      (std::vector<std::string>{Log("WireGuard found at: D:\\Apps\\WireGuard\\wireguard.exe")}));

  env_.logs.clear();
  env_.paths.clear();
  EXPECT_TRUE(plugin_.IsWireguardInstalled());
  EXPECT_EQ(env_.logs, (std::vector<std::string>{Log("WireGuard found in registry")}));

  env_.logs.clear();
  env_.shell_folders.clear();  // the shell query failing is skipped, not fatal
  EXPECT_TRUE(plugin_.IsWireguardInstalled());
  EXPECT_EQ(env_.logs, (std::vector<std::string>{Log("WireGuard found in registry")}));
}

TEST_F(DetectionTest, NothingFoundLogsExactlyOneLine) {
  env_.shell_folders[kCsidlProgramFiles] = "C:\\Program Files";
  // A probe path whose status cannot be determined counts as absent.
  env_.paths = {kWireguard64};
  env_.undeterminable = {kWireguard64};
  EXPECT_FALSE(plugin_.IsWireguardInstalled());
  EXPECT_EQ(env_.logs, (std::vector<std::string>{Log("WireGuard not found")}));
}

TEST_F(DetectionTest, DirectoryFollowsProgramFilesOnlyWhenItsWireGuardFolderExists) {
  EXPECT_EQ(plugin_.GetWireguardDirectory(), "C:\\Program Files\\WireGuard");

  env_.environment["PROGRAMFILES"] = "E:\\Programs";
  EXPECT_EQ(plugin_.GetWireguardDirectory(), "C:\\Program Files\\WireGuard");

  env_.paths = {"E:\\Programs\\WireGuard"};
  EXPECT_EQ(plugin_.GetWireguardDirectory(), "E:\\Programs\\WireGuard");
  EXPECT_TRUE(env_.logs.empty());
}

TEST_F(DetectionTest, ToolsAreFoundInTheFolderAndQuotedByTheirShortPaths) {
  env_.paths = {kWg64};
  env_.short_names[kWg64] = "C:\\PROGRA~1\\WIREGU~1\\wg.exe";
  const WireguardTools tools = plugin_.FindTools();
  EXPECT_TRUE(tools.wg.found);
  EXPECT_EQ(tools.wg.Quoted(), "\"C:\\PROGRA~1\\WIREGU~1\\wg.exe\"");
  EXPECT_FALSE(tools.wireguard.found);
  EXPECT_EQ(tools.wireguard.path, kWireguard64);
  EXPECT_TRUE(env_.logs.empty());
}

}  // namespace
