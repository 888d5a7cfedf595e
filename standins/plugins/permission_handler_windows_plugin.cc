// Stand-in for permission_handler_windows_plugin.dll: exports its registration function.
#include "engine_client/external_plugins.h"
#include "standins/plugins/standin_plugin.h"

extern "C" ORVA_PLUGIN_API void PermissionHandlerWindowsPluginRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar) {
  standin_plugin::Register(registrar, "PermissionHandlerWindowsPlugin",
                           "orva.standin/permission_handler");
}
