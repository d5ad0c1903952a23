#include "instruments/pressure_multi_myograph_k4x.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <mutex>

#include "core/base/event_log.h"
#include "platform/os/byte_order.h"

namespace ORV {

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

constexpr std::uint8_t kReportId = 1;
constexpr std::uint8_t kRequestMarker = 0x60;
constexpr std::uint32_t kReplyBase = 0x6000;
constexpr std::uint32_t kReplyFourWords = 0x6032;  // four u16
constexpr std::uint32_t kReplyNoData = 0x6035;
// The wait between a set request and reading its answer.
constexpr std::uint32_t kSetAnswerWaitMs = 20;
// The wait after opening, before the first request.
constexpr std::uint32_t kSettleWaitMs = 1000;
// At most this many queued reports are discarded before a request (the
// kernel queues 64 per reader), so a unit that never stops sending cannot
// hold a request up.
constexpr int kDiscardLimit = 64;

// The model codes by the model byte of the digital-state answer.
constexpr std::pair<std::uint8_t, std::uint32_t> kModelCodes[] = {
    {1, 0x20000},  {2, 0x40000},  {3, 0x80000}, {4, 0x100000}, {5, 0x100002}, {6, 0x100001}, {7, 0x80000004u},
    {8, 0x100004}, {9, 0x100008}, {20, 0x200},  {21, 0x400},   {22, 0x800},   {23, 0x1000},
};

bool IsSetRequest(std::uint8_t command) {
  using K = PressureMultiMyographK4x;
  return command == K::kSetPressures || command == K::kSetConstantFlow || command == K::kSetDigitalOutputs ||
         command == K::kSetTemperatures;
}

std::string Hex(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size() * 3);
  for (std::uint8_t b : bytes) {
    text.push_back(kDigits[b >> 4]);
    text.push_back(kDigits[b & 0xF]);
    text.push_back(' ');
  }
  return text;
}

// Big-endian fields of a report.
std::uint16_t U16(const std::vector<std::uint8_t>& r, std::size_t at) { return Bytes::GetBE<std::uint16_t>(r, at); }
std::uint32_t U32(const std::vector<std::uint8_t>& r, std::size_t at) { return Bytes::GetBE<std::uint32_t>(r, at); }
float F32(const std::vector<std::uint8_t>& r, std::size_t at) { return Bytes::GetBE<float>(r, at); }
float Hundredths(const std::vector<std::uint8_t>& r, std::size_t at) { return U16(r, at) / 100.0f; }

// Arguments of a request, from report byte 3 on, big-endian.
class Arguments {
 public:
  void U8(std::uint8_t v) { bytes_[size_++] = v; }
  void U16(std::uint16_t v) { Put(v); }
  void U32(std::uint32_t v) { Put(v); }
  void F32(float v) { Put(v); }
  std::span<const std::uint8_t> Bytes() const { return {bytes_.data(), size_}; }

 private:
  template <typename T>
  void Put(T v) {
    ORV::Bytes::PutBE<T>(bytes_.data() + size_, v);
    size_ += sizeof(T);
  }

  std::array<std::uint8_t, 16> bytes_{};
  std::size_t size_ = 0;
};

// A temperature in hundredths of a degree, as the value times 100 plus 0.5,
// truncated; false when that does not fit the 16-bit field.
bool ToHundredths(float value, std::uint16_t& out) {
  const double scaled = static_cast<double>(value) * 100.0 + 0.5;
  if (!(scaled > -1.0 && scaled < 65536.0)) return false;
  out = static_cast<std::uint16_t>(static_cast<std::int32_t>(scaled));
  return true;
}

}  // namespace

PressureMultiMyographK4x::PressureMultiMyographK4x(OS::HidTransport& transport)
    : Device(kDeviceMultiInterface, ';'), transport_(transport) {}

PressureMultiMyographK4x::~PressureMultiMyographK4x() { Close(); }

// ---- Load and Ping ----

