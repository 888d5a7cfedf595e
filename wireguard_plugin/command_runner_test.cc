// The command runner and log over the fake platform: which command line is
// started, what is logged, what the caller gets back.
#include <string>
#include <vector>

#include "wireguard_plugin/testing/plugin_test_fixture.h"

namespace {

using CommandRunnerTest = PluginTest;

ProcessRun Ran(const std::string& output, uint32_t exit_code, bool terminated = false) {
  ProcessRun run;
  run.output = output;
  run.exit_code = exit_code;
  run.terminated = terminated;
  return run;
}

ProcessRun FailedWith(Status::Step step, uint32_t error) {
  ProcessRun run;
  run.status = Status::Failed(step, error);
  return run;
}

// The interpreter, by its full path in the fake's system folder.
const std::string kInterpreter = "\"C:\\Windows\\system32\\cmd.exe\" /s /c ";

TEST_F(CommandRunnerTest, OnlyChainsPipesAndRedirectionsGoThroughTheInterpreter) {
  std::string output;
  const std::string direct =
      "\"C:\\PROGRA~1\\WIREGU~1\\wireguard.exe\" /uninstalltunnelservice orva_divuv";
  plugin_.ExecuteCommand(direct, output);
  plugin_.ExecuteCommand("a && b", output);
  plugin_.ExecuteCommand("a | b", output);
  plugin_.ExecuteCommand("a < in", output);
  const std::string status = "\"C:\\PROGRA~1\\WIREGU~1\\wg.exe\" show \"orva_divuv\" 2>&1";
  plugin_.ExecuteCommand(status, output);
  plugin_.ExecuteCommand("a & b", output);  // a single & is not a chain here
  plugin_.ExecuteCommand("a > out 2>&1", output);
  plugin_.ExecuteCommand("a 2>&1 | b 2>&1", output);
  plugin_.ExecuteCommand("a 2>&1 rest", output);

  // A trailing " 2>&1" alone is what the shared pipe does anyway: the tool
  // runs directly, without it.
  EXPECT_EQ(env_.runs, (std::vector<std::string>{
                           direct,
                           kInterpreter + "\"a && b\"",
                           kInterpreter + "\"a | b\"",
                           kInterpreter + "\"a < in\"",
                           "\"C:\\PROGRA~1\\WIREGU~1\\wg.exe\" show \"orva_divuv\"",
                           "a & b",
                           kInterpreter + "\"a > out 2>&1\"",
                           kInterpreter + "\"a 2>&1 | b 2>&1\"",
                           kInterpreter + "\"a 2>&1 rest\"",
                       }));
  // The log shows the command as the caller wrote it, never the wrapper.
  EXPECT_EQ(CountLogged("Executing command: " + status), 1);
  EXPECT_EQ(CountLogged("Executing command: a && b"), 1);
}

// A run that started: its exit code (a crash code comes back negative but is
// logged unsigned), its output in place of the caller's text, and the log.
TEST_F(CommandRunnerTest, ARunLogsItsCodeAndOutputAndReplacesTheCallersText) {
  const struct {
    ProcessRun run;
    int result;
    std::vector<std::string> logged;  // after "Executing command: tool"
  } cases[] = {
      {Ran("line 1\r\nline 2\r\n", 0),
       0,
       {"Command result code: 0", "Command output: line 1\r\nline 2\r\n"}},
      {Ran("", 7), 7, {"Command result code: 7"}},  // a silent child: no output line
      {Ran("", 0xC0000005u), static_cast<int>(0xC0000005u), {"Command result code: 3221225477"}},
      {Ran("partial", 1, /*terminated=*/true),
       1,
       {"Command timeout, terminating process", "Command result code: 1",
        "Command output: partial"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.logged.front());
    env_.logs.clear();
    env_.on_run = [&c](const std::string&) { return c.run; };
    std::string output = "left over";
    EXPECT_EQ(plugin_.ExecuteCommand("tool", output), c.result);
    EXPECT_EQ(output, c.run.output);
    std::vector<std::string> expected = {Log("Executing command: tool")};
    for (const std::string& line : c.logged) expected.push_back(Log(line));
    EXPECT_EQ(env_.logs, expected);
  }
}

TEST_F(CommandRunnerTest, StartFailuresReturnMinusOneAndSayWhichStepFailedWithWhichError) {
  const struct {
    Status::Step step;
    uint32_t error;
    std::string line;
    std::string error_line;
  } cases[] = {
      {Status::Step::kCreatePipe, 8, "Failed to create pipe", "CreatePipe error: 8"},
      {Status::Step::kSetHandleInformation, 6, "Failed to set handle information",
       "SetHandleInformation error: 6"},
      {Status::Step::kCreateProcess, 2, "Failed to create process", "CreateProcess error: 2"},
  };
  for (const auto& c : cases) {
    env_.logs.clear();
    env_.on_run = [&c](const std::string&) { return FailedWith(c.step, c.error); };
    std::string output = "kept";
    EXPECT_EQ(plugin_.ExecuteCommand("tool", output), -1) << c.line;
    EXPECT_EQ(output, "kept") << c.line;
    EXPECT_EQ(env_.logs, (std::vector<std::string>{Log("Executing command: tool"), Log(c.line),
                                                   Log(c.error_line)}));
  }
}

// A start the system refused for the moment (Wine's ERROR_INTERNAL_ERROR
// for a child that died while starting) gets one more try after a pause;
// anything else, as above, gets none.
TEST_F(CommandRunnerTest, AStartRefusedForTheMomentIsTriedOnceMore) {
  const std::vector<std::string> refused = {
      Log("Executing command: tool"), Log("Failed to create process"),
      Log("CreateProcess error: 1359"), Log("Retrying process creation in 250 ms")};
  for (const bool second_start_works : {true, false}) {
    SCOPED_TRACE(second_start_works ? "second start works" : "refused twice");
    env_.logs.clear();
    env_.runs.clear();
    env_.sleeps.clear();
    env_.on_run = [&, second_start_works](const std::string&) {
      if (env_.runs.size() == 2 && second_start_works) return Ran("fine", 0);
      return FailedWith(Status::Step::kCreateProcess, 1359);
    };
    std::string output = "kept";
    std::vector<std::string> expected = refused;
    if (second_start_works) {
      EXPECT_EQ(plugin_.ExecuteCommand("tool", output), 0);
      EXPECT_EQ(output, "fine");
      expected.insert(expected.end(), {Log("Command result code: 0"), Log("Command output: fine")});
    } else {
      EXPECT_EQ(plugin_.ExecuteCommand("tool", output), -1);
      EXPECT_EQ(output, "kept");
      expected.insert(expected.end(),
                      {Log("Failed to create process"), Log("CreateProcess error: 1359")});
    }
    EXPECT_EQ(env_.logs, expected);
    EXPECT_EQ(env_.runs, (std::vector<std::string>{"tool", "tool"}));
    EXPECT_EQ(env_.sleeps, std::vector<uint32_t>{250});
  }
}

}  // namespace
