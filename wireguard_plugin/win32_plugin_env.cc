// The Win32 implementation of PluginEnv, and SystemPluginEnv().
//
// Every handle lives in an owner from common/unique_handle.h, so each
// operation closes what it opened on every path. Narrow paths are in the
// ANSI code page; file-system calls get them converted to UTF-16 through that
// code page. Nothing here throws.
//
// RunHidden reads the child's pipe on a reader thread so that the calling
// thread can bound the whole read: a blocking ReadFile on an anonymous pipe
// cannot be given a time-out of its own, and it only ends when every holder
// of the write end (the child and anything that inherited it) has closed it.
#include "wireguard_plugin/win32_plugin_env.h"

// clang-format off
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>
// clang-format on

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "common/text.h"

namespace {

// |sddl| as a security descriptor in |descriptor|; an empty text leaves it
// empty (the inherited default). False when the text cannot be converted.
bool ConvertSddl(const std::string& sddl, UniqueLocal& descriptor) {
  return sddl.empty() || ::ConvertStringSecurityDescriptorToSecurityDescriptorA(
                             sddl.c_str(), SDDL_REVISION_1, descriptor.Put(), nullptr);
}

// Writes all of |bytes| to |file|, in pieces of at most 1 MiB.
bool WriteAllTo(HANDLE file, const std::string& bytes) {
  size_t offset = 0;
  while (offset < bytes.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - offset, 1u << 20));
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data() + offset, chunk, &written, nullptr) || written == 0) {
      return false;
    }
    offset += written;
  }
  return true;
}

// Starts |command_line| hidden, with |flags|, into |child|. With |output|,
// the child inherits it as its standard output and standard error.
Status StartHidden(const std::string& command_line, DWORD flags, HANDLE output,
                   UniqueProcessInformation& child) {
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW | (output != nullptr ? STARTF_USESTDHANDLES : 0);
  startup.wShowWindow = SW_HIDE;
  startup.hStdOutput = startup.hStdError = output;
  // CreateProcessA wants a writable, zero-terminated command line.
  std::vector<char> line(command_line.begin(), command_line.end());
  line.push_back('\0');
  PROCESS_INFORMATION info{};
  if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, output != nullptr, flags, nullptr,
                        nullptr, &startup, &info)) {
    return Status::Failed(Status::Step::kCreateProcess, ::GetLastError());
  }
  child.Adopt(info);
  return Status();
}

// State shared by RunHidden and its reader thread. Both hold a reference, so
// a reader that cannot be stopped (a read that does not cancel) may outlive
// the call safely; it ends when the last writer closes the pipe.
struct PipeReader {
  UniqueHandle read_end;
  size_t kept_output_bytes = 0;
  std::mutex mutex;
  std::string output;

  void ReadToEnd() {
    char buffer[512];
    DWORD read = 0;
    while (::ReadFile(read_end.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
      std::lock_guard<std::mutex> lock(mutex);
      size_t room = kept_output_bytes - std::min(kept_output_bytes, output.size());
      output.append(buffer, std::min<size_t>(read, room));  // the rest is discarded
    }
  }

  std::string Output() {
    std::lock_guard<std::mutex> lock(mutex);
    return output;
  }
};

DWORD WINAPI ReaderThreadMain(void* parameter) {
  std::unique_ptr<std::shared_ptr<PipeReader>> reader(
      static_cast<std::shared_ptr<PipeReader>*>(parameter));
  (*reader)->ReadToEnd();
  return 0;
}

// Starts the reader thread; no handle when the thread could not be made.
UniqueHandle StartReader(const std::shared_ptr<PipeReader>& reader) {
  auto* parameter = new std::shared_ptr<PipeReader>(reader);
  UniqueHandle thread(::CreateThread(nullptr, 0, ReaderThreadMain, parameter, 0, nullptr));
  if (!thread) delete parameter;
  return thread;
}

// What a handle opened on a path refers to: the thing itself, a link
// itself, or (Wine 8 does this) a link's target although the path names a
// link, so that nothing done through the handle touches the link.
enum class Found { kItself, kLink, kLinkTarget };

// Opens |path| itself, never what a link there points to, with |access|;
// |found| says what the handle refers to and |info| describes it.
UniqueHandle OpenItself(const std::wstring& path, DWORD access, Found& found,
                        BY_HANDLE_FILE_INFORMATION& info) {
  UniqueHandle handle(::CreateFileW(
      path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!handle || !::GetFileInformationByHandle(handle.Get(), &info)) return UniqueHandle();
  const DWORD by_path = ::GetFileAttributesW(path.c_str());
  found = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? Found::kLink
          : by_path != INVALID_FILE_ATTRIBUTES && (by_path & FILE_ATTRIBUTE_REPARSE_POINT) != 0
              ? Found::kLinkTarget
              : Found::kItself;
  return handle;
}

// Marks what |handle| refers to for deletion when the handle is closed.
bool DeleteOnClose(HANDLE handle) {
  FILE_DISPOSITION_INFO disposition{TRUE};
  return ::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                      sizeof(disposition)) != 0;
}

// True when the owner of the file behind |file| is that of |folder|.
bool OwnedAsFolder(HANDLE file, const std::wstring& folder) {
  PSID owners[2] = {};
  UniqueLocal descriptors[2];
  return ::GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owners[0], nullptr,
                           nullptr, nullptr, descriptors[0].Put()) == ERROR_SUCCESS &&
         ::GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION,
                                 &owners[1], nullptr, nullptr, nullptr,
                                 descriptors[1].Put()) == ERROR_SUCCESS &&
         ::EqualSid(owners[0], owners[1]);
}

}  // namespace

