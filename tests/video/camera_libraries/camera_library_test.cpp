// The makers' libraries bound by their binders and driven by the back-ends:
// fake libraries export the makers' C functions and log the calls made into
// them. The complete fakes are installed under the usual file names in a
// folder that LD_LIBRARY_PATH names (set by the test launcher), so the
// system's library search finds them as it would the makers' own.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <thread>

#include "platform/cameras/camera_libraries.h"
#include "platform/cameras/lumenera/lucam_library.h"
#include "platform/cameras/tis/tis_library.h"
#include "platform/cameras/ximea/xi_library.h"
#include "platform/os/stand_in_devices.h"
#include "tests/support/test_support.h"
#include "tests/video/camera_fakes.h"
#include "video/cameras/camera_interface.h"
#include "video/cameras/lumenera_interface.h"
#include "video/cameras/tis_camera_interface.h"
#include "video/cameras/ximea_interface.h"

namespace ORV {
namespace {

using namespace Cameras;

// Whether the library file is loaded in this process now.
bool IsLoaded(const std::string& path) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (handle != nullptr) dlclose(handle);
  return handle != nullptr;
}

// The calls a loaded fake library has logged.
std::vector<std::string> CallsOf(const std::string& path) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) return {"(not loaded)"};
  auto calls = reinterpret_cast<std::size_t (*)(char*, std::size_t)>(dlsym(handle, "FakeCamera_Calls"));
  std::string text(calls(nullptr, 0) + 1, '\0');
  calls(text.data(), text.size());
  dlclose(handle);
  std::vector<std::string> lines;
  std::istringstream in(text.c_str());
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Whether `expected` occur in `calls` in this order (other calls between).
bool InOrder(const std::vector<std::string>& calls, const std::vector<std::string>& expected) {
  std::size_t next = 0;
  for (const std::string& call : calls)
    if (next < expected.size() && call == expected[next]) ++next;
  return next == expected.size();
}

// Binds `api` to the process's table of one maker; returns what puts the
// table it replaced back.
template <class Api>
std::function<void()> Swap(Api (*bind)(Api), Api api) {
  auto previous = std::make_shared<Api>(bind(std::move(api)));
  return [bind, previous] { bind(*previous); };
}

// Sets an environment variable for the lifetime of the object.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = old;
    had_ = std::getenv(name) != nullptr;
    if (value != nullptr)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~ScopedVariable() {
    if (had_)
      setenv(name_.c_str(), saved_.c_str(), 1);
    else
      unsetenv(name_.c_str());
  }

 private:
  std::string name_, saved_;
  bool had_ = false;
};

struct Maker {
  const char* name;        // as the event log names it
  int type;                // camera type code
  const char* variable;    // the environment variable that names the library
  std::string installed;   // the complete fake, under the usual name
  std::string incomplete;  // the fake without one export
  const char* lacking;     // that export
  std::function<BindOutcome()> bind;
  // Binds a table of the maker that counts 42 cameras; returns the restorer.
  std::function<std::function<void()>()> bindMarker;
  // The number of cameras the process's table counts.
  std::function<int()> countCameras;
  // A back-end over the process's table.
  std::function<std::unique_ptr<CameraInterface>()> build;
  std::string openName;
  int width, height;
  int gain;  // set through the back-end
  // Calls the flow makes, in order (the calls of the library's own thread
  // left out).
  std::vector<std::string> calls;
};

