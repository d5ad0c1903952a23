// The multi myograph pane and its logic against the simulated multi
// interface: the output reports the unit receives, what the pane shows, and
// its controls for each model and product layout.
#include "instruments/ui/multi_myograph_pane.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLineEdit>
#include <QLocale>
#include <QMainWindow>
#include <clocale>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/base/configuration.h"
#include "core/experiment/experiment_data.h"
#include "platform/ui/focus_edit.h"
#include "platform/ui/message_box.h"
#include "platform/ui/pane_factory.h"
#include "tests/instruments/hid/hid_rig.h"
#include "tests/instruments/ui/fake_entry.h"
#include "tests/support/test_world.h"
#include "tests/support/ui/ui_test_support.h"

namespace {

using Logic = ORV::MultiMyographPaneLogic;
using Message = Logic::Message;
using Messages = Logic::Messages;
using ORV::Sim::Report;
using ORV::Test::FakeEntry;

// The unit's model byte in its digital-state answer, by model.
constexpr std::uint8_t kStandard = 1, kFast = 6, kCompact = 8, kSinglePressure = 9;

// Bytes of a report as "41 48 00 00".
std::string Hex(const Report& r, std::size_t from, std::size_t count) {
  std::string out;
  for (std::size_t i = from; i < from + count && i < r.size(); ++i) {
    char b[4];
    std::snprintf(b, sizeof b, "%02X", r[i]);
    out += (out.empty() ? "" : " ") + std::string(b);
  }
  return out;
}

float F32(const Report& r, std::size_t at) {
  const std::uint32_t bits = std::uint32_t{r[at]} << 24 | std::uint32_t{r[at + 1]} << 16 |
                             std::uint32_t{r[at + 2]} << 8 | std::uint32_t{r[at + 3]};
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

ORV::PMK4xData3 Sample(float p1) {
  ORV::PMK4xData3 s;
  s.p1 = p1;
  s.p2 = p1 / 2;
  s.targetP1 = 60.0f;
  s.targetP2 = 40.0f;
  s.gradient = 5.0f;
  s.temperature = 36.84f;
  s.temperatureTarget = 37.0f;
  s.force = 1.26f;
  s.pH = 7.404f;
  s.switch1 = 0;
  s.switch4 = 1;
  s.flowValid = 0;
  s.pulseRate = 120.4f;
  s.dutyRate = 30;
  return s;
}

struct RecordingClock : ORV::DeviceClockDisplay {
  std::optional<bool> available;
  std::string time;
  void SetDeviceClockAvailable(bool a) override { available = a; }
  void SetDeviceClock(int h, int m, int s) override {
    time = std::to_string(h) + ":" + std::to_string(m) + ":" + std::to_string(s);
  }
};

// A multi interface of a model, loaded on its simulated unit.
class MultiFixture : public testing::Test {
 protected:
  void Load(std::uint8_t modelByte) {
    rig_ = std::make_unique<ORV::Test::HidRig>(64);
    rig_->unit->Update([&](ORV::Sim::MultiInterfaceUnit::State& s) { s.modelByte = modelByte; });
    ASSERT_TRUE(rig_->device->Load(rig_->path));
    rig_->unit->ClearReceived();
  }
  // The reports the unit received since the last call.
  std::vector<Report> Sent() {
    std::vector<Report> r = rig_->unit->Received();
    rig_->unit->ClearReceived();
    return r;
  }

  std::unique_ptr<ORV::Test::HidRig> rig_;
};

class MultiLogicTest : public MultiFixture {
 protected:
  std::unique_ptr<Logic> Make(std::uint8_t modelByte, bool incubation = false) {
    Load(modelByte);
    const Logic::Variant variant{incubation, rig_->device->ModelCode()};
    const Logic::Entries entries{&temperature_, &p1_, &p2_, &gradient_, &pulse_, &duty_};
    auto logic = std::make_unique<Logic>(*rig_->device, runner_, variant, Logic::Limits{}, entries, &clock_);
    EXPECT_TRUE(logic->Start());
    logic->ShowSample(Sample(50));
    Sent();
    return logic;
  }
  ORV::UI::InlineCommandRunner runner_;
  FakeEntry temperature_, p1_, p2_, gradient_, pulse_, duty_;
  RecordingClock clock_;
};

// Sets the C library and Qt to a decimal-comma locale while it exists.
class CommaLocale {
 public:
  CommaLocale() : old_(std::setlocale(LC_ALL, nullptr)) {
    std::setlocale(LC_ALL, "de_DE.UTF-8");  // may be missing; Qt's default is set anyway
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  }
  ~CommaLocale() {
    std::setlocale(LC_ALL, old_.c_str());
    QLocale::setDefault(QLocale::c());
  }

 private:
  std::string old_;
};

TEST_F(MultiLogicTest, PressureTargetsAreCheckedAndSentWithTheirGradient) {
  CommaLocale comma;
  auto logic = Make(kStandard);
  // The unit holds 60 / 40 with gradient 5; what is not typed is kept.
  const struct {
    const char* what;
    const char *p1, *p2, *gradient;  // null: not being edited
    Messages messages;
    bool sent;
    float p1Sent, p2Sent, gradientSent;
  } cases[] = {
      {"decimal comma", "12,5", "10", nullptr, {}, true, 12.5f, 10, 5},
      {"P2 above P1", "100", "120", nullptr, {Message::P2AboveP1}, false, 0, 0, 0},
      {"P1 equal to P2", "80", "80", nullptr, {}, true, 80, 80, 5},
      {"P1 above the maximum", "251", nullptr, nullptr, {Message::PressureRange}, false, 0, 0, 0},
      {"P2 below the minimum", nullptr, "-1", nullptr, {Message::PressureRange}, false, 0, 0, 0},
      {"not a number", "6x", nullptr, nullptr, {Message::PressureRange}, false, 0, 0, 0},
      {"P2 above the unit's P1", nullptr, "70", nullptr, {Message::P2AboveP1}, false, 0, 0, 0},
      {"bounds", "250", "0", nullptr, {}, true, 250, 0, 5},
      {"gradient below 1", nullptr, nullptr, "0,5", {Message::GradientRange}, true, 60, 40, 5},
      {"gradient 10", nullptr, nullptr, "10", {}, true, 60, 40, 10},
      {"nothing typed", nullptr, nullptr, nullptr, {}, false, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    logic->ShowSample(Sample(50));
    logic->ShowSample(Sample(50));
    for (auto [entry, text] : {std::pair{&p1_, c.p1}, {&p2_, c.p2}, {&gradient_, c.gradient}}) {
      entry->editing = text != nullptr;
      if (text != nullptr) entry->text = QString::fromLatin1(text);
    }
    EXPECT_EQ(logic->ChangePressures(), c.messages);
    const std::vector<Report> sent = Sent();
    ASSERT_EQ(sent.size(), c.sent ? 1u : 0u);
    if (!c.sent) continue;
    EXPECT_EQ(sent[0][2], ORV::PressureMultiMyographK4x::kSetPressures);
    EXPECT_EQ(F32(sent[0], 3), c.p1Sent);
    EXPECT_EQ(F32(sent[0], 7), c.p2Sent);
    EXPECT_EQ(F32(sent[0], 11), c.gradientSent);
    if (std::string(c.what) == "decimal comma") {
      EXPECT_EQ(Hex(sent[0], 3, 4), "41 48 00 00");
    }
    EXPECT_FALSE(p1_.editing || p2_.editing || gradient_.editing);
    EXPECT_TRUE(logic->SkipsNextSample());
  }
}

TEST_F(MultiLogicTest, SinglePressureModelKeepsTheUnitsP2AndHasNoFlow) {
  auto logic = Make(kSinglePressure);
  EXPECT_TRUE(logic->GetVariant().SinglePressure());
  p1_.Type("70");
  p2_.Type("90");  // no such entry on this model: not read, not sent
  EXPECT_EQ(logic->ChangePressures(), Messages{});
  const std::vector<Report> sent = Sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(F32(sent[0], 3), 70.0f);
  EXPECT_EQ(F32(sent[0], 7), 40.0f) << "the unit's own target P2";
  logic->FlowOn();
  EXPECT_TRUE(Sent().empty());
  EXPECT_FALSE(logic->Enabled(Logic::kFlowOn));
  EXPECT_FALSE(logic->Enabled(Logic::kFlowOff));
  EXPECT_FALSE(logic->Enabled(Logic::kChangePressures) && !p1_.editing);
}

TEST_F(MultiLogicTest, PulsationSettingsAreCheckedBeforeTheyAreSent) {
  auto logic = Make(kFast);
  // The sample shown holds pulse rate 120.4 (sent as 120) and duty rate 30.
  const struct {
    const char *pulse, *duty;  // null: not being edited
    Messages messages;
    int pulseSent, dutySent;  // -1: nothing sent
  } cases[] = {
      {"39", nullptr, {Message::PulseRange}, -1, -1},
      {"601", nullptr, {Message::PulseRange}, -1, -1},
      {"70000", nullptr, {Message::PulseRange}, -1, -1},  // beyond 16 bits
      {"40", nullptr, {}, 40, 30},
      {"600", nullptr, {}, 600, 30},
      {nullptr, "19", {Message::DutyRange}, -1, -1},
      {nullptr, "81", {Message::DutyRange}, -1, -1},
      {nullptr, "20", {}, 120, 20},
      {nullptr, "80", {}, 120, 80},
      {"45", "90", {Message::DutyRange}, 45, 30},
      {"1", "2", {Message::DutyRange, Message::PulseRange}, -1, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.pulse ? c.pulse : "-") + " / " + (c.duty ? c.duty : "-"));
    logic->ShowSample(Sample(50));
    pulse_.editing = c.pulse != nullptr;
    if (c.pulse) pulse_.text = QString::fromLatin1(c.pulse);
    duty_.editing = c.duty != nullptr;
    if (c.duty) duty_.text = QString::fromLatin1(c.duty);
    EXPECT_EQ(logic->ChangePulsation(), c.messages);
    const std::vector<Report> sent = Sent();
    ASSERT_EQ(sent.size(), c.pulseSent < 0 ? 0u : 1u);
    if (c.pulseSent < 0) continue;
    EXPECT_EQ((sent[0][15] << 8) | sent[0][16], c.pulseSent);
    EXPECT_EQ(sent[0][17], c.dutySent);
    EXPECT_EQ(sent[0][18], 0) << "pulsation stays off";
    EXPECT_EQ(F32(sent[0], 3), 60.0f) << "the targets are kept";
    EXPECT_EQ(logic->PulseRate(), static_cast<float>(c.pulseSent));
    EXPECT_FALSE(pulse_.editing || duty_.editing);
  }

  logic->ShowSample(Sample(50));
  EXPECT_TRUE(logic->Enabled(Logic::kPulsationOn));
  EXPECT_FALSE(logic->Enabled(Logic::kPulsationOff));
  logic->PulsationOn();
  std::vector<Report> sent = Sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(Hex(sent[0], 2, 17), "09 42 70 00 00 42 20 00 00 40 A0 00 00 00 78 1E 01");
  EXPECT_TRUE(logic->PulsationRunning());
  EXPECT_FALSE(logic->Enabled(Logic::kPulsationOn));
  EXPECT_TRUE(logic->Enabled(Logic::kPulsationOff));
  logic->PulsationOn();
  EXPECT_TRUE(Sent().empty()) << "already running";
  logic->PulsationOff();
  sent = Sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0][18], 0);

