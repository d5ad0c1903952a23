#include "xlsx/deflate.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <utility>

#include "platform/os/byte_order.h"

namespace Xlsx {

namespace {

// Matching limits.
constexpr unsigned kMinMatch = 3;
constexpr unsigned kMaxMatch = 258;
constexpr unsigned kMinLookahead = kMaxMatch + kMinMatch + 1;  // 262
constexpr unsigned kWSize = 32768;                             // one half of the window
constexpr unsigned kWMask = kWSize - 1;
constexpr unsigned kWindowSize = 2 * kWSize;
constexpr unsigned kMaxDist = kWSize - kMinLookahead;  // 32,506
constexpr unsigned kTooFar = 4096;                     // a 3-byte match farther than this is not worth it

// Hash of the next three bytes: 15 bits, five bits of shift per byte.
constexpr unsigned kHashBits = 15;
constexpr unsigned kHashSize = 1u << kHashBits;
constexpr unsigned kHashMask = kHashSize - 1;
constexpr unsigned kHashShift = 5;

// Level chains (lazy levels only): beside the chain of its first three
// bytes, every position is put on one chain per length below, of the
// positions whose first that many bytes hash alike. Once the search holds a
// match of bestLen bytes, only a candidate that shares its first bestLen + 1
// bytes can be longer, and all of those are on the chain of the longest
// level length up to bestLen + 1: the search follows that chain and passes
// over the candidates the three-byte chain holds in between, which could not
// win. On worksheet XML most of a three-byte chain is such candidates.
constexpr std::array<unsigned, 4> kLevelLengths = {8, 12, 16, 20};
constexpr unsigned kLevelCount = kLevelLengths.size();
constexpr unsigned kMaxLevelLength = kLevelLengths.back();
constexpr unsigned kLevelHashBits = 15;
constexpr unsigned kLevelHashSize = 1u << kLevelHashBits;

// kLevelFor[n]: how many level lengths are at most n + 1, so that with a
// match of n bytes in hand the search can follow level chain
// kLevelFor[n] - 1 (none when 0).
constexpr std::array<std::uint8_t, kMaxMatch + 1> MakeLevelFor() {
  std::array<std::uint8_t, kMaxMatch + 1> table{};
  for (unsigned n = 0; n <= kMaxMatch; ++n)
    for (unsigned length : kLevelLengths) table[n] += length <= n + 1 ? 1 : 0;
  return table;
}
constexpr std::array<std::uint8_t, kMaxMatch + 1> kLevelFor = MakeLevelFor();

// Tally buffers: one byte per symbol, a distance per match, one flag bit per
// symbol (1 = match).
constexpr unsigned kLitBufSize = 32768;
constexpr unsigned kDistBufSize = 32768;
constexpr unsigned kFlagBufSize = kLitBufSize / 8;

// Code alphabets (RFC 1951).
constexpr int kLengthCodes = 29;
constexpr int kLiterals = 256;
constexpr int kEndBlock = 256;
constexpr int kLCodes = kLiterals + 1 + kLengthCodes;  // 286
constexpr int kDCodes = 30;
constexpr int kBlCodes = 19;
constexpr int kFixedLCodes = kLCodes + 2;  // 288
constexpr int kMaxBits = 15;
constexpr int kMaxBlBits = 7;
constexpr int kHeapSize = 2 * kLCodes + 1;  // 573

// Run-length codes for the code lengths.
constexpr int kRep3To6 = 16;
constexpr int kRepZero3To10 = 17;
constexpr int kRepZero11To138 = 18;

constexpr std::array<std::uint8_t, kLengthCodes> kExtraLengthBits = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                                     2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<std::uint8_t, kDCodes> kExtraDistBits = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                                              6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr std::array<std::uint8_t, kBlCodes> kExtraBlBits = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 3, 7};
// The order in which the code-length code lengths are sent.
constexpr std::array<std::uint8_t, kBlCodes> kBlOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                         11, 4,  12, 3, 13, 2, 14, 1, 15};

// Level parameters: good length, lazy limit, nice length, chain limit.
struct LevelConfig {
  unsigned goodLength;
  unsigned lazyLimit;
  unsigned niceLength;
  unsigned chainLimit;
};
constexpr std::array<LevelConfig, 10> kLevelConfig = {{{0, 0, 0, 0},
                                                       {4, 4, 8, 4},
                                                       {4, 5, 16, 8},
                                                       {4, 6, 32, 32},
                                                       {4, 4, 16, 16},
                                                       {8, 16, 32, 32},
                                                       {8, 16, 128, 128},
                                                       {8, 32, 128, 256},
                                                       {32, 128, 258, 1024},
                                                       {32, 258, 258, 4096}}};
constexpr int kLevel = 8;
// Bit 1 of a ZIP entry's flags: deflated at a maximum-compression level.
constexpr std::uint16_t kMaximumCompressionFlag = 0x0002;
// Bit 2: deflated at a fast level (2 or less).
constexpr std::uint16_t kFastCompressionFlag = 0x0004;

// A tree node: frequency while the tree is built, then its code and length.
struct TreeNode {
  std::uint32_t freq;
  std::uint16_t code;
  std::uint16_t len;
  std::uint16_t dad;
};

constexpr unsigned ReverseBits(unsigned code, unsigned len) {
  unsigned r = 0;
  for (unsigned i = 0; i < len; ++i) {
    r = (r << 1) | (code & 1);
    code >>= 1;
  }
  return r;
}

// Assigns canonical codes (bit-reversed for LSB-first output) from the
// number of codes per length. False when the lengths do not form a complete
// prefix code.
constexpr bool GenerateCodes(TreeNode* tree, int maxCode, const std::uint16_t* countPerLength) {
  std::uint16_t nextCode[kMaxBits + 1] = {};
  unsigned code = 0;
  for (int bits = 1; bits <= kMaxBits; ++bits) {
    code = (code + countPerLength[bits - 1]) << 1;
    nextCode[bits] = static_cast<std::uint16_t>(code);
  }
  if (code + countPerLength[kMaxBits] != (1u << kMaxBits)) return false;
  for (int n = 0; n <= maxCode; ++n) {
    const unsigned len = tree[n].len;
    if (len == 0) continue;
    tree[n].code = static_cast<std::uint16_t>(ReverseBits(nextCode[len]++, len));
  }
  return true;
}

