#include "core/experiment/video_measurements.h"

#include <utility>

namespace ORV {

VideoMeasurementsDataPad::VideoMeasurementsDataPad(std::function<void(std::int32_t)> exportToSheet)
    : exportToSheet_(std::move(exportToSheet)) {}

VideoMeasurementsDataPad::~VideoMeasurementsDataPad() = default;

void VideoMeasurementsDataPad::Add(double time, std::uint32_t frame, std::uint32_t camera, double value,
                                   std::string_view label) {
  {
    std::lock_guard lock(lock_);
    samples_.push_back(VideoMeasurement{time, camera, value, std::string(label), frame});
  }
  // Outside the lock: the export takes the rows again.
  if (exportToSheet_) exportToSheet_(CalculationData::kVideoMeasurement);
}

void VideoMeasurementsDataPad::Clear() {
  std::lock_guard lock(lock_);
  samples_.clear();
  samples_.shrink_to_fit();
}

std::vector<VideoMeasurement> VideoMeasurementsDataPad::Samples() const {
  std::lock_guard lock(lock_);
  return samples_;
}

std::vector<CalculationData> VideoMeasurementsDataPad::TakeRows() {
  std::vector<VideoMeasurement> taken;
  {
    std::lock_guard lock(lock_);
    taken.swap(samples_);
  }
  std::vector<CalculationData> rows;
  rows.reserve(taken.size());
  for (const VideoMeasurement& m : taken) {
    CalculationData row;
    row.kind = CalculationData::kVideoMeasurement;
    row.traceKind = 0;
    row.zone = 0;
    row.value = m.value;
    row.selectionEnd = m.time;
    row.selectionStart = m.time;
    row.group = static_cast<std::int32_t>(m.camera);
    row.comment = CutCalculationComment(m.label);
    row.count = -1;
    row.sd = -1.0;
    row.standardError = -1.0;
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace ORV
