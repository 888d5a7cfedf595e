// The C entry point that attaches WireguardPlugin to a running engine.
#ifndef ORVA_WIREGUARD_PLUGIN_PLUGIN_REGISTRATION_H_
#define ORVA_WIREGUARD_PLUGIN_PLUGIN_REGISTRATION_H_

#include "engine_client/flutter_desktop_api.h"

// Creates the plugin, binds its channel "com.orva_divuv/wireguard" to the
// registrar's messenger and keeps it in the process-wide holder (replacing,
// and destroying, any earlier plugin).
void WireguardPluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar);

#endif  // ORVA_WIREGUARD_PLUGIN_PLUGIN_REGISTRATION_H_
