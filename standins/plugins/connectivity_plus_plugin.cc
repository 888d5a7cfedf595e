// Stand-in for connectivity_plus_plugin.dll: exports its registration function.
#include "engine_client/external_plugins.h"
#include "standins/plugins/standin_plugin.h"

extern "C" ORVA_PLUGIN_API void ConnectivityPlusWindowsPluginRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar) {
  standin_plugin::Register(registrar, "ConnectivityPlusWindowsPlugin",
                           "orva.standin/connectivity_plus");
}
