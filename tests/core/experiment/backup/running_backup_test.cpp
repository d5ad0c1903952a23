#include <array>
#include <cerrno>
#include <filesystem>
#include <thread>

#include "core/experiment/record_file_stream.h"
#include "platform/os/file_io.h"
#include "tests/core/experiment/backup/backup_fixture.h"

namespace ORV::Test {
namespace {

namespace fs = std::filesystem;

class RunningBackupTest : public BackupFixture {
 protected:
  // Two live cameras, mode live, a fixed start time and a backup started
  // with the draw 12345.
  std::string StartTwoCameraBackup() {
    EXPECT_TRUE(data().AddCamera("cam-a"));
    EXPECT_TRUE(data().AddCamera("cam-b"));
    data().mode = kModeLive;
    data().startTick = 5000;
    data().lastSampleTime = 5000;
    data().SetBackupRandomSource([] { return 12345u; });
    data().StartRunningBackup();
    return base_ + "/" + config().RunningBackupDirectory;
  }
};

TEST_F(RunningBackupTest, StartMakesTheFolderIndexStreamsAndExperimentValues) {
  config().ProductType = 2;
  config().Magnification = 4.0f;
  config().Calibration = {1.5f, 2.5f, 3.5f, 4.5f};
  const std::string folder = StartTwoCameraBackup();

  EXPECT_EQ(config().RunningBackupDirectory, "2345");
  EXPECT_EQ(config().GetSettingsString("RunningBackupDirectory"), "2345");
  EXPECT_EQ(FileNames(folder),
            (std::vector<std::string>{"Action_0.dta", "DataPadV2_0.dta", "ExperimentBackup.idx", "ExtraData_0.dta",
                                      "Flow_0.dta", "ImageIndex_0.dta", "Marker_0.dta", "Microscope_0.dta",
                                      "Microscope_1.dta", "Pressure_0.dta", "ZoneData_0.dta", "ZoneData_1.dta"}));
  EXPECT_EQ(FileMode(folder), 0700u);

  const auto index = ReadBytes(folder + "/ExperimentBackup.idx");
  ASSERT_EQ(index.size(), 12u);
  EXPECT_EQ(U32At(index, 0), 2u);
  EXPECT_EQ(U32At(index, 4), 5000u);
  EXPECT_EQ(U32At(index, 8), 5000u);

  // The experiment values are reset when a backup starts, so the block holds
  // the configured magnification and calibrations.
  const auto extra = ReadBytes(folder + "/ExtraData_0.dta");
  ASSERT_EQ(extra.size(), 20u);
  EXPECT_EQ(F32At(extra, 0), 4.0f);
  EXPECT_EQ(F32At(extra, 4), 1.5f);
  EXPECT_EQ(F32At(extra, 8), 2.5f);
  EXPECT_EQ(F32At(extra, 12), 3.5f);
  EXPECT_EQ(F32At(extra, 16), 4.5f);

  EXPECT_EQ(fs::file_size(folder + "/Action_0.dta"), 0u);
}

// The streams reach the disk on the flusher's thread: every fourth flush is
// a sync, and so is the last one at Stop.
TEST(BackupStreamSync, EveryFourthFlushAndTheLastAreSyncs) {
  TempDir dir;
  BackupStreams streams;
  EXPECT_FALSE(streams.flow.Sync()) << "a closed stream";
  ASSERT_TRUE(streams.flow.Open(dir / "Flow_0.dta"));
  const std::uint8_t record[4] = {1, 2, 3, 4};
  ASSERT_TRUE(streams.flow.Append(record));
  EXPECT_TRUE(streams.flow.Sync());
  EXPECT_EQ(fs::file_size(dir / "Flow_0.dta"), 4u);

  PeriodicFlusher flusher;
  flusher.Start(streams, std::chrono::milliseconds(1), 4);
  for (int i = 0; i < 10000 && flusher.Flushes() < 12; ++i) {
    ASSERT_TRUE(streams.flow.Append(record));
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  flusher.Stop();
  const int flushes = flusher.Flushes(), syncs = flusher.Syncs();
  EXPECT_GE(flushes, 12);
  // Rounds 4, 8, 12, ... and the last.
  EXPECT_EQ(syncs, (flushes - 1) / 4 + 1) << flushes;
  EXPECT_EQ(fs::file_size(dir / "Flow_0.dta") % 4, 0u);
}

// A disk that fills or turns read-only under a running backup: the stream
// that cannot write keeps the whole records it wrote before and takes no
// more (a later record would follow half of one), and says why.
TEST(BackupStreamFailure, AStreamThatCannotWriteKeepsItsWholeRecordsAndTakesNoMore) {
  for (const int error : {ENOSPC, EROFS}) {
    SCOPED_TRACE(error);
    TempDir dir;
    RecordFileStream stream;
    ASSERT_TRUE(stream.Open(dir / "Pressure_0.dta"));
    std::array<std::uint8_t, 124> record{};
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(stream.Append(record));
    ASSERT_TRUE(stream.Flush());
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(stream.Append(record)) << "buffered";
    OS::SetWriteFault(dir.path(), error);
    EXPECT_FALSE(stream.Flush());
    OS::ClearWriteFaults();
    EXPECT_EQ(stream.Error(), error);
    EXPECT_EQ(stream.Path(), dir / "Pressure_0.dta");
    EXPECT_FALSE(stream.IsOpen());
    EXPECT_FALSE(stream.Append(record)) << "nothing after the failure, even once the disk writes again";
    EXPECT_FALSE(stream.Sync());
    EXPECT_EQ(fs::file_size(dir / "Pressure_0.dta"), 10u * 124u);
    BackupStreams streams;
    EXPECT_EQ(streams.Error(), 0);
  }

  // A disk that refuses the data only at the sync to disk: the stream ends
  // there with that reason, as after a failed write.
  {
    TempDir dir;
    RecordFileStream stream;
    ASSERT_TRUE(stream.Open(dir / "Pressure_0.dta"));
    std::array<std::uint8_t, 124> record{};
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(stream.Append(record));
    OS::SetFlushFault(dir.path(), ENOSPC);
    EXPECT_FALSE(stream.Sync());
    OS::ClearWriteFaults();
    EXPECT_EQ(stream.Error(), ENOSPC);
    EXPECT_FALSE(stream.IsOpen());
    EXPECT_FALSE(stream.Append(record));
  }

  // A stream that cannot be made on a read-only disk fails at once; the set
  // of streams names its first failure.
  TempDir dir;
  BackupStreams streams;
  ASSERT_TRUE(streams.flow.Open(dir / "Flow_0.dta"));
  OS::SetWriteFault(dir.path(), EROFS);
  EXPECT_FALSE(streams.zone[1].Open(dir / "ZoneData_1.dta"));
  OS::ClearWriteFaults();
  std::string path;
  EXPECT_EQ(streams.Error(&path), EROFS);
  EXPECT_EQ(path, dir / "ZoneData_1.dta");
  EXPECT_FALSE(fs::exists(dir / "ZoneData_1.dta"));
  // A stream opened again starts without a failure.
  ASSERT_TRUE(streams.zone[1].Open(dir / "ZoneData_1.dta"));
  EXPECT_EQ(streams.Error(), 0);
}

// What the running backup had stays when the disk fills during a
// collection; the record goes on in memory, and the failure is named.
TEST_F(RunningBackupTest, ADiskThatFillsLeavesTheBackupWithWhatItHadAndTheRecordWhole) {
  const std::string folder = StartTwoCameraBackup();
  StartClock();
  auto pressure = [&](std::uint32_t t) {
    PMK4xData3 sample;
    sample.time = t;
    data().AddPressureSample(sample);
  };
  for (std::uint32_t t = 0; t < 50; ++t) pressure(5000 + t);
  data().Streams().FlushAll();
  OS::SetWriteFault(base_, ENOSPC);
  for (std::uint32_t t = 50; t < 80; ++t) pressure(5000 + t);
  data().Streams().FlushAll();
  std::string file;
  EXPECT_EQ(data().BackupError(&file), ENOSPC);
  EXPECT_EQ(file, folder + "/Pressure_0.dta");
  OS::ClearWriteFaults();
  for (std::uint32_t t = 80; t < 90; ++t) pressure(5000 + t);
  data().ResetStores();
  EXPECT_EQ(fs::file_size(folder + "/Pressure_0.dta"), 50u * PMK4xData3::kSize);
  EXPECT_EQ(data().Read([](const ExperimentContents& c) { return c.pressureSamples.size(); }), 90u);
  EXPECT_TRUE(fs::exists(folder + "/ExperimentBackup.idx")) << "the backup stays for an import";
}

TEST_F(RunningBackupTest, FolderNumberIsTheDrawModuloTenThousand) {
  const struct {
    std::uint32_t draw;
    const char* name;
  } cases[] = {{12345, "2345"}, {7, "7"}, {10000, "0"}, {0xFFFFFFFFu, "7295"}, {40009, "9"}};
  for (const auto& c : cases) {
    data().SetBackupRandomSource([d = c.draw] { return d; });
    data().StartRunningBackup();
    EXPECT_EQ(config().RunningBackupDirectory, c.name) << c.draw;
    EXPECT_TRUE(fs::is_directory(base_ + "/" + c.name)) << c.draw;
  }
  // Each start empties the base: only the newest backup is left.
  std::vector<std::string> folders;
  for (const auto& e : fs::directory_iterator(base_)) {
    if (e.is_directory()) folders.push_back(e.path().filename().string());
  }
  EXPECT_EQ(folders, std::vector<std::string>{"9"});
}

TEST_F(RunningBackupTest, MarkerFlushesEveryStreamAndCutsLongTexts) {
  const std::string folder = StartTwoCameraBackup();
  StartClock();
  PMK4xData3 pressure;
  pressure.time = 10;
  data().AddPressureSample(pressure);
  FMASL1600Data flow;
  flow.time = 11;
  data().AddFlowSample(flow);
  data().AddZoneDataBatch(MakeBatch({MakeZone(12, 2)}), 1);

  data().AddMarker(std::string(5000, 'm'), 20, 0);

  // Everything taken in before the marker is on disk at once.
  EXPECT_EQ(fs::file_size(folder + "/Pressure_0.dta"), PMK4xData3::kSize);
  EXPECT_EQ(fs::file_size(folder + "/Flow_0.dta"), FMASL1600Data::kSize);
  EXPECT_EQ(fs::file_size(folder + "/ZoneData_1.dta"), ZoneData::kStoredSize);
  const auto marker = ReadBytes(folder + "/Marker_0.dta");
  ASSERT_EQ(marker.size(), 8u + 2 * 4095u);
  EXPECT_EQ(U32At(marker, 0), 20u);
  EXPECT_EQ(U32At(marker, 4), 4095u);
  EXPECT_EQ(marker[8 + 2 * 4091], 'm');
  EXPECT_EQ(marker[8 + 2 * 4092], '.');
  EXPECT_EQ(marker[8 + 2 * 4094], '.');
}

TEST_F(RunningBackupTest, TitleAndDescriptionAreWrittenOnlyIntoABackupFolder) {
  data().Update([](ExperimentContents& c) {
    c.title = "Vessel 3";
    c.description = "Ringer, 37 °C";
    return 0;
  });
  // No backup folder yet: nothing is written anywhere.
  config().RunningBackupDirectory = "77";
  data().WriteTitleAndDescription();
  EXPECT_FALSE(fs::exists(base_ + "/77"));

  const std::string folder = StartTwoCameraBackup();
  data().WriteTitleAndDescription();
  const auto bytes = ReadBytes(folder + "/TitleAndDescription.dat");
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes[0] | bytes[1] << 8, 8);

  data().Update([](ExperimentContents& c) {
    c.title.clear();
    c.description.clear();
    return 0;
  });
  data().ReadTitleAndDescription();
  EXPECT_EQ(data().Read([](const ExperimentContents& c) { return c.title + "|" + c.description; }),
            "Vessel 3|Ringer, 37 °C");

  // A file of fewer than 5 bytes leaves both unchanged.
  WriteBytes(folder + "/TitleAndDescription.dat", {1, 0, 'x', 0});
  data().ReadTitleAndDescription();
  EXPECT_EQ(data().Read([](const ExperimentContents& c) { return c.title; }), "Vessel 3");
}

TEST_F(RunningBackupTest, RecordingFilesLieInTheBackupFolder) {
  const std::string folder = StartTwoCameraBackup();
  EXPECT_EQ(data().AddRecordingFiles(1), folder + "/Record_1.avi");
  EXPECT_EQ(data().Read([](const ExperimentContents& c) { return c.analysisFiles; }),
            std::vector<std::string>{folder + "/Analysis_1.dta"});
}

TEST_F(RunningBackupTest, CleanEmptiesOnlyTheBackupBase) {
  // Folders that do not name the backup base are left alone.
  TempDir other;
  WriteBytes(other / "keep.dat", {1, 2, 3});
  const std::string foreign[] = {other.path(), "ORV-TX5/x", "/ORV-TX5", other / "xORV-TX"};
  for (const std::string& folder : foreign) {
    data().CleanTempBackupBuffer(folder);
    EXPECT_TRUE(fs::exists(other / "keep.dat")) << folder;
  }
  EXPECT_FALSE(fs::exists("ORV-TX5"));

  // A link named like the base is not followed.
  const std::string link = other / "ORV-TX5";
  fs::create_directory_symlink(other.path(), link);
  data().CleanTempBackupBuffer(link);
  EXPECT_TRUE(fs::exists(other / "keep.dat"));

  // The base itself is emptied and stays, with its stores open again.
  const std::string folder = StartTwoCameraBackup();
  data().CleanTempBackupBuffer(base_);
  EXPECT_FALSE(fs::exists(folder));
  EXPECT_TRUE(fs::is_directory(base_));
  EXPECT_EQ(FileMode(base_), 0700u);
  data().AddMarker("after clean", 5, 0);
  EXPECT_EQ(data().MarkerCount(), 1u);
}

TEST_F(RunningBackupTest, ASavedExperimentsBackupIsRetiredButKeepsWhatTheExperimentReads) {
  const std::string folder = StartTwoCameraBackup();
  data().AddMarker("Drug A", 6000, -1);
  const std::string video = data().AddRecordingFiles(0);
  WriteBytes(video, {1, 2, 3});
  const std::string index = folder + "/ExperimentBackup.idx";

  // Saved while the collection still records: the backup stays whole and
  // offered, as it is the only copy of what comes next.
  data().RetireRunningBackup();
  EXPECT_TRUE(fs::exists(index));

  // Saved after the stop: no longer offered; the stores, the clock's
  // segments and the recording stay.
  data().mode = kModeNone;
  data().ResetStores();
  data().RetireRunningBackup();
  EXPECT_FALSE(fs::exists(index));
  EXPECT_EQ(data().MarkerCount(), 2u);
  EXPECT_TRUE(fs::exists(video));
  data().RetireRunningBackup();  // a second save changes nothing
  EXPECT_TRUE(fs::exists(video));

  // Cleared for another experiment: the recordings go, the base and its
  // stores stay.
  data().Clear();
  EXPECT_FALSE(fs::exists(folder));
  EXPECT_TRUE(fs::is_directory(base_));
  data().AddMarker("next", 7000, 0);
  EXPECT_EQ(data().MarkerCount(), 1u);
}

}  // namespace
}  // namespace ORV::Test
