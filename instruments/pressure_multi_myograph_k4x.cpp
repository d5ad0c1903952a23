#include "instruments/pressure_multi_myograph_k4x.h"

#include <algorithm>
#include <mutex>

#include "core/base/event_log.h"
#include "platform/os/byte_order.h"

namespace ORV {

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

constexpr std::uint8_t kReportId = 1;
constexpr std::uint8_t kRequestMarker = 0x60;
// The wait between a set request and reading its answer.
constexpr std::uint32_t kSetAnswerWaitMs = 20;
// The wait after opening, before the first request.
constexpr std::uint32_t kSettleWaitMs = 1000;
// At most this many queued reports are discarded before a request (the
// kernel queues 64 per reader), so a unit that never stops sending cannot
// hold a request up.
constexpr int kDiscardLimit = 64;

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
    : Device(kDeviceMultiInterface), transport_(transport) {}

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
  if (unit_.internalFlowCapable) {
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
    NoteSettingSent();
    Wait(kSetAnswerWaitMs);
    return DecodeReply(kAnyDecodedCode);
  }
  return DecodeReply(MultiAnswers::kReplyBase + command);
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

  const std::uint16_t code = MultiAnswers::ReplyCode(in_);
  lastReplyCode_ = code;
  if (expected != kAnyDecodedCode && code != expected) return false;
  return MultiAnswers::Decode(in_, reports64_, unit_);
}

// ---- getters ----

bool PressureMultiMyographK4x::GetForce(float& force, float& force2) {
  Guard g(Lock());
  if (!Request(kGetForce, {}, RequestLog::Full)) return false;
  force = unit_.force;
  force2 = unit_.force2;
  return true;
}

bool PressureMultiMyographK4x::GetFastBlock(FastBlock& block) {
  Guard g(Lock());
  if (!Request(kGetFastBlock, {}, RequestLog::Full)) return false;
  block.p1 = unit_.p1;
  block.p2 = unit_.p2;
  block.pH = unit_.pH;
  block.flow = unit_.flow;
  block.temperature1 = unit_.temperatures[0];
  block.force = unit_.force;
  block.extendedPresent = unit_.extendedPresent;
  if (unit_.modelCode == kModelFast && unit_.extendedPresent) block.extended = unit_.extended;
  return true;
}

bool PressureMultiMyographK4x::GetSlowBlock(SlowBlock& block) {
  Guard g(Lock());
  if (!Request(kGetSlowBlock, {}, RequestLog::Full)) return false;
  block.targetP1 = unit_.targetP1;
  block.targetP2 = unit_.targetP2;
  block.gradient = unit_.gradient;
  block.temperature4 = unit_.temperatures[3];
  block.pulseRate = static_cast<float>(unit_.pulseRate);
  block.dutyRate = unit_.dutyRate;
  block.states = unit_.digital;
  return true;
}

bool PressureMultiMyographK4x::GetPressures(float& p1, float& p2, float& p3, float& gradient) {
  Guard g(Lock());
  if (!Request(kGetPressures, {}, RequestLog::Full)) return false;
  p1 = unit_.p1;
  p2 = unit_.p2;
  p3 = unit_.p3;
  gradient = unit_.gradient;
  return true;
}

bool PressureMultiMyographK4x::GetTargets(float& targetP1, float& targetP2, float& p3, float& gradient) {
  Guard g(Lock());
  if (!Request(kGetTargets, {}, RequestLog::Full)) return false;
  targetP1 = unit_.targetP1;
  targetP2 = unit_.targetP2;
  p3 = unit_.p3;
  gradient = unit_.gradient;
  return true;
}

bool PressureMultiMyographK4x::GetPhAndFlow(float& pH, float& flow) {
  Guard g(Lock());
  if (!Request(kGetPhAndFlow, {}, RequestLog::Full)) return false;
  pH = unit_.pH;
  flow = unit_.flow;
  return true;
}

bool PressureMultiMyographK4x::GetInfoBlock(InfoBlock& info) {
  Guard g(Lock());
  if (!Request(kGetInfoBlock, {}, RequestLog::Full)) return false;
  info = unit_.info;
  return true;
}

