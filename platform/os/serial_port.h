#pragma once
// Serial ports on POSIX terminals, with the behaviour the instrument drivers
// were written against:
//
//  - a port is opened by its device path for one user only: TIOCEXCL keeps
//    other openers out, and an exclusive flock() on the device keeps out the
//    ones TIOCEXCL lets through (root, and this process itself);
//  - line settings are baud rate, data bits, parity, stop bits and hardware
//    handshake; everything a terminal would do to the bytes (echo, line
//    editing, CR/NL mapping, software flow control) is switched off;
//  - reads and writes follow the serial time-out model of interval and total
//    time-outs (PortTimeouts), measured with poll(), and a StopEvent aborts
//    a pending read or write from another thread. No read waits without
//    bound: time-outs that set no total limit fall back to kUnboundedWaitLimitMs.
//
// PortHandle is the narrow interface the device layer talks to, so that other
// kinds of handle (and test doubles) can stand in for a terminal.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace ORV::OS {

// A manual-reset event (an eventfd): once Set, every wait that watches it
// ends, until Reset. Safe to Set from any thread.
class StopEvent {
 public:
  StopEvent();
  ~StopEvent();
  StopEvent(const StopEvent&) = delete;
  StopEvent& operator=(const StopEvent&) = delete;

  void Set();
  void Reset();
  bool IsSet() const;
  // The descriptor to poll() for POLLIN; -1 when the event could not be made.
  int fd() const { return fd_; }

 private:
  int fd_ = -1;
};

// Read and write time-outs in milliseconds, in the meaning of the serial
// time-out model:
//  - a read ends when the requested count has arrived, when more than
//    readInterval ms pass between two bytes (after the first one; 0: no
//    interval limit), or when readTotalMultiplier x count +
//    readTotalConstant ms have passed since it began (both 0: no total
//    limit). A read that ends by a time-out succeeds with what arrived.
//  - readInterval kReturnAtOnce with both totals 0: a read returns at once
//    with whatever is already buffered.
//  - a write ends when everything is written or after writeTotalMultiplier x
//    count + writeTotalConstant ms (both 0: no total limit).
struct PortTimeouts {
  static constexpr std::uint32_t kReturnAtOnce = 0xFFFFFFFFu;
  std::uint32_t readInterval = 0;
  std::uint32_t readTotalMultiplier = 0;
  std::uint32_t readTotalConstant = 0;
  std::uint32_t writeTotalMultiplier = 0;
  std::uint32_t writeTotalConstant = 0;

  bool operator==(const PortTimeouts&) const = default;
};

// The longest a read or write waits when its time-outs set no total limit.
inline constexpr std::uint32_t kUnboundedWaitLimitMs = 1000;

enum class Parity : std::uint8_t { None, Odd, Even };

struct LineSettings {
  std::uint32_t baud = 0;
  std::uint8_t dataBits = 8;  // 5 to 8
  Parity parity = Parity::None;
  std::uint8_t stopBits = 1;  // 1 or 2
  bool rtsCts = false;        // hardware handshake

  bool operator==(const LineSettings&) const = default;
};

enum class IoStatus {
  Ok,       // finished or timed out; the count says how many bytes moved
  Stopped,  // the stop event was set
  Failed,   // the device failed (unplugged, closed, ...); LastError() says why
};

// An open device that moves bytes. Not thread-safe: one caller at a time
// (StopEvent::Set is the only cross-thread call).
class PortHandle {
 public:
  virtual ~PortHandle() = default;

  // Reads at most `size` bytes under the handle's time-outs. When
  // waitLimitMs >= 0 the read also ends, successfully, after that many ms.
  virtual IoStatus Read(std::uint8_t* buffer, std::size_t size, std::size_t& received, const StopEvent* stop,
                        int waitLimitMs) = 0;
  // Writes up to `size` bytes under the handle's time-outs (and waitLimitMs
  // as for Read); a write that times out succeeds with the count written.
  virtual IoStatus Write(const std::uint8_t* data, std::size_t size, std::size_t& written, const StopEvent* stop,
                         int waitLimitMs) = 0;

  // Line settings and time-outs; handles without them return false.
  virtual bool GetLineSettings(LineSettings& settings);
  virtual bool SetLineSettings(const LineSettings& settings);
  virtual bool GetTimeouts(PortTimeouts& timeouts);
  virtual bool SetTimeouts(const PortTimeouts& timeouts);

  // The errno of the last failed operation (0 when none failed).
  virtual int LastError() const = 0;
};

// A terminal device opened exclusively.
class SerialPortHandle final : public PortHandle {
 public:
  // Opens the terminal at `path` for reading and writing. On failure returns
  // nullptr and sets `error` to the errno: EBUSY when another user holds the
  // port, ENOTTY when the path is not a terminal.
  static std::unique_ptr<SerialPortHandle> Open(const std::string& path, int& error);
  ~SerialPortHandle() override;

  IoStatus Read(std::uint8_t* buffer, std::size_t size, std::size_t& received, const StopEvent* stop,
                int waitLimitMs) override;
  IoStatus Write(const std::uint8_t* data, std::size_t size, std::size_t& written, const StopEvent* stop,
                 int waitLimitMs) override;
  bool GetLineSettings(LineSettings& settings) override;
  // Applies the settings in raw mode (no echo, no line editing, no character
  // mapping, no software flow control, receiver on, modem lines ignored).
  // Fails with EINVAL for a baud rate the terminal layer does not know.
  bool SetLineSettings(const LineSettings& settings) override;
  bool GetTimeouts(PortTimeouts& timeouts) override;
  bool SetTimeouts(const PortTimeouts& timeouts) override;
  int LastError() const override { return error_; }

 private:
  explicit SerialPortHandle(int fd) : fd_(fd) {}
  int fd_ = -1;
  int error_ = 0;
  PortTimeouts timeouts_;
};

}  // namespace ORV::OS
