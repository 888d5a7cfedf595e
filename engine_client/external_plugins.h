// Registration exports of the four external plugin libraries, imported at
// load time: the program does not start without them.
#ifndef ORVA_ENGINE_CLIENT_EXTERNAL_PLUGINS_H_
#define ORVA_ENGINE_CLIENT_EXTERNAL_PLUGINS_H_

#include "engine_client/flutter_desktop_api.h"

#if defined(_WIN32) && defined(ORVA_PLUGIN_LIBRARY_EXPORTS)
#define ORVA_PLUGIN_API __declspec(dllexport)
#elif defined(_WIN32)
#define ORVA_PLUGIN_API __declspec(dllimport)
#else
#define ORVA_PLUGIN_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

// connectivity_plus_plugin.dll
ORVA_PLUGIN_API void ConnectivityPlusWindowsPluginRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar);
// flutter_secure_storage_windows_plugin.dll
ORVA_PLUGIN_API void FlutterSecureStorageWindowsPluginRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar);
// permission_handler_windows_plugin.dll
ORVA_PLUGIN_API void PermissionHandlerWindowsPluginRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar);
// url_launcher_windows_plugin.dll
ORVA_PLUGIN_API void UrlLauncherWindowsRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar);

#ifdef __cplusplus
}  // extern "C"
#endif

#endif  // ORVA_ENGINE_CLIENT_EXTERNAL_PLUGINS_H_
