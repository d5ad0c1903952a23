#include "tests/xlsx/zip/test_inputs.h"

#include <array>
#include <random>
#include <string_view>

namespace Xlsx::ZipFixtures {

std::string RandomBytes(std::size_t size, std::uint32_t seed) {
  std::mt19937 gen(seed);
  std::string out(size, '\0');
  for (char& c : out) c = static_cast<char>(gen() >> 24);
  return out;
}

std::string Text(std::size_t size, std::uint32_t seed) {
  static constexpr std::array<std::string_view, 24> kWords = {
      "vessel", "pressure", "diameter", "the",  "wall",    "inner", "outer",  "lumen",
      "flow",   "of",       "and",      "a",    "chamber", "set",   "inlet",  "outlet",
      "camera", "trace",    "marker",   "zone", "value",   "time",  "sample", "record"};
  std::mt19937 gen(seed);
  std::string out;
  out.reserve(size + 16);
  while (out.size() < size) {
    out += kWords[gen() % kWords.size()];
    const unsigned r = gen() % 16;
    out += r == 0 ? ".\n" : r == 1 ? ", " : " ";
  }
  out.resize(size);
  return out;
}

std::string WorksheetXml(std::size_t size, std::uint32_t seed) {
  std::mt19937 gen(seed);
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
      "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>";
  for (unsigned row = 1; out.size() < size; ++row) {
    const std::string r = std::to_string(row);
    out += "<row r=\"" + r + "\" spans=\"1:6\">";
    for (char col = 'A'; col <= 'F'; ++col) {
      out += "<c r=\"";
      out += col;
      out += r + "\"";
      if (col == 'A') {
        out += " t=\"s\"><v>" + std::to_string(gen() % 40) + "</v></c>";
      } else {
        out += " s=\"1\"><v>" + std::to_string(gen() % 100000) + "." + std::to_string(gen() % 1000) + "</v></c>";
      }
    }
    out += "</row>";
  }
  out += "</sheetData></worksheet>";
  return out;
}

std::string Copies(std::size_t size, std::uint32_t seed) {
  std::mt19937 gen(seed);
  std::string out = RandomBytes(4000, seed);
  while (out.size() < size) {
    const std::size_t length = 3 + gen() % 598;
    const std::size_t back = length + gen() % (30000 - length);
    const std::size_t from = out.size() > back ? out.size() - back : 0;
    out += out.substr(from, length);
    out += static_cast<char>(gen() >> 24);
  }
  out.resize(size);
  return out;
}

}  // namespace Xlsx::ZipFixtures
