#include "platform/sim/multi_interface_unit.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>

#include "platform/os/byte_order.h"

namespace ORV::Sim {

namespace {

constexpr std::uint8_t kMarker = 0x60;

// Big-endian writers for the data of an answer.
class Data {
 public:
  Data& U8(std::uint8_t v) {
    bytes_.push_back(v);
    return *this;
  }
  Data& U16(std::uint16_t v) { return Put(v); }
  Data& U32(std::uint32_t v) { return Put(v); }
  Data& F32(float v) { return Put(v); }
  Data& Zeros(std::size_t n) {
    bytes_.insert(bytes_.end(), n, 0);
    return *this;
  }
  Report Take() { return std::move(bytes_); }

 private:
  template <typename T>
  Data& Put(T v) {
    Bytes::AppendBE<T>(bytes_, v);
    return *this;
  }

  Report bytes_;
};

std::uint16_t GetU16(const Report& r, std::size_t at) { return Bytes::GetBE<std::uint16_t>(r, at); }
std::uint32_t GetU32(const Report& r, std::size_t at) { return Bytes::GetBE<std::uint32_t>(r, at); }
float GetF32(const Report& r, std::size_t at) { return Bytes::GetBE<float>(r, at); }

bool IsSetRequest(std::uint8_t command) {
  return command == 0x09 || command == 0x24 || command == 0x29 || command == 0x31;
}

Report Frame(std::size_t length, std::uint8_t id, std::uint16_t code, const Report& data) {
  Report report(length, 0);
  if (length > 0) report[0] = id;
  if (length > 1) report[1] = static_cast<std::uint8_t>(code >> 8);
  if (length > 2) report[2] = static_cast<std::uint8_t>(code);
  for (std::size_t i = 0; i < data.size() && 3 + i < length; ++i) report[3 + i] = data[i];
  return report;
}

}  // namespace

Report MakeReply(std::size_t length, std::uint16_t code, std::initializer_list<std::uint8_t> data) {
  return Frame(length, 1, code, Report(data));
}

MultiInterfaceUnit::MultiInterfaceUnit(std::size_t reportLength)
    : inputLength_(reportLength), outputLength_(reportLength) {}

MultiInterfaceUnit::~MultiInterfaceUnit() = default;

MultiInterfaceUnit::State MultiInterfaceUnit::GetState() const {
  std::lock_guard<std::mutex> g(mutex_);
  return state_;
}

void MultiInterfaceUnit::SetState(const State& state) {
  std::lock_guard<std::mutex> g(mutex_);
  state_ = state;
}

void MultiInterfaceUnit::Update(const std::function<void(State&)>& change) {
  std::lock_guard<std::mutex> g(mutex_);
  change(state_);
}

void MultiInterfaceUnit::SetReportLengths(std::size_t input, std::size_t output) {
  std::lock_guard<std::mutex> g(mutex_);
  inputLength_ = input;
  outputLength_ = output;
}

std::size_t MultiInterfaceUnit::InputLength() const {
  std::lock_guard<std::mutex> g(mutex_);
  return inputLength_;
}

std::size_t MultiInterfaceUnit::OutputLength() const {
  std::lock_guard<std::mutex> g(mutex_);
  return outputLength_;
}

void MultiInterfaceUnit::SetDescriptorReadable(bool readable) {
  std::lock_guard<std::mutex> g(mutex_);
  descriptorReadable_ = readable;
}

bool MultiInterfaceUnit::DescriptorReadable() const {
  std::lock_guard<std::mutex> g(mutex_);
  return descriptorReadable_;
}

void MultiInterfaceUnit::SetReplyCode(std::uint8_t command, std::uint16_t code) {
  std::lock_guard<std::mutex> g(mutex_);
  replyCodes_[command] = code;
}

void MultiInterfaceUnit::SetAcknowledgeCode(std::uint16_t code) {
  std::lock_guard<std::mutex> g(mutex_);
  acknowledgeCode_ = code;
}

void MultiInterfaceUnit::SetSilent(std::uint8_t command, bool silent) {
  std::lock_guard<std::mutex> g(mutex_);
  silent_[command] = silent;
}

void MultiInterfaceUnit::SetAnswerLength(std::uint8_t command, std::size_t bytes) {
  std::lock_guard<std::mutex> g(mutex_);
  answerLengths_[command] = bytes;
}

void MultiInterfaceUnit::SetWritesFail(bool fail) {
  std::lock_guard<std::mutex> g(mutex_);
  writesFail_ = fail;
}

void MultiInterfaceUnit::SetReadsFail(bool fail) {
  {
    std::lock_guard<std::mutex> g(mutex_);
    readsFail_ = fail;
  }
  queued_.notify_all();
}

void MultiInterfaceUnit::Unplug() {
  {
    std::lock_guard<std::mutex> g(mutex_);
    unplugged_ = true;
  }
  queued_.notify_all();
}

void MultiInterfaceUnit::StartClock(int hours, int minutes, int seconds) {
  std::lock_guard<std::mutex> g(mutex_);
  state_.digital[4] = 1;
  clockRunning_ = true;
  constexpr int kDay = 24 * 3600;
  clockStartSeconds_ = (((hours * 60 + minutes) * 60 + seconds) % kDay + kDay) % kDay;
  clockStartedAt_ = std::chrono::steady_clock::now();
}

void MultiInterfaceUnit::Replug() {
  std::lock_guard<std::mutex> g(mutex_);
  unplugged_ = false;
  input_.clear();
}

void MultiInterfaceUnit::SetAllSilent(bool silent) {
  std::lock_guard<std::mutex> g(mutex_);
  allSilent_ = silent;
}

void MultiInterfaceUnit::SetAllGarbage(bool garbage) {
  std::lock_guard<std::mutex> g(mutex_);
  allGarbage_ = garbage;
}

void MultiInterfaceUnit::InjectReport(const Report& report) {
  {
    std::lock_guard<std::mutex> g(mutex_);
    input_.push_back(report);
  }
  queued_.notify_all();
}

void MultiInterfaceUnit::InjectAnswer(std::uint8_t command) {
  {
    std::lock_guard<std::mutex> g(mutex_);
    input_.push_back(
        Frame(inputLength_, state_.reportId, static_cast<std::uint16_t>(0x6000 + command), AnswerData(command)));
  }
  queued_.notify_all();
}

std::size_t MultiInterfaceUnit::QueuedReports() const {
  std::lock_guard<std::mutex> g(mutex_);
  return input_.size();
}

std::vector<Report> MultiInterfaceUnit::Received() const {
  std::lock_guard<std::mutex> g(mutex_);
  return received_;
}

std::vector<std::uint8_t> MultiInterfaceUnit::ReceivedCommands() const {
  std::lock_guard<std::mutex> g(mutex_);
  std::vector<std::uint8_t> commands;
  for (const Report& r : received_)
    if (r.size() > 2) commands.push_back(r[2]);
  return commands;
}

void MultiInterfaceUnit::ClearReceived() {
  std::lock_guard<std::mutex> g(mutex_);
  received_.clear();
}

void MultiInterfaceUnit::KeepReceived(bool keep) {
  std::lock_guard<std::mutex> g(mutex_);
  keepReceived_ = keep;
}

bool MultiInterfaceUnit::Write(const std::uint8_t* data, std::size_t size, int& error) {
  {
    std::lock_guard<std::mutex> g(mutex_);
    if (unplugged_) {
      error = ENODEV;
      return false;
    }
    if (writesFail_) {
      error = EIO;
      return false;
    }
    // A HID device takes output reports of exactly its length.
    if (size != outputLength_) {
      error = EINVAL;
      return false;
    }
    const Report request(data, data + size);
    if (keepReceived_) received_.push_back(request);
    Report answer = Answer(request);
    if (answer.empty()) return true;
    input_.push_back(std::move(answer));
  }
  queued_.notify_all();
  return true;
}

int MultiInterfaceUnit::Read(Report& report, int waitMs, int& error) {
  std::unique_lock<std::mutex> lock(mutex_);
  queued_.wait_for(lock, std::chrono::milliseconds(std::max(waitMs, 0)),
                   [this] { return unplugged_ || readsFail_ || !input_.empty(); });
  if (unplugged_ || readsFail_) {
    error = unplugged_ ? ENODEV : EIO;
    return -1;
  }
  if (input_.empty()) return 0;
  report = std::move(input_.front());
  input_.pop_front();
  return 1;
}

Report MultiInterfaceUnit::Answer(const Report& request) {
  if (request.size() < 3 || request[0] != 1 || request[1] != kMarker) return {};
  const std::uint8_t command = request[2];
  if (silent_[command] || allSilent_) return {};
  if (allGarbage_) {
    // A code below the answers' range and bytes that mean nothing.
    Report junk(inputLength_, 0xA5);
    junk[0] = state_.reportId;
    return junk;
  }
  const bool set = IsSetRequest(command);
  const std::shared_ptr<Preparation> preparation = Linked();
  if (preparation) Measure(*preparation);
  if (set) Apply(request);
  if (set && preparation) Command(*preparation, request);
  Report data = set ? Report{} : AnswerData(command);
  if (!set && data.empty()) return {};  // not a request the unit knows

  std::uint16_t code = set ? acknowledgeCode_ : static_cast<std::uint16_t>(0x6000 + command);
  if (auto it = replyCodes_.find(command); it != replyCodes_.end()) code = it->second;
  std::size_t length = inputLength_;
  if (auto it = answerLengths_.find(command); it != answerLengths_.end()) length = std::min(length, it->second);
  return Frame(length, state_.reportId, code, data);
}

Report MultiInterfaceUnit::AnswerData(std::uint8_t command) const {
  const State& s = state_;
  Data d;
  switch (command) {
    case 0x00:
      d.F32(s.force).F32(s.force2).U16(s.pulseRate).U8(s.dutyRate).U8(s.digital[7]);
      break;
    case 0x02:
      d.U16(s.pingValue);
      break;
    case 0x04:
      d.F32(s.p1).F32(s.p2).F32(s.pH).U16(static_cast<std::uint16_t>(s.flow)).U16(s.temperatures[0]).F32(s.force);
      for (std::uint32_t v : s.extended) d.U32(v);
      d.U8(s.extendedAbsent);
      break;
    case 0x06:
      d.F32(s.targetP1).F32(s.targetP2).F32(s.gradient).U16(s.temperatures[3]).Zeros(4);
      for (int k = 0; k < 5; ++k) d.U8(s.digital[k]);
      d.Zeros(5).U8(s.digital[6]).U16(s.pulseRate).U8(s.dutyRate).U8(s.digital[7]);
      break;
    case 0x08:
      d.F32(s.p1).F32(s.p2).F32(s.p3).F32(s.gradient);
      break;
    case 0x0A:
      d.F32(s.targetP1).F32(s.targetP2).F32(s.p3).F32(s.gradient);
      break;
    case 0x10:
      d.F32(s.pH).Zeros(4).U16(static_cast<std::uint16_t>(s.flow));
      break;
    case 0x12:
      d.U32(s.info1).U16(s.info2).U32(s.info3).U16(s.info4).U16(s.info5);
      break;
    case 0x20:
      if (clockRunning_) {
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - clockStartedAt_);
        const long long day = 24 * 3600;
        const auto now = static_cast<int>((clockStartSeconds_ + elapsed.count()) % day);
        d.U8(static_cast<std::uint8_t>(now / 3600)).U8(static_cast<std::uint8_t>(now / 60 % 60));
        d.U8(static_cast<std::uint8_t>(now % 60));
      } else {
        d.U8(s.status[0]).U8(s.status[1]).U8(s.status[2]);
      }
      break;
    case 0x25:
      d.U16(s.constantFlowValue).U8(s.constantFlowFirst).U8(s.constantFlowSecond).U32(s.constantFlowWord);
      break;
    case 0x28:
      for (int k = 0; k < 5; ++k) d.U8(s.digital[k]);
      d.Zeros(5).U8(s.digital[6]).Zeros(2).U8(s.firmwareHigh).U8(s.firmwareLow).U8(s.modelByte);
      break;
    case 0x30:
      for (std::uint16_t t : s.temperatures) d.U16(t);
      break;
    default:
      break;
  }
  return d.Take();
}

