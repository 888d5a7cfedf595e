// The registration shared by the four stand-in external plugins.
#include "standins/plugins/standin_plugin.h"

#include <windows.h>

#include <string>

namespace standin_plugin {
namespace {

// Every call on the plugin's channel gets the empty reply that means
// "not implemented" to the UI.
void AnswerNotImplemented(FlutterDesktopMessengerRef messenger,
                          const FlutterDesktopMessage* message, void* /*user_data*/) {
  FlutterDesktopMessengerSendResponse(messenger, message->response_handle, nullptr, 0);
}

void AppendToRegistrations(const char* plugin_name) {
  std::string registrations;
  const DWORD size = ::GetEnvironmentVariableA(kRegistrationsVariable, nullptr, 0);
  if (size > 0) {
    registrations.resize(size);
    const DWORD length = ::GetEnvironmentVariableA(kRegistrationsVariable, &registrations[0], size);
    registrations.resize(length < size ? length : 0);
  }
  registrations += plugin_name;
  registrations += ';';
  ::SetEnvironmentVariableA(kRegistrationsVariable, registrations.c_str());
}

}  // namespace

void Register(FlutterDesktopPluginRegistrarRef registrar, const char* plugin_name,
              const char* channel) {
  std::string line = std::string("[StandinPlugin] ") + plugin_name + " registered";
  if (registrar == nullptr) line += " without a registrar";
  ::OutputDebugStringA(line.c_str());
  AppendToRegistrations(plugin_name);
  if (registrar == nullptr) return;
  FlutterDesktopMessengerRef messenger = FlutterDesktopPluginRegistrarGetMessenger(registrar);
  FlutterDesktopMessengerSetCallback(messenger, channel, &AnswerNotImplemented, nullptr);
}

}  // namespace standin_plugin
