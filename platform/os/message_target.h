#pragma once
// Posted window messages without a GUI: the (message, wParam, lParam) triple
// and the interface of anything that accepts one from any thread.
//
// A producer thread (a sampling worker, the hot-plug monitor) keeps a
// std::shared_ptr<MessageTarget> of each listener. A window of the user
// interface hands out such a target and closes it when it is destroyed, so a
// post to a window that is gone fails instead of touching freed memory; in
// headless code and tests any object may implement the interface.
#include <cstdint>

namespace ORV::OS {

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

// First numbers of the private message ranges.
inline constexpr std::uint32_t WM_USER = 0x0400;
inline constexpr std::uint32_t WM_APP = 0x8000;

// The thread message that carries a call to run on the user-interface thread
// (WM_APP + 901).
inline constexpr std::uint32_t WM_RUN_ON_UI_THREAD = WM_APP + 0x385;

class MessageTarget {
 public:
  virtual ~MessageTarget() = default;
  // Queues the message for the receiver and returns at once; false when the
  // receiver no longer exists. Safe to call from any thread.
  virtual bool PostMessage(std::uint32_t message, WPARAM wParam, LPARAM lParam) = 0;
};

}  // namespace ORV::OS
