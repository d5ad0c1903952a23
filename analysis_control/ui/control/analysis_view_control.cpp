#include "analysis_control/ui/control/analysis_view_control.h"

#include <dlfcn.h>

#include <QImage>
#include <QMetaObject>

#include "analysis_control/analysis_interface.h"
#include "analysis_control/frame_data.h"
#include "analysis_control/ui/analysis_painter.h"
#include "analysis_control/ui/control/analysis_view_window.h"
#include "core/threading/task.h"
#include "platform/cameras/camera_libraries.h"
#include "platform/ui/object_dispatcher.h"

namespace ORV::AnalysisView {

namespace {

// The window's frame timer for the engine.
class WindowTimer : public FrameTimer {
 public:
  explicit WindowTimer(AnalysisViewWindow* window) : window_(window) {}
  void Start(int intervalMs) override {
    if (window_) window_->SetTimer(AnalysisViewWindow::kFrameTimer, static_cast<unsigned>(std::max(intervalMs, 1)));
  }
  void Stop() override {
    if (window_) window_->KillTimer(AnalysisViewWindow::kFrameTimer);
  }

 private:
  QPointer<AnalysisViewWindow> window_;
};

// The analysis workers and the recorder's task pool keep their threads for a
// while after the last control has gone: the library stays loaded from its
// first control on, so that no such thread ever runs in unmapped code.
void KeepLibraryLoaded() {
  static const bool kept = [] {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&KeepLibraryLoaded), &info) == 0 || info.dli_fname == nullptr) return false;
    return dlopen(info.dli_fname, RTLD_NOW | RTLD_NODELETE) != nullptr;
  }();
  (void)kept;
}

}  // namespace

