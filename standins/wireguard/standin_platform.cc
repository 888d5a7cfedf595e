// Win32 implementation of the stand-in tools' shared services.
#include "standins/wireguard/standin_platform.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdlib>

namespace wg_standin {

std::vector<std::string> CommandLineArguments() {
  std::vector<std::string> arguments;
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (argv == nullptr) return arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(Narrow(argv[i]));
  LocalFree(argv);
  return arguments;
}

std::optional<std::string> EnvironmentVariable(const wchar_t* name) {
  const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return std::nullopt;
  std::wstring value(size, L'\0');
  const DWORD written = GetEnvironmentVariableW(name, &value[0], size);
  if (written == 0 || written >= size) return std::nullopt;
  value.resize(written);
  return Narrow(value);
}

std::wstring StateFolder() {
  std::wstring folder;
  if (auto custom = EnvironmentVariable(L"ORVA_STANDIN_WIREGUARD_STATE_DIR")) {
    folder = Widen(*custom);
  } else {
    wchar_t common[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, common))) {
      lstrcpyW(common, L"C:\\ProgramData");
    }
    folder = std::wstring(common) + L"\\OrvaStandinWireGuard";
  }
  SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
  return folder;
}

StateLock::StateLock() : mutex_(CreateMutexW(nullptr, FALSE, L"Local\\OrvaStandinWireGuardState")) {
  if (!mutex_.IsValid()) return;
  // An abandoned mutex (a tool killed while holding it) is ours all the same.
  const DWORD wait = WaitForSingleObject(mutex_.Get(), 30000);
  owned_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
}

StateLock::~StateLock() {
  if (owned_) ReleaseMutex(mutex_.Get());
}

std::optional<std::string> ReadWholeFile(const std::wstring& path) {
  UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) return std::nullopt;
  std::string bytes;
  char buffer[64 * 1024];
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr)) return std::nullopt;
    if (read == 0) break;
    bytes.append(buffer, read);
  }
  return bytes;
}

bool ReplaceFile(const std::wstring& path, const std::string& bytes) {
  const std::wstring temporary = path + L".tmp";
  {
    UniqueHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) return false;
    DWORD written = 0;
    if (!bytes.empty() && (!WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                      &written, nullptr) ||
                           written != bytes.size())) {
      file.Reset();
      DeleteFileW(temporary.c_str());
      return false;
    }
  }
  if (!MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    DeleteFileW(temporary.c_str());
    return false;
  }
  return true;
}

namespace {

std::optional<long long> NumberVariable(const wchar_t* name) {
  const auto text = EnvironmentVariable(name);
  if (!text) return std::nullopt;
  char* end = nullptr;
  const long long value = std::strtoll(text->c_str(), &end, 10);
  if (end == text->c_str() || *end != '\0') return std::nullopt;
  return value;
}

}  // namespace

int64_t NowMs() {
  int64_t ms = 0;
  if (auto pinned = NumberVariable(L"ORVA_STANDIN_CLOCK_MS")) {
    ms = *pinned;
  } else {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const uint64_t ticks = (uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
    // FILETIME counts 100 ns steps since 1601; 11644473600 s lie between 1601 and 1970.
    ms = static_cast<int64_t>(ticks / 10000) - 11644473600000LL;
  }
  return ms + NumberVariable(L"ORVA_STANDIN_CLOCK_SHIFT_MS").value_or(0);
}

FaultSwitches LoadFaults() {
  FaultSwitches faults;
  if (auto from_environment = EnvironmentVariable(L"ORVA_STANDIN_FAULTS")) {
    faults.Add(*from_environment);
  }
  if (auto from_file = ReadWholeFile(StateFolder() + L"\\faults.txt")) faults.Add(*from_file);
  return faults;
}

void WriteRaw(DWORD std_handle, const std::string& bytes) {
  HANDLE out = GetStdHandle(std_handle);
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
  size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 16));
    DWORD written = 0;
    if (!WriteFile(out, bytes.data() + done, chunk, &written, nullptr) || written == 0) return;
    done += written;
  }
}

void SleepMs(uint64_t ms) {
  while (ms > 0) {
    const DWORD slice = static_cast<DWORD>(std::min<uint64_t>(ms, 60000));
    Sleep(slice);
    ms -= slice;
  }
}

}  // namespace wg_standin
