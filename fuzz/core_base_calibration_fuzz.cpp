// Feeds arbitrary text to the calibration-list parser (the text comes from the
// settings store and from settings archives). Every input must be handled
// without a crash; a list that parses must write a text that parses again to
// the same maps and labels.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "core/base/configuration.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<ORV::CalibrationMap> maps;
  const int result = ORV::Configuration::ParseCalibrationList(text, maps);
  if (result > 0 || result < -5) std::abort();
  if (result != 0) return 0;

  // Values that have no decimal text ("inf", "nan") cannot come back.
  for (const auto& map : maps)
    for (const auto& [label, entry] : map)
      if (!std::isfinite(entry.scale) || !std::isfinite(entry.magnification)) return 0;

  const std::string written = ORV::Configuration::FormatCalibrationList(maps);
  std::vector<ORV::CalibrationMap> again;
  if (ORV::Configuration::ParseCalibrationList(written, again) != 0) std::abort();
  if (again.size() != maps.size()) std::abort();
  for (std::size_t i = 0; i < maps.size(); ++i) {
    if (again[i].size() != maps[i].size()) std::abort();
    for (auto a = maps[i].begin(), b = again[i].begin(); a != maps[i].end(); ++a, ++b)
      if (a->first != b->first || b->second.label != b->first) std::abort();
  }
  return 0;
}
