#pragma once
// A multi interface on a simulated unit, with the event log and the fixed
// waits recorded.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "instruments/pressure_multi_myograph_k4x.h"
#include "platform/sim/hid_transport.h"
#include "platform/sim/multi_interface_unit.h"
#include "platform/sim/serial_responder.h"
#include "tests/support/test_support.h"

namespace ORV::Test {

using Bytes = std::vector<std::uint8_t>;
using Multi = PressureMultiMyographK4x;

// Reply code that no request decodes.
inline constexpr std::uint16_t kUnknownCode = 0x6036;

struct HidRig {
  explicit HidRig(std::size_t reportLength = 64)
      : unit(std::make_shared<Sim::MultiInterfaceUnit>(reportLength)), path(transport.AddDevice(unit)) {
    device = std::make_unique<Multi>(transport);
    device->SetSleeper(sleeper.AsSleeper());
  }

  // Makes every query of Load fail, so the device keeps the values it was
  // created with.
  void FailLoadQueries() {
    for (std::uint8_t c : {0x28, 0x30, 0x08, 0x0A, 0x10, 0x00, 0x25}) unit->SetReplyCode(c, kUnknownCode);
  }
  void ClearReplyCodes() {
    for (std::uint8_t c : {0x28, 0x30, 0x08, 0x0A, 0x10, 0x00, 0x25}) unit->SetReplyCode(c, 0x6000 + c);
  }

  // The event log's entries as (type, text).
  std::vector<std::pair<int, std::string>> Events() {
    std::vector<std::pair<int, std::string>> out;
    for (const auto& e : events.backend().Entries()) out.emplace_back(e.type, e.texts.empty() ? "" : e.texts[0]);
    return out;
  }

  MemoryEventLog events;
  Sim::RecordingSleeper sleeper;
  Sim::SimHidTransport transport;
  std::shared_ptr<Sim::MultiInterfaceUnit> unit;
  std::string path;
  std::unique_ptr<Multi> device;
};

// `prefix` followed by zeros up to `length`.
inline Bytes Padded(Bytes prefix, std::size_t length) {
  prefix.resize(length, 0);
  return prefix;
}

}  // namespace ORV::Test