const Com::DispatchTable<AnalysisViewControl>& AnalysisViewControl::Table() {
  static const Com::DispatchTable<AnalysisViewControl> table = [] {
    using C = AnalysisViewControl;
    Com::DispatchTable<C> t;
    t.Method(Dispid::StartCapture, "StartCapture", &C::StartCapture);
    t.Method(Dispid::StopCapture, "StopCapture", &C::StopCapture);
    t.Method(Dispid::IsCapturing, "IsCapturing", &C::IsCapturing);
    t.Method(Dispid::SetCameraDimensions, "SetCameraDimensions", &C::SetCameraDimensions);
    t.Method(Dispid::StartRecording, "StartRecording", &C::StartRecording);
    t.Method(Dispid::IsRecording, "IsRecording", &C::IsRecording);
    t.Method(Dispid::StopRecording, "StopRecording", &C::StopRecording);
    t.Method(Dispid::GetFrameDataSize, "GetFrameDataSize", &C::GetFrameDataSize);
    t.Method(Dispid::GrabFrameData, "GrabFrameData", &C::GrabFrameData);
    t.Method(Dispid::SetFrameRate, "SetFrameRate", &C::SetFrameRate);
    t.Method(Dispid::GetFrameRate, "GetFrameRate", &C::GetFrameRate);
    t.Method(Dispid::GetThresholdValue, "GetThresholdValue", &C::GetThresholdValue);
    t.Method(Dispid::EnableAutoThreshold, "EnableAutoThreshold", &C::EnableAutoThreshold);
    t.Method(Dispid::InvertThreshold, "InvertThreshold", &C::InvertThreshold);
    t.Method(Dispid::SelectedZone, "SelectedZone", &C::SelectedZone);
    t.Method(Dispid::SetThreshold, "SetThreshold", &C::SetThreshold);
    t.Method(Dispid::SetInnerLeftAdjustment, "SetInnerLeftAdjustment", &C::SetInnerLeftAdjustment);
    t.Method(Dispid::SetInnerRightAdjustment, "SetInnerRightAdjustment", &C::SetInnerRightAdjustment);
    t.Method(Dispid::SetOuterLeftAdjustment, "SetOuterLeftAdjustment", &C::SetOuterLeftAdjustment);
    t.Method(Dispid::SetOuterRightAdjustment, "SetOuterRightAdjustment", &C::SetOuterRightAdjustment);
    t.Method(Dispid::GetInnerLeftAdjustment, "GetInnerLeftAdjustment", &C::GetInnerLeftAdjustment);
    t.Method(Dispid::GetInnerRightAdjustment, "GetInnerRightAdjustment", &C::GetInnerRightAdjustment);
    t.Method(Dispid::GetOuterLeftAdjustment, "GetOuterLeftAdjustment", &C::GetOuterLeftAdjustment);
    t.Method(Dispid::GetOuterRightAdjustment, "GetOuterRightAdjustment", &C::GetOuterRightAdjustment);
    t.Method(Dispid::GetGainValues, "GetGainValues", &C::GetGainValues);
    t.Method(Dispid::SetGainValue, "SetGainValue", &C::SetGainValue);
    t.Method(Dispid::GetBrightnessValues, "GetBrightnessValues", &C::GetBrightnessValues);
    t.Method(Dispid::GetGammaValues, "GetGammaValues", &C::GetGammaValues);
    t.Method(Dispid::SetBrightnessValue, "SetBrightnessValue", &C::SetBrightnessValue);
    t.Method(Dispid::SetGammaValue, "SetGammaValue", &C::SetGammaValue);
    t.Method(Dispid::GetCameraCount, "GetCameraCount", &C::GetCameraCount);
    t.Method(Dispid::GetCameraName, "GetCameraName", &C::GetCameraName);
    t.Method(Dispid::PlayVideoFile, "PlayVideoFile", &C::PlayVideoFile);
    t.Method(Dispid::IsVideoPlaying, "IsVideoPlaying", &C::IsVideoPlaying);
    t.Method(Dispid::SetUpdateViewFrequency, "SetUpdateViewFrequency", &C::SetUpdateViewFrequency);
    t.Method(Dispid::GetUpdateViewFrequency, "GetUpdateViewFrequency", &C::GetUpdateViewFrequency);
    t.Method(Dispid::IgnoreLumen, "IgnoreLumen", &C::IgnoreLumen);
    t.Method(Dispid::ExportImageToFile, "ExportImageToFile", &C::ExportImageToFile);
    t.Method(Dispid::SetExperimentStartTime, "SetExperimentStartTime", &C::SetExperimentStartTime);
    t.Method(Dispid::SetZoneBorderColor, "SetZoneBorderColor", &C::SetZoneBorderColor);
    t.Method(Dispid::SetZoneOuterEdgeColor, "SetZoneOuterEdgeColor", &C::SetZoneOuterEdgeColor);
    t.Method(Dispid::SetZoneInnerEdgeColor, "SetZoneInnerEdgeColor", &C::SetZoneInnerEdgeColor);
    t.Method(Dispid::GetSaturationValues, "GetSaturationValues", &C::GetSaturationValues);
    t.Method(Dispid::GetOffsetValues, "GetOffsetValues", &C::GetOffsetValues);
    t.Method(Dispid::SetSaturationValue, "SetSaturationValue", &C::SetSaturationValue);
    t.Method(Dispid::SetOffsetValue, "SetOffsetValue", &C::SetOffsetValue);
    t.Method(Dispid::TransformCameraView, "TransformCameraView", &C::TransformCameraView);
    t.Method(Dispid::SetPicoloChannel, "SetPicoloChannel", &C::SetPicoloChannel);
    t.Method(Dispid::SetSampleFrequency, "SetSampleFrequency", &C::SetSampleFrequency);
    t.Method(Dispid::SetMaxZones, "SetMaxZones", &C::SetMaxZones);
    t.Method(Dispid::DrawImageAtIndex, "DrawImageAtIndex", &C::DrawImageAtIndex);
    t.Method(Dispid::SetVideoScaleFactor, "SetVideoScaleFactor", &C::SetVideoScaleFactor);
    t.Method(Dispid::SetInnerThreshold, "SetInnerThreshold", &C::SetInnerThreshold);
    t.Method(Dispid::LoadCamera, "LoadCamera", &C::LoadCamera);
    t.Method(Dispid::GetAutoTrackingEnabled, "GetAutoTrackingEnabled", &C::GetAutoTrackingEnabled);
    t.Method(Dispid::SetAutoTrackingEnabled, "SetAutoTrackingEnabled", &C::SetAutoTrackingEnabled);
    t.Method(Dispid::PauseCapture, "PauseCapture", &C::PauseCapture);
    t.Method(Dispid::ResumeCapture, "ResumeCapture", &C::ResumeCapture);
    t.Method(Dispid::IsVideoPause, "IsVideoPause", &C::IsVideoPause);
    t.Method(Dispid::VideoBackward, "VideoBackward", &C::VideoBackward);
    t.Method(Dispid::VideoForward, "VideoForward", &C::VideoForward);
    t.Method(Dispid::SeekFramesFromCurrentPosition, "SeekFramesFromCurrentPosition", &C::SeekFramesFromCurrentPosition);
    t.Method(Dispid::SetCurrentVideoTimeInSeconds, "SetCurrentVideoTimeInSeconds", &C::SetCurrentVideoTimeInSeconds);
    t.Method(Dispid::SetRelativeTime, "SetRelativeTime", &C::SetRelativeTime);
    t.Method(Dispid::ChangeSelectedAutoTracking, "ChangeSelectedAutoTracking", &C::ChangeSelectedAutoTracking);
    t.Method(Dispid::GetAnalysisCutOff, "GetAnalysisCutOff", &C::GetAnalysisCutOff);
    t.Method(Dispid::SetAnalysisCutOff, "SetAnalysisCutOff", &C::SetAnalysisCutOff);
    t.Method(Dispid::GetInnerAnalysisCutOff, "GetInnerAnalysisCutOff", &C::GetInnerAnalysisCutOff);
    t.Method(Dispid::SetInnerAnalysisCutOff, "SetInnerAnalysisCutOff", &C::SetInnerAnalysisCutOff);
    t.Method(Dispid::RestartLostCamera, "RestartLostCamera", &C::RestartLostCamera);
    t.Method(Dispid::GetTornFrameCount, "GetTornFrameCount", &C::GetTornFrameCount);
    t.Method(Dispid::GetZonePictureState, "GetZonePictureState", &C::GetZonePictureState);
    t.Method(Dispid::GetFrameCount, "GetFrameCount", &C::GetFrameCount);
    return t;
  }();
  return table;
}