std::vector<Maker> Makers() {
  Maker lumenera{"Lumenera",
                 kCameraTypeLumenera,
                 "ORV_LUMENERA_LIBRARY",
                 ORV_FAKE_LUCAM,
                 ORV_FAKE_LUCAM_INCOMPLETE,
                 "LucamStreamVideoControl",
                 [] { return BindLucamLibrary(); },
                 [] {
                   LucamApi marker = LucamApi::Unbound();
                   marker.NumCameras = [] { return 42L; };
                   return Swap(&BindLucam, marker);
                 },
                 [] { return static_cast<int>(Lucam().NumCameras()); },
                 [] { return std::make_unique<LumeneraInterface>(); },
                 "",
                 32,
                 24,
                 50,
                 {"NumCameras", "CameraOpen 1", "GetFormat", "SetFormat 2x2", "GetFormat", "GetProperty 80",
                  "AddStreamingCallback", "StreamVideoControl 1", "SetProperty 40 0.500000", "StreamVideoControl 0",
                  "RemoveStreamingCallback 7", "CameraClose"}};
  Maker ximea{"XIMEA",
              kCameraTypeXimea,
              "ORV_XIMEA_LIBRARY",
              ORV_FAKE_XI,
              ORV_FAKE_XI_INCOMPLETE,
              "xiGetImage",
              [] { return BindXiLibrary(); },
              [] {
                XiApi marker = XiApi::Unbound();
                marker.GetNumberDevices = [](std::uint32_t* count) {
                  *count = 42;
                  return kXiOk;
                };
                return Swap(&BindXi, marker);
              },
              [] {
                std::uint32_t count = 0;
                Xi().GetNumberDevices(&count);
                return static_cast<int>(count);
              },
              [] { return std::make_unique<XIMEAInterface>(); },
              "",
              40,
              30,
              50,
              {"OpenDevice 0", "SetParamInt exposure 2500", "SetParamFloat framerate 200.000000",
               "SetParamInt acq_timing_mode 2", "SetParamInt imgdataformat 0", "SetParamInt downsampling 2",
               "StartAcquisition", "SetParamFloat gain 12.000000", "StopAcquisition", "CloseDevice"}};
  Maker tis{"The Imaging Source",
            kCameraTypeImagingSource,
            "ORV_TIS_LIBRARY",
            ORV_FAKE_TIS,
            ORV_FAKE_TIS_INCOMPLETE,
            "IC_GetUniqueNamefromList",
            [] { return BindTisLibrary(); },
            [] {
              TisApi marker = TisApi::Unbound();
              marker.GetDeviceCount = [] { return 42; };
              return Swap(&BindTis, marker);
            },
            [] { return Tis().GetDeviceCount(); },
            [] { return std::make_unique<TISCameraInterface>(); },
            "DMx 41AU02",
            40,
            30,
            20,
            {"InitLibrary", "CreateGrabber", "EnableTrigger 1", "SetCallbacks", "OpenVideoCaptureDevice DMx 41AU02",
             "SetFormat 0", "EnableAutoVideoProperty 9 0", "StartLive 0", "SetVideoProperty 9 20", "StopLive",
             "CloseVideoCaptureDevice", "ReleaseGrabber"}};
  return {lumenera, ximea, tis};
}

// A back-end started over the process's table, with a window and a frame
// callback watching it.
class Streaming {
 public:
  explicit Streaming(const Maker& maker) : camera_(maker.build()), callback_(camera_.get()) {
    camera_->SetNotifyWindow(std::shared_ptr<Test::RecordingWindow>(&window_, [](auto*) {}));
    camera_->SetFrameCallback(&callback_);
    opened_ = camera_->Open(maker.openName);
    // The XIMEA back-end opens its device on its own thread.
    if (auto* ximea = dynamic_cast<XIMEAInterface*>(camera_.get())) ximea->task()->WaitReady(std::chrono::seconds(10));
    started_ = opened_ && camera_->Start();
  }
  ~Streaming() { Close(); }

  CameraInterface* camera() const { return camera_.get(); }
  bool started() const { return started_; }
  // Frames announced so far (posted or called back, as the back-end does).
  int Frames() const { return static_cast<int>(window_.messages().size()) + callback_.calls(); }
  // Waits (up to 10 s) for n more frames.
  bool WaitForMoreFrames(int n) const {
    const int target = Frames() + n;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (Frames() < target) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }
  void Close() {
    if (!camera_) return;
    camera_->Stop();
    camera_->SetFrameCallback(nullptr);
    camera_.reset();
  }

 private:
  Test::RecordingWindow window_;
  std::unique_ptr<CameraInterface> camera_;
  Test::CopyingCallback callback_;
  bool opened_ = false, started_ = false;
};

