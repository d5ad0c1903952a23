#include "core/base/record_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

namespace ORV {
namespace {

// 80 bytes like a zone record, so the list runs through its doubling blocks
// and into several large ones.
struct Record {
  std::uint32_t time = 0;
  std::array<float, 19> values{};
  bool operator==(const Record&) const = default;
};

constexpr std::size_t kMany = 100'000;  // past the small blocks and over three large ones

RecordList<Record> Filled(std::size_t count) {
  RecordList<Record> list;
  for (std::size_t i = 0; i < count; ++i) list.push_back({static_cast<std::uint32_t>(i * 3), {float(i)}});
  return list;
}

TEST(RecordList, EveryRecordStaysWhereItWasPutAcrossBlocks) {
  RecordList<Record> list = Filled(kMany);
  const Record* first = &list[0];
  const Record* early = &list[17];
  list.push_back({});  // appending moves nothing
  EXPECT_EQ(first, &list[0]);
  EXPECT_EQ(early, &list[17]);
  ASSERT_EQ(list.size(), kMany + 1);
  list.pop_back();
  std::size_t i = 0;
  for (const Record& r : list) {
    ASSERT_EQ(r.time, i * 3) << i;
    ASSERT_EQ(r.values[0], float(i));
    ++i;
  }
  EXPECT_EQ(i, kMany);
  EXPECT_EQ(list.front().time, 0u);
  EXPECT_EQ(list.back().time, (kMany - 1) * 3);
  EXPECT_THROW(list.at(kMany), std::out_of_range);

  // Sorted by time, so a binary search finds every record.
  for (std::size_t k : {std::size_t{0}, std::size_t{15}, std::size_t{16}, std::size_t{26213}, std::size_t{32752},
                        std::size_t{kMany - 1}}) {
    auto it = std::lower_bound(list.begin(), list.end(), static_cast<std::uint32_t>(k * 3),
                               [](const Record& r, std::uint32_t t) { return r.time < t; });
    ASSERT_NE(it, list.end());
    EXPECT_EQ(it - list.begin(), static_cast<std::ptrdiff_t>(k));
  }
}

TEST(RecordList, ItsBlocksTakeTheDoublingBlocksThenWholeLargeBlocks) {
  EXPECT_EQ(RecordList<Record>().BlockBytes(), 0u);
  EXPECT_EQ(Filled(1).BlockBytes(), 16 * sizeof(Record));
  EXPECT_EQ(Filled(17).BlockBytes(), (16 + 32) * sizeof(Record));
  // Past the doubling blocks every block is a large one, however little of
  // it is filled.
  const std::size_t perLarge = OS::kLargeBlockBytes / sizeof(Record);
  std::size_t doubling = 0;  // records in the doubling blocks: 16, 32, ... below one large block's
  for (std::size_t capacity = 16; capacity < perLarge; capacity *= 2) doubling += capacity;
  const std::size_t large = (kMany - doubling + perLarge - 1) / perLarge;
  ASSERT_GE(large, 3u);
  EXPECT_EQ(Filled(kMany).BlockBytes(), doubling * sizeof(Record) + large * OS::kLargeBlockBytes);
}

TEST(RecordList, CopiesMovesAndAssignsWholeLists) {
  const RecordList<Record> original = Filled(40'000);
  RecordList<Record> copy = original;
  EXPECT_EQ(copy, original);
  copy[39'999].time = 1;
  EXPECT_FALSE(copy == original);

  RecordList<Record> moved = std::move(copy);
  EXPECT_EQ(moved.size(), 40'000u);
  EXPECT_TRUE(copy.empty());  // NOLINT: a moved-from list is empty and usable
  copy.push_back({7, {}});
  EXPECT_EQ(copy.size(), 1u);

  moved = original;
  EXPECT_EQ(moved, original);
  moved.assign(original.begin(), original.begin() + 10);
  EXPECT_EQ(moved.size(), 10u);
  moved.insert(moved.end(), original.begin() + 10, original.begin() + 20);
  EXPECT_TRUE(std::equal(moved.begin(), moved.end(), original.begin()));
  EXPECT_THROW(moved.insert(moved.begin(), original.begin(), original.end()), std::logic_error);

  moved.clear();
  EXPECT_TRUE(moved.empty());
  moved.push_back({1, {}});
  EXPECT_EQ(moved.back().time, 1u);
}

TEST(RecordList, DestroysRecordsThatOwnMemory) {
  // Run under the address sanitizer, a record left undestroyed shows as a leak.
  RecordList<std::string> texts;
  for (int i = 0; i < 5000; ++i) texts.emplace_back(64, static_cast<char>('a' + i % 26));
  RecordList<std::string> other = texts;
  texts.clear();
  EXPECT_EQ(other[4999], std::string(64, static_cast<char>('a' + 4999 % 26)));
}

}  // namespace
}  // namespace ORV
