// SupportLog: see the header for the file's place, format and turnover.
#include "wireguard_plugin/support_log.h"

#include <cstdio>

namespace {

std::string Stamp(const PluginEnv::UtcTime& t) {
  char text[32];
  std::snprintf(text, sizeof(text), "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", t.year, t.month, t.day,
                t.hour, t.minute, t.second, t.millisecond);
  return text;
}

// |text| with each line ending (CR LF, LF or CR) as CR LF, and one CR LF at
// its end; line ends it already had at its end count as that one. Other
// control characters (a tool's binary output) are shown as \xHH, so the
// file stays text.
std::string WithCrLfLines(const std::string& text) {
  std::string lines;  // every line end as LF first
  lines.reserve(text.size() + 2);
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      lines.push_back('\n');
    } else if ((c < 0x20 && c != '\t') || c == 0x7F) {
      char escaped[5];
      std::snprintf(escaped, sizeof(escaped), "\\x%02X", c);
      lines += escaped;
    } else {
      lines.push_back(text[i]);
    }
  }
  while (!lines.empty() && lines.back() == '\n') lines.pop_back();
  return WithCrLf(lines + '\n');
}

// |entry| (UTF-8, CR LF lines) cut to at most about kMaxEntryBytes, at a
// character boundary, with a line saying how much was left out.
std::string Bounded(std::string entry) {
  if (entry.size() <= SupportLog::kMaxEntryBytes) return entry;
  size_t cut = SupportLog::kMaxEntryBytes;
  while (cut > 0 && (static_cast<unsigned char>(entry[cut]) & 0xC0) == 0x80) --cut;
  const size_t left_out = entry.size() - cut;
  entry.resize(cut);
  if (!entry.empty() && entry.back() == '\r') entry.pop_back();
  return entry + "\r\n(" + std::to_string(left_out) +
         " more bytes of this message not kept here)\r\n";
}

}  // namespace

std::string WithCrLf(const std::string& text) {
  std::string bytes;
  bytes.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    if (c == '\n') bytes.push_back('\r');
    bytes.push_back(c);
  }
  return bytes;
}

void SupportLog::Start(const std::string& program_version) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (state_ != State::kOff) return;
  std::optional<std::string> program_data = env_.ShellFolder(kCsidlCommonAppData);
  if (!program_data) return Fail();
  const std::string folder = *program_data + "\\ORVA VPN";
  file_ = folder + "\\logs\\plugin.log";
  // The folders are ours from here on, so the file needs claiming only once:
  // nobody else can put another in its place.
  if (!env_.CreateProtectedFolder(folder, kProtectedFolderSddl) ||
      !env_.CreateProtectedFolder(folder + "\\logs", kProtectedFolderSddl) ||
      !env_.ClaimFile(file_)) {
    return Fail();
  }
  size_ = env_.FileSize(file_).value_or(0);
  state_ = State::kOn;
  const std::optional<std::string> windows = env_.WindowsVersion();
  Append(Stamp(env_.UtcNow()) + " Program start: ORVA VPN " + program_version +
         (windows ? ", Windows " + *windows : std::string()) + "\r\n");
}

void SupportLog::Write(const std::string& line) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (state_ != State::kOn) return;
  Append(Bounded(Stamp(env_.UtcNow()) + " " + WithCrLfLines(env_.AnsiToUtf8(line))));
}

void SupportLog::Append(const std::string& bytes) {
  if (size_ > 0 && size_ + bytes.size() > turnover_at_) {
    if (env_.MoveFileOver(file_, file_ + ".1")) {
      size_ = 0;
      turnover_at_ = kMaxFileBytes;
    } else {
      // Held open by a viewer, say: the file grows on for a while.
      turnover_at_ = size_ + kTurnoverRetryBytes;
      env_.DebugOutput(kLogPrefix + ("Log file cannot be turned over: " + file_));
    }
  }
  if (!env_.AppendFile(file_, bytes)) return Fail();
  size_ += bytes.size();
}

void SupportLog::Fail() {
  state_ = State::kFailed;
  env_.DebugOutput(kLogPrefix +
                   ("Log file cannot be written" + (file_.empty() ? std::string() : ": " + file_)));
}
