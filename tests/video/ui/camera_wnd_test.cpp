// The camera window with a recording stand-in for the analysis control
// registered under the control's ProgID: its creation, the failure when the
// control is missing, its widgets following the control's events, and its
// renders.
#include "video/ui/camera_wnd.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>

#include "analysis_control/analysis_interface.h"
#include "core/base/configuration.h"
#include "core/experiment/experiment_data.h"
#include "core/experiment/zone_data_queue.h"
#include "platform/os/registry_store.h"
#include "platform/ui/icon_button.h"
#include "platform/ui/message_box.h"
#include "platform/ui/string_table.h"
#include "tests/support/test_support.h"
#include "tests/support/test_world.h"
#include "tests/support/ui/ui_test_support.h"
#include "video/ui/camera_pane.h"

namespace ORV::Video {
namespace {

namespace E = AnalysisView::EventId;

class CameraWndTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(factory.RegisterLibrary(ORV_RECORDING_CONTROL), Com::S_OK); }

  std::unique_ptr<CameraWnd> Make(const Com::ControlFactory& f) {
    CameraWndSetup setup;
    setup.cameraIndex = 0;
    setup.cameraType = 3;
    setup.experiment = &experiment;
    setup.queue = queue;
    setup.factory = &f;
    return std::make_unique<CameraWnd>(*experiment.configuration, std::move(setup));
  }
  std::string Record(CameraWnd& w) { return w.Control().Invoke<std::string>(1000); }
  void Fire(CameraWnd& w, Com::DISPID id, std::vector<Com::Variant> args) {
    ASSERT_EQ(w.EventSink().Invoke(id, Com::DISPATCH_METHOD, args, nullptr), Com::S_OK);
  }
  // A window made and shown at 1000 x 330 (96 DPI), its control showing a
  // 640 x 480 picture with `zones` zones drawn.
  std::unique_ptr<CameraWnd> Shown(int zones) {
    auto w = Make(factory);
    w->resize(w->Scale(1000), w->Scale(330));
    EXPECT_EQ(w->Create(), 0);
    w->show();
    Fire(*w, E::DimensionsChanged, {Com::Variant(std::int32_t{640}), Com::Variant(std::int32_t{480})});
    std::vector<Com::Variant> outline(8, Com::Variant(std::int32_t{10}));
    outline.emplace_back(0.0f);
    for (int i = 0; i < zones; ++i) Fire(*w, E::ZoneCreated, outline);
    return w;
  }

  ORV::Test::SandboxedHome home;
  OS::RegistryStore store;
  Com::ControlFactory factory{store, {}};
  ExperimentData experiment{ORV::Test::SharedConfiguration(), ORV::Test::SharedClock()};
  std::shared_ptr<ZoneDataHolderQueue> queue = std::make_shared<ZoneDataHolderQueue>();
};

TEST_F(CameraWndTest, CreatesTheControlAndCallsItInOrder) {
  experiment.configuration->ZoneBorderColor = 0x8B0000;
  experiment.configuration->ZoneOuterEdgeColor = 0x0000FF;
  experiment.configuration->ZoneInnerEdgeColor = 0x2FFFAD;
  auto w = Make(factory);
  w->resize(900, 360);
  ASSERT_EQ(w->Create(), 0);
  ASSERT_NE(w->ControlWidget(), nullptr);
  const std::string record = Record(*w);
  const std::string expected = "65(clock) 55(3) 40(" + std::to_string(0x8B0000) + ") 41(" + std::to_string(0x0000FF) +
                               ") 42(" + std::to_string(0x2FFFAD) + ") 67(0) 69(0)";
  EXPECT_TRUE(record.starts_with(expected)) << record;
  EXPECT_EQ(w->Slider(SliderId::OuterCutOff)->value(), 300);
}

TEST_F(CameraWndTest, MissingControlIsLoggedAsABadInstallation) {
  ORV::Test::MemoryEventLog log;
  UI::ScriptedMessageBoxes boxes;
  OS::RegistryStore empty;
  const Com::ControlFactory nowhere(empty, {});
  auto w = Make(nowhere);
  EXPECT_EQ(w->Create(), -1);
  EXPECT_NE(log.Dump().find("CameraWnd::OnCreate() - Unable to create ORVAnalysisView Control Interface - Bad "
                            "installation"),
            std::string::npos)
      << log.Dump();
  ASSERT_EQ(boxes.Shown().size(), 1u);
  EXPECT_EQ(boxes.Shown()[0].text, "Unable to locate ORVCameraView Control");
  EXPECT_EQ(boxes.Shown()[0].caption, "Error");
  EXPECT_EQ(w->ControlWidget(), nullptr);
}

