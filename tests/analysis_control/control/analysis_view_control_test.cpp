// The analysis control as its hosts meet it: created by ProgID in a host
// window, its dispatch interface by member number with its declared types
// and fixed answers, a recorded vessel played in it with zones drawn by the
// mouse and the events that come of it, renders with and without the
// recording label, destruction while capturing, and registration with
// its result codes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDrag>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <set>

#include "../capture/engine_fixtures.h"
#include "analysis_control/analysis_interface.h"
#include "analysis_control/ui/analysis_painter.h"
#include "platform/com/control_loader.h"
#include "platform/os/registry_store.h"
#include "platform/ui/control_host.h"
#include "tests/support/test_support.h"
#include "tests/support/ui/ui_test_support.h"

namespace ORV::AnalysisView {
namespace {

using Com::DISPID;
using Com::HRESULT;
using Com::Variant;

const std::string kDir = ORV_ANALYSIS_CONTROL_DIR;

// Events arrive on the user-interface thread and on the analysis workers.
struct Sink final : Com::IDispatch {
  HRESULT Invoke(DISPID id, unsigned, std::span<const Variant> args, Variant*) override {
    std::lock_guard lock(mutex);
    if (id == EventId::RawZoneData && QThread::currentThread() != QCoreApplication::instance()->thread()) {
      ++rawOffUiThread;
    }
    events.push_back({id, {args.begin(), args.end()}});
    return Com::S_OK;
  }
  int Count(DISPID id) const {
    std::lock_guard lock(mutex);
    return static_cast<int>(std::count_if(events.begin(), events.end(), [id](const auto& e) { return e.first == id; }));
  }
  // The zones that RawZoneData has come for, and whether each came with a
  // profile as wide as the zone.
  std::set<std::int32_t> RawZones(std::int32_t zoneWidth) const {
    std::lock_guard lock(mutex);
    std::set<std::int32_t> zones;
    for (const auto& [id, args] : events) {
      if (id == EventId::RawZoneData && args.size() == 3 && args[2].Get<std::int32_t>() == zoneWidth) {
        zones.insert(args[0].Get<std::int32_t>());
      }
    }
    return zones;
  }
  std::vector<Variant> Last(DISPID id) const {
    std::lock_guard lock(mutex);
    for (auto it = events.rbegin(); it != events.rend(); ++it)
      if (it->first == id) return it->second;
    return {};
  }
  mutable std::mutex mutex;
  std::vector<std::pair<DISPID, std::vector<Variant>>> events;
  std::atomic<int> rawOffUiThread{0};
};

// Records a simulated vessel, 640 x 480 at 25 frames a second for two
// seconds, through the engine alone.
std::string RecordVessel(const ORV::Test::TempDir& dir) {
  using namespace CaptureTest;
  Sim::VesselCamera vessel(SlowPulse, VesselOptions(640, 480, 25, false));
  EngineEvents events;
  FakeClock clock;
  CaptureEngineServices services;
  FakeCamera* camera = nullptr;
  services.createCamera = [&](int) {
    auto c = std::make_unique<FakeCamera>(FakeCamera::Setup{{"DMx 41AU02 1"}, 640, 480, 25, true, true});
    camera = c.get();
    return c;
  };
  CaptureEngine engine(events, services);
  engine.SetRelativeTime(&clock);
  engine.SetNotifyWindow(std::make_shared<NullWindow>());
  engine.LoadCamera(0);
  engine.SetVideoScaleFactor(1);
  const std::string file = dir / "Record_1.avi";
  engine.StartRecording(file);
  EXPECT_TRUE(engine.StartCapture("DMx 41AU02"));
  Sim::VesselFrame frame;
  for (int i = 0; i < 50; ++i) {
    clock.now = 40 * i;
    vessel.Grab(i, frame);
    camera->Deliver(frame.pixels);
  }
  clock.now = 2000;
  engine.StopCapture();
  return file;
}

class AnalysisControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host_.resize(640, 480);
    host_.show();
    ASSERT_EQ(site_.Create(&host_, kProgId, 100, nullptr, factory_), Com::S_OK);
    connection_ = Com::SinkConnection(*site_.control(), &sink_);
    w_ = site_.widget();
    ASSERT_NE(w_, nullptr);
    ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return w_->size() == host_.size(); }));
  }
  // The connections outlive the control, as a host's may.
  void TearDown() override { site_.Destroy(); }

  HRESULT Try(DISPID id, std::vector<Variant> args, Variant* result = nullptr) const {
    return site_.dispatch().Try(id, Com::DISPATCH_METHOD, args, result);
  }
  Variant Call(DISPID id, std::vector<Variant> args = {}) const {
    Variant r;
    EXPECT_EQ(Try(id, std::move(args), &r), Com::S_OK) << "DISPID " << id;
    return r;
  }
  void Post(QEvent::Type type, QPointF at) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
    QCoreApplication::postEvent(w_, new QMouseEvent(type, at, w_->mapToGlobal(at), Qt::LeftButton, held, {}));
  }
  // Presses the left button at `at` with the rest of the drag queued: the
  // press comes from a timer, so the drag's own event loop takes the queued
  // events. Waits until the press is over.
  void Drag(QPointF at, std::vector<std::pair<QEvent::Type, QPointF>> rest) {
    const int before = sink_.Count(EventId::ZoneSelected);
    QTimer::singleShot(0, w_, [this, at, rest] {
      for (const auto& [type, point] : rest) Post(type, point);
      QMouseEvent press(QEvent::MouseButtonPress, at, w_->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, {});
      QApplication::sendEvent(w_, &press);
    });
    ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return sink_.Count(EventId::ZoneSelected) > before; }));
  }
  // Renders the host at 96 and 144 DPI (the window half as large again at
  // 144, as a host lays it out there), then back at its size. A resize
  // drops the selection; a click at `select` (a point at 96 DPI) takes it
  // up again.
  void SaveAtBothDpis(const std::string& name, std::optional<QPointF> select = std::nullopt) {
    const QSize size = host_.size();
    const auto resize = [&](QSize to, double scale) {
      host_.resize(to);
      ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return w_->size() == to; }));
      if (select) Drag(*select * scale, {{QEvent::MouseButtonRelease, *select * scale}});
    };
    for (const int dpi : {96, 144}) {
      ORV::Test::ScopedDpi scoped(dpi);
      resize(size * dpi / 96, dpi / 96.0);
      w_->update();
      ORV::Test::ProcessEventsUntil([] { return false; }, 100);
      ORV::Test::SaveUiArtifact(host_, name + "_" + std::to_string(dpi));
    }
    resize(size, 1.0);
  }
  // Records the vessel into `dir`, gives the control the hand clock and
  // plays the recording; false when it does not play.
  bool PlayVessel(const ORV::Test::TempDir& dir) {
    const std::string file = RecordVessel(dir);
    Call(Dispid::SetRelativeTime, {Variant(static_cast<RelativeTime::Interface*>(&clock_))});
    return Call(Dispid::PlayVideoFile, {Variant(file)}).Get<std::int16_t>() == 1;
  }
  // The magenta the tests draw their probes in, and nothing else is.
  static bool Magenta(const QColor& c) { return std::min(c.red(), c.blue()) - c.green() > 40; }
  // Draws a zone with the mouse from a to b (window points).
  void DrawZone(QPointF a, QPointF b) {
    Drag(a, {{QEvent::MouseMove, (a + b) / 2}, {QEvent::MouseMove, b}, {QEvent::MouseButtonRelease, b}});
  }

  OS::RegistryStore store_;
  Com::ControlFactory factory_{store_, {kDir}};
  // Declared before the control's site, so it outlives the control.
  AnalysisTest::FakeClock clock_;
  QWidget host_;
  UI::ControlSite site_;
  Sink sink_;
  Com::SinkConnection connection_;
  QWidget* w_ = nullptr;
};

