// HandleMethodCall: routes the UI's calls on "com.orva_divuv/wireguard" to the
// plugin's operations and answers each exactly once.
//
// Method names match exactly and case-sensitively. Only "connect" turns an
// operation's failure into an error envelope; every other false or empty
// outcome goes back as a success value. Messages meant for the user are
// Russian (UTF-8 on the channel); log lines are English.
#include <algorithm>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "codec/encodable_value.h"
#include "codec/method_call.h"
#include "codec/method_result.h"
#include "wireguard_plugin/wireguard_plugin.h"

namespace {

using flutter::EncodableValue;

constexpr char kInvalidArgument[] = "INVALID_ARGUMENT";
constexpr char kBadArgumentsMessage[] = "Неверные аргументы";
constexpr char kConfigMissingMessage[] = "Конфигурация не предоставлена";
constexpr char kConfigNotStringMessage[] = "Конфигурация должна быть строкой";

constexpr char kNotInstalledMessage[] =
    "WireGuard не установлен.\n\n"
    "Пожалуйста, установите WireGuard через установщик приложения или вручную.";

// The "connect" failure, its middle line saying whether the configuration
// was saved.
std::string ActivationFailedMessage(bool saved) {
  return std::string("Не удалось автоматически активировать туннель.\n\n") +
         (saved ? "Конфигурация 'orva_divuv' сохранена.\n"
                : "Не удалось сохранить конфигурацию 'orva_divuv'.\n") +
         "Попробуйте подключиться снова.\n\n"
         "Если проблема сохраняется:\n"
         "1. Откройте WireGuard GUI\n"
         "2. Найдите конфигурацию 'orva_divuv'\n"
         "3. Нажмите 'Activate' для активации туннеля";
}

const char* BoolWord(bool value) { return value ? "true" : "false"; }

// The outcome of reading the {"config": string} argument map of "connect"
// and "recreateTunnel".
struct ConfigArgument {
  enum class Problem { kNone, kNotAMap, kMissing, kNotAString };
  Problem problem = Problem::kNone;
  std::string config;
};

ConfigArgument ReadConfigArgument(const EncodableValue* arguments) {
  ConfigArgument argument;
  const auto* map = arguments ? std::get_if<flutter::ValueMap>(arguments) : nullptr;
  if (!map) {
    argument.problem = ConfigArgument::Problem::kNotAMap;
    return argument;
  }
  const EncodableValue* value = flutter::LookupMapValue(*map, "config");
  if (!value) {
    argument.problem = ConfigArgument::Problem::kMissing;
    return argument;
  }
  const auto* text = std::get_if<std::string>(value);
  if (!text) {
    argument.problem = ConfigArgument::Problem::kNotAString;
    return argument;
  }
  argument.config = *text;
  return argument;
}

// The log line ("connect" only) and the user's message for an argument
// problem other than kNone.
struct ArgumentError {
  const char* log_line;
  const char* message;
};

ArgumentError DescribeArgumentProblem(ConfigArgument::Problem problem) {
  switch (problem) {
    case ConfigArgument::Problem::kNotAMap:
      return {"Invalid arguments", kBadArgumentsMessage};
    case ConfigArgument::Problem::kMissing:
      return {"Config not provided", kConfigMissingMessage};
    case ConfigArgument::Problem::kNotAString:
    case ConfigArgument::Problem::kNone:
      break;
  }
  return {"Config is not a string", kConfigNotStringMessage};
}

EncodableValue StatsValue(const TransferStats& stats) {
  flutter::ValueMap map;
  map[EncodableValue(std::string("rx"))] = EncodableValue(static_cast<int64_t>(stats.rx));
  map[EncodableValue(std::string("tx"))] = EncodableValue(static_cast<int64_t>(stats.tx));
  return EncodableValue(std::move(map));
}

// The answer each method gives when its operation fails: what it answers
// without WireGuard, with nothing to report, or for a failed activation.
void AnswerFailure(const std::string& method, flutter::MethodResult& result) {
  if (method == "connect") {
    result.Error("ACTIVATION_FAILED", ActivationFailedMessage(true));
  } else if (method == "getStatus") {
    result.Success(EncodableValue(std::string("unknown")));
  } else if (method == "getStats") {
    result.Success(StatsValue(TransferStats()));
  } else if (method == "getDocumentsPath") {
    result.Success(EncodableValue(std::string()));
  } else if (method == "isWireguardInstalled" || method == "disconnect" ||
             method == "installWireguard" || method == "recreateTunnel") {
    result.Success(EncodableValue(false));
  } else {
    result.NotImplemented();
  }
}

// Hands the answer on to a result that its caller keeps, noting that it was
// given (and a success value), so that the caller can tell whether a call
// that threw was answered.
class NotedResult : public flutter::MethodResult {
 public:
  NotedResult(flutter::MethodResult& target, bool& answered, std::optional<EncodableValue>& value)
      : target_(target), answered_(answered), value_(value) {}
  void OnSuccess(const EncodableValue* value) override {
    answered_ = true;
    value_ = value ? *value : EncodableValue();
    target_.OnSuccess(value);
  }
  void OnError(const std::string& code, const std::string& message,
               const EncodableValue* details) override {
    answered_ = true;
    target_.OnError(code, message, details);
  }
  void OnNotImplemented() override {
    answered_ = true;
    target_.OnNotImplemented();
  }

 private:
  flutter::MethodResult& target_;
  bool& answered_;
  std::optional<EncodableValue>& value_;
};

}  // namespace

