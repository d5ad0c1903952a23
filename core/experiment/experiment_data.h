#pragma once
// The record of the current experiment: its cameras, the zone measurements
// and instrument samples, markers and actions, calculations, index images,
// the video and analysis lists, title and description, the running backup's
// streams, the receivers that hear of new data, and the custom traces.
//
// Modes: 2 no experiment (at construction), 0 live (a data collection is
// recording), 1 read from a file. Samples and zone measurements reach the
// receivers in modes 0 and 2 and are stored (and backed up) only in mode 0;
// in mode 1 they are ignored. Markers work in every mode, calculations
// whenever the record holds an experiment: in modes 0 and 1, and in mode 2
// while the data of a stopped collection are there.
//
// Threads: the synchronised sampler appends while the user-interface thread
// and export workers read. Every list and text of the record lives in
// ExperimentContents under the record's data lock (readers share it, writers
// hold it alone, always briefly); the marker and action stores have a lock of
// their own, every backup stream too, and so has the custom-trace map. The
// scalar fields are atomic. Receivers are called with none of these locks
// held, on the thread that adds the data; a receiver list is not changed
// while a call through it runs, so a receiver that removes itself before it
// is destroyed is never called afterwards.
#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "analysis_control/analysis_data.h"
#include "core/base/record_list.h"
#include "core/base/scoped_registration.h"
#include "core/experiment/app_hooks.h"
#include "core/experiment/consumers.h"
#include "core/experiment/record_file_stream.h"
#include "core/experiment/session_records.h"
#include "core/experiment/trace_values.h"
#include "core/experiment/video_measurements.h"
#include "core/storage/lmdb_record_store.h"
#include "instruments/records/instrument_records.h"

namespace ORV {

class Configuration;
namespace RelativeTime {
class Interface;
}
namespace Traces {
class CustomTracesWithLuaContext;
}

enum ExperimentMode : std::uint32_t {
  kModeLive = 0,  // a data collection records
  kModeFile = 1,  // an experiment read from a file (or imported) is shown
  kModeNone = 2,  // no experiment
};

// Custom traces take identities from this value upward.
inline constexpr std::int32_t kFirstCustomTraceIdentity = 220;

using MarkerStore = LmdbRecordStore<MarkerData2, MarkerRecordCodec<MarkerData2>>;
using ActionStore = LmdbRecordStore<ActionData, ActionRecordCodec<ActionData>>;
using CustomTraceMap = std::map<std::int32_t, std::shared_ptr<Traces::CustomTracesWithLuaContext>>;

// Store file names in the backup base folder.
inline constexpr const char* kMarkerStoreName = "MarkerDatabase";
inline constexpr const char* kActionStoreName = "ActionData";

// Everything of the record that the data lock guards.
struct ExperimentContents {
  std::string name;         // the file name without its folder
  std::string filePath;     // the file the experiment was opened from or saved to
  PMK4xData3 lastPressure;  // the newest pressure sample taken while the clock ran
  std::array<RecordList<ZoneData>, kMaxCameras> zoneData;
  RecordList<FMASL1600Data> flowSamples;
  RecordList<PMK4xData3> pressureSamples;
  std::array<RecordList<MicroscopeData2>, kMaxCameras> microscopeData;
  std::vector<std::string> sourceVideoFiles;  // recorded videos that a save copies
  std::vector<std::string> analysisFiles;     // per camera, the backup's analysis file
  std::array<RecordList<AnalysisData>, kMaxCameras> analysisData;
  // Per camera, the zones measured (from the newest zone record).
  std::array<std::uint32_t, kMaxCameras> zoneCount{};
  std::vector<std::string> fileCameraNames;  // the cameras of an experiment read from a file
  std::vector<std::string> cameraLabels;     // "Camera <n>" per live camera, and "Video"
  std::vector<std::string> cameraNames;      // the live cameras' unique names, and "Video"
  std::string title;
  std::string description;
  std::array<std::string, kMaxCameras> videoFiles;  // the video belonging to each camera
  std::vector<CalculationData> calculations;
  std::vector<ImageIndexRecord> indexImages;

  // The experiment's cameras in `mode`: the file's cameras in mode 1, the
  // live cameras otherwise; at most four.
  std::size_t CameraCount(std::uint32_t mode) const;
};

class ExperimentData {
 public:
  static constexpr std::uint16_t kCurrentVersion = 5;

