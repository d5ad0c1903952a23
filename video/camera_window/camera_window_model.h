#pragma once
// The logic of one camera window, without its widgets: the settings it
// forwards to its analysis control (thresholds, cut-offs, fine-edge
// adjustments, manual tracking, rotation and zoom, snapshot, recording), the
// side column's layout, and the handlers of the control's events: one
// calibrated ZoneData per analysed frame into the camera's zone-data queue,
// the zones' newest profiles, zone creation and reset reported to the
// experiment's image-analysis receivers, and the index images.
//
// The window (video/ui/camera_wnd.h) owns one model, creates the control,
// hands its dispatch interface over with AttachControl and mirrors the
// sliders' state into its widgets. Everything the model needs of the main
// frame and the camera pane goes through CameraWindowHooks.
//
// Threads: OnZoneAnalysisData runs on the control's analysis workers and
// OnIndexImage on the thread that prepared the frame; both may run while the
// user-interface thread calls anything else. Every other operation belongs
// to the user-interface thread.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/experiment/session_records.h"
#include "platform/com/caller.h"

namespace ORV {
class ExperimentData;
struct ZoneDataHolderQueue;
}  // namespace ORV

namespace ORV::Video {

// What the window asks of the frame, the camera pane and the user.
struct CameraWindowHooks {
  // The text of a string-table entry.
  std::function<std::string(std::uint32_t id)> text;
  // A message box with the stop icon; caption: the application title.
  std::function<void(const std::string& text)> showError;
  // A Yes/No question; true for Yes.
  std::function<bool(const std::string& text)> askYesNo;
  // The main frame's video-recording switch.
  std::function<bool()> videoRecordingOn;
  // The frame's data-collection start/stop command.
  std::function<void()> runCollectionStartStop;
  // Stops recording in every camera window of the frame.
  std::function<void()> stopRecordingEverywhere;
  // Sets the frame's start/stop button back to its idle texts.
  std::function<void()> resetStartStopButton;
  // Opens the main trace view when the application has none.
  std::function<void()> openTraceViewIfNone;
  // The camera pane's Capture/Stop command.
  std::function<void()> connectCamera;
  // The camera pane's magnification text, after a calibration.
  std::function<void()> updateMagnificationText;
  // Bytes free to this user in a folder; nothing when that cannot be told.
  std::function<std::optional<std::uint64_t>(const std::string& folder)> freeBytes;
  // The window's repaint (any thread may ask; the window posts it).
  std::function<void()> repaint;
};

// The eight sliders of the side column.
enum class SliderId : int {
  OuterThreshold,
  InnerThreshold,
  InnerLeft,
  InnerRight,
  OuterLeft,
  OuterRight,
  OuterCutOff,
  InnerCutOff,
};
inline constexpr int kSliderCount = 8;

struct SliderState {
  int minimum = 0;
  int maximum = 0;
  int tick = 1;
  int position = 0;
  bool enabled = false;
  bool visible = false;

  // Sets the position within the range, as a slider does.
  void Set(int p) { position = p < minimum ? minimum : (p > maximum ? maximum : p); }
};

// A rectangle in window pixels at 96 DPI (left, top, right, bottom).
struct Box {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const Box&) const = default;
};

// Where the window's parts go.
struct CameraWindowLayout {
  Box video;  // the control
  Box frame;  // the 3-D frame around it (and the side column when there is room)
  bool sideColumn = false;
  bool adjustmentsShown = false;
  bool cutOffsShown = false;
  bool checkBoxShown = false;
  // The side column's controls (valid when sideColumn): slider, then its
  // "-" and "+" buttons.
  struct Row {
    Box slider, minus, plus;
  };
  Row outerCutOff, innerCutOff, outerLeft, outerRight, innerLeft, innerRight;
  Box checkBox;
  std::vector<Box> panels;  // the zone panels, one per zone shown
};

// The drawing of one zone panel, in panel pixels (w x h).
struct ZonePanelDrawing {
  std::vector<std::pair<int, int>> profile;  // the polyline, from (0, h)
  bool outer = false;                        // outer diameter shown
  double outerLeft = 0, outerRight = 0, outerY = 0;
  int outerMicrons = 0;
  bool lumen = false;
  double lumenLeft = 0, lumenRight = 0, lumenY = 0;
  int lumenMicrons = 0;
};

