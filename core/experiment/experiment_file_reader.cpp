// Opening an experiment file into the experiment record.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <memory>

#include "core/base/configuration.h"
#include "core/base/event_log.h"
#include "core/base/trace_kinds.h"
#include "core/experiment/experiment_data.h"
#include "core/experiment/experiment_file.h"
#include "core/storage/relative_time.h"
#include "custom_traces/custom_trace_definition.h"

namespace ORV {
namespace {

// Reads exactly `size` bytes; false when the file ends first.
bool ReadBytes(std::istream& in, void* out, std::size_t size) {
  in.read(static_cast<char*>(out), static_cast<std::streamsize>(size));
  return static_cast<std::size_t>(in.gcount()) == size;
}

// `values.size()` little-endian values of type T.
template <class T, std::size_t N>
bool ReadLeArray(std::istream& in, std::span<T, N> values) {
  std::vector<std::uint8_t> bytes(values.size_bytes());
  if (!ReadBytes(in, bytes.data(), bytes.size())) return false;
  for (std::size_t i = 0; i < values.size(); ++i) values[i] = Bytes::GetLE<T>(bytes.data() + i * sizeof(T));
  return true;
}

enum class PrefixedText { kRead, kShort, kTooLong };

// A length-prefixed string: u32 unit count (its value left in `length`),
// then the UTF-16 units, kept up to the first NUL. `text` changes only when
// the whole string was read.
PrefixedText ReadPrefixedText(std::istream& in, std::string& text, std::uint32_t& length) {
  length = 0;
  if (!ReadLE(in, length)) return PrefixedText::kShort;
  if (length > kMaxPrefixedStringUnits) return PrefixedText::kTooLong;
  std::u16string units(length, u'\0');
  if (!ReadLeArray(in, std::span(units))) return PrefixedText::kShort;
  units.resize(std::min(units.size(), units.find(u'\0')));
  text = Utf16ToUtf8(units);
  return PrefixedText::kRead;
}

class Reader {
 public:
  Reader(ExperimentData& data, std::istream& in, const std::string& path, const ExperimentFileContext& context)
      : data_(data), in_(in), path_(path), context_(context) {
    const std::streampos at = in_.tellg();
    in_.seekg(0, std::ios::end);
    fileSize_ = static_cast<std::uint64_t>(std::max<std::streamoff>(in_.tellg(), 0));
    in_.seekg(at);
  }

  void Report(const std::string& what) { LogError("Unable to open experiment from file '" + path_ + "' " + what); }
  // A part of the file that could not be read and is left out of an
  // experiment that opens all the same, for the user's message.
  void Unread(const std::string& what) {
    if (context_.unread) context_.unread->push_back(what);
  }

  // Records that fit in what is left of the file; bounds every count read.
  std::uint64_t Remaining() {
    const std::streamoff at = in_.tellg();
    return at < 0 ? 0 : fileSize_ - std::min<std::uint64_t>(fileSize_, static_cast<std::uint64_t>(at));
  }

  bool Seek(std::uint32_t offset) {
    if (offset > fileSize_) return false;
    in_.clear();
    in_.seekg(offset, std::ios::beg);
    return static_cast<bool>(in_);
  }

