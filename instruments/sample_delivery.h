#pragma once
// How the sampling workers hand readings to the windows that listen.
//
// A worker posts WM_NEW_SAMPLE (kind, ticket) to each listener, the kind
// being the device type code (1, 2, 8, 16, 32), and WM_DEVICE_FAILED (kind,
// 0) to the main frame when it gives a pressure unit up.
//
// The reading itself never travels as a pointer into the worker, which
// rewrites its record every cycle: each listener is a SampleInbox that wraps
// the window's message target and keeps a copy of every reading posted to
// it. lParam is the copy's ticket; the window's WM_NEW_SAMPLE handler calls
// Take<record type>(lParam) and gets that copy, whenever it runs. Copies
// belong to the inbox, so a message that is never handled (the window went
// away with messages queued) loses nothing but its copy, which goes with the
// inbox. Tickets run up from 1; lParam 0 carries no copy (the single pressure
// interface posts (1, 0): its reading lies in the shared DataHolder).
//
// An inbox keeps at most kMaxPending copies: a window that does not take
// them (its thread blocked for a long time) loses the oldest, whose Take then
// finds nothing.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <variant>
#include <vector>

#include "instruments/records/instrument_records.h"
#include "platform/os/message_target.h"

namespace ORV {

// The device kind in wParam is the device type code; lParam 0.
inline constexpr std::uint32_t WM_DEVICE_FAILED = OS::WM_APP + 100;  // 0x8064
// wParam the device kind, lParam the ticket of the copy in the inbox.
inline constexpr std::uint32_t WM_NEW_SAMPLE = OS::WM_APP + 102;  // 0x8066

using SampleRecord = std::variant<PMK4xData3, FMASL1600Data, MicroscopeSample, HeatControllerSample>;

class SampleInbox {
 public:
  static constexpr std::size_t kMaxPending = 4096;

  explicit SampleInbox(std::shared_ptr<OS::MessageTarget> target) : target_(std::move(target)) {}
  SampleInbox(const SampleInbox&) = delete;
  SampleInbox& operator=(const SampleInbox&) = delete;

  // The worker's side (any thread). Keeps a copy of `record` and posts
  // WM_NEW_SAMPLE (kind, its ticket); false, keeping nothing, when the post
  // failed.
  bool PostSample(std::uint32_t kind, const SampleRecord& record);
  // Posts a message that carries no copy.
  bool Post(std::uint32_t message, OS::WPARAM wParam, OS::LPARAM lParam);

  // The window's side, in its WM_NEW_SAMPLE handler: the copy posted with
  // this ticket, when it is of type T. Copies of earlier tickets that were
  // never taken are dropped. Nothing for lParam 0, a ticket already taken or
  // dropped, or a record of another type.
  template <class T>
  std::optional<T> Take(OS::LPARAM ticket) {
    std::optional<SampleRecord> record = TakeRecord(ticket);
    if (!record) return std::nullopt;
    if (const T* value = std::get_if<T>(&*record)) return *value;
    return std::nullopt;
  }
  std::optional<SampleRecord> TakeRecord(OS::LPARAM ticket);

  std::size_t Pending() const;
  const std::shared_ptr<OS::MessageTarget>& Target() const { return target_; }

 private:
  const std::shared_ptr<OS::MessageTarget> target_;
  mutable std::mutex mutex_;
  std::deque<std::pair<OS::LPARAM, SampleRecord>> pending_;
  OS::LPARAM next_ = 1;
};

// Posts the reading to every inbox, in order; the result of the last post
// (true when there was none).
bool PostToAll(const std::vector<std::shared_ptr<SampleInbox>>& listeners, std::uint32_t kind,
               const SampleRecord& record);

}  // namespace ORV