  // Units that do not pulse have none of it.
  auto standard = Make(kStandard);
  pulse_.Type("100");
  EXPECT_EQ(standard->ChangePulsation(), Messages{});
  standard->PulsationOn();
  EXPECT_TRUE(Sent().empty());
  for (int id : {Logic::kChangePulsation, Logic::kPulsationOn, Logic::kPulsationOff})
    EXPECT_FALSE(standard->Enabled(id)) << id;
}

TEST_F(MultiLogicTest, SwitchesSendTheirOutputsAndFollowTheEnableRules) {
  auto logic = Make(kStandard);
  using L = Logic;
  // Report bytes 3 to 10: heater, flow, 0xFF, pressure, 0xFF, 0, 0, zero force.
  const struct {
    const char* what;
    std::function<void()> command;
    const char* outputs;
    bool heater, pressure, flow;  // the pane's states afterwards
  } commands[] = {
      {"heater on", [&] { logic->HeaterOn(); }, "01 FF FF FF FF 00 00 00", false, true, false},
      {"flow on", [&] { logic->FlowOn(); }, "FF 01 FF FF FF 00 00 00", false, true, true},
      {"flow off", [&] { logic->FlowOff(); }, "FF 00 FF FF FF 00 00 00", false, true, false},
      {"pressure off", [&] { logic->PressureOff(); }, "FF FF FF 00 FF 00 00 00", false, false, false},
      {"pressure on", [&] { logic->PressureOn(); }, "FF FF FF 01 FF 00 00 00", false, true, false},
      {"zero force", [&] { logic->ZeroForce(); }, "FF FF FF FF FF 00 00 01", false, true, false},
  };
  for (const auto& c : commands) {
    SCOPED_TRACE(c.what);
    c.command();
    const std::vector<Report> sent = Sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0][2], ORV::PressureMultiMyographK4x::kSetDigitalOutputs);
    EXPECT_EQ(Hex(sent[0], 3, 8), c.outputs);
    EXPECT_EQ(logic->HeaterIsOn(), c.heater) << "heater on shows with the next sample";
    EXPECT_EQ(logic->PressureIsOn(), c.pressure);
    EXPECT_EQ(logic->FlowIsOn(), c.flow);
    EXPECT_TRUE(logic->SkipsNextSample());
    EXPECT_FALSE(logic->AcceptSample()) << "the next sample is dropped";
    EXPECT_TRUE(logic->AcceptSample());
    if (c.what == std::string("pressure off")) {
      EXPECT_TRUE(logic->Enabled(L::kPressureOn));
      EXPECT_FALSE(logic->Enabled(L::kPressureOff));
      EXPECT_FALSE(logic->Enabled(L::kFlowOn));
      EXPECT_FALSE(logic->Enabled(L::kFlowOff));
    }
  }
  ORV::PMK4xData3 heated = Sample(50);
  heated.switch1 = 1;
  logic->ShowSample(heated);
  EXPECT_TRUE(logic->HeaterIsOn());
  EXPECT_FALSE(logic->Enabled(L::kHeaterOn));
  EXPECT_TRUE(logic->Enabled(L::kHeaterOff));
  logic->HeaterOff();
  EXPECT_FALSE(logic->HeaterIsOn());
  Sent();

  // A switch the unit does not take changes nothing but the skip.
  rig_->unit->SetAcknowledgeCode(0x6029);
  logic->PressureOff();
  EXPECT_EQ(Sent().size(), 1u);
  EXPECT_TRUE(logic->PressureIsOn());
  EXPECT_TRUE(logic->SkipsNextSample());
  rig_->unit->SetAcknowledgeCode(ORV::Sim::MultiInterfaceUnit::kAcknowledge);

  // An inactive pane sends nothing and enables nothing it commands.
  logic->SetActive(false);
  temperature_.Type("37");
  p1_.Type("50");
  for (const auto& c : commands) c.command();
  logic->ChangeTemperature();
  logic->ChangePressures();
  EXPECT_TRUE(Sent().empty());
  for (int id : {L::kHeaterOn, L::kHeaterOff, L::kPressureOn, L::kPressureOff, L::kFlowOn, L::kFlowOff, L::kZeroForce,
                 L::kChangeTemperature, L::kChangePressures})
    EXPECT_FALSE(logic->Enabled(id)) << id;
}

