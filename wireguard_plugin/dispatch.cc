// The UI's methods on "com.orva_divuv/wireguard": one table of them, the
// routing of each call to its handler, and the worker's side of a call.
//
// Method names match exactly and case-sensitively. Only the connection call
// turns an operation's failure into an error envelope; every other false or
// empty outcome goes back as a success value. Messages meant for the user
// are Russian (UTF-8 on the channel); log lines are English.
#include <algorithm>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <utility>

#include "codec/encodable_value.h"
#include "codec/method_call.h"
#include "codec/method_result.h"
#include "wireguard_plugin/wireguard_plugin.h"

namespace {

using flutter::EncodableValue;

constexpr char kInvalidArgument[] = "INVALID_ARGUMENT";
constexpr char kNotInstalledMessage[] =
    "WireGuard не установлен.\n\n"
    "Пожалуйста, установите WireGuard через установщик приложения или вручную.";

// One answer to a call, given once the handler has returned.
struct Reply {
  enum class Kind { kSuccess, kError, kNotImplemented };
  Kind kind = Kind::kNotImplemented;
  EncodableValue value;       // kSuccess
  std::string code, message;  // kError

  void Send(flutter::MethodResult& result) const {
    if (kind == Kind::kSuccess) return result.Success(value);
    if (kind == Kind::kError) return result.Error(code, message);
    result.NotImplemented();
  }
};

Reply Success(EncodableValue value) { return {Reply::Kind::kSuccess, std::move(value), {}, {}}; }
Reply Error(const char* code, const std::string& message) {
  return {Reply::Kind::kError, EncodableValue(), code, message};
}
// The failed connection's answer, its middle line saying whether the
// configuration was saved.
Reply ActivationFailed(bool saved) {
  return Error("ACTIVATION_FAILED",
               std::string("Не удалось автоматически активировать туннель.\n\n") +
                   (saved ? "Конфигурация 'orva_divuv' сохранена.\n"
                          : "Не удалось сохранить конфигурацию 'orva_divuv'.\n") +
                   "Попробуйте подключиться снова.\n\n"
                   "Если проблема сохраняется:\n"
                   "1. Откройте WireGuard GUI\n"
                   "2. Найдите конфигурацию 'orva_divuv'\n"
                   "3. Нажмите 'Activate' для активации туннеля");
}

EncodableValue StatsValue(const TransferStats& stats) {
  return EncodableValue(
      flutter::ValueMap{{EncodableValue(std::string("rx")), EncodableValue(stats.rx)},
                        {EncodableValue(std::string("tx")), EncodableValue(stats.tx)}});
}

// The {"config": string} argument map of the two calls that take a
// configuration: the configuration, or what is wrong with the arguments (a
// log line and the user's message).
struct ConfigArgument {
  std::string config;
  const char* problem = nullptr;  // null when the argument is fine
  const char* message = nullptr;
};

ConfigArgument ReadConfigArgument(const EncodableValue* arguments) {
  const auto* map = arguments ? std::get_if<flutter::ValueMap>(arguments) : nullptr;
  if (!map) return {{}, "Invalid arguments", "Неверные аргументы"};
  const EncodableValue* value = flutter::LookupMapValue(*map, "config");
  if (!value) return {{}, "Config not provided", "Конфигурация не предоставлена"};
  const auto* text = std::get_if<std::string>(value);
  if (!text) return {{}, "Config is not a string", "Конфигурация должна быть строкой"};
  return {*text};
}

// The handlers. Each gets the plugin, its method's name (for its log lines)
// and the call's arguments, and returns the answer.
using Handler = Reply (*)(WireguardPlugin& plugin, const std::string& method,
                          const EncodableValue* arguments);

// Logs "METHOD result: true" (or false) and answers the value.
Reply BoolResult(WireguardPlugin& plugin, const std::string& method, bool value) {
  plugin.PluginLog(method + " result: " + (value ? "true" : "false"));
  return Success(EncodableValue(value));
}

Reply CheckInstalled(WireguardPlugin& plugin, const std::string& method, const EncodableValue*) {
  return BoolResult(plugin, method, plugin.IsWireguardInstalled());
}

Reply Connect(WireguardPlugin& plugin, const std::string& method, const EncodableValue* arguments) {
  plugin.PluginLog(method + " method called");
  const ConfigArgument argument = ReadConfigArgument(arguments);
  if (argument.problem) {
    plugin.PluginLog(argument.problem);
    return Error(kInvalidArgument, argument.message);
  }
  plugin.PluginLog("Config received, length: " + std::to_string(argument.config.size()));
  if (!plugin.IsWireguardInstalled()) {
    plugin.PluginLog("WireGuard not installed - user should install via installer");
    return Error("NOT_INSTALLED", kNotInstalledMessage);
  }
  plugin.PluginLog("Starting ConnectVPN...");
  const WireguardPlugin::ConnectOutcome outcome = plugin.Connect(argument.config);
  const bool connected = WireguardPlugin::IsUp(outcome);
  plugin.PluginLog(std::string("ConnectVPN result: ") + (connected ? "true" : "false"));
  if (connected) return Success(EncodableValue(true));
  if (plugin.GetVPNStatus() == TunnelStatus::kConnected) {
    plugin.PluginLog("Tunnel is actually connected");
    return Success(EncodableValue(true));
  }
  const bool saved = outcome != WireguardPlugin::ConnectOutcome::kNotSaved;
  plugin.PluginLog(saved ? "Connection activation failed, but config is saved"
                         : "Connection activation failed, and config is not saved");
  return ActivationFailed(saved);
}

Reply Disconnect(WireguardPlugin& plugin, const std::string& method, const EncodableValue*) {
  plugin.PluginLog(method + " method called");
  return Success(EncodableValue(plugin.DisconnectVPN()));
}

Reply ReportStatus(WireguardPlugin& plugin, const std::string& method, const EncodableValue*) {
  const std::string word = StatusWord(plugin.GetVPNStatus());
  plugin.PluginLog(method + " result: " + word);
  return Success(EncodableValue(word));
}

Reply ReportStats(WireguardPlugin& plugin, const std::string& method, const EncodableValue*) {
  plugin.PluginLog(method + " method called");
  return Success(StatsValue(plugin.GetTransferStats()));
}

Reply ReportDocumentsPath(WireguardPlugin& plugin, const std::string& method,
                          const EncodableValue*) {
  const PluginEnv::FolderName path = plugin.GetDocumentsPath();
  plugin.PluginLog(method + " result: " + path.ansi);
  return Success(EncodableValue(path.utf8));
}

Reply Install(WireguardPlugin& plugin, const std::string& method, const EncodableValue*) {
  plugin.PluginLog(method + " method called");
  return BoolResult(plugin, method, plugin.InstallWireguard());
}

Reply Recreate(WireguardPlugin& plugin, const std::string& method,
               const EncodableValue* arguments) {
  plugin.PluginLog(method + " method called");
  const ConfigArgument argument = ReadConfigArgument(arguments);
  // Unlike a connection's, these argument errors are not logged.
  if (argument.problem) return Error(kInvalidArgument, argument.message);
  return BoolResult(plugin, method, plugin.RecreateTunnel(argument.config));
}

// A read may share a later identical run's answer (see HandleQueuedCall);
// every other method changes, or may change, the machine's state.
enum Sharing : bool { kOwnRun = false, kShared = true };

struct Method {
  const char* name;
  Handler handle;
  Reply (*failure)();  // the answer when the handler throws
  Sharing sharing;
};

// The failure answers: what a method answers without WireGuard, with nothing
// to report, or for a failed activation.
Reply FalseAnswer() { return Success(EncodableValue(false)); }
Reply UnknownStatus() {
  return Success(EncodableValue(std::string(StatusWord(TunnelStatus::kUnknown))));
}
Reply ZeroStats() { return Success(StatsValue(TransferStats())); }
Reply EmptyPath() { return Success(EncodableValue(std::string())); }
Reply NotActivated() { return ActivationFailed(true); }

const Method kMethods[] = {
    {"isWireguardInstalled", CheckInstalled, FalseAnswer, kShared},
    {"connect", Connect, NotActivated, kOwnRun},
    {"disconnect", Disconnect, FalseAnswer, kOwnRun},
    {"getStatus", ReportStatus, UnknownStatus, kShared},
    {"getStats", ReportStats, ZeroStats, kShared},
    {"getDocumentsPath", ReportDocumentsPath, EmptyPath, kShared},
    {"installWireguard", Install, FalseAnswer, kOwnRun},
    {"recreateTunnel", Recreate, FalseAnswer, kOwnRun},
};

// The table's row for |name|; null for a method the plugin does not know.
const Method* FindMethod(const std::string& name) {
  for (const Method& method : kMethods) {
    if (name == method.name) return &method;
  }
  return nullptr;
}

// Logs the call and runs its method: the handler's answer, or "not
// implemented" for an unknown name.
Reply Run(WireguardPlugin& plugin, const flutter::MethodCall& call) {
  const std::string& name = call.method_name();
  plugin.PluginLog("HandleMethodCall: " + name);
  if (const Method* method = FindMethod(name)) {
    return method->handle(plugin, name, call.arguments());
  }
  plugin.PluginLog("Method not implemented: " + name);
  return Reply();
}

}  // namespace

