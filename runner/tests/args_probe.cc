// A console program that reports what the runner's process utilities see in
// its own process, for tests that need a real command line:
//   line 1: "count N", the number of arguments ReadCommandLineArguments gives
//   then one line per argument: its UTF-8 bytes in hex ("-" for empty)
//   last line: "folder " and ExecutableFolder() in UTF-8 hex ("-" for empty)
#include <cstdio>
#include <string>

#include "common/text.h"
#include "runner/utils.h"

namespace {

std::string Hex(const std::string& bytes) {
  if (bytes.empty()) return "-";
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char byte : bytes) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 15];
  }
  return hex;
}

}  // namespace

int main() {
  const auto arguments = ReadCommandLineArguments();
  std::printf("count %zu\n", arguments.size());
  for (const auto& argument : arguments) std::printf("%s\n", Hex(argument).c_str());
  std::printf("folder %s\n", Hex(Narrow(ExecutableFolder())).c_str());
  return 0;
}