TEST_F(MultiLogicTest, TargetTemperatureStaysInsideTheConfiguredRange) {
  auto logic = Make(kStandard);
  temperature_.Type("37,5");
  EXPECT_EQ(logic->ChangeTemperature(), Messages{});
  std::vector<Report> sent = Sent();
  ASSERT_EQ(sent.size(), 1u);
  // 3750 hundredths for the heater; the other two temperatures are kept.
  EXPECT_EQ(Hex(sent[0], 2, 3), "31 0E A6");
  EXPECT_EQ(temperature_.text, QStringLiteral("37.5"));
  EXPECT_FALSE(temperature_.editing);
  for (const char* refused : {"19.9", "45.1", "abc"}) {
    temperature_.Type(refused);
    EXPECT_EQ(logic->ChangeTemperature(), Messages{Message::TemperatureRange}) << refused;
    EXPECT_FALSE(temperature_.editing) << refused;
  }
  EXPECT_TRUE(Sent().empty());

  // Return in the P1 entry sends the pressures only; in the temperature
  // entry, both (nothing typed for the pressures: they are not sent).
  p1_.Type("55");
  EXPECT_EQ(logic->EnterKey(), Messages{});
  sent = Sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0][2], ORV::PressureMultiMyographK4x::kSetPressures);
  temperature_.Type("38");
  EXPECT_EQ(logic->EnterKey(), Messages{});
  sent = Sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0][2], ORV::PressureMultiMyographK4x::kSetTemperatures);

  auto incubation = Make(kStandard, true);
  temperature_.Type("37");
  EXPECT_EQ(incubation->ChangeTemperature(), Messages{});
  incubation->HeaterOn();
  incubation->ZeroForce();
  EXPECT_TRUE(Sent().empty());
}

