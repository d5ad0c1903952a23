#include "analysis_control/frame_shrink.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <opencv2/imgproc.hpp>

namespace ORV {

namespace {

// Factor 2. Each destination row comes from two source rows, read one after
// the other, each from start to end: the memory then sees one stream of
// reads and delivers it ahead of use, where two rows read side by side would
// leave the loop waiting for memory (a frame handed to the recorder has often
// left the caches). A block's two pixels of a row are read as one 16-bit
// word, so both loops walk their rows in order with no shuffles, sum in 16
// bits and divide by a shift; the compiler turns them into vector code.
//
// The first pass: the sums of the pixel pairs of the upper row, plus 2 for
// rounding.
void PairSums(const std::uint8_t* __restrict row, std::uint16_t* __restrict sums, int width) {
  for (int x = 0; x < width; ++x) {
    std::uint16_t pair;
    std::memcpy(&pair, row + 2 * x, sizeof pair);
    sums[x] = static_cast<std::uint16_t>((pair & 0xFF) + (pair >> 8) + 2);
  }
}

// The second pass: adds the lower row's pairs and divides by 4.
void FinishHalves(const std::uint8_t* __restrict row, const std::uint16_t* __restrict sums,
                  std::uint8_t* __restrict out, int width) {
  for (int x = 0; x < width; ++x) {
    std::uint16_t pair;
    std::memcpy(&pair, row + 2 * x, sizeof pair);
    out[x] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(sums[x] + (pair & 0xFF) + (pair >> 8)) >> 2);
  }
}

void Halve(const cv::Mat& source, cv::Mat& out) {
  // Rows up to 4096 destination pixels in one piece; wider ones in pieces.
  constexpr int kPiece = 4096;
  std::uint16_t sums[kPiece];
  for (int y = 0; y < out.rows; ++y) {
    const std::uint8_t* upper = source.ptr<std::uint8_t>(2 * y);
    const std::uint8_t* lower = source.ptr<std::uint8_t>(2 * y + 1);
    std::uint8_t* row = out.ptr<std::uint8_t>(y);
    for (int x = 0; x < out.cols; x += kPiece) {
      const int width = std::min(kPiece, out.cols - x);
      PairSums(upper + 2 * x, sums, width);
      FinishHalves(lower + 2 * x, sums, row + x, width);
    }
  }
}

// Other whole factors read one or two rows out of several, which the memory
// does not foresee: Prefetch asks for `count` rows from row `first` on (those
// that exist) while the rows before are being computed. Inlined always: the
// compiler drops a call to a function that only prefetches, since it changes
// nothing it can see.
[[gnu::always_inline]] inline void Prefetch(const cv::Mat& image, int first, int count) {
  const std::size_t bytes = static_cast<std::size_t>(image.cols) * image.elemSize();
  for (int y = first; y < first + count && y < image.rows; ++y) {
    const auto* row = image.ptr<std::uint8_t>(y);
    for (std::size_t at = 0; at < bytes; at += 64) __builtin_prefetch(row + at);
  }
}

// One destination row at other whole factors: the rounded mean of the one,
// two or four source pixels nearest each pixel's centre, from row `a` (and
// the row below it, `b`, when PairY), at `factor` x i (and the pixel to its
// right when PairX).
template <bool PairX, bool PairY>
void ShrinkRow(const std::uint8_t* __restrict a, const std::uint8_t* __restrict b, std::uint8_t* __restrict out,
               int width, int factor) {
  constexpr unsigned kCount = (PairX ? 2 : 1) * (PairY ? 2 : 1);
  constexpr unsigned kShift = kCount == 4 ? 2 : kCount == 2 ? 1 : 0;
  for (int x = 0; x < width; ++x) {
    const std::size_t at = static_cast<std::size_t>(factor) * static_cast<std::size_t>(x);
    unsigned sum = a[at];
    if constexpr (PairX) sum += a[at + 1];
    if constexpr (PairY) sum += b[at];
    if constexpr (PairX && PairY) sum += b[at + 1];
    out[x] = static_cast<std::uint8_t>((sum + kCount / 2) >> kShift);
  }
}

template <bool PairX, bool PairY>
void ShrinkByFactors(const cv::Mat& grey, int fx, int fy, cv::Mat& out) {
  const int offsetX = (fx - 1) / 2;
  const int offsetY = (fy - 1) / 2;
  for (int y = 0; y < out.rows; ++y) {
    Prefetch(grey, fy * (y + 1) + offsetY, PairY ? 2 : 1);
    const std::uint8_t* a = grey.ptr<std::uint8_t>(fy * y + offsetY);
    const std::uint8_t* b = PairY ? a + grey.step[0] : a;
    ShrinkRow<PairX, PairY>(a + offsetX, b + offsetX, out.ptr<std::uint8_t>(y), out.cols, fx);
  }
}

// Any other whole factors. Along an axis with an odd factor the destination
// pixel's centre falls on a source pixel; with an even one it falls between
// two.
void ShrinkByFactors(const cv::Mat& grey, int fx, int fy, cv::Mat& out) {
  const bool pairX = fx % 2 == 0;
  const bool pairY = fy % 2 == 0;
  if (pairX && pairY) {
    ShrinkByFactors<true, true>(grey, fx, fy, out);
  } else if (pairX) {
    ShrinkByFactors<true, false>(grey, fx, fy, out);
  } else if (pairY) {
    ShrinkByFactors<false, true>(grey, fx, fy, out);
  } else {
    ShrinkByFactors<false, false>(grey, fx, fy, out);
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
    Halve(source, out);
  } else {
    ShrinkByFactors(source, fx, fy, out);
  }
}

}  // namespace ORV
