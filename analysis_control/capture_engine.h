#pragma once
// The capture engine of the analysis control: everything the control does
// with frames, without its window.
//
// It builds the camera back-end of a camera type and lists the cameras,
// starts the live view of a maker's camera (frames announced by the
// back-end's callback on the camera library's thread, or by a frame-ready
// message to the control's window) or of another video device (frames
// fetched on the frame timer), or plays a recorded video file against the
// experiment clock (frames decoded ahead, taken on the frame timer, skipped
// when playback falls behind the clock). Each frame is rotated and scaled
// for the view when asked, handed to the recorder while recording, and
// analysed by the zone analysis.
//
// Threads: every call is made on the user-interface thread except the frame
// callback, which the camera library makes on its own thread. No frame
// callback runs once StopCapture has returned. The host's window delivers
// the back-ends' messages (OnWindowMessage) and the frame timer's ticks
// (OnTimer) on the user-interface thread.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "analysis_control/read_video_frames.h"
#include "analysis_control/shared_camera_frame.h"
#include "analysis_control/video_buffer.h"
#include "analysis_control/zone_analysis.h"
#include "video/cameras/camera_interface.h"

namespace ORV {

namespace Cameras {
class CaptureDeviceManager;
class CvCaptureCAM_ORV;
}  // namespace Cameras

// Where the shown frames come from.
enum SourceType : std::int32_t {
  kSourceNone = 0,
  kSourceCaptureDevice = 1,  // a video device no camera maker's library serves
  kSourceVideoFile = 4,
  kSourceCamera = 8,  // a camera maker's back-end
};

// What the engine raises besides the analysis' own events. Implemented by
// the host; called on the user-interface thread unless said otherwise.
class CaptureEvents : public AnalysisEvents {
 public:
  // A camera or a video file has started, with its picture size.
  virtual void DimensionsChanged(int width, int height) = 0;
  // The view has (re)started or a video file was opened: the zones are gone.
  virtual void ZonesReset() = 0;
  // Capture ended: StopCapture, the end of a video file, a lost device.
  virtual void CaptureStopped() = 0;
  // A frame has been handed to the analysis (on the thread that grabbed it).
  virtual void FramePrepared() {}
};

// The frame timer the host runs on the user-interface thread; each tick
// calls CaptureEngine::OnTimer.
class FrameTimer {
 public:
  virtual ~FrameTimer() = default;
  virtual void Start(int intervalMs) = 0;
  virtual void Stop() = 0;
};

struct CaptureEngineServices {
  // Builds the back-end of a camera type (CreateCameraInterface when empty).
  std::function<std::unique_ptr<CameraInterface>(int cameraType)> createCamera;
  // The manager of the other video devices (the system's when null).
  Cameras::CaptureDeviceManager* captureDevices = nullptr;
  // The frame timer (none: the host calls OnTimer by itself).
  std::shared_ptr<FrameTimer> timer;
  // The analysis workers and the user-interface dispatcher of the zone
  // analysis (its own pool and the process's dispatcher when null).
  std::shared_ptr<AnalysisTaskExecutor> executor;
  std::shared_ptr<Threading::UiDispatcher> ui;
};

class CaptureEngine : private ORVCameraCallback {
 public:
  static constexpr int kDefaultWidth = 1280;
  static constexpr int kDefaultHeight = 960;
  static constexpr int kDefaultFrameIntervalMs = 200;
  static constexpr int kDefaultRepaintDivisor = 3;
  static constexpr int kCameraRepaintDivisor = 150;  // Lumenera and XIMEA cameras
  static constexpr int kMaxCameraList = 20;
  static constexpr int kDefaultVideoScaleFactor = 4;
  static constexpr int kVideoJumpSeconds = 30;
  static constexpr int kCatchUpEveryFrames = 10;
  // A source that reports no frame rate is run at this one.
  static constexpr int kFallbackFramesPerSecond = 15;
  // The picture must be wider and higher than this to be shown.
  static constexpr int kMinPictureSide = 50;

  // `events` must outlive the engine.
  explicit CaptureEngine(CaptureEvents& events, CaptureEngineServices services = {});
  // Stops capture first, then lets the camera back-end go.
  ~CaptureEngine() override;
  CaptureEngine(const CaptureEngine&) = delete;
  CaptureEngine& operator=(const CaptureEngine&) = delete;