TEST_F(MultiLogicTest, ShowsTheSampleAndLeavesEntriesBeingEditedAlone) {
  auto logic = Make(kFast);
  p2_.Type("3");
  ORV::PMK4xData3 s = Sample(60.44f);
  s.digital5 = 1;  // the unit has a clock
  logic->ShowSample(s);
  EXPECT_EQ(logic->ValueText(Logic::kCurrentP1), QStringLiteral("60.4"));
  EXPECT_EQ(logic->ValueText(Logic::kCurrentP2), QStringLiteral("30.2"));
  EXPECT_EQ(logic->ValueText(Logic::kCurrentTemperature), QStringLiteral("36.8"));
  EXPECT_EQ(logic->ValueText(Logic::kForce), QStringLiteral("1.3"));
  EXPECT_EQ(logic->ValueText(Logic::kPH), QStringLiteral("7.40"));
  EXPECT_EQ(p1_.text, QStringLiteral("60.0"));
  EXPECT_EQ(p2_.text, QStringLiteral("3")) << "being edited";
  EXPECT_EQ(gradient_.text, QStringLiteral("5.0"));
  EXPECT_EQ(temperature_.text, QStringLiteral("37.0"));
  EXPECT_EQ(pulse_.text, QStringLiteral("120"));
  EXPECT_EQ(duty_.text, QStringLiteral("30"));
  // The clock is read from the unit's status bytes.
  EXPECT_EQ(clock_.available, true);
  EXPECT_EQ(clock_.time, "12:34:56");

  // A sample queued before a command is shown with empty values; the one
  // after shows them again.
  logic->ZeroForce();
  logic->ShowSample(Sample(61));
  EXPECT_EQ(logic->ValueText(Logic::kCurrentP1), QString());
  EXPECT_EQ(p1_.text, QString());
  EXPECT_EQ(p2_.text, QStringLiteral("3"));
  EXPECT_EQ(pulse_.text, QStringLiteral("120")) << "the pulsation settings are always shown";
  logic->ShowSample(Sample(62));
  EXPECT_EQ(logic->ValueText(Logic::kCurrentP1), QStringLiteral("62.0"));

  // An inactive pane empties its values.
  logic->SetActive(false);
  logic->ShowSample(Sample(63));
  EXPECT_EQ(logic->ValueText(Logic::kPH), QString());
  EXPECT_EQ(Logic::ReadNumber(QStringLiteral("")), 0.0);
  EXPECT_EQ(Logic::ReadNumber(QStringLiteral(" +7,25 ")), 7.25);
  EXPECT_EQ(Logic::ReadNumber(QStringLiteral("1.2.3")), std::nullopt);
}

