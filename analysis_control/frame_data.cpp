#include "analysis_control/frame_data.h"

#include <cstring>

#include "platform/os/byte_order.h"

namespace ORV {

namespace {

bool IsPicture(const cv::Mat* frame) {
  return frame != nullptr && !frame->empty() && frame->depth() == CV_8U &&
         (frame->channels() == 1 || frame->channels() == 3);
}

std::int64_t RowBytes(const cv::Mat& frame) { return (std::int64_t{frame.cols} * 3 + 3) & ~std::int64_t{3}; }

}  // namespace

std::int32_t FrameDataSize(const cv::Mat* frame) {
  if (!IsPicture(frame)) return kFrameDataHeaderSize;
  const std::int64_t size = kFrameDataHeaderSize + RowBytes(*frame) * frame->rows;
  return size > INT32_MAX ? kFrameDataHeaderSize : static_cast<std::int32_t>(size);
}

std::int32_t WriteFrameData(const cv::Mat* frame, std::uint8_t* buffer, std::int32_t size) {
  const std::int32_t needed = FrameDataSize(frame);
  if (!IsPicture(frame) || needed == kFrameDataHeaderSize || buffer == nullptr || size < needed) return -1;
  const std::int64_t stride = RowBytes(*frame);
  std::memset(buffer, 0, kFrameDataHeaderSize);
  Bytes::PutLE<std::uint32_t>(buffer + 0, 40);
  Bytes::PutLE<std::int32_t>(buffer + 4, frame->cols);
  Bytes::PutLE<std::int32_t>(buffer + 8, -frame->rows);
  Bytes::PutLE<std::uint16_t>(buffer + 12, 1);
  Bytes::PutLE<std::uint16_t>(buffer + 14, 24);
  Bytes::PutLE<std::uint32_t>(buffer + 20, static_cast<std::uint32_t>(needed - kFrameDataHeaderSize));
  for (int y = 0; y < frame->rows; ++y) {
    std::uint8_t* out = buffer + kFrameDataHeaderSize + stride * y;
    const std::uint8_t* in = frame->ptr<std::uint8_t>(y);
    if (frame->channels() == 1) {
      for (int x = 0; x < frame->cols; ++x) out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = in[x];
    } else {
      std::memcpy(out, in, static_cast<std::size_t>(frame->cols) * 3);
    }
    std::memset(out + std::int64_t{frame->cols} * 3, 0,
                static_cast<std::size_t>(stride - std::int64_t{frame->cols} * 3));
  }
  return needed;
}

}  // namespace ORV
