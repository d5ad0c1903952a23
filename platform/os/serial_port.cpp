#include "platform/os/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <optional>

namespace ORV::OS {

using Clock = std::chrono::steady_clock;

// ---- StopEvent ----

StopEvent::StopEvent() { fd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC); }

StopEvent::~StopEvent() {
  if (fd_ >= 0) ::close(fd_);
}

void StopEvent::Set() {
  if (fd_ < 0) return;
  const std::uint64_t one = 1;
  // The counter only has to be non-zero; a full counter (EAGAIN) is set too.
  [[maybe_unused]] ssize_t n = ::write(fd_, &one, sizeof one);
}

void StopEvent::Reset() {
  if (fd_ < 0) return;
  std::uint64_t value = 0;
  [[maybe_unused]] ssize_t n = ::read(fd_, &value, sizeof value);
}

bool StopEvent::IsSet() const {
  if (fd_ < 0) return false;
  pollfd p{fd_, POLLIN, 0};
  return ::poll(&p, 1, 0) == 1 && (p.revents & POLLIN);
}

// ---- PortHandle defaults ----

bool PortHandle::GetLineSettings(LineSettings&) { return false; }
bool PortHandle::SetLineSettings(const LineSettings&) { return false; }
bool PortHandle::GetTimeouts(PortTimeouts&) { return false; }
bool PortHandle::SetTimeouts(const PortTimeouts&) { return false; }

// ---- helpers ----

namespace {

struct BaudEntry {
  std::uint32_t baud;
  speed_t speed;
};

constexpr BaudEntry kBauds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

std::optional<speed_t> SpeedOf(std::uint32_t baud) {
  for (const auto& e : kBauds)
    if (e.baud == baud) return e.speed;
  return std::nullopt;
}

std::uint32_t BaudOf(speed_t speed) {
  for (const auto& e : kBauds)
    if (e.speed == speed) return e.baud;
  return 0;
}

Clock::time_point After(Clock::time_point from, std::uint64_t ms) { return from + std::chrono::milliseconds(ms); }

// Milliseconds until `deadline`, rounded up so a poll never wakes early.
int MsUntil(Clock::time_point deadline) {
  const auto left = deadline - Clock::now();
  if (left <= Clock::duration::zero()) return 0;
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
  return static_cast<int>(std::min<long long>(ms, INT_MAX));
}

enum class WaitResult { Ready, TimedOut, Stopped, Failed };

// Waits until fd shows `events`, the stop event is set or the deadline passes.
WaitResult WaitFor(int fd, short events, const StopEvent* stop, Clock::time_point deadline, short& revents,
                   int& error) {
  for (;;) {
    pollfd fds[2] = {{fd, events, 0}, {stop ? stop->fd() : -1, POLLIN, 0}};
    const int rc = ::poll(fds, 2, MsUntil(deadline));
    if (rc < 0) {
      if (errno == EINTR) continue;
      error = errno;
      return WaitResult::Failed;
    }
    if (fds[1].revents & POLLIN) return WaitResult::Stopped;
    if (rc == 0 || fds[0].revents == 0) {
      if (Clock::now() >= deadline) return WaitResult::TimedOut;
      continue;
    }
    revents = fds[0].revents;
    if (revents & POLLNVAL) {
      error = EBADF;
      return WaitResult::Failed;
    }
    return WaitResult::Ready;
  }
}

}  // namespace

// ---- SerialPortHandle ----

std::unique_ptr<SerialPortHandle> SerialPortHandle::Open(const std::string& path, int& error) {
  error = 0;
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = errno;
    return nullptr;
  }
  if (!::isatty(fd)) {
    error = ENOTTY;
    ::close(fd);
    return nullptr;
  }
  // TIOCEXCL does not stop root, so the lock is what makes the port ours.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    error = errno == EWOULDBLOCK ? EBUSY : errno;
    ::close(fd);
    return nullptr;
  }
  if (::ioctl(fd, TIOCEXCL) != 0) {
    error = errno;
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<SerialPortHandle>(new SerialPortHandle(fd));
}

SerialPortHandle::~SerialPortHandle() {
  if (fd_ < 0) return;
  // The exclusive flag belongs to the terminal, not to this descriptor: clear
  // it, or the port stays closed to others while anyone else has it open.
  ::ioctl(fd_, TIOCNXCL);
  ::close(fd_);
}

bool SerialPortHandle::GetLineSettings(LineSettings& settings) {
  termios t{};
  if (::tcgetattr(fd_, &t) != 0) {
    error_ = errno;
    return false;
  }
  settings.baud = BaudOf(::cfgetospeed(&t));
  switch (t.c_cflag & CSIZE) {
    case CS5:
      settings.dataBits = 5;
      break;
    case CS6:
      settings.dataBits = 6;
      break;
    case CS7:
      settings.dataBits = 7;
      break;
    default:
      settings.dataBits = 8;
      break;
  }
  settings.parity = !(t.c_cflag & PARENB) ? Parity::None : (t.c_cflag & PARODD) ? Parity::Odd : Parity::Even;
  settings.stopBits = (t.c_cflag & CSTOPB) ? 2 : 1;
  settings.rtsCts = (t.c_cflag & CRTSCTS) != 0;
  return true;
}

