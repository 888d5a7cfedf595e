// Command-runner benchmark (Windows; run under Wine by scripts/bench.sh).
//
//   bench_command_runner [--tools DIR] [--runs N] [--json FILE]
//
// Measures, on the stand-in WireGuard tools (DIR defaults to
// <exe folder>\..\standins\wireguard\tools):
//
// 1. What ExecuteCommand costs over the process run it wraps. The commands
//    are the status query the plugin really issues,
//        "<short wg.exe path>" show "orva_divuv" 2>&1
//    (whose trailing redirection the runner drops, starting the tool
//    directly), and the tool alone as written,
//        "<short wg.exe path>" show orva_divuv
//    Each is timed five ways, interleaved run by run so that drift in Wine's
//    speed hits all alike (medians are reported):
//      - WireguardPlugin::ExecuteCommand (log lines, pipe, hidden child,
//        reading its output, exit code);
//      - PluginEnv::RunHidden alone, the same without the log lines;
//      - a bare CreateProcessA of the very command line ExecuteCommand handed
//        to the system, output to NUL, and a wait for the process: once with
//        the design's creation flags (a detached child) and once with the
//        runner's own (CREATE_NO_WINDOW: a hidden console for the child);
//      - with the runner's own flags for that command (detached for a tool
//        started directly, a hidden console for the interpreter) and its
//        output in a pipe read on the calling thread, which separates the
//        cost of the pipe from that of the runner's reader thread.
// 2. How many processes one status query starts: the RunHidden calls one
//    GetVPNStatus makes (over a scripted FakePluginEnv, for a tool that
//    starts and for one that cannot, and over the real system), and the
//    processes that appear in a job object holding this program while one
//    GetVPNStatus runs, with their image names.
//
// The tunnel "orva_divuv" is brought up first with the stand-in
// wireguard.exe, in a private state folder, so wg.exe reports a running
// tunnel as it would in use; it is removed again at the end.
// clang-format off
#include <windows.h>
#include <tlhelp32.h>
// clang-format on

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "codec/method_channel.h"
#include "common/text.h"
#include "common/unique_handle.h"
#include "wireguard_plugin/fake_plugin_env.h"
#include "wireguard_plugin/plugin_env.h"
#include "wireguard_plugin/wireguard_plugin.h"

namespace {

constexpr char kStateVariable[] = "ORVA_STANDIN_WIREGUARD_STATE_DIR";
constexpr char kFaultsVariable[] = "ORVA_STANDIN_FAULTS";

// Forwards to the real system, except that WireGuard is "installed" in the
// benchmark's own program folder, and counts the processes run.
class BenchPluginEnv : public PluginEnv {
 public:
  BenchPluginEnv(PluginEnv& system, std::string program_files)
      : system_(system), program_files_(std::move(program_files)) {}

  int run_count = 0;
  std::string last_command_line;
  Console last_console = Console::kNone;

  ProcessRun RunHidden(const std::string& command_line, Console console) override {
    ++run_count;
    last_command_line = command_line;
    last_console = console;
    return system_.RunHidden(command_line, console);
  }
  Status RunInstaller(const std::string& command_line, uint32_t timeout_ms,
                      const std::function<void()>& started) override {
    return system_.RunInstaller(command_line, timeout_ms, started);
  }
  std::string SystemFolder() override { return system_.SystemFolder(); }
  void BroadcastEnvironmentChange() override {}
  void SetInterrupted(bool interrupted) override { system_.SetInterrupted(interrupted); }
  bool Exists(const std::string& path) override { return system_.Exists(path); }
  std::optional<std::string> ShellFolder(int csidl) override {
    if (csidl == kCsidlProgramFiles) return program_files_;
    return system_.ShellFolder(csidl);
  }
  std::optional<FolderName> ShellFolderName(int csidl) override {
    return system_.ShellFolderName(csidl);
  }
  bool MachineKeyExists(const std::string& subkey) override {
    return system_.MachineKeyExists(subkey);
  }
  std::optional<std::string> EnvironmentVariable(const std::string& name) override {
    if (name == "PROGRAMFILES") return program_files_;
    return system_.EnvironmentVariable(name);
  }
  std::optional<std::string> ShortPathName(const std::string& path) override {
    return system_.ShortPathName(path);
  }
  std::string ModuleFileName() override { return system_.ModuleFileName(); }
  bool CreateProtectedFolder(const std::string& path, const std::string& sddl) override {
    return system_.CreateProtectedFolder(path, sddl);
  }
  Status WriteFile(const std::string& path, const std::string& bytes,
                   const std::string& sddl) override {
    return system_.WriteFile(path, bytes, sddl);
  }
  bool MoveFileOver(const std::string& from, const std::string& to) override {
    return system_.MoveFileOver(from, to);
  }
  bool ClaimFile(const std::string& path) override { return system_.ClaimFile(path); }
  bool AppendFile(const std::string& path, const std::string& bytes) override {
    return system_.AppendFile(path, bytes);
  }
  std::optional<uint64_t> FileSize(const std::string& path) override {
    return system_.FileSize(path);
  }
  Status RemoveFile(const std::string& path) override { return system_.RemoveFile(path); }
  void Sleep(uint32_t milliseconds) override { system_.Sleep(milliseconds); }
  void DebugOutput(const std::string& text) override { system_.DebugOutput(text); }
  UtcTime UtcNow() override { return system_.UtcNow(); }
  std::string AnsiToUtf8(const std::string& text) override { return system_.AnsiToUtf8(text); }
  std::optional<std::string> WindowsVersion() override { return system_.WindowsVersion(); }

