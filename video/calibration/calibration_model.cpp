#include "video/calibration/calibration_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/base/configuration.h"
#include "platform/com/caller.h"

namespace ORV::Video {

namespace {

std::int32_t ReadInt32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return std::int32_t(std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
                      std::uint32_t(b[at + 3]) << 24);
}

std::string Format1(double m) {
  char text[64];
  std::snprintf(text, sizeof text, "%.1f", m);
  return text;
}

}  // namespace

int To96Dpi(int value, int dpi) {
  if (dpi <= 0) return value;
  return int(std::lround(double(value) * 96.0 / dpi));
}

bool StillFrame::HasPicture() const { return bytes.size() >= kMinimumSize && Width() > 0 && Height() != 0; }
int StillFrame::Width() const { return bytes.size() >= 40 ? ReadInt32(bytes, 4) : 0; }
int StillFrame::Height() const { return bytes.size() >= 40 ? ReadInt32(bytes, 8) : 0; }
int StillFrame::BitCount() const { return bytes.size() >= 40 ? (bytes[14] | bytes[15] << 8) : 0; }

CalibrationModel::CalibrationModel(Configuration& config, int camera) : config_(config), camera_(camera) {
  if (std::size_t(camera_) < config_.CalibrationLists.size()) {
    for (const auto& [key, entry] : config_.CalibrationLists[camera_]) {
      comboEntries_.push_back(entry.label.empty() ? key : entry.label);
      magnifications_.push_back(entry.magnification);
      scales_.push_back(entry.scale);
    }
  }
  const std::string current = Format1(config_.Magnification);
  for (std::size_t i = 0; i < comboEntries_.size(); ++i)
    if (comboEntries_[i].rfind(current, 0) == 0) {
      initialSelection_ = int(i);
      break;
    }
  if (camera_ >= 0 && camera_ < int(config_.Calibration.size())) resultScale_ = config_.Calibration[camera_];
  resultMagnification_ = config_.Magnification;
}

bool CalibrationModel::GrabFrame(Com::IDispatch* control) {
  if (!control) return false;  // no control: no picture, the old one kept
  const Com::Dispatcher dispatcher(control);
  const std::int32_t size = dispatcher.Invoke<std::int32_t>(kDispidGetFrameDataSize);
  if (size < std::int32_t(StillFrame::kMinimumSize)) return false;
  frame_.bytes.assign(std::size_t(size), 0);
  const std::int32_t written = dispatcher.Invoke<std::int32_t>(kDispidGrabFrameData, frame_.bytes.data(), size);
  if (written <= 0) frame_.bytes.clear();
  return frame_.HasPicture();
}

FrameLayout CalibrationModel::Layout() const {
  FrameLayout layout;
  if (!frame_.HasPicture()) return layout;
  layout.displayScale = 600.0 / frame_.Width();
  layout.height = int(std::lround(layout.displayScale * std::abs(frame_.Height())));
  layout.width = int(std::lround(layout.displayScale * frame_.Width()));
  if (layout.height < 500) layout.top = int(std::lround((500 - layout.height) / 2.0 + 10));
  return layout;
}

std::string CalibrationModel::FormatScale(double micronsPerPixel) {
  char text[64];
  std::snprintf(text, sizeof text, "%.6f", micronsPerPixel);
  return text;
}

void CalibrationModel::SetRectangle(double x, double y, double width, double height) {
  x_ = x;
  y_ = y;
  w_ = width;
  h_ = height;
}

bool CalibrationModel::HasRectangle() const { return w_ > 1.1920929e-7 && h_ > 1.1920929e-7; }

bool CalibrationModel::RectangleLargeEnough() const { return w_ >= kMinimumRectangle && h_ >= kMinimumRectangle; }

ShapePath CalibrationModel::Figure() const {
  ShapePath figure;
  figure.AddRectangle(x_, y_, w_, h_);
  const double right = x_ + w_, bottom = y_ + h_;
  auto tick = [&figure](PointF a, PointF b) {
    figure.AddLine(a, b);
    figure.CloseFigure();
  };
  if (measure == Measure::Width) {
    const double d = (slider - 10) / 5.0;
    const double step = w_ / 10.0 + d, length = h_ / 10.0;
    for (double at : {x_ + 2 * step, x_ + 4 * step, right - 2 * step, right - 4 * step}) {
      tick({at, y_}, {at, y_ + length});
      tick({at, bottom}, {at, bottom - length});
    }
  } else {
    const double step = h_ / 10.0, length = w_ / 10.0;
    for (double at : {y_ + 2 * step, y_ + 4 * step, bottom - 2 * step, bottom - 4 * step}) {
      tick({x_, at}, {x_ + length, at});
      tick({right, at}, {right - length, at});
    }
  }
  return figure;
}