// A UI polls status and counters on a timer whether or not the last answer
// has come, so polls pile up behind a long call (an installation takes
// minutes). A read-only call therefore takes the answer of the latest run of
// an identical call (same method, same arguments) that began after it
// arrived: it is as fresh as a run of its own. Calls are still taken, and
// answered, in arrival order, and any other call forgets every run, so no
// answer crosses a call that may change the machine's state.
void WireguardPlugin::HandleQueuedCall(const flutter::MethodCall& call, uint64_t arrival,
                                       std::unique_ptr<flutter::MethodResult> result) {
  bool answered = false;
  std::string thrown;
  try {
    const std::string& method = call.method_name();
    const bool read_only = method == "getStatus" || method == "getStats" ||
                           method == "isWireguardInstalled" || method == "getDocumentsPath";
    SharedRun run{
        method, call.arguments() ? *call.arguments() : EncodableValue(), arrivals_.load(), {}};
    // A run that began before this call arrived serves no later call either.
    shared_runs_.erase(
        std::remove_if(shared_runs_.begin(), shared_runs_.end(),
                       [&](const SharedRun& r) { return !read_only || r.began < arrival; }),
        shared_runs_.end());
    const auto shared = std::find_if(
        shared_runs_.begin(), shared_runs_.end(),
        [&](const SharedRun& r) { return r.method == method && r.arguments == run.arguments; });
    auto noted = std::make_unique<NotedResult>(*result, answered, run.answer);
    if (shared == shared_runs_.end()) {
      HandleMethodCall(call, std::move(noted));
      if (read_only && run.answer) shared_runs_.push_back(std::move(run));
    } else {
      PluginLog("HandleMethodCall: " + method);
      PluginLog(method +
                " answered by the latest identical run, which began after this call arrived");
      noted->Success(*shared->answer);
    }
    return;
  } catch (const std::exception& error) {
    thrown = error.what();
  } catch (...) {
    thrown = "an exception of unknown type";
  }
  // Each step on its own: a log that throws must not cost the answer. When
  // not even the answer can be given, the worker still lives on, and the
  // result's destructor reports the unanswered call.
  try {
    PluginLog("HandleMethodCall: " + call.method_name() + " failed: " + thrown);
  } catch (...) {
  }
  try {
    if (!answered) AnswerFailure(call.method_name(), *result);
  } catch (...) {
  }
}

void WireguardPlugin::HandleMethodCall(const flutter::MethodCall& call,
                                       std::unique_ptr<flutter::MethodResult> result) {
  const std::string& method = call.method_name();
  PluginLog("HandleMethodCall: " + method);

  if (method == "isWireguardInstalled") {
    const bool installed = IsWireguardInstalled();
    PluginLog(std::string("isWireguardInstalled result: ") + BoolWord(installed));
    result->Success(EncodableValue(installed));
  } else if (method == "connect") {
    PluginLog("connect method called");
    const ConfigArgument argument = ReadConfigArgument(call.arguments());
    if (argument.problem != ConfigArgument::Problem::kNone) {
      const ArgumentError error = DescribeArgumentProblem(argument.problem);
      PluginLog(error.log_line);
      result->Error(kInvalidArgument, error.message);
      return;
    }
    PluginLog("Config received, length: " + std::to_string(argument.config.size()));
    if (!IsWireguardInstalled()) {
      PluginLog("WireGuard not installed - user should install via installer");
      result->Error("NOT_INSTALLED", kNotInstalledMessage);
      return;
    }
    PluginLog("Starting ConnectVPN...");
    const ConnectOutcome outcome = Connect(argument.config);
    const bool connected =
        outcome == ConnectOutcome::kConnected || outcome == ConnectOutcome::kAlreadyConnected;
    PluginLog(std::string("ConnectVPN result: ") + BoolWord(connected));
    if (connected) {
      result->Success(EncodableValue(true));
      return;
    }
    if (GetVPNStatus() == "connected") {
      PluginLog("Tunnel is actually connected");
      result->Success(EncodableValue(true));
      return;
    }
    const bool saved = outcome != ConnectOutcome::kNotSaved;
    PluginLog(saved ? "Connection activation failed, but config is saved"
                    : "Connection activation failed, and config is not saved");
    result->Error("ACTIVATION_FAILED", ActivationFailedMessage(saved));
  } else if (method == "disconnect") {
    PluginLog("disconnect method called");
    result->Success(EncodableValue(DisconnectVPN()));
  } else if (method == "getStatus") {
    const std::string status = GetVPNStatus();
    PluginLog("getStatus result: " + status);
    result->Success(EncodableValue(status));
  } else if (method == "getStats") {
    PluginLog("getStats method called");
    result->Success(StatsValue(GetTransferStats()));
  } else if (method == "getDocumentsPath") {
    const PluginEnv::FolderName path = GetDocumentsPath();
    PluginLog("getDocumentsPath result: " + path.ansi);
    result->Success(EncodableValue(path.utf8));
  } else if (method == "installWireguard") {
    PluginLog("installWireguard method called");
    const bool installed = InstallWireguard();
    PluginLog(std::string("installWireguard result: ") + BoolWord(installed));
    result->Success(EncodableValue(installed));
  } else if (method == "recreateTunnel") {
    PluginLog("recreateTunnel method called");
    const ConfigArgument argument = ReadConfigArgument(call.arguments());
    if (argument.problem != ConfigArgument::Problem::kNone) {
      // Unlike "connect", the argument errors of "recreateTunnel" are not logged.
      result->Error(kInvalidArgument, DescribeArgumentProblem(argument.problem).message);
      return;
    }
    const bool recreated = RecreateTunnel(argument.config);
    PluginLog(std::string("recreateTunnel result: ") + BoolWord(recreated));
    result->Success(EncodableValue(recreated));
  } else {
    PluginLog("Method not implemented: " + method);
    result->NotImplemented();
  }
}
