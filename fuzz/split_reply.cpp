// Instrument replies are untrusted: any bytes may come back from a port.
// Input: separator selector, start index, minimum count, prefix length, then
// the prefix and the reply.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "instruments/ascii_commands.h"
#include "instruments/device.h"

namespace {
class ReplyDevice : public ORV::Device, public ORV::AsciiCommands {
 public:
  explicit ReplyDevice(char separator) : Device(ORV::kDeviceHeatController), AsciiCommands(*this, separator) {}

 protected:
  bool OnLoad(const std::string&) override { return false; }
  bool OnPing() override { return false; }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const char separator = (data[0] & 1) ? ',' : ';';
  const std::size_t start = data[1] % 16, minimum = data[2] % 16;
  const std::size_t prefixLength = std::min<std::size_t>(data[3] % 8, size - 4);
  const std::string_view prefix(reinterpret_cast<const char*>(data + 4), prefixLength);
  const std::string_view reply(reinterpret_cast<const char*>(data + 4 + prefixLength), size - 4 - prefixLength);

  static ReplyDevice commas(','), semicolons(';');
  const ReplyDevice& device = separator == ',' ? commas : semicolons;
  std::vector<std::string> fields;
  const bool ok = device.SplitReply(reply, prefix, fields, minimum, start);
  std::size_t total = 0;
  for (const auto& f : fields) {
    if (f.find(separator) != std::string::npos) std::abort();
    total += f.size();
  }
  if (total > reply.size() || (ok && fields.size() < minimum)) std::abort();
  return 0;
}