TEST_F(AnalysisControlTest, EveryMemberAnswersAndNoOther) {
  for (DISPID id = 1; id <= 75; ++id) {
    const HRESULT hr = Try(id, {});
    if (id == 49 || id == 75) {
      EXPECT_EQ(hr, Com::DISP_E_MEMBERNOTFOUND) << id;
    } else {
      EXPECT_TRUE(hr == Com::S_OK || hr == Com::DISP_E_BADPARAMCOUNT) << "DISPID " << id << ": " << hr;
    }
  }
  // Declared result types.
  const struct {
    DISPID id;
    std::vector<Variant> args;
    Com::VARTYPE type;
  } typed[] = {
      {Dispid::IsCapturing, {}, Com::VT_I2},
      {Dispid::GetFrameRate, {}, Com::VT_UI4},
      {Dispid::GetFrameDataSize, {}, Com::VT_I4},
      {Dispid::GetCameraCount, {}, Com::VT_UI4},
      {Dispid::GetUpdateViewFrequency, {}, Com::VT_I4},
      {Dispid::GetAutoTrackingEnabled, {Variant(0)}, Com::VT_BOOL},
      {Dispid::GetAnalysisCutOff, {Variant(0)}, Com::VT_R8},
      {Dispid::SelectedZone, {}, Com::VT_I4},
      {Dispid::TransformCameraView, {Variant(10), Variant(1.5f)}, Com::VT_I2},
      {Dispid::RestartLostCamera, {}, Com::VT_I2},
      {Dispid::GetTornFrameCount, {}, Com::VT_I4},
      {Dispid::GetZonePictureState, {Variant(0)}, Com::VT_I4},
      {Dispid::GetFrameCount, {}, Com::VT_I4},
  };
  for (const auto& t : typed) EXPECT_EQ(Call(t.id, t.args).vt(), t.type) << t.id;
  EXPECT_EQ(Try(Dispid::SetFrameRate, {Variant("fast")}), Com::DISP_E_TYPEMISMATCH);
}

