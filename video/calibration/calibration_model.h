#pragma once
// What the camera calibration dialog computes, free of widgets: the still
// frame from the analysis control and its place on the dialog, the rectangle
// the user marks with its ticks, the arrow keys that nudge it, and the
// micrometres per camera pixel that a known length gives, stored per camera
// and magnification in the configuration.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/ui/tracking/geometry.h"

namespace ORV {
class Configuration;
namespace Com {
class IDispatch;
}
}  // namespace ORV

namespace ORV::Video {

// The analysis control's members that hand out a still.
inline constexpr int kDispidGetFrameDataSize = 8;
inline constexpr int kDispidGrabFrameData = 9;

// A still as the control delivers it: a 44-byte header whose first 40 bytes
// describe the bitmap (a negative height: rows top-down), then the rows.
struct StillFrame {
  static constexpr std::size_t kMinimumSize = 45;
  std::vector<std::uint8_t> bytes;

  bool HasPicture() const;
  int Width() const;
  int Height() const;  // as stored: negative for rows top-down
  int BitCount() const;
};

// The frame area and the still's place in it, in 96-DPI pixels.
struct FrameLayout {
  double displayScale = 1.0;  // displayed pixels per frame pixel
  int left = 10, top = 10, width = 0, height = 0;
};

class CalibrationModel {
 public:
  enum class Measure { Width, Height };
  enum class Outcome { Nothing, MagnificationOutOfRange, NoPicture, FigureTooSmall, Calibrated };
  static constexpr double kMinimumRectangle = 20.0;
  static constexpr int kSliderMax = 20;

  CalibrationModel(Configuration& config, int camera);

  // Takes a new still: false (the old one kept) when the control offers fewer
  // than 45 bytes; a failed grab leaves no picture.
  bool GrabFrame(Com::IDispatch* control);
  const StillFrame& Frame() const { return frame_; }
  FrameLayout Layout() const;

  // The combo's entries (the camera's table in key order) and its initial
  // selection; the results read from the configuration.
  const std::vector<std::string>& ComboEntries() const { return comboEntries_; }
  int InitialSelection() const { return initialSelection_; }
  const std::vector<float>& ListedMagnifications() const { return magnifications_; }
  const std::vector<float>& ListedScales() const { return scales_; }
  double ResultScale() const { return resultScale_; }
  double ResultMagnification() const { return resultMagnification_; }
  static std::string FormatScale(double micronsPerPixel);

  // The rectangle the user drew (client pixels), the ticks' slider.
  void SetRectangle(double x, double y, double width, double height);
  bool HasRectangle() const;
  bool RectangleLargeEnough() const;
  double X() const { return x_; }
  double Y() const { return y_; }
  double W() const { return w_; }
  double H() const { return h_; }
  Measure measure = Measure::Width;
  int slider = 0;
  // The rectangle plus its ticks.
  ShapePath Figure() const;
  // Arrow keys on the rectangle (client size for the bottom/right limits);
  // true when the rectangle changed.
  enum class Arrow { Up, Down, Left, Right };
  bool Nudge(Arrow arrow, bool shift, bool control, int clientWidth, int clientHeight);

  // "Measurement (µm)" for a figure of the rectangle's size at `dpi`; empty
  // while the rectangle is smaller than 20 x 20.
  std::string MeasurementText(int dpi) const;

  // The magnification text checked before the known length is asked for.
  Outcome CheckMagnification(const std::string& text, double& magnification) const;
  // Calibrates with the figure's bounds (client pixels at `dpi`) and the known
  // length; kept in the listed values and the camera's table. A figure
  // narrower (or lower) than one pixel calibrates nothing.
  Outcome Calibrate(double magnification, double microns, const ShapePath& figure, int dpi);
  // The combo selected an entry: its stored values become the results.
  bool Select(const std::string& text);
  // Close: the results become the camera's calibration; returns the marker
  // text for the camera.
  std::string Store(const std::string& cameraName);

 private:
  Configuration& config_;
  int camera_;
  StillFrame frame_;
  std::vector<std::string> comboEntries_;
  int initialSelection_ = -1;
  std::vector<float> magnifications_, scales_;
  double resultScale_ = 1.0, resultMagnification_ = 1.0;
  double x_ = 0, y_ = 0, w_ = 0, h_ = 0;
};

// Client pixels to 96-DPI pixels as the dialog measures them.
int To96Dpi(int value, int dpi);

}  // namespace ORV::Video
