// Event sinks on one thread: order, disconnecting inside a handler, and the
// report of a sink that cannot take an event's arguments.
#include "platform/com/events.h"

#include <gtest/gtest.h>

namespace ORV::Com {
namespace {

struct Recorder {
  std::string name;
  std::vector<std::string>* log;
  ConnectionPoint* point = nullptr;
  ConnectionPoint::Cookie ownCookie = 0;
  void OnValue(std::int32_t v) { log->push_back(name + std::to_string(v)); }
  void OnLeave(std::int32_t v) {
    log->push_back(name + "-leave" + std::to_string(v));
    point->Unadvise(ownCookie);
  }
  static const DispatchTable<Recorder>& Table() {
    static const DispatchTable<Recorder> table = [] {
      DispatchTable<Recorder> t;
      t.Method(1, "Value", &Recorder::OnValue);
      t.Method(2, "Leave", &Recorder::OnLeave);
      return t;
    }();
    return table;
  }
};

TEST(EventsTest, SinksAreCalledInConnectionOrderAndMayLeaveInsideAHandler) {
  std::vector<std::string> log;
  ConnectionPoint point;
  Recorder a{"a", &log, &point}, b{"b", &log, &point};
  EventSink<Recorder> sa(a, Recorder::Table()), sb(b, Recorder::Table());
  a.ownCookie = point.Advise(&sa);
  b.ownCookie = point.Advise(&sb);
  EXPECT_EQ(point.Advise(nullptr), 0u);
  EXPECT_EQ(point.SinkCount(), 2u);

  point.Fire(1, 1);
  point.Fire(2, 2);   // a leaves inside its handler; b still gets this event
  point.Fire(1, 3);   // nobody is left
  point.Fire(99, 0);  // an event no sink handles is ignored
  EXPECT_EQ(log, (std::vector<std::string>{"a1", "b1", "a-leave2", "b-leave2"}));
  EXPECT_EQ(point.SinkCount(), 0u);  // b left too, inside its "Leave"
  EXPECT_FALSE(point.Unadvise(a.ownCookie));
}

TEST(EventsTest, ASinkThatCannotTakeTheArgumentsIsReported) {
  std::vector<std::string> log;
  ConnectionPoint point;
  Recorder a{"a", &log, &point};
  EventSink<Recorder> sink(a, Recorder::Table());
  point.Advise(&sink);
  EXPECT_THROW(point.Fire(1, "text"), DispatchError);  // strict in tests
  point.Fire(1, 5);                                    // the sink is still connected and usable
  EXPECT_EQ(log, std::vector<std::string>{"a5"});
}

}  // namespace
}  // namespace ORV::Com