  int Open(std::uint16_t version) {
    std::uint32_t product = 0, cameras = 0;
    std::uint32_t startTick = 0, lastSample = 0;
    if (!ReadLE(in_, product) || !ReadLeArray(in_, std::span(table_)) || !ReadLE(in_, startTick) ||
        !ReadLE(in_, lastSample) || !ReadLE(in_, cameras)) {
      return HeaderFailed();
    }
    if (cameras > static_cast<std::uint32_t>(kMaxCameras)) {
      Report("(invalid camera count " + std::to_string(cameras) + ")");
      return kOpenFailed;
    }
    cameras_ = cameras;
    startTick_ = startTick;
    std::array<std::uint32_t, kMaxCameras> zoneCount{};
    for (std::size_t i = 0; i < cameras_; ++i) {
      if (!ReadLE(in_, zoneCount[i])) return HeaderFailed();
      zoneCount[i] = ZonesOf(zoneCount[i]);
    }
    std::string title, description;
    if (HeaderTexts(title, description) != 0) return kOpenFailed;
    data_.startTick = startTick;
    data_.lastSampleTime = lastSample;

    std::vector<std::string> names;
    for (std::size_t i = 0; i < cameras_; ++i) {
      std::string name;
      if (!ReadLengthPrefixedString(in_, name)) {
        Report("(Can't read camera unique names)");
        Unread("the camera names");
        break;
      }
      names.push_back(std::move(name));
    }
    // Every camera of the file has a name, so the record counts it.
    names.resize(cameras_);
    data_.Update([&](ExperimentContents& c) {
      c.zoneCount = zoneCount;
      c.title = std::move(title);
      c.description = std::move(description);
      c.fileCameraNames = std::move(names);
      return 0;
    });

    if (RecordBlocks() != 0) return kOpenFailed;

    // Zone records: a refused camera block ends the zone blocks.
    if (Seek(table_[kZonesSlot])) {
      for (std::size_t camera = 0; camera < cameras_; ++camera)
        if (!Zones(camera)) {
          Report("(unable to read analysis data) from camera: " + std::to_string(camera));
          Unread(CamerasFrom("the wall measurements", camera));
          break;
        }
    } else {
      Report("(unable to read analysis data) from camera: 0");
      if (cameras_ > 0) Unread(CamerasFrom("the wall measurements", 0));
    }
    if (zoneCount[0] == 0) {
      data_.Update([&](ExperimentContents& c) {
        for (std::size_t i = 0; i < cameras_; ++i)
          if (!c.zoneData[i].empty()) c.zoneCount[i] = static_cast<std::uint32_t>(c.zoneData[i].back().ZonesHeld());
        return 0;
      });
    }
    if (Seek(table_[kMicroscopeSlot])) {
      for (std::size_t camera = 0; camera < cameras_; ++camera)
        if (!Microscope(camera)) {
          Unread(CamerasFrom("the microscope readings", camera));
          break;
        }
    } else if (cameras_ > 0) {
      Unread(CamerasFrom("the microscope readings", 0));
    }

    if (!TracesAndVideo(true)) return kOpenFailed;
    if (table_[kClockSegmentsSlot] != 0) ClockSegments();
    if (table_[kCalibrationSlot] != 0) Calibration();
    if (corrupt_ && !GoOnWithoutVideo()) return kOpenFailed;
    data_.modified = version != kExperimentFileVersion;
    data_.Update([&](ExperimentContents& c) {
      c.filePath = path_;
      const std::size_t slash = path_.find_last_of('/');
      if (slash != std::string::npos && slash > 0 && path_.size() - slash > 5) c.name = path_.substr(slash + 1);
      return 0;
    });
    return version == kExperimentFileVersion ? kOpenCurrentVersion : kOpenOlderVersion;
  }

  // Versions 1 and 2: a block table of ten entries, no last sample time, one
  // camera; blocks 0..6 only (no trace windows, videos or index images).
  int OpenV1V2() {
    std::uint32_t product = 0, startTick = 0, zoneCount = 0;
    if (!ReadLE(in_, product) || !ReadLeArray(in_, std::span(table_).first(kOlderTableEntries)) ||
        !ReadLE(in_, startTick) || !ReadLE(in_, zoneCount))
      return HeaderFailed();
    if (const int code = OlderHeaderTexts(startTick, zoneCount); code != 0) return code;
    if (const int code = RecordBlocks(); code != 0) return code;
    if (!Seek(table_[kZonesSlot]) || !Zones(0)) {
      Report("(unable to read analysis data) from camera: 0");
      return kOpenZoneSizeInvalid;
    }
    if (!Seek(table_[kMicroscopeSlot]) || !Microscope(0, true)) {
      Report("(unable to read microscope data)");
      return kOpenMicroscopeFailed;
    }
    // These files do not say when their last sample was taken.
    data_.lastSampleTime = data_.Read([&](const ExperimentContents& c) {
      std::uint32_t last = startTick;
      if (!c.zoneData[0].empty()) last = std::max(last, c.zoneData[0].back().time);
      if (!c.pressureSamples.empty()) last = std::max(last, c.pressureSamples.back().time);
      if (!c.flowSamples.empty()) last = std::max(last, c.flowSamples.back().time);
      if (!c.microscopeData[0].empty()) last = std::max(last, c.microscopeData[0].back().time);
      return last;
    });
    return kOpenOlderVersion;
  }

