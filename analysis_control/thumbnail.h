#pragma once
// The index images: small grey thumbnails of the shown frame, raised every
// ten seconds while the experiment clock runs, and stored by the experiment
// as extra data.
#include <cstdint>
#include <vector>

#include "analysis_control/zone_search.h"

namespace ORV {

struct ThumbnailSize {
  int width = 100;
  int height = 100;
};

// The longer side of the picture maps to 100 pixels and the shorter one to
// the integer part of 100 x shorter / longer + 0.5 (1280 x 960 gives 100 x 75);
// a square picture, or one without a size, gives 100 x 100.
ThumbnailSize ThumbnailSizeFor(int pictureWidth, int pictureHeight);

// Bytes of a thumbnail row: the width padded up to a multiple of 4.
int ThumbnailStride(int width);

// Shrinks the frame to width x height with linear interpolation (each
// thumbnail pixel centre mapped onto the frame, the four nearest pixels
// weighted, borders repeated). Rows are padded to 4 bytes with zeros, so the
// result holds ThumbnailStride(width) x height bytes. Empty when the frame or
// the size is empty.
std::vector<std::uint8_t> MakeThumbnail(const GreyImageView& frame, int width, int height);

}  // namespace ORV
