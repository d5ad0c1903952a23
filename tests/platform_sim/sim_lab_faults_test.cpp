// The simulated lab's fault switches: each device can be unplugged (and
// comes back on a new line, with the hot-plug events hardware raises),
// answer garbage or nothing; each camera can be unplugged, stop or tear its
// frames; and a control file the lab watches sets all of it, and the disk
// faults, at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <thread>

#include "platform/os/file_io.h"
#include "platform/sim/sim_lab.h"
#include "tests/platform_sim/terminal_line.h"
#include "tests/support/test_support.h"

namespace ORV::Sim {
namespace {

using namespace std::chrono_literals;

std::string PathOf(const SimLab& lab, const std::string& serial) {
  for (const OS::UsbSerialDevice& d : lab.SerialDevices())
    if (d.serialNumber == serial) return d.devNode;
  return {};
}

// The events waiting in a source, in order.
std::vector<OS::DeviceChange> Events(OS::DeviceEventSource& source) {
  std::vector<OS::DeviceChange> events;
  bool more = true;
  while (more) {
    const std::optional<OS::DeviceChange> e = source.Next(more);
    if (!e) break;
    events.push_back(*e);
  }
  return events;
}

class SimLabFaults : public ::testing::Test {
 protected:
  SimLab lab_{std::make_shared<Preparation>(), 2, LabVessel::kStill};
};

TEST_F(SimLabFaults, AnInstrumentUnpluggedComesBackOnANewLineAndItsAnswersFollowTheFault) {
  std::unique_ptr<OS::DeviceEventSource> events = lab_.DeviceEvents();
  ASSERT_NE(events, nullptr);
  ASSERT_GE(events->Fd(), 0);
  const std::string before = PathOf(lab_, "MSC00001");
  ASSERT_FALSE(before.empty());
  {
    Line line(before);
    EXPECT_EQ(line.Exchange("?4i\r").substr(0, 4), ">4i;");
  }

  ASSERT_TRUE(lab_.SetFault("microscope", LabFault::kUnplugged));
  EXPECT_EQ(lab_.Fault("microscope"), LabFault::kUnplugged);
  EXPECT_TRUE(PathOf(lab_, "MSC00001").empty()) << "no longer listed";
  EXPECT_EQ(Events(*events), std::vector<OS::DeviceChange>{OS::DeviceChange::Removal});

  ASSERT_TRUE(lab_.SetFault("microscope", LabFault::kNone));
  const std::string after = PathOf(lab_, "MSC00001");
  ASSERT_FALSE(after.empty());
  EXPECT_EQ(Events(*events), std::vector<OS::DeviceChange>{OS::DeviceChange::Arrival});
  Line line(after);
  EXPECT_EQ(line.Exchange("?4i\r").substr(0, 4), ">4i;") << "it answers on its new line";

  // Garbage: as many bytes, none of them an answer; silent: nothing.
  ASSERT_TRUE(lab_.SetFault("microscope", LabFault::kGarbage));
  const std::string garbage = line.Exchange("?4i\r");
  EXPECT_FALSE(garbage.empty());
  EXPECT_EQ(garbage.find('>'), std::string::npos);
  ASSERT_TRUE(lab_.SetFault("microscope", LabFault::kSilent));
  ASSERT_TRUE(line.Write("?4i\r"));
  std::string none;
  line.Read(none);
  EXPECT_TRUE(none.empty());
  ASSERT_TRUE(lab_.SetFault("microscope", LabFault::kNone));
  EXPECT_EQ(line.Exchange("?4i\r").substr(0, 4), ">4i;");
  EXPECT_TRUE(Events(*events).empty()) << "only unplugging and plugging in raise events";
}

TEST_F(SimLabFaults, TheMultiInterfaceAndTheCamerasTakeTheirOwnFaults) {
  const auto multiPaths = [&] {
    std::vector<std::string> paths;
    for (const OS::HidDeviceInfo& d : lab_.Hid().List(0, 0)) paths.push_back(d.path);
    return paths;
  };
  const std::vector<std::string> before = multiPaths();
  ASSERT_EQ(before.size(), 1u);
  ASSERT_TRUE(lab_.SetFault("multi", LabFault::kUnplugged));
  EXPECT_TRUE(multiPaths().empty()) << "the HID device vanished";
  ASSERT_TRUE(lab_.SetFault("multi", LabFault::kNone));
  ASSERT_EQ(multiPaths().size(), 1u);
  EXPECT_NE(multiPaths().front(), before.front()) << "back as a new device";

  VesselCamera& camera = *lab_.Camera(1);
  VesselFrame frame;
  const struct {
    LabFault fault;
    GrabResult grab;
    std::size_t bytes;  // of a frame that comes
  } cases[] = {
      {LabFault::kStopped, GrabResult::Dropped, 0},
      {LabFault::kTorn, GrabResult::Frame, std::size_t(camera.Width()) * (camera.Height() / 2)},
      {LabFault::kUnplugged, GrabResult::Lost, 0},
      {LabFault::kNone, GrabResult::Frame, std::size_t(camera.Width()) * camera.Height()},
  };
  std::uint64_t index = 0;
  for (const auto& c : cases) {
    ASSERT_TRUE(lab_.SetFault("camera2", c.fault));
    EXPECT_EQ(camera.Grab(index++, frame), c.grab) << static_cast<int>(c.fault);
    if (c.grab == GrabResult::Frame) {
      EXPECT_EQ(frame.pixels.size(), c.bytes) << static_cast<int>(c.fault);
    }
  }
  EXPECT_EQ(lab_.Camera(0)->Grab(0, frame), GrabResult::Frame) << "the other camera is untouched";

  // Faults a device cannot have, and devices the lab has not.
  EXPECT_FALSE(lab_.SetFault("camera1", LabFault::kGarbage));
  EXPECT_FALSE(lab_.SetFault("flow", LabFault::kTorn));
  EXPECT_FALSE(lab_.SetFault("camera3", LabFault::kStopped)) << "two cameras run";
  EXPECT_FALSE(lab_.SetFault("toaster", LabFault::kUnplugged));
}

TEST_F(SimLabFaults, TheControlFileSetsEveryFaultAtOnceAndWhatItDoesNotNameWorks) {
  ORV::Test::TempDir dir;
  const std::string control = dir / "faults";
  const std::string disk = dir / "disk";
  lab_.WatchControlFile(control);  // missing: everything works
  const auto waitFor = [](const std::function<bool()>& done) {
    for (int i = 0; i < 200 && !done(); ++i) std::this_thread::sleep_for(20ms);
    return done();
  };
  std::ofstream(control) << "# a comment\nflow unplugged\nheater silent\ncamera1 torn\ndisk-full " << disk
                         << "\nnonsense words\n";
  // The lab takes a new file device after device, and the disks last: the
  // test waits until all it names are set before it looks at the rest.
  ASSERT_TRUE(waitFor([&] {
    return lab_.Fault("camera1") == LabFault::kTorn && lab_.Fault("flow") == LabFault::kUnplugged &&
           lab_.Fault("heater") == LabFault::kSilent && OS::WriteFaultAt(disk + "/file") == ENOSPC;
  }));
  EXPECT_EQ(lab_.Fault("flow"), LabFault::kUnplugged);
  EXPECT_EQ(lab_.Fault("heater"), LabFault::kSilent);
  EXPECT_EQ(lab_.Fault("microscope"), LabFault::kNone);
  EXPECT_EQ(OS::WriteFaultAt(disk + "/file"), ENOSPC);

  std::ofstream(control) << "flow garbage\ndisk-readonly " << disk << "\n";
  ASSERT_TRUE(waitFor([&] {
    return lab_.Fault("flow") == LabFault::kGarbage && lab_.Fault("heater") == LabFault::kNone &&
           lab_.Fault("camera1") == LabFault::kNone && OS::WriteFaultAt(disk + "/file") == EROFS;
  }));
  EXPECT_FALSE(PathOf(lab_, "FTW10001").empty()) << "plugged in again to talk garbage";
  EXPECT_EQ(lab_.Fault("heater"), LabFault::kNone);
  EXPECT_EQ(lab_.Fault("camera1"), LabFault::kNone);
  EXPECT_EQ(OS::WriteFaultAt(disk + "/file"), EROFS);

  std::ofstream(control).flush();  // emptied: everything back
  ASSERT_TRUE(waitFor([&] { return lab_.Fault("flow") == LabFault::kNone && OS::WriteFaultAt(disk + "/file") == 0; }));
  EXPECT_EQ(OS::WriteFaultAt(disk + "/file"), 0);
  lab_.WatchControlFile({});
}

}  // namespace
}  // namespace ORV::Sim