  // Version 3: the block table of version 4 with entries 0..9, one camera,
  // trace windows without a camera field.
  int OpenV3() {
    std::uint32_t product = 0, startTick = 0, lastSample = 0, zoneCount = 0;
    if (!ReadLE(in_, product) || !ReadLeArray(in_, std::span(table_)) || !ReadLE(in_, startTick) ||
        !ReadLE(in_, lastSample) || !ReadLE(in_, zoneCount))
      return HeaderFailed();
    table_[kClockSegmentsSlot] = table_[kCalibrationSlot] = 0;
    if (const int code = OlderHeaderTexts(startTick, zoneCount); code != 0) return code;
    data_.lastSampleTime = lastSample;
    if (const int code = RecordBlocks(); code != 0) return code;
    if (!Seek(table_[kZonesSlot]) || !Zones(0)) {
      Report("(unable to read analysis data) from camera: 0");
      return kOpenZonesFailed;
    }
    if (!Seek(table_[kMicroscopeSlot]) || !Microscope(0, false)) {
      Report("(unable to read microscope data)");
      return kOpenMicroscopeFailed;
    }
    if (!TracesAndVideo(false)) return kOpenFailed;
    if (corrupt_ && !GoOnWithoutVideo()) return kOpenFailed;
    data_.modified = true;
    return kOpenOlderVersion;
  }

 private:
  static constexpr std::size_t kOlderTableEntries = 10;

  // "<what> of camera 2" or "<what> of cameras 2 to 4": the cameras from
  // `camera` (0-based) to the file's last.
  std::string CamerasFrom(const std::string& what, std::size_t camera) const {
    if (camera + 1 >= cameras_) return what + " of camera " + std::to_string(camera + 1);
    return what + " of cameras " + std::to_string(camera + 1) + " to " + std::to_string(cameras_);
  }

  // A camera measures at most four zones, whatever a file says.
  static std::uint32_t ZonesOf(std::uint32_t stored) { return std::min(stored, static_cast<std::uint32_t>(kMaxZones)); }

  int HeaderFailed() {
    Report("(unable to read header data)");
    return kOpenFailed;
  }

  // The title and description of a header. 0, or the failure's result code
  // of an older version.
  int HeaderTexts(std::string& title, std::string& description) {
    if (const int code = HeaderText(title, "title", kOpenTitleSizeInvalid); code != 0) return code;
    return HeaderText(description, "description", kOpenDescriptionSizeInvalid);
  }
  // `tooLong` for a length above 4096, `tooLong` - 1 for a short read.
  int HeaderText(std::string& text, const char* what, int tooLong) {
    std::uint32_t length = 0;
    switch (ReadPrefixedText(in_, text, length)) {
      case PrefixedText::kRead:
        return 0;
      case PrefixedText::kTooLong:
        Report(std::string("(") + what + " size invalid)");
        return tooLong;
      case PrefixedText::kShort:
        break;
    }
    Report(std::string("(unable to read ") + what + " data)");
    return tooLong - 1;
  }

  // The rest of an older header: texts, and the record's single camera.
  int OlderHeaderTexts(std::uint32_t startTick, std::uint32_t zoneCount) {
    std::string title, description;
    if (const int code = HeaderTexts(title, description); code != 0) return code;
    cameras_ = 1;
    startTick_ = startTick;
    data_.startTick = startTick;
    data_.Update([&](ExperimentContents& c) {
      c.zoneCount = {ZonesOf(zoneCount), 0, 0, 0};
      c.title = std::move(title);
      c.description = std::move(description);
      // The file holds one camera without a name; the record counts its
      // cameras by their names.
      c.fileCameraNames = {"Camera 1"};
      return 0;
    });
    return 0;
  }

