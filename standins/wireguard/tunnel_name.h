// The rules by which wireguard.exe /installtunnelservice turns a
// configuration path into a tunnel name: the file name must end in ".conf"
// or ".conf.dpapi" (case-sensitive) with something in front of it, and what
// is left must be a valid tunnel name: 1 to 32 of [a-zA-Z0-9_=+.-], not
// starting or ending with a dot, and not a reserved DOS device name.
// Portable and header-only.
#ifndef ORVA_STANDINS_WIREGUARD_TUNNEL_NAME_H_
#define ORVA_STANDINS_WIREGUARD_TUNNEL_NAME_H_

#include <cctype>
#include <string>

namespace wg_standin {

inline bool IsReservedDosName(const std::string& name) {
  static const char* const kReserved[] = {
      "CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
      "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};
  std::string upper = name;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const char* reserved : kReserved) {
    if (upper == reserved) return true;
  }
  return false;
}

inline bool IsValidTunnelName(const std::string& name) {
  if (name.empty() || name.size() > 32) return false;
  if (name.front() == '.' || name.back() == '.') return false;
  for (char c : name) {
    const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                         (c >= '0' && c <= '9') || c == '_' || c == '=' || c == '+' || c == '.' ||
                         c == '-';
    if (!allowed) return false;
  }
  return !IsReservedDosName(name);
}

struct TunnelNameResult {
  std::string name;   // set when |error| is empty
  std::string error;  // the message wireguard.exe reports
};

inline TunnelNameResult TunnelNameFromPath(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
  auto ends_with = [&file](const std::string& suffix) {
    return file.size() > suffix.size() &&
           file.compare(file.size() - suffix.size(), suffix.size(), suffix) == 0;
  };
  TunnelNameResult result;
  if (ends_with(".conf.dpapi")) {
    result.name = file.substr(0, file.size() - 11);
  } else if (ends_with(".conf")) {
    result.name = file.substr(0, file.size() - 5);
  } else {
    result.error = "Path must end in either .conf.dpapi or .conf";
    return result;
  }
  if (!IsValidTunnelName(result.name)) {
    result.name.clear();
    result.error = "Tunnel name is not valid";
  }
  return result;
}

}  // namespace wg_standin

#endif  // ORVA_STANDINS_WIREGUARD_TUNNEL_NAME_H_
