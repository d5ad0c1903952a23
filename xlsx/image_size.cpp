#include "xlsx/image_size.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "platform/os/byte_order.h"

namespace Xlsx {

namespace {

constexpr std::uint32_t kMaxDimension = 0xFFFF;

// A TIFF file with more directories than this before the size fields is not
// a picture this reader accepts; the cap also ends chains built to run long.
constexpr std::size_t kMaxTiffDirectories = 256;

bool ReadExact(std::istream& in, std::uint8_t* buffer, std::size_t count) {
  in.read(reinterpret_cast<char*>(buffer), static_cast<std::streamsize>(count));
  return in.gcount() == static_cast<std::streamsize>(count);
}

using ORV::Bytes::GetBE;
using ORV::Bytes::GetLE;

}  // namespace

bool ReadGifSize(std::istream& in, std::uint16_t& width, std::uint16_t& height) {
  std::uint8_t head[10] = {};
  width = height = 0;
  if (!ReadExact(in, head, sizeof head)) return false;
  width = GetLE<std::uint16_t>(head + 6);
  height = GetLE<std::uint16_t>(head + 8);
  return head[0] == 'G' && head[1] == 'I' && head[2] == 'F';
}

bool ReadJpegSize(std::istream& in, std::uint16_t& width, std::uint16_t& height) {
  width = height = 0;
  std::uint8_t start[2];
  if (!ReadExact(in, start, sizeof start) || start[0] != 0xFF || start[1] != 0xD8) return false;
  // Segment by segment up to the baseline frame header. Every step moves
  // forward by at least the 4 bytes of a segment head, so the walk ends
  // with the input.
  for (;;) {
    std::uint8_t head[4];
    if (!ReadExact(in, head, sizeof head) || head[0] != 0xFF) return false;
    if (head[1] == 0xC0) break;
    const std::uint16_t length = GetBE<std::uint16_t>(head + 2);
    // The length counts its own two bytes; a smaller one is not a segment.
    if (length < 2) return false;
    if (!in.seekg(length - 2, std::ios::cur)) return false;
  }
  std::uint8_t frame[5];  // precision, height, width
  if (!ReadExact(in, frame, sizeof frame)) return false;
  height = GetBE<std::uint16_t>(frame + 1);
  width = GetBE<std::uint16_t>(frame + 3);
  return true;
}

bool ReadPngSize(std::istream& in, std::uint16_t& width, std::uint16_t& height) {
  static constexpr std::uint8_t kSignatureAndHeader[16] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A,
                                                           0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52};
  width = height = 0;
  std::uint8_t head[24];
  if (!ReadExact(in, head, sizeof head) || !std::equal(head, head + 16, kSignatureAndHeader)) return false;
  const std::uint32_t w = GetBE<std::uint32_t>(head + 16);
  const std::uint32_t h = GetBE<std::uint32_t>(head + 20);
  if (w > kMaxDimension || h > kMaxDimension) return false;
  width = static_cast<std::uint16_t>(w);
  height = static_cast<std::uint16_t>(h);
  return true;
}

bool ReadTiffSize(std::istream& in, std::uint16_t& width, std::uint16_t& height) {
  static constexpr std::uint16_t kTagImageWidth = 256;
  static constexpr std::uint16_t kTagImageLength = 257;
  static constexpr std::uint16_t kTypeShort = 3;
  width = height = 0;
  std::uint8_t head[8];
  if (!ReadExact(in, head, sizeof head)) return false;
  bool littleEndian;
  if (head[0] == 'I' && head[1] == 'I' && head[2] == 0x2A && head[3] == 0x00) {
    littleEndian = true;
  } else if (head[0] == 'M' && head[1] == 'M' && head[2] == 0x00 && head[3] == 0x2A) {
    littleEndian = false;
  } else {
    return false;
  }
  const auto u16 = [littleEndian](const std::uint8_t* p) {
    return littleEndian ? GetLE<std::uint16_t>(p) : GetBE<std::uint16_t>(p);
  };
  const auto u32 = [littleEndian](const std::uint8_t* p) {
    return littleEndian ? GetLE<std::uint32_t>(p) : GetBE<std::uint32_t>(p);
  };

  // Directory offsets count from the start of the picture.
  const std::istream::pos_type afterHead = in.tellg();
  if (afterHead == std::istream::pos_type(-1)) return false;  // directories need a seekable input
  const std::istream::pos_type start = afterHead - std::streamoff(sizeof head);
  std::vector<std::uint32_t> visited;
  std::uint16_t w = 0;
  std::uint16_t h = 0;
  bool haveWidth = false;
  bool haveHeight = false;
  std::uint32_t offset = u32(head + 4);
  for (;;) {
    // A directory seen before would make the chain endless.
    if (visited.size() >= kMaxTiffDirectories || std::find(visited.begin(), visited.end(), offset) != visited.end())
      return false;
    visited.push_back(offset);
    if (!in.seekg(start + std::streamoff(offset))) return false;
    std::uint8_t countBytes[2];
    if (!ReadExact(in, countBytes, sizeof countBytes)) return false;
    const std::uint16_t count = u16(countBytes);
    for (std::uint16_t i = 0; i < count; ++i) {
      std::uint8_t entry[12];  // tag, type, value count, value
      if (!ReadExact(in, entry, sizeof entry)) return false;
      const std::uint16_t tag = u16(entry);
      if (tag != kTagImageWidth && tag != kTagImageLength) continue;
      // A SHORT value fills the first two bytes of the value field.
      const std::uint32_t value = u16(entry + 2) == kTypeShort ? u16(entry + 8) : u32(entry + 8);
      if (value > kMaxDimension) return false;
      if (tag == kTagImageWidth) {
        w = static_cast<std::uint16_t>(value);
        haveWidth = true;
      } else {
        h = static_cast<std::uint16_t>(value);
        haveHeight = true;
      }
      if (haveWidth && haveHeight) {
        width = w;
        height = h;
        return true;
      }
    }
    std::uint8_t next[4];
    if (!ReadExact(in, next, sizeof next)) return false;
    offset = u32(next);
    if (offset == 0) return false;
  }
}

}  // namespace Xlsx
