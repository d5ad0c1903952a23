#pragma once
// Reading back the bytes of files written by the tests.
#include <sys/resource.h>

#include <csignal>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace ORV::Test {

inline std::vector<unsigned char> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::uint32_t U32At(const std::vector<unsigned char>& b, std::size_t at) {
  if (at + 4 > b.size()) return 0xDEADBEEF;
  return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
         std::uint32_t(b[at + 3]) << 24;
}

inline std::uint16_t U16At(const std::vector<unsigned char>& b, std::size_t at) {
  if (at + 2 > b.size()) return 0xBEEF;
  return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

inline std::string CharsAt(const std::vector<unsigned char>& b, std::size_t at) {
  if (at + 4 > b.size()) return "<end>";
  return std::string(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at) + 4);
}

// The movie list's frames of a finished or partly written file: for each
// "00dc" chunk its offset from the start of the file and its size field.
struct AviChunk {
  std::size_t at;
  std::uint32_t size;
};
inline std::vector<AviChunk> MovieChunks(const std::vector<unsigned char>& b) {
  std::vector<AviChunk> chunks;
  std::size_t at = 224;
  while (at + 8 <= b.size() && CharsAt(b, at) == "00dc") {
    chunks.push_back({at, U32At(b, at + 4)});
    at += 8 + U32At(b, at + 4);
  }
  return chunks;
}

}  // namespace ORV::Test