class MultiPaneTest : public MultiFixture {
 protected:
  void Settle(CMyographMultiWnd& pane) {
    ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return !pane.Busy(); }));
    QCoreApplication::processEvents();
  }
  // A created pane of the fast unit in the standard layout, its start done.
  std::unique_ptr<CMyographMultiWnd> MakeFastPane() {
    Load(kFast);
    configuration_.ProductType = 1;
    auto pane = std::make_unique<CMyographMultiWnd>(context_, *rig_->device, QStringLiteral("Multi Interface"));
    if (pane->Create() != 0) return nullptr;
    Settle(*pane);
    return pane;
  }
  QString Text(CMyographMultiWnd& pane, int id) { return static_cast<QLineEdit*>(pane.Control(id))->text(); }
  void SampleFromAnotherThread(const std::vector<float>& p1s) {
    std::thread sampler([&] {
      for (float p1 : p1s) {
        ORV::PMK4xData3 s = Sample(p1);
        experiment_.AddPressureSample(s);
      }
    });
    sampler.join();
  }
  ORV::Test::SandboxedHome home_;
  ORV::ExperimentData experiment_{ORV::Test::SharedConfiguration(), ORV::Test::SharedClock()};
  ORV::Configuration configuration_;
  ORV::InstrumentPaneContext context_{experiment_, configuration_};
};

