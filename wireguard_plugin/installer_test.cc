// Tests of FindWireguardInstaller and InstallWireguard: where the installer is
// looked for, the command line it is run with, and how the installation is
// confirmed, all over a scripted machine without real waits.
#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

#include "wireguard_plugin/fake_wireguard_machine.h"
#include "wireguard_plugin/wireguard_plugin.h"

namespace {

const std::string kAppFolder = "C:\\Program Files\\ORVA VPN";
// msiexec by its full path in the fake's system folder.
const std::string kMsiexec = "\"C:\\Windows\\system32\\msiexec.exe\"";

// A machine without WireGuard whose installer, once run, installs it after
// |sleeps_until_detected| verification waits (never when negative).
class InstallTarget : public FakeWireguardMachine {
 public:
  int sleeps_until_detected = -1;

  InstallTarget() {
    RemoveWireguard();
    on_installer = [this](const std::string&, uint32_t) {
      installer_ran = true;
      return installer_outcome;
    };
  }

  Status installer_outcome;
  bool installer_ran = false;

  void Sleep(uint32_t milliseconds) override {
    FakePluginEnv::Sleep(milliseconds);
    if (installer_ran && sleeps_until_detected >= 0 &&
        static_cast<int>(sleeps.size()) >= sleeps_until_detected) {
      paths.insert(kTunnelToolPath);
    }
  }

  // True when the plugin wrote |message| before the wait for the installer
  // began.
  bool LoggedBeforeTheWait(const std::string& message) const {
    auto wait = std::find(events.begin(), events.end(), "installer-wait");
    return wait != events.end() &&
           std::find(events.begin(), wait, "log [WireGuardPlugin] " + message) != wait;
  }

  // Installer, broadcast and sleep events only, in order.
  std::vector<std::string> InstallEvents() const {
    std::vector<std::string> selected;
    for (const std::string& event : events) {
      if (event.rfind("installer ", 0) == 0 || event == "broadcast" ||
          event.rfind("sleep ", 0) == 0) {
        selected.push_back(event.rfind("installer ", 0) == 0 ? "installer" : event);
      }
    }
    return selected;
  }
};

std::vector<std::string> Repeat(const std::string& event, int count) {
  return std::vector<std::string>(count, event);
}

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> joined;
  for (const auto& part : parts) joined.insert(joined.end(), part.begin(), part.end());
  return joined;
}

TEST(FindWireguardInstaller, SubFolderWinsThenNameOrderDecides) {
  {
    SCOPED_TRACE("sub-folder's last name against the folder's first name");
    InstallTarget machine;
    machine.paths.insert(kAppFolder + "\\wireguard-installer.msi");
    machine.paths.insert(kAppFolder + "\\wireguard\\wireguard.exe");
    WireguardPlugin plugin(nullptr, machine);
    EXPECT_EQ(plugin.FindWireguardInstaller(), kAppFolder + "\\wireguard\\wireguard.exe");
    EXPECT_TRUE(machine.Logged("Found installer at: " + kAppFolder + "\\wireguard\\wireguard.exe"));
  }
  {
    SCOPED_TRACE("several names in one folder, letter case not mattering");
    InstallTarget machine;
    machine.paths.insert(kAppFolder + "\\wireguard_installer.exe");
    machine.paths.insert(kAppFolder + "\\WIREGUARD_INSTALLER.MSI");
    WireguardPlugin plugin(nullptr, machine);
    EXPECT_EQ(plugin.FindWireguardInstaller(), kAppFolder + "\\wireguard_installer.msi");
  }
  {
    SCOPED_TRACE("executable path with forward slashes");
    InstallTarget machine;
    machine.module_file_name = "D:/apps/orva_vpn.exe";
    machine.paths.insert("D:/apps\\wireguard\\wireguard_installer.msi");
    WireguardPlugin plugin(nullptr, machine);
    EXPECT_EQ(plugin.FindWireguardInstaller(), "D:/apps\\wireguard\\wireguard_installer.msi");
  }
}