void MultiInterfaceUnit::Measure(Preparation& preparation) {
  const PreparationReading r = preparation.Read();
  const PreparationControls c = preparation.Controls();
  State& s = state_;
  s.p1 = static_cast<float>(r.p1);
  s.p2 = static_cast<float>(r.p2);
  s.pH = static_cast<float>(r.pH);
  s.force = static_cast<float>(r.force);
  s.flow = ToCount(r.flow);
  s.temperatures[0] = static_cast<std::uint16_t>(std::clamp(std::lround(r.temperature * 100.0), 0l, 65535l));
  s.temperatures[3] = static_cast<std::uint16_t>(std::clamp(std::lround(c.heaterTarget * 100.0), 0l, 65535l));
  s.targetP1 = static_cast<float>(c.targetP1);
  s.targetP2 = static_cast<float>(c.targetP2);
  s.gradient = static_cast<float>(c.gradient);
  s.digital[0] = c.heaterOn ? 1 : 0;
  s.digital[3] = c.pressureOn ? 1 : 0;
  s.digital[7] = c.pulsationOn ? 1 : 0;
  s.pulseRate = static_cast<std::uint16_t>(std::clamp(std::lround(c.pulseRate), 0l, 65535l));
  s.dutyRate = static_cast<std::uint8_t>(std::clamp(std::lround(c.dutyRate), 0l, 255l));
}

