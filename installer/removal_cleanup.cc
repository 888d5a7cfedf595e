// orva_vpn_cleanup.exe /uninstall: run by ORVA VPN's package, as SYSTEM,
// when the program is removed for good (never when an upgrade replaces it;
// see orva-vpn.wxs). It takes away what the program left on the machine:
//
//   - the tunnel service "orva_divuv", through WireGuard's own
//     `wireguard.exe /uninstalltunnelservice orva_divuv`, as the program's
//     disconnect does, from the folder the program takes the tool from;
//   - orva_divuv.conf, which holds the tunnel's private key, and the
//     temporary files of our saves beside it (orva_divuv.conf.tmp,
//     orva_divuv.conf.*.tmp) in WireGuard's Configurations folder;
//   - ProgramData\ORVA VPN, the support log, with everything in it.
//
// WireGuard itself, its other tunnels and the rest of its folder stay.
// Whatever is already gone is skipped without a word. Links are removed as
// links, never entered. Exit code 0 when nothing of ours is left, 1 when
// something could not be removed, 2 without the switch (then nothing is
// touched: a double click must not drop the user's tunnel). The package
// ignores the exit code, so a removal never fails because of this step.
#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include <cwchar>
#include <string>
#include <vector>

#include "common/unique_handle.h"

namespace {

constexpr DWORD kToolTimeoutMs = 30000;

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// %ProgramFiles%\WireGuard when that folder exists, else the default folder:
// where the program itself runs WireGuard's tools from.
std::wstring WireguardFolder() {
  wchar_t program_files[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(L"ProgramFiles", program_files, MAX_PATH);
  if (length > 0 && length < MAX_PATH) {
    std::wstring folder = std::wstring(program_files, length) + L"\\WireGuard";
    if (Exists(folder)) return folder;
  }
  return L"C:\\Program Files\\WireGuard";
}

// Its answer does not matter: without the tunnel the tool says so and
// changes nothing.
void RemoveTunnelService() {
  const std::wstring tool = WireguardFolder() + L"\\wireguard.exe";
  if (!Exists(tool)) return;
  std::wstring command = L"\"" + tool + L"\" /uninstalltunnelservice orva_divuv";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION created{};
  if (!CreateProcessW(tool.c_str(), command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                      nullptr, nullptr, &startup, &created)) {
    return;
  }
  UniqueProcessInformation process;
  process.Adopt(created);
  if (WaitForSingleObject(process.process.Get(), kToolTimeoutMs) == WAIT_TIMEOUT) {
    TerminateProcess(process.process.Get(), 1);
  }
}

// After a failed open: true when there is nothing at that path.
bool Absent() {
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Compares as Windows compares file names: without regard to case.
bool SameName(const wchar_t* name, size_t length, const std::wstring& other) {
  return CompareStringOrdinal(name, static_cast<int>(length), other.c_str(),
                              static_cast<int>(other.size()), TRUE) == CSTR_EQUAL;
}

// Where the system resolved `handle` to (\\?\C:\...), or "" when it cannot say.
std::wstring ResolvedPath(HANDLE handle) {
  wchar_t path[1024];
  const DWORD length = GetFinalPathNameByHandleW(handle, path, 1024, FILE_NAME_NORMALIZED);
  return length > 0 && length < 1024 ? std::wstring(path, length) : std::wstring();
}

// The entries of an open folder, without "." and "..", read through its
// handle, so that they are that folder's whatever happens to its name. The
// buffer is on the heap: Remove recurses once per level of nesting.
std::vector<std::wstring> Names(HANDLE folder) {
  std::vector<std::wstring> names;
  std::vector<unsigned char> buffer(size_t{16} * 1024);
  FILE_INFO_BY_HANDLE_CLASS query = FileIdBothDirectoryRestartInfo;
  while (GetFileInformationByHandleEx(folder, query, buffer.data(),
                                      static_cast<DWORD>(buffer.size()))) {
    query = FileIdBothDirectoryInfo;
    for (unsigned char* at = buffer.data();;) {
      const auto* entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(at);
      std::wstring name(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
      if (name != L"." && name != L"..") names.push_back(std::move(name));
      if (entry->NextEntryOffset == 0) break;
      at += entry->NextEntryOffset;
    }
  }
  return names;
}

std::wstring Child(std::wstring folder, const std::wstring& name) {
  folder += L'\\';
  folder += name;
  return folder;
}

// Removes the entry at `path` and, for a folder, everything in it; true when
// nothing is left there. `resolved` is where the entry must resolve to: the
// resolved path of its folder, a backslash and its name.
//
// Each entry is opened as itself (FILE_FLAG_OPEN_REPARSE_POINT: a junction
// or symbolic link, not its target) and deleted through that handle; a link
// is never entered. A folder stays open, unshared for deletion, while it is
// emptied, so that nothing can be swapped in under its name meanwhile. An
// entry that resolves anywhere but `resolved` was reached through a link
// the system followed all the same (Wine does, for a symbolic link in its
// prefix, and reports a link to a file as a plain file): it stays, since a
// link left behind is better than a target emptied.
bool Remove(const std::wstring& path, const std::wstring& resolved) {
  UniqueHandle entry(CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_LIST_DIRECTORY,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                                 nullptr));
  if (!entry) return Absent();
  FILE_ATTRIBUTE_TAG_INFO tag{};
  const std::wstring found = ResolvedPath(entry.Get());
  if (!SameName(found.c_str(), found.size(), resolved) ||
      !GetFileInformationByHandleEx(entry.Get(), FileAttributeTagInfo, &tag, sizeof tag)) {
    return false;
  }
  bool emptied = true;
  if ((tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
      !(tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    for (const std::wstring& name : Names(entry.Get())) {
      emptied = Remove(Child(path, name), Child(resolved, name)) && emptied;
    }
  }
  FILE_DISPOSITION_INFO dispose{TRUE};
  return emptied &&
         SetFileInformationByHandle(entry.Get(), FileDispositionInfo, &dispose, sizeof dispose);
}

// Removes each entry of `folder` that `ours` accepts (see Remove); true when
// none is left.
bool RemoveFrom(const std::wstring& folder, bool (*ours)(const std::wstring& name)) {
  UniqueHandle opened(CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!opened) return Absent();
  const std::wstring resolved = ResolvedPath(opened.Get());
  bool removed = true;
  for (const std::wstring& name : Names(opened.Get())) {
    if (ours(name)) removed = Remove(Child(folder, name), Child(resolved, name)) && removed;
  }
  return removed;
}

// The support log's folder in ProgramData.
bool IsLogFolder(const std::wstring& name) {
  return SameName(name.c_str(), name.size(), L"ORVA VPN");
}

// In WireGuard's Configurations folder: orva_divuv.conf, and the temporary
// files of our saves, orva_divuv.conf.tmp and orva_divuv.conf.*.tmp.
bool IsConfiguration(const std::wstring& name) {
  const std::wstring file = L"orva_divuv.conf", temporary = file + L".";
  return SameName(name.c_str(), name.size(), file) ||
         (name.size() >= temporary.size() + 3 &&
          SameName(name.c_str(), temporary.size(), temporary) &&
          SameName(name.c_str() + name.size() - 4, 4, L".tmp"));
}

bool AskedToUninstall() {
  int count = 0;
  UniqueLocal arguments(CommandLineToArgvW(GetCommandLineW(), &count));
  wchar_t** argv = static_cast<wchar_t**>(arguments.Get());
  return argv && count == 2 && SameName(argv[1], std::wcslen(argv[1]), L"/uninstall");
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  if (!AskedToUninstall()) return 2;
  RemoveTunnelService();
  wchar_t program_data[MAX_PATH];
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT,
                              program_data))) {
    return 1;
  }
  const std::wstring data = program_data;
  const bool configuration = RemoveFrom(data + L"\\WireGuard\\Configurations", IsConfiguration);
  const bool log = RemoveFrom(data, IsLogFolder);
  return configuration && log ? 0 : 1;
}
