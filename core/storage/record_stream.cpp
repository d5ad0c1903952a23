#include "core/storage/record_stream.h"

#include <cstring>

namespace ORV {

namespace Utils::FileSystem {

void VectorSerializationStream::Write(const void* data, std::size_t size) {
  if (size == 0) return;
  const auto* p = static_cast<const std::uint8_t*>(data);
  bytes_.insert(bytes_.end(), p, p + size);
}

}  // namespace Utils::FileSystem

ByteArrayStreamBuf::ByteArrayStreamBuf(const void* data, std::size_t size) {
  // The get area is the caller's range; nothing ever writes through it (there
  // is no put area and a put-back only steps back over an equal byte).
  char* begin = static_cast<char*>(const_cast<void*>(data));
  if (begin == nullptr) size = 0;
  setg(begin, begin, begin + size);
}

ByteArrayStreamBuf::int_type ByteArrayStreamBuf::pbackfail(int_type) {
  // The base class steps back by itself whenever that is allowed: it calls
  // here only at the start of the range or for a byte that differs.
  return traits_type::eof();
}

std::streamsize ByteArrayStreamBuf::showmanyc() { return egptr() - gptr(); }

ByteArrayStreamBuf::int_type ByteArrayStreamBuf::underflow() {
  if (gptr() == egptr()) return traits_type::eof();
  return traits_type::to_int_type(*gptr());
}

ByteArrayStreamBuf::pos_type ByteArrayStreamBuf::MoveTo(char* target) {
  if (target < eback() || target > egptr()) return pos_type(off_type(-1));
  setg(eback(), target, egptr());
  return pos_type(off_type(target - eback()));
}

ByteArrayStreamBuf::pos_type ByteArrayStreamBuf::seekoff(off_type offset, std::ios_base::seekdir origin,
                                                         std::ios_base::openmode which) {
  if (!(which & std::ios_base::in)) return pos_type(off_type(-1));
  off_type base = 0;
  switch (origin) {
    case std::ios_base::beg:
      base = 0;
      break;
    case std::ios_base::cur:
      base = gptr() - eback();
      break;
    case std::ios_base::end:
      base = egptr() - eback();
      break;
    default:
      return pos_type(off_type(-1));
  }
  const off_type size = egptr() - eback();
  const off_type target = base + offset;
  if (target < 0 || target > size) return pos_type(off_type(-1));
  return MoveTo(eback() + target);
}

ByteArrayStreamBuf::pos_type ByteArrayStreamBuf::seekpos(pos_type position, std::ios_base::openmode which) {
  return seekoff(off_type(position), std::ios_base::beg, which);
}

namespace {

template <typename T>
T ReadUnchecked(std::istream& in) {
  std::uint8_t b[sizeof(T)];
  std::memset(b, 0xFF, sizeof b);
  in.read(reinterpret_cast<char*>(b), sizeof b);
  return Bytes::GetLE<T>(b);
}

}  // namespace

std::uint16_t ReadU16(std::istream& in) { return ReadUnchecked<std::uint16_t>(in); }

std::uint32_t ReadU32(std::istream& in) { return ReadUnchecked<std::uint32_t>(in); }

void WriteText(SerializationStream& out, std::string_view utf8) {
  std::size_t size = utf8.size();
  if (size > kMaxStoredTextBytes) {
    size = kMaxStoredTextBytes;
    // Step back over continuation bytes so no character is split.
    while (size > 0 && (static_cast<unsigned char>(utf8[size]) & 0xC0) == 0x80) --size;
  }
  WriteU16(out, static_cast<std::uint16_t>(size));
  out.Write(utf8.data(), size);
}

bool ReadText(std::istream& in, std::string& text) {
  std::uint16_t size = 0;
  if (!ReadLE(in, size)) return false;
  std::string value(size, '\0');
  if (size > 0 && !in.read(value.data(), size)) return false;
  text = std::move(value);
  return true;
}

}  // namespace ORV