void MultiInterfaceUnit::Command(Preparation& preparation, const Report& request) {
  const State& s = state_;
  switch (request[2]) {
    case 0x09:
      preparation.SetPressureTargets(s.targetP1, s.targetP2, s.gradient);
      preparation.SetPulsation(s.digital[7] != 0, s.pulseRate, s.dutyRate);
      break;
    case 0x29:
      preparation.SetHeaterOn(s.digital[0] != 0);
      preparation.SetPressureOn(s.digital[3] != 0);
      if (request.size() >= 11 && request[10] == 1) preparation.ZeroForce();
      break;
    case 0x31:
      preparation.SetHeaterTarget(s.temperatures[3] / 100.0);
      break;
    default:
      break;
  }
}

void MultiInterfaceUnit::Apply(const Report& r) {
  State& s = state_;
  const auto fits = [&r](std::size_t bytes) { return r.size() >= bytes; };
  switch (r[2]) {
    case 0x09:
      if (!fits(15)) return;
      s.targetP1 = GetF32(r, 3);
      s.targetP2 = GetF32(r, 7);
      s.gradient = GetF32(r, 11);
      // Pulsation settings travel only in 64-byte reports.
      if (r.size() >= 64) {
        s.pulseRate = GetU16(r, 15);
        s.dutyRate = r[17];
        s.digital[7] = r[18];
      }
      break;
    case 0x24:
      if (!fits(11)) return;
      s.constantFlowValue = GetU16(r, 3);
      s.constantFlowFirst = r[5];
      s.constantFlowSecond = r[6];
      s.constantFlowWord = GetU32(r, 7);
      break;
    case 0x29:
      if (!fits(11)) return;
      if (r[3] != 0xFF) s.digital[0] = r[3];  // heater
      if (r[4] != 0xFF) s.digital[1] = r[4];  // flow
      if (r[6] != 0xFF) s.digital[3] = r[6];  // pressure
      if (r[10] == 1) s.force = s.force2 = 0.0f;
      break;
    case 0x31:
      if (!fits(9)) return;
      // The first value is the heater's target; the other two are kept.
      s.temperatures[3] = GetU16(r, 3);
      s.temperatures[4] = GetU16(r, 5);
      s.temperatures[5] = GetU16(r, 7);
      break;
    default:
      break;
  }
}

}  // namespace ORV::Sim
