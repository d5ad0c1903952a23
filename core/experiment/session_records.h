#pragma once
// The records an experiment is made of, besides the instrument samples:
// zone measurements, markers, actions, calculations, microscope readings and
// index images, with their in-memory fields and the stored forms that the
// experiment file, the record stores and the running backup use.
//
// All stored numbers are little-endian; times are u32 ms of the experiment
// clock. Text is UTF-8 in memory. Two text forms are stored:
//   serialised string        u16 byte count, then that many bytes of UTF-8
//   length-prefixed string   u32 count of UTF-16 units, then the UTF-16 units
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <istream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/base/camera_limit.h"
#include "core/storage/record_stream.h"
#include "custom_traces/custom_trace_definition.h"
#include "instruments/records/instrument_records.h"

namespace ORV {

// Zones measured per camera.
inline constexpr int kMaxZones = 4;

inline bool IsCameraIndex(int camera) { return camera >= 0 && camera < kMaxCameras; }

// ---- text forms ----

// A serialised string: u16 byte count and the UTF-8 bytes. Text longer than
// 65535 bytes is cut at a character boundary (the count never wraps).
void WriteSerialString(SerializationStream& out, std::string_view utf8);
// False when the data end before the string does; `text` is then unchanged.
bool ReadSerialString(std::istream& in, std::string& text);

// Longest length-prefixed string, in UTF-16 units.
inline constexpr std::size_t kMaxPrefixedStringUnits = 4096;
// A length-prefixed string: u32 UTF-16 unit count and the units. A text over
// 4096 units is cut to 4092 units and "..." is appended.
void WriteLengthPrefixedString(SerializationStream& out, std::string_view utf8);

// ---- ZoneData ----

// One zone measurement of one camera: one analysed video frame. In memory 80
// bytes; stored as its first 76 bytes, or in older files as bytes 4..75 (72
// bytes, no factor).
struct ZoneData {
  float factor = 1.0f;                        // 0
  std::uint32_t time = 0;                     // 4, ms
  std::int32_t zoneCount = 0;                 // 8, valid zones in this record, 0..4
  std::array<float, kMaxZones> outerLeft{};   // 12, outer edge of the left wall, per zone
  std::array<float, kMaxZones> outerRight{};  // 28, outer edge of the right wall
  std::array<float, kMaxZones> innerLeft{};   // 44, left lumen edge
  std::array<float, kMaxZones> innerRight{};  // 60, right lumen edge
  std::uint32_t valid = 0;                    // 76, never stored; 1 in every record read back

  static constexpr std::size_t kSize = 80;
  static constexpr std::size_t kStoredSize = 76;
  static constexpr std::size_t kLegacySize = 72;

  // The number of zones whose positions the record holds: zoneCount limited
  // to 0..4.
  int ZonesHeld() const;

  void Serialize(std::span<std::uint8_t, kStoredSize> out) const;
  static ZoneData Parse(std::span<const std::uint8_t, kStoredSize> in);
  static ZoneData ParseLegacy(std::span<const std::uint8_t, kLegacySize> in);
};
static_assert(sizeof(ZoneData) == ZoneData::kSize);
static_assert(offsetof(ZoneData, time) == 4);
static_assert(offsetof(ZoneData, zoneCount) == 8);
static_assert(offsetof(ZoneData, outerLeft) == 12);
static_assert(offsetof(ZoneData, outerRight) == 28);
static_assert(offsetof(ZoneData, innerLeft) == 44);
static_assert(offsetof(ZoneData, innerRight) == 60);
static_assert(offsetof(ZoneData, valid) == 76);

// The per-camera batch of zone measurements that the synchronised sampling
// hands to the experiment record on every tick: up to 15 entries, and the
// pending queue the camera window fills (released with the batch).
struct ZoneDataBatch {
  static constexpr std::size_t kMaxEntries = 15;

  std::uint32_t header = 0;
  std::uint64_t count = 0;  // valid entries, 0..15
  std::array<ZoneData, kMaxEntries> entries{};
  std::deque<ZoneData> pending;

