#pragma once
// Fixtures of the analysis tests: crops drawn from column profiles, event
// recorders, executors that run zone tasks in an order the test chooses, and
// a hand-set experiment clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "analysis_control/zone_analysis.h"
#include "core/storage/relative_time.h"
#include "tests/support/hand_clock.h"

namespace ORV::AnalysisTest {

// A column profile: `columns` entries of `background`, with the listed
// columns set to their values (the darkness 255 - column mean).
inline std::vector<int> Profile(int columns, int background, const std::map<int, int>& marked) {
  std::vector<int> p(columns, background);
  for (const auto& [c, v] : marked) p[c] = v;
  return p;
}

// A crop whose columns have the given darkness. With two rows the column's
// pixels are 255 - p and 256 - p, whose mean 255 - p + 0.5 must be truncated
// to give the profile back.
inline GreyImage CropFromProfile(const std::vector<int>& profile, int rows) {
  GreyImage image;
  image.width = static_cast<int>(profile.size());
  image.height = rows;
  image.pixels.resize(image.width * rows);
  for (int y = 0; y < rows; ++y) {
    for (int c = 0; c < image.width; ++c) {
      const int base = 255 - profile[c];
      const int value = (y % 2 == 1 && base < 255) ? base + 1 : base;
      image.pixels[y * image.width + c] = static_cast<std::uint8_t>(value);
    }
  }
  return image;
}

// A frame of `width` x `height`, white (darkness 0) except for the given
// zones, each drawn from its profile starting at its left column.
struct DrawnZone {
  int left;
  std::vector<int> profile;
};
inline GreyImage FrameWith(int width, int height, const std::vector<DrawnZone>& zones) {
  GreyImage frame;
  frame.width = width;
  frame.height = height;
  frame.pixels.assign(width * height, 255);
  for (const DrawnZone& z : zones) {
    const GreyImage crop = CropFromProfile(z.profile, height);
    for (int y = 0; y < height; ++y) {
      std::copy_n(crop.pixels.begin() + y * crop.width, crop.width, frame.pixels.begin() + y * width + z.left);
    }
  }
  return frame;
}

struct ZoneEvent {
  int zone, vesselLeft, vesselRight, lumenLeft, lumenRight;
  bool operator==(const ZoneEvent&) const = default;
};
inline std::ostream& operator<<(std::ostream& os, const ZoneEvent& e) {
  return os << "{zone " << e.zone << ": " << e.vesselLeft << ", " << e.vesselRight << ", " << e.lumenLeft << ", "
            << e.lumenRight << "}";
}

struct RawEvent {
  int zone;
  std::vector<std::uint8_t> data;
};

struct IndexEvent {
  std::uint32_t time, width, height, imageSize;
  std::vector<std::uint8_t> data;
};

// Records every event; safe to call from any thread.
class RecordingEvents : public AnalysisEvents {
 public:
  void ZoneAnalysisData(int zone, int vl, int vr, int ll, int lr) override {
    std::lock_guard lock(mutex_);
    zones_.push_back({zone, vl, vr, ll, lr});
  }
  void RawZoneData(int zone, const std::uint8_t* data, int size) override {
    std::lock_guard lock(mutex_);
    raws_.push_back({zone, std::vector<std::uint8_t>(data, data + size)});
  }
  void IndexImage(std::uint32_t time, std::uint32_t width, std::uint32_t height, std::uint32_t size,
                  const std::uint8_t* data) override {
    std::lock_guard lock(mutex_);
    indexes_.push_back({time, width, height, size, std::vector<std::uint8_t>(data, data + size)});
  }
  std::vector<ZoneEvent> Zones() const {
    std::lock_guard lock(mutex_);
    return zones_;
  }
  std::vector<RawEvent> Raws() const {
    std::lock_guard lock(mutex_);
    return raws_;
  }
  std::vector<IndexEvent> Indexes() const {
    std::lock_guard lock(mutex_);
    return indexes_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<ZoneEvent> zones_;
  std::vector<RawEvent> raws_;
  std::vector<IndexEvent> indexes_;
};

// Runs each task at once on the queuing thread.
class InlineExecutor : public AnalysisTaskExecutor {
 public:
  void Queue(std::shared_ptr<Threading::AsyncTask> task) override { task->OnFinished(task->Run()); }
};

// Holds the tasks until the test runs them, in reverse or in order.
class HeldExecutor : public AnalysisTaskExecutor {
 public:
  void Queue(std::shared_ptr<Threading::AsyncTask> task) override {
    std::lock_guard lock(mutex_);
    held_.push_back(std::move(task));
  }
  std::size_t Held() const {
    std::lock_guard lock(mutex_);
    return held_.size();
  }
  void RunReversed() { RunAll(true); }
  void RunInOrder() { RunAll(false); }

 private:
  void RunAll(bool reversed) {
    std::deque<std::shared_ptr<Threading::AsyncTask>> tasks;
    {
      std::lock_guard lock(mutex_);
      tasks.swap(held_);
    }
    if (reversed) std::reverse(tasks.begin(), tasks.end());
    for (auto& t : tasks) t->OnFinished(t->Run());
  }
  mutable std::mutex mutex_;
  std::deque<std::shared_ptr<Threading::AsyncTask>> held_;
};

// An executor that can never run anything.
class RefusingExecutor : public AnalysisTaskExecutor {
 public:
  void Queue(std::shared_ptr<Threading::AsyncTask>) override {
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
  }
};

using FakeClock = Test::HandClock;

}  // namespace ORV::AnalysisTest
