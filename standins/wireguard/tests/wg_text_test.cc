// The byte units the stand-in wg.exe prints, as the product parses them, and
// their boundaries. The whole `wg show` layout is pinned through the tool
// itself (StandinTools.ShowPrintsTheRealLayoutWithCrLfLineEnds).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

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

}  // namespace
}  // namespace wg_standin
