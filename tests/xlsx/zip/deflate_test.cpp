#include "xlsx/deflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "tests/xlsx/zip/stream_decoder.h"
#include "tests/xlsx/zip/test_inputs.h"

namespace Xlsx {
namespace {

namespace fx = ZipFixtures;

using fx::BlockType;
using fx::DecodeDeflate;
using fx::DecodedStream;

constexpr std::size_t kAll = std::numeric_limits<std::size_t>::max();

struct Compressed {
  std::vector<std::uint8_t> bytes;
  DeflateResult result;
  std::uint16_t flags = 0;
};

// Compresses input with `state`, handing out at most `chunk` bytes per read,
// through an output buffer of bufferSize bytes.
Compressed Compress(DeflateStatePtr& state, std::string_view input, std::size_t chunk = kAll,
                    std::size_t bufferSize = 16384, int level = Xlsx::kDeflateLevel) {
  Compressed c;
  std::size_t pos = 0;
  const DeflateReader read = [&](std::uint8_t* buffer, std::size_t maxBytes) {
    const std::size_t n = std::min({maxBytes, chunk, input.size() - pos});
    std::memcpy(buffer, input.data() + pos, n);
    pos += n;
    return static_cast<long>(n);
  };
  const DeflateFlush flush = [&](const std::uint8_t* data, std::size_t& count) {
    c.bytes.insert(c.bytes.end(), data, data + count);
    count = 0;
  };
  std::vector<std::uint8_t> buffer(bufferSize);
  c.result = DeflateEntry(state, read, flush, buffer, c.flags, level);
  return c;
}

Compressed Compress(std::string_view input, std::size_t chunk = kAll, std::size_t bufferSize = 16384) {
  DeflateStatePtr state;
  return Compress(state, input, chunk, bufferSize);
}

// Raw inflate by zlib; false unless the stream ends exactly at its last byte.
bool ZlibInflate(const std::vector<std::uint8_t>& raw, std::string& out) {
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) return false;
  z.next_in = const_cast<Bytef*>(raw.data());
  z.avail_in = static_cast<uInt>(raw.size());
  std::vector<char> chunk(1 << 16);
  int ret = Z_OK;
  while (ret == Z_OK) {
    z.next_out = reinterpret_cast<Bytef*>(chunk.data());
    z.avail_out = static_cast<uInt>(chunk.size());
    ret = inflate(&z, Z_NO_FLUSH);
    out.append(chunk.data(), chunk.size() - z.avail_out);
    if (ret == Z_BUF_ERROR && z.avail_in == 0) break;
  }
  inflateEnd(&z);
  return ret == Z_STREAM_END && z.avail_in == 0;
}

std::string AsString(const std::vector<std::uint8_t>& v) { return std::string(v.begin(), v.end()); }

// Checks one compression: no failure, the reported size, and the same data
// back from zlib and from the test decoder.
void ExpectRoundTrip(const Compressed& c, const std::string& input) {
  ASSERT_FALSE(c.result.failed) << (c.result.error ? c.result.error : "");
  EXPECT_EQ(c.result.compressedSize, c.bytes.size());
  std::string inflated;
  EXPECT_TRUE(ZlibInflate(c.bytes, inflated));
  EXPECT_TRUE(inflated == input) << "zlib gives " << inflated.size() << " of " << input.size() << " bytes";
  const DecodedStream d = DecodeDeflate(c.bytes);
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_EQ(d.bytesUsed, c.bytes.size());
  EXPECT_TRUE(AsString(d.data) == input);
}

TEST(DeflateEngine, EmptyInputIsOneFixedBlockHoldingOnlyTheEndCode) {
  const Compressed c = Compress("");
  EXPECT_FALSE(c.result.failed);
  EXPECT_EQ(c.bytes, (std::vector<std::uint8_t>{0x03, 0x00}));
  EXPECT_EQ(c.result.compressedSize, 2u);
}

TEST(DeflateEngine, SetsTheCompressionLevelBitOfTheEntryFlags) {
  for (std::uint16_t before : {0x0000, 0x0008}) {
    DeflateStatePtr state;
    std::uint16_t flags = before;
    std::uint8_t buffer[64];
    const DeflateReader read = [](std::uint8_t*, std::size_t) { return 0L; };
    const DeflateFlush flush = [](const std::uint8_t*, std::size_t& count) { count = 0; };
    DeflateEntry(state, read, flush, buffer, flags);
    EXPECT_EQ(flags, before | 0x0002);
  }
}

TEST(DeflateEngine, RoundTripsThroughZlib) {
  struct Case {
    const char* name;
    std::string input;
    std::size_t chunk;
    std::size_t bufferSize;
  };
  const Case cases[] = {
      {"one byte", "x", kAll, 16384},
      {"three bytes", "abc", kAll, 16384},
      {"258 equal bytes", std::string(258, 'a'), kAll, 16384},
      {"259 equal bytes", std::string(259, 'a'), kAll, 16384},
      {"258 bytes of text", fx::Text(258), kAll, 16384},
      {"259 bytes of text", fx::Text(259), kAll, 16384},
      {"text just below the slide", fx::Text(65274), kAll, 16384},
      {"text of a whole window", fx::Text(65536), kAll, 16384},
      {"text past several slides", fx::Text(200000), kAll, 16384},
      {"random bytes", fx::RandomBytes(300000), kAll, 16384},
      {"worksheet", fx::WorksheetXml(1000000), kAll, 16384},
      {"text read in small pieces", fx::Text(200000), 1000, 16384},
      {"worksheet read a few bytes at a time", fx::WorksheetXml(100000), 7, 16384},
      {"text through a tiny output buffer", fx::Text(100000), kAll, kDeflateMinOutputBuffer},
      {"random bytes through a tiny output buffer", fx::RandomBytes(100000), kAll, kDeflateMinOutputBuffer},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectRoundTrip(Compress(c.input, c.chunk, c.bufferSize), c.input);
  }
}

// Levels 1 to 3 take each match greedily; zlib inflates what every level
// writes, and the fast levels mark the entry's flags as such.
TEST(DeflateEngine, GreedyLevelsRoundTripThroughZlib) {
  const std::pair<const char*, std::string> inputs[] = {
      {"one byte", "x"},
      {"259 equal bytes", std::string(259, 'a')},
      {"text past several slides", fx::Text(200000)},
      {"random bytes", fx::RandomBytes(100000)},
      {"worksheet", fx::WorksheetXml(300000)},
  };
  struct Level {
    int level;
    std::uint16_t flags;
  };
  DeflateStatePtr state;  // shared by all, as the packager shares it
  for (const Level& l : {Level{1, 0x0004}, Level{2, 0x0004}, Level{3, 0x0000}, Level{8, 0x0002}}) {
    for (const auto& [name, input] : inputs) {
      SCOPED_TRACE(std::to_string(l.level) + " " + name);
      const Compressed c = Compress(state, input, kAll, 16384, l.level);
      EXPECT_EQ(c.flags, l.flags);
      ExpectRoundTrip(c, input);
    }
  }
  // The greedy loop takes fewer matches than the lazy one on text.
  const std::string text = fx::WorksheetXml(300000);
  EXPECT_GT(Compress(state, text, kAll, 16384, 1).bytes.size(), Compress(state, text, kAll, 16384, 8).bytes.size());
  for (int level : {0, 9}) {
    const Compressed c = Compress(state, "x", kAll, 16384, level);
    EXPECT_TRUE(c.result.failed) << level;
    EXPECT_TRUE(c.bytes.empty()) << level;
  }
}

TEST(DeflateEngine, ChoosesStoredFixedOrDynamicBlocksBySize) {
  struct Case {
    const char* name;
    std::string input;
    BlockType expected;
    bool everyBlock;  // else: at least one block
  };
  const Case cases[] = {
      {"random bytes", fx::RandomBytes(300000), BlockType::Stored, false},
      {"short text", "the pressure of the vessel and the diameter of the vessel", BlockType::Fixed, true},
      {"long text", fx::Text(100000), BlockType::Dynamic, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Compressed out = Compress(c.input);
    ExpectRoundTrip(out, c.input);
    const DecodedStream d = DecodeDeflate(out.bytes);
    std::size_t matching = 0;
    for (const auto& block : d.blocks) matching += block.type == c.expected ? 1 : 0;
    if (c.everyBlock) {
      EXPECT_EQ(matching, d.blocks.size());
    } else {
      EXPECT_GT(matching, 0u);
    }
    EXPECT_TRUE(d.blocks.back().last);
  }
}

TEST(DeflateEngine, IncompressibleInputGrowsOnlyByBlockOverhead) {
  const std::string input = fx::RandomBytes(300000);
  const Compressed out = Compress(input);
  ExpectRoundTrip(out, input);
  EXPECT_LE(out.bytes.size(), input.size() + input.size() / 200);
}

// `size` bytes in which no three consecutive bytes occur twice and none is
// an ASCII letter: a counter written as pairs of bytes from two disjoint
// ranges, so each three bytes give the counter's value.
std::string FillerWithoutRepeats(std::size_t size) {
  std::string out;
  for (unsigned k = 0; out.size() < size; ++k) {
    out += static_cast<char>(0x80 | ((k >> 6) & 0x3F));
    out += static_cast<char>(0xC0 | (k & 0x3F));
  }
  out.resize(size);
  return out;
}

TEST(DeflateEngine, DropsThreeByteMatchesFartherThan4096Bytes) {
  struct Case {
    unsigned distance;
    std::vector<fx::Match> expected;
  };
  const Case cases[] = {{4096, {{3, 4096}}}, {4097, {}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.distance);
    // Position 0 is never a match source, so the repeated text starts at 1.
    const std::string input =
        "Z"
        "abc" +
        FillerWithoutRepeats(c.distance - 3) + "abc";
    const Compressed out = Compress(input);
    ExpectRoundTrip(out, input);
    const DecodedStream d = DecodeDeflate(out.bytes);
    ASSERT_EQ(d.matches.size(), c.expected.size());
    for (std::size_t i = 0; i < c.expected.size(); ++i) {
      EXPECT_EQ(d.matches[i].length, c.expected[i].length);
      EXPECT_EQ(d.matches[i].distance, c.expected[i].distance);
    }
  }
}

TEST(DeflateEngine, FindsMatchesAcrossAWindowSlide) {
  // A 20,000-byte random piece repeated every 30,000 bytes: the later
  // copies lie across and after window slides and must still be found.
  const std::string piece = fx::RandomBytes(20000, 7);
  const std::string input = piece + fx::RandomBytes(10000, 8) + piece + fx::RandomBytes(10000, 9) + piece +
                            fx::RandomBytes(10000, 10) + piece;
  const Compressed out = Compress(input);
  ExpectRoundTrip(out, input);
  const DecodedStream d = DecodeDeflate(out.bytes);
  std::size_t copied = 0;
  for (const auto& m : d.matches) copied += m.length;
  EXPECT_GE(copied, 3 * piece.size() - 1000);
}

// Input whose second block has badly skewed literal/length frequencies.
// First 32,767 bytes in which no three bytes repeat: one block of literals
// only. Then marker bytes 0x80 + i, Fibonacci(i + 2) times each in random
// order, each after a 4-byte copy of earlier input, so the second block
// holds the markers, one length code and the end code. With the end code as
// the first 1, the counts make a Fibonacci series whose optimal code is 18
// bits deep.
std::string SkewedBlockInput(std::uint32_t seed) {
  std::mt19937 gen(seed);
  std::string out;
  std::set<std::uint32_t> seen;
  while (out.size() < 32767) {
    const auto c = static_cast<unsigned char>(gen() % 0x70);
    if (out.size() >= 2) {
      const std::uint32_t trigram =
          static_cast<unsigned char>(out[out.size() - 2]) << 16 | static_cast<unsigned char>(out.back()) << 8 | c;
      if (!seen.insert(trigram).second) continue;
    }
    out += static_cast<char>(c);
  }
  std::string markers;
  std::uint32_t a = 1;
  std::uint32_t b = 1;
  for (int i = 0; i < 17; ++i) {
    markers.append(b, static_cast<char>(0x80 + i));
    const std::uint32_t next = a + b;
    a = b;
    b = next;
  }
  std::shuffle(markers.begin(), markers.end(), gen);

  // Each copy must be found as exactly one 4-byte match: no earlier 4 bytes
  // equal the byte before it and its first three, or its last three and the
  // marker after it.
  std::set<std::uint32_t> quads;
  const auto quad = [](std::string_view s, std::size_t at) {
    std::uint32_t q = 0;
    for (std::size_t i = 0; i < 4; ++i) q = q << 8 | static_cast<unsigned char>(s[at + i]);
    return q;
  };
  for (std::size_t i = 0; i + 4 <= out.size(); ++i) quads.insert(quad(out, i));
  for (char m : markers) {
    std::string unit;  // the byte before, the copy, the marker
    do {
      const std::size_t src = out.size() - 8 - gen() % 30000;
      unit = out.back() + out.substr(src, 4) + m;
    } while (quads.count(quad(unit, 0)) || quads.count(quad(unit, 2)));
    out += unit.substr(1);
    for (std::size_t i = out.size() - 8; i + 4 <= out.size(); ++i) quads.insert(quad(out, i));
  }
  return out;
}

TEST(DeflateEngine, LimitsCodeLengthsOfSkewedBlocks) {
  const std::string input = SkewedBlockInput(11);
  const Compressed out = Compress(input);
  ExpectRoundTrip(out, input);
  const DecodedStream d = DecodeDeflate(out.bytes);
  bool limited = false;
  for (const auto& block : d.blocks) {
    if (block.type != BlockType::Dynamic) continue;
    EXPECT_LE(*std::max_element(block.literalLengths.begin(), block.literalLengths.end()), 15);
    EXPECT_LE(*std::max_element(block.distanceLengths.begin(), block.distanceLengths.end()), 15);
    EXPECT_LE(*std::max_element(block.codeLengthLengths.begin(), block.codeLengthLengths.end()), 7);
    limited |= fx::HuffmanDepth(block.symbolCounts) > 15;
  }
  EXPECT_TRUE(limited) << "the fixture no longer needs codes longer than 15 bits";
}

TEST(DeflateEngine, AReusedStateCompressesLikeAFreshOne) {
  // A long entry leaves its window, hash chains and trees behind; the
  // entries after it must not be affected by them.
  const std::string inputs[] = {fx::Text(200000, 5),     fx::Text(50000, 5),     "",
                                fx::WorksheetXml(80000), fx::RandomBytes(70000), fx::Text(3000, 5)};
  DeflateStatePtr shared;
  for (const std::string& input : inputs) {
    SCOPED_TRACE(input.size());
    const Compressed reused = Compress(shared, input);
    ExpectRoundTrip(reused, input);
    EXPECT_EQ(reused.bytes, Compress(input).bytes);
  }
}

TEST(DeflateEngine, FindsTheSameMatchesAsTheOneStepChainSearch) {
  // The level's rules fix every match the engine takes: which candidates a
  // search looks at, in which order, and when it stops. A faster search must
  // take the same ones, so the streams of these inputs (with window slides,
  // long chains, matches of every length, level 4's short chain limit and
  // both loops) keep the size and CRC-32 they had when the search followed
  // one chain link per step.
  struct Case {
    std::string input;
    int level;
    std::size_t size;
    std::uint32_t crc;
  };
  const Case cases[] = {{fx::WorksheetXml(300000), 8, 58778, 0xB772A7B0}, {fx::Text(200000), 8, 37705, 0x514669C7},
                        {fx::Copies(300000), 8, 9687, 0xE0B5A05C},        {fx::Text(200000), 4, 45063, 0x682158D0},
                        {fx::WorksheetXml(300000), 1, 74627, 0x083C3DEB}, {fx::Text(200000), 3, 45548, 0xC0DF2AA8}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.input.size() << " bytes at level " << c.level);
    DeflateStatePtr state;
    const Compressed out = Compress(state, c.input, kAll, 16384, c.level);
    ExpectRoundTrip(out, c.input);
    EXPECT_EQ(out.bytes.size(), c.size);
    EXPECT_EQ(crc32(0, out.bytes.data(), static_cast<uInt>(out.bytes.size())), c.crc);
  }
}

// The chain limit holds wherever the search looks: a long match whose
// candidate lies one place beyond the limit of its hash chain is not taken,
// one place within it is. Filler units "xyz" + six bytes of the target's
// text + two bytes of a counter put `units` candidates on the chain before
// the target, each a shorter match. With a short match at the position
// before, the limit is 1,024 candidates; after a match of 32 bytes or more,
// a quarter of that.
struct ChainLimitCase {
  std::string input;
  fx::Match taken;
  fx::Match notTaken;
};

std::string FillerUnits(std::string_view start, unsigned units) {
  std::string out;
  for (unsigned k = 0; k < units; ++k) {
    out += "xyz";
    out += start.substr(0, 6);
    out += static_cast<char>(0x80 | ((k >> 6) & 0x3F));
    out += static_cast<char>(0xC0 | (k & 0x3F));
  }
  return out;
}

// "Z", target, filler, target: the second target matches the first from
// its start, 60 bytes back past the filler, or (where that candidate is out
// of reach) from its tenth byte, after the match of its first nine bytes
// with the last filler unit was taken.
ChainLimitCase AfterAShortMatch(unsigned units) {
  const std::string text = "ABCDEFGHIJKLMNOPQRSTUVWabcdefghijklmnopqrstuvw0123456789";
  const std::string target = "xyz" + text;
  const std::string filler = FillerUnits(text, units);
  const auto distance = static_cast<unsigned>(target.size() + filler.size());
  const unsigned length = static_cast<unsigned>(target.size());
  return {"Z" + target + filler + target, {length, distance}, {length - 9, distance}};
}

// As above, with a near copy of the target's first 40 bytes (led by "W")
// before the second target: its match at the "W" is 40 bytes long, so the
// search one byte later, for the whole target, has a quarter of the limit.
ChainLimitCase AfterALongMatch(unsigned units) {
  const std::string text = "ABCDEFGHIJKLMNOPQRSTUVWabcdefghijklmnopqrstuvw0123456789!$%&";
  const std::string target = "xyz" + text;
  const std::string nearCopy = "W" + target.substr(0, 39) + "#";
  const std::string filler = FillerUnits(text, units);
  const auto distance = static_cast<unsigned>(target.size() + filler.size() + nearCopy.size() + 1);
  return {"Z" + target + filler + nearCopy + "W" + target,
          {static_cast<unsigned>(target.size()), distance},
          {40, static_cast<unsigned>(nearCopy.size())}};
}

bool HasMatch(const DecodedStream& d, fx::Match m) {
  return std::any_of(d.matches.begin(), d.matches.end(),
                     [&](const fx::Match& x) { return x.length == m.length && x.distance == m.distance; });
}

TEST(DeflateEngine, TakesNoCandidateBeyondTheChainLimit) {
  struct Case {
    const char* name;
    ChainLimitCase fixture;
    bool reached;
  };
  const Case cases[] = {
      {"last candidate within the limit", AfterAShortMatch(1023), true},
      {"first candidate beyond the limit", AfterAShortMatch(1024), false},
      {"last candidate within a quarter of the limit", AfterALongMatch(254), true},
      {"first candidate beyond a quarter of the limit", AfterALongMatch(255), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string& input = c.fixture.input;
    const Compressed out = Compress(input);
    ExpectRoundTrip(out, input);
    const DecodedStream d = DecodeDeflate(out.bytes);
    EXPECT_EQ(HasMatch(d, c.fixture.taken), c.reached);
    EXPECT_EQ(HasMatch(d, c.fixture.notTaken), !c.reached);
  }
}

// The stream depends on the input only, not on how much of it each read
// delivers: the reads of a file may fall short anywhere.
TEST(DeflateEngine, GivesTheSameStreamWhateverTheReadsDeliver) {
  const std::string inputs[] = {fx::Copies(300000), fx::WorksheetXml(300000)};
  for (const std::string& input : inputs) {
    const Compressed whole = Compress(input);
    ExpectRoundTrip(whole, input);
    for (std::size_t chunk : {1, 7, 263, 4099}) {
      SCOPED_TRACE(testing::Message() << input.size() << " bytes read " << chunk << " at a time");
      EXPECT_EQ(Compress(input, chunk).bytes, whole.bytes);
    }
  }
}

TEST(DeflateEngine, StopsWritingAfterAShortWrite) {
  struct Case {
    const char* name;
    std::string input;
    int acceptedWrites;
  };
  const Case cases[] = {
      {"first write", fx::Text(200000), 0},
      {"in the middle of coded blocks", fx::Text(400000), 3},
      {"stored block data", fx::RandomBytes(300000), 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::size_t pos = 0;
    const DeflateReader read = [&](std::uint8_t* buffer, std::size_t maxBytes) {
      const std::size_t n = std::min(maxBytes, c.input.size() - pos);
      std::memcpy(buffer, c.input.data() + pos, n);
      pos += n;
      return static_cast<long>(n);
    };
    int writes = 0;
    int writesAfterFailure = 0;
    std::size_t accepted = 0;
    const DeflateFlush flush = [&](const std::uint8_t*, std::size_t& count) {
      if (writes++ > c.acceptedWrites) ++writesAfterFailure;
      if (writes <= c.acceptedWrites) {
        accepted += count;
        count = 0;
      }
    };
    DeflateStatePtr state;
    std::vector<std::uint8_t> buffer(16384);
    std::uint16_t flags = 0;
    const DeflateResult result = DeflateEntry(state, read, flush, buffer, flags);
    EXPECT_TRUE(result.failed);
    EXPECT_NE(result.error, nullptr);
    EXPECT_EQ(writes, c.acceptedWrites + 1);
    EXPECT_EQ(writesAfterFailure, 0);
    EXPECT_EQ(result.compressedSize, accepted);
    // The same state still serves the next entry.
    const std::string next = fx::Text(10000);
    ExpectRoundTrip(Compress(state, next), next);
  }
}

}  // namespace
}  // namespace Xlsx
