#pragma once
// A user-interface dispatcher bound to one object and its thread.
//
// The process's dispatcher (core/threading/ui_dispatcher.h) is installed by
// the application; a control library loaded at run time carries its own copy
// of that setting, which nobody sets. A control therefore hands its engine
// one of these, made on its own thread for one of its own objects: calls run
// on that object's thread, in the order they were posted, while the object
// lives. Once it is destroyed, Post refuses (the call is dropped) and calls
// still queued never run.
#include <QObject>
#include <QThread>
#include <functional>
#include <memory>

#include "core/threading/ui_dispatcher.h"

namespace ORV::UI {

class ObjectDispatcher final : public Threading::UiDispatcher {
 public:
  // Made on `owner`'s thread; `owner` may be destroyed before the dispatcher.
  explicit ObjectDispatcher(QObject* owner);

  bool Post(std::function<void()> call) override;
  bool IsUiThread() const override;

 private:
  struct Mailbox;
  std::shared_ptr<Mailbox> mailbox_;
  QThread* thread_ = nullptr;
};

}  // namespace ORV::UI
