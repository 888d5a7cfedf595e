// The byte units the stand-in wg.exe prints, as the product parses them, and
// their boundaries. The whole `wg show` layout is pinned through the tool
// itself (StandinTools.ShowPrintsTheRealLayoutWithCrLfLineEnds).
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "standins/wireguard/relay_wire.h"
#include "standins/wireguard/wg_text.h"

namespace wg_standin {
namespace {

TEST(FormatBytes, UsesBytesBelow1024AndTwoDecimalsInBase1024Above) {
  constexpr uint64_t kKiB = 1024, kMiB = kKiB * 1024, kGiB = kMiB * 1024, kTiB = kGiB * 1024;
  EXPECT_EQ(FormatBytes(0), "0 B");
  EXPECT_EQ(FormatBytes(1023), "1023 B");
  EXPECT_EQ(FormatBytes(kKiB), "1.00 KiB");
  EXPECT_EQ(FormatBytes(1536), "1.50 KiB");
  // One byte short of the next unit still rounds within the smaller unit.
  EXPECT_EQ(FormatBytes(kMiB - 1), "1024.00 KiB");
  EXPECT_EQ(FormatBytes(kMiB), "1.00 MiB");
  EXPECT_EQ(FormatBytes(kGiB - 1), "1024.00 MiB");
  EXPECT_EQ(FormatBytes(kGiB), "1.00 GiB");
  EXPECT_EQ(FormatBytes(kTiB - 1), "1024.00 GiB");
  EXPECT_EQ(FormatBytes(kTiB), "1.00 TiB");
  EXPECT_EQ(FormatBytes(UINT64_MAX), "16777216.00 TiB");
}

// A relay reply is read whole or not at all: a cut or damaged one must never
// pass for the real tool's answer.
TEST(RelayWire, ReadsWholeRepliesAndRefusesDamagedOnes) {
  using Fields = std::vector<std::string>;
  const std::string reply = EncodeNetstrings({"1", "", std::string("a,\0:b\n", 6)});
  EXPECT_EQ(DecodeNetstrings(reply), (Fields{"1", "", std::string("a,\0:b\n", 6)}));
  const struct {
    const char* name;
    std::string bytes;
  } kDamaged[] = {
      {"cut inside a field", reply.substr(0, reply.size() - 3)},
      {"cut before the last comma", reply.substr(0, reply.size() - 1)},
      {"length without digits", ":x,"},
      {"length beyond the end", "99:abc,"},
      {"wrong terminator", "3:abc;"},
      {"length of eleven digits", "00000000003:abc,"},
      {"more fields than allowed", "0:,0:,0:,0:,"},
  };
  for (const auto& c : kDamaged) {
    EXPECT_EQ(DecodeNetstrings(c.bytes, 3), std::nullopt) << c.name;
  }
}

}  // namespace
}  // namespace wg_standin