AnalysisViewControl::AnalysisViewControl(const Com::CreateParams& params) {
  KeepLibraryLoaded();
  // A host that runs on stand-in devices (the simulated lab) hands them
  // over: this library's own camera tables then offer their cameras, so the
  // control watches what the host's instruments drive.
  if (params.standIns != nullptr) Cameras::UseStandInCameras(params.standIns);
  window_ = new AnalysisViewWindow(params, *this);
  SetWindow(window_.data());
  CaptureEngineServices services;
  services.timer = std::make_shared<WindowTimer>(window_.data());
  // The library's own copy of the process's dispatcher is never set: the
  // raw profiles come to this window's thread through a dispatcher of its own.
  services.ui = std::make_shared<UI::ObjectDispatcher>(window_.data());
  engine_ = std::make_unique<CaptureEngine>(*this, services);
  engine_->SetNotifyWindow(window_->Target());
  view_ = std::make_unique<AnalysisViewModel>(*engine_, *this);
  window_->resize(320, 240);
  window_->Render();
}

AnalysisViewControl::~AnalysisViewControl() {
  // Capture stops while the window still takes its messages; then the
  // window goes, and with it every way in from outside.
  engine_->StopCapture();
  delete window_.data();
  view_.reset();
  engine_.reset();
}

void AnalysisViewControl::StopCapture() {
  engine_->StopCapture();
  Repaint();
}

std::int32_t AnalysisViewControl::GetFrameDataSize() {
  const SharedCameraFrame::Image frame = engine_->ShownFrame();
  return FrameDataSize(frame.get());
}

std::int32_t AnalysisViewControl::GrabFrameData(std::uint8_t* buffer, std::int32_t size) {
  const SharedCameraFrame::Image frame = engine_->ShownFrame();
  return WriteFrameData(frame.get(), buffer, size);
}

void AnalysisViewControl::GetCameraName(std::int32_t index, std::string* buffer) {
  if (buffer == nullptr) return;
  if (index < 0 || index >= engine_->GetCameraCount()) {
    buffer->clear();
    return;
  }
  *buffer = engine_->GetCameraName(index);
}

std::int16_t AnalysisViewControl::ExportImageToFile(std::string fileName) {
  const SharedCameraFrame::Image frame = engine_->ShownFrame();
  if (!frame || frame->empty()) return 0;
  const QImage image = FrameImage(*frame);
  return !image.isNull() && image.save(QString::fromStdString(fileName)) ? 1 : 0;
}

