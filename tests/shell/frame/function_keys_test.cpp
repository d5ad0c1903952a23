// F1-F12 as the frame's hot keys: application-wide shortcuts, a system-wide
// grab where the display server allows one (a fake here, and the X11 grab on
// a private X server when one can be started), otherwise one log entry.
#include "shell/frame/function_keys.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QShortcut>
#include <QWidget>
#include <cstdlib>
#include <set>

#include "shell/frame/main_frame.h"
#include "shell/frame/x11_key_grab.h"
#include "shell/frame_plan.h"
#include "tests/support/test_support.h"
#include "tests/support/ui/ui_test_support.h"

extern char** environ;

namespace ORV {
namespace {

class Target final : public OS::MessageTarget {
 public:
  bool PostMessage(std::uint32_t message, OS::WPARAM w, OS::LPARAM) override {
    if (message == WM_HOTKEY) ids.push_back(static_cast<int>(w));
    return true;
  }
  std::vector<int> ids;
};

class FakeGrab final : public GlobalKeyGrab {
 public:
  explicit FakeGrab(std::set<int> refused) : refused_(std::move(refused)) {}
  bool Grab(int key) override {
    if (refused_.count(key)) return false;
    grabbed.insert(key);
    return true;
  }
  void Release(int key) override { grabbed.erase(key); }
  std::set<int> grabbed;