TEST_F(AnalysisControlTest, FixedAnswersAndRefusedValues) {
  // No camera was lost: nothing to start again, nothing changes.
  EXPECT_EQ(Call(Dispid::RestartLostCamera).Get<std::int16_t>(), 0);
  EXPECT_EQ(Try(Dispid::RestartLostCamera, {Variant(1)}), Com::DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Call(Dispid::GetTornFrameCount).Get<std::int32_t>(), 0) << "no camera, nothing torn";
  EXPECT_EQ(Call(Dispid::GetZonePictureState, {Variant(0)}).Get<std::int32_t>(), 0) << "no zone, nothing to say";
  EXPECT_EQ(Call(Dispid::GetFrameCount).Get<std::int32_t>(), 0) << "no camera, no frame";
  EXPECT_EQ(Call(Dispid::IsCapturing).Get<std::int16_t>(), 0);
  EXPECT_EQ(Call(Dispid::GetUpdateViewFrequency).Get<std::int32_t>(), 3);
  for (int bad : {0, 6}) Call(Dispid::SetUpdateViewFrequency, {Variant(bad)});
  EXPECT_EQ(Call(Dispid::GetUpdateViewFrequency).Get<std::int32_t>(), 3);
  Call(Dispid::SetUpdateViewFrequency, {Variant(5)});
  EXPECT_EQ(Call(Dispid::GetUpdateViewFrequency).Get<std::int32_t>(), 5);
  Call(Dispid::SetSampleFrequency, {Variant(std::uint16_t{2})});
  EXPECT_EQ(Call(Dispid::GetUpdateViewFrequency).Get<std::int32_t>(), 2);
  EXPECT_EQ(Call(Dispid::GetThresholdValue, {Variant(-1)}).Get<std::int32_t>(), 128);
  EXPECT_EQ(Call(Dispid::GetOuterLeftAdjustment, {Variant(7)}).Get<std::int32_t>(), 0);
  EXPECT_EQ(Call(Dispid::GetFrameRate).Get<std::uint32_t>(), 200u);
  std::int32_t lo = 11, hi = 12, v = 13;
  EXPECT_EQ(Call(Dispid::GetSaturationValues, {Variant(&lo), Variant(&hi), Variant(&v)}).Get<std::int16_t>(), 0);
  EXPECT_EQ((std::vector<int>{lo, hi, v}), (std::vector<int>{11, 12, 13}));
  EXPECT_EQ(Call(Dispid::GetGainValues, {Variant(&lo), Variant(&hi), Variant(&v)}).Get<std::int16_t>(), 0);
  EXPECT_EQ(Call(Dispid::SetOffsetValue, {Variant(4)}).Get<std::int16_t>(), 1);
  EXPECT_EQ(Call(Dispid::TransformCameraView, {Variant(5), Variant(1.0f)}).Get<std::int16_t>(), 0);
  EXPECT_EQ(Call(Dispid::GetFrameDataSize).Get<std::int32_t>(), 44);
  std::vector<std::uint8_t> buffer(64);
  EXPECT_EQ(Call(Dispid::GrabFrameData, {Variant(buffer.data()), Variant(64)}).Get<std::int32_t>(), -1);
  std::string name = "x";
  Call(Dispid::GetCameraName, {Variant(0), Variant(&name)});
  EXPECT_EQ(name, "");
  Call(Dispid::SetAnalysisCutOff, {Variant(1), Variant(0.95)});
  EXPECT_EQ(Call(Dispid::GetAnalysisCutOff, {Variant(1)}).Get<double>(), 3.0);
  Call(Dispid::SetAnalysisCutOff, {Variant(1), Variant(6.0)});
  EXPECT_EQ(Call(Dispid::GetAnalysisCutOff, {Variant(1)}).Get<double>(), 6.0);
  // Nothing starts without the host's clock.
  EXPECT_EQ(Call(Dispid::PlayVideoFile, {Variant("/nonexistent.avi")}).Get<std::int16_t>(), 0);
  SaveAtBothDpis("analysis_control_idle");
}