  // ---- host wiring ----

  // The experiment clock (not owned; must be set before capture starts).
  void SetRelativeTime(RelativeTime::Interface* clock);
  bool ClockRunning() const { return ClockRuns(); }
  // The window the back-ends post their messages to.
  void SetNotifyWindow(NotifyWindow window);
  // A back-end message delivered to the control's window.
  void OnWindowMessage(std::uint32_t message);
  // A tick of the frame timer.
  void OnTimer();

  // ---- cameras ----

  // Builds the back-end of the camera type (1 Lumenera, 2 XIMEA, any other
  // The Imaging Source), sets the repaint divisor for it and appends the
  // back-end's cameras of a known model to the camera list (at most 20).
  void LoadCamera(std::int16_t type);
  int GetCameraCount() const;
  // The display name of list entry `index`; empty out of range.
  std::string GetCameraName(int index) const;
  // Starts the live view of the named camera (a name beginning with a known
  // model goes to the maker's back-end, any other to the other video
  // devices). True when the view runs.
  bool StartCapture(const std::string& camera);
  // Stops capture, playback and recording; drops the zones; raises
  // CaptureStopped when something was running.
  void StopCapture();
  bool IsCapturing() const { return capturing_.load(); }
  // A maker's camera the back-end lost while the view captured (the view
  // stays marked as capturing): opens and starts it again on the same view,
  // so its zones, its analysis and its recording go on. False when no
  // camera is lost or it cannot be started (still gone).
  bool RestartLostCamera();
  bool CameraLost() const { return cameraLost_.load(); }
  // Frames the camera's back-end refused as torn (cut short on the way):
  // never analysed, shown or recorded. 0 without a camera.
  std::uint64_t TornFrames() const;
  // Whole frames the camera's back-end handed on since the engine was made
  // (a count that only moves).
  std::uint64_t Frames() const { return framesReady_.load(); }
  SourceType GetSourceType() const;
  void PauseCapture();
  void ResumeCapture();
  bool IsPaused() const;
  // Stores the picture size; starting a source replaces it.
  void SetCameraDimensions(int width, int height);
  int GetWidth() const;
  int GetHeight() const;
  // The frame timer interval, ms; starting a source replaces it. 0 is taken
  // as 1.
  void SetFrameRate(std::uint32_t millis);
  std::uint32_t GetFrameRate() const;
  // The view's rotation in degrees and its scale; a scale that is not a
  // finite number is refused.
  void TransformCameraView(std::int32_t degrees, float scale);
  // Gain, brightness and gamma of a maker's camera or another video device;
  // false for any other source.
  bool GetGainValues(int* minimum, int* maximum, int* value);
  bool SetGainValue(int value);
  bool GetBrightnessValues(int* minimum, int* maximum, int* value);
  bool SetBrightnessValue(int value);
  bool GetGammaValues(int* minimum, int* maximum, int* value);
  bool SetGammaValue(int value);
  // The repaint divisor: LoadCamera sets it; the host may set 1 to 5.
  void SetRepaintDivisor(int divisor);
  int GetRepaintDivisor() const;
  // While set (a zone is dragged in the view), frames are neither fetched
  // nor analysed.
  void SetTrackerBusy(bool busy);

  // ---- recording ----

  // Remembers the AVI file and requests recording; during capture the
  // recorder starts at once.
  void StartRecording(const std::string& file);
  bool IsRecording() const;
  // Stops the recorder, stamps the AVI with the frame rate measured over the
  // recording, closes both files and forgets the file name.
  void StopRecording();
  // Divisor of the recorded picture size, taken when a recording starts; 0
  // is taken as 1.
  void SetVideoScaleFactor(std::uint16_t factor);
  int GetVideoScaleFactor() const;

  // ---- video files ----