Win32PluginEnv::Win32PluginEnv(RunLimits limits)
    : limits_(limits), interrupted_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  // With WG_HIDE_KEYS=never in its environment, wg.exe prints keys; no child
  // of ours inherits it.
  ::SetEnvironmentVariableW(L"WG_HIDE_KEYS", nullptr);
  // An administrator may take over a folder that someone else made (see
  // CreateProtectedFolder) only with this privilege, which an elevated
  // administrator holds but has not enabled.
  UniqueHandle token;
  TOKEN_PRIVILEGES restore{1, {{{0, 0}, SE_PRIVILEGE_ENABLED}}};
  if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, token.Put()) &&
      ::LookupPrivilegeValueW(nullptr, L"SeRestorePrivilege", &restore.Privileges[0].Luid)) {
    ::AdjustTokenPrivileges(token.Get(), FALSE, &restore, 0, nullptr, nullptr);
  }
}

void Win32PluginEnv::SetInterrupted(bool interrupted) {
  if (!interrupted_) return;
  if (interrupted) {
    ::SetEvent(interrupted_.Get());
  } else {
    ::ResetEvent(interrupted_.Get());
  }
}

bool Win32PluginEnv::Interrupted() const {
  return interrupted_ && ::WaitForSingleObject(interrupted_.Get(), 0) == WAIT_OBJECT_0;
}

unsigned long Win32PluginEnv::WaitUnlessInterrupted(HANDLE handle, uint32_t milliseconds) const {
  if (!interrupted_) return ::WaitForSingleObject(handle, milliseconds);
  // The interruption comes second: a wait that is already over counts as over.
  HANDLE handles[2] = {handle, interrupted_.Get()};
  DWORD wait = ::WaitForMultipleObjects(2, handles, FALSE, milliseconds);
  return wait == WAIT_OBJECT_0 + 1 ? kInterruptedWait : wait;
}