  // The entries in use: count limited to 15.
  std::span<const ZoneData> Entries() const;
  // Releases the pending queue.
  void FreeItems() { std::deque<ZoneData>().swap(pending); }
};

// ---- MarkerData2 ----

// One marker, set by a button, a function key or the sequencer. A marker for
// all cameras is stored once per camera. `id` is the marker's key in the
// marker store; it is not part of any stored form.
struct MarkerData2 {
  std::string text;
  std::uint32_t time = 0;  // ms
  std::uint32_t camera = 0;
  std::uint32_t id = 0;

  bool operator==(const MarkerData2&) const = default;
};

// A marker as the running backup's marker stream holds it: u32 time, then
// the text as a length-prefixed string. The camera is not stored.
void WriteMarkerStreamRecord(SerializationStream& out, const MarkerData2& marker);

// ---- ActionData ----

// One timed action of the action sheet.
struct ActionData {
  std::uint32_t time = 0;  // ms
  std::string text;

  bool operator==(const ActionData&) const = default;
};

// ---- CalculationData ----

// One value taken from a trace view into the data sheet. In memory the method
// and the trace kind are int32; the stored forms keep them as u16.
struct CalculationData {
  // Methods of the data sheet.
  enum : std::int32_t { kMean = 0, kMaximum = 1, kMinimum = 2, kSlope = 3, kVideoMeasurement = 4 };
  // The group (row) value of a record that opens a new row: the head of a
  // group; the records after it up to the next head belong to its group.
  static constexpr std::int32_t kGroupHead = -1;
  // Longest comment kept whole, in UTF-16 units; longer ones are cut to it
  // and "..." is appended.
  static constexpr std::size_t kMaxCommentUnits = 252;
  static constexpr std::size_t kLegacySize = 560;

  std::int32_t kind = 0;       // the method
  std::int32_t traceKind = 0;  // the measured trace's kind or custom-trace id
  std::int32_t zone = -1;      // -1 for none
  double value = 0.0;
  double selectionEnd = 0.0;        // experiment seconds
  double selectionStart = 0.0;      // experiment seconds
  std::int32_t group = kGroupHead;  // the row; for video measurements the camera
  std::string comment;
  std::int32_t count = -1;      // number of points, -1 for none
  double sd = -1.0;             // standard deviation, -1 for none
  double standardError = -1.0;  // -1 for none

  bool IsGroupHead() const { return group == kGroupHead; }
  // True when this record is a further cell of a row that a head of method
  // `kind` opened: a record of the same method (not a video measurement,
  // whose row field holds a camera) that opens no row itself.
  bool ContinuesRowOf(std::int32_t headKind) const {
    return kind == headKind && kind != kVideoMeasurement && !IsGroupHead();
  }
  bool operator==(const CalculationData&) const = default;
};

// `text` cut to 252 UTF-16 units with "..." appended when it is longer.
std::string CutCalculationComment(std::string_view text);

// The serialised form: u16 kind, comment (serialised string), u32 group,
// f64 selectionEnd, f64 selectionStart, u16 traceKind, f64 value, u32 zone,
// u32 count, f64 sd, f64 standardError.
void WriteCalculationData(SerializationStream& out, const CalculationData& record);
// Fills `record` from its serialised form. False when the data end before
// the record does; the fields read so far are then set and the field that
// was cut holds the bytes that were there, zero-filled.
bool ReadCalculationData(std::istream& in, CalculationData& record);
// The older 560-byte form: kind (u16) at 0, trace kind (u16) at 4, zone at 8,
// value at 16, selection end at 24, selection start at 32, group at 40, the
// comment as up to 256 UTF-16 units from 44 ending at the first NUL; count,
// sd and standard error take their defaults.
CalculationData ParseLegacyCalculationData(std::span<const std::uint8_t, CalculationData::kLegacySize> in);

// ---- MicroscopeData2 ----

// One microscope reading with its time, stored per camera. Stored in 16
// bytes, or as its first 12 bytes (older files and the running backup).
struct MicroscopeData2 {
  std::uint32_t time = 0;    // ms
  float temperature = 0.0f;  // the microscope's temperature
  std::int32_t ir = 0;       // the IR light level
  std::uint32_t index = 0;   // the microscope (0..3) that gave the reading