TEST_F(AnalysisControlTest, PlaysARecordedVesselWithTwoZonesDrawnByTheMouse) {
  ORV::Test::TempDir dir;
  ASSERT_TRUE(PlayVessel(dir));
  EXPECT_EQ(Call(Dispid::IsCapturing).Get<std::int16_t>(), 1);
  EXPECT_EQ(Call(Dispid::IsVideoPlaying).Get<std::int16_t>(), 1);
  const std::vector<Variant> dims = sink_.Last(EventId::DimensionsChanged);
  ASSERT_EQ(dims.size(), 2u);
  EXPECT_EQ(dims[0].Get<std::int32_t>(), 640);
  EXPECT_EQ(dims[1].Get<std::int32_t>(), 480);
  EXPECT_EQ(sink_.Count(EventId::ZonesReset), 2);
  EXPECT_EQ(Call(Dispid::GetFrameDataSize).Get<std::int32_t>(), 44 + 640 * 3 * 480);
  std::vector<std::uint8_t> still(44 + 640 * 3 * 480);
  EXPECT_EQ(Call(Dispid::GrabFrameData, {Variant(still.data()), Variant(static_cast<std::int32_t>(still.size()))})
                .Get<std::int32_t>(),
            static_cast<std::int32_t>(still.size()));

  // The window shows the picture at one window pixel a picture pixel.
  DrawZone({40, 100}, {600, 180});
  DrawZone({40, 300}, {600, 380});
  ASSERT_EQ(sink_.Count(EventId::ZoneCreated), 2);
  const std::vector<Variant> created = sink_.Last(EventId::ZoneCreated);
  ASSERT_EQ(created.size(), 9u);
  EXPECT_EQ(created[0].Get<std::int32_t>(), 40);
  EXPECT_EQ(created[1].Get<std::int32_t>(), 300);
  EXPECT_EQ(created[6].Get<std::int32_t>(), 600);
  EXPECT_EQ(created[7].Get<std::int32_t>(), 380);
  // A click in the first zone selects it.
  Drag({300, 140}, {{QEvent::MouseButtonRelease, {300, 140}}});
  EXPECT_EQ(sink_.Last(EventId::ZoneSelected).at(0).Get<std::int32_t>(), 0);
  EXPECT_EQ(Call(Dispid::SelectedZone).Get<std::int32_t>(), 0);

  // Frames come on the frame timer and are analysed in both zones.
  ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return sink_.Count(EventId::ZoneAnalysisData) >= 12; }));
  const std::vector<Variant> result = sink_.Last(EventId::ZoneAnalysisData);
  ASSERT_EQ(result.size(), 5u);
  EXPECT_GT(result[2].Get<std::int32_t>(), result[1].Get<std::int32_t>());
  // Each zone's column profile reaches the host, on the control's own thread.
  const std::set<std::int32_t> bothZones{0, 1};
  ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return sink_.RawZones(560) == bothZones; }))
      << sink_.Count(EventId::RawZoneData) << " RawZoneData events";
  EXPECT_EQ(sink_.rawOffUiThread, 0);
  Call(Dispid::PauseCapture);
  EXPECT_EQ(Call(Dispid::IsVideoPause).Get<std::int16_t>(), 1);
  SaveAtBothDpis("analysis_control_vessel_two_zones", QPointF(300, 140));
  Call(Dispid::StartRecording, {Variant(dir / "Record_2.avi")});
  EXPECT_EQ(Call(Dispid::IsRecording).Get<std::int16_t>(), 1);
  EXPECT_EQ(Call(Dispid::SeekFramesFromCurrentPosition, {Variant(1)}).Get<std::int16_t>(), 0);
  Call(Dispid::SeekFramesFromCurrentPosition, {Variant(0)});
  SaveAtBothDpis("analysis_control_vessel_recording", QPointF(300, 140));
  Call(Dispid::StopRecording);

  // Destroying the control while it captures stops the capture first, and
  // tells the sinks still connected.
  ASSERT_EQ(Call(Dispid::IsCapturing).Get<std::int16_t>(), 1);
  Sink last;
  const Com::SinkConnection lastConnection(*site_.control(), &last);
  site_.Destroy();
  EXPECT_EQ(last.Count(EventId::CaptureStopped), 1);
  EXPECT_FALSE(lastConnection.Connected());
}

