// plugin_test_child.exe: a child process for the command runner's tests.
// Its arguments are steps, done in order:
//
//   print TEXT      write TEXT (\n, \r and \\ escapes) to standard output
//   eprint TEXT     the same, to standard error
//   flood N         write N bytes of 'x' to standard output
//   sleep MS        sleep
//   close           close standard output, standard error and every other
//                   pipe handle (the child stays, its output ends)
//   grandchild MS   start a copy of this program that inherits our handles and
//                   sleeps MS; prints "grandchild PID\n" first
//   exit CODE       end now with CODE (decimal or 0x hex)
//
// Without an "exit" step the program ends with code 0. Started as cmd.exe or
// msiexec.exe it plays an impostor planted where only the system's own tool
// should be found: it appends its command line to
// %ProgramData%\orva_planted_tools.txt and exits with 1.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string Unescape(const char* text) {
  std::string out;
  for (const char* p = text; *p; ++p) {
    if (*p != '\\' || !p[1]) {
      out += *p;
      continue;
    }
    ++p;
    if (*p == 'n')
      out += '\n';
    else if (*p == 'r')
      out += '\r';
    else
      out += *p;
  }
  return out;
}

void Write(DWORD which, const std::string& bytes) {
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(which), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
              nullptr);
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() &&
         _stricmp(text.c_str() + text.size() - end.size(), end.c_str()) == 0;
}

int RecordPlanted() {
  const char* folder = std::getenv("ProgramData");
  const std::string record =
      std::string(folder ? folder : "C:\\ProgramData") + "\\orva_planted_tools.txt";
  if (FILE* f = std::fopen(record.c_str(), "ab")) {
    std::fprintf(f, "%s\n", ::GetCommandLineA());
    std::fclose(f);
  }
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  char self[MAX_PATH] = {};
  ::GetModuleFileNameA(nullptr, self, MAX_PATH);
  if (EndsWith(self, "\\cmd.exe") || EndsWith(self, "\\msiexec.exe")) return RecordPlanted();

  for (int i = 1; i < argc; ++i) {
    std::string step = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : "";
    if (step == "print") {
      Write(STD_OUTPUT_HANDLE, Unescape(value));
      ++i;
    } else if (step == "eprint") {
      Write(STD_ERROR_HANDLE, Unescape(value));
      ++i;
    } else if (step == "flood") {
      std::string chunk(65536, 'x');
      for (unsigned long left = std::strtoul(value, nullptr, 0); left > 0;) {
        unsigned long n = left < chunk.size() ? left : chunk.size();
        Write(STD_OUTPUT_HANDLE, chunk.substr(0, n));
        left -= n;
      }
      ++i;
    } else if (step == "sleep") {
      ::Sleep(std::strtoul(value, nullptr, 0));
      ++i;
    } else if (step == "close") {
      // The standard handles may be copies of the inherited pipe end (Wine
      // duplicates them), so close every pipe handle this process holds.
      for (uintptr_t value = 4; value < 0x10000; value += 4) {
        HANDLE handle = reinterpret_cast<HANDLE>(value);
        if (::GetFileType(handle) == FILE_TYPE_PIPE) ::CloseHandle(handle);
      }
      ::SetStdHandle(STD_OUTPUT_HANDLE, nullptr);
      ::SetStdHandle(STD_ERROR_HANDLE, nullptr);
    } else if (step == "grandchild") {
      std::string line = std::string("\"") + self + "\" sleep " + value;
      std::vector<char> buffer(line.begin(), line.end());
      buffer.push_back('\0');
      STARTUPINFOA startup{};
      startup.cb = sizeof(startup);
      startup.dwFlags = STARTF_USESTDHANDLES;
      startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
      startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
      PROCESS_INFORMATION info{};
      if (!::CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                            &startup, &info)) {
        return 90;
      }
      Write(STD_OUTPUT_HANDLE, "grandchild " + std::to_string(info.dwProcessId) + "\n");
      ::CloseHandle(info.hThread);
      ::CloseHandle(info.hProcess);
      ++i;
    } else if (step == "exit") {
      return static_cast<int>(std::strtoul(value, nullptr, 0));
    } else {
      Write(STD_ERROR_HANDLE, "plugin_test_child: unknown step " + step + "\n");
      return 99;
    }
  }
  return 0;
}
