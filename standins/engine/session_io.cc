// File system and process access of the scripted session (see session_io.h).
#include "standins/engine/session_io.h"

#include <psapi.h>
#include <windows.h>

#include <algorithm>
#include <vector>

#include "standins/engine/engine_objects.h"

namespace standin {
namespace {

std::string LastErrorText(const char* what, const std::string& path) {
  return std::string(what) + " " + path + " failed (error " + std::to_string(GetLastError()) + ")";
}

std::wstring FullPath(const std::string& path) {
  std::wstring wide = Widen(path);
  DWORD length = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (length == 0) return wide;
  std::wstring full(length, L'\0');
  length = GetFullPathNameW(wide.c_str(), length, full.data(), nullptr);
  full.resize(length);
  return full;
}

// Creates every missing folder above the file |full_path|.
void CreateParentFolders(const std::wstring& full_path) {
  for (size_t i = 3; i < full_path.size(); ++i) {  // past "C:\"
    if (full_path[i] == L'\\' || full_path[i] == L'/') {
      CreateDirectoryW(full_path.substr(0, i).c_str(), nullptr);
    }
  }
}

bool WriteAll(HANDLE file, const std::string& bytes) {
  size_t written_total = 0;
  while (written_total < bytes.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - written_total, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + written_total, chunk, &written, nullptr) || written == 0) {
      return false;
    }
    written_total += written;
  }
  return true;
}

}  // namespace

std::unique_ptr<TranscriptFile> TranscriptFile::Create(const std::string& path,
                                                       std::string* error) {
  std::wstring full = FullPath(path);
  CreateParentFolders(full);
  UniqueHandle file(CreateFileW(full.c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) {
    *error = LastErrorText("creating the transcript", path);
    return nullptr;
  }
  return std::unique_ptr<TranscriptFile>(new TranscriptFile(std::move(file)));
}

bool TranscriptFile::Append(const std::string& line) {
  return WriteAll(file_.Get(), line + "\n") && FlushFileBuffers(file_.Get());
}

bool ReadWholeFile(const std::string& path, std::string* contents, std::string* error) {
  UniqueHandle file(CreateFileW(FullPath(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) {
    *error = LastErrorText("opening", path);
    return false;
  }
  contents->clear();
  char buffer[65536];
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr)) {
      *error = LastErrorText("reading", path);
      return false;
    }
    if (read == 0) return true;
    contents->append(buffer, read);
  }
}

bool WriteWholeFile(const std::string& path, const std::string& text, std::string* error) {
  std::wstring full = FullPath(path);
  CreateParentFolders(full);
  UniqueHandle file(CreateFileW(full.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) {
    *error = LastErrorText("creating", path);
    return false;
  }
  if (!WriteAll(file.Get(), text)) {
    *error = LastErrorText("writing", path);
    return false;
  }
  return true;
}

bool DeleteFileIfPresent(const std::string& path, std::string* error) {
  if (DeleteFileW(FullPath(path).c_str())) return true;
  DWORD code = GetLastError();
  if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return true;
  SetLastError(code);
  *error = LastErrorText("deleting", path);
  return false;
}

bool SetReadOnly(const std::string& path, bool read_only, std::string* error) {
  const std::wstring full = FullPath(path);
  const DWORD attributes = GetFileAttributesW(full.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    if (attributes != INVALID_FILE_ATTRIBUTES) SetLastError(ERROR_ACCESS_DENIED);
    *error = LastErrorText("marking", path);
    return false;
  }
  const DWORD wanted = read_only ? (attributes | FILE_ATTRIBUTE_READONLY)
                                 : (attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  if (!SetFileAttributesW(full.c_str(), wanted)) {
    *error = LastErrorText("marking", path);
    return false;
  }
  return true;
}

bool RunAndWait(const std::string& command_line, uint32_t* exit_code, std::string* error) {
  SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
  UniqueHandle nul(CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               &inheritable, OPEN_EXISTING, 0, nullptr));
  std::wstring line = Widen(command_line);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  startup.hStdOutput = startup.hStdError = nul.Get();
  PROCESS_INFORMATION created{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                      CREATE_NO_WINDOW | DETACHED_PROCESS, nullptr, nullptr, &startup, &created)) {
    *error = LastErrorText("starting", command_line);
    return false;
  }
  UniqueHandle process(created.hProcess), thread(created.hThread);
  WaitForSingleObject(process.Get(), INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.Get(), &code);
  *exit_code = code;
  return true;
}

void ProcessDiagnostics(uint64_t* handles, uint64_t* private_bytes) {
  DWORD handle_count = 0;
  if (!GetProcessHandleCount(GetCurrentProcess(), &handle_count) || handle_count == 0) {
    // Some Windows implementations (Wine among them) do not report the
    // count: probe the handle table instead. Handle values are multiples of
    // 4 handed out from the low end, so the probe stops after a long run of
    // values that are not handles.
    handle_count = 0;
    int misses = 0;
    for (uintptr_t value = 4; misses < 1024; value += 4) {
      DWORD flags;
      if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
        ++handle_count;
        misses = 0;
      } else {
        ++misses;
      }
    }
  }
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  uint64_t bytes = 0;
  if (GetProcessMemoryInfo(GetCurrentProcess(),
                           reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                           sizeof counters)) {
    bytes = counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
  }
  if (bytes == 0) {
    // Not reported either: add up the committed private regions ourselves.
    MEMORY_BASIC_INFORMATION region;
    const char* address = nullptr;
    while (VirtualQuery(address, &region, sizeof region) == sizeof region) {
      if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) bytes += region.RegionSize;
      const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
      if (next <= address) break;
      address = next;
    }
  }
  *handles = handle_count;
  *private_bytes = bytes;
}

bool EnvironmentVariable(const wchar_t* name, std::string* value) {
  DWORD length = GetEnvironmentVariableW(name, nullptr, 0);
  if (length == 0) return false;
  std::vector<wchar_t> buffer(length);
  length = GetEnvironmentVariableW(name, buffer.data(), length);
  *value = Narrow(std::wstring(buffer.data(), length));
  return true;
}

}  // namespace standin
