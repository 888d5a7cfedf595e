// Process utilities used by the entry point.
#include "runner/utils.h"

#include <windows.h>

#include <shellapi.h>

namespace {

// Owns the argument array returned by CommandLineToArgvW.
class LocalArgv {
 public:
  LocalArgv() : argv_(::CommandLineToArgvW(::GetCommandLineW(), &count_)) {}
  ~LocalArgv() {
    if (argv_ != nullptr) ::LocalFree(argv_);
  }
  LocalArgv(const LocalArgv&) = delete;
  LocalArgv& operator=(const LocalArgv&) = delete;

  wchar_t** get() const { return argv_; }
  int count() const { return count_; }

 private:
  int count_ = 0;
  wchar_t** argv_;
};

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
  LocalArgv argv;
  if (argv.get() == nullptr) return arguments;
  // Index 0 is the program name; the UI gets only what follows it.
  for (int i = 1; i < argv.count(); ++i) arguments.push_back(ToUtf8(argv.get()[i]));
  return arguments;
}

std::string ToUtf8(const wchar_t* utf16_string) {
  if (utf16_string == nullptr) return std::string();
  int size_with_terminator = ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, utf16_string, -1,
                                                   nullptr, 0, nullptr, nullptr);
  int length = size_with_terminator - 1;
  if (size_with_terminator == 0 || length == 0) return std::string();
  std::string utf8(static_cast<size_t>(length), '\0');
  int converted = ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, utf16_string,
                                        static_cast<int>(::wcslen(utf16_string)), &utf8[0], length,
                                        nullptr, nullptr);
  if (converted == 0) return std::string();
  return utf8;
}
