#pragma once
// The analysis control's outside face: its ProgIDs, the member numbers of
// its dispatch interface and the numbers of its events. Hosts call the
// control by these numbers (platform/com); the control library serves them.
#include <cstdint>

namespace ORV::AnalysisView {

inline constexpr const char* kProgId = "ORVANALYSISVIEW3.ORVAnalysisView3Ctrl.1";
inline constexpr const char* kPropPageProgId = "ORVANALYSISVIE.ORVAnalysisViePropPage.1";
// The identifier of the control's type information (version 1.0), as its
// library registers it.
inline constexpr const char* kTypeLibraryId = "{6B1F3C52-8E4A-4D2B-9C71-0A5E2F8D4B31}";

namespace Dispid {
enum : std::int32_t {
  StartCapture = 1,
  StopCapture = 2,
  IsCapturing = 3,
  SetCameraDimensions = 4,
  StartRecording = 5,
  IsRecording = 6,
  StopRecording = 7,
  GetFrameDataSize = 8,
  GrabFrameData = 9,
  SetFrameRate = 10,
  GetFrameRate = 11,
  GetThresholdValue = 12,
  EnableAutoThreshold = 13,
  InvertThreshold = 14,
  SelectedZone = 15,
  SetThreshold = 16,
  SetInnerLeftAdjustment = 17,
  SetInnerRightAdjustment = 18,
  SetOuterLeftAdjustment = 19,
  SetOuterRightAdjustment = 20,
  GetInnerLeftAdjustment = 21,
  GetInnerRightAdjustment = 22,
  GetOuterLeftAdjustment = 23,
  GetOuterRightAdjustment = 24,
  GetGainValues = 25,
  SetGainValue = 26,
  GetBrightnessValues = 27,
  GetGammaValues = 28,
  SetBrightnessValue = 29,
  SetGammaValue = 30,
  GetCameraCount = 31,
  GetCameraName = 32,
  PlayVideoFile = 33,
  IsVideoPlaying = 34,
  SetUpdateViewFrequency = 35,
  GetUpdateViewFrequency = 36,
  IgnoreLumen = 37,
  ExportImageToFile = 38,
  SetExperimentStartTime = 39,
  SetZoneBorderColor = 40,
  SetZoneOuterEdgeColor = 41,
  SetZoneInnerEdgeColor = 42,
  GetSaturationValues = 43,
  GetOffsetValues = 44,
  SetSaturationValue = 45,
  SetOffsetValue = 46,
  TransformCameraView = 47,
  SetPicoloChannel = 48,
  SetSampleFrequency = 50,
  SetMaxZones = 51,
  DrawImageAtIndex = 52,
  SetVideoScaleFactor = 53,
  SetInnerThreshold = 54,
  LoadCamera = 55,
  GetAutoTrackingEnabled = 56,
  SetAutoTrackingEnabled = 57,
  PauseCapture = 58,
  ResumeCapture = 59,
  IsVideoPause = 60,
  VideoBackward = 61,
  VideoForward = 62,
  SeekFramesFromCurrentPosition = 63,
  SetCurrentVideoTimeInSeconds = 64,
  SetRelativeTime = 65,
  ChangeSelectedAutoTracking = 66,
  GetAnalysisCutOff = 67,
  SetAnalysisCutOff = 68,
  GetInnerAnalysisCutOff = 69,
  SetInnerAnalysisCutOff = 70,
  // A camera the library lost while it captured is started again on the
  // same view (zones and recording kept); 1 when it runs again.
  RestartLostCamera = 71,
  // How many frames the camera sent torn (cut short on the way) and the
  // view refused, modulo 2^31: a count that moves while no measurement
  // comes tells a camera that sends only torn pictures.
  GetTornFrameCount = 72,
  // What the newest search of a zone said of the picture's light: 0 nothing
  // (its walls were found, or missed for another reason), 1 too dark and 2
  // too bright for the wall search at any cut-off.
  GetZonePictureState = 73,
  // How many whole frames the camera delivered, modulo 2^31: a count that
  // moves tells a camera that is back although it has no zone to measure.
  GetFrameCount = 74,
};
}  // namespace Dispid

namespace EventId {
enum : std::int32_t {
  ZoneCreated = 1,
  CroppingCreated = 2,  // never raised
  ZoneSelected = 3,
  ZoneData = 4,  // never raised
  ZoneAnalysisData = 5,
  DimensionsChanged = 6,
  ZonesReset = 7,
  RawZoneData = 8,
  CaptureStopped = 9,
  IndexImage = 10,
};
}  // namespace EventId

}  // namespace ORV::AnalysisView
