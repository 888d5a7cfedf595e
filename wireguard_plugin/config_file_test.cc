// The configuration file and the Documents folder over the fake platform.
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "wireguard_plugin/testing/plugin_test_fixture.h"

namespace {

const char kWireGuard[] = "C:\\ProgramData\\WireGuard";
const char kFolder[] = "C:\\ProgramData\\WireGuard\\Configurations";
const char kFile[] = "C:\\ProgramData\\WireGuard\\Configurations\\orva_divuv.conf";
// Every temporary file of a save: orva_divuv.conf.<16 hex digits>.tmp.
const std::string kTemps = std::string(kFile) + ".*";
const std::regex kTempName(
    R"(C:\\ProgramData\\WireGuard\\Configurations\\orva_divuv\.conf\.[0-9a-f]{16}\.tmp)");

class ConfigFileTest : public PluginTest {
 protected:
  ConfigFileTest() { env_.shell_folders[kCsidlCommonAppData] = "C:\\ProgramData"; }
};

TEST_F(ConfigFileTest, SavedBytesHaveCrLfLineEndsAndNothingElseChanges) {
  // Replacing the whole file, empty saves included, is checked on Wine.
  const std::string raw("\xEF\xBB\xBF[Interface]\x00\xD0\x9F", 16);
  EXPECT_EQ(plugin_.SaveConfigToFile(raw + "A\nB\r\n"), kFile);
  EXPECT_EQ(env_.files[kFile], raw + "A\r\nB\r\r\n");
}

// The temporary file has a new name each time, so that nothing found there
// (here an old temporary file that cannot be removed) stands in the way.
TEST_F(ConfigFileTest, ASaveWritesAProtectedTemporaryFileAndMovesItIntoPlace) {
  const std::string stale = std::string(kFile) + ".tmp";
  env_.paths.insert(stale);
  env_.unremovable.insert(stale);
  std::vector<std::string> temporaries;
  for (int save = 0; save < 2; ++save) {
    env_.events.clear();
    EXPECT_EQ(plugin_.SaveConfigToFile("[Interface]\n"), kFile);
    ASSERT_EQ(env_.events.size(), 8u);
    const std::string temporary = env_.events[5].substr(6);
    EXPECT_TRUE(std::regex_match(temporary, kTempName)) << temporary;
    EXPECT_EQ(env_.events,
              (std::vector<std::string>{
                  "log " + Log("SaveConfigToFile called"),
                  "log " + Log("ProgramData path: C:\\ProgramData"),
                  std::string("mkdir ") + kWireGuard,
                  std::string("mkdir ") + kFolder,
                  "log " + Log(std::string("Config directory: ") + kFolder),
                  "write " + temporary,
                  "replace " + temporary + " " + kFile,
                  "log " + Log(std::string("Config file saved successfully: ") + kFile),
              }));
    temporaries.push_back(temporary);
  }
  EXPECT_NE(temporaries[0], temporaries[1]);
  EXPECT_EQ(env_.paths.count(stale), 1u);
  // The file: a protected DACL for SYSTEM and Administrators only; the
  // folders: owned by Administrators as well, handed down.
  EXPECT_EQ(env_.file_sddl[kFile], "D:P(A;;FA;;;SY)(A;;FA;;;BA)");
  for (const char* folder : {kWireGuard, kFolder}) {
    EXPECT_EQ(env_.folder_sddl[folder], "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)") << folder;
  }
}

// Whichever step fails, the previous configuration stays byte for byte and
// no temporary file of ours is left behind.
TEST_F(ConfigFileTest, AFailedStepKeepsThePreviousFileWhole) {
  const struct {
    const char* name;
    std::function<void(FakePluginEnv&)> fault;
  } cases[] = {
      // Also a link in its place that cannot be removed safely.
      {"WireGuard's folder cannot be made ours",
       [](FakePluginEnv& e) { e.blocked_folders = {kWireGuard}; }},
      {"the folder cannot be made ours", [](FakePluginEnv& e) { e.blocked_folders = {kFolder}; }},
      {"the temporary file cannot be created", [](FakePluginEnv& e) { e.unwritable = {kTemps}; }},
      {"the disk fills up", [](FakePluginEnv& e) { e.write_fails = {kTemps}; }},
      {"the flush fails", [](FakePluginEnv& e) { e.flush_fails = {kTemps}; }},
      {"the replace fails", [](FakePluginEnv& e) { e.unreplaceable = {kFile}; }},
      {"no ProgramData folder", [](FakePluginEnv& e) { e.shell_folders.clear(); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakePluginEnv env;
    env.shell_folders[kCsidlCommonAppData] = "C:\\ProgramData";
    env.paths = {kFolder, kFile};
    env.files[kFile] = "PrivateKey = old\r\n";
    c.fault(env);
    WireguardPlugin plugin(nullptr, env);

    EXPECT_EQ(plugin.SaveConfigToFile("PrivateKey = new\n"), "");
    EXPECT_EQ(env.files[kFile], "PrivateKey = old\r\n");
    EXPECT_EQ(env.logs.back(), Log(env.shell_folders.empty() ? "Failed to get ProgramData path"
                                                             : "Failed to save config file"));
    for (const std::string& path : env.paths) EXPECT_FALSE(FakePluginEnv::Listed({kTemps}, path));
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
