#include "video/pane/video_pane_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <utility>

#include "core/base/configuration.h"
#include "core/base/time_text.h"
#include "core/experiment/experiment_data.h"

namespace ORV::Video {

namespace {

// What loading needs of the camera's analysis records.
struct RecordSpan {
  std::size_t count = 0;
  AnalysisData first;
  // The records' frame times: the first, and the latest with its position.
  // (The last stored record may be a fresh one of time 0.)
  std::int32_t firstTime = 0;
  std::int32_t latestTime = 0;
  std::size_t latestIndex = 0;
};

// The rate at which the recording was made: the frame intervals between the
// first record and the latest over the time they span. 0 when the records
// span no time.
float RateFromRecords(const RecordSpan& span) {
  if (span.latestIndex == 0 || span.latestTime <= span.firstTime) return 0.0f;
  const double seconds = (double(span.latestTime) - double(span.firstTime)) / 1000.0;
  return static_cast<float>(double(span.latestIndex) / seconds);
}

std::string Format2(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

}  // namespace

VideoPaneModel::VideoPaneModel(ExperimentData& experiment, const Configuration& config,
                               std::unique_ptr<StillImageLoader> loader, int camera)
    : experiment_(experiment), config_(config), loader_(std::move(loader)), camera_(camera) {}

VideoPaneModel::~VideoPaneModel() = default;

std::string VideoPaneModel::VideoPathFor(const std::string& experimentPath, int camera) {
  std::filesystem::path path(experimentPath);
  path.replace_extension();
  return path.string() + "_" + std::to_string(camera) + ".avi";
}

void VideoPaneModel::Unload() {
  loaded_ = false;
  frameValid_ = false;
  if (loader_) loader_->Close();
}

bool VideoPaneModel::LoadVideo() {
  Unload();
  if (experiment_.mode != kModeFile || camera_ < 0 || camera_ >= kMaxCameras || !loader_) return false;

  experimentStart_ = static_cast<std::int32_t>(experiment_.startTick.load());
  videoStart_ = experimentStart_;
  videoPath_ = VideoPathFor(experiment_.Read([](const ExperimentContents& c) { return c.filePath; }), camera_);

  std::error_code error;
  if (!std::filesystem::is_regular_file(videoPath_, error) || !loader_->Open(videoPath_)) return false;
  int width = 0, height = 0, rate = 0, count = 0;
  if (!loader_->Information(width, height, rate, count) || width <= 0 || height <= 0 || count <= 0) {
    Unload();
    return false;
  }

  const RecordSpan span = experiment_.Read([camera = camera_](const ExperimentContents& c) {
    RecordSpan s;
    const auto& records = c.analysisData[camera];
    s.count = records.size();
    if (s.count == 0) return s;
    s.first = records.front();
    s.firstTime = s.latestTime = s.first.frameTime;
    for (std::size_t i = 1; i < records.size(); ++i) {
      if (records[i].frameTime > s.latestTime) {
        s.latestTime = records[i].frameTime;
        s.latestIndex = i;
      }
    }
    return s;
  });

  // The recording's own rate: it may have begun long after the experiment.
  float frameRate = RateFromRecords(span);
  if (!(frameRate > 0.0f) || !std::isfinite(frameRate)) frameRate = static_cast<float>(rate);
  if (!(frameRate > 0.0f)) {
    Unload();
    return false;
  }

  videoWidth_ = width;
  videoHeight_ = height;
  frameCount_ = count;
  frameRate_ = frameRate;
  durationText_ = FormatTimeSeconds(static_cast<std::uint32_t>(std::min(count / double(frameRate), 4e9)));
  frame_.assign(loader_->FrameBufferSize(), 0);
  aspect_ = float(width) / float(height);
  windowWidth_ = static_cast<int>(windowHeight_ * aspect_);
  currentFrame_ = 0;
  loaded_ = true;

  record_ = AnalysisData{};
  if (span.count > 0) {
    record_ = span.first;
    videoStart_ = span.first.startTime;
  }
  return span.count > 0;
}

void VideoPaneModel::ShowFrameAt(std::uint32_t position, bool inSeconds) {
  if (!loaded_) return;
  std::int64_t at = static_cast<std::int32_t>(position);
  if (inSeconds) {
    // Seconds count from the experiment's start; the video began later.
    const std::int64_t offset = std::int64_t(videoStart_) - std::int64_t(experimentStart_);
    if (offset >= 1000) at -= static_cast<std::int64_t>(double(float(offset) / 1000.0f) + 0.5);
  }
  if (at < 0) {
    frameValid_ = false;
    return;
  }
  std::int64_t index = at;
  if (inSeconds) {
    const double exact = std::floor(double(float(at) * frameRate_));
    index = exact >= double(frameCount_) ? frameCount_ : static_cast<std::int64_t>(exact);
  }
  if (index >= frameCount_) index = frameCount_ - 1;
  currentFrame_ = static_cast<int>(index);
  frameValid_ = index >= 0;
  if (!frameValid_) return;

  const std::optional<AnalysisData> record =
      experiment_.Read([camera = camera_, index](const ExperimentContents& c) -> std::optional<AnalysisData> {
        const auto& records = c.analysisData[camera];
        if (std::size_t(index) < records.size()) return records[std::size_t(index)];
        return std::nullopt;
      });
  if (!record) {
    frameValid_ = false;
    return;
  }
  record_ = *record;
  // A frame the file does not hold (a cut recording) shows the white page.
  frameValid_ = loader_->ReadFrame(currentFrame_, frame_.data(), frame_.size());
}

double VideoPaneModel::CurrentTime() const {
  const double rate = std::ceil(double(frameRate_));
  return rate > 0.0 ? currentFrame_ / rate : 0.0;
}

std::string VideoPaneModel::TimeText() const {
  return FormatTimeSecondsFraction(CurrentTime()) + " / " + durationText_;
}

void VideoPaneModel::SetWindowSize(int width, int height) {
  windowWidth_ = width;
  windowHeight_ = height;
}

float VideoPaneModel::ScaleFactor() const {
  const float f = record_.scaleFactor;
  return std::isfinite(f) && f > 0.0f ? f : 1.0f;
}

std::vector<ZoneOverlay> VideoPaneModel::Zones() const {
  std::vector<ZoneOverlay> zones;
  if (videoWidth_ <= 0 || videoHeight_ <= 0) return zones;
  const double sx = windowWidth_ / (videoWidth_ * double(ScaleFactor()));
  const double sy = windowHeight_ / (videoHeight_ * double(ScaleFactor()));
  // A stored record may claim any count: it has room for four zones.
  const int count = std::clamp<int>(record_.zoneCount, 0, kMaxZones);
  for (int z = 0; z < count; ++z) {
    const AnalysisZoneBlock& b = record_.zones[z];
    ZoneOverlay o;
    o.number = z + 1;
    o.left = b.left * sx;
    o.top = b.top * sy;
    o.right = b.right * sx;
    o.bottom = b.bottom * sy;
    o.outer = b.outerLeft != 0 && b.outerRight != 0;
    o.outerLeft = o.left + b.outerLeft * sx;
    o.outerRight = o.left + b.outerRight * sx;
    o.lumen = record_.ignoreLumen == 0;
    o.lumenLeft = o.left + b.lumenLeft * sx;
    o.lumenRight = o.left + b.lumenRight * sx;
    zones.push_back(o);
  }
  return zones;
}

double VideoPaneModel::MarkerSize() const { return windowWidth_ / 300.0 * 10.0; }

double VideoPaneModel::TimeTextRise() const { return windowWidth_ / 300.0 * 22.0; }

float VideoPaneModel::Calibration() const {
  if (camera_ < 0 || camera_ >= kMaxCameras) return 1.0f;
  const float video = config_.ExperimentValues[std::size_t(camera_)];
  return video >= 0.0f ? video : config_.Calibration[std::size_t(camera_)];
}

float VideoPaneModel::MeasuredLength(int x1, int y1, int x2, int y2) const {
  if (windowWidth_ <= 0 || windowHeight_ <= 0) return 0.0f;
  const float kx = float(videoWidth_) / float(windowWidth_) * ScaleFactor();
  const float ky = float(videoHeight_) / float(windowHeight_) * ScaleFactor();
  const float dx = x2 * kx - x1 * kx;
  const float dy = y2 * ky - y1 * ky;
  return std::sqrt(dx * dx + dy * dy) * Calibration();
}

void VideoPaneModel::ButtonDown(int x, int y) {
  if (!labelRect_.Empty() && labelRect_.Contains(x, y)) {
    labelClicked_ = true;
    return;
  }
  // A new line: the old one and its label go.
  startX_ = x;
  startY_ = y;
  endX_ = 0;
  endY_ = 0;
  labelRect_ = {};
  dragging_ = true;
}

void VideoPaneModel::MouseMove(int x, int y) {
  if (!dragging_) return;
  endX_ = x;
  endY_ = y;
}

void VideoPaneModel::ButtonUp(int x, int y, const AskLabel& ask) {
  if (labelClicked_) {
    const double time = CurrentTime();
    const float value = LineLength();
    if (ask) {
      if (std::optional<std::string> text = ask(time, value)) {
        experiment_.DataPad().Add(time, static_cast<std::uint32_t>(std::max(currentFrame_, 0)),
                                  static_cast<std::uint32_t>(camera_ + 1), double(value), *text);
      }
    }
    labelClicked_ = false;
    // The finished line stays as it was.
    return;
  }
  if (!dragging_) return;
  dragging_ = false;
  endX_ = x;
  endY_ = y;
  if (endX_ == startX_ && endY_ == startY_) {
    startX_ = startY_ = endX_ = endY_ = 0;
    labelRect_ = {};
  }
}

bool VideoPaneModel::LineVisible() const {
  if (labelClicked_) return true;
  if (dragging_) return endX_ != 0 || endY_ != 0;
  return startX_ != endX_ || startY_ != endY_;
}

std::string VideoPaneModel::LineLabel() const { return Format2(double(LineLength())); }

int VideoPaneModel::LabelTop() const { return std::max(startY_ - 34, 0); }

}  // namespace ORV::Video
