// Plugin registrars and RegistrarCache against the stand-in engine library:
// one wrapper per handle until the engine reports the handle destroyed,
// plugins torn down while their messenger still exists, and the registrar's
// messenger keeping a method call's result past the engine's end.
#include "engine_client/plugin_registrar.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "codec/method_channel.h"
#include "codec/standard_method_codec.h"
#include "engine_client/flutter_engine.h"
#include "engine_client/flutter_view_controller.h"
#include "engine_client/testing/standin_support.h"
#include "standins/engine/engine_controls.h"

namespace flutter {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr char kChannel[] = "com.orva_divuv/wireguard";

// Records, when destroyed, whether its registrar's services still existed.
class WitnessPlugin : public Plugin {
 public:
  WitnessPlugin(PluginRegistrar* registrar, std::vector<std::string>* log)
      : registrar_(registrar), log_(log) {}
  ~WitnessPlugin() override {
    const bool services =
        registrar_->GetMessenger() != nullptr && registrar_->GetTextureRegistrar() != nullptr;
    log_->push_back(services ? "destroyed with services" : "destroyed without services");
  }

 private:
  PluginRegistrar* registrar_;
  std::vector<std::string>* log_;
};

TEST(RegistrarCacheTest, OneWrapperPerHandleUntilTheEngineDestroysIt) {
  FlutterEngine engine{ProjectBundle(L"data")};
  FlutterDesktopPluginRegistrarRef handle = engine.GetRegistrarForPlugin("CachedPlugin");
  ASSERT_NE(handle, nullptr);
  const int32_t handlers_set =
      OrvaEngineCallCount("FlutterDesktopPluginRegistrarSetDestructionHandler");

  PluginRegistrarWindows* wrapper = RegistrarCache::Instance().GetRegistrar(handle);
  ASSERT_NE(wrapper, nullptr);
  EXPECT_EQ(RegistrarCache::Instance().GetRegistrar(handle), wrapper);
  EXPECT_EQ(OrvaEngineCallCount("FlutterDesktopPluginRegistrarSetDestructionHandler"),
            handlers_set + 2);
  EXPECT_EQ(wrapper->registrar(), handle);
  // A headless engine has no view.
  EXPECT_EQ(wrapper->GetView(), nullptr);

  std::vector<std::string> log;
  wrapper->AddPlugin(std::make_unique<WitnessPlugin>(wrapper, &log));
  EXPECT_TRUE(log.empty());

  // The engine's shut-down runs the destruction handler: wrapper and plugin
  // go, the plugin first.
  FlutterDesktopEngineRef engine_handle = engine.ReleaseEngineHandle();
  OrvaEngineShutDown(engine_handle);
  EXPECT_THAT(log, ::testing::ElementsAre("destroyed with services"));

  FlutterDesktopEngineDestroy(engine_handle);
}

TEST(PluginRegistrarTest, ClearPluginsDestroysEveryPluginOnce) {
  FlutterEngine engine{ProjectBundle(L"data")};
  std::vector<std::string> log;
  {
    PluginRegistrar registrar(engine.GetRegistrarForPlugin("OwnedPlugins"));
    registrar.AddPlugin(std::make_unique<WitnessPlugin>(&registrar, &log));
    registrar.AddPlugin(std::make_unique<WitnessPlugin>(&registrar, &log));
    registrar.ClearPlugins();
    EXPECT_EQ(log.size(), 2u);
    registrar.AddPlugin(std::make_unique<WitnessPlugin>(&registrar, &log));
  }
  EXPECT_THAT(log, ::testing::Each("destroyed with services"));
  EXPECT_EQ(log.size(), 3u);
}

TEST(PluginRegistrarTest, RegistrarOfAViewControllerEngineOffersItsView) {
  FlutterViewController controller(200, 100, ProjectBundle(standin_support::RuntimeDataFolder()));
  ASSERT_NE(controller.GetView(), nullptr);
  PluginRegistrarWindows registrar(controller.GetEngine()->GetRegistrarForPlugin("ViewPlugin"));
  ASSERT_NE(registrar.GetView(), nullptr);
  EXPECT_EQ(registrar.GetView()->GetNativeWindow(), controller.GetView()->GetNativeWindow());
}

// A call on the registrar's messenger whose result is kept past the engine's
// shutdown. A call answered at once takes the same path as the product's
// every call (the end-to-end sessions) and as method_channel_test's.
TEST(PluginRegistrarTest, ResultKeptPastTheEnginesShutdownSendsNothing) {
  FlutterEngine engine{ProjectBundle(L"data")};
  FlutterDesktopPluginRegistrarRef handle = engine.GetRegistrarForPlugin("ChannelPlugin");
  PluginRegistrarWindows* registrar = RegistrarCache::Instance().GetRegistrar(handle);
  ASSERT_NE(registrar, nullptr);
  FlutterDesktopMessengerRef messenger = FlutterDesktopPluginRegistrarGetMessenger(handle);

  MethodCallChannel channel(registrar->GetMessenger(), kChannel,
                            &StandardMethodCodec::ForSerializer());
  std::vector<std::unique_ptr<MethodResult>> kept;
  channel.SetCallHandler([&](const MethodCall&, std::unique_ptr<MethodResult> result) {
    kept.push_back(std::move(result));
  });

  const Bytes keep = {0x07, 4, 'k', 'e', 'e', 'p', 0x00};
  const int64_t late = OrvaEngineDeliverMessage(messenger, kChannel, keep.data(), keep.size());
  ASSERT_EQ(kept.size(), 1u);
  FlutterDesktopEngineRef engine_handle = engine.ReleaseEngineHandle();
  OrvaEngineShutDown(engine_handle);
  testing::internal::CaptureStderr();
  kept[0]->Success();
  kept[0]->Success();
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Error: Only one of Success, Error, or NotImplemented can be called, and it can be "
            "called exactly once. Ignoring duplicate result.\n");
  EXPECT_EQ(OrvaEngineResponseCount(late), 0);
  kept.clear();
  FlutterDesktopEngineDestroy(engine_handle);
}

}  // namespace
}  // namespace flutter
