#pragma once
// The logic of a trace view: one trace of the running or loaded experiment
// as a time plot in a graph control, without any widget.
//
// The view drives its graph only through the graph's dispatch interface
// (graph_control/graph_interface.h); a view whose graph could not be
// created makes no graph calls at all. It hears of new data through the four
// receivers it registers with the experiment record at construction and
// removes in its destructor:
//   - any thread (the sampling and analysis threads): a sample is copied into
//     its channel's queue and the channel's message is posted to the view's
//     own message target;
//   - the user-interface thread: the message's handler drains the queue,
//     keeps the newest values, computes the trace's value, plots it and moves
//     the time window.
// After each set-up for a trace the whole trace is replotted from the stored
// experiment; markers of the view's camera appear as annotations.
//
// Every operation but the four sample receivers runs on the user-interface
// thread.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/base/scoped_registration.h"
#include "core/experiment/consumers.h"
#include "core/experiment/trace_window_host.h"
#include "platform/com/caller.h"
#include "views/channel_queue.h"
#include "views/trace_document.h"

namespace ORV {
class AppRegistry;
class ExperimentData;
}  // namespace ORV

namespace ORV::Views {

// The messages that announce a channel's records.
inline constexpr std::uint32_t WM_IMAGE_ANALYSIS_ARRIVED = 33869;
inline constexpr std::uint32_t WM_PRESSURE_ARRIVED = 33870;
inline constexpr std::uint32_t WM_MICROSCOPE_ARRIVED = 33871;
inline constexpr std::uint32_t WM_FLOW_ARRIVED = 33872;

// The child id of the graph control in its view.
inline constexpr std::int32_t kGraphControlId = 34768;
// Colors as the graph takes them (0x00BBGGRR).
inline constexpr std::int32_t kPlotAreaColor = 0xFFFFFF;
inline constexpr std::int32_t kGridColor = 0xE1E1E1;
inline constexpr std::int32_t kTraceLineColor = 0x3C3C3C;
// A camera trace's range is applied at most this often while live.
inline constexpr std::int64_t kCameraRangeIntervalMs = 150;
// The graph repaints from SetRange at most once in 250 ms, so a live view
// has its graph drawn again this long after a drain that plotted: the last
// sample of a burst is drawn without waiting for another, and the graph is
// drawn at most about ten times a second however often samples come.
inline constexpr int kLiveRedrawMs = 100;

// One zone's wall positions of one analysed frame, as the view queues it.
struct ImageAnalysisRecord {
  std::uint32_t time = 0;  // ms of the experiment clock
  std::uint32_t zone = 0;  // 1-4
  float outerLeft = 0.0f;
  float outerRight = 0.0f;
  float innerLeft = 0.0f;
  float innerRight = 0.0f;
  std::int32_t camera = 0;
};

// The instruments the view plots from, taken once when it is made.
struct DevicesPresent {
  bool flowMeter = false;
  bool pressureInterface = false;
  bool heatController = false;
  bool microscope = false;
  bool multiInterface = false;
  std::int32_t productType = 0;  // 2: the incubation chamber system
};

// What a view tells the window that shows it.
class TraceViewHost {
 public:
  virtual ~TraceViewHost() = default;
  // A set-up starts (true) or ends (false): show that the view is busy.
  virtual void SetBusy(bool busy) = 0;
  // The graph and the controls above it are to be drawn again (the zone
  // buttons may have changed).
  virtual void Invalidate() = 0;
  // Calls the view's OnRedrawTimer once, `ms` from now.
  virtual void StartRedrawTimer(int ms) = 0;
  // The graph is to be drawn again (from the event loop, not at once).
  virtual void RedrawGraph() = 0;
};

// The commands of a trace view (ribbon, context menu, zone and settings
// buttons).
inline constexpr int kCmdTraceSettings = 1024;
inline constexpr int kCmdAutoRangeNow = 32977;
inline constexpr int kCmdShowVideoFrame = 32978;
inline constexpr int kCmdFirstTraceKind = 32979;  // + kind 0-19
inline constexpr int kCmdLastTraceKind = 32998;
inline constexpr int kCmdFirstCamera = 32999;  // + camera 0-3
inline constexpr int kCmdLastCamera = 33002;
inline constexpr int kCmdFirstCustomTrace = 33003;  // + n, the custom trace 220 + n
inline constexpr int kCmdLastCustomTrace = 33053;
inline constexpr int kCmdFirstZone = 52768;  // + zone 1-4 less one
inline constexpr int kCmdLastZone = 52771;
inline constexpr int kCmdFirstZoneButton = 52778;
inline constexpr int kCmdLastZoneButton = 52781;

// Navigation: posted to a view (and by it to the main window) with a code
// in wParam: 0 scroll by lParam seconds, 1 go to lParam seconds (0: the
// start), 2 go to the end, 3 / 4 shift the Y axis up / down, 10 zoom the Y
// axis (lParam the direction), 11 zoom the X axis (lParam below 1: in).
inline constexpr std::uint32_t WM_TRACE_NAVIGATE = 0x7FC;
// Re-time a marker: wParam the dragged annotation's index, lParam its new
// time in ms from the experiment's start (posted by the graph).
inline constexpr std::uint32_t WM_TRACE_MOVE_MARKER = 0x7FD;
// To the main window: the time window's new length in ms (lParam).
inline constexpr std::uint32_t WM_TRACE_WINDOW_LENGTH = 0x7FE;

// What a trace view needs of the main frame and the application.
class TraceViewFrame {
 public:
  virtual ~TraceViewFrame() = default;
  // A message for the main window (navigation, the window length).
  virtual void PostToMainWindow(std::uint32_t message, OS::WPARAM wParam, OS::LPARAM lParam) = 0;
  // The status bar's cursor read-out.
  virtual void SetCursorReadout(const std::string& text) = 0;
  // Selects the range (seconds) in every trace view.
  virtual void SelectTraceRange(double start, double stop) = 0;
  // Asks for a marker's text and adds it at `time` (seconds from the start).
  virtual void EnterMarker(double time) = 0;
  // Opens the action sheet's document when it is not open, filled.
  virtual void EnsureActionSheetOpen() = 0;
  // The recorded video of a camera: frame rate and frame count while one is
  // loaded (nothing otherwise), and showing one of its frames.
  struct Video {
    float frameRate = 0.0f;
    int frameCount = 0;
  };
  virtual std::optional<Video> RecordedVideo(int camera) const = 0;
  virtual void ShowVideoFrame(int camera, int frame) = 0;
};

// One item of a view's context menu.
struct MenuItem {
  std::string text;  // empty: a separator
  int command = 0;
  bool checked = false;
  bool enabled = true;
};

// Keys of the keyboard navigation (with Ctrl held).
enum class NavigationKey { End, Home, Left, Up, Right, Down };

class CPelmoraView final : public ImageAnalysisConsumer,
                           public PressureDataConsumer,
                           public FlowDataConsumer,
                           public MicroscopeDataConsumer {
 public:
  struct Params {
    ExperimentData* experiment = nullptr;  // required
    AppRegistry* registry = nullptr;       // required: the per-kind display settings
    int settingsVersion = 5;
    int traceTimeSpan = 60;  // the time window, seconds
    TraceTexts texts;
    DevicesPresent devices;
    // Where the view posts its channel messages (its own window); posts
    // from producer threads go here. Null: nothing is posted (tests drain
    // by hand).
    std::shared_ptr<OS::MessageTarget> self;
    TraceViewHost* host = nullptr;
    bool live = false;  // the application's live-trace flag
    // The steady clock in ms (tests set their own).
    std::function<std::int64_t()> steadyMs;
  };

  // Registers the four receivers with the experiment record (the microscope
  // receiver only when a microscope is present).
  explicit CPelmoraView(Params params);
  // Removes the receivers first: once it returns no producer is inside
  // one and none calls the view again.
  ~CPelmoraView() override;
  CPelmoraView(const CPelmoraView&) = delete;
  CPelmoraView& operator=(const CPelmoraView&) = delete;

  // ---- the graph ----
  // The graph control was created (null: its creation failed, and the view
  // makes no graph calls). Makes the initial set-up calls; `frameColor` is
  // the color around the plot area (0x00BBGGRR, the window's background),
  // `noSaveData` the application's flag for the graph's DrawNoSaveData.
  void AttachGraph(Com::IDispatch* graph, std::int32_t frameColor, bool noSaveData);
  // Before the graph control is destroyed.
  void DetachGraph() { graph_.reset(nullptr); }
  bool HasGraph() const { return static_cast<bool>(graph_); }

  CPelmoraDoc& Document() { return doc_; }
  const CPelmoraDoc& Document() const { return doc_; }

  // ---- configuring for a trace ----
  // Shows a trace: a built-in kind (below 220) or a custom trace of the
  // experiment; then ConfigureGraphForTrace.
  void ShowTrace(std::int32_t code);
  // SetupGraphForTrace, then the Y range read back from the graph when it
  // fits the data, and the ranges applied.
  void ConfigureGraphForTrace(std::int32_t code);
  // Turns the document's kind's automatic Y range on, sets the trace up
  // again and fits the Y range.
  void ApplyTraceSettings();
  // Clears the graph, takes the trace's settings and axis texts, and
  // replots the whole trace from the experiment. Code -1: the current one;
  // code 0 only retitles and updates the zone buttons.
  void SetupGraphForTrace(std::int32_t code);
  // The caption of annotation `index` (a marker's text was edited).
  void SetAnnotationCaption(std::int16_t index, const std::string& text);
  // The caption of the marker's annotation, when the view shows it.
  void SetMarkerCaption(std::uint32_t markerId, const std::string& text);

  // ---- state ----
  std::int32_t TraceCode() const { return code_; }
  // What a view that shows no trace yet says in its plot: how to choose
  // one. Empty once it shows a trace (or has no plot).
  std::string EmptyPlotHint() const;
  bool Live() const { return live_; }
  void SetLive(bool live) { live_ = live; }
  int CurrentCamera() const { return currentCamera_.load(); }
  // Shows another camera's trace (0-3) and sets the view up for it.
  void SetCurrentCamera(int camera);
  int CameraCount() const { return cameraCount_; }
  int SelectedZone(int camera) const;
  // Selects a zone (1-4, -1 none) of a camera without a set-up.
  void SetSelectedZone(int camera, int zone);
  int ZoneCount(int camera) const;
  double XMin() const { return xMin_; }
  double XMax() const { return xMax_; }
  double YMin() const { return yMin_; }
  double YMax() const { return yMax_; }
  void SetYRange(double yMin, double yMax) { yMin_ = yMin, yMax_ = yMax; }
  void SetXRange(double xMin, double xMax) { xMin_ = xMin, xMax_ = xMax; }
  // For the frame: shows a time range (seconds), and selects one (the
  // selection made in another view).
  void SetVisibleRange(double start, double end);
  // The window ending at the newest sample's time (from 0 while the data
  // is shorter than the window).
  void ShowNewestWindow();
  void SelectRange(double start, double stop);
  int WindowLength() const { return windowLength_; }
  void SetWindowLength(int seconds) { windowLength_ = seconds; }
  double CurrentTime() const { return currentTime_; }
  double LastPlottedValue() const { return lastPlotted_; }
  bool UseAutoRange() const { return useAutoRange_; }
  bool AutoRangeNow() const { return autoRangeNow_; }
  void SetAutoRangeNow(bool on) { autoRangeNow_ = on; }
  bool RebuildPending() const { return rebuildPending_; }
  std::uint32_t StartTime() const { return startTime_; }
  const std::shared_ptr<Traces::CustomTracesWithLuaContext>& CustomTrace() const { return custom_; }
  // Marker id -> annotation index.
  const std::map<std::uint32_t, std::int16_t>& Annotations() const { return annotations_; }
  // Whether the trace follows a camera zone (kinds 1-10, or a custom trace
  // driven by camera samples).
  bool IsCameraTrace() const { return IsCameraTrace(code_); }
  // The window as the experiment file and the open-views file record it.
  TraceWindowState State() const;
  Com::Dispatcher& Graph() { return graph_; }
  ExperimentData& Experiment() { return experiment_; }

  // The first `shown` zone buttons are shown; `bold` is the selected one
  // (0-3, -1 none).
  struct ZoneButtons {
    int shown = 0;
    int bold = -1;
  };
  ZoneButtons ZoneButtonState() const;
  // Whether the band with the settings and zone buttons fits a frame of
  // this client size (pixels at 96 dpi).
  bool ControlBandFits(int width, int height) const;

  // ---- commands, navigation and graph events ----
  // The frame the view reports to (none: those reports are dropped).
  void SetFrame(TraceViewFrame* frame) { frame_ = frame; }
  // The interface type word of the connected pressure interface (the trace
  // settings leave kinds out by it).
  void SetInterfaceType(std::uint32_t type) { interfaceType_ = type; }
  std::uint32_t InterfaceType() const { return interfaceType_; }
  // Runs a command; false for a command the view does not handle. The trace
  // settings command (1024) is the window's: it opens the dialog and then
  // calls TraceSettingsAccepted.
  bool OnCommand(int command);
  void OnShowTraceKind(int kind);
  void OnShowCustomTrace(int command);
  void OnSelectCamera(int camera);
  void OnSelectZone(int zone);
  void OnAutoRangeNow();
  void OnShowVideoFrame();
  // After the trace settings dialog ended with OK.
  void TraceSettingsAccepted();

  void ZoomY(int direction);
  void ShiftY(int direction);
  // The X axis 1.25 times longer (out) or 0.8 times (in).
  void ZoomX(bool out);
  struct WheelKeys {
    bool shift = false;
    bool control = false;
    bool alt = false;
  };
  void OnMouseWheel(WheelKeys keys, int delta);
  // Ctrl with a navigation key: posts the navigation to the view itself.
  void OnNavigationKey(NavigationKey key);
  void OnNavigate(OS::WPARAM code, OS::LPARAM n);
  // The graph's annotation `annotation` was dragged to `ms` from the start:
  // its marker is stored at the new time. False when no marker moved.
  bool OnMoveMarker(OS::WPARAM annotation, OS::LPARAM ms);
  // Handles the navigation and marker messages; false for others.
  bool HandleFrameMessage(std::uint32_t message, OS::WPARAM wParam, OS::LPARAM lParam);

  // The graph's events (by their DISPIDs), on the user-interface thread.
  void OnGraphCursorPosition(double x, double y);
  void OnGraphSelectTrace(double start, double stop);
  void OnGraphDoubleClick(double time);
  // "Add" while the record collects: asks for a marker at the experiment
  // clock's current time (the graph's right edge is the time of the newest
  // sample, or the end of a window the data have not filled yet). False,
  // asking nothing, when the record does not collect or the view shows no
  // trace.
  bool AskMarkerAtClockTime();
  // Calls the handler of a graph event.
  void OnGraphEvent(Com::DISPID id, std::span<const Com::Variant> args);

  // The context menu at a click whose time (seconds) the graph gives.
  std::vector<MenuItem> ContextMenu(double clickTime) const;

  // ---- the channels (user-interface thread) ----
  // Runs the handler of a channel message; false for any other message.
  bool HandleMessage(std::uint32_t message);
  // Records queued on the four channels and not yet drained.
  std::size_t QueuedRecords() const {
    return imageQueue_.Size() + pressureQueue_.Size() + microscopeQueue_.Size() + flowQueue_.Size();
  }
  // The stop tick while the record holds a stopped collection: the view
  // then shows what was recorded and draws nothing the sampling hands on
  // after the stop. Nothing otherwise.
  std::optional<std::uint32_t> StoppedAt() const;
  static bool AfterTheStop(const std::optional<std::uint32_t>& stopped, std::uint32_t time);
  void OnImageAnalysisArrived();
  void OnPressureArrived();
  void OnMicroscopeArrived();
  void OnFlowArrived();
  // The host's redraw timer (see kLiveRedrawMs): a live view applies its
  // ranges once more and has its graph drawn.
  void OnRedrawTimer();

  // The trace's value from the newest samples; NaN when it has none (a
  // vascular resistance with no flow).
  double CurrentTraceValue();
  // The trace's value from one zone's walls; 0.0 when they do not allow it.
  // Widens the Y range while the automatic range is on.
  double CameraTraceValue(float outerLeft, float outerRight, float innerLeft, float innerRight);
  // Replots the whole trace and the markers from the experiment.
  void AppendSamples();

  // ---- receivers ----
  void OnZoneValue(std::uint32_t time, int zone, float outerLeft, float outerRight, float innerLeft, float innerRight,
                   int camera) override;
  void OnZoneCreated(int zoneCount, int camera) override;
  void OnZonesReset(int camera) override;
  void OnMarkerAdded(const MarkerData2& marker) override;
  void OnExperimentStarted(std::uint32_t startTick) override;
  bool OnMarkerRemoved(std::uint32_t markerId) override;
  void OnPressureData(const PMK4xData3& sample) override;
  void OnFlowData(const FMASL1600Data& sample) override;
  void OnMicroscopeData(const MicroscopeSample& sample) override;

 private:
  // The channels, for the replot's record of what it covered.
  enum Channel { kImageChannel = 0, kPressureChannel, kMicroscopeChannel, kFlowChannel, kChannels };

  bool IsCameraTrace(std::int32_t code) const;
  bool IsCameraCustomTrace() const;
  int ScriptType() const;
  double Seconds(std::uint32_t ms) const {
    return (static_cast<double>(ms) - static_cast<double>(startTime_)) / 1000.0;
  }
  void AdvanceWindow(double t);
  void ReplotIfPending();
  void ApplyRange();
  // A live drain's ranges, applied now or (`now` false: a camera trace
  // within its interval) left to the redraw timer, which is started unless
  // it runs.
  void ApplyLiveRange(bool now = true);
  // A camera trace with its automatic range on takes the fitted Y range
  // back from the graph.
  void TakeFittedRange();
  void Plot(double x, double y);
  void PlotPulse(double t, const PMK4xData3& sample);
  // True when the replot already plotted a record of the channel at this time.
  bool Replotted(Channel channel, std::uint32_t time) const { return time <= replotted_[channel]; }
  void Retitle();
  // Runs the custom trace under its lock: `prepare` sets its inputs.
  double RunCustom(const std::function<void(Traces::CustomTracesWithLuaContext&)>& prepare, int camera, int zone,
                   std::uint32_t time);
  void ReplotCustom();
  void ReplotZones();
  void ReplotFlow();
  void ReplotMicroscope();
  void ReplotPressure();
  void ReplotMarkers();
  void AddMarkerAnnotation(const MarkerData2& marker);

  ExperimentData& experiment_;
  CPelmoraDoc doc_;
  std::shared_ptr<OS::MessageTarget> self_;
  TraceViewHost* host_;
  std::function<std::int64_t()> steadyMs_;
  Com::Dispatcher graph_;
  const DevicesPresent devices_;

  // The trace.
  std::int32_t code_ = 0;
  std::shared_ptr<Traces::CustomTracesWithLuaContext> custom_;

  // Cameras and zones. The producers read the current camera and the
  // selected zones to filter zone values, hence atomics.
  std::atomic<int> currentCamera_{0};
  int cameraCount_ = 0;
  std::array<std::atomic<int>, 4> selectedZone_;
  std::array<int, 4> zoneCount_{};

  // The time axis (seconds from the experiment start).
  int windowLength_ = 60;
  double xMin_ = 0.0;
  double xMax_ = 60.0;
  std::uint32_t startTime_ = 0;
  double currentTime_ = 0.0;
  std::optional<double> previousPulse_;

  // The Y axis.
  double yMin_ = -1.0;
  double yMax_ = 1.0;
  int xGrid_ = 10;
  int yGrid_ = 5;
  double lastPlotted_ = 0.0;

  bool live_ = false;
  bool rebuildPending_ = true;
  bool frozen_ = false;
  bool useAutoRange_ = false;
  bool autoRangeNow_ = false;
  bool firstValue_ = true;
  std::int64_t lastRangeMs_ = 0;
  bool redrawTimerRunning_ = false;
  // Per channel, the newest record time (ms) the last replot plotted from
  // the experiment: live records up to it are already on the graph.
  std::array<std::int64_t, kChannels> replotted_{-1, -1, -1, -1};

  // The newest values.
  PMK4xData3 lastPressure_;
  FMASL1600Data lastFlow_;
  MicroscopeSample lastMicroscope_;

  ChannelQueue<ImageAnalysisRecord> imageQueue_{WM_IMAGE_ANALYSIS_ARRIVED};
  ChannelQueue<PMK4xData3> pressureQueue_{WM_PRESSURE_ARRIVED};
  ChannelQueue<MicroscopeSample> microscopeQueue_{WM_MICROSCOPE_ARRIVED};
  ChannelQueue<FMASL1600Data> flowQueue_{WM_FLOW_ARRIVED};

  std::map<std::uint32_t, std::int16_t> annotations_;

  TraceViewFrame* frame_ = nullptr;
  std::uint32_t interfaceType_ = 0;
  TraceTexts texts_;

  // The view on the experiment record's receiver lists. Declared last, so
  // that even without the destructor's reset the view leaves the lists
  // before any other member goes.
  std::vector<ScopedRegistration> registrations_;
};

}  // namespace ORV::Views
