// Stand-in for url_launcher_windows_plugin.dll: exports its registration function.
#include "engine_client/external_plugins.h"
#include "standins/plugins/standin_plugin.h"

extern "C" ORVA_PLUGIN_API void UrlLauncherWindowsRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar) {
  standin_plugin::Register(registrar, "UrlLauncherWindows", "orva.standin/url_launcher");
}
