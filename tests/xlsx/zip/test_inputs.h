#pragma once
// Deterministic inputs for the compression tests.
#include <cstddef>
#include <cstdint>
#include <string>

namespace Xlsx::ZipFixtures {

// Bytes from a fixed-seed generator: incompressible.
std::string RandomBytes(std::size_t size, std::uint32_t seed = 1);
// Words of a small vocabulary in random order, with spaces, punctuation and
// line breaks: compressible text with matches of many lengths and distances.
std::string Text(std::size_t size, std::uint32_t seed = 2);
// A worksheet part with numeric and shared-string cells, about `size` bytes.
std::string WorksheetXml(std::size_t size, std::uint32_t seed = 3);
// Random bytes, then copies of earlier pieces of 3 to 600 bytes from up to
// 30,000 bytes back, each followed by one random byte: matches of every
// length up to the longest, at many distances.
std::string Copies(std::size_t size, std::uint32_t seed = 4);

}  // namespace Xlsx::ZipFixtures
