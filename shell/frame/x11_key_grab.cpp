#include "shell/frame/x11_key_grab.h"

#include <xcb/xcb.h>

#include <cstdlib>

namespace ORV {
namespace {

constexpr int kKeys = 12;
constexpr xcb_keysym_t kKeysymF1 = 0xffbe;  // F2 .. F12 follow
// Without a modifier, and with Caps Lock, Num Lock (Mod2) or both.
constexpr std::uint16_t kLockVariants[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2, XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};

}  // namespace

X11KeyGrab::X11KeyGrab(xcb_connection_t* connection, std::uint32_t root, std::function<void(int)> pressed)
    : connection_(connection), root_(root), pressed_(std::move(pressed)), grabbed_(kKeys, false) {
  // The key codes of F1 .. F12 from the keyboard mapping, once.
  keycodes_.assign(kKeys, 0);
  const xcb_setup_t* setup = xcb_get_setup(connection_);
  const int first = setup->min_keycode;
  const int count = setup->max_keycode - setup->min_keycode + 1;
  xcb_get_keyboard_mapping_reply_t* mapping = xcb_get_keyboard_mapping_reply(
      connection_, xcb_get_keyboard_mapping(connection_, setup->min_keycode, static_cast<std::uint8_t>(count)),
      nullptr);
  if (!mapping) return;
  const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(mapping);
  const int perCode = mapping->keysyms_per_keycode;
  for (int code = 0; code < count; ++code) {
    for (int s = 0; s < perCode; ++s) {
      const xcb_keysym_t sym = syms[code * perCode + s];
      if (sym >= kKeysymF1 && sym < kKeysymF1 + kKeys && keycodes_[sym - kKeysymF1] == 0)
        keycodes_[sym - kKeysymF1] = static_cast<std::uint8_t>(first + code);
    }
  }
  std::free(mapping);
}

X11KeyGrab::~X11KeyGrab() {
  for (int key = 0; key < kKeys; ++key) Release(key);
}

std::uint8_t X11KeyGrab::Keycode(int key) const { return key >= 0 && key < kKeys ? keycodes_[key] : 0; }

bool X11KeyGrab::Grab(int key) {
  const std::uint8_t code = Keycode(key);
  if (code == 0) return false;
  bool ok = true;
  for (std::uint16_t modifiers : kLockVariants) {
    // Events go to the program's own window when it has the focus.
    xcb_generic_error_t* error = xcb_request_check(
        connection_,
        xcb_grab_key_checked(connection_, 1, root_, modifiers, code, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    if (error) {
      ok = false;
      std::free(error);
    }
  }
  if (!ok) {
    Ungrab(code);
    return false;
  }
  grabbed_[key] = true;
  return true;
}

void X11KeyGrab::Release(int key) {
  const std::uint8_t code = Keycode(key);
  if (code == 0 || !grabbed_[key]) return;
  Ungrab(code);
  grabbed_[key] = false;
}

void X11KeyGrab::Ungrab(std::uint8_t code) {
  // Checked, so that the server has let the key go when this returns.
  for (std::uint16_t modifiers : kLockVariants)
    std::free(xcb_request_check(connection_, xcb_ungrab_key_checked(connection_, code, root_, modifiers)));
}

bool X11KeyGrab::HandleEvent(const void* event) {
  const auto* generic = static_cast<const xcb_generic_event_t*>(event);
  if (!generic || (generic->response_type & 0x7f) != XCB_KEY_PRESS) return false;
  const auto* press = static_cast<const xcb_key_press_event_t*>(event);
  if (press->event != root_) return false;
  for (int key = 0; key < kKeys; ++key) {
    if (grabbed_[key] && keycodes_[key] == press->detail) {
      if (pressed_) pressed_(key);
      return true;
    }
  }
  return false;
}

}  // namespace ORV
