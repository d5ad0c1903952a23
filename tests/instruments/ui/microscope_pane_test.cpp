// The microscope pane and its logic against the simulated microscope.
#include "instruments/ui/microscope_pane.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QSlider>
#include <memory>

#include "core/base/configuration.h"
#include "core/experiment/experiment_data.h"
#include "instruments/microscope.h"
#include "platform/sim/microscope_sim.h"
#include "platform/ui/icon_button.h"
#include "tests/support/test_support.h"
#include "tests/support/test_world.h"
#include "tests/support/ui/ui_test_support.h"

namespace {

using ORV::MicroscopePaneLogic;

ORV::MicroscopeSample Reading(std::int32_t level, float temperature) {
  ORV::MicroscopeSample sample;
  sample.setting = level;
  sample.temperature = temperature;
  return sample;
}

// A microscope loaded on its simulator.
class MicroscopeFixture : public testing::Test {
 protected:
  void SetUp() override {
    // The load waits a second for the simulator's reply: a loaded machine
    // can keep it from answering within half of one. The tests check what
    // the pane makes of the answers, not the time-out.
    ORV::Test::SharedConfiguration().DeviceMicroscopeTimeout = 1000;
    ASSERT_TRUE(sim_.Start());
    ASSERT_TRUE(device_.Load(sim_.DevicePath()));
    device_.SetSerialNumber("FTM001");
    ASSERT_EQ(device_.Port().Configure(9600, 1250), 0);  // quick replies on a pseudo-terminal
    loaded_ = sim_.Received().size();
  }
  void TearDown() override { ORV::Test::SharedConfiguration().DeviceMicroscopeTimeout = timeout_; }
  // The commands the microscope received since the last call, once a ping
  // (answered only after everything before it) has gone through.
  std::string Sent() {
    std::lock_guard guard(device_.Lock());
    EXPECT_TRUE(device_.Ping());
    const std::string all = sim_.Received();
    const std::string since = all.substr(loaded_, all.size() - loaded_ - 4);  // without the ping's "?4s\r"
    loaded_ = all.size();
    return since;
  }

  ORV::Test::SandboxedHome home_;
  const std::int32_t timeout_ = ORV::Test::SharedConfiguration().DeviceMicroscopeTimeout;
  ORV::Sim::MicroscopeSim sim_;
  ORV::Microscope device_{std::make_shared<ORV::OS::FixedUsbSerialEnumerator>()};
  std::size_t loaded_ = 0;
  ORV::Configuration configuration_;
};

class MicroscopeLogicTest : public MicroscopeFixture {
 protected:
  ORV::UI::InlineCommandRunner runner_;
  MicroscopePaneLogic logic_{&device_, runner_, configuration_, true};
};

TEST_F(MicroscopeLogicTest, SendsOneLightCommandPerNewLevelWithinZeroToAThousand) {
  logic_.Refresh();
  ASSERT_TRUE(logic_.LightEnabled());
  logic_.SliderMoved(5);
  logic_.LightDown();
  EXPECT_EQ(logic_.SliderPosition(), 0);
  logic_.SliderMoved(995);
  logic_.LightUp();
  EXPECT_EQ(logic_.SliderPosition(), 1000);
  logic_.LightUp();  // stays at the top: sent again, as the user asked
  for (int position : {10, 10, 20}) logic_.SliderMoved(position);
  EXPECT_EQ(Sent(), "=4i;5;\r=4i;0;\r=4i;995;\r=4i;1000;\r=4i;1000;\r=4i;10;\r=4i;20;\r");
  EXPECT_EQ(sim_.LightLevel(), 20);
  EXPECT_EQ(logic_.LightText(), QStringLiteral("20"));

  // The reading right after an accepted change may predate it: not shown.
  logic_.TakeSample(Reading(7, 36.94f));
  EXPECT_EQ(logic_.LightText(), QStringLiteral("20"));
  EXPECT_EQ(logic_.SliderPosition(), 20);
  logic_.TakeSample(Reading(7, 36.94f));
  EXPECT_EQ(logic_.LightText(), QStringLiteral("7"));
  EXPECT_EQ(logic_.SliderPosition(), 7);
  EXPECT_EQ(logic_.TemperatureText(), QString::fromUtf8("36.9\u00BA"));

  // A command the microscope does not take puts the slider back.
  sim_.Unplug();
  logic_.SliderMoved(500);
  EXPECT_EQ(logic_.SliderPosition(), 7);
  EXPECT_EQ(logic_.LightText(), QStringLiteral("7"));
}

TEST_F(MicroscopeLogicTest, ShowsNoTemperatureBelowAbsoluteZeroAndNothingWhenDisconnected) {
  const struct {
    float temperature;
    const char* shown;
  } cases[] = {{-300.0f, "-----"}, {-257.0f, "-----"}, {-256.9f, "-256.9\u00BA"}, {0.0f, "0.0\u00BA"}};
  for (const auto& c : cases) {
    logic_.TakeSample(Reading(100, c.temperature));
    EXPECT_EQ(logic_.TemperatureText(), QString::fromUtf8(c.shown)) << c.temperature;
  }
  device_.Close();
  logic_.TakeSample(Reading(100, 30.0f));
  EXPECT_TRUE(logic_.LightText().isEmpty());
  EXPECT_FALSE(logic_.LightEnabled());

  // Without a microscope nothing is sent and nothing is enabled; the
  // temperature is shown only on incubation chamber systems.
  MicroscopePaneLogic none(nullptr, runner_, configuration_, false);
  none.TakeSample(Reading(100, 30.0f));
  none.LightUp();
  none.SelectCamera("Camera A");
  EXPECT_FALSE(none.LightEnabled());
  EXPECT_EQ(none.TemperatureText(), QStringLiteral("0"));
}

TEST_F(MicroscopeLogicTest, RemembersTheAttachedCameraUnderTheMicroscopesSerialNumber) {
  logic_.SelectCamera("Camera 22C1");
  EXPECT_EQ(configuration_.GetSettingsString("FTM001"), "Camera 22C1");
  logic_.SelectCamera("");
  EXPECT_EQ(configuration_.GetSettingsString("FTM001"), "");
}

class MicroscopePaneTest : public MicroscopeFixture {
 protected:
  void Settle(CMicroscopePane& pane) {
    ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return pane.Inbox()->Pending() == 0 && !pane.Busy(); }));
    QCoreApplication::processEvents();
  }
  void SetCameras(std::vector<std::string> names) {
    experiment_.Update([&](ORV::ExperimentContents& c) {
      c.cameraNames = names;
      return 0;
    });
  }
  ORV::ExperimentData experiment_{ORV::Test::SharedConfiguration(), ORV::Test::SharedClock()};
  ORV::InstrumentPaneContext context_{experiment_, configuration_};
};