bool CalibrationModel::Nudge(Arrow arrow, bool shift, bool control, int clientWidth, int clientHeight) {
  switch (arrow) {
    case Arrow::Down:
      if (!(y_ + h_ < clientHeight)) return false;
      if (shift) {
        if (!(h_ < 200)) return false;
        h_ += 1;
      } else if (control) {
        if (!(h_ > 10)) return false;
        h_ -= 1;
        y_ += 1;
      } else {
        y_ += 1;
      }
      return true;
    case Arrow::Up:
      if (!(y_ > 0)) return false;
      if (shift) {
        if (!(h_ < 200)) return false;
        h_ += 1;
        y_ -= 1;
      } else if (control) {
        if (!(h_ > 10)) return false;
        h_ -= 1;
      } else {
        y_ -= 1;
      }
      return true;
    case Arrow::Left:
      if (!(x_ > 0)) return false;
      if (shift) {
        w_ += 1;
        x_ -= 1;
      } else if (control) {
        if (!(w_ > 10)) return false;
        w_ -= 1;
      } else {
        x_ -= 1;
      }
      return true;
    case Arrow::Right:
      if (!(x_ + w_ < clientWidth)) return false;
      if (shift) {
        w_ += 1;
      } else if (control) {
        if (!(w_ > 10)) return false;
        w_ -= 1;
        x_ += 1;
      } else {
        x_ += 1;
      }
      return true;
  }
  return false;
}

std::string CalibrationModel::MeasurementText(int dpi) const {
  if (!RectangleLargeEnough()) return {};
  const double side = measure == Measure::Width ? w_ : h_;
  const double value = resultScale_ / Layout().displayScale * To96Dpi(int(side), dpi);
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

CalibrationModel::Outcome CalibrationModel::CheckMagnification(const std::string& text, double& magnification) const {
  if (text.empty()) return Outcome::Nothing;
  magnification = std::strtod(text.c_str(), nullptr);
  if (!(magnification >= 1.0 && magnification <= 100.0)) return Outcome::MagnificationOutOfRange;
  // Without a picture the display scale is 1 and the result would be
  // micrometres per screen pixel, not per camera pixel.
  if (!frame_.HasPicture()) return Outcome::NoPicture;
  return Outcome::Calibrated;
}

CalibrationModel::Outcome CalibrationModel::Calibrate(double magnification, double microns, const ShapePath& figure,
                                                      int dpi) {
  if (!(microns > 0.0) || !std::isfinite(microns)) return Outcome::Nothing;
  if (!frame_.HasPicture()) return Outcome::NoPicture;
  double l, t, r, b;
  figure.Bounds(l, t, r, b);
  const int side = measure == Measure::Width ? To96Dpi(int(r), dpi) - To96Dpi(int(l), dpi)
                                             : To96Dpi(int(b), dpi) - To96Dpi(int(t), dpi);
  if (figure.Empty() || side < 1) return Outcome::FigureTooSmall;
  const double c = microns / side * Layout().displayScale;
  const float m = float(magnification);
  const std::string key = Format1(m);
  if (std::find(magnifications_.begin(), magnifications_.end(), m) == magnifications_.end()) {
    config_.Magnifications.push_back(key);
    comboEntries_.push_back(key);
    magnifications_.push_back(m);
    scales_.push_back(float(c));
  }
  resultScale_ = c;
  resultMagnification_ = magnification;
  if (config_.CalibrationLists.size() <= std::size_t(camera_)) config_.CalibrationLists.resize(camera_ + 1);
  config_.CalibrationLists[camera_][key] = CalibrationEntry{float(c), m, key};
  return Outcome::Calibrated;
}

bool CalibrationModel::Select(const std::string& text) {
  if (std::size_t(camera_) >= config_.CalibrationLists.size()) return false;
  const auto& table = config_.CalibrationLists[camera_];
  const auto found = table.find(text);
  if (found == table.end()) return false;
  resultScale_ = found->second.scale;
  resultMagnification_ = found->second.magnification;
  return true;
}

std::string CalibrationModel::Store(const std::string& cameraName) {
  if (camera_ >= 0 && camera_ < int(config_.Calibration.size())) config_.Calibration[camera_] = float(resultScale_);
  config_.Magnification = float(resultMagnification_);
  config_.CameraCalibrated = true;
  return cameraName + " Calibrated";
}

}  // namespace ORV::Video
