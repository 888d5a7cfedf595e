// The process utilities: UTF-8 conversion, the executable's folder and the
// command-line arguments handed to the UI (read in a child process whose
// command line the test chooses).
#include "runner/utils.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "common/text.h"
#include "runner/tests/child_process.h"

namespace {

using runner_test::ChildProcess;

std::string Unhex(const std::string& hex) {
  if (hex == "-") return std::string();
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  return bytes;
}

struct ProbeReport {
  long exit_code = -1;
  std::vector<std::string> arguments;
  std::string folder;
};

// Runs the probe with |arguments_text| appended to its program name.
ProbeReport RunProbe(const std::wstring& arguments_text) {
  const std::wstring probe = runner_test::TestProgramFolder() + L"runner_args_probe.exe";
  std::wstring command_line = L"\"" + probe + L"\"";
  if (!arguments_text.empty()) command_line += L" " + arguments_text;
  ChildProcess child(probe, command_line);
  ProbeReport report;
  report.exit_code = child.WaitForExit();
  std::istringstream lines(child.output());
  std::string word;
  size_t count = 0;
  lines >> word >> count;
  for (size_t i = 0; i < count && lines >> word; ++i) report.arguments.push_back(Unhex(word));
  if (lines >> word && word == "folder" && lines >> word) report.folder = Unhex(word);
  return report;
}

TEST(Narrow, ConvertsValidTextAndRefusesBrokenText) {
  EXPECT_EQ(Narrow(L""), "");
  EXPECT_EQ(Narrow(L"orva --debug"), "orva --debug");
  // Cyrillic (two bytes each) and a character outside the BMP (a pair).
  EXPECT_EQ(Narrow(L"\u041f\u0440\u0438\u0432\u0435\u0442"),
            "\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82");
  EXPECT_EQ(Narrow(L"key \U0001F511"), "key \xf0\x9f\x94\x91");
  // Unpaired surrogates are not replaced: the whole text is refused.
  const wchar_t lone_high[] = {L'a', static_cast<wchar_t>(0xD83D), L'b', 0};
  const wchar_t lone_low[] = {static_cast<wchar_t>(0xDD11), 0};
  const wchar_t reversed_pair[] = {static_cast<wchar_t>(0xDD11), static_cast<wchar_t>(0xD83D), 0};
  EXPECT_EQ(Narrow(lone_high), "");
  EXPECT_EQ(Narrow(lone_low), "");
  EXPECT_EQ(Narrow(reversed_pair), "");
}

// The probe also reports ExecutableFolder(): it lives beside this test.
TEST(ReadCommandLineArguments, HandsEveryArgumentAfterTheProgramNameOnInOrder) {
  std::wstring unpaired = L"before ";
  unpaired += static_cast<wchar_t>(0xD800);
  unpaired += L"x after";
  const struct {
    std::wstring text;
    std::vector<std::string> arguments;
  } cases[] = {
      {L"", {}},
      {L"--flavor=release \"two words\" \"\" \u041f\u0440\u0438\u0432\u0435\u0442 "
       L"\"quote\\\"inside\" last",
       {"--flavor=release", "two words", "", "\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82",
        "quote\"inside", "last"}},
      // An argument with an unpaired surrogate arrives empty.
      {unpaired, {"before", "", "after"}},
  };
  for (const auto& c : cases) {
    const ProbeReport report = RunProbe(c.text);
    ASSERT_EQ(report.exit_code, 0);
    EXPECT_EQ(report.arguments, c.arguments);
    EXPECT_EQ(Widen(report.folder), runner_test::TestProgramFolder());
  }
}

}  // namespace
