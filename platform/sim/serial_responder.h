#pragma once
// A simulated serial instrument on a pseudo-terminal: a thread reads what
// the driver sends, records every byte, cuts the bytes into requests and
// answers each one.
//
// Requests are lines ended by CR (Framing::Line; the request is the text
// without its CR) or frames between two 0x7E delimiters (Framing::Frame; the
// request is the whole frame with both delimiters, and bytes before a frame
// are dropped). An answer comes, in this order, from the queued replies, the
// reply set for that exact request, or Answer(), which each instrument's
// simulator overrides.
//
// Faults for the driver tests: no reply at all, only the first bytes of each
// reply, bytes that are no reply, a delay before each reply, a reply in two
// bursts with a gap, and unplugging (the simulator's end closes, now or at
// the next request). An unplugged instrument can be plugged in again: it
// answers on a new line (a new device path), as a device that was pulled out
// and put back comes up as a new terminal.
//
// Subclasses: Answer() and NextRequest() run on the responder thread. A
// subclass calls Stop() in its destructor, so the thread never calls into a
// destroyed object.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/sim/pseudo_terminal.h"

namespace ORV::Sim {

enum class Framing {
  Line,   // ASCII commands ended by CR
  Frame,  // binary frames delimited by 0x7E
};

enum class ReplyMode {
  Normal,   // every reply as it is
  Silent,   // requests are read and recorded, never answered
  Partial,  // only the first bytes of each reply (SetPartialLength)
  Garbage,  // as many bytes as the reply has, but not the reply (SetGarbage)
  Unplug,   // at the next request the simulator's end closes instead
};

class SerialResponder {
 public:
  using Milliseconds = std::chrono::milliseconds;

  explicit SerialResponder(Framing framing);
  virtual ~SerialResponder();
  SerialResponder(const SerialResponder&) = delete;
  SerialResponder& operator=(const SerialResponder&) = delete;

  // Starts answering; false when no pseudo-terminal could be made.
  bool Start();
  // Stops answering (the line stays up until destruction or Unplug).
  void Stop();
  // The path a driver opens.
  std::string DevicePath() const;

  // Scripted replies. SetReply answers every request equal to `request`;
  // QueueReply answers the next request, whatever it is, once.
  void SetReply(const std::string& request, const std::string& reply);
  void QueueReply(const std::string& reply);

  void SetMode(ReplyMode mode);
  // Bytes of each reply sent in Partial mode (default: half the reply).
  void SetPartialLength(std::size_t bytes);
  // The pattern Garbage mode repeats (default: bytes that are neither CR,
  // '>' nor 0x7E, so no reply prefix, line end or frame can be read in them).
  void SetGarbage(const std::string& pattern);
  // A wait before each reply.
  void SetDelay(Milliseconds delay);
  // Sends each reply longer than `firstBytes` in two bursts, `gap` apart;
  // firstBytes 0 sends replies whole.
  void SetBursts(std::size_t firstBytes, Milliseconds gap);

  // Closes the simulator's end now: the driver's pending and later reads and
  // writes fail.
  void Unplug();
  bool IsUnplugged() const;
  // Plugs an unplugged instrument in again on a new line and answers there;
  // false when no line could be made. Nothing happens while it is plugged in.
  bool Replug();

  // Every byte received so far, in order, and the requests cut from them.
  std::string Received() const;
  std::vector<std::string> Requests() const;
  // Waits until at least `count` requests have arrived; false on time-out.
  bool WaitForRequests(std::size_t count, Milliseconds timeout) const;
  // Whether what arrives is kept for Received and Requests (it is unless
  // switched off): an instrument that runs for hours keeps nothing, so its
  // memory stays flat. WaitForRequests counts requests either way.
  void KeepReceived(bool keep);

 protected:
  // The answer to one request that no scripted reply covers; nothing by
  // default. Runs on the responder thread.
  virtual std::optional<std::string> Answer(const std::string& request);
  // Cuts the next complete request from the front of `pending`, following
  // the framing; nothing while no request is complete.
  virtual std::optional<std::string> NextRequest(std::string& pending);
  // Sends bytes that answer no request (an instrument streaming on its
  // own); false when the line is down or the driver does not read them.
  bool Push(const std::string& bytes);

 private:
  void Run();
  void Handle(const std::string& request);
  // Waits `d` unless stopping or unplugging; false when interrupted.
  bool Pause(Milliseconds d);
  bool WriteAll(const std::string& bytes);
  void Wake();
  void CloseLine();  // with mutex_ held

  const Framing framing_;
  // Replaced only by Replug, while the thread is stopped and under
  // writeMutex_.
  std::unique_ptr<PseudoTerminal> pty_;
  std::string path_;  // under mutex_
  std::thread thread_;
  int wake_ = -1;

  std::mutex writeMutex_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool stopping_ = false;
  bool running_ = false;
  bool unplugRequested_ = false;
  bool unplugged_ = false;
  ReplyMode mode_ = ReplyMode::Normal;
  std::optional<std::size_t> partialLength_;
  std::string garbage_;
  Milliseconds delay_{0};
  std::size_t burstFirst_ = 0;
  Milliseconds burstGap_{0};
  std::map<std::string, std::string> replies_;
  std::deque<std::string> queued_;
  bool keepReceived_ = true;
  std::string received_;
  std::vector<std::string> requests_;
  std::size_t requestCount_ = 0;

  std::string pending_;  // responder thread only
};

// Records the fixed waits a driver makes instead of sleeping. Install it
// with device.SetSleeper(sleeper.AsSleeper()); it must outlive the device's
// use of it.
class RecordingSleeper {
 public:
  std::function<void(std::uint32_t)> AsSleeper() {
    return [this](std::uint32_t ms) {
      std::lock_guard<std::mutex> g(mutex_);
      waits_.push_back(ms);
    };
  }
  std::vector<std::uint32_t> Waits() const {
    std::lock_guard<std::mutex> g(mutex_);
    return waits_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::uint32_t> waits_;
};

}  // namespace ORV::Sim
