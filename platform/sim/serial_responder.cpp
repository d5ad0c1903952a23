#include "platform/sim/serial_responder.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace ORV::Sim {

namespace {
constexpr char kFrameDelimiter = '\x7E';
const std::string kDefaultGarbage("\xA5\x5A\x00\xFF#", 5);
constexpr int kWriteWaitMs = 1000;
}  // namespace

SerialResponder::SerialResponder(Framing framing)
    : framing_(framing),
      pty_(std::make_unique<PseudoTerminal>()),
      path_(pty_->DevicePath()),
      garbage_(kDefaultGarbage) {
  wake_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

std::string SerialResponder::DevicePath() const {
  std::lock_guard<std::mutex> g(mutex_);
  return path_;
}

bool SerialResponder::Replug() {
  {
    std::lock_guard<std::mutex> g(mutex_);
    if (!unplugged_) return true;
  }
  Stop();
  auto pty = std::make_unique<PseudoTerminal>();
  if (!pty->ok()) return false;
  {
    std::lock_guard<std::mutex> w(writeMutex_);
    std::lock_guard<std::mutex> g(mutex_);
    pty_ = std::move(pty);
    path_ = pty_->DevicePath();
    unplugged_ = false;
    unplugRequested_ = false;
  }
  pending_.clear();
  return Start();
}

SerialResponder::~SerialResponder() {
  Stop();
  if (wake_ >= 0) ::close(wake_);
}

bool SerialResponder::Start() {
  if (!pty_->ok() || wake_ < 0 || thread_.joinable()) return false;
  {
    std::lock_guard<std::mutex> g(mutex_);
    if (unplugged_) return false;
    stopping_ = false;
    running_ = true;
  }
  thread_ = std::thread([this] { Run(); });
  return true;
}

void SerialResponder::Stop() {
  {
    std::lock_guard<std::mutex> g(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  Wake();
  if (thread_.joinable()) thread_.join();
}

void SerialResponder::SetReply(const std::string& request, const std::string& reply) {
  std::lock_guard<std::mutex> g(mutex_);
  replies_[request] = reply;
}

void SerialResponder::QueueReply(const std::string& reply) {
  std::lock_guard<std::mutex> g(mutex_);
  queued_.push_back(reply);
}

void SerialResponder::SetMode(ReplyMode mode) {
  std::lock_guard<std::mutex> g(mutex_);
  mode_ = mode;
}

void SerialResponder::SetPartialLength(std::size_t bytes) {
  std::lock_guard<std::mutex> g(mutex_);
  partialLength_ = bytes;
}

void SerialResponder::SetGarbage(const std::string& pattern) {
  std::lock_guard<std::mutex> g(mutex_);
  garbage_ = pattern.empty() ? kDefaultGarbage : pattern;
}

void SerialResponder::SetDelay(Milliseconds delay) {
  std::lock_guard<std::mutex> g(mutex_);
  delay_ = delay;
}

void SerialResponder::SetBursts(std::size_t firstBytes, Milliseconds gap) {
  std::lock_guard<std::mutex> g(mutex_);
  burstFirst_ = firstBytes;
  burstGap_ = gap;
}

void SerialResponder::Unplug() {
  std::unique_lock<std::mutex> g(mutex_);
  if (unplugged_) return;
  if (!running_) {
    CloseLine();
    return;
  }
  // The responder thread owns the simulator's end while it runs; it closes
  // it at its next turn, or as it ends.
  unplugRequested_ = true;
  changed_.notify_all();
  g.unlock();
  Wake();
  g.lock();
  changed_.wait(g, [this] { return unplugged_; });
}

bool SerialResponder::IsUnplugged() const {
  std::lock_guard<std::mutex> g(mutex_);
  return unplugged_;
}

std::string SerialResponder::Received() const {
  std::lock_guard<std::mutex> g(mutex_);
  return received_;
}

std::vector<std::string> SerialResponder::Requests() const {
  std::lock_guard<std::mutex> g(mutex_);
  return requests_;
}

bool SerialResponder::WaitForRequests(std::size_t count, Milliseconds timeout) const {
  std::unique_lock<std::mutex> g(mutex_);
  return changed_.wait_for(g, timeout, [&] { return requestCount_ >= count; });
}

void SerialResponder::KeepReceived(bool keep) {
  std::lock_guard<std::mutex> g(mutex_);
  keepReceived_ = keep;
}

std::optional<std::string> SerialResponder::Answer(const std::string&) { return std::nullopt; }

std::optional<std::string> SerialResponder::NextRequest(std::string& pending) {
  if (framing_ == Framing::Line) {
    const std::size_t end = pending.find('\r');
    if (end == std::string::npos) return std::nullopt;
    std::string request = pending.substr(0, end);
    pending.erase(0, end + 1);
    return request;
  }
  // Frames: drop whatever precedes a delimiter; two delimiters in a row are
  // the end of one frame and the start of the next, so the first is dropped.
  std::size_t start = pending.find(kFrameDelimiter);
  if (start == std::string::npos) {
    pending.clear();
    return std::nullopt;
  }
  while (start + 1 < pending.size() && pending[start + 1] == kFrameDelimiter) ++start;
  pending.erase(0, start);
  const std::size_t end = pending.find(kFrameDelimiter, 1);
  if (end == std::string::npos) return std::nullopt;
  std::string request = pending.substr(0, end + 1);
  pending.erase(0, end + 1);
  return request;
}

void SerialResponder::CloseLine() {
  pty_->Close();
  unplugged_ = true;
  unplugRequested_ = false;
  changed_.notify_all();
}

void SerialResponder::Wake() {
  const std::uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(wake_, &one, sizeof one);
}

void SerialResponder::Run() {
  for (;;) {
    {
      std::lock_guard<std::mutex> g(mutex_);
      if (unplugRequested_) CloseLine();
      if (stopping_) {
        running_ = false;
        changed_.notify_all();
        return;
      }
    }
    const int master = pty_->MasterFd();
    pollfd fds[2] = {{master, POLLIN, 0}, {wake_, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0 && errno != EINTR) {
      // Nothing to wait on any more: only a stop or an unplug can follow.
      std::unique_lock<std::mutex> g(mutex_);
      changed_.wait(g, [this] { return stopping_ || unplugRequested_; });
      continue;
    }
    if (fds[1].revents & POLLIN) {
      std::uint64_t value = 0;
      [[maybe_unused]] ssize_t n = ::read(wake_, &value, sizeof value);
    }
    if (master < 0 || !(fds[0].revents & POLLIN)) continue;

    char buffer[4096];
    const ssize_t n = ::read(master, buffer, sizeof buffer);
    if (n <= 0) continue;
    {
      std::lock_guard<std::mutex> g(mutex_);
      if (keepReceived_) received_.append(buffer, static_cast<std::size_t>(n));
    }
    changed_.notify_all();
    pending_.append(buffer, static_cast<std::size_t>(n));
    while (auto request = NextRequest(pending_)) {
      {
        std::lock_guard<std::mutex> g(mutex_);
        if (keepReceived_) requests_.push_back(*request);
        ++requestCount_;
      }
      changed_.notify_all();
      Handle(*request);
      std::lock_guard<std::mutex> g(mutex_);
      if (stopping_ || unplugged_ || unplugRequested_) break;
    }
  }
}

void SerialResponder::Handle(const std::string& request) {
  std::optional<std::string> reply;
  ReplyMode mode;
  std::optional<std::size_t> partial;
  std::string garbage;
  Milliseconds delay, gap;
  std::size_t first;
  {
    std::lock_guard<std::mutex> g(mutex_);
    if (!queued_.empty()) {
      reply = queued_.front();
      queued_.pop_front();
    } else if (auto it = replies_.find(request); it != replies_.end()) {
      reply = it->second;
    }
    mode = mode_;
    partial = partialLength_;
    garbage = garbage_;
    delay = delay_;
    gap = burstGap_;
    first = burstFirst_;
    if (mode == ReplyMode::Unplug) {
      CloseLine();
      return;
    }
  }
  if (!reply) reply = Answer(request);
  if (!reply || mode == ReplyMode::Silent) return;

  std::string bytes = *reply;
  if (mode == ReplyMode::Partial) bytes.resize(std::min(partial.value_or(bytes.size() / 2), bytes.size()));
  if (mode == ReplyMode::Garbage)
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = garbage[i % garbage.size()];

  if (delay.count() > 0 && !Pause(delay)) return;
  if (first > 0 && first < bytes.size()) {
    if (!WriteAll(bytes.substr(0, first)) || !Pause(gap)) return;
    WriteAll(bytes.substr(first));
  } else {
    WriteAll(bytes);
  }
}

bool SerialResponder::Pause(Milliseconds d) {
  std::unique_lock<std::mutex> g(mutex_);
  return !changed_.wait_for(g, d, [this] { return stopping_ || unplugRequested_; });
}

bool SerialResponder::Push(const std::string& bytes) { return !IsUnplugged() && WriteAll(bytes); }

bool SerialResponder::WriteAll(const std::string& bytes) {
  // Replies and pushed bytes each go out whole, never one inside the other.
  std::lock_guard<std::mutex> g(writeMutex_);
  const int master = pty_->MasterFd();
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(master, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return false;
    // The driver is not reading: wait a little for room, then give up.
    pollfd p{master, POLLOUT, 0};
    if (::poll(&p, 1, kWriteWaitMs) <= 0) return false;
  }
  return true;
}

}  // namespace ORV::Sim
