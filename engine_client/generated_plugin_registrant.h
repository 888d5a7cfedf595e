// Registers the external plugin libraries with an engine.
#ifndef ORVA_ENGINE_CLIENT_GENERATED_PLUGIN_REGISTRANT_H_
#define ORVA_ENGINE_CLIENT_GENERATED_PLUGIN_REGISTRANT_H_

#include "engine_client/plugin_registry.h"

// Asks |registry| for each external plugin's registrar, in a fixed order, and
// hands it (unchecked, even when null) to that plugin's registration export.
void RegisterGeneratedPlugins(flutter::PluginRegistry* registry);

#endif  // ORVA_ENGINE_CLIENT_GENERATED_PLUGIN_REGISTRANT_H_
