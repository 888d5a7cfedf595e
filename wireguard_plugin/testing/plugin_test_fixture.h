// A WireguardPlugin over a FakePluginEnv, for the plugin's unit tests.
#ifndef ORVA_WIREGUARD_PLUGIN_TESTING_PLUGIN_TEST_FIXTURE_H_
#define ORVA_WIREGUARD_PLUGIN_TESTING_PLUGIN_TEST_FIXTURE_H_

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codec/method_channel.h"
#include "wireguard_plugin/fake_plugin_env.h"
#include "wireguard_plugin/wireguard_plugin.h"

class PluginTest : public ::testing::Test {
 protected:
  // |message| as the plugin log writes it.
  static std::string Log(const std::string& message) { return "[WireGuardPlugin] " + message; }

  // How many logged lines equal Log(|message|).
  int CountLogged(const std::string& message) const {
    int count = 0;
    for (const std::string& line : env_.logs) count += line == Log(message);
    return count;
  }

  // The position of the first line equal to Log(|message|), or -1.
  int IndexOfLog(const std::string& message) const {
    for (size_t i = 0; i < env_.logs.size(); ++i) {
      if (env_.logs[i] == Log(message)) return static_cast<int>(i);
    }
    return -1;
  }

  FakePluginEnv env_;
  WireguardPlugin plugin_{nullptr, env_};
};

#endif  // ORVA_WIREGUARD_PLUGIN_TESTING_PLUGIN_TEST_FIXTURE_H_
