#pragma once
// Turning stored records into bytes and back.
//
// Records are written into a byte sink (a VectorSerializationStream collects
// them in memory) and read back through a ByteArrayStreamBuf, a read-only
// stream buffer over a byte range that the standard input-stream machinery can
// read in place. Every multi-byte number is little-endian; a text field is a
// u16 byte count followed by that many bytes of UTF-8.
#include <cstddef>
#include <cstdint>
#include <istream>
#include <span>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

#include "platform/os/byte_order.h"
#include "platform/os/text.h"

namespace ORV::Utils::FileSystem {

// A sink of bytes.
class SerializationStream {
 public:
  virtual ~SerializationStream() = default;
  // Appends `size` bytes.
  virtual void Write(const void* data, std::size_t size) = 0;
  // The first byte collected (nullptr while nothing was written).
  virtual const std::uint8_t* Data() const = 0;
  virtual std::size_t Size() const = 0;
};

// Collects the bytes in memory.
class VectorSerializationStream final : public SerializationStream {
 public:
  void Write(const void* data, std::size_t size) override;
  const std::uint8_t* Data() const override { return bytes_.empty() ? nullptr : bytes_.data(); }
  std::size_t Size() const override { return bytes_.size(); }
  std::span<const std::uint8_t> Bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

}  // namespace ORV::Utils::FileSystem

namespace ORV {

using Utils::FileSystem::SerializationStream;
using Utils::FileSystem::VectorSerializationStream;

// Read-only stream buffer over a byte range it does not own. Reading past the
// end gives end-of-file; a byte can be put back only when it equals the byte
// before the current position; seeks outside the range fail (-1) and leave the
// position unchanged.
class ByteArrayStreamBuf : public std::streambuf {
 public:
  ByteArrayStreamBuf(const void* data, std::size_t size);
  explicit ByteArrayStreamBuf(std::span<const std::uint8_t> bytes) : ByteArrayStreamBuf(bytes.data(), bytes.size()) {}

 protected:
  int_type pbackfail(int_type c) override;
  std::streamsize showmanyc() override;
  int_type underflow() override;
  pos_type seekoff(off_type offset, std::ios_base::seekdir origin, std::ios_base::openmode which) override;
  pos_type seekpos(pos_type position, std::ios_base::openmode which) override;

 private:
  pos_type MoveTo(char* target);
};

// Little-endian numbers on a stream.
template <typename T>
void WriteLE(SerializationStream& out, T value) {
  std::uint8_t b[sizeof(T)];
  Bytes::PutLE<T>(b, value);
  out.Write(b, sizeof b);
}

// Reads a little-endian value; false, with `value` untouched, when the
// stream ends first.
template <typename T>
bool ReadLE(std::istream& in, T& value) {
  std::uint8_t b[sizeof(T)];
  if (!in.read(reinterpret_cast<char*>(b), sizeof b)) return false;
  value = Bytes::GetLE<T>(b);
  return true;
}

// The unchecked forms: a byte missing at the end reads as 0xFF (the low byte
// of end-of-file), so callers check a value's size before they read it.
inline void WriteU16(SerializationStream& out, std::uint16_t value) { WriteLE(out, value); }
inline void WriteU32(SerializationStream& out, std::uint32_t value) { WriteLE(out, value); }
std::uint16_t ReadU16(std::istream& in);
std::uint32_t ReadU32(std::istream& in);

// Longest text a text field holds, in bytes.
inline constexpr std::size_t kMaxStoredTextBytes = 0xFFFF;

// A text field: u16 byte count, then the UTF-8 bytes. Text longer than the
// field holds is cut at a character boundary.
void WriteText(SerializationStream& out, std::string_view utf8);
// False (and `text` unchanged) when the stream ends before the field does.
bool ReadText(std::istream& in, std::string& text);

// The program's UTF-16 text as UTF-8; unpaired surrogates become U+FFFD.
using OS::Utf16ToUtf8;

}  // namespace ORV