 private:
  PluginEnv& system_;
  std::string program_files_;
};

double NowMicroseconds() {
  static const double ticks_per_us = [] {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart) / 1e6;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / ticks_per_us;
}

// Creation flags of the bare runs: those the design gives the command runner
// (a detached, windowless child), and CREATE_NO_WINDOW alone, which gives the
// child a hidden console of its own (the child then shares it with the tools
// it starts) and is what the system's runner passes.
constexpr DWORD kDetachedFlags = CREATE_NO_WINDOW | DETACHED_PROCESS;
constexpr DWORD kHiddenConsoleFlags = CREATE_NO_WINDOW;

// Where a bare run's child writes its output.
enum class BareOutput {
  kNul,   // the NUL device: the child's work without any capturing
  kPipe,  // a pipe read to its end on the calling thread, with no reader thread
};

// CreateProcessA of |command_line| started as the command runner starts it
// (hidden, the same start-up fields, handles inherited, |flags|), with
// standard output and error going to |output|, and a wait for it to end. The
// child therefore does the same work; what is left out is the runner's reader
// thread and bounds, and the log lines. Returns false when the process could
// not be started.
bool BareRun(const std::string& command_line, DWORD flags, BareOutput output = BareOutput::kNul) {
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  UniqueHandle read_end;
  UniqueHandle write_end;
  if (output == BareOutput::kPipe) {
    if (!CreatePipe(read_end.Put(), write_end.Put(), &inheritable, 0) ||
        !SetHandleInformation(read_end.Get(), HANDLE_FLAG_INHERIT, 0)) {
      return false;
    }
  } else {
    write_end.Reset(CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                &inheritable, OPEN_EXISTING, 0, nullptr));
    if (!write_end) return false;
  }
  std::vector<char> buffer(command_line.begin(), command_line.end());
  buffer.push_back('\0');
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  startup.hStdOutput = write_end.Get();
  startup.hStdError = write_end.Get();
  PROCESS_INFORMATION created{};
  const BOOL started = CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, TRUE, flags,
                                      nullptr, nullptr, &startup, &created);
  write_end.Reset();
  if (!started) return false;
  UniqueProcessInformation process;
  process.Adopt(created);
  if (read_end) {
    char chunk[512];
    DWORD read = 0;
    while (ReadFile(read_end.Get(), chunk, sizeof(chunk), &read, nullptr) && read > 0) {
    }
  }
  WaitForSingleObject(process.process.Get(), INFINITE);
  return true;
}

struct Figures {
  double median = 0;
  double mean = 0;
  double min = 0;
};

Figures Summarise(std::vector<double> samples) {
  Figures figures;
  if (samples.empty()) return figures;
  std::sort(samples.begin(), samples.end());
  const size_t n = samples.size();
  figures.median = n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
  double sum = 0;
  for (double s : samples) sum += s;
  figures.mean = sum / static_cast<double>(n);
  figures.min = samples.front();
  return figures;
}

