#include "instruments/sample_delivery.h"

namespace ORV {

bool SampleInbox::PostSample(std::uint32_t kind, const SampleRecord& record) {
  if (!target_) return false;
  // The copy is queued and the message posted under one lock, so the order
  // of the copies is the order of the messages even with several workers.
  std::lock_guard lock(mutex_);
  const OS::LPARAM ticket = next_++;
  pending_.emplace_back(ticket, record);
  if (pending_.size() > kMaxPending) pending_.pop_front();
  if (target_->PostMessage(WM_NEW_SAMPLE, kind, ticket)) return true;
  if (!pending_.empty() && pending_.back().first == ticket) pending_.pop_back();
  return false;
}

bool SampleInbox::Post(std::uint32_t message, OS::WPARAM wParam, OS::LPARAM lParam) {
  if (!target_) return false;
  std::lock_guard lock(mutex_);
  return target_->PostMessage(message, wParam, lParam);
}

std::optional<SampleRecord> SampleInbox::TakeRecord(OS::LPARAM ticket) {
  if (ticket <= 0) return std::nullopt;
  std::lock_guard lock(mutex_);
  while (!pending_.empty() && pending_.front().first < ticket) pending_.pop_front();
  if (pending_.empty() || pending_.front().first != ticket) return std::nullopt;
  SampleRecord record = std::move(pending_.front().second);
  pending_.pop_front();
  return record;
}

std::size_t SampleInbox::Pending() const {
  std::lock_guard lock(mutex_);
  return pending_.size();
}

bool PostToAll(const std::vector<std::shared_ptr<SampleInbox>>& listeners, std::uint32_t kind,
               const SampleRecord& record) {
  bool posted = true;
  for (const auto& listener : listeners) posted = listener && listener->PostSample(kind, record);
  return posted;
}

}  // namespace ORV