class CameraWindowModel {
 public:
  static constexpr int kMaxZones = 4;
  static constexpr int kMaxRotation = 45;
  static constexpr float kMinScale = 1.0f;
  static constexpr float kMaxScale = 3.0f;
  // A kept profile whose size differs is replaced by one of more bytes only
  // up to this size.
  static constexpr std::int32_t kMaxProfileResize = 860000;
  // Index images further apart than this get gap records every kIndexGap.
  static constexpr std::int32_t kIndexGapLimit = 12000;
  static constexpr std::int32_t kIndexGap = 10000;

  CameraWindowModel(ExperimentData* experiment, std::shared_ptr<ZoneDataHolderQueue> queue, int cameraIndex,
                    CameraWindowHooks hooks);
  ~CameraWindowModel();
  CameraWindowModel(const CameraWindowModel&) = delete;
  CameraWindowModel& operator=(const CameraWindowModel&) = delete;

  int CameraIndex() const { return camera_; }
  ExperimentData* Experiment() const { return experiment_; }
  const Com::Dispatcher& Control() const { return control_; }

  // ---- creation ----
  // Takes the control and runs the calls of its creation in their order:
  // the experiment clock, the camera type, the zone colours, then the
  // sliders' initial state (cut-offs read from zone 0) and the calibration.
  void AttachControl(Com::IDispatch* control, std::int16_t cameraType);
  // The zone colours of the configuration, kept and sent to the control.
  void ApplyZoneColors();
  // The calibration of this camera from the configuration (µm per pixel).
  void LoadCalibration();

  // ---- layout ----
  // The layout for a client area of width x height, all at 96 DPI.
  CameraWindowLayout Layout(int clientWidth, int clientHeight) const;
  // The client height (96 DPI) at which the picture, the side column and a
  // zone panel beside them fill a client `clientWidth` wide, so that the
  // picture uses the width the window is given: never less than `least`
  // nor more than `most`.
  int HeightForWidth(int clientWidth, int least, int most) const;

  // ---- sliders, buttons and the check box ----
  const SliderState& Slider(SliderId id) const { return sliders_[static_cast<int>(id)]; }
  // A "-" (direction -1) or "+" (+1) button of a slider.
  void Step(SliderId id, int direction);
  // The user dragged slider `id` to `position`.
  void SliderMoved(SliderId id, int position);
  bool ManualTracking() const { return manualTracking_; }
  bool ManualTrackingEnabled() const { return SelectedZone() >= 0; }
  void SetManualTracking(bool checked);
  // Whether a slider's buttons may be used now (the update handlers).
  bool ButtonsEnabled(SliderId id) const;
  void EnableAutoThreshold(bool on);
  bool AutoThreshold() const { return autoThreshold_; }
  // The menu's "Reset fine edge detection".
  void ResetAdjustments();

  // ---- rotation, zoom, keys ----
  int Rotation() const { return rotation_; }
  float Scale() const { return scale_.load(); }
  bool AutoScaleOnRotation() const { return autoScale_; }
  void ToggleAutoScaleOnRotation() { autoScale_ = !autoScale_; }
  void Rotate(int degrees);  // +1 rotate left, -1 rotate right
  void ResetRotation();
  // Rotation and zoom set at once (each kept within its limits).
  void SetTransform(int degrees, float scale);
  void ResetScale();
  void Wheel(int delta);
  // Arrow keys (direction -1 left, +1 right) with their repeat count.
  void Arrow(int direction, int repeat);
  void Period();

  // ---- capture, recording, snapshot, calibration ----
  bool HasSource();  // video plays or the camera captures
  bool IsVideoPlaying();
  void StartRecording();
  void StopRecording();
  // The chosen snapshot path (empty: the dialog was cancelled).
  void Snapshot(std::string path);
  void StopCaptureCommand();
  void StartCaptureCommand();
  // After the calibration dialog ended with OK.
  void CalibrationAccepted();

  double Calibration() const { return calibration_.load(); }
  void SetCalibration(double micronsPerPixel) { calibration_ = micronsPerPixel; }
  void SetIgnoreLumen(bool on) { ignoreLumen_ = on; }
  void SetCameraCaption(std::string caption) { caption_ = std::move(caption); }
  const std::string& CameraCaption() const { return caption_; }
  // Asks the window to repaint.
  void Repaint() {
    if (hooks_.repaint) hooks_.repaint();
  }
  std::array<std::uint32_t, 3> ZoneColors() const { return colors_; }

