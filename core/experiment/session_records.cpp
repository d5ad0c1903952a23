#include "core/experiment/session_records.h"

#include <algorithm>
#include <cstring>

#include "platform/os/text.h"

namespace ORV {

namespace {

// Reads fixed-width little-endian fields. A field that the data end inside
// holds the bytes that were there, zero-filled, and clears `complete`.
class FieldReader {
 public:
  explicit FieldReader(std::istream& in) : in_(in) {}

  bool complete() const { return complete_; }

  std::uint8_t U8() {
    std::uint8_t b[1];
    Fill(b, 1);
    return b[0];
  }
  std::uint16_t U16() {
    std::uint8_t b[2];
    Fill(b, 2);
    return Bytes::GetLE<std::uint16_t>(b);
  }
  std::uint32_t U32() {
    std::uint8_t b[4];
    Fill(b, 4);
    return Bytes::GetLE<std::uint32_t>(b);
  }
  std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
  double F64() {
    std::uint8_t b[8];
    Fill(b, 8);
    return Bytes::GetLE<double>(b);
  }
  // A serialised string; "" when the data end first.
  std::string Text() {
    std::string text;
    if (complete_ && !ReadText(in_, text)) {
      complete_ = false;
      text.clear();
    }
    return text;
  }

 private:
  void Fill(std::uint8_t* data, std::size_t size) {
    std::memset(data, 0, size);
    if (!complete_) return;
    in_.read(reinterpret_cast<char*>(data), static_cast<std::streamsize>(size));
    if (static_cast<std::size_t>(in_.gcount()) != size) complete_ = false;
  }

