// What the stand-in wg.exe prints, as the product parses it: byte units and
// their boundaries, and the `wg show` block with the lines it leaves out.
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

PeerView SamplePeer() {
  PeerView peer;
  peer.public_key = "QmFzZTY0UGVlcktleUV4YW1wbGVGb3JUZXN0czAwMDA=";
  peer.endpoint = "203.0.113.7:51820";
  peer.allowed_ips = {"0.0.0.0/0", "::/0"};
  peer.has_handshake = true;
  peer.handshake_age_seconds = 65;
  peer.transfer = {6707, 1331691};
  peer.persistent_keepalive = 25;
  return peer;
}

// The whole layout of one peer is pinned through the tool itself
// (StandinTools.ShowPrintsTheRealLayoutWithCrLfLineEnds); here a further peer.
TEST(RenderInterface, PutsABlankLineBeforeEachPeerAndHidesAPresharedKey) {
  InterfaceView view;
  view.name = "orva_divuv";
  view.public_key = "9bV0oM2nq1cVqX5s0m7hXJm0bd2S5cUYcMhG0WlqS2Y=";
  view.listen_port = 51820;
  view.peers = {SamplePeer(), PeerView{}};
  view.peers[1].public_key = "SecondPeer";
  view.peers[1].has_preshared_key = true;
  const std::string two = RenderInterface(view);
  EXPECT_NE(two.find("  persistent keepalive: every 25 seconds\n\npeer: SecondPeer\n"
                     "  preshared key: (hidden)\n  allowed ips: (none)\n"),
            std::string::npos)
      << two;
}

TEST(RenderInterface, LeavesOutLinesWithoutAValue) {
  InterfaceView view;
  view.name = "quiet";
  view.public_key = "key";
  view.listen_port = 0;
  PeerView peer = SamplePeer();
  peer.endpoint.clear();
  peer.has_handshake = false;
  peer.transfer = {0, 0};
  peer.persistent_keepalive = 0;
  view.peers = {peer};
  const std::string text = RenderInterface(view);
  EXPECT_EQ(text.find("listening port"), std::string::npos);
  EXPECT_EQ(text.find("endpoint"), std::string::npos);
  EXPECT_EQ(text.find("latest handshake"), std::string::npos);
  EXPECT_EQ(text.find("transfer:"), std::string::npos);
  EXPECT_EQ(text.find("persistent keepalive"), std::string::npos);
  EXPECT_NE(text.find("  allowed ips: 0.0.0.0/0, ::/0\n"), std::string::npos);

  // One non-zero counter is enough for the transfer line.
  view.peers[0].transfer = {0, 5};
  EXPECT_NE(RenderInterface(view).find("  transfer: 0 B received, 5 B sent\n"), std::string::npos);
}

}  // namespace
}  // namespace wg_standin
