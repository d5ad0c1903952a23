// The heater pane and its logic against the simulated heat controller.
#include "instruments/ui/heater_pane.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <functional>
#include <memory>

#include "core/base/configuration.h"
#include "core/experiment/experiment_data.h"
#include "instruments/heat_controller.h"
#include "instruments/ui/set_value_dialog.h"
#include "platform/sim/heat_controller_sim.h"
#include "platform/ui/dialog.h"
#include "platform/ui/icon_button.h"
#include "platform/ui/message_box.h"
#include "tests/instruments/ftdi_device.h"
#include "tests/support/test_support.h"
#include "tests/support/test_world.h"
#include "tests/support/ui/ui_test_support.h"

namespace {

using Four = std::array<float, 4>;
using ORV::HeaterPaneLogic;
using Outcome = HeaterPaneLogic::Outcome;

const QString kDeg = QString(QChar(0x00BA));
QString Deg(const char* number) { return QString::fromLatin1(number) + kDeg; }

// A heat controller loaded on its simulator: targets 36.5, 36.0, 0, 5.2 and
// differences 0.5, 0.5, 0, 0.
class HeaterFixture : public testing::Test {
 protected:
  void SetUp() override {
    // The load waits a second for each of the simulator's replies: a loaded
    // machine can keep it from answering within half of one. The tests
    // check what the pane makes of the answers, not the time-out.
    ORV::Test::SharedConfiguration().DeviceHeaterTimeout = 1000;
    ASSERT_TRUE(sim_.Start());
    ORV::Sim::HeatControllerSim::State s;
    s.targets = {36.5f, 36.0f, 0.0f, 5.2f};
    s.differences = {0.5f, 0.5f, 0.0f, 0.0f};
    sim_.SetState(s);
    devices_->devices = {ORV::Test::FtdiDevice(ORV::kFtdiHeatControllerProductId, "HC0001", sim_.DevicePath())};
    ASSERT_TRUE(device_.Load(""));
    // Reads end 50 ms after a reply's last byte (the baud rate means nothing
    // on a pseudo-terminal).
    ASSERT_EQ(device_.Port().Configure(9600, 1250), 0);
    loaded_ = sim_.Received().size();
  }
  void TearDown() override { ORV::Test::SharedConfiguration().DeviceHeaterTimeout = heaterTimeout_; }
  // The commands the controller received since the last call (or its
  // load), once a ping (answered only after everything before it) has gone
  // through.
  std::string Sent() {
    std::lock_guard guard(device_.Lock());
    EXPECT_TRUE(device_.Ping());
    const std::string all = sim_.Received();
    const std::string since = all.substr(loaded_, all.size() - loaded_ - 4);  // without the ping's "?2s\r"
    loaded_ = all.size();
    return since;
  }

  ORV::Test::SandboxedHome home_;
  const std::int32_t heaterTimeout_ = ORV::Test::SharedConfiguration().DeviceHeaterTimeout;
  ORV::Sim::HeatControllerSim sim_;
  std::shared_ptr<ORV::OS::FixedUsbSerialEnumerator> devices_ = std::make_shared<ORV::OS::FixedUsbSerialEnumerator>();
  ORV::HeatController device_{devices_};
  std::size_t loaded_ = 0;
};

class HeaterLogicTest : public HeaterFixture {
 protected:
  ORV::UI::InlineCommandRunner runner_;
  HeaterPaneLogic logic_{device_, runner_, 20.0f, 45.0f};
};

TEST_F(HeaterLogicTest, ShowsEachChambersTemperatureLessItsDifferenceAndEnablesOnlyChambersThatAreOn) {
  logic_.Refresh();
  ASSERT_TRUE(logic_.Connected());
  EXPECT_EQ(logic_.TargetText(0), Deg("36.5"));
  EXPECT_EQ(logic_.TargetText(3), Deg("5.2"));
  ORV::HeatControllerSample sample;
  sample.channelFlags = {1, 1, 0, 1};
  sample.temperatures = {37.34f, 20.0f, 30.0f, -1.5f};
  logic_.TakeSample(sample);
  const struct {
    std::size_t chamber;
    QString current;
    bool enabled;
  } rows[] = {{0, Deg("36.8"), true}, {1, Deg("19.5"), true}, {2, QString(), false}, {3, Deg("-1.5"), true}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.chamber);
    EXPECT_EQ(logic_.CurrentText(row.chamber), row.current);
    EXPECT_EQ(logic_.ChamberEnabled(row.chamber), row.enabled);
  }
  EXPECT_TRUE(logic_.DifferencesEnabled());
}

