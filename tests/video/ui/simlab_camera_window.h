#pragma once
// Pieces shared by the tests that run the real analysis control on a camera
// of the simulated lab inside a camera window: an experiment clock, and
// zones drawn with the mouse on the control's widget.
#include <QApplication>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <chrono>
#include <cstdint>

#include "core/storage/relative_time.h"

namespace ORV::Test {

// An experiment clock: milliseconds since it was made; it runs, as during
// a data collection (the control records frames only then), while `running`
// is set.
class TestClock final : public RelativeTime::Interface {
 public:
  void Start() override {}
  void Pause() override {}
  void Stop() override {}
  void CloseStore() override {}
  void OpenStore(const std::optional<std::string>&) override {}
  std::uint32_t Now() override {
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_).count());
  }
  std::uint32_t Elapsed() override { return Now(); }
  bool IsRunning() override { return running.load(); }
  void Subscribe(const std::shared_ptr<RelativeTime::SubscriberEvent>&) override {}
  std::atomic<bool> running{false};

 private:
  const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// Presses at `from`, moves to `to` and releases there, on the control's own
// widget; the press comes from a timer so the control's drag loop takes the
// queued moves.
inline void DragOnControl(QWidget* w, QPointF from, QPointF to) {
  QTimer::singleShot(0, w, [w, from, to] {
    for (QPointF at : {(from + to) / 2, to})
      QCoreApplication::postEvent(
          w, new QMouseEvent(QEvent::MouseMove, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, {}));
    QCoreApplication::postEvent(
        w, new QMouseEvent(QEvent::MouseButtonRelease, to, w->mapToGlobal(to), Qt::LeftButton, Qt::NoButton, {}));
    QMouseEvent press(QEvent::MouseButtonPress, from, w->mapToGlobal(from), Qt::LeftButton, Qt::LeftButton, {});
    QApplication::sendEvent(w, &press);
  });
}

}  // namespace ORV::Test
