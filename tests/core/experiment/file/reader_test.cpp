// Opening: refused files and what the event log says about them.
#include <gtest/gtest.h>

#include "tests/core/experiment/file/file_fixture.h"

namespace ORV::Test {
namespace {

class ExperimentFileReader : public ExperimentFileFixture {
 protected:
  // The bytes of a saved empty experiment (no cameras).
  std::vector<std::uint8_t> EmptyFile() {
    EXPECT_EQ(Save("base.tvx"), 1);
    return ReadAll(dir_ / "base.tvx");
  }
  // Something in the record that a failed open must take away.
  void Fill() {
    data().Update([](ExperimentContents& c) {
      c.title = "old";
      c.flowSamples.push_back({});
      return 0;
    });
  }
  bool Empty() {
    return data().Read([](const ExperimentContents& c) { return c.title.empty() && c.flowSamples.empty(); }) &&
           data().MarkerCount() == 0;
  }
};

TEST_F(ExperimentFileReader, RefusedFilesLeaveAnEmptyRecordAndSayWhy) {
  const std::vector<std::uint8_t> base = EmptyFile();
  ASSERT_EQ(base.size(), 186u);
  const auto patch32 = [&](std::size_t at, std::uint32_t v) {
    Bytes b{base};
    b.put32(at, v);
    return b.b;
  };
  const auto version = [&](std::uint16_t v) {
    std::vector<std::uint8_t> b = base;
    b[0] = static_cast<std::uint8_t>(v);
    b[1] = static_cast<std::uint8_t>(v >> 8);
    return b;
  };
  const auto cut = [&](std::size_t size, std::size_t titleLength) {
    Bytes b{{base.begin(), base.begin() + static_cast<std::ptrdiff_t>(size)}};
    b.put32(98, static_cast<std::uint32_t>(titleLength));
    return b.b;
  };
  struct Case {
    const char* name;
    std::vector<std::uint8_t> file;
    int result;
    std::vector<std::string> logged;  // in order; '%s' stands for the path
  };
  const std::string open = "Unable to open experiment from file '%s' ";
  const Case cases[] = {
      {"action struct size",
       patch32(110, 17),
       0,
       {"Unable to load 'ActionData' - Invalid struct size", open + "(unable to read action data)"}},
      {"calculation struct size",
       patch32(118, 17),
       0,
       {"Unable to load 'CalculationData' - Invalid struct size", open + "(unable to read calculation data)"}},
      {"marker struct size",
       patch32(126, 17),
       0,
       {"Unable to load 'MarkerData2' - Invalid struct size", open + "(unable to read annotation data)"}},
      {"flow struct size",
       patch32(134, 17),
       0,
       {"Unable to load 'FMASL1600Data' - Invalid struct size", open + "(unable to read flow data)"}},
      {"pressure struct size",
       patch32(142, 17),
       0,
       {"Unable to load 'PMK4xData' - Invalid struct size", open + "(unable to read pressure data)"}},
      {"title too long", patch32(98, 4097), 0, {open + "(title size invalid)"}},
      {"title cut short", cut(110, 10), 0, {open + "(unable to read title data)"}},
      {"description too long", patch32(102, 4097), 0, {open + "(description size invalid)"}},
      {"block beyond the end", patch32(6 + 4 * 3, 5000), 0, {open + "(unable to read flow data)"}},
      {"five cameras", patch32(94, 5), 0, {open + "(invalid camera count 5)"}},
      {"version 0", version(0), 0, {}},
      {"version 6", version(6), -3, {open + "(unsupported version)"}},
      {"version 0x8000", version(0x8000), 0, {}},
      {"empty file", {}, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir_ / "case.tvx";
    WriteAll(path, c.file);
    Fill();
    data().opened = false;
    log_.backend().Clear();
    EXPECT_EQ(OpenExperiment(data(), path, context_), c.result);
    std::string want;
    for (std::string line : c.logged) {
      if (const auto at = line.find("%s"); at != std::string::npos) line.replace(at, 2, path);
      want += line + "\n";
    }
    EXPECT_EQ(log_.Dump(), want);
    EXPECT_TRUE(Empty());
    EXPECT_TRUE(data().opened);
    EXPECT_EQ(data().mode, kModeFile);
    EXPECT_TRUE(host_.windows.empty());
  }
}

TEST_F(ExperimentFileReader, PartsThatCannotBeReadAreLeftOutAndNamed) {
  ASSERT_TRUE(data().AddCamera("camera-a"));
  data().mode = kModeLive;
  ZoneData zone;
  zone.time = 100;
  zone.zoneCount = 1;
  data().Update([&](ExperimentContents& c) {
    c.zoneData[0].push_back(zone);
    c.microscopeData[0].push_back(MicroscopeData2{});
    return 0;
  });
  ASSERT_EQ(Save("whole.tvx"), 1);
  const std::vector<std::uint8_t> whole = ReadAll(dir_ / "whole.tvx");
  const auto blockAt = [&](std::size_t slot) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | whole.at(6 + 4 * slot + static_cast<std::size_t>(i));
    return static_cast<std::size_t>(v);
  };
  const auto patch32 = [&](std::size_t at, std::uint32_t v) {
    Bytes b{whole};
    b.put32(at, v);
    return b.b;
  };
  const struct {
    const char* name;
    std::vector<std::uint8_t> file;
    std::vector<std::string> unread;
  } cases[] = {
      {"whole", whole, {}},
      {"zone record size", patch32(blockAt(kZonesSlot) + 4, 17), {"the wall measurements of camera 1"}},
      {"microscope record size", patch32(blockAt(kMicroscopeSlot) + 4, 17), {"the microscope readings of camera 1"}},
      {"clock segments beyond the end", patch32(6 + 4 * kClockSegmentsSlot, 100000), {"the experiment clock's pauses"}},
      {"calibration size", patch32(blockAt(kCalibrationSlot), 21), {"the calibration (the configured one is used)"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir_ / "case.tvx";
    WriteAll(path, c.file);
    std::vector<std::string> unread;
    context_.unread = &unread;
    EXPECT_EQ(OpenExperiment(data(), path, context_), 1) << "the rest opens";
    EXPECT_EQ(unread, c.unread);
    context_.unread = nullptr;
  }
}

TEST_F(ExperimentFileReader, AMissingFileCannotBeOpened) {
  Fill();
  const std::string path = dir_ / "missing.tvx";
  EXPECT_EQ(OpenExperiment(data(), path, context_), -2);
  EXPECT_EQ(log_.Dump(), "Unable to open experiment from file '" + path + "' (open file failed)\n");
  EXPECT_TRUE(Empty());
  EXPECT_TRUE(data().opened);
}

TEST_F(ExperimentFileReader, ActionTimesBeforeTheStartAreSeconds) {
  data().startTick = 5000000;
  data().WithStores([](MarkerStore&, ActionStore& actions) {
    actions.Put(0, {30, "early"}, false);
    actions.Put(1, {5000100, "late"}, false);
    return 0;
  });
  ASSERT_EQ(Save("actions.tvx"), 1);
  ASSERT_EQ(OpenExperiment(data(), dir_ / "actions.tvx", context_), 1);
  data().WithStores([](MarkerStore&, ActionStore& actions) {
    EXPECT_EQ(actions.Count(), 2u);
    EXPECT_EQ(actions.Get(0), (ActionData{5030000, "early"}));
    EXPECT_EQ(actions.Get(1), (ActionData{5000100, "late"}));
    return 0;
  });
}

TEST_F(ExperimentFileReader, MarkersAndActionsTheStoreCannotTakeFailTheOpen) {
  // Enough text that the stores must grow their files to take it.
  data().WithStores([](MarkerStore& markers, ActionStore& actions) {
    std::vector<ActionData> many;
    for (std::uint32_t i = 0; i < 2000; ++i) many.push_back({i, std::string(400, 'a')});
    EXPECT_EQ(actions.Append(many), 0);
    EXPECT_EQ(markers.Put(0, {"m", 10, 0, 0}, false), 0);
    return 0;
  });
  ASSERT_EQ(Save("full.tvx"), 1);
  const std::string path = dir_ / "full.tvx";
  log_.backend().Clear();
  int result = 0;
  {
    // The disk is full for the stores: files cannot grow past 64 KiB.
    FileSizeLimit full(64 * 1024);
    result = OpenExperiment(data(), path, context_);
  }
  EXPECT_EQ(result, 0);
  EXPECT_NE(log_.Dump().find("Unable to store the actions read from the experiment file"), std::string::npos)
      << log_.Dump();
  EXPECT_NE(log_.Dump().find("Unable to open experiment from file '" + path + "' (unable to read action data)"),
            std::string::npos);
  EXPECT_TRUE(Empty());
  // With room again the same file opens whole.
  ASSERT_EQ(OpenExperiment(data(), path, context_), 1);
  data().WithStores([](MarkerStore& markers, ActionStore& actions) {
    EXPECT_EQ(actions.Count(), 2000u);
    EXPECT_EQ(markers.Count(), 1u);
    return 0;
  });
}

// A record whose stores are closed cannot take the file's markers and
// actions: the open fails and says so instead of succeeding without them.
TEST_F(ExperimentFileReader, MarkersAndActionsNeedOpenStores) {
  struct Case {
    const char* name;
    bool withAction;
    const char* what;
    const char* failure;
  };
  const Case cases[] = {
      {"actions", true, "actions", "(unable to read action data)"},
      {"markers only", false, "markers", "(unable to read annotation data)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(data().OpenStores(dir_.path()));
    data().WithStores([](MarkerStore& markers, ActionStore& actions) {
      markers.Reset();
      actions.Reset();
      return 0;
    });
    data().WithStores([&](MarkerStore& markers, ActionStore& actions) {
      EXPECT_EQ(markers.Put(0, {"m", 10, 0, 0}, false), 0);
      if (c.withAction) {
        EXPECT_EQ(actions.Put(0, {20, "Start"}, false), 0);
      }
      return 0;
    });
    ASSERT_EQ(Save("marked.tvx"), 1);
    const std::string path = dir_ / "marked.tvx";
    data().CloseStores();
    log_.backend().Clear();
    EXPECT_EQ(OpenExperiment(data(), path, context_), 0);
    EXPECT_NE(log_.Dump().find(std::string("Unable to store the ") + c.what +
                               " read from the experiment file (the store is not open)"),
              std::string::npos)
        << log_.Dump();
    EXPECT_NE(log_.Dump().find("Unable to open experiment from file '" + path + "' " + c.failure), std::string::npos)
        << log_.Dump();
  }
}

TEST_F(ExperimentFileReader, AVideoEntryThatCannotBeReadAsksWhetherToGoOn) {
  ASSERT_TRUE(data().AddCamera("cam"));
  data().mode = kModeLive;
  ASSERT_EQ(Save("video.tvx"), 1);
  const std::vector<std::uint8_t> saved = ReadAll(dir_ / "video.tvx");
  const auto entry = [&](std::size_t k) {
    std::uint32_t v = 0;
    std::memcpy(&v, saved.data() + 6 + 4 * k, 4);
    return v;
  };
  // The camera's entry (u32 0) becomes: present, empty path, `total` bytes
  // of analysis records and no records; the later blocks move on by 8 bytes.
  const auto withEntry = [&](std::uint32_t total) {
    Bytes b{{saved.begin(), saved.begin() + entry(8)}};
    b.u32(1).u32(0).u32(total);
    b.b.insert(b.b.end(), saved.begin() + entry(9), saved.end());
    for (std::size_t k = 9; k < kBlocksUsed; ++k) b.put32(6 + 4 * k, entry(k) + 8);
    return b.b;
  };
  struct Case {
    std::uint32_t total;
    bool answer;
    int result;
    bool asked;
  };
  const Case cases[] = {
      {0, false, 1, false},  // a video without analysis records
      {17, true, 1, true},
      {17, false, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.total);
    WriteAll(dir_ / "case.tvx", withEntry(c.total));
    prompt_.questions.clear();
    prompt_.answer = c.answer;
    log_.backend().Clear();
    EXPECT_EQ(OpenExperiment(data(), dir_ / "case.tvx", context_), c.result);
    EXPECT_EQ(prompt_.questions,
              c.asked ? std::vector<std::string>{"Saved video data is corrupt - Continue opening without video data?"}
                      : std::vector<std::string>{});
    EXPECT_EQ(log_.Dump().find("(unable to load video file data)") != std::string::npos, c.asked);
  }
}

}  // namespace
}  // namespace ORV::Test