TEST(FindWireguardInstaller, AnswersEmptyWhenThereIsNothingToFind) {
  for (const std::string& module :
       {std::string(), std::string("orva_vpn.exe"), kAppFolder + "\\orva_vpn.exe"}) {
    SCOPED_TRACE(module);
    InstallTarget machine;
    machine.module_file_name = module;
    machine.paths.insert(kAppFolder + "\\installer.msi");  // not a candidate name
    WireguardPlugin plugin(nullptr, machine);
    EXPECT_EQ(plugin.FindWireguardInstaller(), "");
    EXPECT_EQ(machine.Messages(),
              std::vector<std::string>{"WireGuard installer not found in application directory"});
  }
}

TEST(InstallWireguard, RunsPackagesThroughMsiexecAndProgramsWithSilentSwitches) {
  struct Case {
    std::string module;
    std::string installer;
    std::string command;
  };
  const std::vector<Case> cases = {
      {kAppFolder + "\\orva_vpn.exe", kAppFolder + "\\wireguard\\wireguard-installer.msi",
       kMsiexec + " /i \"" + kAppFolder +
           "\\wireguard\\wireguard-installer.msi\" /quiet /norestart DO_NOT_LAUNCH=1"},
      {kAppFolder + "\\orva_vpn.exe", kAppFolder + "\\wireguard_installer.exe",
       "\"" + kAppFolder + "\\wireguard_installer.exe\" /S /SILENT /VERYSILENT"},
      // Only wireguard.exe beside the executable: the last candidate.
      {kAppFolder + "\\orva_vpn.exe", kAppFolder + "\\wireguard.exe",
       "\"" + kAppFolder + "\\wireguard.exe\" /S /SILENT /VERYSILENT"},
      // ".msi" in any letter case, here inside a folder name.
      {"C:\\Kits.MSI Build\\orva_vpn.exe", "C:\\Kits.MSI Build\\wireguard.exe",
       kMsiexec + " /i \"C:\\Kits.MSI Build\\wireguard.exe\" /quiet /norestart DO_NOT_LAUNCH=1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.installer);
    InstallTarget machine;
    machine.module_file_name = c.module;
    machine.paths.insert(c.installer);
    machine.sleeps_until_detected = 1;
    WireguardPlugin plugin(nullptr, machine);
    EXPECT_TRUE(plugin.InstallWireguard());
    EXPECT_EQ(std::count(machine.events.begin(), machine.events.end(),
                         "installer " + c.command + " 300000"),
              1);
    // The search logs the path, and InstallWireguard logs it once more.
    const std::vector<std::string> messages = machine.Messages();
    EXPECT_EQ(std::count(messages.begin(), messages.end(), "Found installer at: " + c.installer),
              2);
  }
}

TEST(InstallWireguard, DetectedAtOnceAnswersTrueAfterTheShortestWaits) {
  // The installer runs even when WireGuard is there already.
  for (const bool present_before : {false, true}) {
    SCOPED_TRACE(present_before ? "present before" : "installed by the installer");
    InstallTarget machine;
    machine.paths.insert(kAppFolder + "\\wireguard\\wireguard-installer.msi");
    machine.sleeps_until_detected = 1;
    if (present_before) machine.paths.insert({kTunnelToolPath, kControlToolPath});
    WireguardPlugin plugin(nullptr, machine);

    EXPECT_TRUE(plugin.InstallWireguard());
    EXPECT_EQ(machine.InstallEvents(),
              (std::vector<std::string>{"installer", "broadcast", "sleep 500", "sleep 1000"}));
    EXPECT_TRUE(machine.LoggedInOrder({
        "InstallWireguard called",
        "Installer process started, waiting for completion...",
        "Installer completed",
        "WireGuard installed successfully",
    }));
    // Written as the installer starts, not when the (up to five minutes) wait
    // for it is over.
    EXPECT_TRUE(
        machine.LoggedBeforeTheWait("Installer process started, waiting for completion..."));
  }
}

TEST(InstallWireguard, InstallerThatInstallsNothingFailsAfterTwentyAttempts) {
  InstallTarget machine;
  machine.paths.insert(kAppFolder + "\\wireguard-installer.msi");
  WireguardPlugin plugin(nullptr, machine);

  EXPECT_FALSE(plugin.InstallWireguard());
  // Broadcast once at the end of the installer, again in attempts 5 and 10
  // after their waits.
  EXPECT_EQ(machine.InstallEvents(), Join({{"installer", "broadcast"},
                                           Repeat("sleep 500", 6),
                                           {"broadcast"},
                                           Repeat("sleep 500", 5),
                                           {"broadcast"},
                                           Repeat("sleep 500", 9)}));
  EXPECT_TRUE(
      machine.LoggedInOrder({"Installer completed", "WireGuard installation verification failed"}));
  EXPECT_FALSE(machine.Logged("WireGuard installed successfully"));
}

TEST(InstallWireguard, DetectionLateInThePollingStillCounts) {
  InstallTarget machine;
  machine.paths.insert(kAppFolder + "\\wireguard-installer.msi");
  machine.sleeps_until_detected = 20;
  WireguardPlugin plugin(nullptr, machine);

  EXPECT_TRUE(plugin.InstallWireguard());
  EXPECT_EQ(machine.sleeps.size(), 21u) << "twenty attempts, then the final wait";
  EXPECT_EQ(machine.sleeps.back(), 1000u);
}

TEST(InstallWireguard, FailuresToRunTheInstaller) {
  {
    SCOPED_TRACE("no installer");
    InstallTarget machine;
    WireguardPlugin plugin(nullptr, machine);
    EXPECT_FALSE(plugin.InstallWireguard());
    EXPECT_EQ(machine.Messages(),
              (std::vector<std::string>{"InstallWireguard called",
                                        "WireGuard installer not found in application directory",
                                        "WireGuard installer not found"}));
    EXPECT_FALSE(machine.installer_ran);
  }
  {
    SCOPED_TRACE("installer does not start");
    InstallTarget machine;
    machine.paths.insert(kAppFolder + "\\wireguard.exe");
    machine.installer_outcome = Status::Failed(Status::Step::kCreateProcess, 2);
    WireguardPlugin plugin(nullptr, machine);
    EXPECT_FALSE(plugin.InstallWireguard());
    EXPECT_EQ(machine.MessagesAfter("Failed to start installer process"),
              std::vector<std::string>{"CreateProcess error: 2"});
    EXPECT_FALSE(machine.Logged("Installer process started, waiting for completion..."));
    EXPECT_EQ(machine.InstallEvents(), std::vector<std::string>{"installer"});
  }
  {
    SCOPED_TRACE("installer refused for the moment, then started");
    InstallTarget machine;
    machine.paths.insert(kAppFolder + "\\wireguard.exe");
    machine.sleeps_until_detected = 2;
    machine.on_installer = [&machine](const std::string&, uint32_t) {
      machine.installer_ran = true;
      return machine.InstallEvents().size() == 1
                 ? Status::Failed(Status::Step::kCreateProcess, 1359)
                 : Status();
    };
    WireguardPlugin plugin(nullptr, machine);
    EXPECT_TRUE(plugin.InstallWireguard());
    EXPECT_TRUE(machine.LoggedInOrder(
        {"Failed to start installer process", "CreateProcess error: 1359",
         "Retrying installer start in 250 ms",
         "Installer process started, waiting for completion...", "Installer completed"}));
    EXPECT_EQ(machine.InstallEvents(),
              (std::vector<std::string>{"installer", "sleep 250", "installer", "broadcast",
                                        "sleep 500", "sleep 1000"}));
  }
  {
    SCOPED_TRACE("installer still running after five minutes");
    InstallTarget machine;
    machine.paths.insert(kAppFolder + "\\wireguard.exe");
    machine.installer_outcome = Status::Failed(Status::Step::kTimedOut);
    machine.sleeps_until_detected = 0;
    WireguardPlugin plugin(nullptr, machine);
    EXPECT_FALSE(plugin.InstallWireguard());
    EXPECT_TRUE(machine.LoggedInOrder(
        {"Installer process started, waiting for completion...", "Installer timeout"}));
    EXPECT_EQ(machine.InstallEvents(), std::vector<std::string>{"installer"})
        << "no broadcast and no verification after a time-out";
    EXPECT_FALSE(machine.Logged("Installer completed"));
  }
}

}  // namespace