// With auto-tracking off a click near a lumen edge picks it; the mouse drags
// it and the arrow keys step it, as the window shows.
TEST_F(AnalysisControlTest, AFixedEdgeIsPickedDraggedAndSteppedWithTheMouseAndKeys) {
  ORV::Test::TempDir dir;
  ASSERT_TRUE(PlayVessel(dir));
  Call(Dispid::PauseCapture);
  Call(Dispid::SetZoneInnerEdgeColor, {Variant(0xFF00FF)});  // magenta, drawn nowhere else
  DrawZone({40, 100}, {600, 180});
  Call(Dispid::SetAutoTrackingEnabled, {Variant(0), Variant(false)});
  // Where row 130 (between the marks of a picked edge) shows a lumen edge:
  // the first column of each run of magenta-tinted pixels.
  const auto lumenColumns = [&] {
    Call(Dispid::SeekFramesFromCurrentPosition, {Variant(0)});  // paints the paused frame again
    ORV::Test::ProcessEventsUntil([] { return false; }, 50);
    const QImage image = ORV::Test::RenderAtUnitScale(*w_);
    std::vector<int> columns;
    bool inRun = false;
    for (int x = 0; x < image.width(); ++x) {
      const bool tinted = Magenta(image.pixelColor(x, 130));
      if (tinted && !inRun) columns.push_back(x);
      inRun = tinted;
    }
    return columns;
  };
  const std::vector<int> before = lumenColumns();
  ASSERT_EQ(before.size(), 2u);
  const double left = before[0] + 1;  // the edge; its line's first column is the one before
  Drag({left + 3, 130}, {{QEvent::MouseMove, {left + 10, 130}},
                         {QEvent::MouseMove, {left + 20, 130}},
                         {QEvent::MouseButtonRelease, {left + 20, 130}}});
  EXPECT_EQ(lumenColumns(), (std::vector<int>{before[0] + 20, before[1]}));
  QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
  QApplication::sendEvent(w_, &right);
  EXPECT_EQ(lumenColumns(), (std::vector<int>{before[0] + 21, before[1]}));
}

