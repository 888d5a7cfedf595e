// The framing spoken with the real-tunnel relay (real/relay.py): a message
// is a sequence of netstrings, "LENGTH:BYTES," with LENGTH in decimal. A
// request holds the token, the verb and its arguments; the reply holds the
// exit code (decimal text), the standard output and the standard error of
// the tool the relay ran. Portable and header-only.
#ifndef ORVA_STANDINS_WIREGUARD_RELAY_WIRE_H_
#define ORVA_STANDINS_WIREGUARD_RELAY_WIRE_H_

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace wg_standin {

inline std::string EncodeNetstrings(const std::vector<std::string>& fields) {
  std::string out;
  for (const std::string& field : fields) {
    out += std::to_string(field.size()) + ":" + field + ",";
  }
  return out;
}

// The fields of |bytes|, or no value when it is not a whole sequence of
// netstrings (a length without digits, longer than the rest, a missing
// comma, or more than |max_fields| fields).
inline std::optional<std::vector<std::string>> DecodeNetstrings(const std::string& bytes,
                                                                size_t max_fields = 64) {
  std::vector<std::string> fields;
  size_t at = 0;
  while (at < bytes.size()) {
    if (fields.size() == max_fields) return std::nullopt;
    size_t length = 0, digits = 0;
    while (at < bytes.size() && bytes[at] >= '0' && bytes[at] <= '9' && digits < 10) {
      length = length * 10 + static_cast<size_t>(bytes[at] - '0');
      ++at;
      ++digits;
    }
    if (digits == 0 || at >= bytes.size() || bytes[at] != ':') return std::nullopt;
    ++at;
    if (bytes.size() - at < length + 1 || bytes[at + length] != ',') return std::nullopt;
    fields.push_back(bytes.substr(at, length));
    at += length + 1;
  }
  return fields;
}

}  // namespace wg_standin

#endif  // ORVA_STANDINS_WIREGUARD_RELAY_WIRE_H_
