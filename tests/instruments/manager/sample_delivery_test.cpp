// The shared pressure holder and the inboxes through which the workers hand
// readings to windows: copies, tickets, limits, and a producer and a slow
// consumer on two threads.
#include "instruments/sample_delivery.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "instruments/data_holder.h"
#include "tests/instruments/manager/recording_target.h"

namespace ORV::Test {
namespace {

PMK4xData3 Reading(int n) {
  PMK4xData3 r;
  r.p1 = static_cast<float>(n);
  r.p2 = static_cast<float>(n);
  r.time = static_cast<std::uint32_t>(n);
  r.extended.fill(static_cast<std::uint32_t>(n));
  return r;
}
bool Whole(const PMK4xData3& r) {
  return r.p1 == static_cast<float>(r.time) && r.p2 == r.p1 && r.extended[9] == r.time && r.extended[0] == r.time;
}

TEST(DataHolderTest, NewestReadingIsTakenOnceAndEveryReadingQueued) {
  DataHolder<PMK4xData3> holder;
  PMK4xData3 out;
  EXPECT_FALSE(holder.TakeNewest(out));
  // Before any reading the record's defaults stand.
  EXPECT_EQ(holder.Current().flowValid, 1);
  EXPECT_EQ(holder.Current().gradient, 5.0f);
  EXPECT_EQ(holder.Current().index, -1);
  EXPECT_EQ(holder.Current().dutyRate, 50);

  holder.Put(Reading(1));
  holder.Put(Reading(2));
  EXPECT_TRUE(holder.HasNewData());
  ASSERT_TRUE(holder.TakeNewest(out));
  EXPECT_EQ(out.time, 2u);
  EXPECT_FALSE(holder.TakeNewest(out));
  EXPECT_EQ(holder.Current().time, 2u);
  const std::deque<PMK4xData3> queued = holder.TakeQueue();
  ASSERT_EQ(queued.size(), 2u);
  EXPECT_EQ(queued[0].time, 1u);
  EXPECT_EQ(holder.QueueSize(), 0u);

  // Nobody empties the queue: it keeps the newest readings only.
  for (std::size_t i = 0; i < DataHolder<PMK4xData3>::kQueueLimit + 5; ++i) holder.Put(Reading(static_cast<int>(i)));
  EXPECT_EQ(holder.QueueSize(), DataHolder<PMK4xData3>::kQueueLimit);
  EXPECT_EQ(holder.TakeQueue().front().time, 5u);
}

TEST(DataHolderTest, ConsumerOnAnotherThreadNeverSeesAHalfWrittenReading) {
  DataHolder<PMK4xData3> holder;
  constexpr int kReadings = 10000;  // below the queue limit, so none is dropped
  std::atomic<bool> done{false};
  std::size_t queued = 0;
  bool whole = true;
  std::thread consumer([&] {
    PMK4xData3 out;
    for (;;) {
      const bool last = done.load();
      if (holder.TakeNewest(out)) whole = whole && Whole(out);
      for (const PMK4xData3& r : holder.TakeQueue()) {
        whole = whole && Whole(r);
        ++queued;
      }
      if (last) break;
    }
  });
  for (int i = 1; i <= kReadings; ++i) holder.Put(Reading(i));
  done.store(true);
  consumer.join();
  EXPECT_TRUE(whole);
  EXPECT_EQ(queued, static_cast<std::size_t>(kReadings));
}

TEST(SampleInboxTest, EachMessageCarriesItsOwnCopy) {
  auto target = std::make_shared<RecordingTarget>();
  SampleInbox inbox(target);
  FMASL1600Data flow;
  flow.flow = 7;
  ASSERT_TRUE(inbox.PostSample(2, flow));
  flow.flow = 8;  // the worker's record changes at its next cycle
  ASSERT_TRUE(inbox.PostSample(2, flow));
  MicroscopeSample m;
  m.microscope = 3;
  ASSERT_TRUE(inbox.PostSample(16, m));

  const std::vector<Posted> posted = target->Messages();
  ASSERT_EQ(posted.size(), 3u);
  EXPECT_EQ(posted[0], (Posted{WM_NEW_SAMPLE, 2, posted[0].lParam}));
  EXPECT_NE(posted[0].lParam, 0);
  EXPECT_EQ(inbox.Pending(), 3u);
  EXPECT_EQ(inbox.Take<FMASL1600Data>(posted[0].lParam)->flow, 7);
  EXPECT_EQ(inbox.Take<FMASL1600Data>(posted[1].lParam)->flow, 8);
  EXPECT_FALSE(inbox.Take<FMASL1600Data>(posted[1].lParam));  // taken once
  EXPECT_FALSE(inbox.Take<FMASL1600Data>(posted[2].lParam));  // another record type
  EXPECT_FALSE(inbox.Take<FMASL1600Data>(0));
  EXPECT_EQ(inbox.Pending(), 0u);
}

TEST(SampleInboxTest, CopiesOfLostOrRefusedMessagesDoNotStay) {
  auto target = std::make_shared<RecordingTarget>();
  SampleInbox inbox(target);
  FMASL1600Data flow;
  for (int i = 0; i < 3; ++i) {
    flow.flow = static_cast<std::int16_t>(i);
    inbox.PostSample(2, flow);
  }
  // The first two messages were never handled: taking the third drops them.
  const std::vector<Posted> posted = target->Messages();
  EXPECT_EQ(inbox.Take<FMASL1600Data>(posted[2].lParam)->flow, 2);
  EXPECT_EQ(inbox.Pending(), 0u);
  EXPECT_FALSE(inbox.Take<FMASL1600Data>(posted[0].lParam));

  target->Refuse(true);
  EXPECT_FALSE(inbox.PostSample(2, flow));
  EXPECT_EQ(inbox.Pending(), 0u);
  target->Refuse(false);

  for (std::size_t i = 0; i < SampleInbox::kMaxPending + 10; ++i) inbox.PostSample(2, flow);
  EXPECT_EQ(inbox.Pending(), SampleInbox::kMaxPending);
  EXPECT_FALSE(SampleInbox(nullptr).PostSample(2, flow));
}

}  // namespace
}  // namespace ORV::Test
