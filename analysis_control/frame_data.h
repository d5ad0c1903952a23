#pragma once
// The frame-data block a host grabs a still picture with: a 40-byte bitmap
// information header (width, minus the height so rows run top-down, one
// plane, 24 bits a pixel, no compression, the pixel bytes), 4 zero bytes,
// then the pixels in blue-green-red order, each row padded to 4 bytes. A
// grey frame is written with equal blue, green and red. Little-endian.
#include <cstdint>
#include <opencv2/core.hpp>

namespace ORV {

inline constexpr std::int32_t kFrameDataHeaderSize = 44;

// 44 plus the padded 24-bit pixel bytes of `frame`; 44 without a frame.
std::int32_t FrameDataSize(const cv::Mat* frame);
// Writes the block into `buffer` of `size` bytes: its size, or -1 (nothing
// written) without a frame, a null buffer or a size below FrameDataSize.
std::int32_t WriteFrameData(const cv::Mat* frame, std::uint8_t* buffer, std::int32_t size);

}  // namespace ORV
