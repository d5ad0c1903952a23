#pragma once
// What a video pane does, free of widgets: it loads the recorded video of one
// camera of an experiment opened from its file, finds the frame of a position
// on the experiment's time axis together with the analysis record stored for
// it, lays out the zones and wall positions of that record over the picture,
// and measures a line the user draws, in micrometres, which the user may add
// to the experiment's video measurements data pad.
//
// Geometry is in pixels of the image window's client area, whose size the
// window gives with SetWindowSize.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis_control/analysis_data.h"
#include "video/loader/still_image_loader.h"

namespace ORV {
class Configuration;
class ExperimentData;
}  // namespace ORV

namespace ORV::Video {

// One zone of the current record, placed over the picture.
struct ZoneOverlay {
  int number = 0;  // 1..4
  double left = 0, top = 0, right = 0, bottom = 0;
  bool outer = false;  // both outer edges found
  double outerLeft = 0, outerRight = 0;
  bool lumen = false;  // the lumen edges are drawn
  double lumenLeft = 0, lumenRight = 0;
};

struct PaneRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool Empty() const { return right <= left || bottom <= top; }
  bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

class VideoPaneModel {
 public:
  static constexpr int kMaxZones = 4;

  // The pane of camera `camera` (0..3) of the experiment. The loader is the
  // pane's own.
  VideoPaneModel(ExperimentData& experiment, const Configuration& config, std::unique_ptr<StillImageLoader> loader,
                 int camera);
  ~VideoPaneModel();

  // The recorded video of camera `camera` beside the experiment file: the
  // file's extension replaced by "_<camera>.avi".
  static std::string VideoPathFor(const std::string& experimentPath, int camera);

  // Loads the camera's video when the experiment was opened from its file.
  // The frame rate is the recording's own, from the times of its analysis
  // records (the file's rate when they span no time). True when the video is loaded and the experiment holds at least
  // one analysis record of the camera. A video that cannot be opened, has no frames or no frame rate is not loaded.
  bool LoadVideo();

  // Moves to a position: experiment seconds with `inSeconds`, else a frame
  // index. Seconds count from the experiment's start, so the delay between
  // it and the start of the recording is taken off; a frame index is the
  // video's own. A position past the end shows the last frame; a frame
  // without an analysis record shows a white page. Nothing happens while no
  // video is loaded.
  void ShowFrameAt(std::uint32_t position, bool inSeconds);

  bool VideoLoaded() const { return loaded_; }
  int VideoWidth() const { return videoWidth_; }
  int VideoHeight() const { return videoHeight_; }
  float FrameRate() const { return frameRate_; }
  int FrameCount() const { return frameCount_; }
  float Aspect() const { return aspect_; }
  int CurrentFrame() const { return currentFrame_; }
  bool FrameValid() const { return frameValid_; }
  int Camera() const { return camera_; }
  // Another camera's pane: takes effect with the next LoadVideo.
  void SetCamera(int camera) { camera_ = camera; }
  const std::string& VideoPath() const { return videoPath_; }
  // The current frame: packed BGR rows top-down, VideoWidth × VideoHeight.
  const std::vector<std::uint8_t>& FrameBuffer() const { return frame_; }
  const AnalysisData& CurrentRecord() const { return record_; }
  std::int32_t ExperimentStart() const { return experimentStart_; }
  std::int32_t VideoStart() const { return videoStart_; }

  // "position / duration": the current frame's video time and the video's
  // length.
  std::string TimeText() const;
  const std::string& DurationText() const { return durationText_; }
  // The video time of the current frame in seconds: frame ÷ the frame rate
  // rounded up to a whole number.
  double CurrentTime() const;

  // ---- layout ----
  void SetWindowSize(int width, int height);
  int WindowWidth() const { return windowWidth_; }
  int WindowHeight() const { return windowHeight_; }
  // The zones of the current record, at most four, placed on the window.
  std::vector<ZoneOverlay> Zones() const;
  // The diameter of a zone's number disc and its font size, in pixels.
  double MarkerSize() const;
  // The distance of the time text's top from the window's bottom.
  double TimeTextRise() const;

  // ---- measuring ----
  // The record's scale factor; anything not positive and finite counts as 1.
  float ScaleFactor() const;
  // µm per video pixel: the camera's video calibration when it is set (0 or
  // more), else the camera's calibration.
  float Calibration() const;
  // The length of a line between two window points in micrometres.
  float MeasuredLength(int x1, int y1, int x2, int y2) const;

  // Asks the user for the label of a measurement of `value` µm at `time` s;
  // nothing when the user cancels.
  using AskLabel = std::function<std::optional<std::string>(double time, float value)>;
  void ButtonDown(int x, int y);
  void MouseMove(int x, int y);
  // Ends a drag; when the press was on the line's label, first asks for a
  // label and adds the measurement to the data pad.
  void ButtonUp(int x, int y, const AskLabel& ask);
  bool Dragging() const { return dragging_; }
  bool LabelClicked() const { return labelClicked_; }
  // The measuring line is drawn while it is being drawn, while its label is
  // pressed, and once finished until a new one starts.
  bool LineVisible() const;
  int StartX() const { return startX_; }
  int StartY() const { return startY_; }
  int EndX() const { return endX_; }
  int EndY() const { return endY_; }
  float LineLength() const { return MeasuredLength(startX_, startY_, endX_, endY_); }
  // "%.2f" of the line's length.
  std::string LineLabel() const;
  // The label box's top-left corner; the window sizes the box by its text
  // and reports it back, so that a press on it is recognised.
  int LabelLeft() const { return startX_; }
  int LabelTop() const;
  void SetLabelRect(const PaneRect& rect) { labelRect_ = rect; }
  const PaneRect& LabelRect() const { return labelRect_; }

 private:
  void Unload();

  ExperimentData& experiment_;
  const Configuration& config_;
  std::unique_ptr<StillImageLoader> loader_;
  int camera_;

  bool loaded_ = false;
  int videoWidth_ = 0;
  int videoHeight_ = 0;
  float frameRate_ = 0.0f;
  int frameCount_ = 0;
  int windowWidth_ = 100;
  int windowHeight_ = 100;
  float aspect_ = 1.0f;
  std::vector<std::uint8_t> frame_;
  int currentFrame_ = 0;
  AnalysisData record_;
  bool frameValid_ = false;
  std::string durationText_;
  std::string videoPath_;
  std::int32_t experimentStart_ = 0;
  std::int32_t videoStart_ = 0;

  int startX_ = 0, startY_ = 0, endX_ = 0, endY_ = 0;
  bool dragging_ = false;
  PaneRect labelRect_;
  bool labelClicked_ = false;
};

}  // namespace ORV::Video
