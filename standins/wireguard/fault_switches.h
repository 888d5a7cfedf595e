// Fault switches of the stand-in tools. The text is a list of entries
// separated by commas, semicolons or line ends; blanks around entries are
// ignored and a line starting with '#' is a comment. Each entry reads
//
//   TOOL=FAULT        or   TOOL=FAULT:NUMBER
//
// for example "wg=hang,wireguard=slow-start:5000". Tools and faults are
// compared case-insensitively; entries that do not have this shape are
// ignored (the tools must not print anything the product did not ask for).
// Which faults a tool knows is up to the tool; README.md lists them.
// Portable and header-only.
#ifndef ORVA_STANDINS_WIREGUARD_FAULT_SWITCHES_H_
#define ORVA_STANDINS_WIREGUARD_FAULT_SWITCHES_H_

#include <cctype>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace wg_standin {

class FaultSwitches {
 public:
  // Adds the entries of |text| to those already held.
  void Add(const std::string& text) {
    std::string entry;
    bool comment = false;
    for (size_t i = 0; i <= text.size(); ++i) {
      const char c = i < text.size() ? text[i] : '\n';
      if (c == '\n' || c == '\r') {
        if (!comment) AddEntry(entry);
        entry.clear();
        comment = false;
      } else if (comment) {
        continue;
      } else if (c == ',' || c == ';') {
        AddEntry(entry);
        entry.clear();
      } else if (c == '#' && Trim(entry).empty()) {
        comment = true;
      } else {
        entry += c;
      }
    }
  }

  bool Has(const std::string& tool, const std::string& fault) const {
    return Find(tool, fault) != nullptr;
  }

  // The number given with the fault, or no value when the fault is off or
  // was given without a number. The last entry for a fault wins.
  std::optional<uint64_t> Number(const std::string& tool, const std::string& fault) const {
    const Entry* entry = Find(tool, fault);
    if (entry == nullptr) return std::nullopt;
    return entry->number;
  }

  // The number given with the fault, or |fallback| when none was given.
  uint64_t NumberOr(const std::string& tool, const std::string& fault, uint64_t fallback) const {
    return Number(tool, fault).value_or(fallback);
  }

 private:
  struct Entry {
    std::string tool;
    std::string fault;
    std::optional<uint64_t> number;
  };

  static std::string Trim(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
    return text.substr(begin, end - begin);
  }

  static std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  }

  void AddEntry(const std::string& raw) {
    const std::string text = Trim(raw);
    const size_t equals = text.find('=');
    if (equals == std::string::npos) return;
    Entry entry;
    entry.tool = Lower(Trim(text.substr(0, equals)));
    std::string fault = Trim(text.substr(equals + 1));
    const size_t colon = fault.find(':');
    if (colon != std::string::npos) {
      const std::string digits = Trim(fault.substr(colon + 1));
      if (digits.empty() || digits.size() > 18) return;
      uint64_t number = 0;
      for (char c : digits) {
        if (c < '0' || c > '9') return;
        number = number * 10 + static_cast<uint64_t>(c - '0');
      }
      entry.number = number;
      fault = Trim(fault.substr(0, colon));
    }
    entry.fault = Lower(fault);
    if (entry.tool.empty() || entry.fault.empty()) return;
    entries_.push_back(entry);
  }

  const Entry* Find(const std::string& tool, const std::string& fault) const {
    const std::string wanted_tool = Lower(tool), wanted_fault = Lower(fault);
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
      if (it->tool == wanted_tool && it->fault == wanted_fault) return &*it;
    }
    return nullptr;
  }

  std::vector<Entry> entries_;
};

}  // namespace wg_standin

#endif  // ORVA_STANDINS_WIREGUARD_FAULT_SWITCHES_H_
