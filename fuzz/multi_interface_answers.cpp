// The multi interface's answers are untrusted: a unit (or anything that
// claims to be one) may send any report. The input is one byte choosing
// 64-byte or 19-byte reports, then the reports, one after another (the last
// one may come short), each decoded into the same values, as the device
// decodes the answers it reads.
#include "instruments/multi_interface_answers.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const bool reports64 = (data[0] & 1) == 0;
  const std::size_t length = reports64 ? 64 : 19;
  std::span<const std::uint8_t> rest(data + 1, size - 1);
  ORV::MultiAnswers::UnitValues values;
  while (!rest.empty()) {
    const std::size_t n = std::min(length, rest.size());
    ORV::MultiAnswers::Decode(rest.first(n), reports64, values);
    rest = rest.subspan(n);
  }
  return 0;
}