  // Shows a video file instead of a camera; true when it plays.
  bool PlayVideoFile(const std::string& file);
  bool IsVideoPlaying() const;
  void VideoBackward();
  void VideoForward();
  // Moves by `frames` from the frame last shown (capturing, not recording,
  // target within the file) and shows that frame even while paused; true
  // when it moved. After a move in the file the position lies just before
  // the frame moved to, so a step of 1 shows that frame.
  //
  // The video frame index counts the frame to be read next, one past the
  // frame shown: the step is taken from the frame before it, else a step of
  // 1 would pass over a frame.
  bool SeekFramesFromCurrentPosition(std::int32_t frames);
  void SetCurrentVideoTimeInSeconds(std::uint32_t seconds);
  int GetVideoFrameIndex() const;
  int GetVideoFrameCount() const;
  int GetVideoFramesPerSecond() const;
  // "position / length" while a video with frames is open, else empty.
  std::string VideoPositionText() const;

  // ---- frames and analysis ----

  // The newest camera frame, and the frame shown and analysed (the rotated
  // and scaled one when the view is transformed).
  SharedCameraFrame::Image CameraFrame() const { return cameraFrame_.Get(); }
  SharedCameraFrame::Image ShownFrame() const;
  ZoneAnalysis& Analysis() { return analysis_; }
  const ZoneAnalysis& Analysis() const { return analysis_; }

 private:
  void OnFrameReady() override;
  // The per-frame step: fetch, transform, record, analyse.
  void GrabFrame();
  // Fetches the next video frame (and the missed ones when playback falls
  // behind the clock); false at the end of the file.
  bool NextVideoFrame(std::uint32_t now);
  bool StartView();
  // A start that failed: drops the source (a started back-end is detached
  // and stopped after `lock` is released).
  void Abandon(std::unique_lock<std::recursive_mutex>& lock);
  void StartRecorder();
  void StopRecordingLocked();
  void EndPlayback();
  void MoveVideoTo(int target, bool restartClock);
  std::uint32_t Now() const;
  bool ClockRuns() const;
  Cameras::CaptureDeviceManager& CaptureDevices();
  // A video property of the source: the maker's back-end's own call, or the
  // other video device's property of that number.
  using CameraGetter = bool (CameraInterface::*)(int*, int*, int*);
  using CameraSetter = bool (CameraInterface::*)(int);
  bool GetVideoValues(CameraGetter get, long property, int* minimum, int* maximum, int* value);
  bool SetVideoValue(CameraSetter set, long property, int value);

  CaptureEvents& events_;
  CaptureEngineServices services_;

  // The grab lock: everything GrabFrame reads or writes. Recursive, since
  // event handlers run under it and may call back in.
  mutable std::recursive_mutex lock_;
  std::unique_ptr<CameraInterface> camera_;
  NotifyWindow notifyWindow_;
  std::unique_ptr<Cameras::CvCaptureCAM_ORV> capture_;
  ReadVideoFrames video_;
  std::atomic<RelativeTime::Interface*> clock_{nullptr};

  struct CameraEntry {
    std::string displayName;
    std::string deviceName;
    int deviceNumber = 0;
  };
  std::vector<CameraEntry> cameras_;
  std::string deviceName_;
  int captureDeviceNumber_ = 0;

  SourceType sourceType_ = kSourceNone;
  int width_ = kDefaultWidth;
  int height_ = kDefaultHeight;
  int framesPerSecond_ = 0;
  int frameInterval_ = kDefaultFrameIntervalMs;
  int repaintDivisor_ = kDefaultRepaintDivisor;

  SharedCameraFrame cameraFrame_;
  SharedCameraFrame transformedFrame_;
  std::int32_t angle_ = 0;
  float scale_ = 1.0f;
  cv::Point2f centre_{1.0f, 1.0f};

  std::atomic<bool> capturing_{false};
  std::atomic<bool> cameraLost_{false};
  bool paused_ = false;
  bool stepOnce_ = false;
  std::atomic<bool> trackerBusy_{false};
  std::uint32_t captureStart_ = 0;
  std::atomic<std::uint32_t> lastFrameTime_{0};
  std::atomic<std::uint64_t> framesReady_{0};

  bool recordingRequested_ = false;
  std::string recordingFile_;
  std::uint32_t recordingStart_ = 0;
  int videoScaleFactor_ = kDefaultVideoScaleFactor;

  int videoFrameIndex_ = 0;
  int videoFrameCount_ = 0;
  std::string videoDuration_;

  // Declared last: destroyed first, so no analysis result reaches a
  // half-destroyed engine.
  CVideoBuffer recorder_;
  ZoneAnalysis analysis_;
};

}  // namespace ORV
