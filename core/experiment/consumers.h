#pragma once
// The receivers that the experiment record hands its data to: trace views,
// panes and camera windows implement them and register themselves in the
// record's list of their kind (ExperimentData::Add...Consumer), and remove
// themselves before they are destroyed.
//
// The record calls the sample operations on the thread that adds the data
// (the synchronised sampler for samples and zone values, usually the
// user-interface thread for markers), with none of the record's data locks
// held. An implementation copies what it keeps, does not keep the reference,
// and does not call back into the operation that called it, nor register or
// remove a receiver from inside a call.
#include <cstdint>

#include "core/experiment/session_records.h"
#include "instruments/records/instrument_records.h"

namespace ORV {

// Receiver of the zone measurements and marker events of the experiment.
class ImageAnalysisConsumer {
 public:
  virtual ~ImageAnalysisConsumer() = default;

  // One zone's wall positions of one analysed frame; zone 0..3.
  virtual void OnZoneValue(std::uint32_t time, int zone, float outerLeft, float outerRight, float innerLeft,
                           float innerRight, int camera) = 0;
  // A zone was created on a camera, which now has `zoneCount` zones.
  virtual void OnZoneCreated(int zoneCount, int camera) {
    (void)zoneCount;
    (void)camera;
  }
  // The zones of a camera were removed.
  virtual void OnZonesReset(int camera) { (void)camera; }
  // A marker was added (once per camera it was added for); `marker.id` is
  // its key in the marker store.
  virtual void OnMarkerAdded(const MarkerData2& marker) = 0;
  // A data collection started at `startTick` (ms of the experiment clock).
  virtual void OnExperimentStarted(std::uint32_t startTick) { (void)startTick; }
  // The marker with this id is to leave the views; false when the receiver
  // did not show it.
  virtual bool OnMarkerRemoved(std::uint32_t markerId) = 0;
};

// Receiver of pressure-interface samples.
class PressureDataConsumer {
 public:
  virtual ~PressureDataConsumer() = default;
  virtual void OnPressureData(const PMK4xData3& sample) = 0;
  virtual void SetActive(bool active) { (void)active; }
};

// Receiver of flow-meter samples.
class FlowDataConsumer {
 public:
  virtual ~FlowDataConsumer() = default;
  virtual void OnFlowData(const FMASL1600Data& sample) = 0;
  virtual void SetActive(bool active) { (void)active; }
};

// Receiver of microscope readings.
class MicroscopeDataConsumer {
 public:
  virtual ~MicroscopeDataConsumer() = default;
  virtual void OnMicroscopeData(const MicroscopeSample& sample) = 0;
  virtual void SetActive(bool active) { (void)active; }
};

}  // namespace ORV