  // Blocks 0..4. 0, or the failure's result code of an older version.
  int RecordBlocks() {
    struct Step {
      const char* failure;
      int code;
    };
    static constexpr Step kSteps[] = {
        {"(unable to read action data)", kOpenActionsFailed},
        {"(unable to read calculation data)", kOpenCalculationsFailed},
        {"(unable to read annotation data)", kOpenMarkersFailed},
        {"(unable to read flow data)", kOpenFlowFailed},
        {"(unable to read pressure data)", kOpenPressureFailed},
    };
    for (std::size_t entry = 0; entry < std::size(kSteps); ++entry) {
      if (Seek(table_[entry]) && RecordBlock(entry)) continue;
      Report(kSteps[entry].failure);
      return kSteps[entry].code;
    }
    return 0;
  }
  bool RecordBlock(std::size_t entry) {
    switch (entry) {
      case kActionsSlot:
        return Actions();
      case kCalculationsSlot:
        return Calculations();
      case kMarkersSlot:
        return Markers();
      case kFlowSlot:
        return Flow();
      default:
        return Pressure();
    }
  }

  // The trace windows, the cameras' video entries and the index images.
  // False when the trace windows cannot be read; a video entry or index
  // images that cannot be read mark the video data corrupt.
  bool TracesAndVideo(bool cameraField) {
    if (context_.progress) context_.progress->Step();
    if (!Seek(table_[kOpenTracesSlot]) || !OpenTraces(cameraField)) {
      Report("(unable to load open trace data)");
      return false;
    }
    bool videoFailed = !Seek(table_[kVideosSlot]);
    for (std::size_t camera = 0; camera < cameras_ && !videoFailed; ++camera)
      if (!VideoEntry(camera)) videoFailed = true;
    if (videoFailed) {
      Report("(unable to load video file data)");
      Unread("the videos");
      data_.Update([](ExperimentContents& c) { return c.sourceVideoFiles.clear(), 0; });
      corrupt_ = true;
    } else if (!Seek(table_[kImageIndexSlot]) || !IndexImages()) {
      Report("(unable to load index video data)");
      Unread("the videos' index pictures");
      data_.Update([](ExperimentContents& c) {
        c.sourceVideoFiles.clear();
        c.analysisFiles.clear();
        return 0;
      });
      corrupt_ = true;
    }
    return true;
  }

  bool GoOnWithoutVideo() {
    return !context_.prompt ||
           context_.prompt->AskYesNo("Saved video data is corrupt - Continue opening without video data?",
                                     context_.caption);
  }

  // u32 total and u32 record size.
  bool BlockHead(std::uint32_t& total, std::uint32_t& size) { return ReadLE(in_, total) && ReadLE(in_, size); }

  static bool InvalidSize(const char* block) {
    LogError(std::string("Unable to load '") + block + "' - Invalid struct size");
    return false;
  }

  bool Actions() {
    std::uint32_t total = 0, size = 0;
    if (!BlockHead(total, size)) return false;
    if (size != 16 && size != 8) return InvalidSize("ActionData");
    const std::uint64_t count = std::min<std::uint64_t>(total / 16, Remaining() / 8);
    std::vector<ActionData> actions;
    for (std::uint64_t i = 0; i < count; ++i) {
      ActionData action;
      // An action whose text cannot be read ends the block.
      if (!ReadLE(in_, action.time) || !ReadLengthPrefixedString(in_, action.text)) {
        Unread("the last " + std::to_string(count - i) + " of " + std::to_string(count) + " actions");
        break;
      }
      if (action.time < startTick_) action.time = action.time * 1000 + startTick_;
      actions.push_back(std::move(action));
    }
    // One transaction for the whole list: a transaction per record syncs
    // the store once per record.
    return Stored("actions", data_.WithStores([&](MarkerStore&, ActionStore& store) {
      return actions.empty() ? 0 : store.IsOpen() ? store.Append(actions) : kStoreNotOpen;
    }));
  }

  // Markers and actions live only in their stores: a store that refuses
  // them (a full disk) or is not open fails the block rather than losing
  // them unseen.
  static constexpr int kStoreNotOpen = std::numeric_limits<int>::min();
  static bool Stored(const char* what, int result) {
    if (result == 0) return true;
    LogError(
        std::string("Unable to store the ") + what + " read from the experiment file (" +
        (result == kStoreNotOpen ? std::string("the store is not open") : "store error " + std::to_string(result)) +
        ")");
    return false;
  }