TEST_F(MultiPaneTest, EachModelAndLayoutHasItsControlsAndFixedSize) {
  using L = Logic;
  const struct {
    const char* name;
    std::uint8_t model;
    int height;  // at 96 DPI, standard layout
  } models[] = {
      {"standard", kStandard, 368},
      {"fast", kFast, 488},
      {"compact", kCompact, 304},
      {"single_pressure", kSinglePressure, 259},
  };
  for (const auto& m : models) {
    Load(m.model);
    for (const int dpi : {96, 144}) {
      ORV::Test::ScopedDpi scaled(dpi);
      for (const bool incubation : {false, true}) {
        SCOPED_TRACE(std::string(m.name) + (incubation ? " incubation " : " standard ") + std::to_string(dpi));
        configuration_.ProductType = incubation ? 2 : 1;
        CMyographMultiWnd pane(context_, *rig_->device, QStringLiteral("Multi Interface"));
        ASSERT_EQ(pane.Create(), 0);
        EXPECT_EQ(pane.objectName(), QStringLiteral("MultiMyographPane"));
        const int height = incubation ? 215 : m.height;
        EXPECT_EQ(pane.CalcFixedLayout(), QSize(pane.Scale(200), pane.Scale(height)));
        const bool single = m.model == kSinglePressure;
        EXPECT_EQ(pane.Control(L::kHeaterOn) != nullptr, !incubation);
        EXPECT_EQ(pane.Control(L::kForce) != nullptr, !incubation && (m.model == kStandard || m.model == kFast));
        EXPECT_EQ(pane.Control(L::kTargetP2) != nullptr, !single);
        EXPECT_EQ(pane.Control(L::kFlowOn) != nullptr, !single);
        EXPECT_EQ(pane.Control(L::kPulsationOn) != nullptr, !incubation && m.model == kFast);
        EXPECT_EQ(pane.Control(L::kTargetP1)->geometry(),
                  incubation ? pane.Rect96(71, 58, 121, 76) : pane.Rect96(71, 138, 121, 156));
        // Every control lies inside the pane.
        for (int id = 33769; id <= 33795; ++id) {
          if (QWidget* c = pane.Control(id)) {
            EXPECT_TRUE(QRect(QPoint(0, 0), pane.CalcFixedLayout()).contains(c->geometry())) << id;
          }
        }
        Settle(pane);
        SampleFromAnotherThread({60.4f});
        ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return Text(pane, L::kCurrentP1) == "60.4"; }));
        pane.UpdateControls();
        EXPECT_TRUE(pane.Control(L::kPressureOff)->isEnabled());
        EXPECT_FALSE(pane.Control(L::kChangePressures)->isEnabled());
        pane.Client()->resize(pane.CalcFixedLayout());
        ORV::Test::SaveUiArtifact(*pane.Client(), std::string("multi_myograph_pane_") + m.name +
                                                      (incubation ? "_incubation_" : "_") + std::to_string(dpi));
      }
    }
  }
}

TEST_F(MultiPaneTest, ShowsOnlyTheNewestOfTheSamplesQueuedAndKeepsWhatIsBeingTyped) {
  using L = Logic;
  auto made = MakeFastPane();
  ASSERT_TRUE(made);
  CMyographMultiWnd& pane = *made;
  int updates = 0;
  pane.Logic().onChanged = [&, shown = pane.Logic().onChanged] {
    ++updates;
    shown();
  };
  CFocusEdit* p1 = pane.Entry(L::kTargetP1);
  p1->setReadOnly(false);
  p1->setText(QStringLiteral("7"));
  SampleFromAnotherThread({10, 20, 30});
  ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return updates > 0; }));
  QCoreApplication::processEvents();
  EXPECT_EQ(updates, 1);
  EXPECT_EQ(Text(pane, L::kCurrentP1), QStringLiteral("30.0"));
  EXPECT_EQ(p1->text(), QStringLiteral("7"));
  EXPECT_EQ(pane.Entry(L::kTargetP2)->text(), QStringLiteral("40.0"));
  EXPECT_EQ(pane.Entry(L::kPulseRate)->text(), QStringLiteral("120"));
}

