// FlutterEngine against the stand-in engine library: what the engine is
// started with, the one-shot next-frame callback and who destroys the engine.
// The bundle's paths are those every start of a view relies on.
#include "engine_client/flutter_engine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine_client/project_bundle.h"
#include "standins/engine/engine_controls.h"

namespace flutter {
namespace {

TEST(FlutterEngineTest, ArgumentsAndOptionsReachTheEngineWithANullArrayWhenThereAreNone) {
  {
    FlutterEngine engine{ProjectBundle(L"data")};
    EXPECT_EQ(OrvaEngineLastArgumentCount(), 0);
    EXPECT_TRUE(OrvaEngineLastArgumentArrayWasNull());
  }
  ProjectBundle bundle(L"data");
  bundle.entrypoint_arguments = {"--first", "zweite"};
  bundle.engine_options = {1, 2};
  FlutterEngine engine(bundle);
  EXPECT_EQ(OrvaEngineLastArgumentCount(), 2);
  EXPECT_FALSE(OrvaEngineLastArgumentArrayWasNull());
  // The option words land in the record's last two fields, as the library reads them.
  EXPECT_EQ(OrvaEngineLastEngineOption(0), 1);
  EXPECT_EQ(OrvaEngineLastEngineOption(1), 2);
}

TEST(FlutterEngineTest, NextFrameCallbackRunsOnceAndOnlyTheLastArmed) {
  auto engine = std::make_unique<FlutterEngine>(ProjectBundle(L"data"));
  std::vector<std::string> runs;
  engine->SetNextFrameCallback([&] { runs.push_back("first"); });
  engine->SetNextFrameCallback([&] { runs.push_back("second"); });
  // Taking the handle lets the test paint frames and end the engine itself.
  FlutterDesktopEngineRef handle = engine->ReleaseEngineHandle();

  OrvaEnginePaintFrame(handle);
  OrvaEnginePaintFrame(handle);
  EXPECT_THAT(runs, ::testing::ElementsAre("second"));

  engine.reset();
  EXPECT_TRUE(FlutterDesktopEngineDestroy(handle));
}

TEST(FlutterEngineTest, DestroysItsEngineOnlyWhileItOwnsTheHandle) {
  const int32_t destroyed_before = OrvaEngineCallCount("FlutterDesktopEngineDestroy");
  { FlutterEngine owner{ProjectBundle(L"data")}; }
  EXPECT_EQ(OrvaEngineCallCount("FlutterDesktopEngineDestroy"), destroyed_before + 1);

  auto released = std::make_unique<FlutterEngine>(ProjectBundle(L"data"));
  FlutterDesktopEngineRef handle = released->ReleaseEngineHandle();
  released.reset();
  EXPECT_EQ(OrvaEngineCallCount("FlutterDesktopEngineDestroy"), destroyed_before + 1);
  EXPECT_TRUE(FlutterDesktopEngineDestroy(handle));
}

}  // namespace
}  // namespace flutter