// The length and distance code tables and the fixed-code trees of RFC 1951.
struct CodeTables {
  std::array<std::uint8_t, 256> lengthCode{};  // match length - 3 -> length code
  std::array<std::uint16_t, kLengthCodes> baseLength{};
  std::array<std::uint8_t, 512> distCode{};  // see DistanceCode
  std::array<std::uint16_t, kDCodes> baseDist{};
  std::array<TreeNode, kFixedLCodes> fixedLit{};
  std::array<TreeNode, kDCodes> fixedDist{};
  unsigned lengthTotal = 0;
  unsigned distTotal = 0;
  unsigned farDistTotal = 0;
  bool fixedComplete = false;
};

constexpr CodeTables MakeCodeTables() {
  CodeTables t;
  unsigned length = 0;
  for (int code = 0; code < kLengthCodes - 1; ++code) {
    t.baseLength[code] = static_cast<std::uint16_t>(length);
    for (unsigned n = 0; n < (1u << kExtraLengthBits[code]); ++n)
      t.lengthCode[length++] = static_cast<std::uint8_t>(code);
  }
  t.lengthTotal = length;
  // Length 258 has a code of its own, in place of 227 + 31 of the code before.
  t.lengthCode[255] = kLengthCodes - 1;
  t.baseLength[kLengthCodes - 1] = 255;

  unsigned dist = 0;
  for (int code = 0; code < 16; ++code) {
    t.baseDist[code] = static_cast<std::uint16_t>(dist);
    for (unsigned n = 0; n < (1u << kExtraDistBits[code]); ++n) t.distCode[dist++] = static_cast<std::uint8_t>(code);
  }
  t.distTotal = dist;
  dist >>= 7;  // from here on, distances are counted in units of 128
  for (int code = 16; code < kDCodes; ++code) {
    t.baseDist[code] = static_cast<std::uint16_t>(dist << 7);
    for (unsigned n = 0; n < (1u << (kExtraDistBits[code] - 7)); ++n)
      t.distCode[256 + dist++] = static_cast<std::uint8_t>(code);
  }
  t.farDistTotal = 256 + dist;

  std::uint16_t count[kMaxBits + 1] = {};
  for (int n = 0; n < kFixedLCodes; ++n) {
    const std::uint16_t len = n <= 143 ? 8 : n <= 255 ? 9 : n <= 279 ? 7 : 8;
    t.fixedLit[n].len = len;
    ++count[len];
  }
  t.fixedComplete = GenerateCodes(t.fixedLit.data(), kFixedLCodes - 1, count);
  for (int n = 0; n < kDCodes; ++n) {
    t.fixedDist[n].len = 5;
    t.fixedDist[n].code = static_cast<std::uint16_t>(ReverseBits(static_cast<unsigned>(n), 5));
  }
  return t;
}

constexpr CodeTables kTables = MakeCodeTables();
static_assert(kTables.lengthTotal == 256, "length codes must cover 256 lengths");
static_assert(kTables.distTotal == 256, "short distance codes must cover 256 distances");
static_assert(kTables.farDistTotal == 512, "long distance codes must fill the table");
static_assert(kTables.fixedComplete, "fixed literal/length codes must be complete");

constexpr unsigned DistanceCode(unsigned dist) {
  return dist < 256 ? kTables.distCode[dist] : kTables.distCode[256 + (dist >> 7)];
}

// What a Huffman tree is built from, and its largest used code once built.
struct TreeDesc {
  TreeNode* tree;
  const TreeNode* fixed;  // fixed codes for cost estimates, or nullptr
  const std::uint8_t* extraBits;
  int extraBase;
  int elems;
  int maxLength;
  int maxCode;
};

}  // namespace

struct DeflateState {
  // Per entry: where input comes from and output goes.
  const DeflateReader* read = nullptr;
  const DeflateFlush* flush = nullptr;
  std::uint8_t* out = nullptr;
  std::size_t outSize = 0;
  std::size_t outOffset = 0;
  bool outputFailed = false;
  std::uint64_t bytesOut = 0;
  const char* error = nullptr;
  int level = kLevel;

  // Window: two halves; the lower one is discarded when the upper one fills.
  std::array<std::uint8_t, kWindowSize> window;
  // Hash chains: head[hash] is the latest position with that hash;
  // prev[pos & kWMask] is the one before pos on its chain. Position 0 means
  // the chain has ended. Positions are below kWindowSize and fit in 16 bits.
  std::array<std::uint16_t, kHashSize> head;
  std::array<std::uint16_t, kWSize> prev;
  // How many positions have been put on each hash's chain, modulo 2^16, and
  // for each position that count when it was put there: two positions on one
  // chain lie the difference of their ranks apart on it (the window holds
  // fewer than 2^16), which tells a level search how far down the hash chain
  // a candidate is.
  std::array<std::uint16_t, kHashSize> chainCount;
  std::array<std::uint16_t, kWSize> rank;
  // The level chains (see kLevelLengths), kept like head and prev. A
  // position joins them once its first kMaxLevelLength bytes have been read,
  // which may be after it joined its hash chain: levelNext is the first
  // position that has not, windowEnd the end of the bytes read.
  std::array<std::array<std::uint16_t, kLevelHashSize>, kLevelCount> levelHead;
  std::array<std::array<std::uint16_t, kWSize>, kLevelCount> levelPrev;
  unsigned levelNext = 0;
  unsigned windowEnd = 0;
  bool levelChains = false;  // this entry keeps level chains (lazy levels)

  unsigned insertHash = 0;
  unsigned strstart = 0;  // current position
  long blockStart = 0;    // negative once the block's start has slid out
  unsigned lookahead = 0;
  unsigned matchStart = 0;
  unsigned matchLength = 0;
  unsigned prevLength = 0;
  bool matchAvailable = false;
  bool eofile = false;

  unsigned goodMatch = 0;
  unsigned maxLazy = 0;
  unsigned niceMatch = 0;
  unsigned maxChain = 0;

