// Hands out the engine library's plugin registrar for a plugin name.
#ifndef ORVA_ENGINE_CLIENT_PLUGIN_REGISTRY_H_
#define ORVA_ENGINE_CLIENT_PLUGIN_REGISTRY_H_

#include <string>

#include "engine_client/flutter_desktop_api.h"

namespace flutter {

class PluginRegistry {
 public:
  virtual ~PluginRegistry() = default;

  // The registrar for |plugin_name| (UTF-8), or null.
  virtual FlutterDesktopPluginRegistrarRef GetRegistrarForPlugin(
      const std::string& plugin_name) = 0;
};

}  // namespace flutter

#endif  // ORVA_ENGINE_CLIENT_PLUGIN_REGISTRY_H_
