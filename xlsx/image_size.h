#pragma once
// The pixel size of a picture, read from the head of its file. The bytes come
// from files of unknown origin: every reader checks each count and offset it
// reads before it uses it, and ends in time bounded by the size of the input.
//
// Each reader starts at the stream's current position (the start of the
// picture) and returns true, with width and height set, when the header
// gives a size of at most 65535 × 65535. On failure both are 0, except that
// the GIF reader gives the size fields of a complete header whose signature
// is wrong.
#include <array>
#include <cstdint>
#include <istream>
#include <string_view>

namespace Xlsx {

// GIF: the logical screen size of the header.
bool ReadGifSize(std::istream& in, std::uint16_t& width, std::uint16_t& height);
// JPEG: the size of the baseline frame header (SOF0); other frame kinds
// (progressive, lossless ...) are not recognised.
bool ReadJpegSize(std::istream& in, std::uint16_t& width, std::uint16_t& height);
// PNG: the size in the IHDR chunk, which must come first.
bool ReadPngSize(std::istream& in, std::uint16_t& width, std::uint16_t& height);
// TIFF (either byte order): the ImageWidth and ImageLength fields of the
// first directories of the file.
bool ReadTiffSize(std::istream& in, std::uint16_t& width, std::uint16_t& height);

using ImageSizeReader = bool (*)(std::istream&, std::uint16_t&, std::uint16_t&);

// The picture types of a workbook: their codes as the package stores them,
// with the file extension and the size reader of each.
enum ImageType : std::uint32_t {
  kImageGif = 1,
  kImageJpg = 2,
  kImageJpeg = 3,
  kImagePng = 4,
  kImageTif = 5,
  kImageTiff = 6,
};

struct ImageTypeEntry {
  std::string_view extension;  // with the dot, lower case
  ImageType type;
  ImageSizeReader readSize;
};

inline constexpr std::array<ImageTypeEntry, 6> kImageTypes = {{
    {".gif", kImageGif, &ReadGifSize},
    {".jpg", kImageJpg, &ReadJpegSize},
    {".jpeg", kImageJpeg, &ReadJpegSize},
    {".png", kImagePng, &ReadPngSize},
    {".tif", kImageTif, &ReadTiffSize},
    {".tiff", kImageTiff, &ReadTiffSize},
}};

}  // namespace Xlsx
