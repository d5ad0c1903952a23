// The multi interface's answers are untrusted: a unit (or anything that
// claims to be one) may send any report. The input is one byte choosing
// 64-byte or 19-byte reports, then the reports it sends: before each request one byte says
// whether a report is already queued, then each answer takes the report
// length (the last one may come short).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "instruments/pressure_multi_myograph_k4x.h"

namespace {

using namespace ORV;

class ScriptedHandle final : public OS::HidHandle {
 public:
  ScriptedHandle(std::span<const std::uint8_t> script, OS::HidCaps caps) : script_(script), caps_(caps) {}

  OS::IoStatus Read(std::uint8_t* buffer, std::size_t size, std::size_t& received, const OS::StopEvent*,
                    int waitLimitMs) override {
    received = 0;
    if (waitLimitMs == 0) {  // only what is queued already
      if (script_.empty()) return OS::IoStatus::Ok;
      const bool queued = script_[0] & 1;
      script_ = script_.subspan(1);
      if (!queued) return OS::IoStatus::Ok;
    }
    const std::size_t n = std::min({size, script_.size(), std::size_t{caps_.inputReportLength}});
    std::copy_n(script_.begin(), n, buffer);
    script_ = script_.subspan(n);
    received = n;
    return OS::IoStatus::Ok;
  }
  OS::IoStatus Write(const std::uint8_t*, std::size_t size, std::size_t& written, const OS::StopEvent*, int) override {
    written = size;
    return OS::IoStatus::Ok;
  }
  bool GetCaps(OS::HidCaps& caps) override {
    caps = caps_;
    return true;
  }
  int LastError() const override { return 0; }

 private:
  std::span<const std::uint8_t> script_;
  OS::HidCaps caps_;
};

class ScriptedTransport final : public OS::HidTransport {
 public:
  ScriptedTransport(std::span<const std::uint8_t> script, OS::HidCaps caps) : script_(script), caps_(caps) {}
  std::vector<OS::HidDeviceInfo> List(std::uint16_t, std::uint16_t) override { return {}; }
  std::unique_ptr<OS::HidHandle> Open(const std::string&, int&) override {
    return std::make_unique<ScriptedHandle>(script_, caps_);
  }

 private:
  std::span<const std::uint8_t> script_;
  OS::HidCaps caps_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint16_t length = (data[0] & 1) ? 19 : 64;
  ScriptedTransport transport({data + 1, size - 1}, {length, length, true});
  PressureMultiMyographK4x device(transport);
  device.SetSleeper([](std::uint32_t) {});
  if (!device.Load("fuzz")) return 0;

  using Multi = PressureMultiMyographK4x;
  float a, b, c, d;
  Multi::FastBlock fast;
  Multi::SlowBlock slow;
  Multi::InfoBlock info;
  Multi::StatusBytes status;
  Multi::ConstantFlow flow;
  Multi::DigitalStates states;
  Multi::Temperatures temperatures;
  device.GetFastBlock(fast);
  device.GetSlowBlock(slow);
  device.GetInfoBlock(info);
  device.GetStatusBytes(status);
  device.Ping();
  device.SetPressures(-1, -1, -1, 0, 0, 1);
  device.SetTemperatures(-1, -1, -1);
  device.SetDigitalOutputs(1, 0xFF, 0xFF, 1);
  device.SetConstantFlow(flow);
  device.GetConstantFlow(flow);
  device.GetDigitalStates(states);
  device.GetTemperatures(temperatures);
  device.GetPressures(a, b, c, d);
  device.GetTargets(a, b, c, d);
  device.GetPhAndFlow(a, b);
  device.GetForce(a, b);
  return 0;
}
