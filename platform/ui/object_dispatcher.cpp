#include "platform/ui/object_dispatcher.h"

#include <QMetaObject>
#include <mutex>
#include <utility>

namespace ORV::UI {

// The owner's child that the calls are queued to. Its address is forgotten,
// under the lock, as it is destroyed, so a worker never queues to a gone
// object; its queued calls go with it.
struct ObjectDispatcher::Mailbox {
  std::mutex mutex;
  QObject* receiver = nullptr;
};

ObjectDispatcher::ObjectDispatcher(QObject* owner) : mailbox_(std::make_shared<Mailbox>()) {
  if (!owner) return;
  thread_ = owner->thread();
  auto* receiver = new QObject(owner);
  mailbox_->receiver = receiver;
  QObject::connect(receiver, &QObject::destroyed, [mailbox = mailbox_] {
    std::lock_guard lock(mailbox->mutex);
    mailbox->receiver = nullptr;
  });
}

bool ObjectDispatcher::Post(std::function<void()> call) {
  if (!call) return false;
  std::lock_guard lock(mailbox_->mutex);
  if (!mailbox_->receiver) return false;
  return QMetaObject::invokeMethod(mailbox_->receiver, std::move(call), Qt::QueuedConnection);
}

bool ObjectDispatcher::IsUiThread() const { return thread_ != nullptr && QThread::currentThread() == thread_; }

}  // namespace ORV::UI