bool PressureMultiMyographK4x::GetStatusBytes(StatusBytes& bytes) {
  Guard g(Lock());
  if (!Request(kGetStatusBytes, {}, RequestLog::Full)) return false;
  bytes = unit_.status;
  return true;
}

bool PressureMultiMyographK4x::GetConstantFlow(ConstantFlow& settings) {
  Guard g(Lock());
  if (!Request(kGetConstantFlow, {}, RequestLog::Full)) return false;
  settings = unit_.constantFlow;
  return true;
}

bool PressureMultiMyographK4x::GetDigitalStates(DigitalStates& states) {
  Guard g(Lock());
  if (!Request(kGetDigitalStates, {}, RequestLog::Full)) return false;
  std::copy_n(unit_.digital.begin(), states.size(), states.begin());
  return true;
}

bool PressureMultiMyographK4x::GetTemperatures(Temperatures& temperatures) {
  Guard g(Lock());
  if (!Request(kGetTemperatures, {}, RequestLog::Full)) return false;
  temperatures = unit_.temperatures;
  return true;
}

// ---- set requests ----

bool PressureMultiMyographK4x::SetPressures(float p1, float p2, float gradient, std::uint16_t pulseRate,
                                            std::uint8_t dutyRate, std::uint8_t pulsation) {
  Guard g(Lock());
  if (p1 == kKeep) p1 = unit_.targetP1;
  if (p2 == kKeep) p2 = unit_.targetP2;
  if (unit_.gradient < 1.0f) unit_.gradient = 1.0f;
  if (gradient == kKeep) gradient = unit_.gradient;
  Arguments args;
  args.F32(p1);
  args.F32(p2);
  args.F32(gradient);
  if (reports64_) {
    args.U16(pulseRate == 0 ? unit_.pulseRate : pulseRate);
    args.U8(dutyRate == 0 ? unit_.dutyRate : dutyRate);
    args.U8(pulsation);
  }
  return Request(kSetPressures, args.Bytes(), RequestLog::SentOnly);
}

bool PressureMultiMyographK4x::SetTemperatures(float heater, float second, float third) {
  Guard g(Lock());
  const float values[3] = {heater == kKeep ? unit_.temperatures[0] : heater,
                           second == kKeep ? unit_.temperatures[4] : second,
                           third == kKeep ? unit_.temperatures[5] : third};
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
  unit_.constantFlow = settings;
  return true;
}

// ---- what the device has learnt ----

bool PressureMultiMyographK4x::Has64ByteReports() const {
  Guard g(Lock());
  return reports64_;
}
std::uint32_t PressureMultiMyographK4x::ModelCode() const {
  Guard g(Lock());
  return unit_.modelCode;
}
std::uint8_t PressureMultiMyographK4x::FirmwareMajor() const {
  Guard g(Lock());
  return unit_.firmwareMajor;
}
std::uint8_t PressureMultiMyographK4x::FirmwareMinor() const {
  Guard g(Lock());
  return unit_.firmwareMinor;
}
std::string PressureMultiMyographK4x::FirmwareText() const {
  Guard g(Lock());
  return unit_.firmwareText;
}
bool PressureMultiMyographK4x::InternalFlowCapable() const {
  Guard g(Lock());
  return unit_.internalFlowCapable;
}
bool PressureMultiMyographK4x::DigitalState(int state) const {
  Guard g(Lock());
  return state >= 1 && state <= 8 && unit_.digital[static_cast<std::size_t>(state - 1)];
}
std::uint16_t PressureMultiMyographK4x::PulseRate() const {
  Guard g(Lock());
  return unit_.pulseRate;
}
std::uint8_t PressureMultiMyographK4x::DutyRate() const {
  Guard g(Lock());
  return unit_.dutyRate;
}
std::uint16_t PressureMultiMyographK4x::PingValue() const {
  Guard g(Lock());
  return unit_.pingValue;
}
PressureMultiMyographK4x::ConstantFlow PressureMultiMyographK4x::StoredConstantFlow() const {
  Guard g(Lock());
  return unit_.constantFlow;
}
std::uint32_t PressureMultiMyographK4x::LastReplyCode() const {
  Guard g(Lock());
  return lastReplyCode_;
}

}  // namespace ORV