  static constexpr std::size_t kSize = 16;
  static constexpr std::size_t kShortSize = 12;

  MicroscopeData2() = default;
  explicit MicroscopeData2(const MicroscopeSample& s)
      : time(s.time), temperature(s.temperature), ir(s.setting), index(s.microscope) {}
  MicroscopeSample ToSample() const { return MicroscopeSample{time, temperature, ir, index}; }

  void Serialize(std::span<std::uint8_t, kSize> out) const;
  // The first 12 bytes.
  void SerializeShort(std::span<std::uint8_t, kShortSize> out) const;
  static MicroscopeData2 Parse(std::span<const std::uint8_t, kSize> in);
  // The 12-byte form; the microscope index reads as 0.
  static MicroscopeData2 ParseShort(std::span<const std::uint8_t, kShortSize> in);

  bool operator==(const MicroscopeData2&) const = default;
};
static_assert(sizeof(MicroscopeData2) == MicroscopeData2::kSize);

// ---- older pressure forms ----

// Pressure samples of older files were stored in 60 or 56 bytes; both read
// into the 124-byte record.
inline constexpr std::size_t kPressureSize60 = 60;
inline constexpr std::size_t kPressureSize56 = 56;

// The 60-byte form: bytes 0, 1, 4..32 and 36..59 are the record's bytes at
// the same offsets; the switches at 60..63 read as 0, 1, 0, 0 and the duty
// rate as 50; the rest is 0.
PMK4xData3 ParsePressure60(std::span<const std::uint8_t, kPressureSize60> in);
// The 56-byte form: bytes 0, 1, 4..15 and 20..27 at the same offsets; the
// switch at 28 moves to 32; the four pressures at 32..47 are integers and
// become floats at 36..51; bytes 48..55 (index and time) move to 52..59;
// everything else, the pulse rate and the gradient included, is 0.
PMK4xData3 ParsePressure56(std::span<const std::uint8_t, kPressureSize56> in);

// ---- ImageIndexRecord ----

// One index image of the analysis: a small picture of the vessel at a time.
// A record without image bytes and with width and height 0 marks a gap.
struct ImageIndexRecord {
  static constexpr std::size_t kMaxImageBytes = 10000;

  std::vector<std::uint8_t> image;  // at most 10000 bytes
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t time = 0;  // ms

  std::uint32_t Size() const { return static_cast<std::uint32_t>(image.size()); }
  bool operator==(const ImageIndexRecord&) const = default;
};

// Stored form: u32 time, u32 width, u32 height, u32 size, then size bytes.
// Writing refuses (false, nothing written) a record over 10000 bytes.
bool WriteImageIndexRecord(SerializationStream& out, const ImageIndexRecord& record);
// False when the data end first or the size is above 10000; `record` is then
// unchanged.
bool ReadImageIndexRecord(std::istream& in, ImageIndexRecord& record);

// ---- custom-trace definition ----

// The binary form of a custom-trace definition, as experiment files carry
// it: an empty string, Id, Name, the Stored flag, AutoRange, CreationDate,
// HorizontalLabels, MaximumLimit, MinimumLimit, ShowUnit, ScriptType,
// UnitType, UnitTypeString, VerticalLabels, Code. Strings are serialised
// strings, flags one byte (1 true), numbers i32.
// False, with nothing written, when a text is too long for a serialised
// string (the definition could not be read back whole).
bool WriteCustomTraceDefinition(SerializationStream& out, const Traces::CustomTraces& trace);
// False when the data end before the definition does; `trace` then holds
// the fields read so far. Flags are true only for the byte 1. Constants and
// FileName are left as they were.
bool ReadCustomTraceDefinition(std::istream& in, Traces::CustomTraces& trace);

}  // namespace ORV
