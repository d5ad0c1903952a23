#include "instruments/device.h"

#include <array>
#include <chrono>
#include <thread>

#include "core/base/configuration.h"
#include "core/base/event_log.h"
#include "core/base/paths.h"
#include "platform/os/event_log_backend.h"
#include "platform/os/folders.h"

namespace ORV {

using Guard = std::lock_guard<std::recursive_mutex>;

Device::Device(std::uint32_t typeCode, char separator) : typeCode_(typeCode), separator_(separator) {}

Device::~Device() {
  Guard g(lock_);
  port_.Close();
  if (log_.is_open()) log_.close();
}

bool Device::Load(const std::string& port) {
  Guard g(lock_);
  return OnLoad(port);
}

bool Device::Ping() {
  Guard g(lock_);
  return OnPing();
}

void Device::Close() {
  Guard g(lock_);
  OnClose();
}

void Device::OnClose() {
  if (port_.IsOpen()) {
    WriteLog("Closed COM port: '" + portName_ + "'");
    port_.Close();
  }
  if (log_.is_open()) log_.close();
  connected_.store(false);
}

bool Device::OpenLog(const std::string& path) {
  Guard g(lock_);
  if (log_.is_open()) log_.close();
  log_.open(path, std::ios::out | std::ios::trunc | std::ios::binary);
  if (log_.is_open())
    log_.clear();
  else
    log_.setstate(std::ios::failbit);
  return log_.is_open();
}

bool Device::OpenDebugLog(std::string_view fileName) {
  if (!Configuration::Instance().Debug) return false;
  return OpenLog(JoinPath(OS::TempDir(), fileName));
}

bool Device::IsLogging() const {
  Guard g(lock_);
  return log_.is_open();
}

void Device::WriteLog(std::string_view line) {
  Guard g(lock_);
  if (!log_.is_open()) return;
  log_.write(line.data(), static_cast<std::streamsize>(line.size()));
  log_.put('\n');
  log_.flush();
}

bool Device::SendRawData(const std::uint8_t* data, std::size_t count) {
  Guard g(lock_);
  if (!port_.IsOpen()) return false;
  return WriteAll(data, count, "Device::SendRawData() ");
}

bool Device::Send(std::string_view command) {
  Guard g(lock_);
  if (!port_.IsOpen()) return false;
  std::string bytes(command);
  bytes.push_back(static_cast<char>(kCommandEnd));
  if (!WriteAll(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), "")) return false;
  WriteLog("Command sent: " + bytes);
  return true;
}

bool Device::WriteAll(const std::uint8_t* data, std::size_t count, std::string_view logLead) {
  const int written = port_.Write(data, static_cast<std::uint32_t>(count));
  if (written < 0) {
    WriteLog(std::string(logLead) + "Command write fail - Error: " + std::to_string(port_.LastError()));
    return false;
  }
  if (static_cast<std::size_t>(written) != count) {
    WriteLog(std::string(logLead) + "Command write fail (not all bytes sent): " + std::to_string(written) +
             " - cmd size: " + std::to_string(count));
    return false;
  }
  return true;
}

bool Device::ReadData(std::vector<std::uint8_t>& buffer) {
  Guard g(lock_);
  if (!port_.IsOpen()) return false;
  std::vector<std::uint8_t> data(kReadSize + 1, 0);
  std::uint32_t received = 0;
  if (port_.Read(data.data(), kReadSize, received) < 0) {
    WriteLog("ReadData() - Read reply failed - Error: " + std::to_string(port_.LastError()));
    return false;
  }
  const std::string_view text(reinterpret_cast<const char*>(data.data()), received);
  WriteLog("ReadData() - Read reply '" + std::to_string(received) + "' bytes - data: " + std::string(text));
  if (received == 0) return false;
  buffer.assign(data.begin(), data.begin() + received);
  return true;
}

void Device::DiscardPendingInput() {
  OS::PortHandle* handle = port_.Handle();
  if (handle == nullptr) return;
  std::array<std::uint8_t, kReadSize> buffer{};
  std::string discarded;
  for (int i = 0; i < kMaxDiscardReads; ++i) {
    std::size_t received = 0;
    // A wait limit of 0 takes only what is already buffered.
    if (handle->Read(buffer.data(), buffer.size(), received, nullptr, 0) != OS::IoStatus::Ok || received == 0) break;
    discarded.append(reinterpret_cast<const char*>(buffer.data()), received);
  }
  if (!discarded.empty())
    WriteLog("Discarded '" + std::to_string(discarded.size()) + "' pending bytes - data: " + discarded);
}

bool Device::Query(std::string& reply, std::string_view command) {
  Guard g(lock_);
  // Bytes left from a garbled, late or cut reply would be read as the answer
  // to this command.
  DiscardPendingInput();
  if (!Send(command)) return false;
  std::vector<std::uint8_t> data(kReadSize + 1, 0);
  std::uint32_t received = 0;
  if (port_.Read(data.data(), kReadSize, received) < 0) return false;
  reply.assign(reinterpret_cast<const char*>(data.data()), received);
  WriteLog("Read reply '" + std::to_string(received) + "' bytes - data: " + reply);
  return true;
}

bool Device::SplitReply(std::string_view reply, std::string_view prefix, std::vector<std::string>& fields,
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

void Device::LogPortOpen(const std::string& name) {
  Guard g(lock_);
  if (port_.IsOpen())
    WriteLog("Connected to COM port: '" + name + "'");
  else
    WriteLog("Unable to connect to COM port: '" + name + "' - Error: " + std::to_string(port_.LastError()));
}

void Device::LogOpenFailed(std::string_view who, const std::string& port) {
  LogErrorFormat("%.*s::Load() - Unable to connect to COM port: %s - error: %x\n", static_cast<int>(who.size()),
                 who.data(), port.c_str(), port_.LastError());
}

void Device::LogOpened(std::string_view who, const std::string& port, std::int32_t timeout) {
  LogInformationFormat("%.*s::Load() - Opened port: %s - Timeout: %d\n", static_cast<int>(who.size()), who.data(),
                       port.c_str(), static_cast<int>(timeout));
}

std::string Device::PortName() const {
  Guard g(lock_);
  return portName_;
}

void Device::SetPortName(const std::string& name) {
  Guard g(lock_);
  portName_ = name;
}

std::uint32_t Device::ResolveTimeout(std::int32_t configured) const {
  return configured > 0 ? static_cast<std::uint32_t>(configured) : kDefaultTimeout;
}

void Device::SetSleeper(Sleeper sleeper) {
  Guard g(lock_);
  sleeper_ = std::move(sleeper);
}

void Device::Wait(std::uint32_t ms) {
  if (sleeper_)
    sleeper_(ms);
  else
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace ORV