  // The defaults of a record with no experiment, then Clear and the custom
  // traces of the user's custom-scripts folder. The record reads and writes
  // `configuration` and stamps with `clock`; both outlive it.
  ExperimentData(Configuration& configuration, RelativeTime::Interface& clock);
  ~ExperimentData();
  ExperimentData(const ExperimentData&) = delete;
  ExperimentData& operator=(const ExperimentData&) = delete;

  // The experiment clock the record asks whether it runs and what time it
  // is (tests swap in clocks they drive by hand).
  void SetClock(RelativeTime::Interface& clock) { clock_ = &clock; }
  // The application's action sheet and title; without hooks markers add no
  // action row.
  void SetApplicationHooks(ApplicationHooks* hooks) { hooks_ = hooks; }
  // The clock and the application hooks in use, for those who stamp and
  // record actions of the experiment beside the record (the sequencer).
  RelativeTime::Interface& ExperimentClock() const { return Clock(); }
  ApplicationHooks* Hooks() const { return hooks_; }

  // ---- scalar state ----
  std::atomic<std::uint32_t> mode{kModeNone};
  std::atomic<bool> modified{false};       // changed since the last save
  std::atomic<bool> backupEnabled{false};  // a collection start runs the running backup
  std::atomic<bool> videoEnabled{false};
  std::atomic<bool> opened{false};                       // an open attempt ended
  const std::uint16_t currentVersion = kCurrentVersion;  // the file version written
  // The version of the file last opened; a new record is of the current one.
  std::atomic<std::uint16_t> fileVersion{kCurrentVersion};
  // ms of the experiment clock: the collection's start; the newest sample;
  // the newest index image; the collection's stop.
  std::atomic<std::uint32_t> startTick{0};
  std::atomic<std::uint32_t> lastSampleTime{0};
  std::atomic<std::uint32_t> lastIndexImageTime{0};
  std::atomic<std::uint32_t> stopTick{0};
  Configuration* const configuration;

  // ---- the guarded contents ----
  // `f` runs under the data lock, shared for Read and alone for Update, and
  // returns a value (never a reference into the contents). It must not call
  // operations of the record.
  template <class F>
  auto Read(F&& f) const {
    static_assert(!std::is_reference_v<std::invoke_result_t<F, const ExperimentContents&>>,
                  "return a copy: a reference would outlive the lock");
    std::shared_lock lock(dataLock_);
    return std::forward<F>(f)(std::as_const(contents_));
  }
  template <class F>
  auto Update(F&& f) {
    static_assert(!std::is_reference_v<std::invoke_result_t<F, ExperimentContents&>>,
                  "return a copy: a reference would outlive the lock");
    std::unique_lock lock(dataLock_);
    return std::forward<F>(f)(contents_);
  }

  // ---- the video measurements data pad ----
  // Measurements on recorded videos waiting for the data sheet; each Add
  // calls the application hooks' data-sheet export. Emptied by Clear.
  VideoMeasurementsDataPad& DataPad() { return dataPad_; }

  // ---- marker and action stores ----
  // Opens the marker store at folder/"MarkerDatabase" and the action store
  // at folder/"ActionData". False when either cannot be opened.
  bool OpenStores(const std::string& folder);
  void CloseStores();
  // `f(MarkerStore&, ActionStore&)` under the stores' lock; it must not call
  // operations of the record.
  template <class F>
  auto WithStores(F&& f) {
    std::lock_guard lock(storeLock_);
    return std::forward<F>(f)(markers_, actions_);
  }
  std::size_t MarkerCount() const;
  // The marker at a position of the store, its id set to its key; the
  // store's default record when there is none.
  MarkerData2 GetMarker(std::size_t position) const;
  // The markers' ids (store keys) in the store's order.
  std::vector<std::uint32_t> MarkerIds() const;

  // ---- the running backup's streams ----
  BackupStreams& Streams() { return streams_; }
  // The running backup's first failed write (a full disk, a disk gone
  // read-only): the system's reason, an errno (0 while every write went
  // through), and the file. The failed stream stops there and keeps the
  // whole records written before; the record goes on in memory.
  int BackupError(std::string* path = nullptr) const { return streams_.Error(path); }

