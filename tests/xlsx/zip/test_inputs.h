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

}  // namespace Xlsx::ZipFixtures
