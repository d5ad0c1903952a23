#pragma once
// A control's outgoing events: the sinks connected to it, and the firing.
//
// A sink is any IDispatch; an event is a DISPATCH_METHOD call of the event's
// DISPID on every connected sink, in the order the sinks were connected, on
// the thread that fires (a worker, a camera thread, the UI thread). A host
// that must handle an event on its UI thread posts it there itself.
//
// Host side, with the handlers in a table of the host class:
//
//   static const DispatchTable<TraceView>& Events() { ... t.Method(1, "CursorPosition",
//       &TraceView::OnCursorPosition); ... }        // void (double x, double y)
//   EventSink<TraceView> sink_{*this, Events()};
//   SinkConnection connection_{*control, &sink_};   // control.h
//
// The firing ignores what a sink returns. EventSink ignores events its table
// lacks and reports any other failure (an argument of the wrong type) through
// ReportDispatchFailure, so a mismatch throws in tests; it is reported on the
// host's side, whose event log is the program's.
//
// Disconnecting is safe at any time, also from inside a handler and from
// another thread while an event is being fired: once Unadvise returns, the
// sink is not called again and no call is running in it, except a call on
// the disconnecting thread itself (a handler that disconnects its own sink
// finishes normally). A handler must therefore not wait for a thread that
// is disconnecting its sink.
//
// A host that may outlive the control connects with a ConnectionLink (as
// SinkConnection in control.h does): the connection point clears the link
// when it goes, so disconnecting after the control was destroyed does
// nothing instead of calling into a freed object.
#include <array>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "platform/com/dispatch.h"

namespace ORV::Com {

template <class C>
class EventSink final : public IDispatch {
 public:
  EventSink(C& host, const DispatchTable<C>& table) : host_(host), table_(table) {}
  HRESULT Invoke(DISPID dispid, unsigned kind, std::span<const Variant> args, Variant* result) override {
    const HRESULT hr = table_.Invoke(host_, dispid, kind, args, result);
    if (Failed(hr) && hr != DISP_E_MEMBERNOTFOUND) ReportDispatchFailure(hr, dispid, "Event");
    return hr;
  }

 private:
  C& host_;
  const DispatchTable<C>& table_;
};

class ConnectionPoint;

// The host's handle on one connection, shared with the connection point.
// The host allocates it, so it never depends on code of a control library
// that may be unloaded once its controls are gone.
class ConnectionLink {
 public:
  // Disconnects the sink, or does nothing when the connection point is gone
  // or the sink was disconnected already. Waits as Unadvise does.
  void Disconnect();
  bool Connected() const;

 private:
  friend class ConnectionPoint;
  mutable std::mutex mutex_;
  ConnectionPoint* point_ = nullptr;  // null once disconnected or gone
  std::uint32_t cookie_ = 0;
};

class ConnectionPoint {
 public:
  using Cookie = std::uint32_t;

  ConnectionPoint() = default;
  // Disconnects every sink (waiting for calls running on other threads).
  ~ConnectionPoint();
  ConnectionPoint(const ConnectionPoint&) = delete;
  ConnectionPoint& operator=(const ConnectionPoint&) = delete;

  // Connects a sink; its cookie (never 0), or 0 for a null sink. A link,
  // when given, follows the connection (see ConnectionLink).
  Cookie Advise(IDispatch* sink, std::shared_ptr<ConnectionLink> link = nullptr);
  // Disconnects; false for an unknown cookie.
  bool Unadvise(Cookie cookie);
  std::size_t SinkCount() const;

  // Fires event `dispid` with the arguments (C++ values, as in Variant).
  template <class... A>
  void Fire(DISPID dispid, A&&... args) {
    const std::array<Variant, sizeof...(A)> list{Variant(std::forward<A>(args))...};
    FireArgs(dispid, list);
  }
  void FireArgs(DISPID dispid, std::span<const Variant> args);

 private:
  friend class ConnectionLink;
  struct Connection {
    Cookie cookie = 0;
    IDispatch* sink = nullptr;
    std::shared_ptr<ConnectionLink> link;
    std::mutex mutex;
    std::condition_variable idle;
    bool connected = true;
    std::vector<std::thread::id> callers;  // threads inside the sink now
  };
  static void Disconnect(Connection& c);
  // Takes the connection out of the list; null for an unknown cookie.
  std::shared_ptr<Connection> Remove(Cookie cookie);
  // Clears the connection's link, so its host no longer reaches this point.
  static void Unlink(Connection& c);

  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<Connection>> connections_;
  Cookie nextCookie_ = 1;
};

}  // namespace ORV::Com