  // ---- running backup ----
  // While a collection records, every record taken in is also appended to
  // the streams of a backup folder base/<n> (n = 0..9999) under the backup
  // base folder; the streams are flushed every quarter second and at each
  // marker, so a crash loses at most the newest second of data.

  // The source of the backup folder's number (one draw per start); a
  // generator seeded with the calendar time unless set.
  void SetBackupRandomSource(std::function<std::uint32_t()> draw);
  // Starts a new backup: the base folder is emptied, a new folder made and
  // remembered in the configuration and the registry, its index, stream
  // files and experiment values written, and the stores and the clock's
  // store opened anew in the base folder.
  void StartRunningBackup();
  // Closes the streams and stores, deletes `folder` with everything in it,
  // makes it again (private) and reopens the stores. Does nothing unless the
  // folder's path names the backup base ("ORV-TX5" after its first character
  // and at least 3 characters more) and is a real folder, not a link.
  void CleanTempBackupBuffer(const std::string& folder);
  // Closes every backup stream, reopens the marker store, reloads the custom
  // traces and sets the configuration's five experiment values to -1.
  void ResetStores();
  // After the experiment was saved to a file: its backup is no longer
  // offered at the next start (its index goes), while everything the open
  // experiment still reads stays where it is: the marker and action stores,
  // the clock's segments and the videos and analysis files recorded into the
  // backup folder, which a later save copies again. The folder itself goes
  // when the record is cleared for another experiment, or at the next start.
  // Nothing changes while a collection records: its backup is the only copy
  // of what comes after the save.
  void RetireRunningBackup();
  // Replaces "TitleAndDescription.dat" in the backup folder atomically with
  // the title and description; nothing when there is no backup folder.
  void WriteTitleAndDescription();
  // Reads them back; leaves both unchanged when the file is missing or holds
  // less than 5 bytes.
  void ReadTitleAndDescription();
  // The video and analysis file of a camera recording into the backup
  // folder (Record_<camera>.avi, Analysis_<camera>.dta): appended to the
  // video and analysis lists; returns the video path.
  std::string AddRecordingFiles(std::uint32_t camera);
  // base/RunningBackupDirectory; "" when either is empty.
  std::string BackupFolder();

  // ---- backup import ----
  // The start-up step: opens the stores and the clock's store in the backup
  // base; when a backup's index is found, asks whether to import it and
  // imports it on a worker behind the wait dialog. Returns 1 when an
  // experiment was imported (it then stands in mode 1), else 0. The base
  // folder is emptied when there is no backup or the user answers No; a
  // failed import keeps it and logs why.
  std::int32_t CheckBackupAtStartup();
  // Rebuilds the experiment from the backup folder's streams. 0 when the
  // index does not open, else 1.
  std::uint32_t ImportBackup(const std::string& folder);

  // ---- receivers ----
  // A receiver is added once however often it registers.
  void AddImageAnalysisConsumer(ImageAnalysisConsumer* consumer);
  void RemoveImageAnalysisConsumer(ImageAnalysisConsumer* consumer);
  void AddPressureConsumer(PressureDataConsumer* consumer);
  void RemovePressureConsumer(PressureDataConsumer* consumer);
  void AddFlowConsumer(FlowDataConsumer* consumer);
  void RemoveFlowConsumer(FlowDataConsumer* consumer);
  void AddMicroscopeConsumer(MicroscopeDataConsumer* consumer);
  void RemoveMicroscopeConsumer(MicroscopeDataConsumer* consumer);
  // The same, ended by the handle they return (reset or destroyed), which
  // must not outlive the record. A receiver that keeps its handle as a
  // member cannot stay on a list after it is gone. A list holds a receiver
  // once, so a receiver keeps one handle for each list it is on.
  [[nodiscard]] ScopedRegistration RegisterImageAnalysisConsumer(ImageAnalysisConsumer* consumer);
  [[nodiscard]] ScopedRegistration RegisterPressureConsumer(PressureDataConsumer* consumer);
  [[nodiscard]] ScopedRegistration RegisterFlowConsumer(FlowDataConsumer* consumer);
  [[nodiscard]] ScopedRegistration RegisterMicroscopeConsumer(MicroscopeDataConsumer* consumer);
  // Calls `f` for every image-analysis receiver in registration order.
  void ForEachImageAnalysisConsumer(const std::function<void(ImageAnalysisConsumer&)>& f);