TEST_F(CameraWndTest, WidgetsFollowZoneSelectionAndButtons) {
  auto w = Make(factory);
  w->resize(900, 360);
  ASSERT_EQ(w->Create(), 0);
  EXPECT_FALSE(w->Slider(SliderId::OuterLeft)->isEnabled());
  EXPECT_FALSE(w->ManualTrackingBox()->isEnabled());
  EXPECT_FALSE(w->StepButton(SliderId::OuterCutOff, +1)->isEnabled());
  // The cut-offs are the user's while auto threshold is off.
  w->EnableAutoThreshold(false);
  Fire(*w, E::ZoneSelected, {Com::Variant(std::int32_t{0})});
  EXPECT_TRUE(w->Slider(SliderId::OuterLeft)->isEnabled());
  EXPECT_TRUE(w->ManualTrackingBox()->isEnabled());
  EXPECT_TRUE(w->ManualTrackingBox()->isChecked());  // the stand-in answers "auto tracking off"
  w->StepButton(SliderId::OuterCutOff, -1)->click();
  EXPECT_EQ(w->Slider(SliderId::OuterCutOff)->value(), 295);
  EXPECT_NE(Record(*w).find(" 68(0,"), std::string::npos) << Record(*w);
}

TEST_F(CameraWndTest, RendersWithZonesAndProfilePanels) {
  experiment.configuration->Calibration[0] = 0.5f;
  for (int dpi : {96, 144}) {
    ORV::Test::ScopedDpi scoped(dpi);
    auto w = Shown(2);
    w->SetCameraCaption("DMx 41AU02 SIM-1");
    Fire(*w, E::ZoneSelected, {Com::Variant(std::int32_t{0})});
    std::vector<std::uint8_t> profile(200, 10);
    for (int x = 60; x < 72; ++x) profile[std::size_t(x)] = 200;
    for (int x = 128; x < 140; ++x) profile[std::size_t(x)] = 200;
    for (std::int32_t zone : {0, 1}) {
      Fire(*w, E::RawZoneData, {Com::Variant(zone), Com::Variant(profile.data()), Com::Variant(std::int32_t{200})});
    }
    {
      std::lock_guard lock(queue->mutex);
      ZoneDataBatch& b = queue->batches[0];
      b.count = 1;
      b.entries[0].zoneCount = 2;
      for (std::size_t z = 0; z < 2; ++z) {
        b.entries[0].outerLeft[z] = 30.0f;   // 60 px
        b.entries[0].outerRight[z] = 70.0f;  // 140 px
        b.entries[0].innerLeft[z] = 36.0f;
        b.entries[0].innerRight[z] = 64.0f;
      }
    }
    ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return w->isVisible(); }));
    ORV::Test::SaveUiArtifact(*w, "camera_wnd_" + std::to_string(dpi));
  }
}

TEST_F(CameraWndTest, APictureTooDarkForEveryCutOffIsToldOverThePicture) {
  for (int dpi : {96, 144}) {
    ORV::Test::ScopedDpi scoped(dpi);
    auto w = Shown(1);
    EXPECT_FALSE(w->PictureAdviceLabel()->isVisible());
    // The control's zone says its picture is too dark at any cut-off: the
    // window says so across the bottom of the picture.
    w->Control().Invoke(1001, std::int32_t{AnalysisView::Dispid::GetZonePictureState}, std::int32_t{1});
    ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return w->PictureAdviceLabel()->isVisible(); }));
    EXPECT_EQ(w->PictureAdviceLabel()->text().toStdString(), UI::LoadString(UI::kPictureTooDarkString));
    const QRect picture = w->ControlWidget()->parentWidget()->geometry();
    EXPECT_TRUE(picture.contains(w->PictureAdviceLabel()->geometry())) << dpi;
    ORV::Test::SaveUiArtifact(*w, "camera_wnd_too_dark_" + std::to_string(dpi));
    // Light enough again: the word goes.
    w->Control().Invoke(1001, std::int32_t{AnalysisView::Dispid::GetZonePictureState}, std::int32_t{0});
    ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return !w->PictureAdviceLabel()->isVisible(); }));
  }
}

TEST_F(CameraWndTest, CameraPaneStartsTheAttachedWindowsCapture) {
  for (int dpi : {96, 144}) {
    ORV::Test::ScopedDpi scoped(dpi);
    auto w = Make(factory);
    w->resize(w->Scale(900), w->Scale(330));
    ASSERT_EQ(w->Create(), 0);
    CameraPaneHooks hooks;
    hooks.deviceName = [](int) { return std::string("DMx 41AU02 SIM-1"); };
    CCameraPane pane(*experiment.configuration, &experiment, false, hooks);
    ASSERT_EQ(pane.Create(), 0);
    {
      // The stand-in already captures: switching to this camera asks first.
      UI::ScriptedMessageBoxes boxes({UI::IDYES});
      ASSERT_TRUE(pane.SetCameraWindow("Camera 1", w.get(), 0));
      ASSERT_EQ(boxes.Shown().size(), 1u);
      EXPECT_EQ(boxes.Shown()[0].text.toStdString(), UI::LoadString(180));
    }
    EXPECT_NE(Record(*w).find(" 2()"), std::string::npos) << "the running capture is stopped";
    experiment.mode = kModeLive;
    pane.UpdateCommands();
    EXPECT_FALSE(pane.CaptureButton()->isEnabled());  // collecting, and not this pane's capture
    experiment.mode = kModeNone;
    pane.UpdateCommands();
    EXPECT_TRUE(pane.CaptureButton()->isEnabled());
    EXPECT_EQ(pane.MagnificationField()->text(), "1.0");
    pane.show();
    ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return pane.isVisible(); }));
    ORV::Test::SaveUiArtifact(pane, "camera_pane_" + std::to_string(dpi));
  }
}

}  // namespace
}  // namespace ORV::Video
