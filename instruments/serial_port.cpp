#include "instruments/serial_port.h"

#include <algorithm>

namespace ORV {

bool SerialPort::Open(const std::string& path) {
  int error = 0;
  auto handle = OS::SerialPortHandle::Open(path, error);
  if (!handle) {
    lastError_ = static_cast<std::uint32_t>(error);
    handle_.reset();
    return false;
  }
  handle_ = std::move(handle);
  wholeReports_ = false;
  return true;
}

void SerialPort::Attach(std::unique_ptr<OS::PortHandle> handle, bool wholeReports) {
  handle_ = std::move(handle);
  wholeReports_ = wholeReports;
}

int SerialPort::Configure(std::uint32_t baud, std::int32_t timeout) {
  if (!handle_) return -1;
  const std::uint32_t ms = timeout > 0 ? static_cast<std::uint32_t>(timeout) : kDefaultTimeout;

  OS::LineSettings line;
  if (!handle_->GetLineSettings(line)) return -1;
  line.baud = baud;
  line.dataBits = 8;
  if (!handle_->SetLineSettings(line)) return -2;

  OS::PortTimeouts t;
  if (!handle_->GetTimeouts(t)) return -3;
  if (baud == 9600 && ms == 1250) {
    t.readInterval = 50;
    t.readTotalMultiplier = 10;
    t.readTotalConstant = 200;
  } else {
    const std::uint32_t v = wholeReports_ ? 0 : ms;
    t.readInterval = v;
    t.readTotalConstant = v;
    t.writeTotalConstant = v;
    t.readTotalMultiplier = 0;
    t.writeTotalMultiplier = 0;
  }
  if (!handle_->SetTimeouts(t)) return -4;
  timeout_ = ms;
  return 0;
}

int SerialPort::Read(std::uint8_t* buffer, std::uint32_t size, std::uint32_t& received) {
  if (!handle_) return -1;
  const int waitLimit = wholeReports_ ? static_cast<int>(std::min(timeout_, kReportWaitLimit)) : -1;
  std::size_t count = 0;
  switch (handle_->Read(buffer, size, count, stop_, waitLimit)) {
    case OS::IoStatus::Stopped:
      return -4;
    case OS::IoStatus::Failed:
      lastError_ = static_cast<std::uint32_t>(handle_->LastError());
      return -3;
    case OS::IoStatus::Ok:
      break;
  }
  if (!wholeReports_) {
    received = static_cast<std::uint32_t>(count);
    return 0;
  }
  if (count == 0) return 0;
  received = static_cast<std::uint32_t>(count);
  return static_cast<int>(count);
}

int SerialPort::Write(const std::uint8_t* buffer, std::uint32_t size) {
  if (!handle_) return -1;
  const int waitLimit = wholeReports_ ? static_cast<int>(kReportWaitLimit) : -1;
  std::size_t written = 0;
  switch (handle_->Write(buffer, size, written, stop_, waitLimit)) {
    case OS::IoStatus::Stopped:
      return -4;
    case OS::IoStatus::Failed:
      lastError_ = static_cast<std::uint32_t>(handle_->LastError());
      return -2;
    case OS::IoStatus::Ok:
      break;
  }
  // A report port's write either completes or counts as abandoned.
  if (wholeReports_ && written < size) return -4;
  return static_cast<int>(written);
}

void SerialPort::Close() { handle_.reset(); }

}  // namespace ORV
