#include "tests/xlsx/zip/stream_decoder.h"

#include <algorithm>
#include <functional>
#include <queue>

namespace Xlsx::ZipFixtures {

namespace {

constexpr std::array<unsigned, 29> kLengthBase = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                                  31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<unsigned, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                   2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<unsigned, 30> kDistBase = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                                33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                                1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<unsigned, 30> kDistExtra = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                                 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr std::array<unsigned, 19> kCodeLengthOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                       11, 4,  12, 3, 13, 2, 14, 1, 15};

struct Failure {
  std::string what;
};

class BitReader {
 public:
  explicit BitReader(std::span<const std::uint8_t> in) : in_(in) {}
  unsigned Bits(unsigned n) {
    unsigned v = 0;
    for (unsigned i = 0; i < n; ++i) {
      if (pos_ >= in_.size()) throw Failure{"stream ends early"};
      v |= ((in_[pos_] >> bit_) & 1u) << i;
      if (++bit_ == 8) {
        bit_ = 0;
        ++pos_;
      }
    }
    return v;
  }
  void AlignToByte() {
    if (bit_ != 0) {
      bit_ = 0;
      ++pos_;
    }
  }
  std::uint8_t Byte() {
    if (pos_ >= in_.size()) throw Failure{"stream ends early"};
    return in_[pos_++];
  }
  std::size_t BytesUsed() const { return pos_ + (bit_ != 0 ? 1 : 0); }

