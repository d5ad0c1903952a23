#pragma once
// The analysis control: the capture engine, the view's logic and the window,
// behind the dispatch interface of analysis_control/analysis_interface.h.
// The window is a thin shell: it paints what the view model lays out and
// hands the mouse and keys to it; the engine's frames arrive through the
// window's messages and frame timer.
#include <QPointer>
#include <memory>
#include <string>

#include "analysis_control/analysis_view.h"
#include "analysis_control/capture_engine.h"
#include "platform/com/control.h"

namespace ORV::AnalysisView {

class AnalysisViewWindow;

class AnalysisViewControl final : public Com::ControlImpl<AnalysisViewControl>,
                                  public CaptureEvents,
                                  public ViewEvents {
 public:
  explicit AnalysisViewControl(const Com::CreateParams& params);
  // Stops capture first.
  ~AnalysisViewControl() override;

  static const Com::DispatchTable<AnalysisViewControl>& Table();

  // False while the control is being made or destroyed.
  bool Ready() const { return engine_ && view_; }
  CaptureEngine& engine() { return *engine_; }
  AnalysisViewModel& view() { return *view_; }

  // ---- the dispatch interface (I2 results are 1 for true, 0 for false) ----

  std::int16_t StartCapture(std::string camera) { return engine_->StartCapture(camera) ? 1 : 0; }
  void StopCapture();
  std::int16_t IsCapturing() { return engine_->IsCapturing() ? 1 : 0; }
  std::int16_t RestartLostCamera() { return engine_->RestartLostCamera() ? 1 : 0; }
  std::int32_t GetTornFrameCount() { return static_cast<std::int32_t>(engine_->TornFrames() & 0x7FFFFFFF); }
  std::int32_t GetZonePictureState(std::int32_t zone) {
    return static_cast<std::int32_t>(engine_->Analysis().GetPictureVerdict(zone));
  }
  std::int32_t GetFrameCount() { return static_cast<std::int32_t>(engine_->Frames() & 0x7FFFFFFF); }
  void SetCameraDimensions(std::int32_t width, std::int32_t height) { engine_->SetCameraDimensions(width, height); }
  void StartRecording(std::string file) { engine_->StartRecording(file); }
  std::int16_t IsRecording() { return engine_->IsRecording() ? 1 : 0; }
  void StopRecording() { engine_->StopRecording(); }
  std::int32_t GetFrameDataSize();
  std::int32_t GrabFrameData(std::uint8_t* buffer, std::int32_t size);
  void SetFrameRate(std::uint32_t millis) { engine_->SetFrameRate(millis); }
  std::uint32_t GetFrameRate() { return engine_->GetFrameRate(); }
  std::int32_t GetThresholdValue(std::int32_t zone) { return engine_->Analysis().GetThresholdValue(zone); }
  void EnableAutoThreshold(std::int16_t enable) { engine_->Analysis().EnableAutoThreshold(enable != 0); }
  void InvertThreshold(std::int16_t invert) { engine_->Analysis().InvertThreshold(invert != 0); }
  std::int32_t SelectedZone() { return view_->SelectedZone(); }
  void SetThreshold(std::int32_t zone, std::int32_t value) { engine_->Analysis().SetThreshold(zone, value); }
  void SetInnerLeftAdjustment(std::int32_t zone, std::int32_t a) {
    engine_->Analysis().SetInnerLeftAdjustment(zone, a);
  }
  void SetInnerRightAdjustment(std::int32_t zone, std::int32_t a) {
    engine_->Analysis().SetInnerRightAdjustment(zone, a);
  }
  void SetOuterLeftAdjustment(std::int32_t zone, std::int32_t a) {
    engine_->Analysis().SetOuterLeftAdjustment(zone, a);
  }
  void SetOuterRightAdjustment(std::int32_t zone, std::int32_t a) {
    engine_->Analysis().SetOuterRightAdjustment(zone, a);
  }
  std::int32_t GetInnerLeftAdjustment(std::int32_t zone) { return engine_->Analysis().GetInnerLeftAdjustment(zone); }
  std::int32_t GetInnerRightAdjustment(std::int32_t zone) { return engine_->Analysis().GetInnerRightAdjustment(zone); }
  std::int32_t GetOuterLeftAdjustment(std::int32_t zone) { return engine_->Analysis().GetOuterLeftAdjustment(zone); }
  std::int32_t GetOuterRightAdjustment(std::int32_t zone) { return engine_->Analysis().GetOuterRightAdjustment(zone); }
  std::int16_t GetGainValues(std::int32_t* lo, std::int32_t* hi, std::int32_t* v) {
    return engine_->GetGainValues(lo, hi, v) ? 1 : 0;
  }
  std::int16_t SetGainValue(std::int32_t v) { return engine_->SetGainValue(v) ? 1 : 0; }
  std::int16_t GetBrightnessValues(std::int32_t* lo, std::int32_t* hi, std::int32_t* v) {
    return engine_->GetBrightnessValues(lo, hi, v) ? 1 : 0;
  }
  std::int16_t GetGammaValues(std::int32_t* lo, std::int32_t* hi, std::int32_t* v) {
    return engine_->GetGammaValues(lo, hi, v) ? 1 : 0;
  }
  std::int16_t SetBrightnessValue(std::int32_t v) { return engine_->SetBrightnessValue(v) ? 1 : 0; }
  std::int16_t SetGammaValue(std::int32_t v) { return engine_->SetGammaValue(v) ? 1 : 0; }
  std::uint32_t GetCameraCount() { return static_cast<std::uint32_t>(engine_->GetCameraCount()); }
  void GetCameraName(std::int32_t index, std::string* buffer);
  std::int16_t PlayVideoFile(std::string file) { return engine_->PlayVideoFile(file) ? 1 : 0; }
  std::int16_t IsVideoPlaying() { return engine_->IsVideoPlaying() ? 1 : 0; }
  void SetUpdateViewFrequency(std::int32_t fps) { engine_->SetRepaintDivisor(fps); }
  std::int32_t GetUpdateViewFrequency() { return engine_->GetRepaintDivisor(); }
  void IgnoreLumen(std::int16_t ignore) { engine_->Analysis().IgnoreLumen(ignore); }
  std::int16_t ExportImageToFile(std::string fileName);
  void SetExperimentStartTime(std::uint32_t tickCount) { experimentStartTime_ = tickCount; }
  void SetZoneBorderColor(std::int32_t color);
  void SetZoneOuterEdgeColor(std::int32_t color);
  void SetZoneInnerEdgeColor(std::int32_t color);
  std::int16_t GetSaturationValues(std::int32_t*, std::int32_t*, std::int32_t*) { return 0; }
  std::int16_t GetOffsetValues(std::int32_t*, std::int32_t*, std::int32_t*) { return 0; }
  std::int16_t SetSaturationValue(std::int32_t) { return 1; }
  std::int16_t SetOffsetValue(std::int32_t) { return 1; }
  std::int16_t TransformCameraView(std::int32_t degrees, float scale) {
    engine_->TransformCameraView(degrees, scale);
    return 0;
  }
  void SetPicoloChannel(std::int32_t) {}
  void SetSampleFrequency(std::uint16_t frequency) { engine_->SetRepaintDivisor(frequency); }
  void SetMaxZones(std::int16_t zones) { engine_->Analysis().SetMaxZones(zones); }
  void DrawImageAtIndex(std::uint32_t, std::uint32_t) {}
  void SetVideoScaleFactor(std::uint16_t factor) { engine_->SetVideoScaleFactor(factor); }
  void SetInnerThreshold(std::int32_t zone, std::int32_t value) { engine_->Analysis().SetInnerThreshold(zone, value); }
  void LoadCamera(std::int16_t type) { engine_->LoadCamera(type); }
  bool GetAutoTrackingEnabled(std::int32_t zone) { return engine_->Analysis().GetAutoTrackingEnabled(zone); }
  void SetAutoTrackingEnabled(std::int32_t zone, bool enable);
  void PauseCapture() { engine_->PauseCapture(); }
  void ResumeCapture() { engine_->ResumeCapture(); }
  std::int16_t IsVideoPause() { return engine_->IsPaused() ? 1 : 0; }
  void VideoBackward() { engine_->VideoBackward(); }
  void VideoForward() { engine_->VideoForward(); }
  std::int16_t SeekFramesFromCurrentPosition(std::int32_t frames);
  void SetCurrentVideoTimeInSeconds(std::uint32_t seconds) { engine_->SetCurrentVideoTimeInSeconds(seconds); }
  void SetRelativeTime(RelativeTime::Interface* clock) { engine_->SetRelativeTime(clock); }
  void ChangeSelectedAutoTracking(std::int32_t zone, std::int16_t delta);
  double GetAnalysisCutOff(std::int32_t zone) { return engine_->Analysis().GetAnalysisCutOff(zone); }
  void SetAnalysisCutOff(std::int32_t zone, double cutOff) { engine_->Analysis().SetAnalysisCutOff(zone, cutOff); }
  double GetInnerAnalysisCutOff(std::int32_t zone) { return engine_->Analysis().GetInnerAnalysisCutOff(zone); }
  void SetInnerAnalysisCutOff(std::int32_t zone, double cutOff) {
    engine_->Analysis().SetInnerAnalysisCutOff(zone, cutOff);
  }

  // ---- events ----

  // CaptureEvents.
  void ZoneAnalysisData(int zone, int vesselLeft, int vesselRight, int lumenLeft, int lumenRight) override;
  void RawZoneData(int zone, const std::uint8_t* data, int dataSize) override;
  void IndexImage(std::uint32_t time, std::uint32_t width, std::uint32_t height, std::uint32_t imageSize,
                  const std::uint8_t* imageData) override;
  void DimensionsChanged(int width, int height) override;
  void ZonesReset() override;
  void CaptureStopped() override;
  void FramePrepared() override;
  // ViewEvents.
  void ZoneCreated(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2, std::int32_t x3, std::int32_t y3,
                   std::int32_t x4, std::int32_t y4, float angle) override;
  void ZoneSelected(std::int32_t zone) override;

  // Repaints the window from the newest frame.
  void Repaint();

 private:
  QPointer<AnalysisViewWindow> window_;
  std::unique_ptr<CaptureEngine> engine_;
  std::unique_ptr<AnalysisViewModel> view_;
  std::uint32_t experimentStartTime_ = 0;
};

}  // namespace ORV::AnalysisView