// Shift with the left button takes the picture out of the window as a drag
// of the view as it shows (PNG, and SVG titled "ImageName"); nothing is
// selected or drawn.
TEST_F(AnalysisControlTest, ShiftDragTakesThePictureOut) {
  ORV::Test::TempDir dir;
  ASSERT_TRUE(PlayVessel(dir));
  Call(Dispid::PauseCapture);
  Call(Dispid::SetZoneBorderColor, {Variant(0xFF00FF)});  // magenta outlines, drawn nowhere else
  DrawZone({40, 100}, {600, 180});
  const int selections = sink_.Count(EventId::ZoneSelected);

  // The drag is run from the window's own press handler; the offscreen
  // platform ends it at once and the drag object stays a child of the
  // window until the event loop deletes it.
  QTest::mousePress(w_, Qt::LeftButton, Qt::ShiftModifier, QPoint(300, 300));
  QDrag* drag = w_->findChild<QDrag*>();
  ASSERT_NE(drag, nullptr) << "no drag started";
  EXPECT_EQ(drag->supportedActions(), Qt::CopyAction | Qt::MoveAction);
  const QMimeData* data = drag->mimeData();
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data->formats(), (QStringList{"image/png", "image/svg+xml"}));
  QImage picture;
  ASSERT_TRUE(picture.loadFromData(data->data("image/png"), "PNG"));
  EXPECT_EQ(picture.size(), w_->size());
  // The zone's outline is in the picture where the window shows it.
  const auto tinted = [&](int y) { return Magenta(picture.pixelColor(300, y)); };
  EXPECT_TRUE(tinted(99) || tinted(100) || tinted(101));
  EXPECT_FALSE(tinted(140));
  const QByteArray svg = data->data("image/svg+xml");
  EXPECT_TRUE(svg.contains("<title>ImageName</title>"));
  EXPECT_TRUE(svg.contains("<image")) << "the camera picture is in the vector picture";
  QTest::mouseRelease(w_, Qt::LeftButton, Qt::ShiftModifier, QPoint(300, 300));
  EXPECT_EQ(sink_.Count(EventId::ZoneSelected), selections);
  EXPECT_EQ(sink_.Count(EventId::ZoneCreated), 1);
  delete drag;

  // Without capture the press does nothing at all.
  Call(Dispid::StopCapture);
  QTest::mousePress(w_, Qt::LeftButton, Qt::ShiftModifier, QPoint(300, 300));
  EXPECT_EQ(w_->findChild<QDrag*>(), nullptr);
}

// The camera picture covers the window in device pixels whatever the
// window's pixel ratio: black left half, white right half, to the last
// pixel, with no background showing.
TEST(AnalysisPainter, ThePictureFillsTheWindowAtEveryPixelRatio) {
  struct NoViewEvents final : ViewEvents {
    void ZoneCreated(std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                     std::int32_t, float) override {}
    void ZoneSelected(std::int32_t) override {}
  } viewEvents;
  CaptureTest::EngineEvents events;
  CaptureEngine engine(events, CaptureEngineServices{});
  const AnalysisViewModel view(engine, viewEvents);
  cv::Mat frame(48, 64, CV_8UC1, cv::Scalar(0));
  frame.colRange(32, 64).setTo(255);
  for (const double ratio : {1.0, 1.5, 2.0}) {
    SCOPED_TRACE(ratio);
    const QSize client(100, 75);
    QImage window(client * ratio, QImage::Format_RGB32);
    window.setDevicePixelRatio(ratio);
    window.fill(Qt::red);
    {
      QPainter p(&window);
      PaintAnalysisView(p, QRect(QPoint(0, 0), client), &frame, Overlay{}, view);
    }
    const int w = window.width(), h = window.height();
    for (const QPoint at : {QPoint(0, 0), QPoint(w / 2 - 6, h - 1), QPoint(0, h - 1)})
      EXPECT_EQ(window.pixel(at), qRgb(0, 0, 0)) << at.x() << "," << at.y();
    for (const QPoint at : {QPoint(w - 1, 0), QPoint(w / 2 + 6, h / 2), QPoint(w - 1, h - 1)})
      EXPECT_EQ(window.pixel(at), qRgb(255, 255, 255)) << at.x() << "," << at.y();
  }
}

