#include "platform/com/events.h"

#include <algorithm>

namespace ORV::Com {

ConnectionPoint::~ConnectionPoint() {
  std::vector<std::shared_ptr<Connection>> all;
  {
    std::lock_guard lock(mutex_);
    all.swap(connections_);
  }
  for (auto& c : all) {
    Unlink(*c);
    Disconnect(*c);
  }
}

ConnectionPoint::Cookie ConnectionPoint::Advise(IDispatch* sink, std::shared_ptr<ConnectionLink> link) {
  if (!sink) return 0;
  auto c = std::make_shared<Connection>();
  c->sink = sink;
  // A link's mutex is always taken before the list's (as its Disconnect does).
  std::unique_lock<std::mutex> linkLock;
  if (link) linkLock = std::unique_lock(link->mutex_);
  std::lock_guard lock(mutex_);
  c->cookie = nextCookie_++;
  if (nextCookie_ == 0) nextCookie_ = 1;
  if (link) {
    link->point_ = this;
    link->cookie_ = c->cookie;
    c->link = std::move(link);
  }
  connections_.push_back(c);
  return c->cookie;
}

bool ConnectionPoint::Unadvise(Cookie cookie) {
  const auto found = Remove(cookie);
  if (!found) return false;
  Unlink(*found);
  Disconnect(*found);
  return true;
}

std::shared_ptr<ConnectionPoint::Connection> ConnectionPoint::Remove(Cookie cookie) {
  std::lock_guard lock(mutex_);
  auto it =
      std::find_if(connections_.begin(), connections_.end(), [cookie](const auto& c) { return c->cookie == cookie; });
  if (it == connections_.end()) return nullptr;
  auto found = *it;
  connections_.erase(it);
  return found;
}

void ConnectionPoint::Unlink(Connection& c) {
  if (!c.link) return;
  std::lock_guard lock(c.link->mutex_);
  c.link->point_ = nullptr;
}

void ConnectionLink::Disconnect() {
  // Held through the disconnection: the point's destructor waits here, so
  // the point stays alive while this thread uses it.
  std::lock_guard lock(mutex_);
  if (!point_) return;
  if (const auto found = point_->Remove(cookie_)) ConnectionPoint::Disconnect(*found);
  point_ = nullptr;
}

bool ConnectionLink::Connected() const {
  std::lock_guard lock(mutex_);
  return point_ != nullptr;
}

void ConnectionPoint::Disconnect(Connection& c) {
  const auto self = std::this_thread::get_id();
  std::unique_lock lock(c.mutex);
  c.connected = false;
  // Wait for calls on other threads; a call on this thread is the caller's own.
  c.idle.wait(lock,
              [&] { return std::all_of(c.callers.begin(), c.callers.end(), [&](auto id) { return id == self; }); });
}

std::size_t ConnectionPoint::SinkCount() const {
  std::lock_guard lock(mutex_);
  return connections_.size();
}

void ConnectionPoint::FireArgs(DISPID dispid, std::span<const Variant> args) {
  std::vector<std::shared_ptr<Connection>> snapshot;
  {
    std::lock_guard lock(mutex_);
    snapshot = connections_;
  }
  const auto self = std::this_thread::get_id();
  for (const auto& c : snapshot) {
    {
      std::lock_guard lock(c->mutex);
      if (!c->connected) continue;
      c->callers.push_back(self);
    }
    // Leaves the sink even when the sink throws (a failure reported in tests).
    struct Leave {
      Connection& c;
      std::thread::id self;
      ~Leave() {
        std::lock_guard lock(c.mutex);
        c.callers.erase(std::find(c.callers.begin(), c.callers.end(), self));
        c.idle.notify_all();
      }
    } leave{*c, self};
    c->sink->Invoke(dispid, DISPATCH_METHOD, args, nullptr);
  }
}

}  // namespace ORV::Com