  bool Calculations() {
    std::uint32_t count = 0, size = 0;
    if (!BlockHead(count, size)) return false;
    std::vector<CalculationData> records;
    if (size == 80) {
      for (std::uint32_t i = 0; i < count; ++i) {
        CalculationData record;
        if (!ReadCalculationData(in_, record)) return false;
        records.push_back(std::move(record));
      }
    } else if (size == CalculationData::kLegacySize) {
      std::array<std::uint8_t, CalculationData::kLegacySize> raw{};
      for (std::uint32_t i = 0; i < count / CalculationData::kLegacySize; ++i) {
        if (!ReadBytes(in_, raw.data(), raw.size())) return false;
        records.push_back(ParseLegacyCalculationData(raw));
      }
    } else {
      return InvalidSize("CalculationData");
    }
    data_.Update([&](ExperimentContents& c) { return c.calculations = std::move(records), 0; });
    return true;
  }

  bool Markers() {
    std::uint32_t total = 0, size = 0;
    if (!BlockHead(total, size)) return false;
    if (size != 16 && size != 12 && size != 8) return InvalidSize("MarkerData2");
    const bool withCamera = size != 8;
    const std::uint64_t count = std::min<std::uint64_t>(total / (withCamera ? 16 : 12), Remaining() / 8);
    std::vector<MarkerData2> markers;
    for (std::uint64_t i = 0; i < count; ++i) {
      MarkerData2 marker;
      if (!ReadLE(in_, marker.time) || !ReadLengthPrefixedString(in_, marker.text)) return false;
      if (withCamera && !ReadLE(in_, marker.camera)) return false;
      markers.push_back(std::move(marker));
    }
    return Stored("markers", data_.WithStores([&](MarkerStore& store, ActionStore&) {
      return markers.empty() ? 0 : store.IsOpen() ? store.Append(markers) : kStoreNotOpen;
    }));
  }

  // Reads total / size records of a fixed size; false when the file ends first.
  template <std::size_t Size, class Parse>
  bool Records(std::uint32_t total, Parse&& parse) {
    const std::uint64_t count = total / Size;
    if (count * Size > Remaining()) return false;
    std::vector<std::uint8_t> chunk;
    std::uint64_t done = 0;
    while (done < count) {
      const std::uint64_t n = std::min<std::uint64_t>(count - done, 4096);
      chunk.resize(n * Size);
      if (!ReadBytes(in_, chunk.data(), chunk.size())) return false;
      for (std::uint64_t i = 0; i < n; ++i) parse(std::span<const std::uint8_t, Size>(chunk.data() + i * Size, Size));
      done += n;
    }
    return true;
  }

  // One stored form of a fixed-size record: its size and its parser.
  template <std::size_t Size, auto Parse>
  struct Form {
    static constexpr std::size_t kSize = Size;
    static auto Read(std::span<const std::uint8_t, Size> raw) { return Parse(raw); }
  };

  // A block of fixed-size records: u32 total bytes and u32 record size, then
  // the records in the form of that size. False when the file ends first, or
  // (logged as an invalid `type` size) when no form has that size.
  template <class... Forms, class T>
  bool FixedRecords(const char* type, RecordList<T>& records) {
    std::uint32_t total = 0, size = 0;
    if (!BlockHead(total, size)) return false;
    bool known = false;
    const bool read = (ReadForm<Forms>(total, size, records, known) || ...);
    return known ? read : InvalidSize(type);
  }
  template <class F, class T>
  bool ReadForm(std::uint32_t total, std::uint32_t size, RecordList<T>& records, bool& known) {
    if (known || size != F::kSize) return false;
    known = true;
    return Records<F::kSize>(total, [&](auto raw) { records.push_back(F::Read(raw)); });
  }

  bool Flow() {
    RecordList<FMASL1600Data> samples;
    if (!FixedRecords<Form<FMASL1600Data::kSize, &FMASL1600Data::Parse>>("FMASL1600Data", samples)) return false;
    data_.Update([&](ExperimentContents& c) { return c.flowSamples = std::move(samples), 0; });
    return true;
  }