TEST(CameraLibraries, BackEndsDetectOpenStreamAndCloseThroughTheLoadedLibrary) {
  for (const Maker& maker : Makers()) {
    SCOPED_TRACE(maker.name);
    ORV::Test::MemoryEventLog log;
    ScopedVariable noneNamed(maker.variable, nullptr);
    const std::function<void()> restore = maker.bindMarker();

    const BindOutcome outcome = maker.bind();
    ASSERT_TRUE(outcome.bound) << outcome.message;
    EXPECT_TRUE(std::filesystem::equivalent(outcome.library, maker.installed)) << outcome.library;
    EXPECT_NE(log.Dump().find(std::string(maker.name) + " camera library loaded: " + outcome.library),
              std::string::npos)
        << log.Dump();
    const std::size_t callsBefore = CallsOf(maker.installed).size();
    {
      Streaming streaming(maker);
      CameraInterface& camera = *streaming.camera();
      EXPECT_TRUE(camera.IsAvailable());
      EXPECT_EQ(camera.GetDeviceCount(), 1);
      ASSERT_NE(camera.GetUniqueName(0), nullptr);
      EXPECT_TRUE(IsKnownCameraModel(camera.GetUniqueName(0))) << camera.GetUniqueName(0);
      ASSERT_TRUE(streaming.started());
      EXPECT_EQ(camera.GetWidth(), maker.width);
      EXPECT_EQ(camera.GetHeight(), maker.height);
      ASSERT_TRUE(streaming.WaitForMoreFrames(3));
      // A frame as the library made it: every pixel alike.
      std::vector<std::uint8_t> frame(static_cast<std::size_t>(maker.width) * maker.height, 0);
      ASSERT_TRUE(camera.CopyFrame(frame.data()));
      EXPECT_EQ(std::count(frame.begin(), frame.end(), frame[0]), static_cast<long>(frame.size()));
      EXPECT_TRUE(camera.SetGain(maker.gain));
    }
    std::vector<std::string> calls = CallsOf(maker.installed);
    calls.erase(calls.begin(), calls.begin() + static_cast<long>(std::min(callsBefore, calls.size())));
    EXPECT_TRUE(InOrder(calls, maker.calls)) << ::testing::PrintToString(calls);
    restore();
    EXPECT_FALSE(IsLoaded(maker.installed));
  }
}

TEST(CameraLibraries, LibraryStaysLoadedUntilTheLastBackEndHasGoneWhileFramesArrive) {
  for (const Maker& maker : Makers()) {
    SCOPED_TRACE(maker.name);
    ScopedVariable noneNamed(maker.variable, nullptr);
    const std::function<void()> restore = maker.bindMarker();
    ASSERT_TRUE(maker.bind().bound);
    Streaming streaming(maker);
    ASSERT_TRUE(streaming.started());
    ASSERT_TRUE(streaming.WaitForMoreFrames(2));
    // The process lets the library go: the back-end's own table keeps it,
    // and its frames keep coming.
    restore();
    EXPECT_EQ(maker.countCameras(), 0);
    EXPECT_TRUE(IsLoaded(maker.installed));
    EXPECT_TRUE(streaming.WaitForMoreFrames(3));
    streaming.Close();
    EXPECT_FALSE(IsLoaded(maker.installed));
  }
}

TEST(CameraLibraries, ALibraryThatCannotServeTheBackEndBindsNothingAndIsLogged) {
  struct Failure {
    const char* what;
    std::string (*file)(const Maker&);  // named by the environment variable; empty: none
    LibrarySearch search;               // when no file is named
    bool loads;
    OS::EventType level;
    std::string (*says)(const Maker&);
  };
  const Failure failures[] = {
      {"a library without one export",
       [](const Maker& m) { return m.incomplete; },
       {},
       true,
       OS::kEventWarning,
       [](const Maker& m) {
         return std::string(m.name) + " camera library " + m.incomplete + " not used: it lacks " + m.lacking;
       }},
      {"a named file that is not there",
       [](const Maker&) { return std::string("/nonexistent/camera-library.so"); },
       {},
       false,
       OS::kEventWarning,
       [](const Maker& m) {
         return std::string(m.name) + " camera library named by " + m.variable +
                " not loaded (/nonexistent/camera-library.so: cannot open shared object file";
       }},
      {"no library of the usual names",
       [](const Maker&) { return std::string(); },
       {"", {"libno-such-camera-library.so"}},
       false,
       OS::kEventInformation,
       [](const Maker& m) {
         return std::string(m.name) + " camera library not loaded (libno-such-camera-library.so: cannot open";
       }},
  };
  for (const Maker& maker : Makers()) {
    for (const Failure& failure : failures) {
      SCOPED_TRACE(std::string(maker.name) + ": " + failure.what);
      ORV::Test::MemoryEventLog log;
      const std::string file = failure.file(maker);
      ScopedVariable named(maker.variable, file.empty() ? nullptr : file.c_str());
      const std::function<void()> restore = maker.bindMarker();

      const BindOutcome outcome = file.empty() ? BindMakerLibrary(maker.name, failure.search,
                                                                  [](auto) {
                                                                    ADD_FAILURE() << "nothing was loaded";
                                                                    return std::vector<std::string>{};
                                                                  })
                                               : maker.bind();
      EXPECT_FALSE(outcome.bound);
      EXPECT_EQ(outcome.library.empty(), !failure.loads);
      EXPECT_EQ(outcome.missing, failure.loads ? std::vector<std::string>{maker.lacking} : std::vector<std::string>{});
      EXPECT_EQ(maker.countCameras(), 42) << "the table was replaced";
      if (failure.loads) {
        EXPECT_FALSE(IsLoaded(maker.incomplete));
      }
      const std::vector<OS::EventRecord> entries = log.backend().Entries();
      ASSERT_EQ(entries.size(), 1u) << log.Dump();
      EXPECT_EQ(entries[0].type, failure.level);
      EXPECT_EQ(entries[0].texts.at(0).rfind(failure.says(maker), 0), 0u) << entries[0].texts.at(0);
      EXPECT_EQ(entries[0].texts.at(0), outcome.message);
      restore();
    }
  }
}

