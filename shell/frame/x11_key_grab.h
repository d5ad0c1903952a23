#pragma once
// F1 to F12 grabbed on the root window of an X11 display: the X server then
// sends their presses to this program whatever window has the focus. Each
// key is grabbed with and without Num Lock and Caps Lock, and without other
// modifiers. A press that reaches one of the program's own windows is left
// to the window (its shortcut); one reported on the root window, that is
// while another program has the focus, is this grab's.
#include <cstdint>
#include <functional>
#include <vector>

struct xcb_connection_t;

namespace ORV {

class X11KeyGrab {
 public:
  // On `connection` (not owned) and its screen's `root` window; `pressed`
  // gets k for F(k + 1).
  X11KeyGrab(xcb_connection_t* connection, std::uint32_t root, std::function<void(int)> pressed);
  ~X11KeyGrab();
  X11KeyGrab(const X11KeyGrab&) = delete;
  X11KeyGrab& operator=(const X11KeyGrab&) = delete;

  // False when the key has no key code on this keyboard or another client
  // holds it.
  bool Grab(int key);
  void Release(int key);
  // An event read from the connection (an xcb_generic_event_t); true when
  // it was the press of a grabbed key on the root window, which is then
  // handled.
  bool HandleEvent(const void* event);
  // The key code of F(k + 1) on this keyboard; 0 when it has none.
  std::uint8_t Keycode(int key) const;

 private:
  void Ungrab(std::uint8_t code);

  xcb_connection_t* connection_;
  std::uint32_t root_;
  std::function<void(int)> pressed_;
  std::vector<std::uint8_t> keycodes_;  // per key; 0 where there is none
  std::vector<bool> grabbed_;
};

}  // namespace ORV
