// debug_output_listener.exe: prints every line that processes of this
// session write with OutputDebugStringA, one per line on standard output,
// flushed as it arrives.
//
//   debug_output_listener [--others-only] [--prefix TEXT] [--pid] [--seconds N]
//
//   --others-only  leave out lines written by this program itself
//   --prefix TEXT  print only lines that begin with TEXT
//   --pid          put "[process id] " before each line
//   --seconds N    stop after N seconds (default: run until killed)
//
// "listening" goes to standard error once the shared buffer is in place.
// Exit code 0 after --seconds, 2 for bad arguments, 3 when another listener
// already owns the debug output buffer.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/debug_output_listener/debug_output_capture.h"

namespace {

struct Options {
  bool others_only = false;
  bool with_pid = false;
  std::string prefix;
  long seconds = -1;
};

bool ParseOptions(int argc, char** argv, Options* options) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--others-only") {
      options->others_only = true;
    } else if (arg == "--pid") {
      options->with_pid = true;
    } else if (arg == "--prefix" && i + 1 < argc) {
      options->prefix = argv[++i];
    } else if (arg == "--seconds" && i + 1 < argc) {
      char* end = nullptr;
      options->seconds = std::strtol(argv[++i], &end, 10);
      if (*end != '\0' || options->seconds < 0) return false;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    std::fprintf(stderr,
                 "usage: debug_output_listener [--others-only] [--prefix TEXT] [--pid] "
                 "[--seconds N]\n");
    return 2;
  }
  // Lines end in LF exactly, on both streams.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  const uint32_t own_id = ::GetCurrentProcessId();

  DebugOutputCapture capture([&](const DebugLine& line) {
    if (options.others_only && line.process_id == own_id) return;
    if (line.text.compare(0, options.prefix.size(), options.prefix) != 0) return;
    std::string out = options.with_pid ? "[" + std::to_string(line.process_id) + "] " : "";
    out += line.text;
    if (out.empty() || out.back() != '\n') out += '\n';
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
  });
  if (!capture.ok()) {
    std::fprintf(stderr, "debug_output_listener: %s\n", capture.error().c_str());
    return 3;
  }
  std::fprintf(stderr, "listening\n");
  std::fflush(stderr);

  ::Sleep(options.seconds < 0 ? INFINITE : static_cast<DWORD>(options.seconds) * 1000);
  return 0;
}
