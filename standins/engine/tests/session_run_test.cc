// Whole scripted sessions: the session host (session_host.cc) runs a
// session file through the stand-in engine and the transcript is compared
// byte for byte.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>

namespace {

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

std::wstring ExecutableFolder() {
  wchar_t module[MAX_PATH];
  GetModuleFileNameW(nullptr, module, MAX_PATH);
  std::wstring folder(module);
  return folder.substr(0, folder.find_last_of(L'\\'));
}

std::string Narrow(const std::wstring& text) {
  int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), length, nullptr, nullptr);
  out.resize(static_cast<size_t>(length - 1));
  return out;
}

std::string ReadFile(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  std::ostringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

void WriteFile(const std::wstring& path, const std::string& text) {
  std::ofstream(std::filesystem::path(path), std::ios::binary) << text;
}

// One session run in a scratch folder of its own.
class SessionRun : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = std::wstring(temp) + L"orva-session-" + std::to_wstring(GetCurrentProcessId()) +
              L"-" + std::wstring(info->name(), info->name() + std::strlen(info->name()));
    CreateDirectoryW(folder_.c_str(), nullptr);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(folder_), ignored);
  }

  // Runs the host on |script| and returns its exit code (-1 when it had to
  // be stopped). |transcript_| then holds the transcript.
  int Run(const std::string& script, const wchar_t* host_arguments = L"",
          const wchar_t* reply_timeout_ms = nullptr) {
    const std::wstring session = folder_ + L"\\calls.session";
    const std::wstring transcript = folder_ + L"\\transcript.jsonl";
    WriteFile(session, script);
    SetEnvironmentVariableW(L"ORVA_UI_SESSION", session.c_str());
    SetEnvironmentVariableW(L"ORVA_UI_TRANSCRIPT", transcript.c_str());
    SetEnvironmentVariableW(L"ORVA_UI_REPLY_TIMEOUT_MS", reply_timeout_ms);
    const std::wstring bin = ExecutableFolder();
    std::wstring command = L"\"" + bin + L"\\standin_session_host.exe\" " + host_arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                  bin.c_str(), &startup, &process);
    SetEnvironmentVariableW(L"ORVA_UI_SESSION", nullptr);
    SetEnvironmentVariableW(L"ORVA_UI_TRANSCRIPT", nullptr);
    SetEnvironmentVariableW(L"ORVA_UI_REPLY_TIMEOUT_MS", nullptr);
    if (!started) {
      ADD_FAILURE() << "could not start the session host";
      return -1;
    }
    UniqueHandle process_handle(process.hProcess), thread_handle(process.hThread);
    // A bound against a hung session only; a healthy one ends in well under it.
    if (WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0) {
      TerminateProcess(process.hProcess, 99);
      ADD_FAILURE() << "the session did not end";
      return -1;
    }
    DWORD exit_code = 0;
    GetExitCodeProcess(process.hProcess, &exit_code);
    // How long each reply took varies from run to run; the rest is exact.
    transcript_ = std::regex_replace(ReadFile(transcript), std::regex(", \"ms\": [0-9.]+\\}"), "}");
    return static_cast<int>(exit_code);
  }

  std::wstring folder_;
  std::string transcript_;
};