bool PressureMultiMyographK4x::OnLoad(const std::string& path) {
  constexpr const char* kWho = "PressureMultiMyographK4x::Load() - ";
  SetConnected(false);
  if (!Port().IsOpen()) {
    int error = 0;
    std::unique_ptr<OS::HidHandle> handle = transport_.Open(path, error);
    if (!handle) {
      Port().SetLastError(static_cast<std::uint32_t>(error));
      LogErrorFormat("%sUnable to connect to HID device: %s - error: %x\n", kWho, path.c_str(),
                     static_cast<unsigned>(error));
      return false;
    }
    Port().Attach(std::move(handle), true);
  }
  SetPortName(path);
  LogInformationFormat("%sOpened HID device: %s\n", kWho, path.c_str());

  auto* hid = dynamic_cast<OS::HidHandle*>(Port().Handle());
  OS::HidCaps caps;
  if (!hid || !hid->GetCaps(caps)) {
    LogError(std::string(kWho) + "Unable to retrieve preparsed HID data\n");
    return false;
  }
  in_.assign(caps.inputReportLength, 0);
  out_.assign(caps.outputReportLength, 0);
  reports64_ = caps.inputReportLength == 64 && caps.outputReportLength == 64;
  if (!reports64_ && !(caps.inputReportLength == 19 && caps.outputReportLength == 19)) {
    LogError(std::string(kWho) + "HID buffer mismatch..\n");
    return false;
  }

  Wait(kSettleWaitMs);
  SetConnected(true);

  const auto warnUnless = [&](bool ok, const char* what) {
    if (!ok) LogWarning(std::string(kWho) + "Unable to load " + what + " from HID device (new Multi Interface)\n");
  };
  DigitalStates states;
  warnUnless(GetDigitalStates(states), "digital values");
  Temperatures temperatures;
  warnUnless(GetTemperatures(temperatures), "actual temperatures values");
  float a, b, c, d;
  warnUnless(GetPressures(a, b, c, d), "pressure values");
  warnUnless(GetTargets(a, b, c, d), "target pressure values");
  warnUnless(GetPhAndFlow(a, b), "PH value");
  warnUnless(GetForce(a, b), "force");
  if (internalFlowCapable_) {
    ConstantFlow settings;
    warnUnless(GetConstantFlow(settings), "konstant flow value");
  }
  LogInformation(std::string(kWho) + "Loaded all default values from HID device (new Multi Interface)\n");
  return true;
}

bool PressureMultiMyographK4x::OnPing() { return Request(kPing, {}, RequestLog::Full); }

// ---- the request cycle ----

bool PressureMultiMyographK4x::Request(Command command, std::span<const std::uint8_t> arguments, RequestLog log) {
  Guard g(Lock());
  if (!Port().IsOpen()) return false;
  if (command != kPing && !IsConnected()) return false;
  if (out_.size() < 3 + arguments.size()) return false;

  DiscardQueuedInput();
  std::fill(out_.begin(), out_.end(), 0);
  out_[0] = kReportId;
  out_[1] = kRequestMarker;
  out_[2] = command;
  std::copy(arguments.begin(), arguments.end(), out_.begin() + 3);

  const int written = Port().Write(out_.data(), static_cast<std::uint32_t>(out_.size()));
  const bool complete = written >= 0 && static_cast<std::size_t>(written) == out_.size();
  if (log == RequestLog::Full || (log == RequestLog::SentOnly && complete))
    LogReport(complete ? "Data sent: " : "Failed to send data: ", out_);
  if (!complete) return false;

  if (IsSetRequest(command)) {
    Wait(kSetAnswerWaitMs);
    return DecodeReply(kAnyDecodedCode);
  }
  return DecodeReply(kReplyBase + command);
}

void PressureMultiMyographK4x::DiscardQueuedInput() {
  OS::PortHandle* handle = Port().Handle();
  if (!handle || in_.empty()) return;
  for (int i = 0; i < kDiscardLimit; ++i) {
    std::size_t received = 0;
    if (handle->Read(in_.data(), in_.size(), received, nullptr, 0) != OS::IoStatus::Ok || received == 0) return;
    LogReport("Data discarded: ", {in_.data(), received});
  }
}

void PressureMultiMyographK4x::LogReport(std::string_view what, std::span<const std::uint8_t> bytes) {
  if (IsLogging()) WriteLog(std::string(what) + Hex(bytes));
}

bool PressureMultiMyographK4x::DecodeReply(std::uint32_t expected) {
  Guard g(Lock());
  if (!Port().IsOpen() || !IsConnected() || in_.size() < 3) return false;
  std::fill(in_.begin(), in_.end(), 0);
  std::uint32_t received = 0;
  if (Port().Read(in_.data(), static_cast<std::uint32_t>(in_.size()), received) < 0) {
    LogReport("Received failed: ", in_);
    return false;
  }
  if (received < in_.size()) return false;
  LogReport("Data received: ", in_);

  const std::uint32_t code = Bytes::GetBE<std::uint16_t>(in_, 1);
  lastReplyCode_ = code;
  if (expected != kAnyDecodedCode && code != expected) return false;
  return Decode(code);
}

