// The rules /installtunnelservice applies to the configuration path it is
// given: the suffix the path must end in and the tunnel name it makes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "standins/wireguard/tunnel_name.h"

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

}  // namespace
}  // namespace wg_standin
