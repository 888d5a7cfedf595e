// Reads session files into steps (format in session_script.h).
#include "standins/engine/session_script.h"

#include <sstream>

#include "standins/engine/channel_json.h"

namespace standin {
namespace {

std::string TrimmedRight(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
  return text;
}

// Splits "WORD REST" at the first blank; REST is what follows that one blank.
void SplitFirst(const std::string& line, std::string* word, std::string* rest) {
  size_t blank = line.find(' ');
  if (blank == std::string::npos) {
    *word = line;
    rest->clear();
  } else {
    *word = line.substr(0, blank);
    *rest = line.substr(blank + 1);
  }
}

// Takes a path from the front of |rest|: a quoted one up to its closing
// quote, otherwise up to the first blank. The remainder after one blank goes
// to |remainder|. False when a quote is not closed or the path is empty.
bool TakePath(const std::string& rest, std::string* path, std::string* remainder) {
  size_t end;
  if (!rest.empty() && rest[0] == '"') {
    end = rest.find('"', 1);
    if (end == std::string::npos) return false;
    *path = rest.substr(1, end - 1);
    ++end;
  } else {
    end = rest.find(' ');
    if (end == std::string::npos) end = rest.size();
    *path = rest.substr(0, end);
  }
  if (path->empty()) return false;
  *remainder = end < rest.size() ? rest.substr(end + 1) : std::string();
  return end >= rest.size() || rest[end] == ' ';
}

std::string ResolveEscapes(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      switch (text[i + 1]) {
        case 'n':
          out.push_back('\n');
          ++i;
          continue;
        case 'r':
          out.push_back('\r');
          ++i;
          continue;
        case 't':
          out.push_back('\t');
          ++i;
          continue;
        case '\\':
          out.push_back('\\');
          ++i;
          continue;
        default:
          break;
      }
    }
    out.push_back(text[i]);
  }
  return out;
}

SessionStep Invalid(SessionStep step, const std::string& error) {
  step.kind = SessionStep::Kind::kInvalid;
  step.error = error;
  return step;
}

// Reads a whole number of milliseconds, at most a day.
bool ParseMilliseconds(const std::string& text, uint32_t* ms) {
  if (text.empty() || text.size() > 9 ||
      text.find_first_not_of("0123456789") != std::string::npos || std::stoul(text) > kMaxSleepMs) {
    return false;
  }
  *ms = static_cast<uint32_t>(std::stoul(text));
  return true;
}

SessionStep ParseDirective(SessionStep step, const std::string& rest) {
  if (step.name == "@sleep" || step.name == "@close-after") {
    if (!ParseMilliseconds(rest, &step.sleep_ms)) {
      return Invalid(step, step.name + " needs a whole number of milliseconds, at most a day");
    }
    step.kind = step.name == "@sleep" ? SessionStep::Kind::kSleep : SessionStep::Kind::kCloseAfter;
    return step;
  }
  if (step.name == "@poll") {
    std::istringstream words(rest);
    std::string ms;
    words >> ms >> step.until;
    for (std::string method; words >> method;) step.polled.push_back(method);
    if (!ParseMilliseconds(ms, &step.sleep_ms) || step.sleep_ms == 0 || step.polled.empty()) {
      return Invalid(step, "@poll needs MS UNTIL METHOD...");
    }
    step.kind = SessionStep::Kind::kPoll;
    return step;
  }
  if (step.name == "@run") {
    if (rest.empty()) return Invalid(step, "@run needs a COMMAND");
    step.kind = SessionStep::Kind::kRun;
    step.text = rest;
    return step;
  }
  if (step.name == "@write") {
    std::string text;
    if (!TakePath(rest, &step.path, &text)) return Invalid(step, "@write needs PATH [TEXT]");
    step.kind = SessionStep::Kind::kWrite;
    step.text = ResolveEscapes(text);
    return step;
  }
  if (step.name == "@delete") {
    std::string remainder;
    if (!TakePath(rest, &step.path, &remainder) || !remainder.empty()) {
      return Invalid(step, "@delete needs exactly one PATH");
    }
    step.kind = SessionStep::Kind::kDelete;
    return step;
  }
  if (step.name == "@readonly" || step.name == "@writable") {
    std::string remainder;
    if (!TakePath(rest, &step.path, &remainder) || !remainder.empty()) {
      return Invalid(step, step.name + " needs exactly one PATH");
    }
    step.kind =
        step.name == "@readonly" ? SessionStep::Kind::kReadOnly : SessionStep::Kind::kWritable;
    return step;
  }
  if (step.name == "@diagnostics") {
    if (!rest.empty()) return Invalid(step, "@diagnostics takes no argument");
    step.kind = SessionStep::Kind::kDiagnostics;
    return step;
  }
  return Invalid(step, "unknown directive");
}

SessionStep ParseLine(const std::string& line, int line_number) {
  SessionStep step;
  step.line_number = line_number;
  std::string rest;
  SplitFirst(line, &step.name, &rest);
  if (TrimmedRight(line) == "quit") {
    step.kind = SessionStep::Kind::kQuit;
    return step;
  }
  if (step.name.empty()) return Invalid(step, "line starts with a blank");
  if (step.name[0] == '@') {
    // Trailing blanks belong to @write's text; elsewhere they mean nothing.
    return ParseDirective(step, step.name == "@write" ? rest : TrimmedRight(rest));
  }
  step.kind = SessionStep::Kind::kCall;
  if (rest.find_first_not_of(" \t") == std::string::npos) return step;  // no arguments
  std::string error;
  if (!ParseJson(rest, &step.arguments, &error)) return Invalid(step, "arguments: " + error);
  step.arguments_text = rest;
  return step;
}

}  // namespace

std::vector<SessionStep> ParseSessionScript(const std::string& contents) {
  std::vector<SessionStep> steps;
  size_t start = contents.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  int line_number = 0;
  while (start < contents.size()) {
    size_t end = contents.find('\n', start);
    if (end == std::string::npos) end = contents.size();
    std::string line = contents.substr(start, end - start);
    start = end + 1;
    ++line_number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos || line[0] == '#') continue;
    steps.push_back(ParseLine(line, line_number));
  }
  return steps;
}

}  // namespace standin