bool PressureMultiMyographK4x::Decode(std::uint32_t code) {
  // The bytes each answer's fields need; a shorter report is not decoded.
  std::size_t needed = 0;
  switch (code) {
    case kReplyBase + kGetForce:
      needed = reports64_ ? 15 : 11;
      break;
    case kReplyBase + kPing:
      needed = 5;
      break;
    case kReplyBase + kGetFastBlock:
      needed = 64;
      break;
    case kReplyBase + kGetSlowBlock:
      needed = 36;
      break;
    case kReplyBase + kGetPressures:
    case kReplyBase + kGetTargets:
      needed = 19;
      break;
    case kReplyBase + kGetPhAndFlow:
      needed = 13;
      break;
    case kReplyBase + kGetInfoBlock:
      needed = 17;
      break;
    case kReplyBase + kGetStatusBytes:
      needed = 6;
      break;
    case kReplyBase + kGetConstantFlow:
      needed = 11;
      break;
    case kReplyBase + kGetDigitalStates:
      needed = 19;
      break;
    case kReplyBase + kGetTemperatures:
      needed = 15;
      break;
    case kReplyFourWords:
      needed = 11;
      break;
    case kReplyNoData:
      needed = 3;
      break;
    default:
      return false;
  }
  if (in_.size() < needed) return false;

  const auto state = [this](std::size_t at) { return in_[at] == 1; };
  switch (code) {
    case kReplyBase + kGetForce:
      force_ = F32(in_, 3);
      force2_ = F32(in_, 7);
      if (reports64_) {
        pulseRate_ = U16(in_, 11);
        dutyRate_ = in_[13];
        digital_[7] = state(14);
      }
      break;
    case kReplyBase + kPing:
      pingValue_ = U16(in_, 3);
      break;
    case kReplyBase + kGetFastBlock:
      p1_ = F32(in_, 3);
      p2_ = F32(in_, 7);
      pH_ = F32(in_, 11);
      flow_ = static_cast<float>(U16(in_, 15));
      temperatures_[0] = Hundredths(in_, 17);
      force_ = F32(in_, 19);
      extendedPresent_ = in_[63] == 0;
      if (extendedPresent_)
        for (std::size_t k = 0; k < kExtendedCount; ++k) extended_[k] = U32(in_, 23 + 4 * k);
      break;
    case kReplyBase + kGetSlowBlock:
      targetP1_ = F32(in_, 3);
      targetP2_ = F32(in_, 7);
      gradient_ = F32(in_, 11);
      temperatures_[3] = Hundredths(in_, 15);
      for (std::size_t k = 0; k < 5; ++k) digital_[k] = state(21 + k);
      digital_[6] = state(31);
      pulseRate_ = U16(in_, 32);
      dutyRate_ = in_[34];
      digital_[7] = state(35);
      break;
    case kReplyBase + kGetPressures:
      p1_ = F32(in_, 3);
      p2_ = F32(in_, 7);
      p3_ = F32(in_, 11);
      gradient_ = F32(in_, 15);
      break;
    case kReplyBase + kGetTargets:
      targetP1_ = F32(in_, 3);
      targetP2_ = F32(in_, 7);
      p3_ = F32(in_, 11);
      gradient_ = F32(in_, 15);
      break;
    case kReplyBase + kGetPhAndFlow: {
      pH_ = F32(in_, 3);
      const auto flow = static_cast<std::int16_t>(U16(in_, 11));
      flow_ = flow > -10 && flow < 10 ? 0.0f : static_cast<float>(flow);
      break;
    }
    case kReplyBase + kGetInfoBlock:
      info_ = {U32(in_, 3), U16(in_, 7), U32(in_, 9), U16(in_, 13), U16(in_, 15)};
      break;
    case kReplyBase + kGetStatusBytes:
      status_ = {in_[3], in_[4], in_[5]};
      break;
    case kReplyBase + kGetConstantFlow:
      constantFlow_ = {U16(in_, 3), in_[5], in_[6], U32(in_, 7)};
      break;
    case kReplyBase + kGetDigitalStates:
      for (std::size_t k = 0; k < 5; ++k) digital_[k] = state(3 + k);
      digital_[6] = state(13);
      LearnFirmware();
      break;
    case kReplyBase + kGetTemperatures:
      for (std::size_t k = 0; k < temperatures_.size(); ++k) temperatures_[k] = Hundredths(in_, 3 + 2 * k);
      break;
    default:
      break;  // kReplyFourWords (four words nothing reads) and kReplyNoData
  }
  return true;
}

