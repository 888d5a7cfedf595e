// The stand-in installers as the product runs them: the MSI package through
// Wine's own msiexec with the product's switches, and the setup program with
// its silent switches. Both must leave wg.exe and wireguard.exe in
// C:\Program Files\WireGuard and no HKLM\SOFTWARE\WireGuard key; the package
// launches WireGuard's manager at the end unless given DO_NOT_LAUNCH=1. Every
// test leaves the prefix without WireGuard, as it found it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "standins/wireguard/standin_platform.h"
#include "standins/wireguard/tests/process_runner.h"

namespace wg_standin_test {
namespace {

const std::wstring kInstallFolder = L"C:\\Program Files\\WireGuard";

std::wstring Package() { return StandinFolder() + L"\\wireguard-installer.msi"; }
std::wstring SetupProgram() { return StandinFolder() + L"\\wireguard-installer.exe"; }

bool MachineKeyExists(const wchar_t* subkey) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// True when the installed tool has the same bytes as the one built.
void ExpectInstalledCopyOf(const wchar_t* tool) {
  const auto installed = wg_standin::ReadWholeFile(kInstallFolder + L"\\" + tool);
  const auto built = wg_standin::ReadWholeFile(ToolsFolder() + L"\\" + tool);
  ASSERT_TRUE(installed) << wg_standin::Narrow(tool) << " not installed";
  ASSERT_TRUE(built);
  EXPECT_TRUE(*installed == *built) << wg_standin::Narrow(tool) << " differs from the built tool";
}

class StandinInstallers : public ::testing::Test {
 protected:
  // How many times the manager (wireguard.exe without arguments) was
  // launched, waiting up to |wait_ms| for at least |at_least| launches: the
  // package starts it without waiting for it.
  size_t ManagerLaunches(size_t at_least, DWORD wait_ms) const {
    const std::wstring record = state_.path() + L"\\manager-launches.txt";
    for (DWORD waited = 0;; waited += 100) {
      const std::string text = wg_standin::ReadWholeFile(record).value_or(std::string());
      const size_t launches = std::count(text.begin(), text.end(), '\n');
      if (launches >= at_least || waited >= wait_ms) return launches;
      Sleep(100);
    }
  }

  void SetUp() override { RemoveWireGuard(); }
  void TearDown() override { RemoveWireGuard(); }

  static void RemoveWireGuard() {
    RunWithoutPipes(L"msiexec.exe /x \"" + Package() + L"\" /quiet /norestart", 300000);
    RemoveTree(kInstallFolder);
    ASSERT_FALSE(FileExists(kInstallFolder))
        << "cannot clear " << wg_standin::Narrow(kInstallFolder);
  }

  ScopedEnv no_faults_{L"ORVA_STANDIN_FAULTS", L""};
  ScopedStateFolder state_;
};

// The silent install through msiexec with DO_NOT_LAUNCH=1, as the product
// runs it, is the end-to-end mission's (tests/e2e/sessions/full_mission.session).
TEST_F(StandinInstallers, MsiPackageLaunchesTheManagerWithoutDoNotLaunch) {
  ASSERT_EQ(RunWithoutPipes(L"msiexec.exe /i \"" + Package() + L"\" /quiet /norestart", 300000),
            std::optional<DWORD>(0));
  EXPECT_EQ(ManagerLaunches(1, 20000), 1u);
  // Removing the package launches nothing.
  ASSERT_EQ(RunWithoutPipes(L"msiexec.exe /x \"" + Package() + L"\" /quiet /norestart", 300000),
            std::optional<DWORD>(0));
  EXPECT_EQ(ManagerLaunches(2, 3000), 1u);
}

TEST_F(StandinInstallers, SetupProgramInstallsBothToolsWithSilentSwitches) {
  const ProgramRun install = RunProgram(L"\"" + SetupProgram() + L"\" /S /SILENT /VERYSILENT");
  EXPECT_EQ(install.exit_code, 0u) << install.err;
  ExpectInstalledCopyOf(L"wireguard.exe");
  ExpectInstalledCopyOf(L"wg.exe");
  EXPECT_FALSE(MachineKeyExists(L"SOFTWARE\\WireGuard"));

  // Running it again over an existing installation is fine.
  EXPECT_EQ(RunProgram(L"\"" + SetupProgram() + L"\" /verysilent").exit_code, 0u);
  ExpectInstalledCopyOf(L"wg.exe");
}

// Told to fail (setup=no-install) it installs nothing: the end-to-end session
// fault_installer.session runs it so through the product.
TEST_F(StandinInstallers, SetupProgramInstallsNothingGivenUnknownSwitches) {
  const ProgramRun unknown = RunProgram(L"\"" + SetupProgram() + L"\" /S /D=C:\\elsewhere");
  EXPECT_EQ(unknown.exit_code, 2u);
  EXPECT_NE(unknown.err.find("unknown switch /D=C:\\elsewhere"), std::string::npos) << unknown.err;
  EXPECT_FALSE(FileExists(kInstallFolder + L"\\wg.exe"));
}

}  // namespace
}  // namespace wg_standin_test