  std::istream& in_;
  bool complete_ = true;
};

void PutFloats(std::uint8_t* p, const std::array<float, kMaxZones>& values) {
  for (std::size_t i = 0; i < values.size(); ++i) Bytes::PutLE<float>(p + 4 * i, values[i]);
}

void GetFloats(const std::uint8_t* p, std::array<float, kMaxZones>& values) {
  for (std::size_t i = 0; i < values.size(); ++i) values[i] = Bytes::GetLE<float>(p + 4 * i);
}

// Bytes 4..75 of a zone record (everything but the factor) from `p`, which
// points at the record's time.
ZoneData ParseZoneBody(const std::uint8_t* p) {
  ZoneData r;
  r.time = Bytes::GetLE<std::uint32_t>(p);
  r.zoneCount = static_cast<std::int32_t>(Bytes::GetLE<std::uint32_t>(p + 4));
  GetFloats(p + 8, r.outerLeft);
  GetFloats(p + 24, r.outerRight);
  GetFloats(p + 40, r.innerLeft);
  GetFloats(p + 56, r.innerRight);
  r.valid = 1;
  return r;
}

}  // namespace

// ---- text forms ----

void WriteSerialString(SerializationStream& out, std::string_view utf8) { WriteText(out, utf8); }

bool ReadSerialString(std::istream& in, std::string& text) { return ReadText(in, text); }

void WriteLengthPrefixedString(SerializationStream& out, std::string_view utf8) {
  std::u16string units = OS::Utf8ToUtf16(utf8);
  if (units.size() > kMaxPrefixedStringUnits) {
    units = OS::Utf8ToUtf16(OS::CutToUtf16Units(utf8, kMaxPrefixedStringUnits - 4));
    units += u"...";
  }
  WriteU32(out, static_cast<std::uint32_t>(units.size()));
  std::vector<std::uint8_t> bytes(units.size() * 2);
  for (std::size_t i = 0; i < units.size(); ++i) Bytes::PutLE<std::uint16_t>(bytes.data() + 2 * i, units[i]);
  out.Write(bytes.data(), bytes.size());
}

// ---- ZoneData ----

int ZoneData::ZonesHeld() const { return std::clamp(zoneCount, 0, kMaxZones); }

void ZoneData::Serialize(std::span<std::uint8_t, kStoredSize> out) const {
  std::uint8_t* p = out.data();
  Bytes::PutLE<float>(p, factor);
  Bytes::PutLE<std::uint32_t>(p + 4, time);
  Bytes::PutLE<std::uint32_t>(p + 8, static_cast<std::uint32_t>(zoneCount));
  PutFloats(p + 12, outerLeft);
  PutFloats(p + 28, outerRight);
  PutFloats(p + 44, innerLeft);
  PutFloats(p + 60, innerRight);
}

ZoneData ZoneData::Parse(std::span<const std::uint8_t, kStoredSize> in) {
  ZoneData r = ParseZoneBody(in.data() + 4);
  r.factor = Bytes::GetLE<float>(in.data());
  return r;
}

ZoneData ZoneData::ParseLegacy(std::span<const std::uint8_t, kLegacySize> in) { return ParseZoneBody(in.data()); }

std::span<const ZoneData> ZoneDataBatch::Entries() const {
  return std::span<const ZoneData>(entries.data(),
                                   static_cast<std::size_t>(std::min<std::uint64_t>(count, kMaxEntries)));
}

// ---- MarkerData2 ----

void WriteMarkerStreamRecord(SerializationStream& out, const MarkerData2& marker) {
  WriteU32(out, marker.time);
  WriteLengthPrefixedString(out, marker.text);
}

// ---- CalculationData ----

std::string CutCalculationComment(std::string_view text) {
  if (OS::Utf16Length(text) <= CalculationData::kMaxCommentUnits) return std::string(text);
  return OS::CutToUtf16Units(text, CalculationData::kMaxCommentUnits) + "...";
}

void WriteCalculationData(SerializationStream& out, const CalculationData& r) {
  WriteU16(out, static_cast<std::uint16_t>(r.kind));
  WriteSerialString(out, r.comment);
  WriteLE<std::int32_t>(out, r.group);
  WriteLE<double>(out, r.selectionEnd);
  WriteLE<double>(out, r.selectionStart);
  WriteU16(out, static_cast<std::uint16_t>(r.traceKind));
  WriteLE<double>(out, r.value);
  WriteLE<std::int32_t>(out, r.zone);
  WriteLE<std::int32_t>(out, r.count);
  WriteLE<double>(out, r.sd);
  WriteLE<double>(out, r.standardError);
}

bool ReadCalculationData(std::istream& in, CalculationData& r) {
  FieldReader f(in);
  r.kind = f.U16();
  r.comment = f.Text();
  r.group = f.I32();
  r.selectionEnd = f.F64();
  r.selectionStart = f.F64();
  r.traceKind = f.U16();
  r.value = f.F64();
  r.zone = f.I32();
  r.count = f.I32();
  r.sd = f.F64();
  r.standardError = f.F64();
  return f.complete();
}

CalculationData ParseLegacyCalculationData(std::span<const std::uint8_t, CalculationData::kLegacySize> in) {
  const std::uint8_t* p = in.data();
  CalculationData r;
  r.kind = Bytes::GetLE<std::uint16_t>(p);
  r.traceKind = Bytes::GetLE<std::uint16_t>(p + 4);
  r.zone = static_cast<std::int32_t>(Bytes::GetLE<std::uint32_t>(p + 8));
  r.value = Bytes::GetLE<double>(p + 16);
  r.selectionEnd = Bytes::GetLE<double>(p + 24);
  r.selectionStart = Bytes::GetLE<double>(p + 32);
  r.group = static_cast<std::int32_t>(Bytes::GetLE<std::uint32_t>(p + 40));
  std::u16string comment;
  for (std::size_t i = 0; i < 256; ++i) {
    const char16_t unit = Bytes::GetLE<std::uint16_t>(p + 44 + 2 * i);
    if (unit == 0) break;
    comment.push_back(unit);
  }
  r.comment = CutCalculationComment(OS::Utf16ToUtf8(comment));
  return r;
}

// ---- MicroscopeData2 ----

void MicroscopeData2::SerializeShort(std::span<std::uint8_t, kShortSize> out) const {
  Bytes::PutLE<std::uint32_t>(out.data(), time);
  Bytes::PutLE<float>(out.data() + 4, temperature);
  Bytes::PutLE<std::uint32_t>(out.data() + 8, static_cast<std::uint32_t>(ir));
}

void MicroscopeData2::Serialize(std::span<std::uint8_t, kSize> out) const {
  SerializeShort(out.first<kShortSize>());
  Bytes::PutLE<std::uint32_t>(out.data() + 12, index);
}

MicroscopeData2 MicroscopeData2::ParseShort(std::span<const std::uint8_t, kShortSize> in) {
  MicroscopeData2 r;
  r.time = Bytes::GetLE<std::uint32_t>(in.data());
  r.temperature = Bytes::GetLE<float>(in.data() + 4);
  r.ir = static_cast<std::int32_t>(Bytes::GetLE<std::uint32_t>(in.data() + 8));
  return r;
}

MicroscopeData2 MicroscopeData2::Parse(std::span<const std::uint8_t, kSize> in) {
  MicroscopeData2 r = ParseShort(in.first<kShortSize>());
  r.index = Bytes::GetLE<std::uint32_t>(in.data() + 12);
  return r;
}

// ---- older pressure forms ----

PMK4xData3 ParsePressure60(std::span<const std::uint8_t, kPressureSize60> in) {
  std::array<std::uint8_t, PMK4xData3::kSize> raw{};
  const std::uint8_t* p = in.data();
  raw[0] = p[0];
  raw[1] = p[1];
  std::copy(p + 4, p + 33, raw.begin() + 4);    // temperature .. switch4
  std::copy(p + 36, p + 60, raw.begin() + 36);  // pressures, index, time
  raw[61] = 1;
  raw[64] = 0x32;
  return PMK4xData3::Parse(raw);
}

PMK4xData3 ParsePressure56(std::span<const std::uint8_t, kPressureSize56> in) {
  std::array<std::uint8_t, PMK4xData3::kSize> raw{};
  const std::uint8_t* p = in.data();
  raw[0] = p[0];
  raw[1] = p[1];
  std::copy(p + 4, p + 16, raw.begin() + 4);    // temperature, its target, force
  std::copy(p + 20, p + 28, raw.begin() + 20);  // pH, flow
  raw[32] = p[28];
  for (std::size_t i = 0; i < 4; ++i)
    Bytes::PutLE<float>(raw.data() + 36 + 4 * i,
                        static_cast<float>(static_cast<std::int32_t>(Bytes::GetLE<std::uint32_t>(p + 32 + 4 * i))));
  std::copy(p + 48, p + 56, raw.begin() + 52);  // index, time
  return PMK4xData3::Parse(raw);
}

// ---- ImageIndexRecord ----

bool WriteImageIndexRecord(SerializationStream& out, const ImageIndexRecord& r) {
  if (r.image.size() > ImageIndexRecord::kMaxImageBytes) return false;
  WriteU32(out, r.time);
  WriteU32(out, r.width);
  WriteU32(out, r.height);
  WriteU32(out, r.Size());
  out.Write(r.image.data(), r.image.size());
  return true;
}

bool ReadImageIndexRecord(std::istream& in, ImageIndexRecord& r) {
  FieldReader f(in);
  ImageIndexRecord read;
  read.time = f.U32();
  read.width = f.U32();
  read.height = f.U32();
  const std::uint32_t size = f.U32();
  if (!f.complete() || size > ImageIndexRecord::kMaxImageBytes) return false;
  read.image.resize(size);
  if (size > 0 && !in.read(reinterpret_cast<char*>(read.image.data()), size)) return false;
  r = std::move(read);
  return true;
}

// ---- custom-trace definition ----

bool WriteCustomTraceDefinition(SerializationStream& out, const Traces::CustomTraces& t) {
  for (const std::string* text : {&t.Id, &t.Name, &t.CreationDate, &t.UnitTypeString, &t.Code}) {
    if (text->size() > kMaxStoredTextBytes) return false;
  }
  WriteSerialString(out, "");
  WriteSerialString(out, t.Id);
  WriteSerialString(out, t.Name);
  WriteLE<std::uint8_t>(out, t.Stored ? 1 : 0);
  WriteLE<std::uint8_t>(out, t.AutoRange ? 1 : 0);
  WriteSerialString(out, t.CreationDate);
  WriteLE<std::int32_t>(out, t.HorizontalLabels);
  WriteLE<std::int32_t>(out, t.MaximumLimit);
  WriteLE<std::int32_t>(out, t.MinimumLimit);
  WriteLE<std::uint8_t>(out, t.ShowUnit ? 1 : 0);
  WriteLE<std::int32_t>(out, t.ScriptType);
  WriteLE<std::int32_t>(out, t.UnitType);
  WriteSerialString(out, t.UnitTypeString);
  WriteLE<std::int32_t>(out, t.VerticalLabels);
  WriteSerialString(out, t.Code);
  return true;
}

bool ReadCustomTraceDefinition(std::istream& in, Traces::CustomTraces& t) {
  FieldReader f(in);
  f.Text();  // written empty
  t.Id = f.Text();
  t.Name = f.Text();
  t.Stored = f.U8() == 1;
  t.AutoRange = f.U8() == 1;
  t.CreationDate = f.Text();
  t.HorizontalLabels = f.I32();
  t.MaximumLimit = f.I32();
  t.MinimumLimit = f.I32();
  t.ShowUnit = f.U8() == 1;
  t.ScriptType = f.I32();
  t.UnitType = f.I32();
  t.UnitTypeString = f.Text();
  t.VerticalLabels = f.I32();
  t.Code = f.Text();
  return f.complete();
}

}  // namespace ORV
