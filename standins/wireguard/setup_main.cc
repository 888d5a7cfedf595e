// Stand-in for WireGuard's setup program (wireguard-installer.exe): copies
// the stand-in wireguard.exe and wg.exe, which it carries as RCDATA
// resources, into %ProgramFiles%\WireGuard. Accepts the silent switches
// /S, /SILENT and /VERYSILENT (any letter case, any of them, or none, since
// there is no window to show); any other argument is refused with exit 2.
// Exit code 0 on success, 1 when a file could not be written. The fault
// switch "setup=no-install" makes it end at once with 0, installing nothing;
// "setup=slow:MS" makes it take MS ms (default 20000) before it installs, as
// a real installation takes its time.
#include <shlobj.h>
#include <windows.h>

#include <cctype>
#include <string>
#include <vector>

#include "standins/wireguard/setup_resources.h"
#include "standins/wireguard/standin_platform.h"

using namespace wg_standin;

namespace {

std::wstring ProgramFilesFolder() {
  if (auto folder = EnvironmentVariable(L"ProgramFiles")) return Widen(*folder);
  wchar_t folder[MAX_PATH] = {};
  if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, folder))) return folder;
  return L"C:\\Program Files";
}

bool ExtractResource(int id, const std::wstring& target) {
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10) /* RCDATA */);
  if (found == nullptr) return false;
  HGLOBAL loaded = LoadResource(nullptr, found);
  const DWORD size = SizeofResource(nullptr, found);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (bytes == nullptr || size == 0) return false;
  return ReplaceFile(target, std::string(static_cast<const char*>(bytes), size));
}

bool IsSilentSwitch(const std::string& arg) {
  std::string upper = arg;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper == "/S" || upper == "/SILENT" || upper == "/VERYSILENT";
}

}  // namespace

int main() {
  const std::vector<std::string> args = CommandLineArguments();
  for (size_t i = 1; i < args.size(); ++i) {
    if (!IsSilentSwitch(args[i])) {
      WriteRaw(STD_ERROR_HANDLE, "wireguard-installer: unknown switch " + args[i] +
                                     " (accepted: /S /SILENT /VERYSILENT)\n");
      return 2;
    }
  }
  const FaultSwitches faults = LoadFaults();
  if (faults.Has("setup", "no-install")) return 0;
  if (faults.Has("setup", "slow")) SleepMs(faults.NumberOr("setup", "slow", 20000));

  const std::wstring folder = ProgramFilesFolder() + L"\\WireGuard";
  SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
  if (!ExtractResource(kWireguardExeResource, folder + L"\\wireguard.exe") ||
      !ExtractResource(kWgExeResource, folder + L"\\wg.exe")) {
    WriteRaw(STD_ERROR_HANDLE,
             "wireguard-installer: could not write into " + Narrow(folder) + "\n");
    return 1;
  }
  return 0;
}
