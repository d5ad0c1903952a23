#include "instruments/ui/multi_myograph_pane_logic.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include "instruments/pressure_multi_myograph_k4x.h"

namespace ORV {

namespace {

using Multi = PressureMultiMyographK4x;
constexpr std::uint8_t kSame = Multi::kOutputUnchanged;

constexpr double kMinimumGradient = 1.0, kMaximumGradient = 10.0;
constexpr long long kMinimumDuty = 20, kMaximumDuty = 80;
constexpr long long kMinimumPulse = 40, kMaximumPulse = 600;

QString Fixed(float value, int decimals) { return QString::number(static_cast<double>(value), 'f', decimals); }

// An integer entry (pulse and duty rate); nothing for a text that is not a
// whole number or does not fit.
std::optional<long long> ReadInteger(const TargetEntry& entry) {
  bool ok = false;
  const long long value = entry.Text().trimmed().toLongLong(&ok);
  if (!ok) return std::nullopt;
  return value;
}

// The value an entry stands for: what the user typed while it is being
// edited, the unit's value otherwise.
std::optional<double> EntryValue(const TargetEntry& entry, float stored) {
  if (!entry.Editing()) return stored;
  return MultiMyographPaneLogic::ReadNumber(entry.Text());
}

}  // namespace

int MultiMyographPaneLogic::Variant::Height96() const {
  if (incubation) return 215;
  int height = Compact() ? 230 : 294;
  if (SinglePressure()) height = static_cast<int>(height - 108.8);
  return height + (Pulsation() ? 190 : 70) + 4;
}

std::optional<double> MultiMyographPaneLogic::ReadNumber(const QString& text) {
  std::string s = text.trimmed().toStdString();
  for (char& c : s)
    if (c == ',') c = '.';
  if (s.empty()) return 0.0;
  const char* first = s.data();
  if (*first == '+') ++first;
  double value = 0.0;
  const auto [end, error] = std::from_chars(first, s.data() + s.size(), value);
  if (error != std::errc() || end != s.data() + s.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

MultiMyographPaneLogic::MultiMyographPaneLogic(PressureMultiMyographK4x& device, UI::CommandRunner& runner,
                                               const Variant& variant, const Limits& limits, const Entries& entries,
                                               DeviceClockDisplay* clock)
    : device_(device), runner_(runner), variant_(variant), limits_(limits), entries_(entries), clock_(clock) {}

bool MultiMyographPaneLogic::Start() {
  if (!device_.IsConnected()) return false;
  active_ = true;
  auto states = std::make_shared<std::optional<Multi::DigitalStates>>();
  runner_.Run(
      [this, states] {
        Multi::DigitalStates s{};
        if (device_.GetDigitalStates(s)) *states = s;
      },
      [this, states] {
        if (*states) {
          // The samples carry the flow flag as the second state; so does this.
          heaterOn_ = (**states)[0];
          flowOn_ = (**states)[1];
          pressureOn_ = (**states)[3];
        }
        Changed();
      });
  Changed();
  return true;
}

bool MultiMyographPaneLogic::AcceptSample() { return !skipNextSample_.exchange(false); }

void MultiMyographPaneLogic::ShowSample(const PMK4xData3& sample) {
  if (active_) {
    if (clock_ != nullptr) {
      clock_->SetDeviceClockAvailable(sample.digital5 == 1);
      if (sample.digital5 == 1) ReadClock();
    }
    flowOn_ = sample.flowValid != 0;
  }
  const bool show = active_ && !skipNextSample_.load();
  const auto text = [show](float value, int decimals) { return show ? Fixed(value, decimals) : QString(); };
  if (show) {
    targetTemperature_ = sample.temperatureTarget;
    targetP1_ = sample.targetP1;
    targetP2_ = sample.targetP2;
    gradient_ = sample.gradient;
    if (variant_.HasHeater()) heaterOn_ = sample.switch1 != 0;
  }
  if (variant_.Pulsation()) {
    dutyRate_ = sample.dutyRate;
    pulseRate_ = sample.pulseRate;
    if (entries_.dutyRate != nullptr && !entries_.dutyRate->Editing())
      entries_.dutyRate->SetText(QString::number(static_cast<int>(dutyRate_)));
    if (entries_.pulseRate != nullptr && !entries_.pulseRate->Editing())
      entries_.pulseRate->SetText(QString::number(StoredPulseRate()));
  }
  pulsationRunning_ = sample.digital8 != 0;
  pressureOn_ = sample.switch4 != 0;

  const auto write = [](TargetEntry* entry, const QString& value) {
    if (entry != nullptr && !entry->Editing()) entry->SetText(value);
  };
  if (variant_.HasHeater()) {
    readings_.temperature = text(sample.temperature, 1);
    write(entries_.temperature, text(sample.temperatureTarget, 1));
  }
  if (variant_.HasForce()) readings_.force = text(sample.force, 1);
  readings_.p1 = text(sample.p1, 1);
  write(entries_.p1, text(sample.targetP1, 1));
  if (variant_.HasP2()) {
    readings_.p2 = text(sample.p2, 1);
    write(entries_.p2, text(sample.targetP2, 1));
  }
  write(entries_.gradient, text(sample.gradient, 1));
  readings_.pH = text(sample.pH, 2);
  skipNextSample_ = false;
  Changed();
}

void MultiMyographPaneLogic::ReadClock() {
  // One reading at a time: the samples come faster than the unit answers.
  if (clockPending_) return;
  clockPending_ = true;
  auto bytes = std::make_shared<std::optional<Multi::StatusBytes>>();
  runner_.Run(
      [this, bytes] {
        Multi::StatusBytes b{};
        if (device_.GetStatusBytes(b)) *bytes = b;
      },
      [this, bytes] {
        clockPending_ = false;
        if (*bytes && clock_ != nullptr) clock_->SetDeviceClock((**bytes)[0], (**bytes)[1], (**bytes)[2]);
      });
}

void MultiMyographPaneLogic::SetActive(bool on) {
  active_ = on;
  Changed();
}

bool MultiMyographPaneLogic::Ready() const { return active_ && device_.IsConnected(); }

void MultiMyographPaneLogic::SwitchOutput(Output output, bool on) {
  if (!Ready()) return;
  skipNextSample_ = true;
  const std::uint8_t value = on ? 1 : 0;
  const std::uint8_t heater = output == Output::Heater ? value : kSame;
  const std::uint8_t flow = output == Output::Flow ? value : kSame;
  const std::uint8_t pressure = output == Output::Pressure ? value : kSame;
  auto accepted = std::make_shared<bool>(false);
  runner_.Run(
      [this, heater, flow, pressure, accepted] { *accepted = device_.SetDigitalOutputs(heater, flow, pressure, 0); },
      [this, output, on, accepted] {
        skipNextSample_ = true;
        if (*accepted) {
          // Switching the heater on shows with the next sample.
          if (output == Output::Heater && !on) heaterOn_ = false;
          if (output == Output::Pressure) pressureOn_ = on;
          if (output == Output::Flow) flowOn_ = on;
        }
        Changed();
      });
}

void MultiMyographPaneLogic::HeaterOn() {
  if (variant_.HasHeater()) SwitchOutput(Output::Heater, true);
}
void MultiMyographPaneLogic::HeaterOff() {
  if (variant_.HasHeater()) SwitchOutput(Output::Heater, false);
}
void MultiMyographPaneLogic::PressureOn() { SwitchOutput(Output::Pressure, true); }
void MultiMyographPaneLogic::PressureOff() { SwitchOutput(Output::Pressure, false); }
void MultiMyographPaneLogic::FlowOn() {
  if (variant_.HasFlow()) SwitchOutput(Output::Flow, true);
}
void MultiMyographPaneLogic::FlowOff() {
  if (variant_.HasFlow()) SwitchOutput(Output::Flow, false);
}

void MultiMyographPaneLogic::ZeroForce() {
  if (!variant_.HasForce() || !Ready()) return;
  skipNextSample_ = true;
  runner_.Run([this] { device_.SetDigitalOutputs(kSame, kSame, kSame, 1); },
              [this] {
                skipNextSample_ = true;
                Changed();
              });
}

MultiMyographPaneLogic::Messages MultiMyographPaneLogic::ChangeTemperature() {
  TargetEntry* entry = entries_.temperature;
  if (!variant_.HasHeater() || entry == nullptr || !Ready()) return {};
  const std::optional<double> value = ReadNumber(entry->Text());
  entry->EndEditing();
  if (!value || *value < limits_.minimumTemperature || *value > limits_.maximumTemperature)
    return {Message::TemperatureRange};
  const float target = static_cast<float>(*value);
  entry->SetText(Fixed(target, 1));
  skipNextSample_ = true;
  auto accepted = std::make_shared<bool>(false);
  runner_.Run([this, target, accepted] { *accepted = device_.SetTemperatures(target, Multi::kKeep, Multi::kKeep); },
              [this, entry, accepted] {
                // Not taken: show what the unit still holds.
                if (!*accepted && !entry->Editing()) entry->SetText(Fixed(targetTemperature_, 1));
                skipNextSample_ = true;
                Changed();
              });
  return {};
}

MultiMyographPaneLogic::Messages MultiMyographPaneLogic::ChangePressures() {
  if (entries_.p1 == nullptr || !Ready()) return {};
  TargetEntry& p1Entry = *entries_.p1;
  TargetEntry* p2Entry = variant_.HasP2() ? entries_.p2 : nullptr;
  TargetEntry* gradientEntry = entries_.gradient;
  const std::optional<double> p1 = EntryValue(p1Entry, targetP1_);
  const std::optional<double> p2 =
      p2Entry != nullptr ? EntryValue(*p2Entry, targetP2_) : std::optional<double>(limits_.minimumPressure);
  const auto inRange = [this](const std::optional<double>& p) {
    return p && *p >= limits_.minimumPressure && *p <= limits_.maximumPressure;
  };
  if (!inRange(p1) || !inRange(p2)) return {Message::PressureRange};
  if (*p2 > *p1) return {Message::P2AboveP1};

  const bool send1 = p1Entry.Editing();
  const bool send2 = p2Entry != nullptr && p2Entry->Editing();
  const bool sendGradient = gradientEntry != nullptr && gradientEntry->Editing();
  // Nothing typed: the unit keeps what it has.
  if (!send1 && !send2 && !sendGradient) return {};
  Messages messages;
  float gradient = Multi::kKeep;
  if (sendGradient) {
    const std::optional<double> g = ReadNumber(gradientEntry->Text());
    if (g && *g >= kMinimumGradient && *g <= kMaximumGradient)
      gradient = static_cast<float>(*g);
    else
      messages.push_back(Message::GradientRange);
    gradientEntry->EndEditing();
  }
  const float sent1 = send1 ? static_cast<float>(*p1) : Multi::kKeep;
  const float sent2 = send2 ? static_cast<float>(*p2) : Multi::kKeep;
  if (send1) p1Entry.EndEditing();
  if (send2) p2Entry->EndEditing();
  const std::uint16_t pulse = StoredPulseRate();
  const std::uint8_t duty = dutyRate_;
  const std::uint8_t running = pulsationRunning_ ? 1 : 0;
  skipNextSample_ = true;
  runner_.Run([this, sent1, sent2, gradient, pulse, duty,
               running] { device_.SetPressures(sent1, sent2, gradient, pulse, duty, running); },
              [this] {
                skipNextSample_ = true;
                Changed();
              });
  return messages;
}

MultiMyographPaneLogic::Messages MultiMyographPaneLogic::ChangePulsation() {
  if (!variant_.Pulsation() || !Ready()) return {};
  Messages messages;
  bool any = false;
  std::uint8_t duty = dutyRate_;
  std::uint16_t pulse = StoredPulseRate();
  if (TargetEntry* entry = entries_.dutyRate; entry != nullptr && entry->Editing()) {
    const std::optional<long long> v = ReadInteger(*entry);
    if (v && *v >= kMinimumDuty && *v <= kMaximumDuty) {
      duty = static_cast<std::uint8_t>(*v);
      any = true;
    } else {
      messages.push_back(Message::DutyRange);
    }
  }
  if (TargetEntry* entry = entries_.pulseRate; entry != nullptr && entry->Editing()) {
    const std::optional<long long> v = ReadInteger(*entry);
    if (v && *v >= kMinimumPulse && *v <= kMaximumPulse) {
      pulse = static_cast<std::uint16_t>(*v);
      any = true;
    } else {
      messages.push_back(Message::PulseRange);
    }
  }
  if (!any) return messages;
  const std::uint8_t running = pulsationRunning_ ? 1 : 0;
  skipNextSample_ = true;
  auto accepted = std::make_shared<bool>(false);
  runner_.Run(
      [this, pulse, duty, running, accepted] {
        *accepted = device_.SetPressures(Multi::kKeep, Multi::kKeep, Multi::kKeep, pulse, duty, running);
      },
      [this, pulse, duty, accepted] {
        if (*accepted) {
          pulseRate_ = pulse;
          dutyRate_ = duty;
          for (TargetEntry* entry : {entries_.pulseRate, entries_.dutyRate})
            if (entry != nullptr) entry->EndEditing();
          skipNextSample_ = true;
        }
        Changed();
      });
  return messages;
}

void MultiMyographPaneLogic::SwitchPulsation(bool on) {
  if (!variant_.Pulsation() || !Ready() || pulsationRunning_ == on) return;
  pulsationRunning_ = on;
  const std::uint16_t pulse = StoredPulseRate();
  const std::uint8_t duty = dutyRate_;
  auto accepted = std::make_shared<bool>(false);
  runner_.Run(
      [this, pulse, duty, on, accepted] {
        *accepted = device_.SetPressures(Multi::kKeep, Multi::kKeep, Multi::kKeep, pulse, duty, on ? 1 : 0);
      },
      [this, accepted] {
        if (*accepted) skipNextSample_ = true;
        Changed();
      });
  Changed();
}

MultiMyographPaneLogic::Messages MultiMyographPaneLogic::EnterKey() {
  Messages messages;
  if (entries_.temperature != nullptr && entries_.temperature->Editing()) messages = ChangeTemperature();
  for (Message m : ChangePressures()) messages.push_back(m);
  return messages;
}

std::uint16_t MultiMyographPaneLogic::StoredPulseRate() const {
  const double rounded = std::floor(static_cast<double>(pulseRate_) + 0.5);
  if (!(rounded > 0)) return 0;
  return rounded >= std::numeric_limits<std::uint16_t>::max() ? std::numeric_limits<std::uint16_t>::max()
                                                              : static_cast<std::uint16_t>(rounded);
}

bool MultiMyographPaneLogic::Enabled(int control) const {
  const auto editing = [](const TargetEntry* entry) { return entry != nullptr && entry->Editing(); };
  switch (control) {
    case kHeaterOn:
      return active_ && !heaterOn_;
    case kHeaterOff:
      return active_ && heaterOn_;
    case kPressureOn:
      return active_ && !pressureOn_;
    case kPressureOff:
      return active_ && pressureOn_;
    case kFlowOn:
      return variant_.HasFlow() && active_ && pressureOn_ && !flowOn_;
    case kFlowOff:
      return variant_.HasFlow() && active_ && pressureOn_ && flowOn_;
    case kZeroForce:
      return active_;
    case kChangeTemperature:
      return active_ && editing(entries_.temperature);
    case kChangePressures:
      return active_ &&
             (editing(entries_.p1) || editing(entries_.gradient) || (variant_.HasP2() && editing(entries_.p2)));
    case kChangePulsation:
      return variant_.Pulsation() && (editing(entries_.pulseRate) || editing(entries_.dutyRate));
    case kPulsationOn:
      return variant_.Pulsation() && !pulsationRunning_;
    case kPulsationOff:
      return variant_.Pulsation() && pulsationRunning_;
    default:
      return true;
  }
}

}  // namespace ORV