  // ---- the control's events ----
  void OnZoneCreated(const std::array<std::int32_t, 8>& corners, float angle);
  void OnCroppingCreated(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2);
  void OnZoneSelected(std::int32_t zone);
  void OnZoneAnalysisData(std::int32_t zone, std::int32_t outerLeft, std::int32_t outerRight, std::int32_t lumenLeft,
                          std::int32_t lumenRight);
  void OnDimensionsChanged(std::int32_t width, std::int32_t height);
  void OnZonesReset();
  void OnRawZoneData(std::int32_t zone, const std::uint8_t* data, std::int32_t size);
  // A capture that stops without being asked (the camera went away: the
  // control's view stays marked as capturing) leaves the collection and the
  // recording running and marks the camera lost; any other stop ends a
  // running collection through the frame's start/stop command.
  void OnCaptureStopped();
  void OnIndexImage(std::uint32_t time, std::uint32_t width, std::uint32_t height, std::uint32_t size,
                    const std::uint8_t* image);
  // The cut-off timer: follows the control's outer cut-off of the selected
  // zone, and with auto threshold on (when the zone chooses them) its inner
  // cut-off too.
  void OnCutOffTimer();

  // ---- the picture's light ----
  // Asks the control what each zone's newest search said of the picture's
  // light; true when what the window says about it changed. (The window's
  // timer calls it.)
  bool UpdatePictureAdvice();
  // What the window says about the light: empty while there is nothing to
  // say, else that the picture is too dark (or too bright) for the wall
  // search at any cut-off, and what to change.
  const std::string& PictureAdvice() const { return pictureAdvice_; }

  // ---- a lost camera ----
  bool CameraLost() const { return cameraLost_; }
  // Starts a lost camera again on its view (zones and recording kept); true
  // when it runs again.
  bool RestartLostCamera();
  // How many measurements (one per analysed frame with every zone done) the
  // window has handed to the sampling; any thread.
  std::uint64_t MeasurementCount() const { return measurements_.load(); }
  // How many frames the camera sent torn and the control refused (a count
  // that only moves); 0 without a control.
  std::uint64_t TornFrameCount();
  // How many whole frames the camera delivered (a count that only moves):
  // a camera without zones to measure is back when it moves; 0 without a
  // control.
  std::uint64_t FrameCount();

  // ---- state for the window ----
  int SelectedZone() const { return selectedZone_; }
  int ZoneCount() const { return zoneCount_.load(); }
  bool ZonesPresent() const { return zonesPresent_; }
  std::int32_t VideoWidth() const { return videoWidth_; }
  std::int32_t VideoHeight() const { return videoHeight_; }
  std::vector<std::uint8_t> Profile(int zone) const;
  // The newest measurement the synchronised sampling placed in this
  // camera's batch; nothing while it holds none.
  std::optional<ZoneData> NewestMeasurement() const;
  // The panel of zone `zone` for a panel of w x h and a measurement.
  ZonePanelDrawing PanelDrawing(int zone, int w, int h, const ZoneData& measured) const;

 private:
  void SendSlider(SliderId id, int value);
  void ReadZoneSliders();
  void Transform();
  std::string Text(std::uint32_t id) const;
  bool Collecting() const;

  ExperimentData* experiment_;
  std::shared_ptr<ZoneDataHolderQueue> queue_;
  const int camera_;
  CameraWindowHooks hooks_;
  Com::Dispatcher control_;

  std::array<SliderState, kSliderCount> sliders_{};
  bool manualTracking_ = false;
  bool autoThreshold_ = true;
  bool autoScale_ = true;
  bool ignoreLumen_ = false;
  int rotation_ = 0;
  std::atomic<float> scale_{1.0f};
  std::atomic<double> calibration_{1.0};
  std::array<std::uint32_t, 3> colors_{0x8B0000, 0x0000FF, 0x2FFFAD};
  std::string caption_;
  int selectedZone_ = -1;
  std::atomic<int> zoneCount_{0};
  bool zonesPresent_ = false;
  bool cameraLost_ = false;
  std::string pictureAdvice_;
  std::atomic<std::uint64_t> measurements_{0};
  std::int32_t videoWidth_ = 0, videoHeight_ = 0;
  std::array<std::int32_t, 4> cropping_{};
  struct Outline {
    std::array<std::int32_t, 8> corners;
    float angle;
  };
  std::vector<Outline> outlines_;

  // The record being assembled by the analysis workers, and the profiles.
  mutable std::mutex recordMutex_;
  ZoneData record_;
  std::array<std::vector<std::uint8_t>, kMaxZones> profiles_;
};

}  // namespace ORV::Video
