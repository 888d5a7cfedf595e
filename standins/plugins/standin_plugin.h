// What every stand-in external plugin does when the host registers it: it
// records the registration where tests can see it, and answers every call on
// a channel of its own with not-implemented (an empty reply).
//
// Records of a registration, in order:
//   * the debug-output line "[StandinPlugin] <plugin name> registered"
//     ("... registered without a registrar" when the handle is null);
//   * the plugin name appended, followed by ';', to the process environment
//     variable ORVA_STANDIN_PLUGIN_REGISTRATIONS, which all four libraries
//     share, so an in-process test can read the order of registrations.
#ifndef ORVA_STANDINS_PLUGINS_STANDIN_PLUGIN_H_
#define ORVA_STANDINS_PLUGINS_STANDIN_PLUGIN_H_

#include "engine_client/flutter_desktop_api.h"

namespace standin_plugin {

inline constexpr char kRegistrationsVariable[] = "ORVA_STANDIN_PLUGIN_REGISTRATIONS";

// Registers the stand-in |plugin_name| on |registrar| with its own |channel|.
void Register(FlutterDesktopPluginRegistrarRef registrar, const char* plugin_name,
              const char* channel);

}  // namespace standin_plugin

#endif  // ORVA_STANDINS_PLUGINS_STANDIN_PLUGIN_H_
