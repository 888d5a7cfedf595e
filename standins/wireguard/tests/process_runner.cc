// Child processes with captured output, and scoped environment and folders,
// for the stand-in tests.
#include "standins/wireguard/tests/process_runner.h"

#include <shellapi.h>

#include <filesystem>
#include <fstream>
#include <system_error>
#include <thread>

#include "standins/wireguard/standin_platform.h"

namespace wg_standin_test {
namespace {

using wg_standin::UniqueHandle;

std::wstring ExecutableFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder = path;
  return folder.substr(0, folder.find_last_of(L"\\/"));
}

void ReadAll(HANDLE pipe, std::string* into) {
  char buffer[64 * 1024];
  DWORD read = 0;
  while (ReadFile(pipe, buffer, sizeof buffer, &read, nullptr) && read > 0) {
    into->append(buffer, read);
  }
}

std::wstring UniqueTempFolder() {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  static int counter = 0;
  return std::wstring(temp) + L"orva-standin-test-" + std::to_wstring(GetCurrentProcessId()) +
         L"-" + std::to_wstring(++counter);
}

}  // namespace

ProgramRun RunProgram(const std::wstring& command_line, DWORD wait_ms) {
  ProgramRun run;
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE out_read = nullptr, out_write = nullptr, err_read = nullptr, err_write = nullptr;
  if (!CreatePipe(&out_read, &out_write, &inherit, 0)) return run;
  UniqueHandle out_reader(out_read), out_writer(out_write);
  if (!CreatePipe(&err_read, &err_write, &inherit, 0)) return run;
  UniqueHandle err_reader(err_read), err_writer(err_write);
  SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(err_read, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = out_write;
  startup.hStdError = err_write;
  PROCESS_INFORMATION process = {};
  std::wstring writable = command_line;
  if (!CreateProcessW(nullptr, &writable[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                      nullptr, &startup, &process)) {
    return run;
  }
  UniqueHandle thread(process.hThread), child(process.hProcess);
  run.started = true;
  // Only the child (and whatever it starts) may hold the write ends now.
  out_writer.Reset();
  err_writer.Reset();

  std::thread err_thread(ReadAll, err_read, &run.err);
  std::thread out_thread(ReadAll, out_read, &run.out);
  run.finished = WaitForSingleObject(child.Get(), wait_ms) == WAIT_OBJECT_0;
  if (!run.finished) {
    TerminateProcess(child.Get(), 1);
    WaitForSingleObject(child.Get(), 10000);
  }
  GetExitCodeProcess(child.Get(), &run.exit_code);
  out_thread.join();
  err_thread.join();
  return run;
}

std::optional<DWORD> RunWithoutPipes(const std::wstring& command_line, DWORD wait_ms) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::wstring writable = command_line;
  if (!CreateProcessW(nullptr, &writable[0], nullptr, nullptr, FALSE,
                      CREATE_NO_WINDOW | DETACHED_PROCESS, nullptr, nullptr, &startup, &process)) {
    return std::nullopt;
  }
  UniqueHandle thread(process.hThread), child(process.hProcess);
  if (WaitForSingleObject(child.Get(), wait_ms) != WAIT_OBJECT_0) {
    TerminateProcess(child.Get(), 1);
    return std::nullopt;
  }
  DWORD exit_code = 1;
  GetExitCodeProcess(child.Get(), &exit_code);
  return exit_code;
}

std::wstring StandinFolder() { return ExecutableFolder() + L"\\..\\standins\\wireguard"; }
std::wstring ToolsFolder() { return StandinFolder() + L"\\tools"; }

std::wstring Wg(const std::wstring& arguments) {
  return L"\"" + ToolsFolder() + L"\\wg.exe\" " + arguments;
}

std::wstring Wireguard(const std::wstring& arguments) {
  return L"\"" + ToolsFolder() + L"\\wireguard.exe\" " + arguments;
}

ScopedEnv::ScopedEnv(const wchar_t* name, const std::wstring& value) : name_(name) {
  if (auto old = wg_standin::EnvironmentVariable(name)) previous_ = wg_standin::Widen(*old);
  SetEnvironmentVariableW(name, value.c_str());
}

ScopedEnv::~ScopedEnv() {
  SetEnvironmentVariableW(name_.c_str(), previous_ ? previous_->c_str() : nullptr);
}

ScopedStateFolder::ScopedStateFolder()
    : path_(UniqueTempFolder()), env_(L"ORVA_STANDIN_WIREGUARD_STATE_DIR", path_) {
  CreateDirectoryW(path_.c_str(), nullptr);
}

ScopedStateFolder::~ScopedStateFolder() { RemoveTree(path_); }

bool WriteTextFile(const std::wstring& path, const std::string& text) {
  std::ofstream file(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
  file << text;
  return static_cast<bool>(file.flush());
}

bool FileExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool RemoveTree(const std::wstring& path) {
  std::error_code ignored;
  std::filesystem::remove_all(std::filesystem::path(path), ignored);
  return !FileExists(path);
}

}  // namespace wg_standin_test