 private:
  std::set<int> refused_;
};

TEST(FunctionKeys, ShortcutsEverywhereAndTheSystemWideGrabPostsTheKeysId) {
  ORV::Test::MemoryEventLog log;
  QWidget window;
  auto target = std::make_shared<Target>();
  FakeGrab* grab = nullptr;
  std::function<void(int)> press;
  int grabsMade = 0;
  {
    FunctionKeys keys([&](std::function<void(int)> pressed) {
      ++grabsMade;
      press = std::move(pressed);
      auto made = std::make_unique<FakeGrab>(std::set<int>{7});
      grab = made.get();
      return made;
    });
    for (int k = 0; k < 12; ++k) ASSERT_TRUE(keys.Register(&window, target, IDHOT_F1 + k, k));
    EXPECT_FALSE(keys.Register(&window, target, 1, 12));
    EXPECT_FALSE(keys.Register(nullptr, target, 2, 0));
    EXPECT_EQ(grabsMade, 1);
    EXPECT_EQ(window.findChildren<QShortcut*>().size(), 12);
    ASSERT_NE(grab, nullptr);
    EXPECT_EQ(grab->grabbed.size(), 11u);
    // F8 is held by another program: said once, its shortcut still works.
    EXPECT_NE(log.Dump().find("F8 is held by another program"), std::string::npos) << log.Dump();

    // F5 pressed while another program has the focus.
    press(4);
    EXPECT_EQ(target->ids, std::vector<int>{IDHOT_F1 + 4});
    // F5's shortcut inside the program.
    window.findChildren<QShortcut*>()[4]->activated();
    EXPECT_EQ(target->ids.back(), IDHOT_F1 + 4);

    keys.Unregister(IDHOT_F1 + 4);
    EXPECT_FALSE(keys.Registered(IDHOT_F1 + 4));
    EXPECT_EQ(grab->grabbed.count(4), 0u);
    press(4);
    EXPECT_EQ(target->ids.size(), 2u);
  }
  EXPECT_TRUE(window.findChildren<QShortcut*>().isEmpty());
}

TEST(FunctionKeys, WithoutASystemWideGrabSaysSoOnce) {
  ORV::Test::MemoryEventLog log;
  QWidget window;
  auto target = std::make_shared<Target>();
  FunctionKeys keys([](std::function<void(int)>) { return std::unique_ptr<GlobalKeyGrab>(); });
  for (int k = 0; k < 12; ++k) ASSERT_TRUE(keys.Register(&window, target, IDHOT_F1 + k, k));
  ASSERT_EQ(log.backend().Entries().size(), 1u) << log.Dump();
  EXPECT_NE(log.Dump().find("allows no system-wide keys"), std::string::npos) << log.Dump();
  // The off-screen test platform is such a display server.
  EXPECT_EQ(MakeGlobalKeyGrab([](int) {}), nullptr);
}

// A private X server for the X11 grab; none when Xvfb cannot be started. The
// server picks a free display and names it when it takes connections.
class PrivateXServer {
 public:
  PrivateXServer() {
    int fds[2];
    if (pipe(fds) != 0) return;
    std::vector<std::string> args{"Xvfb", "-displayfd", std::to_string(fds[1]), "-nolisten", "tcp", "-screen",
                                  "0",    "640x480x24"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawnp(&pid_, "Xvfb", nullptr, nullptr, argv.data(), environ) != 0) pid_ = 0;
    close(fds[1]);
    std::string number;
    pollfd readable{fds[0], POLLIN, 0};
    char ch = 0;
    // Bounded wait for the display's number, ended by a new line.
    while (pid_ != 0 && poll(&readable, 1, 20000) == 1 && read(fds[0], &ch, 1) == 1 && ch != '\n') number += ch;
    close(fds[0]);
    if (!number.empty()) display_ = ":" + number;
  }
  ~PrivateXServer() {
    if (pid_ == 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
  const std::string& Display() const { return display_; }
  bool Running() const { return pid_ != 0 && !display_.empty(); }

 private:
  std::string display_;
  pid_t pid_ = 0;
};

xcb_window_t RootOf(xcb_connection_t* c) { return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root; }

TEST(X11KeyGrab, HoldsTheKeysForTheWholeDisplayAndTakesTheirPressesOnTheRoot) {
  PrivateXServer server;
  if (!server.Running()) GTEST_SKIP() << "no Xvfb to start";
  xcb_connection_t* program = xcb_connect(server.Display().c_str(), nullptr);
  xcb_connection_t* other = xcb_connect(server.Display().c_str(), nullptr);
  ASSERT_EQ(xcb_connection_has_error(program), 0);
  ASSERT_EQ(xcb_connection_has_error(other), 0);
  const xcb_window_t root = RootOf(program);
  std::vector<int> pressed;
  {
    X11KeyGrab grab(program, root, [&](int key) { pressed.push_back(key); });
    ASSERT_NE(grab.Keycode(4), 0) << "F5 on the server's keyboard";
    ASSERT_TRUE(grab.Grab(4));

    // Another client cannot take F5 now, nor F5 with Num Lock.
    auto otherGrab = [&](std::uint16_t modifiers) {
      xcb_generic_error_t* error =
          xcb_request_check(other, xcb_grab_key_checked(other, 1, RootOf(other), modifiers, grab.Keycode(4),
                                                        XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
      const int code = error ? error->error_code : 0;
      std::free(error);
      return code;
    };
    EXPECT_EQ(otherGrab(0), 10) << "BadAccess";
    EXPECT_EQ(otherGrab(XCB_MOD_MASK_2), 10) << "BadAccess";

    // A press reported on the root window is the grab's; one on a window
    // of the program is left to the window.
    xcb_key_press_event_t press{};
    press.response_type = XCB_KEY_PRESS;
    press.detail = grab.Keycode(4);
    press.root = root;
    press.event = root;
    EXPECT_TRUE(grab.HandleEvent(&press));
    press.event = root + 1;
    EXPECT_FALSE(grab.HandleEvent(&press));
    press.event = root;
    press.detail = grab.Keycode(5);
    EXPECT_FALSE(grab.HandleEvent(&press)) << "F6 is not grabbed";
    EXPECT_EQ(pressed, std::vector<int>{4});

    // Released, the other client may take it.
    grab.Release(4);
    EXPECT_EQ(otherGrab(0), 0);
    // Held by the other client, the grab reports it cannot have it.
    EXPECT_FALSE(grab.Grab(4));
  }
  xcb_disconnect(other);
  xcb_disconnect(program);
}

}  // namespace
}  // namespace ORV