  bool Pressure() {
    RecordList<PMK4xData3> samples;
    if (!FixedRecords<Form<PMK4xData3::kSize, &PMK4xData3::Parse>, Form<kPressureSize60, &ParsePressure60>,
                      Form<kPressureSize56, &ParsePressure56>>("PMK4xData", samples))
      return false;
    data_.Update([&](ExperimentContents& c) { return c.pressureSamples = std::move(samples), 0; });
    return true;
  }

  bool Zones(std::size_t camera) {
    RecordList<ZoneData> records;
    if (!FixedRecords<Form<ZoneData::kStoredSize, &ZoneData::Parse>,
                      Form<ZoneData::kLegacySize, &ZoneData::ParseLegacy>>("ZoneData", records))
      return false;
    data_.Update([&](ExperimentContents& c) { return c.zoneData[camera] = std::move(records), 0; });
    return true;
  }

  // `shortOnly`: only the 12-byte form is accepted (versions 1 and 2).
  bool Microscope(std::size_t camera, bool shortOnly = false) {
    using Long = Form<MicroscopeData2::kSize, &MicroscopeData2::Parse>;
    using Short = Form<MicroscopeData2::kShortSize, &MicroscopeData2::ParseShort>;
    RecordList<MicroscopeData2> records;
    const bool read = shortOnly ? FixedRecords<Short>("MicroscopeData2", records)
                                : FixedRecords<Long, Short>("MicroscopeData2", records);
    if (!read) return false;
    data_.Update([&](ExperimentContents& c) { return c.microscopeData[camera] = std::move(records), 0; });
    return true;
  }

  // Each entry is read whole and checked before its window opens, so a cut
  // or damaged file opens no window for an entry it does not hold. Entries
  // of version 3 have no camera field (camera 0).
  bool OpenTraces(bool cameraField) {
    std::uint32_t count = 0;
    if (!ReadLE(in_, count)) return false;
    for (std::uint32_t i = 0; i < count; ++i) {
      std::uint32_t kind = 0, camera = 0, zone = 0;
      double start = 0.0, end = 0.0;
      if (!ReadLE(in_, kind) || (cameraField && !ReadLE(in_, camera)) || !ReadLE(in_, zone) || !ReadLE(in_, start) ||
          !ReadLE(in_, end))
        return false;
      const bool knownKind = kind <= static_cast<std::uint32_t>(INT32_MAX) &&
                             (IsBuiltInTraceKind(static_cast<int>(kind)) || IsCustomTraceId(static_cast<int>(kind)));
      if (!knownKind || camera >= static_cast<std::uint32_t>(kMaxCameras) ||
          zone >= static_cast<std::uint32_t>(kMaxZones))
        return false;
      std::int32_t code = static_cast<std::int32_t>(kind);
      if (kind >= static_cast<std::uint32_t>(kFirstCustomTraceIdentity)) {
        auto definition = std::make_shared<Traces::CustomTraces>();
        if (!ReadCustomTraceDefinition(in_, *definition)) return false;
        code = data_.AddCustomTrace(definition);
        if (code < 0) return false;
      }
      TraceWindowHost* host = context_.windows;
      if (!host) continue;
      const int window = host->OpenTraceWindow();
      if (window < 0) continue;
      host->SetCamera(window, static_cast<std::int32_t>(camera));
      host->SetZone(window, static_cast<std::int32_t>(camera), static_cast<std::int32_t>(zone));
      host->ShowTrace(window, code);
      host->SetVisibleRange(window, start, end);
      host->Redraw(window);
    }
    return true;
  }

  bool VideoEntry(std::size_t camera) {
    std::uint32_t present = 0;
    if (!ReadLE(in_, present)) return false;
    if (present == 0) return true;
    std::string video;
    std::uint32_t total = 0;
    if (!ReadLengthPrefixedString(in_, video) || !ReadLE(in_, total)) return false;
    if (total % AnalysisData::kSize != 0) return false;
    RecordList<AnalysisData> records;
    if (!Records<AnalysisData::kSize>(total, [&](auto raw) { records.push_back(AnalysisData::Parse(raw)); }))
      return false;
    // The last record stands for the frame being analysed: it starts fresh.
    if (!records.empty()) records.back() = AnalysisData{};
    data_.Update([&](ExperimentContents& c) {
      c.videoFiles[camera] = std::move(video);
      c.analysisData[camera] = std::move(records);
      return 0;
    });
    return true;
  }

