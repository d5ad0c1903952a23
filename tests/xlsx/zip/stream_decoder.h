#pragma once
// A small, strict decoder of raw deflate streams for the tests. Besides the
// data it reports each block's type and, for coded blocks, what the
// compressor chose: code lengths, symbol counts and matches.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace Xlsx::ZipFixtures {

enum class BlockType { Stored = 0, Fixed = 1, Dynamic = 2 };

struct DecodedBlock {
  BlockType type = BlockType::Stored;
  bool last = false;
  std::size_t storedLength = 0;
  // Coded blocks: the literal/length symbols decoded (EOB included) and, for
  // dynamic blocks, the code lengths sent and how often each code-length
  // symbol was used to send them.
  std::array<std::uint32_t, 288> symbolCounts{};
  std::vector<std::uint8_t> literalLengths;
  std::vector<std::uint8_t> distanceLengths;
  std::array<std::uint8_t, 19> codeLengthLengths{};
  std::array<std::uint32_t, 19> codeLengthSymbolCounts{};
};

struct Match {
  unsigned length;
  unsigned distance;
};

struct DecodedStream {
  bool ok = false;
  std::string error;
  std::vector<std::uint8_t> data;
  std::vector<DecodedBlock> blocks;
  std::vector<Match> matches;
  std::size_t bytesUsed = 0;  // up to the byte that holds the last bit
};

// Decodes a whole raw deflate stream. Fails on any format error, on an
// incomplete or over-full prefix code, and on a distance before the start.
DecodedStream DecodeDeflate(std::span<const std::uint8_t> stream);

// Deepest code of an unrestricted Huffman code for these frequencies (zeros
// ignored); used to show that a fixture forces length limiting.
int HuffmanDepth(std::span<const std::uint32_t> frequencies);

}  // namespace Xlsx::ZipFixtures
