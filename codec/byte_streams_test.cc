// Buffer streams: reads past the end, alignment relative to the buffer start.
// The writer is checked byte for byte by the serializer tests, which write
// after filler bytes already in the vector.
#include "codec/byte_streams.h"

#include <gtest/gtest.h>

#include "codec/testing/codec_test_util.h"

namespace flutter {
namespace {

using testing::Bytes;
using testing::CerrCapture;
using testing::Hex;
using testing::kInvalidRead;

TEST(ByteBufferStreamReaderTest, ReadsPastTheEndYieldNothingAndKeepThePosition) {
  const Bytes bytes = Hex("11 22 33");
  ByteBufferStreamReader reader(bytes.data(), bytes.size());
  CerrCapture cerr;

  EXPECT_EQ(reader.TakeByte(), 0x11);
  uint8_t pair[3] = {0xEE, 0xEE, 0xEE};
  reader.TakeBytes(pair, 3);  // only two are left
  EXPECT_EQ(pair[0], 0xEE);
  EXPECT_EQ(reader.position(), 1u);
  EXPECT_EQ(reader.RemainingBytes(), 2u);
  reader.TakeBytes(pair, 2);
  EXPECT_EQ(pair[0], 0x22);
  EXPECT_EQ(pair[1], 0x33);
  reader.TakeBytes(pair, 0);  // at the end, nothing asked: fine
  EXPECT_EQ(reader.TakeByte(), 0);
  EXPECT_EQ(reader.position(), 3u);
  EXPECT_EQ(reader.RemainingBytes(), 0u);
  EXPECT_EQ(cerr.Lines(), (std::vector<std::string>{kInvalidRead, kInvalidRead}));
}

TEST(ByteBufferStreamReaderTest, AlignmentCountsFromTheBufferStartAndMayPassTheEnd) {
  const Bytes bytes = Hex("01 02 03 04 05 06");
  ByteBufferStreamReader reader(bytes.data(), bytes.size());
  CerrCapture cerr;

  reader.SkipToAlignment(4);  // already aligned
  EXPECT_EQ(reader.position(), 0u);
  reader.TakeByte();
  reader.SkipToAlignment(4);
  EXPECT_EQ(reader.position(), 4u);
  EXPECT_EQ(reader.TakeByte(), 0x05);
  reader.SkipToAlignment(8);
  EXPECT_EQ(reader.position(), 8u);
  EXPECT_EQ(reader.RemainingBytes(), 0u);
  EXPECT_TRUE(cerr.Lines().empty());

  uint8_t none[1] = {0xEE};
  reader.TakeBytes(none, 0);  // even a zero-length read fails past the end
  EXPECT_EQ(cerr.Lines(), std::vector<std::string>{kInvalidRead});
}

}  // namespace
}  // namespace flutter
