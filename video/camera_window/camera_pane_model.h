#pragma once
// The logic of the camera pane: the one pane through which the user starts
// and stops the capture of the camera window it is attached to, and sets the
// camera's (or frame grabber's) gain and two more picture properties while it
// captures. Which two depends on the device: the slider set follows the
// beginning of the device name.
//
// Everything runs on the user-interface thread.
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/com/caller.h"
#include "video/camera_window/camera_window_model.h"

namespace ORV::Video {

struct CameraPaneHooks {
  std::function<std::string(std::uint32_t id)> text;
  // A message box with the stop icon and a caption.
  std::function<void(const std::string& text, const std::string& caption)> showError;
  // A Yes/No question with the application title; true for Yes.
  std::function<bool(const std::string& text)> askYesNo;
  // The main frame's camera device name at an index ("" beyond its list).
  std::function<std::string(int index)> deviceName;
  // The application's live trace.
  std::function<void(bool on)> setLiveTrace;
  // Whether Ctrl is held, and the frame-grabber channel dialog (returns the
  // chosen channel).
  std::function<bool()> ctrlDown;
  std::function<int(int channel)> chooseChannel;
  std::function<void()> repaint;
};

class CameraPaneModel {
 public:
  enum SliderSet : int { kNone = 0, kCamera = 4, kFrameGrabber = 64 };
  enum class PaneSlider : int { First, Second, Gain };

  CameraPaneModel(ExperimentData* experiment, bool multipleCameras, CameraPaneHooks hooks);

  // Attaches the pane to a camera window; true when the attach took place.
  bool SetCameraWindow(const std::string& name, CameraWindowModel* window, int index);
  // The Capture/Stop command.
  void ConnectCamera();
  // A thumb move of a slider to `position`.
  void SliderMoved(PaneSlider slider, int position);
  // A "-" (direction -1) or "+" (+1) step button.
  void Step(PaneSlider slider, int direction);

  int Set() const { return set_; }
  bool Capturing() const { return capturing_; }
  const std::string& SourceName() const { return source_; }
  int CameraIndex() const { return index_; }
  CameraWindowModel* Window() const { return window_; }
  const SliderState& Slider(PaneSlider s) const { return sliders_[static_cast<int>(s)]; }
  bool SlidersEnabled() const { return slidersEnabled_; }
  // The labels of the current set's sliders (empty in set 0).
  std::array<std::string, 3> Labels() const;
  // "Capture" or "Stop".
  const std::string& ButtonText() const { return buttonText_; }
  // Asks the control, for the button's text at creation.
  void ReadCaptureState();

  // Enabling by the idle update.
  bool CalibrateEnabled() const;
  bool CaptureButtonEnabled() const;
  bool StepButtonsEnabled() const { return capturing_; }

 private:
  bool LoadRanges(int set);
  void Send(PaneSlider slider, int value);
  bool Collecting() const;
  std::string Text(std::uint32_t id) const;

  ExperimentData* experiment_;
  const bool multipleCameras_;
  CameraPaneHooks hooks_;
  CameraWindowModel* window_ = nullptr;
  Com::Dispatcher control_;
  int index_ = 0;
  int set_ = kNone;
  bool capturing_ = false;
  bool slidersEnabled_ = false;
  std::string source_;
  std::string buttonText_ = "Capture";
  std::array<SliderState, 3> sliders_{};
};

}  // namespace ORV::Video
