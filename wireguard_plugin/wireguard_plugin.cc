// WireguardPlugin: construction, the queue of calls for the worker thread,
// and shutdown.
#include "wireguard_plugin/wireguard_plugin.h"

#include <utility>

#include "codec/method_call.h"
#include "codec/method_channel.h"
#include "codec/method_result.h"

namespace {

// One call waiting for the worker: its own copy of the method name and the
// arguments (the engine's message is gone once the handler returns), the
// result that answers it, and its number in arrival order.
struct QueuedCall {
  QueuedCall(const std::string& method, std::unique_ptr<flutter::EncodableValue> arguments,
             std::unique_ptr<flutter::MethodResult> answer, uint64_t number)
      : call(method, std::move(arguments)), result(std::move(answer)), arrival(number) {}
  flutter::MethodCall call;
  std::unique_ptr<flutter::MethodResult> result;
  uint64_t arrival;
};

}  // namespace

WireguardPlugin::WireguardPlugin(std::unique_ptr<MethodCallChannel> channel, PluginEnv& env)
    : link_(std::make_shared<std::atomic<WireguardPlugin*>>(this)),
      channel_(std::move(channel)),
      env_(env) {}

WireguardPlugin::~WireguardPlugin() {
  link_->store(nullptr);
  Shutdown();
}

void WireguardPlugin::EnqueueMethodCall(const flutter::MethodCall& call,
                                        std::unique_ptr<flutter::MethodResult> result) {
  auto arguments = call.arguments() != nullptr
                       ? std::make_unique<flutter::EncodableValue>(*call.arguments())
                       : nullptr;
  // Shared so that the task stays copyable; only the worker ever uses it.
  auto queued = std::make_shared<QueuedCall>(call.method_name(), std::move(arguments),
                                             std::move(result), ++arrivals_);
  worker_.Post([this, queued] {
    HandleQueuedCall(queued->call, queued->arrival, std::move(queued->result));
  });
}

void WireguardPlugin::StartSupportLog(const std::string& program_version) {
  worker_.Post([this, program_version] { support_log_.Start(program_version); });
}

void WireguardPlugin::Shutdown(const std::function<void()>& while_waiting) {
  // Queued calls go first, so that the running call, released by the
  // interruption, cannot hand over to one of them. While interrupted, every
  // wait of the running call returns at once, so it winds down in moments;
  // the environment is usable again afterwards.
  worker_.Close();
  env_.SetInterrupted(true);
  worker_.Stop(while_waiting);
  env_.SetInterrupted(false);
}
