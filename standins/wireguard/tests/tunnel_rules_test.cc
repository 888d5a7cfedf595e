// The rules the stand-in tools live by: tunnel names from configuration
// paths, configuration files, fault switch texts and the state file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "standins/wireguard/fault_switches.h"
#include "standins/wireguard/tunnel_config.h"
#include "standins/wireguard/tunnel_name.h"
#include "standins/wireguard/tunnel_state.h"

namespace wg_standin {
namespace {

TEST(TunnelNameFromPath, TakesTheFileNameWithoutItsConfSuffix) {
  EXPECT_EQ(TunnelNameFromPath("C:\\ProgramData\\WireGuard\\Configurations\\orva_divuv.conf").name,
            "orva_divuv");
  EXPECT_EQ(TunnelNameFromPath("C:/x/wg0.conf.dpapi").name, "wg0");
  EXPECT_EQ(TunnelNameFromPath("a+b=c.d-e.conf").name, "a+b=c.d-e");
  EXPECT_EQ(TunnelNameFromPath(std::string(32, 'x') + ".conf").name, std::string(32, 'x'));
  EXPECT_TRUE(TunnelNameFromPath("relative.conf").error.empty());
}

TEST(TunnelNameFromPath, RefusesPathsThatDoNotEndInConf) {
  const std::string kPathError = "Path must end in either .conf.dpapi or .conf";
  EXPECT_EQ(TunnelNameFromPath("C:\\x\\orva_divuv.CONF").error, kPathError);
  // The short (8.3) form of a .conf file ends in .CON.
  EXPECT_EQ(TunnelNameFromPath("C:\\PROGRA~3\\WIREGU~1\\CONFIG~1\\ORVA~WLO.CON").error, kPathError);
  EXPECT_EQ(TunnelNameFromPath("C:\\x\\orva.conf.bak").error, kPathError);
  EXPECT_EQ(TunnelNameFromPath("C:\\x\\.conf").error, kPathError);
  EXPECT_EQ(TunnelNameFromPath("C:\\x.conf\\").error, kPathError);
  EXPECT_EQ(TunnelNameFromPath("").error, kPathError);
  EXPECT_TRUE(TunnelNameFromPath("C:\\x\\orva.CONF").name.empty());
}

TEST(TunnelNameFromPath, RefusesInvalidTunnelNames) {
  const std::string kNameError = "Tunnel name is not valid";
  const std::vector<std::string> names = {
      "has space", ".hidden", "trailing.",     "CON",        "nul",
      "Com1",      "lpt9",    "t\xc3\xbcnnel", "semi;colon", std::string(33, 'x')};
  for (const std::string& name : names) {
    const TunnelNameResult result = TunnelNameFromPath("C:\\x\\" + name + ".conf");
    EXPECT_EQ(result.error, kNameError) << name;
    EXPECT_TRUE(result.name.empty()) << name;
  }
  EXPECT_TRUE(IsValidTunnelName("COM10"));
  EXPECT_TRUE(IsValidTunnelName("a.b"));
}

TEST(ParseTunnelConfig, ReadsInterfaceAndPeersWhateverTheKeyCase) {
  const auto config = ParseTunnelConfig(
      "\xEF\xBB\xBF[Interface]\r\n"
      "PrivateKey = yAnz5TF+lXXJte14tji3zlMNq+hd2rYUIgJBgB3fBmk=\r\n"
      "Address = 10.0.0.2/32\r\n"
      "listenport=40001 # comment\r\n"
      "DNS = 1.1.1.1\r\n"
      "\r\n"
      "# a comment line\r\n"
      "[peer]\r\n"
      "PUBLICKEY = peer1=\r\n"
      "PresharedKey = psk=\r\n"
      "Endpoint = [2001:db8::1]:51820\r\n"
      "AllowedIPs = 0.0.0.0/0 ,::/0,\r\n"
      "PersistentKeepalive = 25\r\n"
      "[Peer]\n"
      "PublicKey = peer2=\n"
      "PersistentKeepalive = off\n");
  ASSERT_TRUE(config);
  EXPECT_EQ(config->private_key, "yAnz5TF+lXXJte14tji3zlMNq+hd2rYUIgJBgB3fBmk=");
  EXPECT_EQ(config->listen_port, 40001);
  ASSERT_EQ(config->peers.size(), 2u);
  EXPECT_EQ(config->peers[0].public_key, "peer1=");
  EXPECT_EQ(config->peers[0].preshared_key, "psk=");
  EXPECT_EQ(config->peers[0].endpoint, "[2001:db8::1]:51820");
  EXPECT_EQ(config->peers[0].allowed_ips, (std::vector<std::string>{"0.0.0.0/0", "::/0"}));
  EXPECT_EQ(config->peers[0].persistent_keepalive, 25u);
  EXPECT_EQ(config->peers[1].public_key, "peer2=");
  EXPECT_EQ(config->peers[1].persistent_keepalive, 0u);
  EXPECT_TRUE(config->peers[1].endpoint.empty());

  const auto defaults = ParseTunnelConfig("[Interface]\nPrivateKey = k\n");
  ASSERT_TRUE(defaults);
  EXPECT_EQ(defaults->listen_port, kDefaultListenPort);
  EXPECT_TRUE(defaults->peers.empty());
}

TEST(ParseTunnelConfig, RefusesConfigurationsATunnelCannotStartFrom) {
  std::string why;
  EXPECT_FALSE(ParseTunnelConfig("", &why));
  EXPECT_FALSE(why.empty());
  EXPECT_FALSE(ParseTunnelConfig("[Interface]\nAddress = 10.0.0.2/32\n"));
  EXPECT_FALSE(ParseTunnelConfig("[Interface]\nPrivateKey = k\nListenPort = 70000\n"));
  EXPECT_FALSE(ParseTunnelConfig("[Interface]\nPrivateKey = k\nListenPort = 0\n"));
  EXPECT_FALSE(ParseTunnelConfig("[Interface]\nPrivateKey = k\n[Peer]\nEndpoint = a:1\n"));
  EXPECT_FALSE(
      ParseTunnelConfig("[Interface]\nPrivateKey = k\n[Peer]\nPublicKey = p\n"
                        "PersistentKeepalive = often\n"));
  EXPECT_FALSE(ParseTunnelConfig("PrivateKey = k\n"));
  EXPECT_FALSE(ParseTunnelConfig("[Interface]\nPrivateKey = k\n[Other]\n"));
  EXPECT_FALSE(ParseTunnelConfig("[Interface]\nPrivateKey k\n"));
  EXPECT_FALSE(ParseTunnelConfig(std::string("\0\xff\xfe binary", 10)));
}

TEST(FaultSwitches, ParsesToolFaultAndOptionalNumber) {
  FaultSwitches faults;
  faults.Add(" wg = hang , WireGuard=Slow-Start:5000;setup=no-install\n# wg=crash\nwg=flood:12");
  EXPECT_TRUE(faults.Has("wg", "hang"));
  EXPECT_FALSE(faults.Number("wg", "hang"));
  EXPECT_EQ(faults.NumberOr("wg", "hang", 7), 7u);
  EXPECT_EQ(faults.Number("wireguard", "slow-start"), 5000u);
  EXPECT_TRUE(faults.Has("setup", "no-install"));
  EXPECT_FALSE(faults.Has("wg", "crash"));
  EXPECT_EQ(faults.Number("wg", "flood"), 12u);
  EXPECT_FALSE(faults.Has("wireguard", "hang"));

  // Later entries (the faults file after the environment) win.
  faults.Add("wireguard=slow-start:10");
  EXPECT_EQ(faults.Number("wireguard", "slow-start"), 10u);

  FaultSwitches junk;
  junk.Add("hang,=x,wg=,wg=hang:abc,wg=crash:,wg=x:99999999999999999999,\0");
  EXPECT_FALSE(junk.Has("wg", "hang"));
  EXPECT_FALSE(junk.Has("wg", "crash"));
  EXPECT_FALSE(junk.Has("wg", "x"));
}

TEST(TunnelState, RoundTripsRecordsAndSkipsLinesThatDoNotFit) {
  TunnelRecord a{"orva_divuv", TunnelPhase::kRunning, 1796542237915, 300,
                 "C:\\ProgramData\\WireGuard\\Configurations\\orva_divuv.conf"};
  TunnelRecord b{"wg0", TunnelPhase::kStarting, 5, 0, "C:\\with space\\wg0.conf"};
  TunnelRecord c{"bad", TunnelPhase::kFailed, 1, 2, "D:\\bad.conf"};
  const std::string text = SerializeTunnels({a, b, c});
  EXPECT_EQ(text.substr(0, text.find('\n')), kStateHeader);
  EXPECT_NE(text.find("orva_divuv\trunning\t1796542237915\t300\tC:\\ProgramData"),
            std::string::npos);

  const auto back = ParseTunnels(text + "x\tsleeping\t1\t2\tp\n" + "y\trunning\t-1\t2\tp\n" +
                                 "z\trunning\t1\t2\t\n" + "short\trunning\n" + "\r\n");
  ASSERT_EQ(back.size(), 3u);
  EXPECT_EQ(back[0].name, a.name);
  EXPECT_EQ(back[0].phase, TunnelPhase::kRunning);
  EXPECT_EQ(back[0].installed_ms, a.installed_ms);
  EXPECT_EQ(back[0].UpAtMs(), a.installed_ms + 300);
  EXPECT_EQ(back[0].config_path, a.config_path);
  EXPECT_EQ(back[1].phase, TunnelPhase::kStarting);
  EXPECT_EQ(back[1].config_path, "C:\\with space\\wg0.conf");
  EXPECT_EQ(back[2].phase, TunnelPhase::kFailed);
  EXPECT_TRUE(ParseTunnels("").empty());
}

}  // namespace
}  // namespace wg_standin
