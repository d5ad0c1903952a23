#pragma once
// The port of one instrument: the open handle, its configured time-out, an
// optional stop event and the error of the last failed operation. Every
// device embeds one (see device.h).
#include <cstdint>
#include <memory>
#include <string>

#include "platform/os/serial_port.h"

namespace ORV {

class SerialPort {
 public:
  // The time-out before Configure has set one.
  static constexpr std::uint32_t kNotConfigured = 0xFFFFFFFFu;
  // The time-out used when a caller asks for none (0 or below).
  static constexpr std::uint32_t kDefaultTimeout = 500;
  // The longest a read or write of a report port waits.
  static constexpr std::uint32_t kReportWaitLimit = 1000;

  SerialPort() = default;
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // Opens the serial port at `path` exclusively for blocking I/O. A failure
  // keeps the system error in LastError() and leaves the port closed.
  bool Open(const std::string& path);
  // Takes an already open handle. A report handle (one whose reads
  // deliver whole reports, as a HID device's) gets no port time-outs; each of
  // its reads and writes waits at most kReportWaitLimit ms.
  void Attach(std::unique_ptr<OS::PortHandle> handle, bool wholeReports);
  bool IsOpen() const { return handle_ != nullptr; }
  OS::PortHandle* Handle() const { return handle_.get(); }
  bool DeliversWholeReports() const { return wholeReports_; }

  // Sets the baud rate and 8 data bits (keeping parity, stop bits and
  // handshake) and the time-outs:
  //  - 9600 baud with exactly 1250 ms: read interval 50 ms, 10 ms per byte
  //    plus 200 ms in total; the write time-outs stay as they are;
  //  - otherwise read interval, read total and write total all equal the
  //    time-out (0 on a report port), with no per-byte part.
  // A time-out of 0 or below means kDefaultTimeout: a port never waits
  // without bound. Returns 0, or -1 (line settings unreadable), -2 (line
  // settings refused), -3 (time-outs unreadable), -4 (time-outs refused).
  int Configure(std::uint32_t baud, std::int32_t timeout);

  // Reads up to `size` bytes. A blocking port returns 0 with `received` set
  // (0 when the time-outs passed with nothing). A report port waits at
  // most the smaller of its time-out and kReportWaitLimit: 0 with
  // `received` unchanged when nothing came, else the count, also stored in
  // `received`. Failures: -1 no handle, -3 read failed (LastError), -4 the
  // stop event was set.
  int Read(std::uint8_t* buffer, std::uint32_t size, std::uint32_t& received);
  // Writes the bytes; returns the count written (less than `size` after a
  // time-out), or -2 write failed (LastError), -4 stopped, -1 no handle.
  int Write(const std::uint8_t* buffer, std::uint32_t size);
  // Closes the handle (nothing happens when none is open).
  void Close();

  // The event that aborts a pending read or write; not owned. The flow
  // sampling thread places its own here before each read.
  void SetStopEvent(const OS::StopEvent* stop) { stop_ = stop; }
  const OS::StopEvent* GetStopEvent() const { return stop_; }

  std::uint32_t Timeout() const { return timeout_; }
  std::uint32_t LastError() const { return lastError_; }
  // Keeps the error of an open made elsewhere (a HID device is opened by
  // its transport, then attached).
  void SetLastError(std::uint32_t error) { lastError_ = error; }

 private:
  std::uint32_t timeout_ = kNotConfigured;
  bool wholeReports_ = false;
  std::unique_ptr<OS::PortHandle> handle_;
  const OS::StopEvent* stop_ = nullptr;
  std::uint32_t lastError_ = 0;
};

}  // namespace ORV