TEST_F(MultiPaneTest, CommandsReachTheUnitAndRefusalsShowTheirMessages) {
  using L = Logic;
  auto made = MakeFastPane();
  ASSERT_TRUE(made);
  CMyographMultiWnd& pane = *made;
  SampleFromAnotherThread({50});
  ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return Text(pane, L::kCurrentP1) == "50.0"; }));
  Sent();
  ORV::UI::ScriptedMessageBoxes boxes;
  const auto type = [&](int id, const char* text) {
    CFocusEdit* e = pane.Entry(id);
    e->setReadOnly(false);
    e->setText(QString::fromLatin1(text));
  };
  const struct {
    const char* what;
    std::vector<std::pair<int, const char*>> typed;
    int command;
    std::vector<const char*> messages;
    std::uint8_t sent;  // sub-command, 0xFF for none
  } cases[] = {
      {"P2 above P1",
       {{L::kTargetP1, "100"}, {L::kTargetP2, "120"}},
       L::kChangePressures,
       {"P2 must not be a larger value than P1"},
       0xFF},
      {"gradient",
       {{L::kTargetP1, "100"}, {L::kTargetP2, "90"}, {L::kGradient, "0.5"}},
       L::kChangePressures,
       {"Gradient value out of range. Value must be between 1 and 10"},
       0x09},
      {"pressure range", {{L::kTargetP1, "300"}}, L::kChangePressures, {"Entered value is out of range"}, 0xFF},
      {"pulse and duty",
       {{L::kPulseRate, "39"}, {L::kDutyRate, "81"}},
       L::kChangePulsation,
       {"Entered Duty Rate must be between 20 and 80", "Entered Pulse Rate must be between 40 and 600"},
       0xFF},
      {"temperature",
       {{L::kTargetTemperature, "50"}},
       L::kChangeTemperature,
       {"Value must be between 20.0 and 45.0 "},
       0xFF},
      {"heater on", {}, L::kHeaterOn, {}, 0x29},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (const auto& [id, text] : c.typed) type(id, text);
    pane.UpdateControls();
    const std::size_t before = boxes.Shown().size();
    pane.OnCommand(c.command);
    Settle(pane);
    ASSERT_EQ(boxes.Shown().size() - before, c.messages.size());
    for (std::size_t i = 0; i < c.messages.size(); ++i) {
      EXPECT_EQ(boxes.Shown()[before + i].text, QString::fromLatin1(c.messages[i]));
      EXPECT_EQ(boxes.Shown()[before + i].caption, QStringLiteral("Entered value is out of range"));
      EXPECT_EQ(boxes.Shown()[before + i].type, ORV::UI::MB_OK | ORV::UI::MB_ICONERROR);
    }
    const std::vector<Report> sent = Sent();
    ASSERT_EQ(sent.size(), c.sent == 0xFF ? 0u : 1u);
    if (!sent.empty()) {
      EXPECT_EQ(sent[0][2], c.sent);
    }
    for (int id : {L::kTargetP1, L::kTargetP2, L::kGradient, L::kPulseRate, L::kDutyRate, L::kTargetTemperature})
      pane.Entry(id)->setReadOnly(true);
  }
  EXPECT_EQ(rig_->unit->GetState().targetP1, 100.0f);
  EXPECT_EQ(rig_->unit->GetState().targetP2, 90.0f);
  EXPECT_EQ(rig_->unit->GetState().gradient, 5.0f) << "the gradient was kept";
}

TEST_F(MultiPaneTest, DocksInTheFrameUnderItsOwnNameAndLeavesTheReceiversWhenClosed) {
  Load(kStandard);
  {
    QMainWindow frame;
    frame.setCentralWidget(new QWidget);
    ORV::UI::PaneFactory factory(frame);
    auto* pane = factory.Dock<CMyographMultiWnd>(Qt::RightDockWidgetArea, context_, *rig_->device,
                                                 QStringLiteral("Multi Interface"));
    ASSERT_NE(pane, nullptr);
    EXPECT_EQ(factory.Find(QStringLiteral("MultiMyographPane")), pane);
    EXPECT_EQ(frame.dockWidgetArea(pane), Qt::RightDockWidgetArea);
    ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return !pane->Busy(); }));
  }
  // The pane is gone; a sample finds no receiver of it.
  SampleFromAnotherThread({50});
  QCoreApplication::processEvents();
}

}  // namespace
