// Byte counts in human units (see human_units.h).
#include "standins/engine/human_units.h"

#include <cstdio>

namespace standin {

std::string HumanBytes(int64_t bytes) {
  // Work on the magnitude as unsigned so that the most negative count is fine.
  const bool negative = bytes < 0;
  const uint64_t magnitude =
      negative ? 0 - static_cast<uint64_t>(bytes) : static_cast<uint64_t>(bytes);
  const std::string sign = negative ? "-" : "";
  if (magnitude < 1024) return sign + std::to_string(magnitude) + " B";
  static const char* const kUnits[] = {"KiB", "MiB", "GiB", "TiB"};
  double value = static_cast<double>(magnitude) / 1024.0;
  int unit = 0;
  while (value >= 1024.0 && unit < 3) {
    value /= 1024.0;
    ++unit;
  }
  char text[64];
  std::snprintf(text, sizeof text, "%.2f %s", value, kUnits[unit]);
  return sign + text;
}

}  // namespace standin
