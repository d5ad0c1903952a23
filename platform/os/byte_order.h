#pragma once
// Little- and big-endian readers and writers of fixed-size values.
//
// Every stored or transmitted binary layout of the program (records, file
// headers, HID reports, archive entries) is read and written field by field
// through these functions, never by copying a struct, so the bytes are the
// same whatever the host's byte order and alignment.
//
// Readers take the bytes as a span and the offset of the value; they do not
// check the length themselves beyond a debug assertion: the caller checks the
// size of the whole record once before it reads its fields. Writers put the
// value at a pointer or append it to a byte vector.
//
// This header includes nothing of the project, so leaf headers (the
// instrument sample records) may use it.
#include <bit>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <span>
#include <type_traits>
#include <vector>

namespace ORV::Bytes {

namespace detail {
template <typename T>
using UnsignedOf =
    std::conditional_t<sizeof(T) == 1, std::uint8_t,
                       std::conditional_t<sizeof(T) == 2, std::uint16_t,
                                          std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>>>;

template <typename T>
constexpr void CheckType() {
  static_assert(std::is_arithmetic_v<T>, "byte order helpers read and write numbers");
  static_assert(sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 4 || sizeof(T) == 8);
}
}  // namespace detail

// Writes v in little-endian order at p (sizeof(T) bytes).
template <typename T>
inline void PutLE(std::uint8_t* p, T v) {
  detail::CheckType<T>();
  using U = detail::UnsignedOf<T>;
  const U u = std::bit_cast<U>(v);
  for (std::size_t i = 0; i < sizeof(T); ++i) p[i] = static_cast<std::uint8_t>(u >> (8 * i));
}

// Writes v in big-endian order at p (sizeof(T) bytes).
template <typename T>
inline void PutBE(std::uint8_t* p, T v) {
  detail::CheckType<T>();
  using U = detail::UnsignedOf<T>;
  const U u = std::bit_cast<U>(v);
  for (std::size_t i = 0; i < sizeof(T); ++i) p[i] = static_cast<std::uint8_t>(u >> (8 * (sizeof(T) - 1 - i)));
}

// Reads a little-endian value from p.
template <typename T>
inline T GetLE(const std::uint8_t* p) {
  detail::CheckType<T>();
  using U = detail::UnsignedOf<T>;
  U u = 0;
  for (std::size_t i = 0; i < sizeof(T); ++i) u |= static_cast<U>(static_cast<U>(p[i]) << (8 * i));
  return std::bit_cast<T>(u);
}

// Reads a big-endian value from p.
template <typename T>
inline T GetBE(const std::uint8_t* p) {
  detail::CheckType<T>();
  using U = detail::UnsignedOf<T>;
  U u = 0;
  for (std::size_t i = 0; i < sizeof(T); ++i) u = static_cast<U>((u << 8) | p[i]);
  return std::bit_cast<T>(u);
}

// Span forms: the value at `offset` of `bytes`.
template <typename T>
inline T GetLE(std::span<const std::uint8_t> bytes, std::size_t offset) {
  assert(offset + sizeof(T) <= bytes.size());
  return GetLE<T>(bytes.data() + offset);
}
template <typename T>
inline T GetBE(std::span<const std::uint8_t> bytes, std::size_t offset) {
  assert(offset + sizeof(T) <= bytes.size());
  return GetBE<T>(bytes.data() + offset);
}

// Appends v to out in little- or big-endian order.
template <typename T>
inline void AppendLE(std::vector<std::uint8_t>& out, T v) {
  const std::size_t at = out.size();
  out.resize(at + sizeof(T));
  PutLE<T>(out.data() + at, v);
}
template <typename T>
inline void AppendBE(std::vector<std::uint8_t>& out, T v) {
  const std::size_t at = out.size();
  out.resize(at + sizeof(T));
  PutBE<T>(out.data() + at, v);
}

}  // namespace ORV::Bytes