  // Tallies of the current block.
  std::array<std::uint8_t, kLitBufSize> litBuf;
  std::array<std::uint16_t, kDistBufSize> distBuf;
  std::array<std::uint8_t, kFlagBufSize> flagBuf;
  unsigned lastLit = 0;
  unsigned lastDist = 0;
  unsigned lastFlags = 0;
  unsigned flags = 0;
  unsigned flagBit = 1;

  // Trees.
  std::array<TreeNode, kHeapSize> dynLtree;
  std::array<TreeNode, 2 * kDCodes + 1> dynDtree;
  std::array<TreeNode, 2 * kBlCodes + 1> blTree;
  std::array<std::uint16_t, kMaxBits + 1> blCount;
  std::array<int, kHeapSize> heap;
  int heapLen = 0;
  int heapMax = 0;
  std::array<std::uint16_t, kHeapSize> depth;

  // Block accounting, in bits.
  std::int64_t dynamicCost = 0;
  std::int64_t fixedCost = 0;
  std::uint64_t compressedBits = 0;
  std::uint64_t inputLength = 0;
  std::uint64_t bitsSent = 0;

  // Bit writer: bits go LSB-first into the accumulator.
  std::uint64_t bitBuf = 0;
  unsigned bitCount = 0;
};

void DeflateStateDeleter::operator()(DeflateState* state) const { delete state; }

