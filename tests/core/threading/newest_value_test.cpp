#include "core/threading/newest_value.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace ORV::Threading {
namespace {

TEST(NewestValue, TheConsumerTakesOnlyTheNewestAndIsToldOncePerTake) {
  NewestValue<std::string> value;
  int told = 0;
  const auto tell = [&] { return ++told, true; };
  std::string out = "untouched";
  EXPECT_FALSE(value.Take(out));
  EXPECT_EQ(out, "untouched");
  EXPECT_EQ(value.Current(), "");

  value.Put("a", tell);
  value.Put("b", tell);
  value.Put("c", tell);
  EXPECT_EQ(told, 1) << "one notice for a burst";
  EXPECT_TRUE(value.HasNew());
  ASSERT_TRUE(value.Take(out));
  EXPECT_EQ(out, "c");
  EXPECT_FALSE(value.HasNew());
  EXPECT_FALSE(value.Take(out)) << "a second notice of the burst finds nothing";
  EXPECT_EQ(value.Current(), "c") << "the value stays readable once taken";

  value.Put("d", tell);
  EXPECT_EQ(told, 2) << "the first value after a take tells again";

  // Put without a notice, and Clear: nothing waits, nobody is told.
  value.Clear();
  EXPECT_FALSE(value.Take(out));
  value.Put("e");
  EXPECT_EQ(told, 2);
  ASSERT_TRUE(value.Take(out));
  EXPECT_EQ(out, "e");
}

TEST(NewestValue, ANoticeThatCannotBeDeliveredDropsTheValueAndTheNextPutTriesAgain) {
  NewestValue<int> value;
  bool reachable = false;
  int tries = 0;
  const auto tell = [&] { return ++tries, reachable; };
  value.Put(1, tell);
  int out = 0;
  EXPECT_FALSE(value.Take(out));
  EXPECT_EQ(value.Current(), 1);
  reachable = true;
  value.Put(2, tell);
  value.Put(3, tell);
  EXPECT_EQ(tries, 2);
  ASSERT_TRUE(value.Take(out));
  EXPECT_EQ(out, 3);
}

// A value whose two halves are always written together.
struct Pair {
  long first = 0;
  long second = 0;
};

TEST(NewestValue, EveryProducedValueIsToldOrTakenAndNoneIsSeenHalfWritten) {
  NewestValue<Pair> value;
  std::atomic<int> notices{0};
  std::atomic<bool> done{false};
  constexpr long kPuts = 20000;
  std::thread producer([&] {
    for (long i = 1; i <= kPuts; ++i) value.Put({i, -i}, [&] { return ++notices, true; });
    done = true;
  });
  long last = 0;
  int takes = 0;
  Pair p;
  while (!done || value.HasNew()) {
    if (!value.Take(p)) continue;
    ++takes;
    ASSERT_EQ(p.first, -p.second);
    ASSERT_GT(p.first, last) << "values are taken in the order they were put";
    last = p.first;
  }
  producer.join();
  EXPECT_EQ(last, kPuts) << "the last value is never lost";
  EXPECT_EQ(notices.load(), takes) << "each notice is followed by exactly one take";
}

}  // namespace
}  // namespace ORV::Threading
