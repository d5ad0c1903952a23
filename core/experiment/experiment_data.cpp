#include "core/experiment/experiment_data.h"

#include <algorithm>

#include "core/base/configuration.h"
#include "core/base/event_log.h"
#include "core/base/paths.h"
#include "core/storage/relative_time.h"
#include "platform/os/tick_source.h"

namespace ORV {

namespace {

constexpr const char* kVideoEntry = "Video";

template <class T>
void AddOnce(std::vector<T*>& list, T* item) {
  if (item != nullptr && std::find(list.begin(), list.end(), item) == list.end()) list.push_back(item);
}

template <class T>
void RemoveAll(std::vector<T*>& list, T* item) {
  list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

template <class Record, std::size_t Size, class Write>
void AppendRecords(RecordFileStream& stream, std::span<const Record> records, Write write) {
  if (records.empty() || !stream.IsOpen()) return;
  std::vector<std::uint8_t> bytes(records.size() * Size);
  for (std::size_t i = 0; i < records.size(); ++i)
    write(records[i], std::span<std::uint8_t, Size>(bytes.data() + i * Size, Size));
  stream.Append(bytes);
}

}  // namespace

std::size_t ExperimentContents::CameraCount(std::uint32_t mode) const {
  const std::size_t n = mode == kModeFile ? fileCameraNames.size() : cameraNames.size();
  return std::min<std::size_t>(n, kMaxCameras);
}

ExperimentData::ExperimentData(Configuration& configuration, RelativeTime::Interface& clock)
    : configuration(&configuration), clock_(&clock), dataPad_([this](std::int32_t method) {
        if (hooks_ != nullptr) hooks_->ExportToDataSheet(method);
      }) {
  const std::uint32_t now = OS::GetTickCount();
  startTick = now;
  lastSampleTime = now;
  lastIndexImageTime = now;
  Clear();
  InitCustomTraces();
}

ExperimentData::~ExperimentData() = default;

RelativeTime::Interface& ExperimentData::Clock() const { return *clock_; }

template <class Consumer, class Call>
void ExperimentData::Notify(const std::vector<Consumer*>& list, Call&& call) {
  std::shared_lock lock(consumerLock_);
  for (Consumer* consumer : list) call(*consumer);
}

// ---- stores ----

bool ExperimentData::OpenStores(const std::string& folder) {
  std::lock_guard lock(storeLock_);
  markers_.Close();
  actions_.Close();
  markers_.SetPath(JoinPath(folder, kMarkerStoreName));
  actions_.SetPath(JoinPath(folder, kActionStoreName));
  const bool markersOpen = markers_.Open();
  const bool actionsOpen = actions_.Open();
  return markersOpen && actionsOpen;
}

void ExperimentData::CloseStores() {
  std::lock_guard lock(storeLock_);
  markers_.Close();
  actions_.Close();
}

std::size_t ExperimentData::MarkerCount() const {
  std::lock_guard lock(storeLock_);
  return markers_.Count();
}

MarkerData2 ExperimentData::GetMarker(std::size_t position) const {
  std::lock_guard lock(storeLock_);
  MarkerData2 marker = markers_.Get(position);
  if (position < markers_.Count()) marker.id = markers_.Keys()[position];
  return marker;
}

std::vector<std::uint32_t> ExperimentData::MarkerIds() const {
  std::lock_guard lock(storeLock_);
  return markers_.Keys();
}

// ---- receivers ----

template <class Consumer>
void ExperimentData::ChangeList(std::vector<Consumer*>& list, Consumer* consumer, bool add) {
  std::unique_lock lock(consumerLock_);
  if (add)
    AddOnce(list, consumer);
  else
    RemoveAll(list, consumer);
}

void ExperimentData::AddImageAnalysisConsumer(ImageAnalysisConsumer* c) {
  ChangeList(imageAnalysisConsumers_, c, true);
}
void ExperimentData::RemoveImageAnalysisConsumer(ImageAnalysisConsumer* c) {
  ChangeList(imageAnalysisConsumers_, c, false);
}
void ExperimentData::AddPressureConsumer(PressureDataConsumer* c) { ChangeList(pressureConsumers_, c, true); }
void ExperimentData::RemovePressureConsumer(PressureDataConsumer* c) { ChangeList(pressureConsumers_, c, false); }
void ExperimentData::AddFlowConsumer(FlowDataConsumer* c) { ChangeList(flowConsumers_, c, true); }
void ExperimentData::RemoveFlowConsumer(FlowDataConsumer* c) { ChangeList(flowConsumers_, c, false); }
void ExperimentData::AddMicroscopeConsumer(MicroscopeDataConsumer* c) { ChangeList(microscopeConsumers_, c, true); }
void ExperimentData::RemoveMicroscopeConsumer(MicroscopeDataConsumer* c) { ChangeList(microscopeConsumers_, c, false); }

template <class Consumer>
ScopedRegistration ExperimentData::Register(std::vector<Consumer*>& list, Consumer* consumer) {
  ChangeList(list, consumer, true);
  return ScopedRegistration([this, &list, consumer] { ChangeList(list, consumer, false); });
}

ScopedRegistration ExperimentData::RegisterImageAnalysisConsumer(ImageAnalysisConsumer* c) {
  return Register(imageAnalysisConsumers_, c);
}
ScopedRegistration ExperimentData::RegisterPressureConsumer(PressureDataConsumer* c) {
  return Register(pressureConsumers_, c);
}
ScopedRegistration ExperimentData::RegisterFlowConsumer(FlowDataConsumer* c) { return Register(flowConsumers_, c); }
ScopedRegistration ExperimentData::RegisterMicroscopeConsumer(MicroscopeDataConsumer* c) {
  return Register(microscopeConsumers_, c);
}

void ExperimentData::ForEachImageAnalysisConsumer(const std::function<void(ImageAnalysisConsumer&)>& f) {
  Notify(imageAnalysisConsumers_, f);
}

// ---- data ----

void ExperimentData::Clear() {
  Update([](ExperimentContents& c) {
    for (int camera = 0; camera < kMaxCameras; ++camera) {
      c.zoneData[camera].clear();
      c.microscopeData[camera].clear();
      c.analysisData[camera].clear();
      c.videoFiles[camera].clear();
    }
    c.fileCameraNames.clear();
    c.sourceVideoFiles.clear();
    c.analysisFiles.clear();
    c.flowSamples.clear();
    c.pressureSamples.clear();
    c.calculations.clear();
    c.indexImages.clear();
    c.title.clear();
    c.name.clear();
    c.filePath.clear();
    c.description.clear();
    return 0;
  });
  {
    std::lock_guard lock(storeLock_);
    actions_.Reset();
    markers_.Reset();
  }
  dataPad_.Clear();
  videoEnabled = false;
  modified = false;
  RemoveRetiredBackup();
}

void ExperimentData::SetVideoEnabled(bool on) {
  videoEnabled = on;
  Update([on](ExperimentContents& c) {
    if (!on) {
      std::erase(c.cameraNames, kVideoEntry);
      std::erase(c.cameraLabels, kVideoEntry);
    } else if (c.cameraNames.empty()) {
      c.cameraNames.emplace_back(kVideoEntry);
      c.cameraLabels.emplace_back(kVideoEntry);
    }
    return 0;
  });
}

void ExperimentData::AddZoneDataBatch(ZoneDataBatch batch, int camera) {
  batch.FreeItems();
  const std::uint32_t m = mode;
  const std::span<const ZoneData> entries = batch.Entries();
  if (m == kModeFile || entries.empty() || !IsCameraIndex(camera) || !Clock().IsRunning()) return;
  for (ZoneData& e : batch.entries) e.zoneCount = e.ZonesHeld();

  if (m == kModeLive) {
    Update([&](ExperimentContents& c) {
      c.zoneData[camera].insert(c.zoneData[camera].end(), entries.begin(), entries.end());
      c.zoneCount[camera] = static_cast<std::uint32_t>(entries.back().zoneCount);
      return 0;
    });
    AppendRecords<ZoneData, ZoneData::kStoredSize>(streams_.zone[camera], entries,
                                                   [](const ZoneData& z, auto out) { z.Serialize(out); });
    modified = true;
  }
  lastSampleTime = entries.back().time;
  Notify(imageAnalysisConsumers_, [&](ImageAnalysisConsumer& consumer) {
    for (const ZoneData& e : entries) {
      for (int zone = 0; zone < e.zoneCount; ++zone) {
        consumer.OnZoneValue(e.time, zone, e.outerLeft[zone], e.outerRight[zone], e.innerLeft[zone], e.innerRight[zone],
                             camera);
      }
    }
  });
}

void ExperimentData::AddPressureSample(PMK4xData3& sample) {
  const std::uint32_t m = mode;
  if (m == kModeFile) return;
  const bool running = Clock().IsRunning();
  const bool store = m == kModeLive && running;
  Update([&](ExperimentContents& c) {
    if (!c.zoneData[0].empty()) sample.index = static_cast<std::int32_t>(c.zoneData[0].size() - 1);
    if (running) c.lastPressure = sample;
    if (store) c.pressureSamples.push_back(sample);
    return 0;
  });
  if (store) {
    AppendRecords<PMK4xData3, PMK4xData3::kSize>(streams_.pressure, std::span(&sample, 1),
                                                 [](const PMK4xData3& s, auto out) { s.Serialize(out); });
    modified = true;
  }
  lastSampleTime = sample.time;
  Notify(pressureConsumers_, [&](PressureDataConsumer& consumer) { consumer.OnPressureData(sample); });
}

void ExperimentData::AddFlowSample(FMASL1600Data& sample) {
  const std::uint32_t m = mode;
  if (m == kModeFile) return;
  const bool running = Clock().IsRunning();
  const bool store = m == kModeLive && running;
  Update([&](ExperimentContents& c) {
    if (!c.zoneData[0].empty()) sample.index = static_cast<std::int32_t>(c.zoneData[0].size() - 1);
    if (store) c.flowSamples.push_back(sample);
    return 0;
  });
  if (store) {
    AppendRecords<FMASL1600Data, FMASL1600Data::kSize>(streams_.flow, std::span(&sample, 1),
                                                       [](const FMASL1600Data& s, auto out) { s.Serialize(out); });
    modified = true;
  }
  if (running) lastSampleTime = sample.time;
  Notify(flowConsumers_, [&](FlowDataConsumer& consumer) { consumer.OnFlowData(sample); });
}

void ExperimentData::AddMicroscopeSample(MicroscopeData2& record, int camera) {
  const std::uint32_t m = mode;
  if (m == kModeFile || !IsCameraIndex(camera) || !Clock().IsRunning()) return;
  if (m == kModeLive) {
    Update([&](ExperimentContents& c) {
      c.microscopeData[camera].push_back(record);
      return 0;
    });
    AppendRecords<MicroscopeData2, MicroscopeData2::kShortSize>(
        streams_.microscope[camera], std::span(&record, 1),
        [](const MicroscopeData2& r, auto out) { r.SerializeShort(out); });
    modified = true;
  }
  lastSampleTime = record.time;
  const MicroscopeSample sample = record.ToSample();
  Notify(microscopeConsumers_, [&](MicroscopeDataConsumer& consumer) { consumer.OnMicroscopeData(sample); });
}

// ---- markers ----

std::vector<std::uint32_t> ExperimentData::MarkerCameras(int camera) const {
  if (camera >= kMaxCameras) return {};
  if (camera >= 0) return {static_cast<std::uint32_t>(camera)};
  const std::uint32_t m = mode;
  const std::size_t n = Read([m](const ExperimentContents& c) { return c.CameraCount(m); });
  std::vector<std::uint32_t> cameras(n);
  for (std::size_t i = 0; i < n; ++i) cameras[i] = static_cast<std::uint32_t>(i);
  return cameras;
}

void ExperimentData::AddMarker(std::string_view text, std::uint32_t time, int camera) {
  if (camera >= kMaxCameras) {
    LogError("ExperimentData::AddMarker() - no camera " + std::to_string(camera) + ", marker not added");
    return;
  }
  const std::vector<std::uint32_t> cameras = MarkerCameras(camera);
  std::vector<MarkerData2> added;
  int failure = 0;
  {
    std::lock_guard lock(storeLock_);
    for (std::uint32_t c : cameras) {
      MarkerData2 marker{std::string(text), time, c, time};
      const std::size_t position = markers_.Count();
      const int rc = markers_.Put(position, marker, false);
      if (rc == 0)
        marker.id = markers_.Keys()[position];
      else
        failure = rc;
      added.push_back(std::move(marker));
    }
  }
  if (failure != 0) {
    LogError("ExperimentData::AddMarker() - unable to store marker '" + std::string(text) + "' (error " +
             std::to_string(failure) + ")");
  }
  if (mode == kModeLive && streams_.marker.IsOpen()) {
    for (const MarkerData2& marker : added) {
      VectorSerializationStream bytes;
      WriteMarkerStreamRecord(bytes, marker);
      streams_.marker.Append(bytes.Bytes());
    }
    // A marker is a moment the user cares about: everything up to it goes
    // to disk now.
    streams_.FlushAll();
  }
  if (!added.empty()) modified = true;
  Notify(imageAnalysisConsumers_, [&](ImageAnalysisConsumer& consumer) {
    for (const MarkerData2& marker : added) consumer.OnMarkerAdded(marker);
  });
  if (hooks_ != nullptr) hooks_->AddAction(time, std::string(text));
}

void ExperimentData::AddMarkerNow(std::string_view text, int camera) { AddMarker(text, Clock().Now(), camera); }

void ExperimentData::RemoveMarkerFromViews(std::uint32_t markerId) {
  Notify(imageAnalysisConsumers_, [&](ImageAnalysisConsumer& consumer) { consumer.OnMarkerRemoved(markerId); });
  if (mode == kModeLive) modified = true;
  MarkerData2 marker;
  {
    std::lock_guard lock(storeLock_);
    const std::vector<std::uint32_t>& keys = markers_.Keys();
    const auto it = std::find(keys.begin(), keys.end(), markerId);
    if (it == keys.end()) return;
    marker = markers_.Get(static_cast<std::size_t>(it - keys.begin()));
  }
  ActionViewRows* rows = hooks_ != nullptr ? hooks_->ActionView() : nullptr;
  if (rows == nullptr) return;
  for (std::size_t row = 0; row < rows->RowCount(); ++row) {
    if (rows->RowTime(row) == marker.time && rows->RowText(row) == marker.text) {
      rows->DeleteRow(row);
      return;
    }
  }
}

std::string ExperimentData::FindMarkerText(double seconds, std::uint32_t camera) const {
  const std::uint32_t start = startTick;
  std::lock_guard lock(storeLock_);
  std::string text;
  for (std::size_t position = 0; position < markers_.Count(); ++position) {
    MarkerData2 marker = markers_.Get(position);
    const double markerSeconds = static_cast<std::uint32_t>(marker.time - start) / 1000.0;
    if (marker.camera == camera && seconds > markerSeconds + 0.5) text = std::move(marker.text);
  }
  return text;
}

// ---- calculations ----

void ExperimentData::AddCalculationData(const CalculationData& record) {
  if (!HoldsExperiment()) return;
  if (streams_.calculation.IsOpen()) {
    VectorSerializationStream bytes;
    WriteCalculationData(bytes, record);
    streams_.calculation.Append(bytes.Bytes());
  }
  Update([&](ExperimentContents& c) {
    c.calculations.push_back(record);
    return 0;
  });
  modified = true;
}

void ExperimentData::SetCalculationComment(std::int32_t kind, int n, std::string_view text) {
  if (n < 0) return;
  const std::string comment = CutCalculationComment(text);
  Update([&](ExperimentContents& c) {
    std::vector<CalculationData>& list = c.calculations;
    int seen = 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
      if (list[i].kind != kind || !(list[i].IsGroupHead() || list[i].kind == CalculationData::kVideoMeasurement)) {
        continue;
      }
      if (seen++ != n) continue;
      list[i].comment = comment;
      if (kind != CalculationData::kVideoMeasurement) {
        for (std::size_t j = i + 1; j < list.size() && list[j].ContinuesRowOf(kind); ++j) list[j].comment = comment;
      }
      break;
    }
    return 0;
  });
}

// ---- index images ----

bool ExperimentData::AddExtraData(std::uint32_t time, std::uint32_t width, std::uint32_t height, std::uint32_t size,
                                  const std::uint8_t* image) {
  if (size > ImageIndexRecord::kMaxImageBytes) {
    LogError("ExperimentData::AddExtraData() - index image of " + std::to_string(size) +
             " bytes refused (at most 10000)");
    return false;
  }
  if ((size > 0 && image == nullptr) || mode != kModeLive) return false;
  ImageIndexRecord record;
  record.image.assign(image, image + size);
  record.width = width;
  record.height = height;
  record.time = time;
  if (streams_.indexImage.IsOpen()) {
    VectorSerializationStream bytes;
    WriteImageIndexRecord(bytes, record);
    streams_.indexImage.Append(bytes.Bytes());
  }
  Update([&](ExperimentContents& c) {
    c.indexImages.push_back(std::move(record));
    return 0;
  });
  modified = true;
  return true;
}

// ---- queries ----

bool ExperimentData::HasData() const {
  return Read([](const ExperimentContents& c) {
    if (!c.flowSamples.empty() || !c.pressureSamples.empty()) return true;
    for (int camera = 0; camera < kMaxCameras; ++camera) {
      if (!c.microscopeData[camera].empty() || !c.zoneData[camera].empty()) return true;
    }
    return false;
  });
}

bool ExperimentData::HoldsExperiment() const { return mode != kModeNone || HasData(); }

std::uint32_t ExperimentData::GetLastSampleTime(int camera) const {
  const std::uint32_t start = startTick;
  if (camera != -1 && !IsCameraIndex(camera)) return start;
  return Read([&](const ExperimentContents& c) {
    if (camera >= 0) return c.zoneData[camera].empty() ? start : c.zoneData[camera].back().time;
    std::uint32_t latest = start;
    for (const auto& list : c.zoneData) {
      if (!list.empty()) latest = std::max(latest, list.back().time);
    }
    return latest;
  });
}

std::size_t ExperimentData::CameraCount() const {
  const std::uint32_t m = mode;
  return Read([m](const ExperimentContents& c) { return c.CameraCount(m); });
}

}  // namespace ORV
