#include "instruments/device.h"

#include <array>
#include <chrono>
#include <thread>

#include "core/base/event_log.h"
#include "core/base/paths.h"
#include "platform/os/event_log_backend.h"
#include "platform/os/folders.h"

namespace ORV {

using Guard = std::lock_guard<std::recursive_mutex>;

Device::Device(std::uint32_t typeCode) : typeCode_(typeCode) {}

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

bool Device::OpenDebugLog(bool debug, std::string_view fileName) {
  if (!debug) return false;
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

void Device::SetTimeout(std::int32_t ms) { timeout_.store(ms); }

std::int32_t Device::Timeout() const { return timeout_.load(); }

bool Device::OpenSerial(const std::string& port, const SerialOpening& row) {
  Guard g(lock_);
  SetConnected(false);
  // The same terminal cannot be opened twice, and a new one may have come.
  if (row.reopen) port_.Close();
  for (int attempt = 0; !port_.IsOpen() && attempt < row.openAttempts; ++attempt) {
    if (attempt > 0) Wait(row.openRetryMs);
    port_.Open(port);
  }
  if (row.logPortOpen) LogPortOpen(port);
  if (!port_.IsOpen()) {
    LogOpenFailed(row.who, port);
    return false;
  }
  SetPortName(port);
  const int who = static_cast<int>(row.who.size());
  if (row.logTimeout) {
    LogOpened(row.who, port, row.timeout);
  } else {
    LogInformationFormat("%.*s::Load() - Opened port: %s\n", who, row.who.data(), port.c_str());
  }
  const std::int32_t checkTimeout = row.checkTimeout != 0 ? row.checkTimeout : row.timeout;
  if (port_.Configure(row.baud, checkTimeout) != 0) {
    if (row.logConfigureFailure) {
      LogErrorFormat("%.*s::Load() - Unable to configure speed and timeouts for COM port: %s - Timeout: %d", who,
                     row.who.data(), port.c_str(), static_cast<int>(checkTimeout));
    }
  } else {
    if (row.settleMs > 0) Wait(row.settleMs);
    SetConnected(row.check && row.check());
  }
  if (port_.IsOpen() && !IsConnected()) {
    if (!row.failed.empty()) LogError(std::string(row.failed));
    OnClose();
    return false;
  }
  if (IsConnected() && row.checkTimeout != 0) {
    port_.Close();
    if (!port_.Open(port)) {
      // Connected no longer: nothing can reach the instrument now.
      LogOpenFailed(row.who, port);
      OnClose();
      return false;
    }
    port_.Configure(row.baud, row.timeout);
  }
  return IsConnected();
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