TEST_F(SessionRun, EveryKindOfReplyBecomesItsTranscriptLine) {
  const std::wstring doomed = folder_ + L"\\doomed.txt";
  WriteFile(doomed, "bye");
  const std::string written = Narrow(folder_) + "\\nested\\deeper\\written.txt";
  const std::string script =
      "# every kind of reply, one call at a time\n"  // 1
      "isWireguardInstalled\n"                       // 2
      "echo {\"config\": \"[Interface]\\nKey = a\\u00e9\\ud83d\\ude00\", "
      "\"n\": [1, 2147483648, 9223372036854775808, 0.5, -1e-07, true, null], \"empty\": {}}\n"
      "\n"                          // 4
      "echo\r\n"                    // 5
      "echo \"\\u0001\\t\"\n"       // 6
      "fail [1, \"two\"]\n"         // 7
      "getStatus\n"                 // 8
      "getStats\n"                  // 9
      "later\n"                     // 10
      "twice\n"                     // 11
      "garbage\n"                   // 12
      "unknownMethod {\"a\": 1}\n"  // 13
      "echo {\"config\": }\n"       // 14
      "@bogus directive\n"          // 15
      "@write " +
      written +
      " line one\\nline two\n"  // 16
      "@delete " +
      Narrow(doomed) +
      "\n"                 // 17
      "@diagnostics\n"     // 18
      "@sleep 1\n"         // 19
      "echo 3000000000\n"  // 20
      "quit\n"             // 21
      "echo \"never sent\"\n";
  EXPECT_EQ(Run(script), 0);

  const std::string diagnostics_prefix = "{\"method\": \"@diagnostics\", \"handles\": ";
  size_t start = transcript_.find(diagnostics_prefix);
  ASSERT_NE(start, std::string::npos) << transcript_;
  size_t end = transcript_.find('\n', start);
  std::string diagnostics = transcript_.substr(start, end + 1 - start);
  transcript_.erase(start, end + 1 - start);
  unsigned long long handles = 0, private_bytes = 0;
  char closing = 0;
  ASSERT_EQ(std::sscanf(diagnostics.c_str() + diagnostics_prefix.size(),
                        "%llu, \"private_bytes\": %llu%c", &handles, &private_bytes, &closing),
            3)
      << diagnostics;
  EXPECT_GT(handles, 0u);
  EXPECT_GT(private_bytes, 0u);
  EXPECT_EQ(closing, '}');

  EXPECT_EQ(transcript_,
            "{\"method\": \"isWireguardInstalled\", \"reply\": \"success\", \"value\": true}\n"
            "{\"method\": \"echo\", \"reply\": \"success\", \"value\": {\"config\": "
            "\"[Interface]\\nKey = a\xC3\xA9\xF0\x9F\x98\x80\", \"empty\": {}, \"n\": [1, "
            "2147483648, 9223372036854775808.0, 0.5, -1e-07, true, null]}}\n"
            "{\"method\": \"echo\", \"reply\": \"success\", \"value\": null}\n"
            "{\"method\": \"echo\", \"reply\": \"success\", \"value\": \"\\u0001\\t\"}\n"
            "{\"method\": \"fail\", \"reply\": \"error\", \"code\": \"TEST_FAILURE\", \"message\": "
            "\"\xD0\x9E\xD1\x88\xD0\xB8\xD0\xB1\xD0\xBA\xD0\xB0 \\\"x\\\"\", \"details\": [1, "
            "\"two\"]}\n"
            "{\"method\": \"getStatus\", \"reply\": \"success\", \"value\": \"connected\"}\n"
            "{\"method\": \"getStats\", \"reply\": \"success\", \"value\": {\"rx\": 6707, \"tx\": "
            "1331691}}\n"
            "{\"method\": \"later\", \"reply\": \"success\", \"value\": \"later\"}\n"
            "{\"method\": \"twice\", \"reply\": \"success\", \"value\": 1}\n"
            "{\"method\": \"garbage\", \"reply\": \"malformed\", \"size\": 1}\n"
            "{\"method\": \"unknownMethod\", \"reply\": \"not_implemented\"}\n"
            "{\"method\": \"echo\", \"reply\": \"script_error\", \"line\": 14, \"message\": "
            "\"arguments: invalid value at offset 11\"}\n"
            "{\"method\": \"@bogus\", \"reply\": \"script_error\", \"line\": 15, \"message\": "
            "\"unknown directive\"}\n"
            "{\"method\": \"echo\", \"reply\": \"success\", \"value\": 3000000000}\n");

  EXPECT_EQ(ReadFile(folder_ + L"\\nested\\deeper\\written.txt"), "line one\nline two");
  EXPECT_EQ(GetFileAttributesW(doomed.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(SessionRun, ACallNobodyHandlesIsNotImplemented) {
  EXPECT_EQ(Run("getStatus\nquit\n", L"--no-handler"), 0);
  EXPECT_EQ(transcript_, "{\"method\": \"getStatus\", \"reply\": \"not_implemented\"}\n");
}

TEST_F(SessionRun, AnUnansweredCallIsNotedAndTheSessionGoesOn) {
  EXPECT_EQ(Run("silent\ngetStatus\nquit\n", L"", L"200"), 0);
  EXPECT_EQ(transcript_,
            "{\"method\": \"silent\", \"reply\": \"timeout\", \"waited_ms\": 200}\n"
            "{\"method\": \"getStatus\", \"reply\": \"success\", \"value\": \"connected\"}\n");
}

TEST_F(SessionRun, DirectivesThatFailAreReported) {
  // A folder cannot be replaced by a file, nor deleted as one.
  CreateDirectoryW((folder_ + L"\\occupied").c_str(), nullptr);
  const std::string occupied = Narrow(folder_) + "\\occupied";
  EXPECT_EQ(Run("@write " + occupied + " text\n@delete " + occupied + "\nquit\n"), 0);
  std::istringstream lines(transcript_);
  std::string write_line, delete_line, rest;
  std::getline(lines, write_line);
  std::getline(lines, delete_line);
  EXPECT_FALSE(std::getline(lines, rest));
  EXPECT_EQ(write_line.rfind(
                "{\"method\": \"@write\", \"reply\": \"failed\", \"message\": \"creating ", 0),
            0u)
      << write_line;
  EXPECT_EQ(delete_line.rfind(
                "{\"method\": \"@delete\", \"reply\": \"failed\", \"message\": \"deleting ", 0),
            0u)
      << delete_line;
}

TEST_F(SessionRun, ReadOnlyMarkIsSetAndClearedOnExistingFilesOnly) {
  const std::wstring wide = folder_ + L"\\locked.txt";
  const std::string file = Narrow(wide);
  EXPECT_EQ(Run("@write " + file + " first\n@readonly " + file + "\nquit\n"), 0);
  EXPECT_EQ(transcript_, "");
  DWORD attributes = GetFileAttributesW(wide.c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_READONLY);

  const std::string missing = Narrow(folder_) + "\\missing.txt";
  EXPECT_EQ(Run("@writable " + file + "\n@write " + file + " second\n@readonly " + missing +
                "\nquit\n"),
            0);
  attributes = GetFileAttributesW(wide.c_str());
  EXPECT_FALSE(attributes & FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(ReadFile(wide), "second");
  // Only the mark of a missing file fails.
  EXPECT_EQ(transcript_.rfind("{\"method\": \"@readonly\", \"reply\": \"failed\"", 0), 0u)
      << transcript_;
  EXPECT_EQ(std::count(transcript_.begin(), transcript_.end(), '\n'), 1) << transcript_;
}

}  // namespace
