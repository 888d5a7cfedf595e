// The configuration file and the Documents folder over the fake platform.
#include <functional>
#include <string>
#include <vector>

#include "wireguard_plugin/testing/plugin_test_fixture.h"

namespace {

const char kFolder[] = "C:\\ProgramData\\WireGuard\\Configurations";
const char kFile[] = "C:\\ProgramData\\WireGuard\\Configurations\\orva_divuv.conf";
const char kTemp[] = "C:\\ProgramData\\WireGuard\\Configurations\\orva_divuv.conf.tmp";

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

TEST_F(ConfigFileTest, ASaveWritesAProtectedTemporaryFileAndMovesItIntoPlace) {
  // A temporary file left by an interrupted save, with whatever access.
  env_.paths.insert(kTemp);
  env_.files[kTemp] = "stale";
  EXPECT_EQ(plugin_.SaveConfigToFile("[Interface]\n"), kFile);
  EXPECT_EQ(env_.logs, (std::vector<std::string>{
                           Log("SaveConfigToFile called"),
                           Log("ProgramData path: C:\\ProgramData"),
                           Log(std::string("Config directory: ") + kFolder),
                           Log(std::string("Config file saved successfully: ") + kFile),
                       }));
  std::vector<std::string> steps;
  for (const std::string& e : env_.events) {
    if (e.rfind("log ", 0) != 0) steps.push_back(e);
  }
  EXPECT_EQ(steps, (std::vector<std::string>{
                       std::string("mkdir ") + kFolder,
                       std::string("remove ") + kTemp,
                       std::string("write ") + kTemp,
                       std::string("replace ") + kTemp + " " + kFile,
                   }));
  EXPECT_EQ(env_.paths.count(kTemp), 0u);
  // Created with a protected DACL for SYSTEM and Administrators only.
  EXPECT_EQ(env_.file_sddl[kFile], "D:P(A;;FA;;;SY)(A;;FA;;;BA)");
}

// Whichever step fails, the previous configuration stays byte for byte and
// no temporary file of ours is left behind.
TEST_F(ConfigFileTest, AFailedStepKeepsThePreviousFileWhole) {
  const struct {
    const char* name;
    std::function<void(FakePluginEnv&)> fault;
  } cases[] = {
      {"the folder cannot be made", [](FakePluginEnv& e) { e.blocked_folders = {kFolder}; }},
      {"the temporary file cannot be created", [](FakePluginEnv& e) { e.unwritable = {kTemp}; }},
      {"the disk fills up", [](FakePluginEnv& e) { e.write_fails = {kTemp}; }},
      {"the flush fails", [](FakePluginEnv& e) { e.flush_fails = {kTemp}; }},
      {"the replace fails", [](FakePluginEnv& e) { e.unreplaceable = {kFile}; }},
      {"someone else's temporary file cannot be removed",
       [](FakePluginEnv& e) {
         e.paths.insert(kTemp);
         e.files[kTemp] = "theirs";
         e.unremovable[kTemp] = "Access is denied.";
       }},
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
    if (env.unremovable.empty()) {
      EXPECT_EQ(env.paths.count(kTemp), 0u);
    } else {
      EXPECT_EQ(env.files[kTemp], "theirs");  // never written into
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