  bool IndexImages() {
    std::uint32_t count = 0;
    if (!ReadLE(in_, count)) return false;
    std::vector<ImageIndexRecord> images;
    for (std::uint32_t i = 0; i < count; ++i) {
      ImageIndexRecord record;
      if (!ReadImageIndexRecord(in_, record)) return false;
      images.push_back(std::move(record));
    }
    data_.Update([&](ExperimentContents& c) { return c.indexImages = std::move(images), 0; });
    return true;
  }

  void ClockSegments() {
    std::uint32_t count = 0;
    if (!Seek(table_[kClockSegmentsSlot]) || !ReadLE(in_, count)) {
      Unread("the experiment clock's pauses");
      return;
    }
    std::vector<ClockSegment> segments;
    std::array<std::uint8_t, kClockSegmentSize> raw{};
    for (std::uint32_t i = 0; i < count; ++i) {
      ClockSegment segment;
      if (!ReadBytes(in_, raw.data(), raw.size()) || !ClockSegmentCodec::Read(raw, segment)) {
        Unread("the experiment clock's pauses");
        break;
      }
      segments.push_back(segment);
    }
    RelativeTime::RelativeTime& clock = *context_.clock;
    auto lock = clock.Lock();
    ClockSegmentStore& store = clock.Store();
    while (store.Count() > 0) store.Delete(store.Keys().back());
    store.Append(segments);
  }

  void Calibration() {
    std::uint64_t size = 0;
    std::array<float, 5> values{};
    // Magnification, then the scales of cameras 1 to 4.
    if (!Seek(table_[kCalibrationSlot]) || !ReadLE(in_, size) || size != 20 || !ReadLeArray(in_, std::span(values))) {
      Unread("the calibration (the configured one is used)");
      return;
    }
    auto& ev = data_.configuration->ExperimentValues;
    ev[kExperimentMagnification] = values[0];
    std::copy(values.begin() + 1, values.end(), ev.begin());
  }

  ExperimentData& data_;
  std::istream& in_;
  const std::string& path_;
  const ExperimentFileContext& context_;
  std::uint64_t fileSize_ = 0;
  std::array<std::uint32_t, kBlockTableEntries> table_{};
  std::size_t cameras_ = 0;
  std::uint32_t startTick_ = 0;
  bool corrupt_ = false;  // a video entry or the index images could not be read
};

int OpenFile(ExperimentData& data, const std::string& path, const ExperimentFileContext& context) {
  data.Clear();
  data.mode = kModeFile;
  ExperimentFileSystem& files = context.files ? *context.files : DefaultExperimentFileSystem();
  std::unique_ptr<std::istream> in = files.OpenRead(path);
  if (!in) {
    LogError("Unable to open experiment from file '" + path + "' (open file failed)");
    return kOpenCannotOpen;
  }
  std::uint16_t version = 0;
  if (!ReadLE(*in, version)) return kOpenFailed;
  data.fileVersion = version;
  if (version > kExperimentFileVersion && version <= 0x7FFF) {
    LogError("Unable to open experiment from file '" + path + "' (unsupported version)");
    return kOpenUnsupported;
  }
  if (version < 1 || version > kExperimentFileVersion) return kOpenFailed;
  Reader reader(data, *in, path, context);
  if (version <= 2) return reader.OpenV1V2();
  if (version == 3) return reader.OpenV3();
  return reader.Open(version);
}

}  // namespace

bool ReadLengthPrefixedString(std::istream& in, std::string& text) {
  std::uint32_t length = 0;
  const PrefixedText read = ReadPrefixedText(in, text, length);
  if (read == PrefixedText::kTooLong)
    LogError("Failed to load string data from stream (invalid string size: " + std::to_string(length) + ")");
  return read == PrefixedText::kRead;
}

int OpenExperiment(ExperimentData& data, const std::string& path, const ExperimentFileContext& context) {
  if (context.progress && !context.progress->Start("Loading from file..")) return kOpenFailed;
  const int result = OpenFile(data, path, context);
  if (context.progress) context.progress->Finish();
  data.opened = true;
  if (result < 1) data.Clear();
  return result;
}

}  // namespace ORV
