#pragma once
// The analysis control's per-frame record, 188 bytes, as it travels with
// recorded video and inside experiments.
//
// Minimal form: the record is kept as its stored bytes. A fresh record holds
// the default values (scale factor 1.0, the reserved words -1, -1 and 1, and
// the valid flag 1 in each of the four zone blocks).
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace ORV {

class AnalysisData {
 public:
  static constexpr std::size_t kSize = 188;

  AnalysisData() {
    bytes_.fill(0);
    const float scale = 1.0f;
    std::uint32_t scaleBits;
    std::memcpy(&scaleBits, &scale, 4);
    for (int i = 0; i < 4; ++i) bytes_[i] = static_cast<std::uint8_t>(scaleBits >> (8 * i));
    for (int i = 4; i < 10; ++i) bytes_[i] = 0xFF;  // reserved1 = -1, reserved2 = -1
    bytes_[20] = 1;                                  // reserved3 = 1
    for (std::size_t block = 0; block < 4; ++block) bytes_[28 + 40 * block] = 1;  // zone block valid
  }

  void Serialize(std::span<std::uint8_t, kSize> out) const { std::memcpy(out.data(), bytes_.data(), kSize); }

  static AnalysisData Parse(std::span<const std::uint8_t, kSize> in) {
    AnalysisData record;
    std::memcpy(record.bytes_.data(), in.data(), kSize);
    return record;
  }

 private:
  std::array<std::uint8_t, kSize> bytes_;
};

}  // namespace ORV
