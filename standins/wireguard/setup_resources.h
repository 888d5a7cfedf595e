// Resource ids of the tools that the stand-in setup program carries as
// RCDATA (CMakeLists.txt generates setup_payload.rc from the built tools
// with these numbers).
#ifndef ORVA_STANDINS_WIREGUARD_SETUP_RESOURCES_H_
#define ORVA_STANDINS_WIREGUARD_SETUP_RESOURCES_H_

namespace wg_standin {
constexpr int kWireguardExeResource = 201;
constexpr int kWgExeResource = 202;
}  // namespace wg_standin

#endif  // ORVA_STANDINS_WIREGUARD_SETUP_RESOURCES_H_