  // ---- data ----
  // Empties every list, store and text of the experiment and clears the
  // video and modified flags; the folder of a retired backup goes with them.
  // The mode, the live cameras and the custom traces stay.
  void Clear();
  // Off: removes every "Video" entry from the camera names and labels. On:
  // adds one "Video" entry to both when there is no camera name.
  void SetVideoEnabled(bool on);

  // Adds a batch of zone measurements of a camera (0..3): nothing in mode 1,
  // while the clock does not run, or for an empty batch; otherwise the
  // receivers get every zone of every entry and, in mode 0, the entries are
  // stored and backed up. The batch's pending queue is released.
  void AddZoneDataBatch(ZoneDataBatch batch, int camera);
  // The caller's sample is completed in place: its zone-record field becomes
  // the index of the newest zone record of camera 0 (unchanged while there is
  // none).
  void AddPressureSample(PMK4xData3& sample);
  void AddFlowSample(FMASL1600Data& sample);
  void AddMicroscopeSample(MicroscopeData2& record, int camera);

  // Adds a marker for one camera (0..3) or, with a negative camera, one for
  // every camera of the experiment, each under its own key in the marker
  // store; the receivers hear of each, the backup's marker stream gets each
  // in mode 0, and one action with the time and text goes to the action
  // sheet. A camera above 3 adds nothing.
  void AddMarker(std::string_view text, std::uint32_t time, int camera);
  // The same at the experiment clock's current time.
  void AddMarkerNow(std::string_view text, int camera);
  // Tells the receivers that a marker leaves the views and deletes its
  // action row (the first row with the marker's time and text). The marker
  // stays in the store.
  void RemoveMarkerFromViews(std::uint32_t markerId);
  // The text of the last marker of the camera, in store order, that lies more
  // than 0.5 s before `seconds` (experiment seconds from the start tick); ""
  // when none does.
  std::string FindMarkerText(double seconds, std::uint32_t camera) const;

  // Nothing while the record holds no experiment; otherwise stores a copy
  // (and backs it up while the calculation stream is open).
  void AddCalculationData(const CalculationData& record);
  // Replaces the comment of the n-th (from 0) record of the method that
  // heads a group (for method 4: the n-th record of the method) and, for
  // methods other than 4, of the records right after it that continue its
  // row (same method; a video measurement after it keeps its comment). Texts over
  // 252 UTF-16 units are cut to 252 and "..." is appended.
  void SetCalculationComment(std::int32_t kind, int n, std::string_view text);

  // Adds an index image in mode 0 (and backs it up while the stream is
  // open) and sets modified. False, with nothing added, in other modes, for
  // an image over 10000 bytes (logged) or without its bytes. Size 0 adds a
  // gap record.
  bool AddExtraData(std::uint32_t time, std::uint32_t width, std::uint32_t height, std::uint32_t size,
                    const std::uint8_t* image);

  // True when there are flow, pressure, microscope or zone records.
  bool HasData() const;
  // Whether the record holds an experiment that rows and actions belong to:
  // one being recorded, one read from a file, or the data of a stopped
  // collection (mode 2 with data); false for a record with no experiment.
  bool HoldsExperiment() const;
  // Camera 0..3: the time of its newest zone record, or the start tick when
  // it has none. Camera -1: the latest of the start tick and every camera's
  // newest zone-record time. Any other camera: the start tick.
  std::uint32_t GetLastSampleTime(int camera) const;
  // The number of cameras of the experiment (file cameras in mode 1, live
  // cameras otherwise), at most four.
  std::size_t CameraCount() const;

