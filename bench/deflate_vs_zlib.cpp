// Compresses generated worksheet XML (35 MB) and CSV (8 MB) with the
// packager's deflate engine and with zlib at the same level (8, raw deflate,
// default memory level and strategy), and prints speed and size of both.
// Each figure is the best of several alternating runs; the engine's output is
// checked by inflating it with zlib.
//
//   build/bench/bench/bench_deflate_vs_zlib [runs]
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "load_average.h"
#include "xlsx/deflate.h"

namespace {

constexpr int kLevel = 8;
constexpr std::size_t kOutputBuffer = 16384;

// A data-sheet-like worksheet: a text column, two times, seven measured
// values, written as the sheet writer writes cells.
std::string WorksheetXml(std::size_t size) {
  std::mt19937_64 gen(1);
  std::uniform_real_distribution<double> noise(-1.0, 1.0);
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
      "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
      "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
      "xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\" mc:Ignorable=\"x14ac\" "
      "xmlns:x14ac=\"http://schemas.microsoft.com/office/spreadsheetml/2009/9/ac\">"
      "<sheetFormatPr defaultRowHeight=\"15\" x14ac:dyDescent=\"0.25\"/><sheetData>";
  char cell[160];
  double time = 0;
  double diameter = 180;
  for (unsigned row = 1; out.size() < size; ++row) {
    out += "<row r=\"" + std::to_string(row) + "\" x14ac:dyDescent=\"0.25\">";
    std::snprintf(cell, sizeof cell, "<c r=\"A%u\" s=\"1\" t=\"s\"><v>%u</v></c>", row,
                  static_cast<unsigned>(gen() % 12));
    out += cell;
    const double start = time;
    time += 5 + static_cast<double>(gen() % 600) / 10;
    std::snprintf(cell, sizeof cell, "<c r=\"B%u\" s=\"2\"><v>%.1f</v></c><c r=\"C%u\" s=\"2\"><v>%.1f</v></c>", row,
                  start, row, time);
    out += cell;
    diameter += noise(gen);
    const double values[] = {diameter,
                             diameter * 0.82 + noise(gen),
                             (diameter - diameter * 0.82) / 2,
                             60 + 10 * noise(gen),
                             static_cast<double>(gen() % 200),
                             std::abs(noise(gen)) * 3,
                             std::abs(noise(gen)) * 0.4};
    const char column[] = "DEFGHIJ";
    for (int i = 0; i < 7; ++i) {
      if (i == 4) {
        std::snprintf(cell, sizeof cell, "<c r=\"%c%u\"><v>%.0f</v></c>", column[i], row, values[i]);
      } else {
        std::snprintf(cell, sizeof cell, "<c r=\"%c%u\" s=\"3\"><v>%.15g</v></c>", column[i], row, values[i]);
      }
      out += cell;
    }
    out += "</row>";
  }
  out +=
      "</sheetData><pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" "
      "footer=\"0.3\"/><pageSetup paperSize=\"9\" orientation=\"portrait\"/></worksheet>";
  return out;
}

// A trace export: time and value pairs of four traces, three decimals.
std::string Csv(std::size_t size) {
  std::mt19937_64 gen(2);
  std::normal_distribution<double> noise(0, 0.05);
  std::string out =
      "P1 (Time);P1 (Value);P2 (Time);P2 (Value);Diameter (Time);Diameter (Value);Flow (Time);Flow (Value);\n";
  char line[256];
  double pressure = 60;
  double diameter = 180;
  for (unsigned i = 0; out.size() < size; ++i) {
    const double t = i * 0.1;
    pressure += noise(gen);
    diameter += 4 * noise(gen);
    std::snprintf(line, sizeof line, "%.03f;%.03f;%.03f;%.03f;%.03f;%.03f;%.03f;%.03f;\n", t, pressure, t,
                  pressure - 10 + noise(gen), t, diameter, t, 12.5 + noise(gen));
    out += line;
  }
  return out;
}

struct Run {
  double seconds = 0;
  std::size_t size = 0;
};

Run RunEngine(const std::string& input, std::vector<std::uint8_t>* keep) {
  Xlsx::DeflateStatePtr state;
  std::size_t pos = 0;
  std::size_t size = 0;
  const Xlsx::DeflateReader read = [&](std::uint8_t* buffer, std::size_t maxBytes) {
    const std::size_t n = std::min(maxBytes, input.size() - pos);
    std::memcpy(buffer, input.data() + pos, n);
    pos += n;
    return static_cast<long>(n);
  };
  const Xlsx::DeflateFlush flush = [&](const std::uint8_t* data, std::size_t& count) {
    if (keep) keep->insert(keep->end(), data, data + count);
    size += count;
    count = 0;
  };
  std::vector<std::uint8_t> buffer(kOutputBuffer);
  std::uint16_t flags = 0;
  const auto start = std::chrono::steady_clock::now();
  const Xlsx::DeflateResult result = Xlsx::DeflateEntry(state, read, flush, buffer, flags);
  const auto end = std::chrono::steady_clock::now();
  if (result.failed) {
    std::fprintf(stderr, "engine failed: %s\n", result.error ? result.error : "?");
    std::exit(1);
  }
  return {std::chrono::duration<double>(end - start).count(), size};
}

Run RunZlib(const std::string& input) {
  z_stream z{};
  if (deflateInit2(&z, kLevel, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) std::exit(1);
  std::vector<std::uint8_t> buffer(kOutputBuffer);
  std::size_t size = 0;
  const auto start = std::chrono::steady_clock::now();
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
  z.avail_in = static_cast<uInt>(input.size());
  int ret = Z_OK;
  while (ret != Z_STREAM_END) {
    z.next_out = buffer.data();
    z.avail_out = static_cast<uInt>(buffer.size());
    ret = deflate(&z, Z_FINISH);
    if (ret == Z_STREAM_ERROR) std::exit(1);
    size += buffer.size() - z.avail_out;
  }
  const auto end = std::chrono::steady_clock::now();
  deflateEnd(&z);
  return {std::chrono::duration<double>(end - start).count(), size};
}

bool InflatesTo(const std::vector<std::uint8_t>& raw, const std::string& expected) {
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) return false;
  std::string out(expected.size() + 1, '\0');
  z.next_in = const_cast<Bytef*>(raw.data());
  z.avail_in = static_cast<uInt>(raw.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  const int ret = inflate(&z, Z_FINISH);
  out.resize(out.size() - z.avail_out);
  inflateEnd(&z);
  return ret == Z_STREAM_END && out == expected;
}

void Compare(const char* name, const std::string& input, int runs) {
  std::vector<std::uint8_t> engineOutput;
  RunEngine(input, &engineOutput);
  if (!InflatesTo(engineOutput, input)) {
    std::fprintf(stderr, "%s: the engine's output does not inflate to the input\n", name);
    std::exit(1);
  }
  // Alternate the two, so that a change in the machine's load hits both.
  Run engine = RunEngine(input, nullptr);
  Run zlib = RunZlib(input);
  for (int i = 1; i < runs; ++i) {
    const Run e = RunEngine(input, nullptr);
    const Run z = RunZlib(input);
    if (e.seconds < engine.seconds) engine = e;
    if (z.seconds < zlib.seconds) zlib = z;
  }
  const double mb = static_cast<double>(input.size()) / 1e6;
  std::printf(
      "%-14s %8.2f MB  engine %7.1f MB/s %10zu bytes  |  zlib %7.1f MB/s %10zu bytes  |  speed x%.2f, size x%.4f\n",
      name, mb, mb / engine.seconds, engine.size, mb / zlib.seconds, zlib.size, zlib.seconds / engine.seconds,
      static_cast<double>(engine.size) / static_cast<double>(zlib.size));
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  const std::string xml = WorksheetXml(35'000'000);
  const std::string csv = Csv(8'000'000);
  std::printf("raw deflate, level %d, best of %d runs (speed x = zlib time / engine time; size x = engine / zlib)\n",
              kLevel, runs);
  Compare("worksheet XML", xml, runs);
  Compare("CSV", csv, runs);
  std::printf("%s\n", ORV::Bench::LoadAverageText().c_str());
  return 0;
}
