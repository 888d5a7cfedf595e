// The configuration file and the Documents folder over the fake platform.
#include <algorithm>
#include <string>
#include <vector>

#include "wireguard_plugin/testing/plugin_test_fixture.h"

namespace {

const char kFolder[] = "C:\\ProgramData\\WireGuard\\Configurations";
const char kFile[] = "C:\\ProgramData\\WireGuard\\Configurations\\orva_divuv.conf";

class ConfigFileTest : public PluginTest {
 protected:
  ConfigFileTest() { env_.shell_folders[kCsidlCommonAppData] = "C:\\ProgramData"; }
};

TEST_F(ConfigFileTest, SavedBytesHaveCrLfLineEndsAndNothingElseChanges) {
  EXPECT_EQ(plugin_.SaveConfigToFile("A\nB\n"), kFile);
  EXPECT_EQ(env_.files[kFile], "A\r\nB\r\n");

  // Each save replaces the whole file, a shorter text included.
  EXPECT_EQ(plugin_.SaveConfigToFile("A\r\nB"), kFile);
  EXPECT_EQ(env_.files[kFile], "A\r\r\nB");

  const std::string raw("\xEF\xBB\xBF[Interface]\x00\xD0\x9F", 16);
  EXPECT_EQ(plugin_.SaveConfigToFile(raw), kFile);
  EXPECT_EQ(env_.files[kFile], raw);

  EXPECT_EQ(plugin_.SaveConfigToFile(""), kFile);
  EXPECT_EQ(env_.files[kFile], "");
}

TEST_F(ConfigFileTest, ASaveLogsEachStepAndMakesTheFoldersFirst) {
  EXPECT_EQ(plugin_.SaveConfigToFile("[Interface]\n"), kFile);
  EXPECT_EQ(env_.logs, (std::vector<std::string>{
                           Log("SaveConfigToFile called"),
                           Log("ProgramData path: C:\\ProgramData"),
                           Log(std::string("Config directory: ") + kFolder),
                           Log(std::string("Config file saved successfully: ") + kFile),
                       }));
  // Folders first, then the file.
  auto at = [&](const std::string& event) {
    return std::find(env_.events.begin(), env_.events.end(), event) - env_.events.begin();
  };
  EXPECT_LT(at(std::string("mkdir ") + kFolder), at(std::string("write ") + kFile));
  EXPECT_LT(at(std::string("write ") + kFile), static_cast<long>(env_.events.size()));
}

TEST_F(ConfigFileTest, EveryFailureGivesAnEmptyResultAndItsLine) {
  env_.blocked_folders = {kFolder};  // e.g. a file named Configurations
  EXPECT_EQ(plugin_.SaveConfigToFile("x"), "");
  EXPECT_EQ(env_.logs.back(), Log("Failed to save config file"));
  EXPECT_EQ(CountLogged(std::string("Config directory: ") + kFolder), 0);
  EXPECT_EQ(env_.files.count(kFile), 0u);

  env_.blocked_folders.clear();
  env_.logs.clear();
  env_.unwritable = {kFile};
  EXPECT_EQ(plugin_.SaveConfigToFile("x"), "");
  EXPECT_EQ(env_.logs.back(), Log("Failed to save config file"));

  env_.unwritable.clear();
  env_.logs.clear();
  env_.write_fails = {kFile};  // opened, but the write or the close failed
  EXPECT_EQ(plugin_.SaveConfigToFile("x"), "");
  EXPECT_EQ(env_.logs.back(), Log("Failed to save config file"));
  EXPECT_EQ(CountLogged(std::string("Config file saved successfully: ") + kFile), 0);

  env_.logs.clear();
  env_.shell_folders.clear();
  EXPECT_EQ(plugin_.SaveConfigToFile("x"), "");
  EXPECT_EQ(env_.logs, (std::vector<std::string>{Log("SaveConfigToFile called"),
                                                 Log("Failed to get ProgramData path")}));
}

// An existing file, written with the folder's inherited access (readable by
// every user), whose DACL cannot be narrowed: it is replaced by a new,
// protected file, or the save fails; the key never lands in an open file.
TEST_F(ConfigFileTest, AFileThatCannotBeProtectedIsReplacedOrTheSaveFails) {
  const char kKeyConfig[] = "PrivateKey = new\n";
  const struct {
    const char* name;
    bool removable;
    bool rewrite_fails;
    bool saved;
  } cases[] = {
      {"removed and written anew", true, false, true},
      {"cannot be removed", false, false, false},
      {"removed, but the new file cannot be written", true, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    env_.events.clear();
    env_.logs.clear();
    env_.paths = {kFile};
    env_.files = {{kFile, "PrivateKey = old\r\n"}};
    env_.file_sddl = {{kFile, ""}};
    env_.unprotectable = {kFile};
    env_.unremovable.clear();
    if (!c.removable) env_.unremovable[kFile] = "Access is denied.";
    env_.write_fails.clear();
    if (c.rewrite_fails) env_.write_fails = {kFile};

    EXPECT_EQ(plugin_.SaveConfigToFile(kKeyConfig), c.saved ? kFile : "");
    EXPECT_EQ(env_.logs.back(),
              Log(c.saved ? std::string("Config file saved successfully: ") + kFile
                          : std::string("Failed to save config file")));
    if (env_.files.count(kFile) && env_.files[kFile].find("new") != std::string::npos) {
      EXPECT_FALSE(env_.file_sddl[kFile].empty()) << "the key went into an open file";
    }
    if (c.saved) {
      EXPECT_EQ(env_.files[kFile], "PrivateKey = new\r\n");
      std::vector<std::string> file_events;
      for (const std::string& e : env_.events) {
        if (e.rfind("write ", 0) == 0 || e.rfind("remove ", 0) == 0) file_events.push_back(e);
      }
      EXPECT_EQ(file_events, (std::vector<std::string>{std::string("write ") + kFile,
                                                       std::string("remove ") + kFile,
                                                       std::string("write ") + kFile}));
    }
  }
}

// The UI gets the UTF-8 name, the log the ANSI one (code page 1251 here,
// where "Иван" is C8 E2 E0 ED); a failed query gives both empty.
TEST_F(ConfigFileTest, DocumentsPathIsUtf8ForTheUiAndAnsiForTheLog) {
  const std::string ansi = "C:\\users\\\xC8\xE2\xE0\xED";
  env_.shell_folders[kCsidlPersonal] = ansi;
  env_.shell_folders_utf8[kCsidlPersonal] = "C:\\users\\Иван";
  PluginEnv::FolderName path = plugin_.GetDocumentsPath();
  EXPECT_EQ(path.utf8, "C:\\users\\Иван");
  EXPECT_EQ(path.ansi, ansi);
  EXPECT_EQ(env_.logs.back(), Log("Documents path: " + ansi));

  env_.shell_folders.erase(kCsidlPersonal);
  path = plugin_.GetDocumentsPath();
  EXPECT_EQ(path.utf8 + path.ansi, "");
  EXPECT_EQ(env_.logs.back(), Log("Failed to get Documents path, using default"));
}

}  // namespace
