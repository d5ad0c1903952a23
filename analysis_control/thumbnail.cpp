#include "analysis_control/thumbnail.h"

#include <algorithm>
#include <cmath>

namespace ORV {

ThumbnailSize ThumbnailSizeFor(int pictureWidth, int pictureHeight) {
  ThumbnailSize size;
  if (pictureWidth <= 0 || pictureHeight <= 0 || pictureWidth == pictureHeight) return size;
  const int longer = std::max(pictureWidth, pictureHeight);
  const int shorter = std::min(pictureWidth, pictureHeight);
  const int scaled = static_cast<int>(100.0 * shorter / longer + 0.5);
  if (pictureWidth > pictureHeight) {
    size.height = scaled;
  } else {
    size.width = scaled;
  }
  return size;
}

int ThumbnailStride(int width) { return (width + 3) / 4 * 4; }

namespace {

// Where a destination pixel's centre falls on the source: the left (or top)
// of the two source pixels and the weight of the right (or bottom) one.
struct Tap {
  int index;
  double weight;
};

std::vector<Tap> Taps(int source, int destination) {
  std::vector<Tap> taps(destination);
  const double scale = static_cast<double>(source) / destination;
  for (int d = 0; d < destination; ++d) {
    const double f = (d + 0.5) * scale - 0.5;
    int i = static_cast<int>(std::floor(f));
    double w = f - i;
    if (i < 0) {
      i = 0;
      w = 0.0;
    }
    if (i >= source - 1) {
      i = source - 1;
      w = 0.0;
    }
    taps[d] = {i, w};
  }
  return taps;
}

}  // namespace

std::vector<std::uint8_t> MakeThumbnail(const GreyImageView& frame, int width, int height) {
  if (!frame.IsValid() || frame.width == 0 || frame.height == 0 || width <= 0 || height <= 0) return {};
  const int stride = ThumbnailStride(width);
  std::vector<std::uint8_t> out(static_cast<std::size_t>(stride) * height, 0);
  const std::vector<Tap> xs = Taps(frame.width, width);
  const std::vector<Tap> ys = Taps(frame.height, height);
  for (int y = 0; y < height; ++y) {
    const Tap ty = ys[y];
    const std::uint8_t* top = frame.Row(ty.index);
    const std::uint8_t* bottom = frame.Row(std::min(ty.index + 1, frame.height - 1));
    for (int x = 0; x < width; ++x) {
      const Tap tx = xs[x];
      const int right = std::min(tx.index + 1, frame.width - 1);
      const double upper = top[tx.index] * (1.0 - tx.weight) + top[right] * tx.weight;
      const double lower = bottom[tx.index] * (1.0 - tx.weight) + bottom[right] * tx.weight;
      const double value = upper * (1.0 - ty.weight) + lower * ty.weight;
      out[static_cast<std::size_t>(y) * stride + x] = static_cast<std::uint8_t>(std::clamp(value + 0.5, 0.0, 255.0));
    }
  }
  return out;
}

}  // namespace ORV
