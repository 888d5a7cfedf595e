// Process utilities used by the entry point.
#include "runner/utils.h"

#include <windows.h>

#include <shellapi.h>

#include "common/text.h"
#include "common/unique_handle.h"

namespace {

constexpr DWORD kPathBufferSize = 260;

}  // namespace

std::wstring ExecutableFolder() {
  wchar_t path[kPathBufferSize];
  DWORD length = ::GetModuleFileNameW(nullptr, path, kPathBufferSize);
  // A result of exactly the buffer size means the path was cut.
  if (length == 0 || length == kPathBufferSize) return std::wstring();
  for (DWORD i = length; i > 0; --i) {
    if (path[i - 1] == L'\\') return std::wstring(path, i);
  }
  return std::wstring();
}

std::vector<std::string> ReadCommandLineArguments() {
  std::vector<std::string> arguments;
  int count = 0;
  const UniqueLocal argv_memory(::CommandLineToArgvW(::GetCommandLineW(), &count));
  const auto* argv = static_cast<wchar_t* const*>(argv_memory.Get());
  if (argv == nullptr) return arguments;
  // Index 0 is the program name; the UI gets only what follows it.
  for (int i = 1; i < count; ++i) arguments.push_back(Narrow(argv[i]));
  return arguments;
}
