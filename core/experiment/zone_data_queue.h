#pragma once
// The zone measurements on their way from the camera windows to the
// synchronised sampler: one batch per camera whose pending queue the camera
// window fills (from its analysis worker) and the sampler drains on every
// tick. One mutex guards all four batches; hold it only to push or take.
//
// Make it once with std::make_shared and hand the same pointer to the
// sampler and to every camera window.
#include <array>
#include <cstddef>
#include <mutex>

#include "core/experiment/session_records.h"

namespace ORV {

struct ZoneDataHolderQueue {
  // Most records one camera's pending queue keeps. A sampler that is not
  // running leaves the queue to grow; beyond this the oldest records go.
  static constexpr std::size_t kPendingLimit = 4096;

  std::mutex mutex;
  std::array<ZoneDataBatch, kMaxCameras> batches;

  // The camera window's side: appends a measurement to camera `camera`'s
  // pending queue. A camera outside 0..3 adds nothing.
  void Push(int camera, const ZoneData& record) {
    if (!IsCameraIndex(camera)) return;
    std::lock_guard lock(mutex);
    auto& pending = batches[static_cast<std::size_t>(camera)].pending;
    pending.push_back(record);
    if (pending.size() > kPendingLimit) pending.pop_front();
  }
};

}  // namespace ORV
