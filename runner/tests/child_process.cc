// Child processes for tests.
#include "runner/tests/child_process.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace runner_test {
ChildProcess::ChildProcess(const std::wstring& application, const std::wstring& command_line,
                           const std::wstring& working_folder) {
  wchar_t temp_folder[MAX_PATH];
  wchar_t temp_file[MAX_PATH];
  if (::GetTempPathW(MAX_PATH, temp_folder) == 0 ||
      ::GetTempFileNameW(temp_folder, L"orv", 0, temp_file) == 0) {
    return;
  }
  output_path_ = temp_file;
  SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
  UniqueHandle output_file(::CreateFileW(
      temp_file, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      &inheritable, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!output_file) return;

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nullptr;
  startup.hStdOutput = output_file.Get();
  startup.hStdError = output_file.Get();

  std::vector<wchar_t> command(command_line.begin(), command_line.end());
  command.push_back(L'\0');
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(application.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        working_folder.empty() ? nullptr : working_folder.c_str(), &startup,
                        &info)) {
    return;
  }
  UniqueHandle thread(info.hThread);
  process_.Reset(info.hProcess);
  process_id_ = info.dwProcessId;
}

ChildProcess::~ChildProcess() {
  if (process_ && ::WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT) {
    ::TerminateProcess(process_.Get(), 255);
    ::WaitForSingleObject(process_.Get(), 10000);
  }
  process_.Reset();
  if (!output_path_.empty()) ::DeleteFileW(output_path_.c_str());
}

long ChildProcess::WaitForExit(DWORD limit_ms) {
  if (!process_) return -1;
  if (::WaitForSingleObject(process_.Get(), limit_ms) != WAIT_OBJECT_0) {
    ::TerminateProcess(process_.Get(), 255);
    ::WaitForSingleObject(process_.Get(), 10000);
    return -1;
  }
  DWORD code = 0;
  ::GetExitCodeProcess(process_.Get(), &code);
  return static_cast<long>(code);
}

std::string ChildProcess::output() const {
  std::ifstream file(std::filesystem::path(output_path_), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::wstring TestProgramFolder() {
  wchar_t path[MAX_PATH * 4];
  DWORD length = ::GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
  std::wstring text(path, length);
  return text.substr(0, text.find_last_of(L'\\') + 1);
}

}  // namespace runner_test
