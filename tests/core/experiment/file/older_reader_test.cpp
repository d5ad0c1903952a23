// Opening files of versions 1 to 3: their records converted to the current
// forms, and every way such a file is refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "core/storage/record_stream.h"
#include "core/storage/relative_time.h"
#include "tests/core/experiment/file/file_fixture.h"
#include "tests/core/experiment/file/older_file.h"

namespace ORV::Test {
namespace {

class OlderExperimentFile : public ExperimentFileFixture {
 protected:
  int Open(const std::vector<std::uint8_t>& file) {
    const std::string path = dir_ / "old.tvx";
    WriteAll(path, file);
    log_.backend().Clear();
    return OpenExperiment(data(), path, context_);
  }
  std::string Logged(const std::vector<std::string>& lines) {
    std::string want;
    for (std::string line : lines) {
      if (const auto at = line.find("%s"); at != std::string::npos) line.replace(at, 2, dir_ / "old.tvx");
      want += line + "\n";
    }
    return want;
  }
};

// The 124-byte record a 60- or 56-byte pressure sample becomes, spelled out
// byte by byte.
std::array<std::uint8_t, PMK4xData3::kSize> ConvertedPressure(std::span<const std::uint8_t> in) {
  std::array<std::uint8_t, PMK4xData3::kSize> out{};
  const auto keep = [&](std::size_t from, std::size_t to, std::size_t at) {
    std::copy(in.begin() + static_cast<std::ptrdiff_t>(from), in.begin() + static_cast<std::ptrdiff_t>(to),
              out.begin() + static_cast<std::ptrdiff_t>(at));
  };
  out[0] = in[0];
  out[1] = in[1];
  if (in.size() == 60) {
    keep(4, 33, 4);
    keep(36, 60, 36);
    out[61] = 1;
    out[64] = 0x32;
  } else {
    keep(4, 16, 4);
    keep(20, 28, 20);
    out[32] = in[28];
    for (std::size_t k = 0; k < 4; ++k) {
      std::int32_t old;
      std::memcpy(&old, in.data() + 32 + 4 * k, 4);
      const float value = static_cast<float>(old);
      std::memcpy(out.data() + 36 + 4 * k, &value, 4);
    }
    keep(48, 56, 52);
  }
  return out;
}

TEST_F(OlderExperimentFile, OpensWithEveryRecordFormConverted) {
  struct Case {
    std::uint16_t version;
    std::uint32_t actionSize, markerSize, calculationSize, pressureSize, zoneSize, microscopeSize;
  };
  const Case cases[] = {
      {1, 8, 8, 560, 60, 72, 12},
      {2, 16, 12, 80, 56, 76, 12},
      {3, 16, 16, 560, 124, 72, 16},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    OlderFile file(c.version);
    const std::uint32_t start = file.startTick;

    Bytes actions;
    Text(actions.u32(30), u"early");  // a time in seconds
    Text(actions.u32(start + 100), u"late");
    file.blocks[OlderFile::kActions] = RecordBlock(32, c.actionSize, actions.b);

    Bytes markers;
    const bool cameraField = c.markerSize != 8;
    Text(markers.u32(start + 10), u"first");
    if (cameraField) markers.u32(2);
    Text(markers.u32(start + 20), u"second");
    if (cameraField) markers.u32(1);
    file.blocks[OlderFile::kMarkers] = RecordBlock(cameraField ? 32 : 24, c.markerSize, markers.b);

    CalculationData calculation{3, 4, 2, 1.5, 2.5, 0.5, CalculationData::kGroupHead, "legacy", -1, -1.0, -1.0};
    if (c.calculationSize == 80) {
      calculation = {1, 13, 0, 7.25, 30.0, 10.0, 5, "serialised", 12, 0.5, 0.25};
      VectorSerializationStream s;
      WriteCalculationData(s, calculation);
      Bytes b;
      b.u32(1).u32(80);
      file.blocks[OlderFile::kCalculations] = Raw(b, s.Bytes()).b;
    } else {
      std::vector<std::uint8_t> raw(560, 0);
      Bytes head;
      head.u16(3).u16(0).u16(4).u16(0).u32(2);
      std::copy(head.b.begin(), head.b.end(), raw.begin());
      const double values[] = {1.5, 2.5, 0.5};
      std::memcpy(raw.data() + 16, values, sizeof values);
      std::memset(raw.data() + 40, 0xFF, 4);
      const std::u16string comment = u"legacy";
      std::memcpy(raw.data() + 44, comment.data(), comment.size() * 2);
      file.blocks[OlderFile::kCalculations] = RecordBlock(560, 560, raw);
    }

    const std::vector<std::uint8_t> flow = Pattern(2, 12, 0x11);
    file.blocks[OlderFile::kFlow] = RecordBlock(24, 12, flow);
    const std::vector<std::uint8_t> pressure = Pattern(2, c.pressureSize, 0x21);
    file.blocks[OlderFile::kPressure] = RecordBlock(2 * c.pressureSize, c.pressureSize, pressure);
    const std::vector<std::uint8_t> zones = Pattern(2, c.zoneSize, 0x31);
    file.blocks[OlderFile::kZones] = RecordBlock(2 * c.zoneSize, c.zoneSize, zones);
    const std::vector<std::uint8_t> microscope = Pattern(2, c.microscopeSize, 0x41);
    file.blocks[OlderFile::kMicroscope] = RecordBlock(2 * c.microscopeSize, c.microscopeSize, microscope);
    if (c.version == 3) {
      // Trace windows without a camera field; one index image.
      Bytes traces;
      traces.u32(2).u32(4).u32(1);
      traces.b.resize(traces.b.size() + 16);
      const double ranges[] = {1.5, 9.5, 0.0, 60.0};
      std::memcpy(traces.b.data() + 12, ranges, 16);
      traces.u32(13).u32(3);
      traces.b.resize(traces.b.size() + 16);
      std::memcpy(traces.b.data() + traces.b.size() - 16, ranges + 2, 16);
      file.blocks[OlderFile::kTraces] = traces.b;
      file.blocks[OlderFile::kImages] = Bytes{}.u32(1).u32(start + 5).u32(2).u32(1).u32(2).u16(0xBEEF).b;
    }

    data().modified = true;
    host_.windows.clear();
    ASSERT_EQ(Open(file.Build()), 2) << log_.Dump();
    EXPECT_EQ(log_.Dump(), "");
    EXPECT_EQ(data().fileVersion, c.version);
    EXPECT_EQ(data().startTick, start);
    EXPECT_EQ(data().modified, c.version == 3);

    data().Read([&](const ExperimentContents& got) {
      EXPECT_EQ(got.title, "Old title");
      EXPECT_EQ(got.description, "Old description");
      EXPECT_EQ(got.fileCameraNames.size(), 1u);
      EXPECT_EQ(got.CameraCount(kModeFile), 1u);
      EXPECT_EQ(got.zoneCount[0], 2u);
      EXPECT_EQ(got.filePath, "");
      EXPECT_EQ(got.name, "");
      EXPECT_EQ(got.calculations, std::vector<CalculationData>{calculation});

      // Flow samples are stored as they are held.
      std::vector<std::array<std::uint8_t, FMASL1600Data::kSize>> wantFlow(2);
      std::copy_n(flow.begin(), 12, wantFlow[0].begin());
      std::copy_n(flow.begin() + 12, 12, wantFlow[1].begin());
      EXPECT_EQ(StoredList<FMASL1600Data::kSize>(got.flowSamples), wantFlow);
      std::vector<std::array<std::uint8_t, PMK4xData3::kSize>> wantPressure;
      for (std::size_t r = 0; r < 2; ++r) {
        const std::span<const std::uint8_t> one(pressure.data() + r * c.pressureSize, c.pressureSize);
        if (c.pressureSize == PMK4xData3::kSize) {
          // Padding reads and stores as 0.
          std::array<std::uint8_t, PMK4xData3::kSize> same{};
          std::copy(one.begin(), one.end(), same.begin());
          for (std::size_t pad : {2, 3, 33, 34, 35, 65, 66, 67}) same[pad] = 0;
          wantPressure.push_back(same);
        } else {
          wantPressure.push_back(ConvertedPressure(one));
        }
      }
      EXPECT_EQ(StoredList<PMK4xData3::kSize>(got.pressureSamples), wantPressure);

      // Zone records: the 72-byte form lacks the leading factor (1.0).
      std::vector<std::array<std::uint8_t, ZoneData::kStoredSize>> wantZones;
      for (std::size_t r = 0; r < 2; ++r) {
        std::array<std::uint8_t, ZoneData::kStoredSize> z{};
        const float one = 1.0f;
        const std::size_t at = c.zoneSize == 72 ? 4 : 0;
        if (at) std::memcpy(z.data(), &one, 4);
        std::copy_n(zones.begin() + static_cast<std::ptrdiff_t>(r * c.zoneSize), c.zoneSize, z.begin() + at);
        wantZones.push_back(z);
      }
      EXPECT_EQ(StoredList<ZoneData::kStoredSize>(got.zoneData[0]), wantZones);
      EXPECT_TRUE(
          std::all_of(got.zoneData[0].begin(), got.zoneData[0].end(), [](const ZoneData& z) { return z.valid == 1; }));

      // Microscope records: the 12-byte form has no microscope index (0).
      std::vector<std::array<std::uint8_t, MicroscopeData2::kSize>> wantMicroscope;
      for (std::size_t r = 0; r < 2; ++r) {
        std::array<std::uint8_t, MicroscopeData2::kSize> m{};
        std::copy_n(microscope.begin() + static_cast<std::ptrdiff_t>(r * c.microscopeSize), c.microscopeSize,
                    m.begin());
        wantMicroscope.push_back(m);
      }
      EXPECT_EQ(StoredList<MicroscopeData2::kSize>(got.microscopeData[0]), wantMicroscope);

      if (c.version == 3) {
        EXPECT_EQ(data().lastSampleTime, file.lastSample);
        const ImageIndexRecord image{{0xEF, 0xBE}, 2, 1, start + 5};
        EXPECT_EQ(got.indexImages, std::vector<ImageIndexRecord>{image});
      } else {
        // No last sample time in the file: the newest record's time.
        const std::uint32_t newest = std::max({start, got.zoneData[0].back().time, got.pressureSamples.back().time,
                                               got.flowSamples.back().time, got.microscopeData[0].back().time});
        EXPECT_EQ(data().lastSampleTime, newest);
      }
      return 0;
    });

    data().WithStores([&](MarkerStore& markerStore, ActionStore& actionStore) {
      EXPECT_EQ(actionStore.Count(), 2u);
      EXPECT_EQ(actionStore.Get(0), (ActionData{start + 30000, "early"}));
      EXPECT_EQ(actionStore.Get(1), (ActionData{start + 100, "late"}));
      EXPECT_EQ(markerStore.Count(), 2u);
      if (markerStore.Count() != 2) return 0;
      const MarkerData2 first = markerStore.Get(0), second = markerStore.Get(1);
      EXPECT_EQ(std::tie(first.text, first.time, first.camera),
                std::make_tuple(std::string("first"), start + 10, cameraField ? 2u : 0u));
      EXPECT_EQ(std::tie(second.text, second.time, second.camera),
                std::make_tuple(std::string("second"), start + 20, cameraField ? 1u : 0u));
      return 0;
    });

    if (c.version == 3) {
      ASSERT_EQ(host_.windows.size(), 2u);
      EXPECT_EQ(host_.windows[0].traceCode, 4);
      EXPECT_EQ(host_.windows[0].camera, 0);
      EXPECT_EQ(host_.windows[0].zones[0], 1);
      EXPECT_EQ(host_.windows[0].visibleStart, 1.5);
      EXPECT_EQ(host_.windows[0].visibleEnd, 9.5);
      EXPECT_EQ(host_.windows[1].traceCode, 13);
      EXPECT_EQ(host_.windows[1].zones[0], 3);
      EXPECT_EQ(host_.windows[1].visibleEnd, 60.0);
    } else {
      EXPECT_TRUE(host_.windows.empty());
    }
  }
}

TEST_F(OlderExperimentFile, EveryRefusalHasItsResultAndMessage) {
  const auto build = [](std::uint16_t version, auto&& change) {
    OlderFile file(version);
    change(file);
    return file.Build();
  };
  const auto block = [&](std::uint16_t version, OlderFile::Block which, std::vector<std::uint8_t> bytes) {
    return build(version, [&](OlderFile& f) { f.blocks[which] = bytes; });
  };
  const auto patched = [](std::uint16_t version, auto&& at, std::uint32_t value) {
    OlderFile file(version);
    Bytes b{file.Build()};
    b.put32(at(file), value);
    return b.b;
  };
  const auto cut = [](std::uint16_t version, auto&& size) {
    OlderFile file(version);
    std::vector<std::uint8_t> b = file.Build();
    b.resize(size(file));
    return b;
  };
  const auto title = [](const OlderFile& f) { return f.TitleOffset(); };
  const auto description = [](const OlderFile& f) { return f.DescriptionOffset(); };
  // One trace entry of version 3: kind, zone, two f64.
  const auto trace = [](std::uint32_t kind, std::uint32_t zone) {
    Bytes b;
    b.u32(1).u32(kind).u32(zone).u64(0).u64(0);
    return b.b;
  };
  Bytes longMarker;
  longMarker.u32(16).u32(16).u32(1).u32(5000);

  struct Case {
    const char* name;
    std::vector<std::uint8_t> file;
    int result;
    std::vector<std::string> logged;
  };
  const std::string open = "Unable to open experiment from file '%s' ";
  const Case cases[] = {
      {"title too long", patched(1, title, 4097), -4, {open + "(title size invalid)"}},
      {"file ends in the title",
       cut(2, [&](auto& f) { return title(f) + 8; }),
       -5,
       {open + "(unable to read title data)"}},
      {"file ends before the title",
       cut(3, [&](auto& f) { return title(f) + 2; }),
       -5,
       {open + "(unable to read title data)"}},
      {"description too long", patched(3, description, 4097), -6, {open + "(description size invalid)"}},
      {"file ends in the description",
       cut(1, [&](auto& f) { return description(f) + 6; }),
       -7,
       {open + "(unable to read description data)"}},
      {"action struct size",
       block(2, OlderFile::kActions, RecordBlock(0, 17)),
       -8,
       {"Unable to load 'ActionData' - Invalid struct size", open + "(unable to read action data)"}},
      {"calculation struct size",
       block(3, OlderFile::kCalculations, RecordBlock(0, 17)),
       -9,
       {"Unable to load 'CalculationData' - Invalid struct size", open + "(unable to read calculation data)"}},
      {"marker struct size",
       block(1, OlderFile::kMarkers, RecordBlock(0, 17)),
       -10,
       {"Unable to load 'MarkerData2' - Invalid struct size", open + "(unable to read annotation data)"}},
      {"marker text too long",
       block(3, OlderFile::kMarkers, longMarker.b),
       -10,
       {"Failed to load string data from stream (invalid string size: 5000)",
        open + "(unable to read annotation data)"}},
      {"flow struct size",
       block(2, OlderFile::kFlow, RecordBlock(0, 16)),
       -11,
       {"Unable to load 'FMASL1600Data' - Invalid struct size", open + "(unable to read flow data)"}},
      {"flow block beyond the end",
       patched(
           1, [](auto&) { return 6 + 4 * 3; }, 1u << 20),
       -11,
       {open + "(unable to read flow data)"}},
      {"pressure struct size",
       block(3, OlderFile::kPressure, RecordBlock(0, 100)),
       -12,
       {"Unable to load 'PMK4xData' - Invalid struct size", open + "(unable to read pressure data)"}},
      {"pressure records beyond the end",
       block(1, OlderFile::kPressure, RecordBlock(60 * 1000, 60, Pattern(1, 60))),
       -12,
       {open + "(unable to read pressure data)"}},
      {"zone struct size, version 1",
       block(1, OlderFile::kZones, RecordBlock(0, 80)),
       -13,
       {"Unable to load 'ZoneData' - Invalid struct size", open + "(unable to read analysis data) from camera: 0"}},
      {"16-byte microscope records, version 2",
       block(2, OlderFile::kMicroscope, RecordBlock(16, 16, Pattern(1, 16))),
       -14,
       {"Unable to load 'MicroscopeData2' - Invalid struct size", open + "(unable to read microscope data)"}},
      {"microscope struct size, version 3",
       block(3, OlderFile::kMicroscope, RecordBlock(0, 20)),
       -14,
       {"Unable to load 'MicroscopeData2' - Invalid struct size", open + "(unable to read microscope data)"}},
      {"zone struct size, version 3",
       block(3, OlderFile::kZones, RecordBlock(0, 80)),
       -15,
       {"Unable to load 'ZoneData' - Invalid struct size", open + "(unable to read analysis data) from camera: 0"}},
      {"trace zone 4", block(3, OlderFile::kTraces, trace(4, 4)), 0, {open + "(unable to load open trace data)"}},
      {"trace kind between built-in and custom",
       block(3, OlderFile::kTraces, trace(100, 0)),
       0,
       {open + "(unable to load open trace data)"}},
      {"header cut", cut(1, [](auto&) { return 20; }), 0, {open + "(unable to read header data)"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    data().Update([](ExperimentContents& contents) {
      contents.title = "old";
      contents.flowSamples.push_back({});
      return 0;
    });
    data().opened = false;
    EXPECT_EQ(Open(c.file), c.result);
    EXPECT_EQ(log_.Dump(), Logged(c.logged));
    EXPECT_TRUE(data().Read([](const ExperimentContents& got) {
      return got.title.empty() && got.flowSamples.empty() && got.fileCameraNames.empty();
    }));
    EXPECT_EQ(data().MarkerCount(), 0u);
    EXPECT_TRUE(data().opened);
    EXPECT_EQ(data().mode, kModeFile);
    EXPECT_TRUE(host_.windows.empty());
  }
}

TEST_F(OlderExperimentFile, UnreadableVideoOfVersion3AsksWhetherToGoOn) {
  OlderFile file(3);
  // Present, an empty path, 17 bytes of analysis records: not whole records.
  file.blocks[OlderFile::kVideo] = Bytes{}.u32(1).u32(0).u32(17).b;
  for (const bool answer : {true, false}) {
    SCOPED_TRACE(answer);
    prompt_.questions.clear();
    prompt_.answer = answer;
    EXPECT_EQ(Open(file.Build()), answer ? 2 : 0);
    EXPECT_EQ(prompt_.questions,
              std::vector<std::string>{"Saved video data is corrupt - Continue opening without video data?"});
    EXPECT_EQ(log_.Dump(), Logged({"Unable to open experiment from file '%s' (unable to load video file data)"}));
  }
}

// A version 4 file has no clock segments or calibration: the clock's
// segments and the experiment's scales stay as they were.
TEST_F(OlderExperimentFile, Version4LeavesTheClockAndTheScalesAlone) {
  {
    auto lock = clock_.Lock();
    ASSERT_EQ(clock_.Store().Put(0, {10, 20, 0, 5, 1}, false), 0);
  }
  data().configuration->ExperimentValues = {8.0f, 1.25f, 2.25f, 3.25f, 4.25f};
  ASSERT_EQ(Save("current.tvx"), 1);
  Bytes b{ReadAll(dir_ / "current.tvx")};
  b.b[0] = 4;
  b.put32(6 + 4 * 10, 0);
  b.put32(6 + 4 * 11, 0);
  {
    auto lock = clock_.Lock();
    clock_.Store().Reset();
    ASSERT_EQ(clock_.Store().Put(0, {40, 0, 7, 0, 3}, false), 0);
  }
  data().configuration->ExperimentValues = {-1.0f, -1.0f, -1.0f, -1.0f, -1.0f};

  EXPECT_EQ(Open(b.b), 2);
  EXPECT_TRUE(data().modified);
  EXPECT_EQ(data().fileVersion, 4);
  EXPECT_EQ(data().configuration->ExperimentValues, (std::array<float, 5>{-1.0f, -1.0f, -1.0f, -1.0f, -1.0f}));
  auto lock = clock_.Lock();
  ASSERT_EQ(clock_.Store().Count(), 1u);
  EXPECT_EQ(clock_.Store().Get(0), (ClockSegment{40, 0, 7, 0, 3}));
}

// The zones a camera measures stay within four, whatever the file says, in
// the header or (when the header gives 0) in the newest zone record.
TEST_F(OlderExperimentFile, ZoneCountsStayWithinFourZones) {
  ASSERT_TRUE(data().AddCamera("cam-a"));
  ASSERT_TRUE(data().AddCamera("cam-b"));
  data().mode = kModeLive;
  data().Update([](ExperimentContents& c) {
    c.zoneCount = {0, 0, 0, 0};
    c.zoneData[0].push_back(MakeZone(1000, 7));
    c.zoneData[1].push_back(MakeZone(1000, -1));
    return 0;
  });
  ASSERT_EQ(Save("zones.tvx"), 1);
  const std::vector<std::uint8_t> fromRecords = ReadAll(dir_ / "zones.tvx");
  Bytes fromHeader{fromRecords};
  fromHeader.put32(98, 9);  // camera 0's zone count
  fromHeader.put32(102, 0xFFFFFFFF);
  OlderFile older(3);
  older.zoneCount = 9;

  struct Case {
    const char* name;
    std::vector<std::uint8_t> file;
    int result;
    std::array<std::uint32_t, 2> zones;
  };
  const Case cases[] = {
      {"newest records", fromRecords, 1, {4, 0}},
      {"header", fromHeader.b, 1, {4, 4}},
      {"header of version 3", older.Build(), 2, {4, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(Open(c.file), c.result) << log_.Dump();
    EXPECT_EQ(data().Read([](const ExperimentContents& got) {
      return std::array<std::uint32_t, 2>{got.zoneCount[0], got.zoneCount[1]};
    }),
              c.zones);
  }
}

// Trace-window entries of the current layout are checked before a window
// opens; a count above the entries present opens only those present.
TEST_F(OlderExperimentFile, CurrentFilesOpenOnlyTheTraceWindowsTheyHold) {
  host_.windows.assign(2, {});
  host_.windows[0] = {4, 1, {0, 2, 0, 0}, 0.0, 10.0};
  host_.windows[1] = {13, -1, {3, 0, 0, 0}, 0.0, 10.0};  // a window without a camera of its own
  ASSERT_EQ(Save("windows.tvx"), 1);
  const std::vector<std::uint8_t> saved = ReadAll(dir_ / "windows.tvx");
  std::uint32_t traces = 0;
  std::memcpy(&traces, saved.data() + 6 + 4 * 7, 4);
  std::uint32_t video = 0;
  std::memcpy(&video, saved.data() + 6 + 4 * 8, 4);
  const auto patched = [&](std::size_t at, std::uint32_t value, bool cutAfterTraces = false) {
    Bytes b{saved};
    b.put32(traces + at, value);
    if (cutAfterTraces) b.b.resize(video);
    return b.b;
  };
  // Entry 0 starts at +4: kind, camera, zone, two f64; entry 1 at +32.
  struct Case {
    const char* name;
    std::vector<std::uint8_t> file;
    int result;
    std::size_t windows;
  };
  const Case cases[] = {
      {"as saved", saved, 1, 2},
      {"camera 4", patched(8, 4), 0, 0},
      {"camera -1", patched(8, 0xFFFFFFFF), 0, 0},
      {"zone 4 in the second entry", patched(32 + 8, 4), 0, 1},
      {"kind 21", patched(4, 21), 0, 0},
      {"count above the entries present", patched(0, 1000000, true), 0, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    host_.windows.clear();
    EXPECT_EQ(Open(c.file), c.result);
    EXPECT_EQ(host_.windows.size(), c.windows);
    if (c.result == 1) {
      EXPECT_EQ(host_.windows[0].camera, 1);
      EXPECT_EQ(host_.windows[0].zones[1], 2);
      EXPECT_EQ(host_.windows[1].camera, 0);
      EXPECT_EQ(host_.windows[1].zones[0], 3);
    } else {
      EXPECT_NE(log_.Dump().find("(unable to load open trace data)"), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace ORV::Test
