#include "analysis_control/frame_shrink.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <opencv2/imgproc.hpp>

namespace ORV {

namespace {

// One recorded row at factor 2: each pixel is the rounded mean of a 2 x 2
// block of rows `a` and `b`. A block's two pixels of a row are read as one
// 16-bit word, so the loop walks both rows in order with no shuffles, sums in
// 16 bits and divides by a shift; the compiler turns it into vector code.
void HalveRow(const std::uint8_t* __restrict a, const std::uint8_t* __restrict b, std::uint8_t* __restrict out,
              int width) {
  for (int x = 0; x < width; ++x) {
    std::uint16_t top;
    std::uint16_t bottom;
    std::memcpy(&top, a + 2 * x, sizeof top);
    std::memcpy(&bottom, b + 2 * x, sizeof bottom);
    const auto sum = static_cast<std::uint16_t>((top & 0xFF) + (top >> 8) + (bottom & 0xFF) + (bottom >> 8) + 2);
    out[x] = static_cast<std::uint8_t>(sum >> 2);
  }
}

// A camera frame handed to the recorder has often left the caches by the time
// it is shrunk, and the shrink does so little per byte that it would mostly
// wait for memory; asking for the rows a few rows ahead lets the memory
// deliver them while the rows before are being summed.
constexpr int kPrefetchRows = 8;

// Asks for `count` rows from row `first` on (those that exist) to be brought
// into the cache. Inlined always: the compiler drops a call to a function that
// only prefetches, since it changes nothing it can see.
[[gnu::always_inline]] inline void Prefetch(const cv::Mat& image, int first, int count) {
  const std::size_t bytes = static_cast<std::size_t>(image.cols) * image.elemSize();
  for (int y = first; y < first + count && y < image.rows; ++y) {
    const auto* row = image.ptr<std::uint8_t>(y);
    for (std::size_t at = 0; at < bytes; at += 64) __builtin_prefetch(row + at);
  }
}

// Where a shrink by a whole factor reads along one axis: the source pixel at
// `factor` x i + offset, and its right (lower) neighbour too when `pair`.
// For an odd factor the destination pixel's centre falls on a source pixel;
// for an even one it falls between two.
struct Axis {
  explicit Axis(int factor) : offset((factor - 1) / 2), pair(factor % 2 == 0) {}
  int offset;
  bool pair;
};

// Any other whole factors: rounded mean of the one, two or four source
// pixels nearest each destination pixel's centre.
void ShrinkByFactors(const cv::Mat& grey, int fx, int fy, cv::Mat& out) {
  const Axis ax(fx);
  const Axis ay(fy);
  const int count = (ax.pair ? 2 : 1) * (ay.pair ? 2 : 1);
  const int shift = count == 4 ? 2 : count == 2 ? 1 : 0;
  const int half = count / 2;
  for (int y = 0; y < out.rows; ++y) {
    Prefetch(grey, fy * (y + 1) + ay.offset, ay.pair ? 2 : 1);
    const std::uint8_t* a = grey.ptr<std::uint8_t>(fy * y + ay.offset);
    const std::uint8_t* b = ay.pair ? a + grey.step[0] : nullptr;
    std::uint8_t* row = out.ptr<std::uint8_t>(y);
    for (int x = 0; x < out.cols; ++x) {
      const int at = fx * x + ax.offset;
      int sum = a[at] + (ax.pair ? a[at + 1] : 0);
      if (b) sum += b[at] + (ax.pair ? b[at + 1] : 0);
      row[x] = static_cast<std::uint8_t>((sum + half) >> shift);
    }
  }
}

}  // namespace

bool ShrinksByWholeFactors(cv::Size image, cv::Size size) {
  return size.width > 0 && size.height > 0 && image.width >= size.width && image.height >= size.height &&
         image.width % size.width == 0 && image.height % size.height == 0;
}

void ShrinkGrey(const cv::Mat& grey, cv::Size size, cv::Mat& out) {
  if (grey.type() != CV_8UC1 || grey.dims != 2 || !ShrinksByWholeFactors(grey.size(), size)) {
    cv::resize(grey, out, size, 0, 0, cv::INTER_LINEAR);
    return;
  }
  // The source may be `out` itself, or share its memory: shrink from a view
  // that stays valid while `out` is made anew.
  const cv::Mat source = grey;
  if (out.data == source.data || (out.u && out.u == source.u)) out = cv::Mat();
  out.create(size, CV_8UC1);
  const int fx = source.cols / size.width;
  const int fy = source.rows / size.height;
  if (fx == 2 && fy == 2) {
    for (int y = 0; y < out.rows; ++y) {
      Prefetch(source, 2 * y + kPrefetchRows, 2);
      HalveRow(source.ptr<std::uint8_t>(2 * y), source.ptr<std::uint8_t>(2 * y + 1), out.ptr<std::uint8_t>(y),
               out.cols);
    }
    return;
  }
  ShrinkByFactors(source, fx, fy, out);
}

}  // namespace ORV
