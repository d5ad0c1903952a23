#include "xlsx/image_size.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <sstream>
#include <string>

namespace Xlsx {
namespace {

// Picture heads built byte by byte.
struct Bytes {
  std::string data;
  Bytes& Raw(std::initializer_list<int> bytes) {
    for (int b : bytes) data += static_cast<char>(b);
    return *this;
  }
  Bytes& Text(const std::string& s) {
    data += s;
    return *this;
  }
  Bytes& Be(std::uint32_t v, int size) {
    for (int i = size - 1; i >= 0; --i) data += static_cast<char>(v >> (8 * i));
    return *this;
  }
  Bytes& Le(std::uint32_t v, int size) {
    for (int i = 0; i < size; ++i) data += static_cast<char>(v >> (8 * i));
    return *this;
  }
  Bytes& Zeros(std::size_t n) {
    data.append(n, '\0');
    return *this;
  }
};

Bytes Gif(const char* version, std::uint32_t w, std::uint32_t h) { return Bytes().Text(version).Le(w, 2).Le(h, 2); }

Bytes Png(std::uint32_t w, std::uint32_t h) {
  return Bytes().Raw({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 0x0D}).Text("IHDR").Be(w, 4).Be(h, 4);
}

// SOI, an APP0 segment, then a frame header of the given marker.
Bytes Jpeg(int frameMarker, std::uint32_t w, std::uint32_t h) {
  return Bytes()
      .Raw({0xFF, 0xD8, 0xFF, 0xE0})
      .Be(16, 2)
      .Text("JFIF")
      .Zeros(10)
      .Raw({0xFF, frameMarker})
      .Be(17, 2)
      .Raw({8})
      .Be(h, 2)
      .Be(w, 2)
      .Raw({3})
      .Zeros(9);
}

// A directory entry: tag, type, count 1, value (a SHORT in the first two bytes
// of the value field, a LONG in all four).
struct Entry {
  std::uint16_t tag;
  std::uint16_t type;
  std::uint32_t value;
};

Bytes& TiffEntry(Bytes& b, bool le, const Entry& e) {
  auto put = [&](std::uint32_t v, int size) -> Bytes& { return le ? b.Le(v, size) : b.Be(v, size); };
  put(e.tag, 2);
  put(e.type, 2);
  put(1, 4);
  if (e.type == 3) {
    put(e.value, 2);
    b.Zeros(2);
  } else {
    put(e.value, 4);
  }
  return b;
}

// A TIFF head with one directory at offset 8 holding the entries, followed
// by `next` as the offset of the next directory.
Bytes Tiff(bool le, std::initializer_list<Entry> entries, std::uint32_t next = 0) {
  Bytes b;
  auto put = [&](std::uint32_t v, int size) -> Bytes& { return le ? b.Le(v, size) : b.Be(v, size); };
  b.Text(le ? "II" : "MM");
  put(42, 2);
  put(8, 4);
  put(static_cast<std::uint32_t>(entries.size()), 2);
  for (const Entry& e : entries) TiffEntry(b, le, e);
  put(next, 4);
  return b;
}

constexpr std::uint16_t kShort = 3;
constexpr std::uint16_t kLong = 4;

struct Case {
  const char* name;
  ImageSizeReader read;
  std::string data;
  bool ok;
  std::uint16_t width = 0;
  std::uint16_t height = 0;
};

TEST(ImageSize, ReadsTheSizeFromEachKindOfHeader) {
  // A chain of 300 distinct empty directories, each pointing to the next.
  Bytes longChain = Bytes().Text("II").Le(42, 2).Le(8, 4);
  for (std::uint32_t i = 0; i < 300; ++i) longChain.Le(0, 2).Le(8 + 6 * (i + 1), 4);
  longChain.Le(2, 2);
  TiffEntry(longChain, true, {256, kShort, 1});
  TiffEntry(longChain, true, {257, kShort, 1});

  Bytes secondDirectory = Tiff(true, {{254, kLong, 0}}, 26);
  secondDirectory.Le(2, 2);
  TiffEntry(secondDirectory, true, {257, kLong, 30});
  TiffEntry(secondDirectory, true, {256, kShort, 20});

  const std::vector<Case> cases = {
      {"GIF89a", &ReadGifSize, Gif("GIF89a", 640, 480).data, true, 640, 480},
      {"GIF87a at the largest size", &ReadGifSize, Gif("GIF87a", 65535, 1).data, true, 65535, 1},
      {"GIF cut short", &ReadGifSize, Gif("GIF89a", 640, 480).data.substr(0, 9), false},
      {"GIF signature wrong", &ReadGifSize, Gif("GIX89a", 640, 480).data, false, 640, 480},

      {"PNG", &ReadPngSize, Png(800, 600).data, true, 800, 600},
      {"PNG at the largest size", &ReadPngSize, Png(65535, 65535).data, true, 65535, 65535},
      {"PNG width of 65536", &ReadPngSize, Png(65536, 10).data, false},
      {"PNG height of 65536", &ReadPngSize, Png(10, 65536).data, false},
      {"PNG without IHDR first", &ReadPngSize, Bytes(Png(8, 8)).data.replace(12, 4, "IDAT"), false},
      {"PNG cut short", &ReadPngSize, Png(8, 8).data.substr(0, 23), false},

      {"baseline JPEG", &ReadJpegSize, Jpeg(0xC0, 1024, 768).data, true, 1024, 768},
      {"progressive JPEG", &ReadJpegSize, Jpeg(0xC2, 1024, 768).data, false},
      {"JPEG without start marker", &ReadJpegSize, Jpeg(0xC0, 8, 8).data.substr(2), false},
      {"JPEG segment length 0", &ReadJpegSize, Bytes().Raw({0xFF, 0xD8, 0xFF, 0xE0, 0, 0}).data, false},
      {"JPEG segment length 1", &ReadJpegSize, Bytes().Raw({0xFF, 0xD8, 0xFF, 0xE0, 0, 1, 0xFF, 0xE0}).data, false},
      {"JPEG segment length 2", &ReadJpegSize,
       Bytes().Raw({0xFF, 0xD8, 0xFF, 0xE0, 0, 2, 0xFF, 0xC0, 0, 11, 8, 0, 5, 0, 6}).data, true, 6, 5},
      {"JPEG segment past the end", &ReadJpegSize, Bytes().Raw({0xFF, 0xD8, 0xFF, 0xE0, 0xFF, 0xFF}).data, false},
      {"JPEG segment head without 0xFF", &ReadJpegSize, Bytes().Raw({0xFF, 0xD8, 0xFE, 0xC0, 0, 17}).data, false},
      {"JPEG frame header cut short", &ReadJpegSize, Jpeg(0xC0, 8, 8).data.substr(0, 28), false},

      {"little-endian TIFF", &ReadTiffSize, Tiff(true, {{256, kShort, 640}, {257, kLong, 480}}).data, true, 640, 480},
      {"big-endian TIFF with SHORT sizes", &ReadTiffSize, Tiff(false, {{256, kShort, 640}, {257, kShort, 480}}).data,
       true, 640, 480},
      {"big-endian TIFF with LONG sizes", &ReadTiffSize, Tiff(false, {{257, kLong, 480}, {256, kLong, 640}}).data, true,
       640, 480},
      {"TIFF size in the second directory", &ReadTiffSize, secondDirectory.data, true, 20, 30},
      {"TIFF width beyond 65535", &ReadTiffSize, Tiff(true, {{256, kLong, 65536}, {257, kLong, 480}}).data, false},
      {"TIFF without height", &ReadTiffSize, Tiff(true, {{256, kShort, 640}, {256, kShort, 640}}).data, false},
      {"TIFF directory pointing to itself", &ReadTiffSize, Tiff(true, {{254, kLong, 0}}, 8).data, false},
      {"TIFF chain of 300 directories", &ReadTiffSize, longChain.data, false},
      {"TIFF directory past the end", &ReadTiffSize, Bytes().Text("II").Le(42, 2).Le(1000, 4).data, false},
      {"TIFF entries cut short", &ReadTiffSize, Tiff(true, {{256, kShort, 640}, {257, kShort, 480}}).data.substr(0, 25),
       false},
      {"TIFF byte order mark wrong", &ReadTiffSize, Bytes(Tiff(true, {{256, kShort, 1}})).data.replace(0, 2, "IM"),
       false},
      {"TIFF magic in the other order", &ReadTiffSize, Bytes().Text("II").Be(42, 2).Le(8, 4).data, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::istringstream in(c.data);
    std::uint16_t width = 1;
    std::uint16_t height = 1;
    EXPECT_EQ(c.read(in, width, height), c.ok);
    EXPECT_EQ(width, c.width);
    EXPECT_EQ(height, c.height);
  }
}

TEST(ImageSize, TiffOffsetsCountFromThePictureStart) {
  const std::string picture = Tiff(false, {{256, kShort, 12}, {257, kShort, 34}}).data;
  std::istringstream in("prefix" + picture);
  in.seekg(6);
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  EXPECT_TRUE(ReadTiffSize(in, width, height));
  EXPECT_EQ(width, 12);
  EXPECT_EQ(height, 34);
}

TEST(ImageSize, TypeTablePairsExtensionsWithReaders) {
  const std::vector<std::pair<std::string, ImageType>> expected = {{".gif", kImageGif},   {".jpg", kImageJpg},
                                                                   {".jpeg", kImageJpeg}, {".png", kImagePng},
                                                                   {".tif", kImageTif},   {".tiff", kImageTiff}};
  const std::string samples[] = {Gif("GIF89a", 3, 4).data,
                                 Jpeg(0xC0, 3, 4).data,
                                 Jpeg(0xC0, 3, 4).data,
                                 Png(3, 4).data,
                                 Tiff(true, {{256, kShort, 3}, {257, kShort, 4}}).data,
                                 Tiff(false, {{256, kShort, 3}, {257, kShort, 4}}).data};
  ASSERT_EQ(kImageTypes.size(), expected.size());
  for (std::size_t i = 0; i < kImageTypes.size(); ++i) {
    SCOPED_TRACE(expected[i].first);
    EXPECT_EQ(kImageTypes[i].extension, expected[i].first);
    EXPECT_EQ(kImageTypes[i].type, expected[i].second);
    std::istringstream in(samples[i]);
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    EXPECT_TRUE(kImageTypes[i].readSize(in, width, height));
    EXPECT_EQ(width, 3);
    EXPECT_EQ(height, 4);
  }
}

}  // namespace
}  // namespace Xlsx