ProcessRun Win32PluginEnv::RunHidden(const std::string& command_line, Console console) {
  ProcessRun run;
  if (Interrupted()) {
    run.interrupted = true;
    return run;
  }

  auto reader = std::make_shared<PipeReader>();
  reader->kept_output_bytes = limits_.kept_output_bytes;
  UniqueHandle write_end;
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  if (!::CreatePipe(reader->read_end.Put(), write_end.Put(), &inheritable, 0)) {
    run.status = Status::Failed(Status::Step::kCreatePipe, ::GetLastError());
    return run;
  }
  if (!::SetHandleInformation(reader->read_end.Get(), HANDLE_FLAG_INHERIT, 0)) {
    run.status = Status::Failed(Status::Step::kSetHandleInformation, ::GetLastError());
    return run;
  }

  // The interpreter is started with CREATE_NO_WINDOW alone: it gets a hidden
  // console that the tools it starts share, so their output reaches our pipe
  // too (a detached interpreter's console tools would each get a console of
  // their own, and their output would be lost). A tool started directly is
  // detached: it needs no console, and none is made for it.
  //
  // The child starts suspended and joins a job of its own before it runs, so
  // that everything it starts is in the job too: when a run has to be ended,
  // the whole tree goes, including a tool that cmd.exe started and that
  // would otherwise hang on, holding the pipe, after cmd.exe is terminated.
  // Without a job (the system refuses one) only the child is terminated.
  const DWORD console_flags =
      console == Console::kHidden ? CREATE_NO_WINDOW : CREATE_NO_WINDOW | DETACHED_PROCESS;
  UniqueProcessInformation child;
  run.status = StartHidden(command_line, console_flags | CREATE_SUSPENDED, write_end.Get(), child);
  // Only the child may hold the write end now, or the read never ends.
  write_end.Reset();
  if (!run.status.ok()) return run;
  UniqueHandle job(::CreateJobObjectW(nullptr, nullptr));
  if (job && !::AssignProcessToJobObject(job.Get(), child.process.Get())) job.Reset();
  ::ResumeThread(child.thread.Get());
  child.thread.Reset();
  auto end_child = [&child, &job] {
    if (!job || !::TerminateJobObject(job.Get(), 1)) ::TerminateProcess(child.process.Get(), 1);
  };

  UniqueHandle reader_thread = StartReader(reader);
  DWORD read_wait = WAIT_OBJECT_0;
  if (!reader_thread) {
    reader->ReadToEnd();  // no thread to be had: read here, unbounded
  } else if ((read_wait = WaitUnlessInterrupted(reader_thread.Get(), limits_.overall_ms)) !=
             WAIT_OBJECT_0) {
    // Still reading after the overall bound, or the program is closing: end
    // the child, then pull the reader out of its blocked ReadFile. If the
    // read cannot be cancelled, the reader keeps its own reference to the
    // state and finishes when the last holder of the write end goes away.
    end_child();
    ::CancelSynchronousIo(reader_thread.Get());
    // When closing, the reader is not waited for: it holds its own reference
    // to the state and ends with the pipe.
    ::WaitForSingleObject(reader_thread.Get(), read_wait == kInterruptedWait ? 0 : 1000);
    run.output = reader->Output();
    run.exit_code = 1;
    run.terminated = true;
    run.interrupted = read_wait == kInterruptedWait;
    return run;
  }
  run.output = reader->Output();

  switch (WaitUnlessInterrupted(child.process.Get(), limits_.exit_wait_ms)) {
    case WAIT_OBJECT_0: {
      DWORD code = 1;
      if (::GetExitCodeProcess(child.process.Get(), &code)) run.exit_code = code;
      break;
    }
    case WAIT_TIMEOUT:
      end_child();
      run.terminated = true;
      break;
    case kInterruptedWait:
      end_child();
      run.terminated = true;
      run.interrupted = true;
      break;
    default:
      break;  // the wait failed: the exit code stays 1
  }
  return run;
}

Status Win32PluginEnv::RunInstaller(const std::string& command_line, uint32_t timeout_ms,
                                    const std::function<void()>& started) {
  UniqueProcessInformation child;
  const Status start =
      StartHidden(command_line, CREATE_NO_WINDOW | DETACHED_PROCESS, nullptr, child);
  if (!start.ok()) return start;
  if (started) started();
  // Closing the program cuts the wait short; the installer finishes on its
  // own, as one that outlives the wait does.
  DWORD wait = WaitUnlessInterrupted(child.process.Get(), timeout_ms);
  if (wait == WAIT_TIMEOUT || wait == kInterruptedWait) {
    return Status::Failed(Status::Step::kTimedOut);
  }
  return Status();
}