void AnalysisViewControl::SetZoneBorderColor(std::int32_t color) {
  view_->SetZoneBorderColor(static_cast<std::uint32_t>(color));
  Repaint();
}

void AnalysisViewControl::SetZoneOuterEdgeColor(std::int32_t color) {
  view_->SetZoneOuterEdgeColor(static_cast<std::uint32_t>(color));
  Repaint();
}

void AnalysisViewControl::SetZoneInnerEdgeColor(std::int32_t color) {
  view_->SetZoneInnerEdgeColor(static_cast<std::uint32_t>(color));
  Repaint();
}

void AnalysisViewControl::SetAutoTrackingEnabled(std::int32_t zone, bool enable) {
  engine_->Analysis().SetAutoTrackingEnabled(zone, enable);
  Repaint();
}

std::int16_t AnalysisViewControl::SeekFramesFromCurrentPosition(std::int32_t frames) {
  const bool moved = engine_->SeekFramesFromCurrentPosition(frames);
  Repaint();
  return moved ? 1 : 0;
}

void AnalysisViewControl::ChangeSelectedAutoTracking(std::int32_t zone, std::int16_t delta) {
  engine_->Analysis().ChangeSelectedAutoTracking(zone, delta);
  Repaint();
}

// ---- events ----

void AnalysisViewControl::ZoneAnalysisData(int zone, int vesselLeft, int vesselRight, int lumenLeft, int lumenRight) {
  if (view_) view_->ZoneResult();
  Fire(EventId::ZoneAnalysisData, zone, vesselLeft, vesselRight, lumenLeft, lumenRight);
}

void AnalysisViewControl::RawZoneData(int zone, const std::uint8_t* data, int dataSize) {
  Fire(EventId::RawZoneData, zone, const_cast<std::uint8_t*>(data), dataSize);
}

void AnalysisViewControl::IndexImage(std::uint32_t time, std::uint32_t width, std::uint32_t height,
                                     std::uint32_t imageSize, const std::uint8_t* imageData) {
  Fire(EventId::IndexImage, time, width, height, imageSize, const_cast<std::uint8_t*>(imageData));
}

void AnalysisViewControl::DimensionsChanged(int width, int height) { Fire(EventId::DimensionsChanged, width, height); }

void AnalysisViewControl::ZonesReset() { Fire(EventId::ZonesReset); }

void AnalysisViewControl::CaptureStopped() {
  if (view_) view_->ClearSelection();
  if (window_) window_->ResetTracker();
  Fire(EventId::CaptureStopped);
}

void AnalysisViewControl::FramePrepared() {
  if (!view_ || !view_->FramePrepared() || !window_) return;
  // Frames may be prepared on a camera library's thread: the window repaints
  // on its own.
  QMetaObject::invokeMethod(
      window_.data(),
      [window = window_] {
        if (window) window->Render();
      },
      Qt::QueuedConnection);
}

void AnalysisViewControl::ZoneCreated(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                                      std::int32_t x3, std::int32_t y3, std::int32_t x4, std::int32_t y4, float angle) {
  Fire(EventId::ZoneCreated, x1, y1, x2, y2, x3, y3, x4, y4, angle);
}

void AnalysisViewControl::ZoneSelected(std::int32_t zone) { Fire(EventId::ZoneSelected, zone); }

void AnalysisViewControl::Repaint() {
  if (window_) window_->Render();
}

namespace {

// The property page has no controls; only its name is registered.
Com::Control* CreatePropertyPage(const Com::CreateParams&) { return nullptr; }

// The recorder and the analysis run tasks on this library's task pool, whose
// idle workers linger a while after the last control has gone: the library
// stays loaded while any of them runs.
const bool kBusyCheckSet = (Com::SetModuleBusyCheck([] { return Threading::ProcessTaskThreads() > 0; }), true);

const Com::ControlClass kClasses[] = {
    {kProgId, &Com::CreateControlOf<AnalysisViewControl>},
    {kPropPageProgId, &CreatePropertyPage},
};
const Com::TypeLibrary kTypeLibrary{kTypeLibraryId, 1, 0};

}  // namespace

}  // namespace ORV::AnalysisView

ORV_CONTROL_MODULE_WITH_TYPES(ORV::AnalysisView::kClasses, ORV::AnalysisView::kTypeLibrary)