void WireguardPlugin::HandleMethodCall(const flutter::MethodCall& call,
                                       std::unique_ptr<flutter::MethodResult> result) {
  Run(*this, call).Send(*result);
}

// A UI polls status and counters on a timer whether or not the last answer
// has come, so polls pile up behind a long call (an installation takes
// minutes). A read therefore takes the answer of the latest run of an
// identical call (same method, same arguments) that began after it arrived:
// it is as fresh as a run of its own. Calls are still taken, and answered,
// in arrival order, and any other call forgets every run, so no answer
// crosses a call that may change the machine's state.
void WireguardPlugin::HandleQueuedCall(const flutter::MethodCall& call, uint64_t arrival,
                                       std::unique_ptr<flutter::MethodResult> result) {
  const std::string& name = call.method_name();
  const Method* method = FindMethod(name);
  bool answered = false;
  std::string thrown;
  try {
    const bool shared = method != nullptr && method->sharing == kShared;
    static const EncodableValue kNoArguments;
    const EncodableValue& arguments = call.arguments() ? *call.arguments() : kNoArguments;
    // A run that began before this call arrived serves no later call either.
    shared_runs_.erase(
        std::remove_if(shared_runs_.begin(), shared_runs_.end(),
                       [&](const SharedRun& run) { return !shared || run.began < arrival; }),
        shared_runs_.end());
    const auto latest = std::find_if(
        shared_runs_.begin(), shared_runs_.end(),
        [&](const SharedRun& run) { return run.method == name && run.arguments == arguments; });
    Reply reply;
    if (latest != shared_runs_.end()) {
      PluginLog("HandleMethodCall: " + name);
      PluginLog(name +
                " answered by the latest identical run, which began after this call arrived");
      reply = Success(latest->answer);
    } else {
      const uint64_t began = arrivals_.load();
      reply = Run(*this, call);
      if (shared && reply.kind == Reply::Kind::kSuccess) {
        shared_runs_.push_back({name, arguments, began, reply.value});
      }
    }
    answered = true;
    reply.Send(*result);
    return;
  } catch (const std::exception& error) {
    thrown = error.what();
  } catch (...) {
    thrown = "an exception of unknown type";
  }
  // The answer first, so that a log line that throws in turn cannot cost the
  // call its answer.
  if (!answered) (method ? method->failure() : Reply()).Send(*result);
  PluginLog("HandleMethodCall: " + name + " failed: " + thrown);
}
