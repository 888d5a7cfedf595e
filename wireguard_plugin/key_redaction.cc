// KeyRedactor: see the header for what is hidden.
#include "wireguard_plugin/key_redaction.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <string_view>

namespace {

constexpr char kHidden[] = "(hidden)";
constexpr std::string_view kBlanks = " \t\n\v\f\r";

// Registered values shorter than this are not real keys (a WireGuard key is
// 44 characters), and hiding them would blank ordinary words in the log.
constexpr size_t kShortestHiddenKey = 8;

// Whether |text| at |at| begins with the lower-case |word| in any case.
bool WordAt(const std::string& text, size_t at, std::string_view word) {
  return at <= text.size() && text.size() - at >= word.size() &&
         std::equal(
             word.begin(), word.end(), text.begin() + static_cast<ptrdiff_t>(at),
             [](char w, char c) { return std::tolower(static_cast<unsigned char>(c)) == w; });
}

size_t SkipBlanks(const std::string& text, size_t at) {
  while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
  return at;
}

// Where the value after a key name that begins at |at| starts, or npos.
size_t ValueAfterKeyName(const std::string& text, size_t at) {
  const size_t name = WordAt(text, at, "private") ? 7 : WordAt(text, at, "preshared") ? 9 : 0;
  at = SkipBlanks(text, at + name);
  if (name == 0 || !WordAt(text, at, "key")) return std::string::npos;
  at = SkipBlanks(text, at + 3);
  if (at >= text.size() || (text[at] != '=' && text[at] != ':')) return std::string::npos;
  return SkipBlanks(text, at + 1);
}

}  // namespace

void KeyRedactor::Register(const std::string& config) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (size_t start = 0, end = 0; start < config.size(); start = end + 1) {
    end = std::min(config.find_first_of("\r\n", start), config.size());
    std::string line;
    for (size_t i = start; i < end && config[i] != '#'; ++i) {
      if (kBlanks.find(config[i]) == std::string_view::npos) line += config[i];
    }
    const size_t name = WordAt(line, 0, "privatekey=")     ? 11
                        : WordAt(line, 0, "presharedkey=") ? 13
                                                           : 0;
    std::string key = line.substr(name);
    while (!key.empty() && key.back() == '=') key.pop_back();
    if (name > 0 && key.size() >= kShortestHiddenKey &&
        std::find(keys_.begin(), keys_.end(), key) == keys_.end()) {
      keys_.push_back(key);
    }
  }
}

std::string KeyRedactor::Redact(const std::string& line) const {
  std::string shown = line;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const std::string& key : keys_) {
      for (size_t at = shown.find(key); at != std::string::npos; at = shown.find(key, at + 1)) {
        const size_t end = std::min(shown.find_first_not_of('=', at + key.size()), shown.size());
        shown.replace(at, end - at, kHidden);
      }
    }
  }
  for (size_t at = 0; at < shown.size(); ++at) {
    const size_t value = ValueAfterKeyName(shown, at);
    if (value == std::string::npos) continue;
    const size_t end = std::min(shown.find_first_of(" \t\n\v\f\r'`\"", value), shown.size());
    if (end > value) shown.replace(value, end - value, kHidden);
    at = value;
  }
  return shown;
}