namespace {

void Fail(DeflateState& s, const char* text) {
  if (!s.error) s.error = text;
}

// ---- Output ----------------------------------------------------------------

// Hands the buffered bytes to the flush callback. After a write that fell
// short nothing more is written; buffered bytes are dropped so the buffer
// never overflows.
void FlushOutput(DeflateState& s) {
  if (s.outOffset == 0) return;
  if (!s.outputFailed) {
    std::size_t count = s.outOffset;
    (*s.flush)(s.out, count);
    if (count == 0) {
      s.bytesOut += s.outOffset;
    } else {
      s.outputFailed = true;
      Fail(s, "output write failed");
    }
  }
  s.outOffset = 0;
}

inline void PutByte(DeflateState& s, unsigned b) {
  if (s.outOffset >= s.outSize) FlushOutput(s);
  s.out[s.outOffset++] = static_cast<std::uint8_t>(b);
}

inline void PutWord32(DeflateState& s, std::uint32_t v) {
  if (s.outSize - s.outOffset < 4) FlushOutput(s);
  ORV::Bytes::PutLE<std::uint32_t>(s.out + s.outOffset, v);
  s.outOffset += 4;
}

// Appends `length` (at most 32) bits of value.
inline void PutBits(DeflateState& s, std::uint32_t value, unsigned length) {
  s.bitsSent += length;
  s.bitBuf |= static_cast<std::uint64_t>(value) << s.bitCount;
  s.bitCount += length;
  if (s.bitCount >= 32) {
    PutWord32(s, static_cast<std::uint32_t>(s.bitBuf));
    s.bitBuf >>= 32;
    s.bitCount -= 32;
  }
}

// Sends a field of 1 to 15 bits.
inline void SendBits(DeflateState& s, unsigned value, unsigned length) {
  if (length == 0 || length > kMaxBits) [[unlikely]] {
    Fail(s, "invalid length");
    return;
  }
  PutBits(s, value, length);
}

// Sends the code of symbol n, followed by `extraLen` extra bits.
inline void SendCode(DeflateState& s, const TreeNode* tree, unsigned n, unsigned extra = 0, unsigned extraLen = 0) {
  const unsigned len = tree[n].len;
  if (len == 0) [[unlikely]] {
    Fail(s, "invalid length");
    return;
  }
  PutBits(s, tree[n].code | (extra << len), len + extraLen);
}

// Writes the pending bits up to a byte boundary and flushes the buffer.
void FlushBits(DeflateState& s) {
  while (s.bitCount > 0) {
    PutByte(s, static_cast<unsigned>(s.bitBuf & 0xFF));
    s.bitBuf >>= 8;
    s.bitCount = s.bitCount > 8 ? s.bitCount - 8 : 0;
  }
  s.bitBuf = 0;
  s.bitsSent = (s.bitsSent + 7) & ~std::uint64_t{7};
  FlushOutput(s);
}

// A stored block's body: LEN, NLEN and the raw bytes.
void CopyStoredBlock(DeflateState& s, const std::uint8_t* bytes, unsigned length) {
  FlushBits(s);
  PutByte(s, length & 0xFF);
  PutByte(s, (length >> 8) & 0xFF);
  PutByte(s, ~length & 0xFF);
  PutByte(s, (~length >> 8) & 0xFF);
  s.bitsSent += 32;
  FlushOutput(s);
  if (length > 0 && !s.outputFailed) {
    std::size_t count = length;
    (*s.flush)(bytes, count);
    if (count == 0) {
      s.bytesOut += length;
    } else {
      s.outputFailed = true;
      Fail(s, "output write failed");
    }
  }
  s.bitsSent += std::uint64_t{length} * 8;
}

// ---- Trees -----------------------------------------------------------------

void InitBlock(DeflateState& s) {
  for (int n = 0; n < kLCodes; ++n) s.dynLtree[n].freq = 0;
  for (int n = 0; n < kDCodes; ++n) s.dynDtree[n].freq = 0;
  for (int n = 0; n < kBlCodes; ++n) s.blTree[n].freq = 0;
  s.dynLtree[kEndBlock].freq = 1;
  s.dynamicCost = 0;
  s.fixedCost = 0;
  s.lastLit = 0;
  s.lastDist = 0;
  s.lastFlags = 0;
  s.flags = 0;
  s.flagBit = 1;
}

// Heap order: smaller frequency first; at equal frequency the shallower node.
inline bool Smaller(const TreeNode* tree, const std::uint16_t* depth, int n, int m) {
  return tree[n].freq < tree[m].freq || (tree[n].freq == tree[m].freq && depth[n] <= depth[m]);
}

void SiftDown(DeflateState& s, const TreeNode* tree, int k) {
  const int v = s.heap[k];
  int j = k << 1;
  while (j <= s.heapLen) {
    if (j < s.heapLen && Smaller(tree, s.depth.data(), s.heap[j + 1], s.heap[j])) ++j;
    if (Smaller(tree, s.depth.data(), v, s.heap[j])) break;
    s.heap[k] = s.heap[j];
    k = j;
    j <<= 1;
  }
  s.heap[k] = v;
}

// Code lengths from the built tree, limited to the tree's maximum length,
// with the costs of the block under these lengths and under the fixed codes.
void GenerateBitLengths(DeflateState& s, TreeDesc& d) {
  TreeNode* tree = d.tree;
  const int maxLength = d.maxLength;
  s.blCount.fill(0);

  // Parents come before their children in heap[heapMax..].
  tree[s.heap[s.heapMax]].len = 0;
  int overflow = 0;
  for (int h = s.heapMax + 1; h < kHeapSize; ++h) {
    const int n = s.heap[h];
    int bits = tree[tree[n].dad].len + 1;
    if (bits > maxLength) {
      bits = maxLength;
      ++overflow;
    }
    tree[n].len = static_cast<std::uint16_t>(bits);
    if (n > d.maxCode) continue;  // not a leaf
    ++s.blCount[bits];
    const int extra = n >= d.extraBase ? d.extraBits[n - d.extraBase] : 0;
    const std::int64_t f = tree[n].freq;
    s.dynamicCost += f * (bits + extra);
    if (d.fixed) s.fixedCost += f * (d.fixed[n].len + extra);
  }
  if (overflow == 0) return;

  // Too deep: move leaves up from the limit until the lengths form a
  // prefix code again. Each step turns a leaf above the limit into a parent
  // of two leaves one level deeper and removes one leaf from the limit.
  do {
    int bits = maxLength - 1;
    while (s.blCount[bits] == 0) --bits;
    --s.blCount[bits];
    s.blCount[bits + 1] += 2;
    --s.blCount[maxLength];
    overflow -= 2;
  } while (overflow > 0);

  // Hand the lengths out again, longest first, to the leaves in the order
  // they left the heap (least frequent first).
  int h = kHeapSize;
  for (int bits = maxLength; bits != 0; --bits) {
    int n = s.blCount[bits];
    while (n != 0) {
      const int m = s.heap[--h];
      if (m > d.maxCode) continue;
      if (tree[m].len != bits) {
        s.dynamicCost += (static_cast<std::int64_t>(bits) - tree[m].len) * tree[m].freq;
        tree[m].len = static_cast<std::uint16_t>(bits);
      }
      --n;
    }
  }
}

// Builds the Huffman tree of d from its frequencies: code lengths, codes and
// the largest used code.
void BuildTree(DeflateState& s, TreeDesc& d) {
  TreeNode* tree = d.tree;
  std::uint16_t* depth = s.depth.data();
  int maxCode = -1;
  s.heapLen = 0;
  s.heapMax = kHeapSize;
  for (int n = 0; n < d.elems; ++n) {
    if (tree[n].freq != 0) {
      s.heap[++s.heapLen] = maxCode = n;
      depth[n] = 0;
    } else {
      tree[n].len = 0;
    }
  }
  // A code needs at least two symbols; the added ones are never sent, so
  // their cost is taken back out.
  while (s.heapLen < 2) {
    const int node = s.heap[++s.heapLen] = maxCode < 2 ? ++maxCode : 0;
    tree[node].freq = 1;
    depth[node] = 0;
    --s.dynamicCost;
    if (d.fixed) s.fixedCost -= d.fixed[node].len;
  }
  d.maxCode = maxCode;

  for (int n = s.heapLen / 2; n >= 1; --n) SiftDown(s, tree, n);

  int node = d.elems;
  do {
    const int n = s.heap[1];
    s.heap[1] = s.heap[s.heapLen--];
    SiftDown(s, tree, 1);
    const int m = s.heap[1];
    s.heap[--s.heapMax] = n;
    s.heap[--s.heapMax] = m;
    tree[node].freq = tree[n].freq + tree[m].freq;
    depth[node] = static_cast<std::uint16_t>(std::max(depth[n], depth[m]) + 1);
    tree[n].dad = tree[m].dad = static_cast<std::uint16_t>(node);
    s.heap[1] = node++;
    SiftDown(s, tree, 1);
  } while (s.heapLen >= 2);
  s.heap[--s.heapMax] = s.heap[1];

  GenerateBitLengths(s, d);
  if (!GenerateCodes(tree, maxCode, s.blCount.data())) Fail(s, "inconsistent bit counts");
}

// Walks the code lengths of tree[0..count) as run-length codes: emit(symbol,
// extra value, extra bit count) for each code-length symbol.
template <typename Emit>
void ForEachLengthCode(const TreeNode* tree, int count, Emit emit) {
  int i = 0;
  while (i < count) {
    const unsigned len = tree[i].len;
    int run = 1;
    while (i + run < count && tree[i + run].len == len) ++run;
    i += run;
    if (len == 0) {
      while (run >= 11) {
        const int n = std::min(run, 138);
        emit(kRepZero11To138, static_cast<unsigned>(n - 11), 7u);
        run -= n;
      }
      if (run >= 3) {
        emit(kRepZero3To10, static_cast<unsigned>(run - 3), 3u);
        run = 0;
      }
    } else {
      emit(static_cast<int>(len), 0u, 0u);
      --run;
      while (run >= 3) {
        const int n = std::min(run, 6);
        emit(kRep3To6, static_cast<unsigned>(n - 3), 2u);
        run -= n;
      }
    }
    for (; run > 0; --run) emit(static_cast<int>(len), 0u, 0u);
  }
}

// Builds the code-length tree for the two trees and returns the index of
// the last code-length code to send (in kBlOrder, at least 3).
int BuildBlTree(DeflateState& s, const TreeDesc& l, const TreeDesc& d) {
  const auto count = [&s](int symbol, unsigned, unsigned) { ++s.blTree[symbol].freq; };
  ForEachLengthCode(l.tree, l.maxCode + 1, count);
  ForEachLengthCode(d.tree, d.maxCode + 1, count);
  TreeDesc bl{s.blTree.data(), nullptr, kExtraBlBits.data(), 0, kBlCodes, kMaxBlBits, 0};
  BuildTree(s, bl);
  int maxIndex = kBlCodes - 1;
  for (; maxIndex >= 3; --maxIndex)
    if (s.blTree[kBlOrder[maxIndex]].len != 0) break;
  // The code lengths, 3 bits each, and HLIT, HDIST, HCLEN.
  s.dynamicCost += 3 * (maxIndex + 1) + 5 + 5 + 4;
  return maxIndex;
}

void SendAllTrees(DeflateState& s, int lcodes, int dcodes, int blcodes) {
  if (lcodes < 257 || dcodes < 1 || blcodes < 4) Fail(s, "not enough codes");
  if (lcodes > kLCodes || dcodes > kDCodes || blcodes > kBlCodes) Fail(s, "too many codes");
  SendBits(s, static_cast<unsigned>(lcodes - 257), 5);
  SendBits(s, static_cast<unsigned>(dcodes - 1), 5);
  SendBits(s, static_cast<unsigned>(blcodes - 4), 4);
  for (int rank = 0; rank < blcodes; ++rank) PutBits(s, s.blTree[kBlOrder[rank]].len, 3);
  const auto send = [&s](int symbol, unsigned extra, unsigned extraLen) {
    SendCode(s, s.blTree.data(), static_cast<unsigned>(symbol), extra, extraLen);
  };
  ForEachLengthCode(s.dynLtree.data(), lcodes, send);
  ForEachLengthCode(s.dynDtree.data(), dcodes, send);
}

// Sends the block's tallies with the given trees, then the end-of-block code.
void CompressBlock(DeflateState& s, const TreeNode* ltree, const TreeNode* dtree) {
  unsigned lx = 0;
  unsigned dx = 0;
  unsigned fx = 0;
  unsigned flag = 0;
  while (lx < s.lastLit) {
    if ((lx & 7) == 0) flag = s.flagBuf[fx++];
    const unsigned lc = s.litBuf[lx++];
    if ((flag & 1) == 0) {
      SendCode(s, ltree, lc);
    } else {
      unsigned code = kTables.lengthCode[lc];
      SendCode(s, ltree, code + kLiterals + 1, lc - kTables.baseLength[code], kExtraLengthBits[code]);
      const unsigned dist = s.distBuf[dx++];
      code = DistanceCode(dist);
      if (code >= static_cast<unsigned>(kDCodes)) [[unlikely]] {
        Fail(s, "bad d_code");
      } else {
        SendCode(s, dtree, code, dist - kTables.baseDist[code], kExtraDistBits[code]);
      }
    }
    flag >>= 1;
  }
  SendCode(s, ltree, kEndBlock);
}

// Ends the block from blockStart to the current position: chooses stored,
// fixed or dynamic codes by size. `bytes` is the block's input, or nullptr
// when it has slid out of the window. Returns the entry's compressed length
// so far in whole bytes.
std::uint64_t EmitBlock(DeflateState& s, const std::uint8_t* bytes, std::uint64_t storedLength, bool last) {
  s.flagBuf[s.lastFlags] = static_cast<std::uint8_t>(s.flags);

  TreeDesc l{s.dynLtree.data(), kTables.fixedLit.data(), kExtraLengthBits.data(), kLiterals + 1, kLCodes, kMaxBits, 0};
  TreeDesc d{s.dynDtree.data(), kTables.fixedDist.data(), kExtraDistBits.data(), 0, kDCodes, kMaxBits, 0};
  BuildTree(s, l);
  BuildTree(s, d);
  const int maxBlIndex = BuildBlTree(s, l, d);

  std::uint64_t dynamicBytes = static_cast<std::uint64_t>(s.dynamicCost + 3 + 7) >> 3;
  const std::uint64_t fixedBytes = static_cast<std::uint64_t>(s.fixedCost + 3 + 7) >> 3;
  s.inputLength += storedLength;
  if (fixedBytes <= dynamicBytes) dynamicBytes = fixedBytes;

  const unsigned lastBit = last ? 1 : 0;
  if (bytes && storedLength <= 0xFFFF && storedLength + 4 <= dynamicBytes) {
    SendBits(s, 0 + lastBit, 3);
    s.compressedBits = (s.compressedBits + 3 + 7) & ~std::uint64_t{7};
    s.compressedBits += (storedLength + 4) << 3;
    CopyStoredBlock(s, bytes, static_cast<unsigned>(storedLength));
  } else if (fixedBytes == dynamicBytes) {
    SendBits(s, 2 + lastBit, 3);
    CompressBlock(s, kTables.fixedLit.data(), kTables.fixedDist.data());
    s.compressedBits += 3 + static_cast<std::uint64_t>(s.fixedCost);
  } else {
    SendBits(s, 4 + lastBit, 3);
    SendAllTrees(s, l.maxCode + 1, d.maxCode + 1, maxBlIndex + 1);
    CompressBlock(s, s.dynLtree.data(), s.dynDtree.data());
    s.compressedBits += 3 + static_cast<std::uint64_t>(s.dynamicCost);
  }
  if (s.compressedBits != s.bitsSent) Fail(s, "bad compressed size");
  InitBlock(s);
  if (last) {
    FlushBits(s);
    s.compressedBits += 7;
  }
  return s.compressedBits >> 3;
}

std::uint64_t FlushBlock(DeflateState& s, bool last) {
  const std::uint8_t* bytes = s.blockStart >= 0 ? s.window.data() + s.blockStart : nullptr;
  const auto storedLength = static_cast<std::uint64_t>(static_cast<long>(s.strstart) - s.blockStart);
  const std::uint64_t size = EmitBlock(s, bytes, storedLength, last);
  s.blockStart = static_cast<long>(s.strstart);
  return size;
}

// ---- Tallies ---------------------------------------------------------------

// Records a literal (dist 0, lc the byte) or a match (dist its distance, lc
// its length - 3). True when the block should end here.
bool Tally(DeflateState& s, unsigned dist, unsigned lc) {
  s.litBuf[s.lastLit++] = static_cast<std::uint8_t>(lc);
  if (dist == 0) {
    ++s.dynLtree[lc].freq;
  } else {
    --dist;
    const unsigned dcode = DistanceCode(dist);
    if (dist >= kMaxDist || lc > 255 || dcode >= static_cast<unsigned>(kDCodes)) [[unlikely]] {
      Fail(s, "tally_symbol: bad match");
    }
    ++s.dynLtree[kTables.lengthCode[lc & 0xFF] + kLiterals + 1].freq;
    ++s.dynDtree[dcode].freq;
    s.distBuf[s.lastDist++] = static_cast<std::uint16_t>(dist);
    s.flags |= s.flagBit;
  }
  s.flagBit <<= 1;
  if ((s.lastLit & 7) == 0) {
    s.flagBuf[s.lastFlags++] = static_cast<std::uint8_t>(s.flags);
    s.flags = 0;
    s.flagBit = 1;
  }
  // End the block early when it already compresses well and has few matches,
  // so the next part of the input gets trees of its own.
  if (s.level > 2 && (s.lastLit & 0xFFF) == 0) {
    std::uint64_t outLength = std::uint64_t{s.lastLit} * 8;
    for (int dcode = 0; dcode < kDCodes; ++dcode)
      outLength += std::uint64_t{s.dynDtree[dcode].freq} * (5 + kExtraDistBits[dcode]);
    outLength >>= 3;
    const long inLength = static_cast<long>(s.strstart) - s.blockStart;
    if (s.lastDist < s.lastLit / 2 && static_cast<long>(outLength) < inLength / 2) return true;
  }
  return s.lastLit == kLitBufSize - 1 || s.lastDist == kDistBufSize;
}

// ---- Matching --------------------------------------------------------------

// The little-endian value of the bytes at p. On a little-endian host it is
// one unaligned load: the byte-wise reader compiles to a load per byte, and
// these loads sit in the innermost loop of the search.
template <typename T>
inline T LoadLE(const std::uint8_t* p) {
  if constexpr (std::endian::native == std::endian::little) {
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
  } else {
    return ORV::Bytes::GetLE<T>(p);
  }
}

inline std::uint16_t Load16(const std::uint8_t* p) { return LoadLE<std::uint16_t>(p); }

inline std::uint64_t Load64(const std::uint8_t* p) { return LoadLE<std::uint64_t>(p); }

// Number of equal leading bytes of two 8-byte little-endian loads that differ.
inline unsigned EqualLeadingBytes(std::uint64_t a, std::uint64_t b) {
  return static_cast<unsigned>(std::countr_zero(a ^ b)) / 8;
}

// Hash of the first `Length` bytes at p for the level chains, from 8-byte
// loads that cover them (overlapping where Length is not a multiple of 8).
template <unsigned Length>
inline unsigned LevelHash(const std::uint8_t* p) {
  static_assert(Length >= 8 && Length <= 24);
  constexpr std::uint64_t kMul1 = 0x9E3779B97F4A7C15u;
  constexpr std::uint64_t kMul2 = 0xC2B2AE3D27D4EB4Fu;
  std::uint64_t x = Load64(p) * kMul1;
  if constexpr (Length > 8) x ^= Load64(p + Length - 8) * kMul2;
  if constexpr (Length > 16) x += Load64(p + 8) * kMul1;
  return static_cast<unsigned>(x >> (64 - kLevelHashBits));
}

template <std::size_t... Level>
inline void InsertLevels(DeflateState& s, unsigned pos, std::index_sequence<Level...>) {
  const std::uint8_t* p = s.window.data() + pos;
  (
      [&] {
        const unsigned hash = LevelHash<kLevelLengths[Level]>(p);
        s.levelPrev[Level][pos & kWMask] = s.levelHead[Level][hash];
        s.levelHead[Level][hash] = static_cast<std::uint16_t>(pos);
      }(),
      ...);
}

// Puts pos on its hash chain and returns the chain's previous head. When
// the entry keeps level chains, every position up to pos whose level bytes
// have been read joins them too.
inline unsigned InsertString(DeflateState& s, unsigned pos) {
  s.insertHash = ((s.insertHash << kHashShift) ^ s.window[pos + kMinMatch - 1]) & kHashMask;
  const unsigned chainHead = s.head[s.insertHash];
  s.prev[pos & kWMask] = static_cast<std::uint16_t>(chainHead);
  s.head[s.insertHash] = static_cast<std::uint16_t>(pos);
  s.rank[pos & kWMask] = ++s.chainCount[s.insertHash];
  if (s.levelChains) {
    for (; s.levelNext <= pos && s.levelNext + kMaxLevelLength <= s.windowEnd; ++s.levelNext)
      InsertLevels(s, s.levelNext, std::make_index_sequence<kLevelCount>{});
  }
  return chainHead;
}

// Length of the common prefix of scan and match, from byte 2 up to
// kMaxMatch (both have kMaxMatch bytes readable).
inline unsigned MatchLength(const std::uint8_t* scan, const std::uint8_t* match) {
  static_assert((kMaxMatch - 2) % 8 == 0);
  for (unsigned len = 2; len < kMaxMatch; len += 8) {
    const std::uint64_t a = Load64(scan + len);
    const std::uint64_t b = Load64(match + len);
    if (a != b) return len + EqualLeadingBytes(a, b);
  }
  return kMaxMatch;
}

// One search for a match at the current position longer than bestLen.
struct MatchSearch {
  MatchSearch(const std::uint8_t* window, unsigned strstart, unsigned prevLength, unsigned prevStart)
      : window(window), scan(window + strstart), bestLen(prevLength), bestStart(prevStart), scanStart(Load16(scan)) {
    SetEnd();
  }

