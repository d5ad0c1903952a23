#include "core/storage/record_stream.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include "core/storage/clock_segment.h"

namespace ORV {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Collected(const VectorSerializationStream& s) { return Bytes(s.Data(), s.Data() + s.Size()); }

TEST(VectorSerializationStream, CollectsLittleEndianBytes) {
  VectorSerializationStream s;
  s.Write("x", 0);
  EXPECT_EQ(s.Size(), 0u);
  EXPECT_EQ(s.Data(), nullptr);

  WriteU32(s, 258);
  EXPECT_EQ(Collected(s), (Bytes{0x02, 0x01, 0x00, 0x00}));
  WriteU16(s, 0xBEEF);
  s.Write("ab", 2);
  EXPECT_EQ(Collected(s), (Bytes{0x02, 0x01, 0x00, 0x00, 0xEF, 0xBE, 'a', 'b'}));

  // Growth keeps everything written before.
  VectorSerializationStream big;
  for (std::uint32_t i = 0; i < 10000; ++i) WriteU32(big, i);
  ASSERT_EQ(big.Size(), 40000u);
  EXPECT_EQ(big.Data()[4 * 9999 + 1], 9999 >> 8);
}

TEST(ByteArrayStreamBuf, ReadPeekAndPutBack) {
  const std::uint8_t range[] = {0x0A, 0x0B, 0x0C};
  ByteArrayStreamBuf buf(range, sizeof range);
  using T = std::streambuf::traits_type;

  EXPECT_EQ(buf.in_avail(), 3);
  EXPECT_EQ(buf.sgetc(), 0x0A);
  EXPECT_EQ(buf.sgetc(), 0x0A);  // peeking does not advance
  EXPECT_EQ(buf.sbumpc(), 0x0A);
  EXPECT_EQ(buf.sbumpc(), 0x0B);
  EXPECT_EQ(buf.sbumpc(), 0x0C);
  EXPECT_EQ(buf.sbumpc(), T::eof());
  EXPECT_EQ(buf.sgetc(), T::eof());
  EXPECT_EQ(buf.in_avail(), 0);

  EXPECT_EQ(buf.sputbackc(char(0x0C)), 0x0C);      // equals the byte before
  EXPECT_EQ(buf.sputbackc(char(0x0A)), T::eof());  // differs from 0x0B
  EXPECT_EQ(buf.sputbackc(char(0x0B)), 0x0B);
  EXPECT_EQ(buf.sputbackc(char(0x0A)), 0x0A);
  EXPECT_EQ(buf.sputbackc(char(0x0A)), T::eof());  // at the start
  EXPECT_EQ(buf.sungetc(), T::eof());
  EXPECT_EQ(buf.sgetc(), 0x0A);

  // Bytes above 0x7F come back as unsigned values.
  const std::uint8_t high[] = {0xFF, 0x80};
  ByteArrayStreamBuf h(high, sizeof high);
  EXPECT_EQ(h.sbumpc(), 0xFF);
  EXPECT_EQ(h.sbumpc(), 0x80);
}

TEST(ByteArrayStreamBuf, SeeksInsideAndOutsideTheRange) {
  const std::uint8_t range[] = {0x0A, 0x0B, 0x0C};
  struct Case {
    std::streamoff start;  // position before the seek
    std::streamoff offset;
    std::ios_base::seekdir origin;
    std::streamoff result;  // -1: refused, the position stays at start
  };
  const Case cases[] = {
      {0, -1, std::ios_base::end, 2}, {0, 0, std::ios_base::end, 3},  {0, 1, std::ios_base::end, -1},
      {1, 1, std::ios_base::cur, 2},  {1, -1, std::ios_base::cur, 0}, {1, -2, std::ios_base::cur, -1},
      {2, 3, std::ios_base::beg, 3},  {2, 4, std::ios_base::beg, -1}, {2, -1, std::ios_base::beg, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "start " << c.start << " offset " << c.offset << " origin " << c.origin);
    ByteArrayStreamBuf buf(range, sizeof range);
    ASSERT_EQ(buf.pubseekpos(c.start), c.start);
    EXPECT_EQ(std::streamoff(buf.pubseekoff(c.offset, c.origin)), c.result);
    const std::streamoff now = c.result == -1 ? c.start : c.result;
    EXPECT_EQ(std::streamoff(buf.pubseekoff(0, std::ios_base::cur)), now);
    EXPECT_EQ(buf.in_avail(), 3 - now);
  }

  ByteArrayStreamBuf buf(range, sizeof range);
  buf.sbumpc();
  EXPECT_EQ(std::streamoff(buf.pubseekpos(4)), -1);
  EXPECT_EQ(buf.sgetc(), 0x0B);  // unchanged
  EXPECT_EQ(std::streamoff(buf.pubseekpos(3)), 3);
  EXPECT_EQ(buf.sgetc(), std::streambuf::traits_type::eof());
  // Only the reading side can be moved.
  EXPECT_EQ(std::streamoff(buf.pubseekpos(0, std::ios_base::out)), -1);
}

TEST(ByteArrayStreamBuf, ReadsThroughAnInputStream) {
  const std::uint8_t range[] = {0x0A, 0x0B, 0x0C};
  ByteArrayStreamBuf buf(range, sizeof range);
  std::istream in(&buf);
  EXPECT_EQ(in.peek(), 0x0A);
  EXPECT_EQ(in.get(), 0x0A);
  EXPECT_TRUE(in.putback(char(0x0A)));
  in.seekg(-1, std::ios_base::end);
  EXPECT_EQ(in.tellg(), 2);
  EXPECT_EQ(in.get(), 0x0C);
  EXPECT_EQ(in.get(), std::char_traits<char>::eof());
}

TEST(LittleEndianRead, MissingBytesReadAsFF) {
  struct Case {
    Bytes bytes;
    std::uint32_t value;
  };
  const Case cases[] = {
      {{0x02, 0x01, 0x00, 0x00}, 258},
      {{0x78, 0x56, 0x34, 0x12, 0x99}, 0x12345678},
      {{0x0A, 0x0B}, 0xFFFF0B0A},
      {{}, 0xFFFFFFFF},
  };
  for (const Case& c : cases) {
    ByteArrayStreamBuf buf(c.bytes);
    std::istream in(&buf);
    EXPECT_EQ(ReadU32(in), c.value);
  }
  const std::uint8_t two[] = {0x34, 0x12};
  ByteArrayStreamBuf buf(two, sizeof two);
  std::istream in(&buf);
  EXPECT_EQ(ReadU16(in), 0x1234);
  EXPECT_EQ(ReadU16(in), 0xFFFF);
}

TEST(TextField, WritesAndReadsUtf8WithAByteCount) {
  VectorSerializationStream s;
  WriteText(s, "\xC2\xB5m");
  WriteText(s, "");
  EXPECT_EQ(Collected(s), (Bytes{0x03, 0x00, 0xC2, 0xB5, 0x6D, 0x00, 0x00}));

  ByteArrayStreamBuf buf(s.Bytes());
  std::istream in(&buf);
  std::string a = "x", b = "x";
  ASSERT_TRUE(ReadText(in, a));
  ASSERT_TRUE(ReadText(in, b));
  EXPECT_EQ(a, "\xC2\xB5m");
  EXPECT_EQ(b, "");
  EXPECT_FALSE(ReadText(in, b));  // nothing left

  // A field whose bytes end early is refused and leaves the text unchanged.
  const Bytes cut{0x05, 0x00, 'a', 'b'};
  ByteArrayStreamBuf cutBuf(cut);
  std::istream cutIn(&cutBuf);
  std::string t = "kept";
  EXPECT_FALSE(ReadText(cutIn, t));
  EXPECT_EQ(t, "kept");
}

TEST(TextField, OverlongTextIsCutAtACharacterBoundary) {
  // 0xFFFF bytes would end inside the last two-byte character.
  std::string text(kMaxStoredTextBytes - 1, 'a');
  text += "\xC2\xB5\xC2\xB5";
  VectorSerializationStream s;
  WriteText(s, text);
  ByteArrayStreamBuf buf(s.Bytes());
  std::istream in(&buf);
  std::string read;
  ASSERT_TRUE(ReadText(in, read));
  EXPECT_EQ(read, std::string(kMaxStoredTextBytes - 1, 'a'));
  EXPECT_EQ(s.Size(), 2 + kMaxStoredTextBytes - 1);
}

TEST(Utf16ToUtf8, ConvertsProgramText) {
  EXPECT_EQ(Utf16ToUtf8(u"\u00B5m"), "\xC2\xB5\x6D");
  EXPECT_EQ(Utf16ToUtf8(u""), "");
}

TEST(ClockSegmentBytes, FiveLittleEndianFields) {
  const ClockSegment segment{0x01020304, 5, 0xA0B0C0D0, 7, 0xFFFFFFFF};
  VectorSerializationStream s;
  WriteClockSegment(s, segment);
  const Bytes expected{0x04, 0x03, 0x02, 0x01, 5, 0, 0, 0, 0xD0, 0xC0, 0xB0, 0xA0, 7, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(Collected(s), expected);

  ByteArrayStreamBuf buf(expected);
  std::istream in(&buf);
  ClockSegment read;
  EXPECT_EQ(ReadClockSegment(in, read, 20), 20u);
  EXPECT_EQ(read, segment);

  // A stored value shorter than a segment is not taken.
  ClockSegment untouched{1, 2, 3, 4, 5};
  EXPECT_FALSE(ClockSegmentCodec::Read(std::span(expected).first(19), untouched));
  EXPECT_TRUE(ClockSegmentCodec::Read(expected, untouched));
  EXPECT_EQ(untouched, segment);
}

}  // namespace
}  // namespace ORV