 private:
  std::span<const std::uint8_t> in_;
  std::size_t pos_ = 0;
  unsigned bit_ = 0;
};

// Canonical prefix code: count per length and symbols in code order.
struct Code {
  std::array<unsigned, 16> count{};
  std::vector<unsigned> symbols;
};

Code BuildCode(const std::uint8_t* lengths, unsigned n, const char* name, bool mustBeComplete) {
  Code c;
  for (unsigned i = 0; i < n; ++i) ++c.count[lengths[i]];
  c.count[0] = 0;
  int left = 1;
  for (int len = 1; len <= 15; ++len) {
    left = left * 2 - static_cast<int>(c.count[len]);
    if (left < 0) throw Failure{std::string(name) + " code is over-full"};
  }
  if (left > 0 && mustBeComplete) throw Failure{std::string(name) + " code is incomplete"};
  std::array<unsigned, 16> offset{};
  for (int len = 1; len < 15; ++len) offset[len + 1] = offset[len] + c.count[len];
  c.symbols.resize(n);
  for (unsigned i = 0; i < n; ++i)
    if (lengths[i] != 0) c.symbols[offset[lengths[i]]++] = i;
  return c;
}

unsigned DecodeSymbol(BitReader& in, const Code& c) {
  int code = 0;
  int first = 0;
  int index = 0;
  for (int len = 1; len <= 15; ++len) {
    code |= static_cast<int>(in.Bits(1));
    const int count = static_cast<int>(c.count[len]);
    if (code - count < first) return c.symbols[static_cast<std::size_t>(index + (code - first))];
    index += count;
    first = (first + count) << 1;
    code <<= 1;
  }
  throw Failure{"no such code"};
}

void DecodeCodes(BitReader& in, DecodedStream& out, DecodedBlock& block, const Code& lit, const Code& dist) {
  for (;;) {
    const unsigned symbol = DecodeSymbol(in, lit);
    ++block.symbolCounts[symbol];
    if (symbol < 256) {
      out.data.push_back(static_cast<std::uint8_t>(symbol));
      continue;
    }
    if (symbol == 256) return;
    const unsigned li = symbol - 257;
    if (li >= kLengthBase.size()) throw Failure{"bad length symbol"};
    const unsigned length = kLengthBase[li] + in.Bits(kLengthExtra[li]);
    const unsigned di = DecodeSymbol(in, dist);
    if (di >= kDistBase.size()) throw Failure{"bad distance symbol"};
    const unsigned distance = kDistBase[di] + in.Bits(kDistExtra[di]);
    if (distance > out.data.size()) throw Failure{"distance before the start"};
    out.matches.push_back({length, distance});
    for (unsigned i = 0; i < length; ++i) out.data.push_back(out.data[out.data.size() - distance]);
  }
}

void DecodeDynamic(BitReader& in, DecodedStream& out, DecodedBlock& block) {
  const unsigned hlit = in.Bits(5) + 257;
  const unsigned hdist = in.Bits(5) + 1;
  const unsigned hclen = in.Bits(4) + 4;
  if (hlit > 286 || hdist > 30) throw Failure{"too many codes"};
  for (unsigned i = 0; i < hclen; ++i)
    block.codeLengthLengths[kCodeLengthOrder[i]] = static_cast<std::uint8_t>(in.Bits(3));
  const Code clCode = BuildCode(block.codeLengthLengths.data(), 19, "code-length", true);

  std::vector<std::uint8_t> lengths;
  while (lengths.size() < hlit + hdist) {
    const unsigned symbol = DecodeSymbol(in, clCode);
    ++block.codeLengthSymbolCounts[symbol];
    if (symbol < 16) {
      lengths.push_back(static_cast<std::uint8_t>(symbol));
      continue;
    }
    std::uint8_t value = 0;
    unsigned repeat = 0;
    if (symbol == 16) {
      if (lengths.empty()) throw Failure{"repeat without a length"};
      value = lengths.back();
      repeat = 3 + in.Bits(2);
    } else if (symbol == 17) {
      repeat = 3 + in.Bits(3);
    } else {
      repeat = 11 + in.Bits(7);
    }
    if (lengths.size() + repeat > hlit + hdist) throw Failure{"repeat past the end"};
    lengths.insert(lengths.end(), repeat, value);
  }
  if (lengths[256] == 0) throw Failure{"no end-of-block code"};
  block.literalLengths.assign(lengths.begin(), lengths.begin() + hlit);
  block.distanceLengths.assign(lengths.begin() + hlit, lengths.end());
  const Code lit = BuildCode(block.literalLengths.data(), hlit, "literal/length", true);
  const Code dist = BuildCode(block.distanceLengths.data(), hdist, "distance", true);
  DecodeCodes(in, out, block, lit, dist);
}

void DecodeFixed(BitReader& in, DecodedStream& out, DecodedBlock& block) {
  std::array<std::uint8_t, 288> litLengths{};
  for (unsigned i = 0; i < 288; ++i) litLengths[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
  std::array<std::uint8_t, 30> distLengths{};
  distLengths.fill(5);
  const Code lit = BuildCode(litLengths.data(), 288, "fixed literal/length", true);
  const Code dist = BuildCode(distLengths.data(), 30, "fixed distance", false);
  DecodeCodes(in, out, block, lit, dist);
}

void DecodeStored(BitReader& in, DecodedStream& out, DecodedBlock& block) {
  in.AlignToByte();
  unsigned field[4];
  for (unsigned& b : field) b = in.Byte();
  const unsigned len = field[0] | field[1] << 8;
  const unsigned nlen = field[2] | field[3] << 8;
  if ((len ^ 0xFFFF) != nlen) throw Failure{"NLEN is not the complement of LEN"};
  block.storedLength = len;
  for (unsigned i = 0; i < len; ++i) out.data.push_back(in.Byte());
}

}  // namespace

DecodedStream DecodeDeflate(std::span<const std::uint8_t> stream) {
  DecodedStream out;
  BitReader in(stream);
  try {
    bool last = false;
    while (!last) {
      DecodedBlock block;
      last = block.last = in.Bits(1) != 0;
      switch (in.Bits(2)) {
        case 0:
          block.type = BlockType::Stored;
          DecodeStored(in, out, block);
          break;
        case 1:
          block.type = BlockType::Fixed;
          DecodeFixed(in, out, block);
          break;
        case 2:
          block.type = BlockType::Dynamic;
          DecodeDynamic(in, out, block);
          break;
        default:
          throw Failure{"reserved block type"};
      }
      out.blocks.push_back(std::move(block));
    }
    out.bytesUsed = in.BytesUsed();
    out.ok = true;
  } catch (const Failure& f) {
    out.error = f.what;
  }
  return out;
}

int HuffmanDepth(std::span<const std::uint32_t> frequencies) {
  using Node = std::pair<std::uint64_t, int>;  // weight, depth of the subtree
  std::priority_queue<Node, std::vector<Node>, std::greater<>> heap;
  for (std::uint32_t f : frequencies)
    if (f != 0) heap.push({f, 0});
  if (heap.size() < 2) return heap.empty() ? 0 : 1;
  while (heap.size() > 1) {
    const Node a = heap.top();
    heap.pop();
    const Node b = heap.top();
    heap.pop();
    heap.push({a.first + b.first, std::max(a.second, b.second) + 1});
  }
  return heap.top().second;
}

}  // namespace Xlsx::ZipFixtures