TEST_F(HeaterLogicTest, SendsOnlyTargetsInsideTheConfiguredRangeAndShowsWhatTheControllerHolds) {
  logic_.Refresh();
  const struct {
    float value;
    Outcome outcome;
    const char* shown;
  } cases[] = {
      {37.0f, Outcome::Sent, "37.0"},        {19.9f, Outcome::OutOfRange, "37.0"}, {45.1f, Outcome::OutOfRange, "37.0"},
      {375.0f, Outcome::OutOfRange, "37.0"}, {20.0f, Outcome::Sent, "20.0"},       {45.0f, Outcome::Sent, "45.0"},
      {37.5f, Outcome::Sent, "37.5"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(logic_.SetTarget(1, c.value), c.outcome);
    EXPECT_EQ(logic_.TargetText(1), Deg(c.shown));
  }
  EXPECT_EQ(Sent(),
            "=22;36.5;37.0;00.0;05.2;\r=22;36.5;20.0;00.0;05.2;\r=22;36.5;45.0;00.0;05.2;\r"
            "=22;36.5;37.5;00.0;05.2;\r");

  EXPECT_EQ(logic_.SetDifferences({1.0f, 0.0f, 0.0f, 2.5f}), Outcome::Sent);
  EXPECT_EQ(logic_.Differences(), (Four{1.0f, 0.0f, 0.0f, 2.5f}));

  // A send that fails leaves the controller's own target in the edit.
  sim_.Unplug();
  EXPECT_EQ(logic_.SetTarget(0, 40.0f), Outcome::Sent);
  EXPECT_EQ(logic_.TargetText(0), Deg("36.5"));
  EXPECT_EQ(logic_.Targets()[0], 36.5f);
  logic_.SetDifferences({3.0f, 3.0f, 3.0f, 3.0f});
  EXPECT_EQ(logic_.Differences(), (Four{1.0f, 0.0f, 0.0f, 2.5f}));
}

TEST_F(HeaterLogicTest, LosingTheControllerEmptiesAllEditsAndRegainingItReloadsItsSettings) {
  logic_.Refresh();
  ORV::HeatControllerSample sample;
  sample.channelFlags = {1, 1, 1, 1};
  sample.temperatures = {37.0f, 37.0f, 37.0f, 37.0f};
  logic_.TakeSample(sample);
  device_.Close();
  logic_.TakeSample(sample);
  EXPECT_FALSE(logic_.Connected());
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_TRUE(logic_.CurrentText(i).isEmpty());
    EXPECT_TRUE(logic_.TargetText(i).isEmpty());
    EXPECT_FALSE(logic_.ChamberEnabled(i));
  }
  EXPECT_FALSE(logic_.DifferencesEnabled());
  EXPECT_EQ(logic_.SetTarget(0, 37.0f), Outcome::NotConnected);

  ORV::Sim::HeatControllerSim::State s = sim_.GetState();
  s.targets = {38.0f, 38.0f, 38.0f, 38.0f};
  s.differences = {1.0f, 1.0f, 1.0f, 1.0f};
  sim_.SetState(s);
  ASSERT_TRUE(device_.Load(""));
  logic_.TakeSample(sample);
  EXPECT_EQ(logic_.TargetText(2), Deg("38.0"));
  EXPECT_EQ(logic_.CurrentText(2), Deg("36.0"));
}

// The pane: readings through its inbox, commands on its worker.
class HeaterPaneTest : public HeaterFixture {
 protected:
  void SetUp() override {
    HeaterFixture::SetUp();
    configuration_.MinimumTemperature = 20;
    configuration_.MaximumTemperature = 45;
  }
  void Post(const ORV::HeatControllerSample& sample) {
    ASSERT_TRUE(pane_->Inbox()->PostSample(ORV::kDeviceHeatController, sample));
  }
  // Until every message and command of the pane so far has run.
  void Settle() {
    ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return pane_->Inbox()->Pending() == 0 && !pane_->Busy(); }));
    QCoreApplication::processEvents();
  }

  ORV::Test::ScopedDpi dpi_{96};
  ORV::ExperimentData experiment_{ORV::Test::SharedConfiguration(), ORV::Test::SharedClock()};
  ORV::Configuration configuration_;
  ORV::InstrumentPaneContext context_{experiment_, configuration_};
  std::unique_ptr<CHeaterPane> pane_;
};

// Runs `script` inside the next modal dialog the pane opens.
void InNextDialog(const std::function<void(QDialog&)>& script) {
  QTimer::singleShot(0, [script] {
    QWidget* modal = QApplication::activeModalWidget();
    ASSERT_NE(modal, nullptr);
    script(*static_cast<QDialog*>(modal));
  });
}