  // The length of the match at pos when it is longer than bestLen, else 0.
  unsigned Longer(unsigned pos) const {
    if (Load16(endBase + pos) != scanEnd) [[likely]]
      return 0;
    const std::uint8_t* match = window + pos;
    if (Load16(match) != scanStart) return 0;
    const unsigned len = MatchLength(scan, match);
    return len > bestLen ? len : 0;
  }

  void Take(unsigned pos, unsigned len) {
    bestStart = pos;
    bestLen = len;
    SetEnd();
  }

  const std::uint8_t* window;
  const std::uint8_t* scan;
  unsigned bestLen;
  unsigned bestStart;

 private:
  // A candidate can only be longer than bestLen when its bytes 0, 1,
  // bestLen - 1 and bestLen equal those at the current position; the test
  // of the last two rejects most candidates with one load.
  void SetEnd() {
    scanEnd = Load16(scan + bestLen - 1);
    endBase = window + bestLen - 1;
  }
  std::uint16_t scanStart;
  std::uint16_t scanEnd = 0;
  const std::uint8_t* endBase = nullptr;
};

// The nearest position below `bound` on the current position's chain of
// level `level` (the current position heads it).
inline unsigned LevelCandidateBelow(const DeflateState& s, unsigned level, unsigned bound) {
  const std::uint16_t* prev = s.levelPrev[level].data();
  unsigned pos = prev[s.strstart & kWMask];
  while (pos >= bound) pos = prev[pos & kWMask];
  return pos;
}

// Looks for a match longer than the previous one among the candidates of
// the hash chain from curMatch, nearest first, up to the chain limit and the
// farthest distance; the first of the longest wins, and a match of the nice
// length ends the search. Sets matchStart to it and returns its length (the
// previous length when none is longer); the caller limits it to the
// lookahead.
//
// Where the entry keeps level chains, the search moves to the chain of the
// longest level its best match allows (see kLevelLengths). Every candidate
// that could still win is on that chain, in the same order, and the others
// could not have changed the result, so the match is the one the hash chain
// alone gives. Such a candidate shares at least three bytes with the current
// position and so lies on its hash chain: the difference of their ranks
// tells whether the hash chain's walk would have reached it within its limit.
unsigned FindMatch(DeflateState& s, unsigned curMatch) {
  const unsigned strstart = s.strstart;
  if (strstart > kWindowSize - kMinLookahead) [[unlikely]] {
    Fail(s, "insufficient lookahead");
    return s.prevLength;
  }
  unsigned chainLength = s.maxChain;
  if (s.prevLength >= s.goodMatch) chainLength >>= 2;
  const unsigned chainLimit = chainLength;
  const unsigned limit = strstart > kMaxDist ? strstart - kMaxDist : 0;
  const unsigned niceMatch = s.niceMatch;
  MatchSearch m(s.window.data(), strstart, s.prevLength, s.matchStart);
  const auto found = [&] {
    s.matchStart = m.bestStart;
    return m.bestLen;
  };
  if (curMatch >= strstart) [[unlikely]] {
    Fail(s, "no future");
    return m.bestLen;
  }
  // Candidates must lie in (limit, strstart): one unsigned comparison.
  const unsigned span = strstart - limit - 1;
  const auto outside = [&](unsigned pos) { return pos - limit - 1 >= span; };
  // The level chains hold every candidate once the current position's
  // level bytes have been read, as those of every earlier position then have.
  const bool levels = s.levelChains && s.lookahead >= kMaxLevelLength;
  const std::uint16_t firstRank = s.rank[curMatch & kWMask];
  unsigned level = levels ? kLevelFor[m.bestLen] : 0;
  if (level == 0) {
    for (;;) {
      const unsigned next = s.prev[curMatch & kWMask];
      if (const unsigned len = m.Longer(curMatch)) [[unlikely]] {
        m.Take(curMatch, len);
        if (len >= niceMatch) return found();
        if (levels && kLevelFor[len] != 0) {
          level = kLevelFor[len];
          curMatch = LevelCandidateBelow(s, level - 1, curMatch);
          break;
        }
      }
      curMatch = next;
      if (outside(curMatch)) [[unlikely]] {
        if (curMatch >= strstart) Fail(s, "no future");
        return found();
      }
      if (--chainLength == 0) return found();
    }
  } else {
    curMatch = LevelCandidateBelow(s, level - 1, curMatch + 1);
  }
  while (!outside(curMatch)) {
    const unsigned next = s.levelPrev[level - 1][curMatch & kWMask];
    if (const unsigned len = m.Longer(curMatch)) [[unlikely]] {
      // Beyond the chain limit; every later candidate is farther down.
      if (static_cast<std::uint16_t>(firstRank - s.rank[curMatch & kWMask]) >= chainLimit) break;
      m.Take(curMatch, len);
      if (len >= niceMatch) break;
      if (kLevelFor[len] != level) {
        level = kLevelFor[len];
        curMatch = LevelCandidateBelow(s, level - 1, curMatch);
        continue;
      }
    }
    curMatch = next;
  }
  if (curMatch >= strstart) Fail(s, "no future");
  return found();
}

// ---- Input -----------------------------------------------------------------

void SlideWindow(DeflateState& s) {
  std::memcpy(s.window.data(), s.window.data() + kWSize, kWSize);
  s.matchStart -= kWSize;
  s.strstart -= kWSize;
  s.blockStart -= static_cast<long>(kWSize);
  const auto slide = [](auto& table) {
    for (auto& p : table) p = static_cast<std::uint16_t>(p >= kWSize ? p - kWSize : 0);
  };
  slide(s.head);
  slide(s.prev);
  if (s.levelChains) {
    for (auto& table : s.levelHead) slide(table);
    for (auto& table : s.levelPrev) slide(table);
  }
  s.levelNext = s.levelNext >= kWSize ? s.levelNext - kWSize : 0;
}

// Reads input until the lookahead holds a whole maximum match plus the next
// hash bytes, or the input ends. Slides the window when the current position
// has reached its upper half far enough.
void FillWindow(DeflateState& s) {
  do {
    unsigned more = kWindowSize - s.lookahead - s.strstart;
    if (s.strstart >= kWSize + kMaxDist) {
      SlideWindow(s);
      more += kWSize;
    }
    if (!s.eofile) {
      if (more < 2) Fail(s, "more < 2");
      const long n = more == 0 ? 0 : (*s.read)(s.window.data() + s.strstart + s.lookahead, more);
      if (n <= 0) {
        s.eofile = true;
      } else {
        s.lookahead += static_cast<unsigned>(std::min<long>(n, more));
      }
    }
  } while (s.lookahead < kMinLookahead && !s.eofile);
  s.windowEnd = s.strstart + s.lookahead;
}

// ---- The lazy loop -----------------------------------------------------------

// Each position's best match is compared with the next position's; the
// longer one wins and a literal fills the gap.
std::uint64_t DeflateLazy(DeflateState& s) {
  unsigned hashHead = 0;
  s.matchLength = kMinMatch - 1;
  s.matchAvailable = false;
  while (s.lookahead != 0) {
    if (s.lookahead >= kMinMatch) hashHead = InsertString(s, s.strstart);

    s.prevLength = s.matchLength;
    const unsigned prevMatch = s.matchStart;
    s.matchLength = kMinMatch - 1;

    if (hashHead != 0 && s.prevLength < s.maxLazy && s.strstart - hashHead <= kMaxDist) {
      if (s.niceMatch > s.lookahead) s.niceMatch = s.lookahead;
      s.matchLength = std::min(FindMatch(s, hashHead), s.lookahead);
      if (s.matchLength == kMinMatch && s.strstart - s.matchStart > kTooFar) s.matchLength = kMinMatch - 1;
    }

    if (s.prevLength >= kMinMatch && s.matchLength <= s.prevLength) {
      const unsigned maxInsert = s.strstart + s.lookahead - kMinMatch;
      const bool flush = Tally(s, s.strstart - 1 - prevMatch, s.prevLength - kMinMatch);
      s.lookahead -= s.prevLength - 1;
      for (unsigned n = s.prevLength - 2; n != 0; --n) {
        if (++s.strstart <= maxInsert) hashHead = InsertString(s, s.strstart);
      }
      ++s.strstart;
      s.matchAvailable = false;
      s.matchLength = kMinMatch - 1;
      if (flush) {
        FlushBlock(s, false);
        if (s.outputFailed) return s.bytesOut;
      }
    } else if (s.matchAvailable) {
      if (Tally(s, 0, s.window[s.strstart - 1])) {
        FlushBlock(s, false);
        if (s.outputFailed) return s.bytesOut;
      }
      ++s.strstart;
      --s.lookahead;
    } else {
      s.matchAvailable = true;
      ++s.strstart;
      --s.lookahead;
    }
    if (s.lookahead < kMinLookahead) FillWindow(s);
  }
  if (s.matchAvailable) Tally(s, 0, s.window[s.strstart - 1]);
  return FlushBlock(s, true);
}

// ---- The greedy loop (levels 1 to 3) -------------------------------------------

// Each position's best match is taken at once; short matches have every
// string inserted, longer ones are jumped over.
std::uint64_t DeflateGreedy(DeflateState& s) {
  unsigned hashHead = 0;
  s.prevLength = kMinMatch - 1;
  while (s.lookahead != 0) {
    if (s.lookahead >= kMinMatch) hashHead = InsertString(s, s.strstart);
    s.matchLength = kMinMatch - 1;
    if (hashHead != 0 && s.strstart - hashHead <= kMaxDist) {
      if (s.niceMatch > s.lookahead) s.niceMatch = s.lookahead;
      s.matchLength = std::min(FindMatch(s, hashHead), s.lookahead);
    }
    bool flush = false;
    if (s.matchLength >= kMinMatch) {
      flush = Tally(s, s.strstart - s.matchStart, s.matchLength - kMinMatch);
      s.lookahead -= s.matchLength;
      if (s.matchLength <= s.maxLazy && s.lookahead >= kMinMatch) {
        for (unsigned n = s.matchLength - 1; n != 0; --n) hashHead = InsertString(s, ++s.strstart);
        ++s.strstart;
      } else {
        s.strstart += s.matchLength;
        s.insertHash =
            ((static_cast<unsigned>(s.window[s.strstart]) << kHashShift) ^ s.window[s.strstart + 1]) & kHashMask;
      }
    } else {
      flush = Tally(s, 0, s.window[s.strstart]);
      --s.lookahead;
      ++s.strstart;
    }
    if (flush) {
      FlushBlock(s, false);
      if (s.outputFailed) return s.bytesOut;
    }
    if (s.lookahead < kMinLookahead) FillWindow(s);
  }
  return FlushBlock(s, true);
}

}  // namespace