bool SerialPortHandle::SetLineSettings(const LineSettings& settings) {
  const auto speed = SpeedOf(settings.baud);
  if (!speed || settings.dataBits < 5 || settings.dataBits > 8 || (settings.stopBits != 1 && settings.stopBits != 2)) {
    error_ = EINVAL;
    return false;
  }
  termios t{};
  if (::tcgetattr(fd_, &t) != 0) {
    error_ = errno;
    return false;
  }
  ::cfmakeraw(&t);
  t.c_iflag &= ~(IXON | IXOFF | IXANY);
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
  static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
  t.c_cflag |= kSizes[settings.dataBits - 5] | CLOCAL | CREAD;
  if (settings.parity != Parity::None) t.c_cflag |= PARENB;
  if (settings.parity == Parity::Odd) t.c_cflag |= PARODD;
  if (settings.stopBits == 2) t.c_cflag |= CSTOPB;
  if (settings.rtsCts) t.c_cflag |= CRTSCTS;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  if (::cfsetispeed(&t, *speed) != 0 || ::cfsetospeed(&t, *speed) != 0 || ::tcsetattr(fd_, TCSANOW, &t) != 0) {
    error_ = errno;
    return false;
  }
  return true;
}

bool SerialPortHandle::GetTimeouts(PortTimeouts& timeouts) {
  timeouts = timeouts_;
  return true;
}

bool SerialPortHandle::SetTimeouts(const PortTimeouts& timeouts) {
  timeouts_ = timeouts;
  return true;
}

IoStatus SerialPortHandle::Read(std::uint8_t* buffer, std::size_t size, std::size_t& received, const StopEvent* stop,
                                int waitLimitMs) {
  received = 0;
  const Clock::time_point start = Clock::now();
  const PortTimeouts& t = timeouts_;

  Clock::time_point deadline;
  const std::uint64_t totalMs = std::uint64_t{t.readTotalMultiplier} * size + t.readTotalConstant;
  if (t.readInterval == PortTimeouts::kReturnAtOnce && totalMs == 0)
    deadline = start;
  else
    deadline = After(start, totalMs > 0 ? totalMs : kUnboundedWaitLimitMs);
  if (waitLimitMs >= 0) deadline = std::min(deadline, After(start, static_cast<std::uint64_t>(waitLimitMs)));
  const bool intervalLimit = t.readInterval != 0 && t.readInterval != PortTimeouts::kReturnAtOnce;

  Clock::time_point lastByte = start;
  while (received < size) {
    Clock::time_point until = deadline;
    if (received > 0 && intervalLimit) until = std::min(until, After(lastByte, t.readInterval));
    short revents = 0;
    // Even a read that may not wait takes what is already buffered.
    const WaitResult w = WaitFor(fd_, POLLIN, stop, until, revents, error_);
    if (w == WaitResult::Stopped) return IoStatus::Stopped;
    if (w == WaitResult::Failed) return IoStatus::Failed;
    if (w == WaitResult::TimedOut) break;

    const ssize_t n = ::read(fd_, buffer + received, size - received);
    if (n > 0) {
      received += static_cast<std::size_t>(n);
      lastByte = Clock::now();
    } else if (n == 0) {
      error_ = EIO;  // the other end hung up
      return IoStatus::Failed;
    } else if (errno != EAGAIN && errno != EINTR) {
      error_ = errno;
      return IoStatus::Failed;
    }
  }
  return IoStatus::Ok;
}

IoStatus SerialPortHandle::Write(const std::uint8_t* data, std::size_t size, std::size_t& written,
                                 const StopEvent* stop, int waitLimitMs) {
  written = 0;
  const Clock::time_point start = Clock::now();
  const std::uint64_t totalMs = std::uint64_t{timeouts_.writeTotalMultiplier} * size + timeouts_.writeTotalConstant;
  Clock::time_point deadline = After(start, totalMs > 0 ? totalMs : kUnboundedWaitLimitMs);
  if (waitLimitMs >= 0) deadline = std::min(deadline, After(start, static_cast<std::uint64_t>(waitLimitMs)));

  if (stop && stop->IsSet()) return IoStatus::Stopped;
  while (written < size) {
    const ssize_t n = ::write(fd_, data + written, size - written);
    if (n > 0) {
      written += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) {
      error_ = errno;
      return IoStatus::Failed;
    }
    short revents = 0;
    const WaitResult w = WaitFor(fd_, POLLOUT, stop, deadline, revents, error_);
    if (w == WaitResult::Stopped) return IoStatus::Stopped;
    if (w == WaitResult::Failed) return IoStatus::Failed;
    if (w == WaitResult::TimedOut) break;
  }
  return IoStatus::Ok;
}

}  // namespace ORV::OS