void PressureMultiMyographK4x::LearnFirmware() {
  if (firmwareMajor_ != 0 || firmwareMinor_ != 0) return;
  const std::uint8_t hi = in_[16], lo = in_[17];
  if ((hi == 0 && lo == 0) || (hi == 1 && lo == 6)) {
    firmwareMajor_ = 1;
    firmwareMinor_ = 6;
    firmwareText_ = "1.06";
    modelCode_ = 0x20000;
  } else {
    const unsigned version = hi * 256u + lo;
    firmwareMajor_ = static_cast<std::uint8_t>(version / 100);
    firmwareMinor_ = static_cast<std::uint8_t>(version % 100);
    char text[16];
    std::snprintf(text, sizeof text, "%d.%02d", firmwareMajor_, firmwareMinor_);
    firmwareText_ = text;
    internalFlowCapable_ = firmwareMajor_ >= 4 || (firmwareMajor_ == 3 && firmwareMinor_ >= 25);
  }
  if (modelCode_ != 0) return;
  for (const auto& [byte, model] : kModelCodes)
    if (in_[18] == byte) modelCode_ = model;
}

// ---- getters ----

bool PressureMultiMyographK4x::GetForce(float& force, float& force2) {
  Guard g(Lock());
  if (!Request(kGetForce, {}, RequestLog::Full)) return false;
  force = force_;
  force2 = force2_;
  return true;
}

bool PressureMultiMyographK4x::GetFastBlock(FastBlock& block) {
  Guard g(Lock());
  if (!Request(kGetFastBlock, {}, RequestLog::Full)) return false;
  block.p1 = p1_;
  block.p2 = p2_;
  block.pH = pH_;
  block.flow = flow_;
  block.temperature1 = temperatures_[0];
  block.force = force_;
  block.extendedPresent = extendedPresent_;
  if (modelCode_ == kModelFast && extendedPresent_) block.extended = extended_;
  return true;
}

bool PressureMultiMyographK4x::GetSlowBlock(SlowBlock& block) {
  Guard g(Lock());
  if (!Request(kGetSlowBlock, {}, RequestLog::Full)) return false;
  block.targetP1 = targetP1_;
  block.targetP2 = targetP2_;
  block.gradient = gradient_;
  block.temperature4 = temperatures_[3];
  block.pulseRate = static_cast<float>(pulseRate_);
  block.dutyRate = dutyRate_;
  block.states = digital_;
  return true;
}

bool PressureMultiMyographK4x::GetPressures(float& p1, float& p2, float& p3, float& gradient) {
  Guard g(Lock());
  if (!Request(kGetPressures, {}, RequestLog::Full)) return false;
  p1 = p1_;
  p2 = p2_;
  p3 = p3_;
  gradient = gradient_;
  return true;
}

bool PressureMultiMyographK4x::GetTargets(float& targetP1, float& targetP2, float& p3, float& gradient) {
  Guard g(Lock());
  if (!Request(kGetTargets, {}, RequestLog::Full)) return false;
  targetP1 = targetP1_;
  targetP2 = targetP2_;
  p3 = p3_;
  gradient = gradient_;
  return true;
}

bool PressureMultiMyographK4x::GetPhAndFlow(float& pH, float& flow) {
  Guard g(Lock());
  if (!Request(kGetPhAndFlow, {}, RequestLog::Full)) return false;
  pH = pH_;
  flow = flow_;
  return true;
}

bool PressureMultiMyographK4x::GetInfoBlock(InfoBlock& info) {
  Guard g(Lock());
  if (!Request(kGetInfoBlock, {}, RequestLog::Full)) return false;
  info = info_;
  return true;
}

bool PressureMultiMyographK4x::GetStatusBytes(StatusBytes& bytes) {
  Guard g(Lock());
  if (!Request(kGetStatusBytes, {}, RequestLog::Full)) return false;
  bytes = status_;
  return true;
}

bool PressureMultiMyographK4x::GetConstantFlow(ConstantFlow& settings) {
  Guard g(Lock());
  if (!Request(kGetConstantFlow, {}, RequestLog::Full)) return false;
  settings = constantFlow_;
  return true;
}

bool PressureMultiMyographK4x::GetDigitalStates(DigitalStates& states) {
  Guard g(Lock());
  if (!Request(kGetDigitalStates, {}, RequestLog::Full)) return false;
  std::copy_n(digital_.begin(), states.size(), states.begin());
  return true;
}

