// Stored forms of the session records, against byte vectors laid out by hand
// from the record tables.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/experiment/session_records.h"

namespace ORV {
namespace {

// Little-endian byte vector built field by field.
class Bytes {
 public:
  Bytes& u8(std::uint8_t v) {
    b.push_back(v);
    return *this;
  }
  Bytes& u16(std::uint16_t v) { return le(v, 2); }
  Bytes& u32(std::uint32_t v) { return le(v, 4); }
  Bytes& f32(float v) {
    std::uint32_t u;
    std::memcpy(&u, &v, 4);
    return le(u, 4);
  }
  Bytes& f64(double v) {
    std::uint64_t u;
    std::memcpy(&u, &v, 8);
    return le(u, 8);
  }
  // A serialised string: u16 byte count, UTF-8.
  Bytes& str(const std::string& s) {
    u16(static_cast<std::uint16_t>(s.size()));
    b.insert(b.end(), s.begin(), s.end());
    return *this;
  }
  Bytes& units(const std::u16string& s) {
    for (char16_t c : s) u16(c);
    return *this;
  }
  Bytes& zeros(std::size_t n) {
    b.insert(b.end(), n, 0);
    return *this;
  }
  std::vector<std::uint8_t> b;

 private:
  Bytes& le(std::uint64_t v, int n) {
    for (int i = 0; i < n; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return *this;
  }
};

std::vector<std::uint8_t> Collected(const VectorSerializationStream& s) { return {s.Bytes().begin(), s.Bytes().end()}; }

template <class Read>
bool ReadFrom(const std::vector<std::uint8_t>& bytes, Read read) {
  ByteArrayStreamBuf buf(bytes);
  std::istream in(&buf);
  return read(in);
}

// ---- CalculationData ----

TEST(CalculationRecord, SerialisedFormHasTheElevenFieldsInTheirOrder) {
  CalculationData r;
  r.kind = 1;
  r.comment = "\xC2\xB5m";  // "µm"
  r.group = CalculationData::kGroupHead;
  r.selectionEnd = 1.5;
  r.selectionStart = 2.5;
  r.traceKind = 4;
  r.value = 3.0;
  r.zone = 7;
  r.count = 9;
  r.sd = 0.125;
  r.standardError = -1.0;

  const std::vector<std::uint8_t> expected = Bytes()
                                                 .u16(1)
                                                 .str("\xC2\xB5m")
                                                 .u32(0xFFFFFFFF)
                                                 .f64(1.5)
                                                 .f64(2.5)
                                                 .u16(4)
                                                 .f64(3.0)
                                                 .u32(7)
                                                 .u32(9)
                                                 .f64(0.125)
                                                 .f64(-1.0)
                                                 .b;
  VectorSerializationStream out;
  WriteCalculationData(out, r);
  EXPECT_EQ(Collected(out), expected);

  CalculationData back;
  EXPECT_TRUE(ReadFrom(expected, [&](std::istream& in) { return ReadCalculationData(in, back); }));
  EXPECT_EQ(back, r);

  // Two records back to back read one after the other; a cut record is reported.
  std::vector<std::uint8_t> two = expected;
  two.insert(two.end(), expected.begin(), expected.end() - 3);
  ReadFrom(two, [&](std::istream& in) {
    EXPECT_TRUE(ReadCalculationData(in, back));
    EXPECT_FALSE(ReadCalculationData(in, back));
    EXPECT_EQ(back.comment, r.comment) << "the fields before the cut are read";
    return true;
  });
}

TEST(CalculationRecord, WideKindsKeepTheirLowSixteenBitsWhenStored) {
  CalculationData r;
  r.kind = 4;
  r.traceKind = 221;  // a custom trace
  VectorSerializationStream out;
  WriteCalculationData(out, r);
  CalculationData back;
  ASSERT_TRUE(ReadFrom(Collected(out), [&](std::istream& in) { return ReadCalculationData(in, back); }));
  EXPECT_EQ(back.kind, 4);
  EXPECT_EQ(back.traceKind, 221);
  EXPECT_EQ(back.zone, -1);
  EXPECT_EQ(back.count, -1);
}

TEST(CalculationRecord, CommentsLongerThan252UnitsAreCut) {
  const std::string e252(252, 'e');
  std::string accents;  // 126 characters of one unit and two bytes each
  for (int i = 0; i < 126; ++i) accents += "\xC3\xA9";
  struct Case {
    std::string text;
    std::string expected;
  } cases[] = {
      {"", ""},
      {e252, e252},
      {e252 + "f", e252 + "..."},
      {std::string(300, 'x'), std::string(252, 'x') + "..."},
      // 251 units and then a character of two units: the cut does not split it.
      {std::string(251, 'a') + "\xF0\x9F\x98\x80" + "b", std::string(251, 'a') + "..."},
      // UTF-16 units are counted, not bytes.
      {std::string(126, 'a') + accents, std::string(126, 'a') + accents},
      {std::string(127, 'a') + accents, std::string(127, 'a') + accents.substr(0, 2 * 125) + "..."},
  };
  for (const Case& c : cases) EXPECT_EQ(CutCalculationComment(c.text), c.expected) << c.text.size();
}

TEST(CalculationRecord, OlderRawFormOf560BytesIsConverted) {
  struct Case {
    std::u16string stored;  // the comment units; the rest of the 256 stays 0
    std::string expected;
  } cases[] = {
      {u"short \u00B5", "short \xC2\xB5"},
      {std::u16string(256, u'x'), std::string(252, 'x') + "..."},  // no NUL: all 256 units
      {std::u16string(252, u'y'), std::string(252, 'y')},
  };
  for (const Case& c : cases) {
    Bytes raw;
    raw.u16(2)
        .u16(0xAAAA)  // kind, then two bytes that are not part of it
        .u16(11)
        .u16(0xBBBB)  // trace kind with its two following bytes
        .u32(3)       // zone
        .zeros(4)
        .f64(42.5)        // value
        .f64(10.0)        // selection end
        .f64(5.0)         // selection start
        .u32(0xFFFFFFFF)  // group
        .units(c.stored)
        .zeros(512 - 2 * c.stored.size())
        .u32(0xDEADBEEF);  // unused
    ASSERT_EQ(raw.b.size(), CalculationData::kLegacySize);

    const CalculationData r = ParseLegacyCalculationData(std::span<const std::uint8_t, 560>(raw.b.data(), 560));
    EXPECT_EQ(r.kind, 2);
    EXPECT_EQ(r.traceKind, 11);
    EXPECT_EQ(r.zone, 3);
    EXPECT_EQ(r.value, 42.5);
    EXPECT_EQ(r.selectionEnd, 10.0);
    EXPECT_EQ(r.selectionStart, 5.0);
    EXPECT_TRUE(r.IsGroupHead());
    EXPECT_EQ(r.comment, c.expected);
    EXPECT_EQ(r.count, -1);
    EXPECT_EQ(r.sd, -1.0);
    EXPECT_EQ(r.standardError, -1.0);
  }
}

// ---- ZoneData ----

std::vector<std::uint8_t> ZoneBody() {
  Bytes b;
  b.u32(123456).u32(3);
  for (int field = 0; field < 4; ++field)
    for (int zone = 0; zone < 4; ++zone) b.f32(static_cast<float>(field * 10 + zone) + 0.5f);
  return b.b;
}

TEST(ZoneRecord, StoredFormsOf76And72Bytes) {
  Bytes stored76;
  stored76.f32(2.0f);
  const std::vector<std::uint8_t> body = ZoneBody();
  stored76.b.insert(stored76.b.end(), body.begin(), body.end());
  ASSERT_EQ(stored76.b.size(), ZoneData::kStoredSize);
  ASSERT_EQ(body.size(), ZoneData::kLegacySize);

  const ZoneData z = ZoneData::Parse(std::span<const std::uint8_t, 76>(stored76.b.data(), 76));
  EXPECT_EQ(z.factor, 2.0f);
  EXPECT_EQ(z.time, 123456u);
  EXPECT_EQ(z.zoneCount, 3);
  EXPECT_EQ(z.outerLeft[1], 1.5f);
  EXPECT_EQ(z.outerRight[2], 12.5f);
  EXPECT_EQ(z.innerLeft[3], 23.5f);
  EXPECT_EQ(z.innerRight[0], 30.5f);
  EXPECT_EQ(z.valid, 1u) << "set when a record is read";

  std::vector<std::uint8_t> again(76);
  z.Serialize(std::span<std::uint8_t, 76>(again.data(), 76));
  EXPECT_EQ(again, stored76.b);

  const ZoneData old = ZoneData::ParseLegacy(std::span<const std::uint8_t, 72>(body.data(), 72));
  EXPECT_EQ(old.factor, 1.0f);
  EXPECT_EQ(old.valid, 1u);
  old.Serialize(std::span<std::uint8_t, 76>(again.data(), 76));
  EXPECT_EQ(std::vector<std::uint8_t>(again.begin() + 4, again.end()), body) << "the 72 bytes land at bytes 4..75";
}

TEST(ZoneRecord, ZonesHeldIsTheZoneCountLimitedToFour) {
  ZoneData z;
  for (auto [count, held] : {std::pair{-3, 0}, {0, 0}, {2, 2}, {4, 4}, {9, 4}}) {
    z.zoneCount = count;
    EXPECT_EQ(z.ZonesHeld(), held) << count;
  }
}

// ---- MicroscopeData2 ----

TEST(MicroscopeRecord, StoredFormsOf16And12Bytes) {
  const std::vector<std::uint8_t> full = Bytes().u32(5000).f32(36.5f).u32(static_cast<std::uint32_t>(-7)).u32(2).b;
  const MicroscopeData2 r = MicroscopeData2::Parse(std::span<const std::uint8_t, 16>(full.data(), 16));
  EXPECT_EQ(r.time, 5000u);
  EXPECT_EQ(r.temperature, 36.5f);
  EXPECT_EQ(r.ir, -7);
  EXPECT_EQ(r.index, 2u);

  std::vector<std::uint8_t> out(16);
  r.Serialize(std::span<std::uint8_t, 16>(out.data(), 16));
  EXPECT_EQ(out, full);
  std::vector<std::uint8_t> shortForm(12);
  r.SerializeShort(std::span<std::uint8_t, 12>(shortForm.data(), 12));
  EXPECT_EQ(shortForm, std::vector<std::uint8_t>(full.begin(), full.begin() + 12));

  const MicroscopeData2 s = MicroscopeData2::ParseShort(std::span<const std::uint8_t, 12>(full.data(), 12));
  EXPECT_EQ(s.index, 0u) << "the 12-byte form has no microscope index";
  EXPECT_EQ(s.ir, -7);

  // The instrument's reading passes unchanged.
  EXPECT_EQ(MicroscopeData2(r.ToSample()), r);
}

// ---- marker stream ----

TEST(MarkerStreamRecord, TimeThenLengthInUnitsThenUtf16) {
  struct Case {
    std::string text;
    std::u16string units;
  } cases[] = {
      {"", u""},
      {"Drug \xC2\xB5", u"Drug \u00B5"},
      {"\xF0\x9F\x98\x80", u"\U0001F600"},  // two units
      {std::string(4096, 'k'), std::u16string(4096, u'k')},
      {std::string(4097, 'k'), std::u16string(4092, u'k') + u"..."},
      {std::string(5000, 'm'), std::u16string(4092, u'm') + u"..."},
  };
  for (const Case& c : cases) {
    VectorSerializationStream out;
    WriteMarkerStreamRecord(out, MarkerData2{c.text, 0x01020304, 3, 99});
    const std::vector<std::uint8_t> expected =
        Bytes().u32(0x01020304).u32(static_cast<std::uint32_t>(c.units.size())).units(c.units).b;
    EXPECT_EQ(Collected(out), expected) << c.text.size();
  }
}

// ---- index images ----

TEST(IndexImageRecord, TimeWidthHeightSizeThenTheBytes) {
  ImageIndexRecord r;
  r.time = 70000;
  r.width = 64;
  r.height = 48;
  r.image = {1, 2, 3, 4, 5};
  const std::vector<std::uint8_t> expected = Bytes().u32(70000).u32(64).u32(48).u32(5).u8(1).u8(2).u8(3).u8(4).u8(5).b;
  VectorSerializationStream out;
  ASSERT_TRUE(WriteImageIndexRecord(out, r));
  EXPECT_EQ(Collected(out), expected);

  ImageIndexRecord back;
  EXPECT_TRUE(ReadFrom(expected, [&](std::istream& in) { return ReadImageIndexRecord(in, back); }));
  EXPECT_EQ(back, r);

  // Refused: a cut record, and a size above 10000.
  const std::vector<std::uint8_t> cut(expected.begin(), expected.end() - 1);
  const std::vector<std::uint8_t> huge = Bytes().u32(1).u32(1).u32(1).u32(10001).zeros(10001).b;
  for (const auto* bad : {&cut, &huge}) {
    ImageIndexRecord untouched = r;
    EXPECT_FALSE(ReadFrom(*bad, [&](std::istream& in) { return ReadImageIndexRecord(in, untouched); }));
    EXPECT_EQ(untouched, r);
  }
  r.image.resize(10001);
  VectorSerializationStream refused;
  EXPECT_FALSE(WriteImageIndexRecord(refused, r));
  EXPECT_EQ(refused.Size(), 0u);
}

// ---- custom-trace definition ----

Traces::CustomTraces SampleDefinition() {
  Traces::CustomTraces t;
  t.Id = "6F9619FF-8B86-D011-B42D-00C04FC964FF";
  t.Name = "Wall ratio \xC2\xB5";
  t.Stored = true;
  t.AutoRange = false;
  t.CreationDate = "2024-05-01T10:00:00+0200";
  t.HorizontalLabels = 10;
  t.MaximumLimit = 250;
  t.MinimumLimit = -5;
  t.ShowUnit = true;
  t.ScriptType = 2;
  t.UnitType = -1;
  t.UnitTypeString = "mm/s";
  t.VerticalLabels = 5;
  t.Code = "return OuterDiameter / InnerDiameter";
  return t;
}

std::vector<std::uint8_t> SampleDefinitionBytes(std::uint8_t storedFlag, std::uint8_t showUnitFlag) {
  return Bytes()
      .str("")
      .str("6F9619FF-8B86-D011-B42D-00C04FC964FF")
      .str("Wall ratio \xC2\xB5")
      .u8(storedFlag)
      .u8(0)  // AutoRange
      .str("2024-05-01T10:00:00+0200")
      .u32(10)
      .u32(250)
      .u32(static_cast<std::uint32_t>(-5))
      .u8(showUnitFlag)
      .u32(2)
      .u32(0xFFFFFFFF)
      .str("mm/s")
      .u32(5)
      .str("return OuterDiameter / InnerDiameter")
      .b;
}

TEST(CustomTraceDefinitionForm, FifteenFieldsInTheirOrder) {
  const Traces::CustomTraces t = SampleDefinition();
  VectorSerializationStream out;
  ASSERT_TRUE(WriteCustomTraceDefinition(out, t));
  EXPECT_EQ(Collected(out), SampleDefinitionBytes(1, 1));

  Traces::CustomTraces back;
  ASSERT_TRUE(
      ReadFrom(SampleDefinitionBytes(1, 1), [&](std::istream& in) { return ReadCustomTraceDefinition(in, back); }));
  EXPECT_EQ(back, t);

  // The first string is skipped whatever it holds; a flag is true only for 1.
  std::vector<std::uint8_t> odd = SampleDefinitionBytes(2, 0xFF);
  odd[0] = 3;
  odd.insert(odd.begin() + 2, {'a', 'b', 'c'});
  Traces::CustomTraces flags;
  ASSERT_TRUE(ReadFrom(odd, [&](std::istream& in) { return ReadCustomTraceDefinition(in, flags); }));
  EXPECT_FALSE(flags.Stored);
  EXPECT_FALSE(flags.ShowUnit);
  EXPECT_EQ(flags.Code, t.Code);

  const std::vector<std::uint8_t> bytes = SampleDefinitionBytes(1, 1);
  const std::vector<std::uint8_t> cut(bytes.begin(), bytes.end() - 1);
  Traces::CustomTraces partial;
  EXPECT_FALSE(ReadFrom(cut, [&](std::istream& in) { return ReadCustomTraceDefinition(in, partial); }));
}

TEST(CustomTraceDefinitionForm, ATextTooLongForItsLengthFieldIsRefusedWhole) {
  Traces::CustomTraces t = SampleDefinition();
  t.Code = "return 1 --" + std::string(70000, 'x');
  VectorSerializationStream out;
  EXPECT_FALSE(WriteCustomTraceDefinition(out, t));
  EXPECT_EQ(out.Size(), 0u) << "nothing of the definition is written";

  t.Code = std::string(65535, 'y');
  EXPECT_TRUE(WriteCustomTraceDefinition(out, t)) << "65535 bytes still fit";
}

}  // namespace
}  // namespace ORV