  // ---- trace values ----
  // The points of a trace of kind `kind` (1..20 built-in, 220 and above
  // custom) for a camera and zone, as the plots and exports read them.
  // Kinds 1..10 need camera and zone 0..3 (false otherwise); other kinds
  // take a negative camera as camera 0 and refuse a camera above 3 where
  // they read the camera's records; custom traces also refuse a zone above
  // 3 and give their script zone 1 for any zone below 1.
  //
  // The number of points; false for kinds that have none (0, 20..219) and
  // for refused arguments.
  bool GetSampleCount(int kind, int camera, int zone, int& count) const;
  // Point `index` of the trace. False when there is no such point; true with
  // the time set and the value kNotMeasured (not a number) where the frame's
  // walls were not found (the positions do not allow the formula), and true
  // with nothing set for kinds 0, 20..219. A custom trace runs its script
  // (an identity without a trace is entered in the map and gives false). The
  // value may also be infinite or NaN for a vascular resistance with no
  // flow; whoever sums values leaves out those that are not finite.
  bool GetTraceValue(int index, int kind, int camera, int zone, TracePoint& out);
  // The flow sample in force at `time`: the last sample at or before it;
  // the first sample for a time before it; time 0, flow 0, index -1 when
  // there are no samples. With the flow taken from the pressure samples the
  // result carries the chosen sample's time and its flow truncated to an
  // integer (its low 16 bits), index -1.
  FMASL1600Data GetFlowAt(std::uint32_t time) const;
  // A copy of pressure sample `index`; the record's defaults for an index
  // outside the list.
  PMK4xData3 GetPressureSample(int index) const;

  // ---- cameras and custom traces ----
  // Registers a live camera by its unique name and labels it "Camera <n>",
  // n being the new number of cameras. False (nothing added) when four
  // cameras are registered already.
  bool AddCamera(std::string_view uniqueName);
  // Loads the custom traces of the user's custom-scripts folder.
  void InitCustomTraces();
  // Replaces the custom traces with those of the folder's index, numbered
  // 220, 221, ... in index order.
  void LoadCustomTracesFrom(const std::string& folder);
  // Reads the custom-scripts index again and stores its traces under 220,
  // 221, ... (other identities stay); returns the last of them named `name`
  // (bytewise), or nothing.
  std::shared_ptr<Traces::CustomTracesWithLuaContext> LoadCustomTraces(std::string_view name);
  // The trace held under the identity; nothing when none is. An identity of
  // 220 or more that is not held is entered with no trace, so it is listed.
  std::shared_ptr<Traces::CustomTracesWithLuaContext> GetCustomTrace(std::int32_t identity);
  // (identity, name) per entry in identity order; "" for an entry with no trace.
  std::vector<std::pair<std::int32_t, std::string>> GetCustomTraces() const;
  // The identity of the first held trace named like the definition; else a
  // new trace built from it under one above the largest identity held (at
  // least 220). -1 for a missing definition or when no identity is left.
  std::int32_t AddCustomTrace(const std::shared_ptr<Traces::CustomTraces>& definition);

 private:
  RelativeTime::Interface& Clock() const;
  // The cameras of a marker added for `camera`; empty for a camera above 3.
  std::vector<std::uint32_t> MarkerCameras(int camera) const;
  template <class Consumer, class Call>
  void Notify(const std::vector<Consumer*>& list, Call&& call);
  template <class Consumer>
  void ChangeList(std::vector<Consumer*>& list, Consumer* consumer, bool add);
  template <class Consumer>
  ScopedRegistration Register(std::vector<Consumer*>& list, Consumer* consumer);

  RelativeTime::Interface* clock_ = nullptr;
  ApplicationHooks* hooks_ = nullptr;

  mutable std::shared_mutex dataLock_;
  ExperimentContents contents_;

  mutable std::mutex storeLock_;
  MarkerStore markers_;
  ActionStore actions_;

  BackupStreams streams_;
  PeriodicFlusher flusher_;
  std::function<std::uint32_t()> backupRandom_;
  // The backup folder holds a saved experiment's recordings, no longer
  // offered for import; it goes when the record is cleared.
  std::atomic<bool> backupRetired_{false};
  // Removes the retired backup's folder, if there is one.
  void RemoveRetiredBackup();

  // Guards the receiver lists; shared while receivers are called.
  mutable std::shared_mutex consumerLock_;
  std::vector<ImageAnalysisConsumer*> imageAnalysisConsumers_;
  std::vector<PressureDataConsumer*> pressureConsumers_;
  std::vector<MicroscopeDataConsumer*> microscopeConsumers_;
  std::vector<FlowDataConsumer*> flowConsumers_;

  VideoMeasurementsDataPad dataPad_;

  mutable std::mutex customTraceLock_;
  std::shared_ptr<CustomTraceMap> customTraces_ = std::make_shared<CustomTraceMap>();
};

}  // namespace ORV
