// Byte counts for people: "512 B", "6.55 KiB", "1.27 MiB", "3.00 GiB".
#ifndef ORVA_STANDINS_ENGINE_HUMAN_UNITS_H_
#define ORVA_STANDINS_ENGINE_HUMAN_UNITS_H_

#include <cstdint>
#include <string>

namespace standin {

// Below 1024 the plain count with " B"; otherwise two decimals in base 1024
// with KiB, MiB, GiB or TiB (as WireGuard's own tools print them). Negative
// counts keep their sign.
std::string HumanBytes(int64_t bytes);

}  // namespace standin

#endif  // ORVA_STANDINS_ENGINE_HUMAN_UNITS_H_