TEST(AnalysisControlLibrary, RegistersTheControlAndItsPropertyPage) {
  OS::RegistryStore store;
  const Com::ControlFactory finder(store, {kDir});
  const std::string library = finder.FindLibrary(kProgId);
  ASSERT_FALSE(library.empty());
  const Com::ControlFactory registered(store, {});
  ASSERT_EQ(registered.RegisterLibrary(library), Com::S_OK);
  EXPECT_EQ(registered.FindLibrary(kProgId), library);
  EXPECT_EQ(registered.FindLibrary(kPropPageProgId), library);
  ASSERT_EQ(registered.UnregisterLibrary(library), Com::S_OK);
  EXPECT_EQ(registered.FindLibrary(kProgId), "");
}

// Registration writes the type information, then the classes, to the
// store's file; a step that cannot write gives its own code, and success is
// only reported for what the file holds.
TEST(AnalysisControlLibrary, RegistrationGivesTheCodeOfTheStepThatFailed) {
  namespace fs = std::filesystem;
  OS::RegistryStore finderStore;
  const std::string library = Com::ControlFactory(finderStore, {kDir}).FindLibrary(kProgId);
  ASSERT_FALSE(library.empty());
  const std::string typeLibrary = Com::ControlFactory::TypeLibraryKey(kTypeLibraryId);
  const std::string typeLibraryPath = typeLibrary + "\\1.0\\0\\linux";
  const struct {
    const char* name;
    bool registering;
    bool typesBefore;    // the type information is registered before the call
    bool classesBefore;  // the classes are
    bool writable;       // the store's file can be written
    HRESULT expected;
  } cases[] = {
      {"register", true, false, false, true, Com::S_OK},
      {"register again", true, true, true, true, Com::S_OK},
      {"register into an unwritable store", true, false, false, false, Com::SELFREG_E_TYPELIB},
      {"register the classes into an unwritable store", true, true, false, false, Com::SELFREG_E_CLASS},
      {"unregister", false, true, true, true, Com::S_OK},
      {"unregister what is not registered", false, false, false, true, Com::S_OK},
      {"unregister from an unwritable store", false, true, true, false, Com::SELFREG_E_TYPELIB},
      {"unregister the classes from an unwritable store", false, false, true, false, Com::SELFREG_E_CLASS},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ORV::Test::TempDir dir;
    const std::string folder = dir / "store";
    const std::string file = folder + "/registry.dat";
    fs::create_directory(folder);
    OS::RegistryStore store(file);
    const Com::ControlFactory factory(store, {});
    ASSERT_EQ(factory.RegisterLibrary(library), Com::S_OK);
    if (!c.typesBefore) {
      ASSERT_TRUE(store.DeleteTree(typeLibrary));
    }
    if (!c.classesBefore) {
      for (const char* progId : {kProgId, kPropPageProgId})
        ASSERT_TRUE(store.DeleteTree(std::string(OS::kClassesRoot) + "\\" + progId));
    }
    if (!c.writable) {
      // The store's folder becomes a file: no write can succeed, even as root.
      fs::remove_all(folder);
      std::ofstream(folder) << "not a folder";
    }
    const HRESULT hr = c.registering ? factory.RegisterLibrary(library) : factory.UnregisterLibrary(library);
    EXPECT_EQ(hr, c.expected) << Com::HResultText(hr);
    if (!c.writable) continue;
    const OS::RegistryStore reread(file);
    const std::string expected = c.registering ? library : "";
    EXPECT_EQ(reread.GetString(typeLibraryPath, "", ""), expected);
    EXPECT_EQ(reread.GetString(Com::ControlFactory::RegistrationKey(kProgId), "", ""), expected);
    EXPECT_EQ(reread.GetString(Com::ControlFactory::RegistrationKey(kPropPageProgId), "", ""), expected);
    if (!c.registering) {
      EXPECT_FALSE(reread.KeyExists(typeLibrary));
    }
  }
}

}  // namespace
}  // namespace ORV::AnalysisView