std::string Win32PluginEnv::SystemFolder() {
  char buffer[MAX_PATH] = {};
  UINT length = ::GetSystemDirectoryA(buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::string();
  return std::string(buffer, length);
}

void Win32PluginEnv::BroadcastEnvironmentChange() {
  if (Interrupted()) return;
  ::SendMessageTimeoutA(HWND_BROADCAST, WM_SETTINGCHANGE, 0,
                        reinterpret_cast<LPARAM>("Environment"), SMTO_ABORTIFHUNG, 5000, nullptr);
}

bool Win32PluginEnv::Exists(const std::string& path) {
  std::wstring wide = Widen(path, CP_ACP);
  if (wide.empty()) return false;
  // Any failure (not found, access denied, malformed path) counts as absent.
  return ::GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::optional<std::string> Win32PluginEnv::ShellFolder(int csidl) {
  char folder[MAX_PATH] = {};
  if (::SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder) != S_OK) {
    return std::nullopt;
  }
  return std::string(folder, strnlen(folder, MAX_PATH));
}

std::optional<PluginEnv::FolderName> Win32PluginEnv::ShellFolderName(int csidl) {
  wchar_t folder[MAX_PATH] = {};
  if (::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder) != S_OK) {
    return std::nullopt;
  }
  const int length = static_cast<int>(wcsnlen(folder, MAX_PATH));
  const std::wstring_view wide(folder, static_cast<size_t>(length));
  FolderName name{Narrow(wide, CP_UTF8), Narrow(wide, CP_ACP)};
  // An unpaired surrogate has no UTF-8 form; the UI gets no made-up name.
  if (length > 0 && name.utf8.empty()) return std::nullopt;
  return name;
}

bool Win32PluginEnv::MachineKeyExists(const std::string& subkey) {
  UniqueHkey key;
  return ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_READ, key.Put()) ==
         ERROR_SUCCESS;
}

std::optional<std::string> Win32PluginEnv::EnvironmentVariable(const std::string& name) {
  std::vector<char> value(256);
  for (;;) {
    ::SetLastError(ERROR_SUCCESS);
    DWORD length =
        ::GetEnvironmentVariableA(name.c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (length == 0) {
      if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::string();
    }
    if (length < value.size()) return std::string(value.data(), length);
    value.resize(length);  // too small: |length| includes the terminator
  }
}

std::optional<std::string> Win32PluginEnv::ShortPathName(const std::string& path) {
  char buffer[MAX_PATH] = {};
  DWORD length = ::GetShortPathNameA(path.c_str(), buffer, MAX_PATH);
  if (length == 0 || length > MAX_PATH) return std::nullopt;
  return std::string(buffer, strnlen(buffer, MAX_PATH));
}

std::string Win32PluginEnv::ModuleFileName() {
  char buffer[MAX_PATH] = {};
  DWORD length = ::GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  if (length == 0) return std::string();
  return std::string(buffer, strnlen(buffer, MAX_PATH));
}

bool Win32PluginEnv::CreateProtectedFolder(const std::string& path, const std::string& sddl) {
  const std::wstring wide = Widen(path, CP_ACP);
  UniqueLocal descriptor;
  if (wide.empty() || sddl.empty() || !ConvertSddl(sddl, descriptor)) return false;
  SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), descriptor.Get(), FALSE};
  if (::CreateDirectoryW(wide.c_str(), &attributes)) return true;
  if (::GetLastError() != ERROR_ALREADY_EXISTS) return false;

  // Made before, by us or by anyone: it becomes ours.
  Found found = Found::kItself;
  BY_HANDLE_FILE_INFORMATION info{};
  UniqueHandle existing =
      OpenItself(wide, READ_CONTROL | WRITE_DAC | WRITE_OWNER | DELETE, found, info);
  if (!existing || found == Found::kLinkTarget) return false;
  if (found == Found::kLink) {
    if (!DeleteOnClose(existing.Get())) return false;
    existing.Reset();
    return ::CreateDirectoryW(wide.c_str(), &attributes) != 0;
  }
  // SetKernelObjectSecurity applies the descriptor as it is; under Wine the
  // folder's Unix mode then lets nobody else in.
  return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
         ::SetKernelObjectSecurity(existing.Get(),
                                   OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                       PROTECTED_DACL_SECURITY_INFORMATION,
                                   descriptor.Get());
}