struct Comparison {
  std::string label;            // "status" or "direct"
  std::string command;          // as given to ExecuteCommand
  std::string line;             // as handed to CreateProcessA
  bool hidden_console = false;  // the runner gives the child a hidden console
  Figures execute;
  Figures run_hidden;    // the platform's process run alone, without the log lines
  Figures bare;          // detached child
  Figures bare_console;  // child with a hidden console
  Figures bare_pipe;     // child with the runner's flags, output read from a pipe inline
  int exit_code = 0;
  size_t output_size = 0;
  std::string first_line;  // of the last run's output
  bool bare_failed = false;
};

Comparison Compare(WireguardPlugin& plugin, BenchPluginEnv& env, PluginEnv& system,
                   const std::string& label, const std::string& command, int runs) {
  Comparison result;
  result.label = label;
  result.command = command;
  std::string output;
  // Warm-up: file caches, Wine's first start of each program.
  for (int i = 0; i < 2; ++i) {
    plugin.ExecuteCommand(command, output);
    BareRun(env.last_command_line, kDetachedFlags);
    BareRun(env.last_command_line, kHiddenConsoleFlags);
  }
  result.line = env.last_command_line;
  result.hidden_console = env.last_console == PluginEnv::Console::kHidden;
  const DWORD runner_flags = result.hidden_console ? kHiddenConsoleFlags : kDetachedFlags;
  std::vector<double> execute, run_hidden, bare, bare_console, bare_pipe;
  for (int i = 0; i < runs; ++i) {
    double start = NowMicroseconds();
    result.exit_code = plugin.ExecuteCommand(command, output);
    execute.push_back(NowMicroseconds() - start);
    result.output_size = output.size();
    result.first_line = output.substr(0, output.find_first_of("\r\n"));

    start = NowMicroseconds();
    system.RunHidden(result.line, env.last_console);
    run_hidden.push_back(NowMicroseconds() - start);

    start = NowMicroseconds();
    if (!BareRun(result.line, kDetachedFlags)) result.bare_failed = true;
    bare.push_back(NowMicroseconds() - start);

    start = NowMicroseconds();
    if (!BareRun(result.line, kHiddenConsoleFlags)) result.bare_failed = true;
    bare_console.push_back(NowMicroseconds() - start);

    start = NowMicroseconds();
    if (!BareRun(result.line, runner_flags, BareOutput::kPipe)) result.bare_failed = true;
    bare_pipe.push_back(NowMicroseconds() - start);
  }
  result.execute = Summarise(execute);
  result.run_hidden = Summarise(run_hidden);
  result.bare = Summarise(bare);
  result.bare_console = Summarise(bare_console);
  result.bare_pipe = Summarise(bare_pipe);
  return result;
}

// Records every process that joins a job object holding this program, with
// its image name, from the job's completion port.
class ProcessWatch {
 public:
  ProcessWatch() {
    job_.Reset(CreateJobObjectW(nullptr, nullptr));
    port_.Reset(CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1));
    if (!job_ || !port_) return;
    JOBOBJECT_ASSOCIATE_COMPLETION_PORT association{job_.Get(), port_.Get()};
    if (!SetInformationJobObject(job_.Get(), JobObjectAssociateCompletionPortInformation,
                                 &association, sizeof(association))) {
      return;
    }
    listener_ = std::thread([this] { Listen(); });
    // Membership is inherited: every process started from now on is counted.
    ok_ = AssignProcessToJobObject(job_.Get(), GetCurrentProcess()) != FALSE;
    Sleep(100);  // let the message for this program itself pass
    std::lock_guard<std::mutex> lock(mutex_);
    started_.clear();
  }

  ~ProcessWatch() {
    if (listener_.joinable()) {
      PostQueuedCompletionStatus(port_.Get(), kStop, 0, nullptr);
      listener_.join();
    }
  }

  bool ok() const { return ok_; }

  // Waits until only this program is left in the job (at most |timeout_ms|).
  void WaitForChildrenToEnd(DWORD timeout_ms) {
    const ULONGLONG deadline = GetTickCount64() + timeout_ms;
    while (GetTickCount64() < deadline) {
      JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info{};
      if (!QueryInformationJobObject(job_.Get(), JobObjectBasicAccountingInformation, &info,
                                     sizeof(info), nullptr) ||
          info.ActiveProcesses <= 1) {
        break;
      }
      Sleep(20);
    }
    Sleep(100);  // let the last notifications arrive
  }

  std::vector<std::string> Started() {
    std::lock_guard<std::mutex> lock(mutex_);
    return started_;
  }

 private:
  static constexpr DWORD kStop = 0xFFFF;

  void Listen() {
    DWORD message = 0;
    ULONG_PTR key = 0;
    LPOVERLAPPED data = nullptr;
    while (GetQueuedCompletionStatus(port_.Get(), &message, &key, &data, INFINITE)) {
      if (message == kStop) return;
      if (message != JOB_OBJECT_MSG_NEW_PROCESS) continue;
      const DWORD pid = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(data));
      std::string name = ImageName(pid);
      std::lock_guard<std::mutex> lock(mutex_);
      started_.push_back(name);
    }
  }

  // The image name of |pid| from a process snapshot. A process that has just
  // been created may not show its name yet, so look again for a moment.
  static std::string ImageName(DWORD pid) {
    for (int attempt = 0; attempt < 200; ++attempt) {
      if (attempt > 0) Sleep(1);
      UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
      if (!snapshot) continue;
      PROCESSENTRY32W entry{};
      entry.dwSize = sizeof(entry);
      bool present = false;
      for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
           more = Process32NextW(snapshot.Get(), &entry)) {
        if (entry.th32ProcessID != pid) continue;
        present = true;
        if (entry.szExeFile[0] != L'\0') {
          return Narrow(entry.szExeFile);
        }
      }
      if (!present) return "(ended before it could be named)";
    }
    return "(unnamed)";
  }

  UniqueHandle job_;
  UniqueHandle port_;
  std::thread listener_;
  std::mutex mutex_;
  std::vector<std::string> started_;
  bool ok_ = false;
};