DeflateResult DeflateEntry(DeflateStatePtr& state, const DeflateReader& read, const DeflateFlush& flush,
                           std::span<std::uint8_t> outputBuffer, std::uint16_t& entryFlags, int level) {
  if (outputBuffer.size() < kDeflateMinOutputBuffer)
    return DeflateResult{0, true, "output buffer too small for in-memory compression"};
  if (level < 1 || level > kLevel) return DeflateResult{0, true, "bad pack level"};
  if (!state) state.reset(new DeflateState());
  DeflateState& s = *state;
  s.level = level;
  s.read = &read;
  s.flush = &flush;
  s.out = outputBuffer.data();
  s.outSize = outputBuffer.size();
  s.outOffset = 0;
  s.outputFailed = false;
  s.bytesOut = 0;
  s.bitBuf = 0;
  s.bitCount = 0;
  s.error = nullptr;

  s.compressedBits = 0;
  s.inputLength = 0;
  s.bitsSent = 0;
  InitBlock(s);

  // The chain tables are left as they are: only positions reached through the
  // cleared heads are followed, and those are this entry's.
  s.head.fill(0);
  // Levels 4 to 8 run the lazy loop, which puts every position on its hash
  // chain; only then can the level chains stand in for it.
  s.levelChains = level > 3;
  if (s.levelChains)
    for (auto& table : s.levelHead) table.fill(0);
  s.levelNext = 0;
  const LevelConfig& config = kLevelConfig[static_cast<std::size_t>(s.level)];
  s.goodMatch = config.goodLength;
  s.maxLazy = config.lazyLimit;
  s.niceMatch = config.niceLength;
  s.maxChain = config.chainLimit;
  if (s.level >= kLevel) entryFlags |= kMaximumCompressionFlag;
  if (s.level <= 2) entryFlags |= kFastCompressionFlag;

  s.strstart = 0;
  s.blockStart = 0;
  s.matchStart = 0;
  s.matchLength = 0;
  s.prevLength = 0;
  s.eofile = false;
  const long n = read(s.window.data(), kWindowSize);
  if (n <= 0) {
    s.eofile = true;
    s.lookahead = 0;
  } else {
    s.lookahead = static_cast<unsigned>(std::min<long>(n, kWindowSize));
    if (s.lookahead < kMinLookahead) FillWindow(s);
  }
  s.windowEnd = s.lookahead;
  s.insertHash = (static_cast<unsigned>(s.window[0]) << kHashShift) ^ s.window[1];

  if (s.level <= 3)
    DeflateGreedy(s);
  else
    DeflateLazy(s);
  FlushOutput(s);
  s.read = nullptr;
  s.flush = nullptr;
  s.out = nullptr;
  return DeflateResult{s.bytesOut, s.error != nullptr || s.outputFailed, s.error};
}

}  // namespace Xlsx
