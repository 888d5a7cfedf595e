// Stand-in for flutter_secure_storage_windows_plugin.dll: exports its registration function.
#include "engine_client/external_plugins.h"
#include "standins/plugins/standin_plugin.h"

extern "C" ORVA_PLUGIN_API void FlutterSecureStorageWindowsPluginRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar) {
  standin_plugin::Register(registrar, "FlutterSecureStorageWindowsPlugin",
                           "orva.standin/flutter_secure_storage");
}
