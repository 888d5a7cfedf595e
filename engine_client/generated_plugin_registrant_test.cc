// RegisterGeneratedPlugins with the stand-in plugin libraries when the engine
// answers no registrar. With registrars, the order of the requests and of the
// registrations is checked where the window starts (flutter_window_test).
#include "engine_client/generated_plugin_registrant.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine_client/plugin_registry.h"

namespace {

constexpr char kRegistrationsVariable[] = "ORVA_STANDIN_PLUGIN_REGISTRATIONS";

// What the stand-in plugin libraries have recorded so far, then forgotten.
std::string TakeRegistrations() {
  char buffer[1024] = {};
  const DWORD length = ::GetEnvironmentVariableA(kRegistrationsVariable, buffer, sizeof(buffer));
  ::SetEnvironmentVariableA(kRegistrationsVariable, nullptr);
  return length < sizeof(buffer) ? std::string(buffer, length) : std::string();
}

// A registry that answers no registrar and records what it was asked.
class EmptyRegistry : public flutter::PluginRegistry {
 public:
  FlutterDesktopPluginRegistrarRef GetRegistrarForPlugin(const std::string& name) override {
    asked.push_back(name);
    return nullptr;
  }
  std::vector<std::string> asked;
};

TEST(RegisterGeneratedPluginsTest, MissingRegistrarsArePassedOnUnchecked) {
  EmptyRegistry registry;
  TakeRegistrations();

  RegisterGeneratedPlugins(&registry);

  EXPECT_EQ(registry.asked,
            (std::vector<std::string>{"ConnectivityPlusWindowsPlugin",
                                      "FlutterSecureStorageWindowsPlugin",
                                      "PermissionHandlerWindowsPlugin", "UrlLauncherWindows"}));
  // Every export still ran, each with a null registrar.
  EXPECT_EQ(TakeRegistrations(),
            "ConnectivityPlusWindowsPlugin;FlutterSecureStorageWindowsPlugin;"
            "PermissionHandlerWindowsPlugin;UrlLauncherWindows;");
}

}  // namespace
