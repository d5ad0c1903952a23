#include "shell/frame/function_keys.h"

#include <xcb/xcb.h>

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeySequence>
#include <QShortcut>
#include <QWidget>

#include "core/base/event_log.h"
#include "shell/frame/main_frame.h"
#include "shell/frame/x11_key_grab.h"

namespace ORV {
namespace {

// The X11 grab on the connection of the program's own windows, fed from the
// application's event loop.
class QtX11KeyGrab final : public GlobalKeyGrab, public QAbstractNativeEventFilter {
 public:
  QtX11KeyGrab(xcb_connection_t* connection, xcb_window_t root, std::function<void(int)> pressed)
      : grab_(connection, root, std::move(pressed)) {
    QCoreApplication::instance()->installNativeEventFilter(this);
  }
  ~QtX11KeyGrab() override {
    if (QCoreApplication* app = QCoreApplication::instance()) app->removeNativeEventFilter(this);
  }
  bool Grab(int key) override { return grab_.Grab(key); }
  void Release(int key) override { grab_.Release(key); }
  bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
    return type == "xcb_generic_event_t" && grab_.HandleEvent(message);
  }

 private:
  X11KeyGrab grab_;
};

}  // namespace

std::unique_ptr<GlobalKeyGrab> MakeGlobalKeyGrab(std::function<void(int)> pressed) {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
  if (!connection) return nullptr;
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
  if (!screen) return nullptr;
  return std::make_unique<QtX11KeyGrab>(connection, screen->root, std::move(pressed));
}

FunctionKeys::FunctionKeys(GrabMaker makeGrab) : makeGrab_(std::move(makeGrab)) {}

FunctionKeys::~FunctionKeys() {
  while (!keys_.empty()) Unregister(keys_.begin()->first);
}

bool FunctionKeys::Register(QWidget* window, std::shared_ptr<OS::MessageTarget> target, int id, int key) {
  if (!window || key < 0 || key >= kFunctionKeys) return false;
  Unregister(id);
  Key& entry = keys_[id];
  entry.key = key;
  entry.target = target;
  entry.shortcut = new QShortcut(QKeySequence(Qt::Key_F1 + key), window);
  entry.shortcut->setContext(Qt::ApplicationShortcut);
  QObject::connect(entry.shortcut, &QShortcut::activated, entry.shortcut,
                   [target, id] { target->PostMessage(WM_HOTKEY, static_cast<OS::WPARAM>(id), 0); });

  if (!grabTried_) {
    grabTried_ = true;
    if (makeGrab_) grab_ = makeGrab_([this](int pressed) { Pressed(pressed); });
    if (!grab_) {
      LogError("CMainFrame::OnCreate() - the display server (" + QGuiApplication::platformName().toStdString() +
               ") allows no system-wide keys: F1-F12 mark only while the program has the focus");
    }
  }
  if (grab_) {
    entry.grabbed = grab_->Grab(key);
    if (!entry.grabbed)
      LogError("CMainFrame::OnCreate() - F" + std::to_string(key + 1) +
               " is held by another program: it marks only while the program has the focus");
  }
  return true;
}

void FunctionKeys::Unregister(int id) {
  auto it = keys_.find(id);
  if (it == keys_.end()) return;
  if (it->second.grabbed && grab_) grab_->Release(it->second.key);
  delete it->second.shortcut;
  keys_.erase(it);
}

void FunctionKeys::Pressed(int key) {
  for (const auto& [id, entry] : keys_) {
    if (entry.key == key && entry.target) entry.target->PostMessage(WM_HOTKEY, static_cast<OS::WPARAM>(id), 0);
  }
}

}  // namespace ORV
