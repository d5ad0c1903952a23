#pragma once
// The function keys F1 to F12 as the frame's hot keys: each is an
// application-wide shortcut and, where the display server allows it, also
// grabbed for the whole desktop, so that it marks the experiment while
// another program has the focus. Either way a press posts WM_HOTKEY with
// the key's id to the frame. Where no system-wide grab is possible (an
// off-screen or Wayland session) that is logged once. GUI thread.
#include <functional>
#include <map>
#include <memory>

#include "platform/os/message_target.h"

class QShortcut;
class QWidget;

namespace ORV {

// A system-wide grab of the function keys; key k (0-11) is F(k + 1).
class GlobalKeyGrab {
 public:
  virtual ~GlobalKeyGrab() = default;
  // False when the key cannot be grabbed (another program holds it).
  virtual bool Grab(int key) = 0;
  virtual void Release(int key) = 0;
};

// The grab of the display server the program runs on, calling `pressed`
// with the key when a grabbed key is pressed while another program has the
// focus; null where the display server allows no such grab.
std::unique_ptr<GlobalKeyGrab> MakeGlobalKeyGrab(std::function<void(int)> pressed);

class FunctionKeys {
 public:
  // `makeGrab` makes the system-wide grab for a callback (MakeGlobalKeyGrab
  // in the program); it may return null.
  using GrabMaker = std::function<std::unique_ptr<GlobalKeyGrab>(std::function<void(int)>)>;
  explicit FunctionKeys(GrabMaker makeGrab = MakeGlobalKeyGrab);
  ~FunctionKeys();
  FunctionKeys(const FunctionKeys&) = delete;
  FunctionKeys& operator=(const FunctionKeys&) = delete;

  // Key k (0-11) posts WM_HOTKEY (id) to `target`; its shortcut lives on
  // `window`. False for a key outside F1-F12 or without a window.
  bool Register(QWidget* window, std::shared_ptr<OS::MessageTarget> target, int id, int key);
  void Unregister(int id);
  bool Registered(int id) const { return keys_.count(id) != 0; }

 private:
  struct Key {
    int key = 0;
    QShortcut* shortcut = nullptr;
    std::shared_ptr<OS::MessageTarget> target;
    bool grabbed = false;
  };
  void Pressed(int key);

  GrabMaker makeGrab_;
  std::unique_ptr<GlobalKeyGrab> grab_;
  bool grabTried_ = false;
  std::map<int, Key> keys_;
};

}  // namespace ORV
