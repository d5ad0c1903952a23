#include "instruments/ascii_commands.h"

#include <array>
#include <mutex>

#include "instruments/device.h"

namespace ORV {

using Guard = std::lock_guard<std::recursive_mutex>;

bool AsciiCommands::Send(std::string_view command) {
  Guard g(device_.Lock());
  if (!device_.Port().IsOpen()) return false;
  std::string bytes(command);
  bytes.push_back(static_cast<char>(kCommandEnd));
  if (!device_.WriteAll(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), "")) return false;
  device_.WriteLog("Command sent: " + bytes);
  return true;
}

void AsciiCommands::DiscardPendingInput() {
  Guard g(device_.Lock());
  OS::PortHandle* handle = device_.Port().Handle();
  if (handle == nullptr) return;
  std::array<std::uint8_t, Device::kReadSize> buffer{};
  std::string discarded;
  for (int i = 0; i < kMaxDiscardReads; ++i) {
    std::size_t received = 0;
    // A wait limit of 0 takes only what is already buffered.
    if (handle->Read(buffer.data(), buffer.size(), received, nullptr, 0) != OS::IoStatus::Ok || received == 0) break;
    discarded.append(reinterpret_cast<const char*>(buffer.data()), received);
  }
  if (!discarded.empty())
    device_.WriteLog("Discarded '" + std::to_string(discarded.size()) + "' pending bytes - data: " + discarded);
}

bool AsciiCommands::Query(std::string& reply, std::string_view command) {
  Guard g(device_.Lock());
  // Bytes left from a garbled, late or cut reply would be read as the answer
  // to this command.
  DiscardPendingInput();
  if (!Send(command)) return false;
  std::vector<std::uint8_t> data(Device::kReadSize + 1, 0);
  std::uint32_t received = 0;
  if (device_.Port().Read(data.data(), Device::kReadSize, received) < 0) return false;
  reply.assign(reinterpret_cast<const char*>(data.data()), received);
  device_.WriteLog("Read reply '" + std::to_string(received) + "' bytes - data: " + reply);
  return true;
}

bool AsciiCommands::SplitReply(std::string_view reply, std::string_view prefix, std::vector<std::string>& fields,
                               std::size_t minimum, std::size_t start) const {
  if (!reply.starts_with(prefix)) return false;
  const std::size_t first = reply.find(separator_);
  if (first == std::string_view::npos || first + 1 == reply.size()) return false;

  if (first > start) fields.emplace_back(reply.substr(start, first - start));
  std::size_t from = first + 1;
  for (std::size_t next; (next = reply.find(separator_, from)) != std::string_view::npos; from = next + 1)
    fields.emplace_back(reply.substr(from, next - from));

  // The text after the last separator, without the line end. A reply cut
  // short has no line end, and then its last character is data.
  std::string_view rest = reply.substr(from);
  if (rest.ends_with('\n')) rest.remove_suffix(1);
  if (rest.ends_with('\r')) rest.remove_suffix(1);
  if (!rest.empty()) fields.emplace_back(rest);
  return fields.size() >= minimum;
}

}  // namespace ORV