TEST(CameraLibraries, DetectionBindsTheInstalledLibrariesOnce) {
  std::vector<std::unique_ptr<ScopedVariable>> noneNamed;
  for (const Maker& maker : Makers()) noneNamed.push_back(std::make_unique<ScopedVariable>(maker.variable, nullptr));
  ORV::Test::MemoryEventLog log;

  const CameraDetection found = DetectCameras();
  EXPECT_EQ(found.cameraKind, kCameraTypeLumenera);  // the first maker tried
  EXPECT_EQ(found.cameraCount, 1);
  for (const Maker& maker : Makers()) {
    SCOPED_TRACE(maker.name);
    EXPECT_TRUE(IsLoaded(maker.installed));
    EXPECT_EQ(CreateCameraInterface(maker.type)->GetDeviceCount(), 1);
  }
  DetectCameras();
  const std::string lines = log.Dump();
  for (const Maker& maker : Makers()) {
    const std::string line = std::string(maker.name) + " camera library loaded: ";
    const std::size_t at = lines.find(line);
    EXPECT_NE(at, std::string::npos) << lines;
    EXPECT_EQ(lines.find(line, at + 1), std::string::npos) << "logged twice:\n" << lines;
  }
}

// Devices standing in with `cameras` cameras, none of which delivers a frame.
class StandInsWithCameras final : public OS::StandInDevices {
 public:
  explicit StandInsWithCameras(int cameras) : cameras_(cameras) {}
  std::vector<OS::UsbSerialDevice> SerialDevices() const override { return {}; }
  OS::HidTransport& Hid() override { return hid_; }
  int CameraCount() const override { return cameras_; }
  std::shared_ptr<OS::StandInCamera> CameraFeed(int index) override {
    return index >= 0 && index < cameras_ ? std::make_shared<Idle>() : nullptr;
  }

 private:
  struct Idle final : OS::StandInCamera {
    int Width() const override { return 64; }
    int Height() const override { return 48; }
    double FrameRate() const override { return 15; }
    void SetFrameRate(double) override {}
    void SetResponse(double, double) override {}
    Fill FillNextFrame(std::vector<std::uint8_t>&, int&, int&) override { return Fill::kDropped; }
  };
  struct NoHid final : OS::HidTransport {
    std::vector<OS::HidDeviceInfo> List(std::uint16_t, std::uint16_t) override { return {}; }
    std::unique_ptr<OS::HidHandle> Open(const std::string&, int& error) override {
      error = ENOENT;
      return nullptr;
    }
  };
  int cameras_;
  NoHid hid_;
};

TEST(CameraLibraries, TheSimulatedLabLoadsNoLibrary) {
  std::vector<std::function<void()>> restore;
  for (const Maker& maker : Makers()) restore.push_back(maker.bindMarker());
  StandInsWithCameras standIns(3);
  {
    ORV::Test::MemoryEventLog log;
    UseStandInCameras(&standIns);
    EXPECT_TRUE(BindCameraLibraries().empty());
    // No maker's table was bound to its library: The Imaging Source's counts
    // the stand-ins' cameras, the others still answer with their markers.
    for (const Maker& maker : Makers())
      EXPECT_EQ(maker.countCameras(), maker.type == kCameraTypeImagingSource ? 3 : 42) << maker.name;
    EXPECT_EQ(log.Dump(), "Camera libraries not loaded: the simulated lab's cameras stand in for them\n");
  }
  UseStandInCameras(nullptr);
  for (const auto& undo : restore) undo();
}

}  // namespace
}  // namespace ORV