TEST_F(HeaterPaneTest, ShowsLiveReadingsAndTakesOnlyTargetsInRangeFromTheDialog) {
  for (const int dpi : {96, 144}) {
    SCOPED_TRACE(dpi);
    ORV::Test::ScopedDpi scaled(dpi);
    pane_ = std::make_unique<CHeaterPane>(context_, device_, QStringLiteral("Heater"));
    ASSERT_EQ(pane_->Create(), 0);
    EXPECT_EQ(pane_->CalcFixedLayout(), QSize(200, 200) * dpi / 96);
    EXPECT_EQ(pane_->TargetEdit(1)->geometry(), pane_->Rect96(81, 81, 121, 96));
    ORV::HeatControllerSample sample;
    sample.channelFlags = {1, 1, 0, 1};
    sample.temperatures = {37.34f, 36.2f, 22.0f, 5.0f};
    Post(sample);
    Settle();
    EXPECT_EQ(pane_->CurrentEdit(0)->text(), Deg("36.8"));
    EXPECT_EQ(pane_->TargetEdit(1)->text(), Deg("36.0"));
    EXPECT_TRUE(pane_->CurrentEdit(2)->text().isEmpty());
    EXPECT_FALSE(pane_->SetButton(2)->isEnabled());
    EXPECT_FALSE(pane_->TargetEdit(2)->isEnabled());
    EXPECT_TRUE(pane_->SetButton(3)->isEnabled());
    EXPECT_TRUE(pane_->CurrentEdit(0)->isReadOnly());
    pane_->Client()->resize(pane_->CalcFixedLayout());
    ORV::Test::SaveUiArtifact(*pane_->Client(), "heater_pane_" + std::to_string(dpi));
    pane_.reset();
  }

  pane_ = std::make_unique<CHeaterPane>(context_, device_, QStringLiteral("Heater"));
  ASSERT_EQ(pane_->Create(), 0);
  Settle();
  ORV::UI::ScriptedMessageBoxes boxes;
  const auto enter = [](const char* text) {
    InNextDialog([text](QDialog& dialog) {
      auto* value = dynamic_cast<CSetValueDialog*>(&dialog);
      ASSERT_NE(value, nullptr);
      EXPECT_EQ(value->Edit()->text(), QStringLiteral("36.0")) << "the target as initial text";
      value->Edit()->setText(QString::fromLatin1(text));
      value->resultText = value->Edit()->text();
      dialog.done(ORV::UI::IDOK);
    });
  };
  enter("45.1");
  pane_->OnSetTarget(1);
  Settle();
  ASSERT_EQ(boxes.Shown().size(), 1u);
  EXPECT_EQ(boxes.Shown()[0].caption, QStringLiteral("Entered value is out of range"));
  EXPECT_EQ(boxes.Shown()[0].text, QStringLiteral("Target temperature must be between 20 and 45 degrees"));
  EXPECT_EQ(boxes.Shown()[0].type, ORV::UI::MB_ICONSTOP);
  EXPECT_EQ(Sent(), "");

  enter("37.0");
  pane_->OnSetTarget(1);
  Settle();
  EXPECT_EQ(Sent(), "=22;36.5;37.0;00.0;05.2;\r");
  EXPECT_EQ(pane_->TargetEdit(1)->text(), Deg("37.0"));
  EXPECT_EQ(boxes.Shown().size(), 1u);
}

TEST_F(HeaterPaneTest, ThePopUpsSayWhichChamberAndOpenBesideWhatTheyEditClearOfTheirButton) {
  pane_ = std::make_unique<CHeaterPane>(context_, device_, QStringLiteral("Heater"));
  ASSERT_EQ(pane_->Create(), 0);
  pane_->move(300, 200);
  pane_->show();
  Settle();
  const auto onScreen = [](const QWidget* w) { return QRect(w->mapToGlobal(QPoint(0, 0)), w->size()); };
  for (const int chamber : {0, 1, 3}) {
    const QRect row = onScreen(pane_->CurrentEdit(chamber)) | onScreen(pane_->SetButton(chamber));
    InNextDialog([&](QDialog& dialog) {
      auto* value = dynamic_cast<CSetValueDialog*>(&dialog);
      ASSERT_NE(value, nullptr);
      EXPECT_EQ(value->Label()->text(), QStringLiteral("Target temperature for chamber %1").arg(chamber + 1));
      EXPECT_LE(value->Label()->sizeHint().width(), value->Label()->width()) << "the whole label shows";
      EXPECT_LE(value->Label()->geometry().right(), value->Edit()->geometry().left()) << "before the edit";
      const QRect popUp = dialog.frameGeometry();
      EXPECT_FALSE(popUp.intersects(onScreen(pane_->SetButton(chamber)))) << "clear of its Set button";
      EXPECT_FALSE(popUp.intersects(row)) << "clear of the row it sets";
      EXPECT_TRUE(popUp.top() == row.bottom() + 1 || popUp.bottom() == row.top() - 1) << "right beside the row";
      dialog.done(ORV::UI::IDCANCEL);
    });
    pane_->OnSetTarget(chamber);
  }
  InNextDialog([&](QDialog& dialog) {
    EXPECT_FALSE(dialog.frameGeometry().intersects(onScreen(pane_->SetDifferencesButton())));
    dialog.done(ORV::UI::IDCANCEL);
  });
  pane_->OnSetDifferences();
  EXPECT_EQ(Sent(), "") << "nothing set";
}

}  // namespace