// How many RunHidden calls one GetVPNStatus makes on a scripted machine
// where WireGuard is installed, with a tool that starts or one that cannot.
int ScriptedRunCount(bool tool_starts) {
  FakePluginEnv fake;
  const std::string wg = "C:\\Program Files\\WireGuard\\wg.exe";
  fake.paths = {"C:\\Program Files\\WireGuard", "C:\\Program Files\\WireGuard\\wireguard.exe", wg};
  fake.environment["PROGRAMFILES"] = "C:\\Program Files";
  fake.on_run = [tool_starts](const std::string&) {
    ProcessRun run;
    if (!tool_starts) {
      run.status = Status::Failed(Status::Step::kCreateProcess, 2);
      return run;
    }
    run.exit_code = 0;
    run.output = "interface: orva_divuv\r\n  listening port: 51820\r\n";
    return run;
  };
  WireguardPlugin plugin(nullptr, fake);
  plugin.GetVPNStatus();
  return static_cast<int>(fake.runs.size());
}

std::string Folder(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string JsonText(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof(escaped), "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string JsonRow(const std::string& name, const Figures& figures, int runs) {
  char row[512];
  std::snprintf(row, sizeof(row),
                "    {\"name\": %s, \"run_type\": \"iteration\", \"iterations\": %d, "
                "\"real_time\": %.1f, \"mean_time\": %.1f, \"min_time\": %.1f, "
                "\"time_unit\": \"us\"}",
                JsonText(name).c_str(), runs, figures.median, figures.mean, figures.min);
  return row;
}

const char kTunnelConfig[] =
    "[Interface]\r\n"
    "PrivateKey = cE1pbmltYWxQcml2YXRlS2V5Rm9yQmVuY2htYXJrczA=\r\n"
    "Address = 10.66.0.2/32\r\n"
    "\r\n"
    "[Peer]\r\n"
    "PublicKey = QmVuY2htYXJrUGVlclB1YmxpY0tleUZvclRoZVR1bm4=\r\n"
    "AllowedIPs = 0.0.0.0/0, ::/0\r\n"
    "Endpoint = 203.0.113.7:51820\r\n"
    "PersistentKeepalive = 25\r\n";

}  // namespace

