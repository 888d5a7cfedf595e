// What the stand-in wg.exe prints: byte units and their boundaries, ages and
// durations, the `wg show` block, and how a running tunnel's numbers move.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "standins/wireguard/tunnel_state.h"
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

TEST(FormatAgo, SaysNowThenListsNonZeroUnitsWithPlurals) {
  EXPECT_EQ(FormatAgo(0), "Now");
  EXPECT_EQ(FormatAgo(1), "1 second ago");
  EXPECT_EQ(FormatAgo(59), "59 seconds ago");
  EXPECT_EQ(FormatAgo(65), "1 minute, 5 seconds ago");
  EXPECT_EQ(FormatAgo(3600), "1 hour ago");
  EXPECT_EQ(FormatAgo(2 * 86400 + 7200 + 1), "2 days, 2 hours, 1 second ago");
  EXPECT_EQ(FormatAgo(365ULL * 86400 + 60), "1 year, 1 minute ago");
  EXPECT_EQ(FormatDuration(25), "25 seconds");
  EXPECT_EQ(FormatDuration(0), "");
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

TEST(RenderInterface, PrintsTheShowLayoutWithTwoSpaceIndentAndBlankLineBeforeEachPeer) {
  InterfaceView view;
  view.name = "orva_divuv";
  view.public_key = "9bV0oM2nq1cVqX5s0m7hXJm0bd2S5cUYcMhG0WlqS2Y=";
  view.listen_port = 51820;
  view.peers = {SamplePeer()};
  EXPECT_EQ(RenderInterface(view),
            "interface: orva_divuv\n"
            "  public key: 9bV0oM2nq1cVqX5s0m7hXJm0bd2S5cUYcMhG0WlqS2Y=\n"
            "  private key: (hidden)\n"
            "  listening port: 51820\n"
            "\n"
            "peer: QmFzZTY0UGVlcktleUV4YW1wbGVGb3JUZXN0czAwMDA=\n"
            "  endpoint: 203.0.113.7:51820\n"
            "  allowed ips: 0.0.0.0/0, ::/0\n"
            "  latest handshake: 1 minute, 5 seconds ago\n"
            "  transfer: 6.55 KiB received, 1.27 MiB sent\n"
            "  persistent keepalive: every 25 seconds\n");

  view.peers.push_back(PeerView{});
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

TEST(DerivePublicKey, IsStableKeyShapedAndDependsOnThePrivateKey) {
  const std::string a = DerivePublicKey("yAnz5TF+lXXJte14tji3zlMNq+hd2rYUIgJBgB3fBmk=");
  EXPECT_EQ(a, DerivePublicKey("yAnz5TF+lXXJte14tji3zlMNq+hd2rYUIgJBgB3fBmk="));
  EXPECT_NE(a, DerivePublicKey("yAnz5TF+lXXJte14tji3zlMNq+hd2rYUIgJBgB3fBmo="));
  ASSERT_EQ(a.size(), 44u);
  EXPECT_EQ(a.back(), '=');
  EXPECT_EQ(
      a.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
      std::string::npos);
  EXPECT_EQ(Base64Encode({'M', 'a'}), "TWE=");
  EXPECT_EQ(Base64Encode({'M', 'a', 'n'}), "TWFu");
}

std::string Unit(uint64_t bytes) {
  const std::string text = FormatBytes(bytes);
  return text.substr(text.find(' ') + 1);
}

TEST(TransferAfter, GrowsThroughBytesKibAndMibWithinAMinute) {
  EXPECT_EQ(Unit(TransferAfter(0).received), "B");
  EXPECT_GT(TransferAfter(0).received, 0u);
  EXPECT_EQ(Unit(TransferAfter(3000).received), "KiB");
  EXPECT_EQ(Unit(TransferAfter(60000).received), "MiB");
  EXPECT_EQ(Unit(TransferAfter(3600 * 1000).received), "GiB");
  uint64_t last_received = 0, last_sent = 0;
  for (uint64_t ms = 0; ms <= 120000; ms += 1000) {
    const Transfer t = TransferAfter(ms);
    EXPECT_GT(t.received, last_received) << ms;
    EXPECT_GT(t.sent, last_sent) << ms;
    last_received = t.received;
    last_sent = t.sent;
  }
  EXPECT_LT(TransferAfter(60000, 2).received, TransferAfter(60000, 1).received);
  // Absurd uptimes do not overflow into small numbers.
  EXPECT_GE(TransferAfter(UINT64_MAX).received, TransferAfter(3600 * 1000).received);
}

TEST(DescribeTunnel, PeersWithEndpointTalkAndRehandshakeEveryTwoMinutes) {
  TunnelConfig config;
  config.private_key = "priv";
  config.listen_port = 40000;
  PeerConfig talking;
  talking.public_key = "talking";
  talking.endpoint = "198.51.100.1:51820";
  PeerConfig waiting;
  waiting.public_key = "waiting";
  config.peers = {talking, waiting};

  const InterfaceView view = DescribeTunnel("t1", config, 125500);
  EXPECT_EQ(view.name, "t1");
  EXPECT_EQ(view.public_key, DerivePublicKey("priv"));
  EXPECT_EQ(view.listen_port, 40000);
  ASSERT_EQ(view.peers.size(), 2u);
  EXPECT_TRUE(view.peers[0].has_handshake);
  EXPECT_EQ(view.peers[0].handshake_age_seconds, 5u);
  EXPECT_GT(view.peers[0].transfer.received, 0u);
  EXPECT_FALSE(view.peers[1].has_handshake);
  EXPECT_EQ(view.peers[1].transfer.received + view.peers[1].transfer.sent, 0u);
}

}  // namespace
}  // namespace wg_standin
