// The simulator kit, seen from the driver's side through a real terminal
// handle on the pseudo-terminal.
#include "platform/sim/serial_responder.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/os/serial_port.h"
#include "tests/platform_sim/terminal_line.h"

namespace ORV::Sim {
namespace {

using namespace std::chrono_literals;

TEST(SerialResponder, CutsLinesAtCarriageReturnAndRecordsEveryByte) {
  SerialResponder sim(Framing::Line);
  ASSERT_TRUE(sim.Start());
  sim.SetReply("?0100", ">01,K40Q,V3.30\r");
  Line line(sim.DevicePath());

  EXPECT_EQ(line.Exchange("?0100\r"), ">01,K40Q,V3.30\r");
  // An unknown command gets no answer; a request split across writes is one request.
  EXPECT_EQ(line.Exchange("?01"), "");
  EXPECT_EQ(line.Exchange("07\r"), "");
  ASSERT_TRUE(sim.WaitForRequests(2, 2s));
  EXPECT_EQ(sim.Requests(), (std::vector<std::string>{"?0100", "?0107"}));
  EXPECT_EQ(sim.Received(), "?0100\r?0107\r");
}

TEST(SerialResponder, CutsFramesBetweenDelimitersAndDropsBytesBeforeThem) {
  SerialResponder sim(Framing::Frame);
  ASSERT_TRUE(sim.Start());
  const std::string identity("\x7E\x00\x30\x00\xCF\x7E", 6);
  const std::string answer("\x7E\x00\x30\x00\x01\x05\xC9\x7E", 8);
  sim.SetReply(identity, answer);
  Line line(sim.DevicePath());

  const std::string noise("\x01\x02", 2);
  EXPECT_EQ(line.Exchange(noise + identity), answer);
  // A frame arriving in pieces, then two frames in one write.
  EXPECT_EQ(line.Exchange(identity.substr(0, 3)), "");
  EXPECT_EQ(line.Exchange(identity.substr(3) + identity), answer + answer);
  ASSERT_TRUE(sim.WaitForRequests(3, 2s));
  EXPECT_EQ(sim.Requests(), (std::vector<std::string>{identity, identity, identity}));
  EXPECT_EQ(sim.Received(), noise + identity + identity + identity);
}

TEST(SerialResponder, QueuedRepliesComeFirstThenScriptedThenAnswer) {
  struct Echo : SerialResponder {
    Echo() : SerialResponder(Framing::Line) {}
    ~Echo() override { Stop(); }
    std::optional<std::string> Answer(const std::string& request) override { return ">" + request + "\r"; }
  } sim;
  ASSERT_TRUE(sim.Start());
  sim.SetReply("?2s", ">2s;Firmware Ver.2.00.000\r");
  sim.QueueReply(">first\r");
  Line line(sim.DevicePath());

  EXPECT_EQ(line.Exchange("?2s\r"), ">first\r");
  EXPECT_EQ(line.Exchange("?2s\r"), ">2s;Firmware Ver.2.00.000\r");
  EXPECT_EQ(line.Exchange("?21\r"), ">?21\r");
}

TEST(SerialResponder, FaultModesChangeWhatTheDriverReads) {
  const std::string reply = ">01,K40Q,V3.30\r";
  struct Case {
    const char* name;
    ReplyMode mode;
    std::size_t partial;  // 0: default
    std::string expected;
  };
  const std::string garbage("\xA5\x5A\x00\xFF#\xA5\x5A\x00\xFF#\xA5\x5A\x00\xFF#", 15);
  const std::vector<Case> cases = {
      {"normal", ReplyMode::Normal, 0, reply},
      {"silent", ReplyMode::Silent, 0, ""},
      {"partial, default half", ReplyMode::Partial, 0, ">01,K40"},
      {"partial, 4 bytes", ReplyMode::Partial, 4, ">01,"},
      {"partial, longer than the reply", ReplyMode::Partial, 100, reply},
      {"garbage", ReplyMode::Garbage, 0, garbage},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SerialResponder sim(Framing::Line);
    ASSERT_TRUE(sim.Start());
    sim.SetReply("?0100", reply);
    sim.SetMode(c.mode);
    if (c.partial) sim.SetPartialLength(c.partial);
    Line line(sim.DevicePath());
    EXPECT_EQ(line.Exchange("?0100\r"), c.expected);
    EXPECT_EQ(sim.Received(), "?0100\r");
  }
}

TEST(SerialResponder, GarbagePatternCanBeChosen) {
  SerialResponder sim(Framing::Line);
  ASSERT_TRUE(sim.Start());
  sim.SetReply("?41", ">41;37.0;\r");
  sim.SetMode(ReplyMode::Garbage);
  sim.SetGarbage("xy");
  Line line(sim.DevicePath());
  EXPECT_EQ(line.Exchange("?41\r"), "xyxyxyxyxy");
}

TEST(SerialResponder, DelayedReplyMissesAShortReadAndArrivesLater) {
  SerialResponder sim(Framing::Line);
  ASSERT_TRUE(sim.Start());
  sim.SetReply("?41", ">41;37.0;\r");
  sim.SetDelay(600ms);
  Line line(sim.DevicePath());
  line.SetTotal(50);
  EXPECT_EQ(line.Exchange("?41\r"), "");
  line.SetTotal(5000);
  std::string late;
  EXPECT_EQ(line.Read(late, 10), OS::IoStatus::Ok);
  EXPECT_EQ(late, ">41;37.0;\r");
}

TEST(SerialResponder, UnplugFailsTheDriversReadsAndWritesAndTheLineIsGone) {
  for (bool atNextRequest : {false, true}) {
    SCOPED_TRACE(atNextRequest ? "unplug at the next request" : "unplug now");
    SerialResponder sim(Framing::Line);
    ASSERT_TRUE(sim.Start());
    sim.SetReply("?0100", ">01,K40Q,V3.30\r");
    const std::string path = sim.DevicePath();
    Line line(path);
    if (atNextRequest) {
      sim.SetMode(ReplyMode::Unplug);
      ASSERT_TRUE(line.Write("?0100\r"));
    } else {
      sim.Unplug();
    }
    std::string reply;
    line.SetTotal(5000);
    EXPECT_EQ(line.Read(reply), OS::IoStatus::Failed);
    EXPECT_TRUE(sim.IsUnplugged());
    EXPECT_FALSE(line.Write("?0100\r"));
    int error = 0;
    EXPECT_FALSE(OS::SerialPortHandle::Open(path, error));
  }
}

}  // namespace
}  // namespace ORV::Sim