TEST_F(MicroscopePaneTest, SizesItsLayoutByProductAndCameraChoiceAndShowsLiveValues) {
  SetCameras({"Camera 22C1", "Camera 31A0", "Video"});
  const struct {
    int product;
    bool cameraChoice;
    int height;
    const char* name;
  } layouts[] = {{1, false, 105, "light"}, {2, false, 175, "temperature"}, {2, true, 255, "camera"}};
  for (const int dpi : {96, 144}) {
    ORV::Test::ScopedDpi scaled(dpi);
    for (const auto& layout : layouts) {
      SCOPED_TRACE(std::string(layout.name) + " " + std::to_string(dpi));
      configuration_.ProductType = layout.product;
      CMicroscopePane pane(context_, &device_, {0, layout.cameraChoice, "Camera 31A0"},
                           QStringLiteral("ORV Microscope"));
      ASSERT_EQ(pane.Create(), 0);
      EXPECT_EQ(pane.objectName(), QStringLiteral("MicroscopePane0"));
      EXPECT_EQ(pane.CalcFixedLayout(), QSize(200 * dpi / 96, layout.height * dpi / 96));
      EXPECT_EQ(pane.Slider()->geometry(), pane.Rect96(30, 55, 170, 85));
      ASSERT_TRUE(pane.Inbox()->PostSample(ORV::kDeviceMicroscope, Reading(350, 36.94f)));
      Settle(pane);
      EXPECT_EQ(pane.LightEdit()->text(), QStringLiteral("350"));
      EXPECT_EQ(pane.Slider()->value(), 350);
      EXPECT_TRUE(pane.UpButton()->isEnabled());
      EXPECT_EQ(pane.TemperatureEdit()->isVisibleTo(pane.Client()), layout.product == 2);
      EXPECT_EQ(pane.CameraCombo()->isVisibleTo(pane.Client()), layout.cameraChoice);
      if (layout.cameraChoice) {
        EXPECT_EQ(pane.CameraCombo()->currentText(), QStringLiteral("Camera 31A0"));
      }
      pane.Client()->resize(pane.CalcFixedLayout());
      ORV::Test::SaveUiArtifact(*pane.Client(),
                                "microscope_pane_" + std::string(layout.name) + "_" + std::to_string(dpi));
    }
  }
}

TEST_F(MicroscopePaneTest, CommandsRunOffTheGuiThreadAndTheCameraChoiceIsStored) {
  SetCameras({"Camera 22C1", "Camera 31A0"});
  configuration_.ProductType = 2;
  CMicroscopePane pane(context_, &device_, {1, true, ""}, QStringLiteral("ORV Microscope"));
  ASSERT_EQ(pane.Create(), 0);
  pane.Slider()->setValue(200);  // as the user's drag does
  pane.UpButton()->click();
  Settle(pane);
  EXPECT_EQ(Sent(), "=4i;200;\r=4i;210;\r");
  EXPECT_EQ(pane.LightEdit()->text(), QStringLiteral("210"));
  EXPECT_EQ(pane.Slider()->value(), 210);
  // The combo's choice, as the user confirms it.
  emit pane.CameraCombo()->activated(1);
  Settle(pane);
  EXPECT_EQ(configuration_.GetSettingsString("FTM001"), "Camera 31A0");
}

}  // namespace