bool PressureMultiMyographK4x::GetTemperatures(Temperatures& temperatures) {
  Guard g(Lock());
  if (!Request(kGetTemperatures, {}, RequestLog::Full)) return false;
  temperatures = temperatures_;
  return true;
}

// ---- set requests ----

bool PressureMultiMyographK4x::SetPressures(float p1, float p2, float gradient, std::uint16_t pulseRate,
                                            std::uint8_t dutyRate, std::uint8_t pulsation) {
  Guard g(Lock());
  if (p1 == kKeep) p1 = targetP1_;
  if (p2 == kKeep) p2 = targetP2_;
  if (gradient_ < 1.0f) gradient_ = 1.0f;
  if (gradient == kKeep) gradient = gradient_;
  Arguments args;
  args.F32(p1);
  args.F32(p2);
  args.F32(gradient);
  if (reports64_) {
    args.U16(pulseRate == 0 ? pulseRate_ : pulseRate);
    args.U8(dutyRate == 0 ? dutyRate_ : dutyRate);
    args.U8(pulsation);
  }
  return Request(kSetPressures, args.Bytes(), RequestLog::SentOnly);
}

bool PressureMultiMyographK4x::SetTemperatures(float heater, float second, float third) {
  Guard g(Lock());
  const float values[3] = {heater == kKeep ? temperatures_[0] : heater, second == kKeep ? temperatures_[4] : second,
                           third == kKeep ? temperatures_[5] : third};
  Arguments args;
  for (float v : values) {
    std::uint16_t hundredths = 0;
    if (!ToHundredths(v, hundredths)) return false;
    args.U16(hundredths);
  }
  return Request(kSetTemperatures, args.Bytes(), RequestLog::None);
}

bool PressureMultiMyographK4x::SetDigitalOutputs(std::uint8_t heater, std::uint8_t flow, std::uint8_t pressure,
                                                 std::uint8_t zeroForce) {
  Arguments args;
  args.U8(heater);
  args.U8(flow);
  args.U8(0xFF);
  args.U8(pressure);
  args.U8(0xFF);
  args.U8(0);
  args.U8(0);
  args.U8(zeroForce == 1 ? 1 : 0);
  return Request(kSetDigitalOutputs, args.Bytes(), RequestLog::None);
}

bool PressureMultiMyographK4x::SetConstantFlow(const ConstantFlow& settings) {
  Guard g(Lock());
  Arguments args;
  args.U16(settings.value);
  args.U8(settings.first);
  args.U8(settings.second);
  args.U32(settings.word);
  if (!Request(kSetConstantFlow, args.Bytes(), RequestLog::None)) return false;
  constantFlow_ = settings;
  return true;
}

// ---- what the device has learnt ----

bool PressureMultiMyographK4x::Has64ByteReports() const {
  Guard g(Lock());
  return reports64_;
}
std::uint32_t PressureMultiMyographK4x::ModelCode() const {
  Guard g(Lock());
  return modelCode_;
}
std::uint8_t PressureMultiMyographK4x::FirmwareMajor() const {
  Guard g(Lock());
  return firmwareMajor_;
}
std::uint8_t PressureMultiMyographK4x::FirmwareMinor() const {
  Guard g(Lock());
  return firmwareMinor_;
}
std::string PressureMultiMyographK4x::FirmwareText() const {
  Guard g(Lock());
  return firmwareText_;
}
bool PressureMultiMyographK4x::InternalFlowCapable() const {
  Guard g(Lock());
  return internalFlowCapable_;
}
bool PressureMultiMyographK4x::DigitalState(int state) const {
  Guard g(Lock());
  return state >= 1 && state <= 8 && digital_[static_cast<std::size_t>(state - 1)];
}
std::uint16_t PressureMultiMyographK4x::PulseRate() const {
  Guard g(Lock());
  return pulseRate_;
}
std::uint8_t PressureMultiMyographK4x::DutyRate() const {
  Guard g(Lock());
  return dutyRate_;
}
std::uint16_t PressureMultiMyographK4x::PingValue() const {
  Guard g(Lock());
  return pingValue_;
}
PressureMultiMyographK4x::ConstantFlow PressureMultiMyographK4x::StoredConstantFlow() const {
  Guard g(Lock());
  return constantFlow_;
}
std::uint32_t PressureMultiMyographK4x::LastReplyCode() const {
  Guard g(Lock());
  return lastReplyCode_;
}

}  // namespace ORV
