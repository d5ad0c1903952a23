#pragma once
// The video measurements data pad: lengths the user measured on a recorded
// video, each with its video time, camera, frame and a label, waiting to be
// moved into the data sheet. The experiment record owns one pad and empties
// it when the experiment is cleared; the pad is never saved.
//
// Add appends a measurement and asks the application to move the pad into
// the data sheet; the application takes the pad's rows with TakeRows.
// Used on the user-interface thread; the pad's lock only keeps a stray
// reader from another thread safe.
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "core/experiment/session_records.h"

namespace ORV {

struct VideoMeasurement {
  double time = 0.0;         // video time of the measured frame, seconds
  std::uint32_t camera = 0;  // camera number 1..4
  double value = 0.0;        // the measured length, micrometres
  std::string label;         // the user's text
  std::uint32_t frame = 0;   // the frame of the camera's recorded video

  bool operator==(const VideoMeasurement&) const = default;
};

class VideoMeasurementsDataPad {
 public:
  // `exportToSheet(method)` is the application's data-sheet export; the pad
  // calls it with the video-measurement method after each Add.
  explicit VideoMeasurementsDataPad(std::function<void(std::int32_t method)> exportToSheet = {});
  virtual ~VideoMeasurementsDataPad();

  // Appends a measurement, then calls the data-sheet export.
  void Add(double time, std::uint32_t frame, std::uint32_t camera, double value, std::string_view label);
  void Clear();
  std::vector<VideoMeasurement> Samples() const;

  // The pad's measurements as data-sheet rows, in order, and the pad
  // emptied: method 4, trace kind 0, zone 0, the value, the time as both
  // ends of the selection, the camera number as the row, the label cut to
  // 252 UTF-16 units with "..." as the comment, no count, SD or SE.
  std::vector<CalculationData> TakeRows();

 private:
  std::function<void(std::int32_t)> exportToSheet_;
  mutable std::mutex lock_;
  std::vector<VideoMeasurement> samples_;
};

}  // namespace ORV
