// FlutterViewController against the stand-in engine library: a controller
// that cannot start, and the order in which a controller tears the engine
// down.
#include "engine_client/flutter_view_controller.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine_client/testing/standin_support.h"
#include "standins/engine/engine_controls.h"

namespace flutter {
namespace {

using ::testing::HasSubstr;

TEST(FlutterViewControllerTest, MissingRuntimeFilesLeaveNoViewAndNothingToDestroy) {
  const int32_t controllers_destroyed = OrvaEngineCallCount("FlutterDesktopViewControllerDestroy");
  const int32_t engines_destroyed = OrvaEngineCallCount("FlutterDesktopEngineDestroy");

  testing::internal::CaptureStderr();
  auto controller = std::make_unique<FlutterViewController>(
      300, 200, ProjectBundle(standin_support::MissingDataFolder()));
  EXPECT_THAT(testing::internal::GetCapturedStderr(),
              HasSubstr("Failed to create view controller.\n"));

  EXPECT_EQ(controller->GetView(), nullptr);
  EXPECT_NE(controller->GetEngine(), nullptr);

  controller.reset();
  EXPECT_EQ(OrvaEngineCallCount("FlutterDesktopViewControllerDestroy"), controllers_destroyed);
  EXPECT_EQ(OrvaEngineCallCount("FlutterDesktopEngineDestroy"), engines_destroyed);
}

TEST(FlutterViewControllerTest, TheEngineEndsBeforeItsWrapperAndMessengerGo) {
  const int32_t controllers_destroyed = OrvaEngineCallCount("FlutterDesktopViewControllerDestroy");
  const int32_t engines_destroyed = OrvaEngineCallCount("FlutterDesktopEngineDestroy");
  auto controller = std::make_unique<FlutterViewController>(
      100, 100, ProjectBundle(standin_support::RuntimeDataFolder()));
  ASSERT_NE(controller->GetView(), nullptr);
  controller->GetEngine()->GetMessenger()->SetChannelHandler(
      "orva.test/engine", [](const uint8_t*, size_t, ReplyCallback reply) { reply(nullptr, 0); });
  const int32_t callbacks_set = OrvaEngineCallCount("FlutterDesktopMessengerSetCallback");

  controller.reset();

  EXPECT_EQ(OrvaEngineCallCount("FlutterDesktopViewControllerDestroy"), controllers_destroyed + 1);
  // The controller owns the engine: the engine object never destroys it.
  EXPECT_EQ(OrvaEngineCallCount("FlutterDesktopEngineDestroy"), engines_destroyed);
  // The messenger went after the engine had ended, so it found nothing to
  // withdraw; had it gone first, it would have cleared its channel.
  EXPECT_EQ(OrvaEngineCallCount("FlutterDesktopMessengerSetCallback"), callbacks_set);
}

}  // namespace
}  // namespace flutter