int main(int argc, char** argv) {
  std::string tools;
  std::string json_path;
  int runs = 20;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--tools" && i + 1 < argc) {
      tools = argv[++i];
    } else if (arg == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--json" && i + 1 < argc) {
      json_path = argv[++i];
    } else {
      std::fprintf(stderr, "usage: bench_command_runner [--tools DIR] [--runs N] [--json FILE]\n");
      return 2;
    }
  }

  PluginEnv& system = SystemPluginEnv();
  if (tools.empty()) {
    tools = Folder(system.ModuleFileName()) + "\\..\\standins\\wireguard\\tools";
  }

  // A program folder of our own with WireGuard "installed" in it, and a
  // private state folder for the stand-in tools.
  char temp[MAX_PATH + 1] = {};
  if (GetTempPathA(sizeof(temp), temp) == 0) {
    std::fprintf(stderr, "bench_command_runner: no temporary folder\n");
    return 1;
  }
  const std::string root = std::string(temp) + "orva-bench-command-runner";
  const std::string program_files = root + "\\Program Files";
  const std::string wireguard_folder = program_files + "\\WireGuard";
  const std::string state = root + "\\state";
  for (const std::string& folder : {root, program_files, wireguard_folder, state}) {
    CreateDirectoryA(folder.c_str(), nullptr);
  }
  for (const char* tool : {"wg.exe", "wireguard.exe"}) {
    const std::string from = tools + "\\" + tool;
    if (!CopyFileA(from.c_str(), (wireguard_folder + "\\" + tool).c_str(), FALSE)) {
      std::fprintf(stderr, "bench_command_runner: cannot copy %s (error %lu)\n", from.c_str(),
                   GetLastError());
      return 1;
    }
  }
  SetEnvironmentVariableA(kStateVariable, state.c_str());
  SetEnvironmentVariableA(kFaultsVariable, nullptr);

  BenchPluginEnv env(system, program_files);
  WireguardPlugin plugin(nullptr, env);
  const WireguardTools bench_tools = plugin.FindTools();
  const std::string wg = bench_tools.wg.short_path;
  const std::string wireguard = bench_tools.wireguard.short_path;

  // Bring the tunnel up from a clean state.
  std::string output;
  const std::string conf = root + "\\" + TunnelName() + ".conf";
  system.RemoveFile(conf);  // left by an earlier run
  if (!system.WriteFile(conf, kTunnelConfig, "").ok()) {
    std::fprintf(stderr, "bench_command_runner: cannot write %s\n", conf.c_str());
    return 1;
  }
  plugin.ExecuteCommand("\"" + wireguard + "\" /uninstalltunnelservice " + TunnelName(), output);
  // The long path: the tunnel's name is the file's name, which a short (8.3)
  // form would not keep.
  const int installed =
      plugin.ExecuteCommand("\"" + wireguard + "\" /installtunnelservice \"" + conf + "\"", output);
  if (installed != 0) {
    std::fprintf(stderr, "bench_command_runner: the tunnel did not install (exit code %d): %s\n",
                 installed, output.c_str());
  }
  Sleep(1000);
  const std::string status_before = StatusWord(plugin.GetVPNStatus());

  std::vector<Comparison> comparisons;
  comparisons.push_back(Compare(plugin, env, system, "status",
                                "\"" + wg + "\" show \"" + TunnelName() + "\" 2>&1", runs));
  comparisons.push_back(
      Compare(plugin, env, system, "direct", "\"" + wg + "\" show " + TunnelName(), runs));

  // A whole status query in-process (detection, short path, the run, the
  // verdict and its log lines), the plugin's share of a getStatus call.
  std::vector<double> status_samples;
  for (int i = 0; i < runs; ++i) {
    const double start = NowMicroseconds();
    plugin.GetVPNStatus();
    status_samples.push_back(NowMicroseconds() - start);
  }
  const Figures get_vpn_status = Summarise(status_samples);

  // Processes of one status query.
  const int scripted_runs = ScriptedRunCount(true);
  const int scripted_runs_unstartable = ScriptedRunCount(false);
  env.run_count = 0;
  std::vector<std::string> started;
  std::string status_counted;
  bool watched = false;
  {
    ProcessWatch watch;
    watched = watch.ok();
    status_counted = StatusWord(plugin.GetVPNStatus());
    watch.WaitForChildrenToEnd(5000);
    started = watch.Started();
  }
  const int real_runs = env.run_count;

  plugin.ExecuteCommand("\"" + wireguard + "\" /uninstalltunnelservice " + TunnelName(), output);

  // Report.
  std::printf("Command runner under Wine (%d interleaved runs each, medians)\n", runs);
  std::printf("tunnel status before timing: %s\n\n", status_before.c_str());
  for (const Comparison& c : comparisons) {
    std::printf("[%s] ExecuteCommand(%s)\n", c.label.c_str(), c.command.c_str());
    std::printf("    CreateProcessA line: %s\n", c.line.c_str());
    std::printf("    exit code %d, %zu output bytes, first line \"%s\"%s\n", c.exit_code,
                c.output_size, c.first_line.c_str(),
                c.bare_failed ? "; the bare run could not start the process" : "");
    auto print = [](const char* what, const Figures& f) {
      std::printf("    %-44s median %10.1f us  mean %10.1f us  min %10.1f us\n", what, f.median,
                  f.mean, f.min);
    };
    print("ExecuteCommand", c.execute);
    print("PluginEnv::RunHidden alone (no log lines)", c.run_hidden);
    print("bare CreateProcessA + wait, detached", c.bare);
    print("bare CreateProcessA + wait, hidden console", c.bare_console);
    print("the same reading a pipe (no reader thread)", c.bare_pipe);
    std::printf(
        "    ExecuteCommand / bare detached = %.3f, / bare hidden console = %.3f"
        " (target <= 1.1)\n\n",
        c.bare.median > 0 ? c.execute.median / c.bare.median : 0.0,
        c.bare_console.median > 0 ? c.execute.median / c.bare_console.median : 0.0);
  }
  std::printf("GetVPNStatus in-process: median %.1f us, mean %.1f us, min %.1f us\n",
              get_vpn_status.median, get_vpn_status.mean, get_vpn_status.min);
  std::printf("One GetVPNStatus (answered \"%s\"):\n", status_counted.c_str());
  std::printf("    command runs, scripted machine, tool starts:      %d\n", scripted_runs);
  std::printf("    command runs, scripted machine, tool cannot start: %d\n",
              scripted_runs_unstartable);
  std::printf("    command runs, real system under Wine:              %d\n", real_runs);
  if (watched) {
    std::printf("    processes started:                                 %zu\n", started.size());
    for (const std::string& name : started) std::printf("        %s\n", name.c_str());
  } else {
    std::printf("    processes started: not counted (no job object)\n");
  }

  if (!json_path.empty()) {
    std::ofstream json(json_path, std::ios::binary);
    json << "{\n  \"context\": {\"executable\": \"bench_command_runner\", \"runs\": " << runs
         << "},\n  \"benchmarks\": [\n";
    bool first = true;
    for (const Comparison& c : comparisons) {
      for (const auto& [implementation, figures] :
           {std::pair<const char*, const Figures*>{"execute_command", &c.execute},
            std::pair<const char*, const Figures*>{"run_hidden", &c.run_hidden},
            std::pair<const char*, const Figures*>{"bare_create_process", &c.bare},
            std::pair<const char*, const Figures*>{"bare_create_process_console", &c.bare_console},
            std::pair<const char*, const Figures*>{"bare_create_process_pipe", &c.bare_pipe}}) {
        if (!first) json << ",\n";
        first = false;
        json << JsonRow("command_runner/" + c.label + "/" + implementation, *figures, runs);
      }
    }
    json << ",\n" << JsonRow("command_runner/status/get_vpn_status", get_vpn_status, runs);
    json << "\n  ],\n  \"commands\": {";
    first = true;
    for (const Comparison& c : comparisons) {
      json << (first ? "" : ", ") << JsonText(c.label) << ": " << JsonText(c.line);
      first = false;
    }
    json << "},\n  \"hidden_console\": {";
    first = true;
    for (const Comparison& c : comparisons) {
      json << (first ? "" : ", ") << JsonText(c.label) << ": "
           << (c.hidden_console ? "true" : "false");
      first = false;
    }
    json << "},\n  \"status_query\": {\"status\": " << JsonText(status_counted)
         << ", \"runs_scripted\": " << scripted_runs
         << ", \"runs_scripted_tool_cannot_start\": " << scripted_runs_unstartable
         << ", \"runs_real\": " << real_runs << ", \"processes\": ";
    if (watched) {
      json << "[";
      for (size_t i = 0; i < started.size(); ++i) {
        json << (i ? ", " : "") << JsonText(started[i]);
      }
      json << "]";
    } else {
      json << "null";
    }
    json << "}\n}\n";
    if (!json) {
      std::fprintf(stderr, "bench_command_runner: cannot write %s\n", json_path.c_str());
      return 1;
    }
  }
  return 0;
}
