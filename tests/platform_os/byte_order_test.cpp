#include "platform/os/byte_order.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace ORV::Bytes {
namespace {

using Bytes = std::vector<std::uint8_t>;

template <typename T>
void CheckBoth(T value, const Bytes& little) {
  Bytes le(sizeof(T)), be(sizeof(T));
  PutLE<T>(le.data(), value);
  PutBE<T>(be.data(), value);
  EXPECT_EQ(le, little);
  EXPECT_EQ(be, Bytes(little.rbegin(), little.rend()));
  EXPECT_EQ(GetLE<T>(std::span<const std::uint8_t>(le), 0), value);
  EXPECT_EQ(GetBE<T>(std::span<const std::uint8_t>(be), 0), value);
  Bytes appended{0xEE};
  AppendLE<T>(appended, value);
  AppendBE<T>(appended, value);
  ASSERT_EQ(appended.size(), 1 + 2 * sizeof(T));
  EXPECT_EQ(GetLE<T>(appended.data() + 1), value);
  EXPECT_EQ(GetBE<T>(appended.data() + 1 + sizeof(T)), value);
}

TEST(ByteOrder, EveryWidthAndSignInBothOrders) {
  CheckBoth<std::uint8_t>(0xA5, {0xA5});
  CheckBoth<std::uint16_t>(0x1234, {0x34, 0x12});
  CheckBoth<std::int16_t>(-2, {0xFE, 0xFF});
  CheckBoth<std::uint32_t>(0x89ABCDEF, {0xEF, 0xCD, 0xAB, 0x89});
  CheckBoth<std::int32_t>(-123456789, {0xEB, 0x32, 0xA4, 0xF8});
  CheckBoth<std::uint64_t>(0x0102030405060708ULL, {8, 7, 6, 5, 4, 3, 2, 1});
  CheckBoth<std::int64_t>(-1, Bytes(8, 0xFF));
  CheckBoth<float>(1.5f, {0x00, 0x00, 0xC0, 0x3F});
  CheckBoth<double>(-2.0, {0, 0, 0, 0, 0, 0, 0x00, 0xC0});
}

TEST(ByteOrder, ReadsAtAnOffsetWithoutAlignment) {
  const Bytes bytes{0x00, 0x78, 0x56, 0x34, 0x12, 0x00};
  EXPECT_EQ(GetLE<std::uint32_t>(std::span<const std::uint8_t>(bytes), 1), 0x12345678u);
  EXPECT_EQ(GetBE<std::uint32_t>(std::span<const std::uint8_t>(bytes), 1), 0x78563412u);
}

}  // namespace
}  // namespace ORV::Bytes