Status Win32PluginEnv::WriteFile(const std::string& path, const std::string& bytes,
                                 const std::string& sddl) {
  std::wstring wide = Widen(path, CP_ACP);
  if (wide.empty()) return Status::Failed(Status::Step::kOpen);
  UniqueLocal descriptor;
  if (!ConvertSddl(sddl, descriptor)) return Status::Failed(Status::Step::kOpen, ::GetLastError());
  SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), descriptor.Get(), FALSE};

  // CREATE_NEW: the descriptor is applied only to a file the call creates.
  UniqueHandle file(::CreateFileW(wide.c_str(), GENERIC_WRITE, 0, &attributes, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return Status::Failed(Status::Step::kOpen, ::GetLastError());
  if (!WriteAllTo(file.Get(), bytes)) return Status::Failed(Status::Step::kWrite, ::GetLastError());
  if (!::FlushFileBuffers(file.Get()))
    return Status::Failed(Status::Step::kFlush, ::GetLastError());
  if (!::CloseHandle(file.Release())) return Status::Failed(Status::Step::kWrite, ::GetLastError());
  return Status();
}

bool Win32PluginEnv::MoveFileOver(const std::string& from, const std::string& to) {
  std::wstring wide_from = Widen(from, CP_ACP);
  std::wstring wide_to = Widen(to, CP_ACP);
  return !wide_from.empty() && !wide_to.empty() &&
         ::MoveFileExW(wide_from.c_str(), wide_to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

bool Win32PluginEnv::ClaimFile(const std::string& path) {
  const std::wstring wide = Widen(path, CP_ACP);
  if (wide.empty()) return false;
  Found found = Found::kItself;
  BY_HANDLE_FILE_INFORMATION info{};
  UniqueHandle existing = OpenItself(wide, READ_CONTROL, found, info);
  if (!existing) return true;  // nothing there
  // Made by someone else before its folder was ours (its owner could read
  // what we add), a link, or a second name of another file: it goes.
  if (found == Found::kLinkTarget) return false;
  if (found == Found::kItself && info.nNumberOfLinks == 1 &&
      OwnedAsFolder(existing.Get(), wide.substr(0, wide.find_last_of(L'\\')))) {
    return true;
  }
  existing = OpenItself(wide, DELETE, found, info);
  return existing && found != Found::kLinkTarget && DeleteOnClose(existing.Get());
}

bool Win32PluginEnv::AppendFile(const std::string& path, const std::string& bytes) {
  const std::wstring wide = Widen(path, CP_ACP);
  if (wide.empty()) return false;
  UniqueHandle file(::CreateFileW(wide.c_str(), FILE_APPEND_DATA,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  return file && WriteAllTo(file.Get(), bytes) && ::CloseHandle(file.Release());
}

std::optional<uint64_t> Win32PluginEnv::FileSize(const std::string& path) {
  std::wstring wide = Widen(path, CP_ACP);
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (wide.empty() || !::GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) {
    return std::nullopt;
  }
  return (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

Status Win32PluginEnv::RemoveFile(const std::string& path) {
  const std::wstring wide = Widen(path, CP_ACP);
  if (wide.empty() || !::DeleteFileW(wide.c_str())) {
    return Status::Failed(Status::Step::kRemove, ::GetLastError());
  }
  return Status();
}

void Win32PluginEnv::Sleep(uint32_t milliseconds) {
  if (!interrupted_) {
    ::Sleep(milliseconds);
    return;
  }
  ::WaitForSingleObject(interrupted_.Get(), milliseconds);  // returns early while interrupted
}

void Win32PluginEnv::DebugOutput(const std::string& text) { ::OutputDebugStringA(text.c_str()); }

PluginEnv::UtcTime Win32PluginEnv::UtcNow() {
  SYSTEMTIME now{};
  ::GetSystemTime(&now);
  return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

std::string Win32PluginEnv::AnsiToUtf8(const std::string& text) {
  return Narrow(Widen(text, CP_ACP), CP_UTF8);
}

std::optional<std::string> Win32PluginEnv::WindowsVersion() {
  // GetVersionEx answers what the executable's manifest declares it supports;
  // RtlGetVersion answers what runs.
  using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  auto get_version = ntdll == nullptr
                         ? nullptr
                         : reinterpret_cast<RtlGetVersionFunction>(
                               reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")));
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  if (get_version == nullptr || get_version(&info) != 0) return std::nullopt;
  return std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion) + "." +
         std::to_string(info.dwBuildNumber);
}

PluginEnv& SystemPluginEnv() {
  static Win32PluginEnv env;
  return env;
}
