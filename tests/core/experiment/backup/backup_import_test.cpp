#include <chrono>
#include <filesystem>

#include "core/experiment/experiment_file.h"
#include "tests/core/experiment/backup/backup_fixture.h"
#include "tests/support/test_world.h"

namespace ORV::Test {
namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> ZoneFile(std::initializer_list<ZoneData> zones) {
  std::vector<std::uint8_t> bytes;
  for (const ZoneData& z : zones) {
    std::array<std::uint8_t, ZoneData::kStoredSize> r{};
    z.Serialize(r);
    bytes.insert(bytes.end(), r.begin(), r.end());
  }
  return bytes;
}

class BackupImportTest : public BackupFixture {
 protected:
  std::string Path(const std::string& folder, const std::string& name) { return folder + "/" + name; }
};

TEST_F(BackupImportTest, StartupAsksOnlyForAWholeIndexAndWipesOnNo) {
  const struct {
    const char* what;
    std::size_t indexBytes;
    ApplicationHooks::Answer answer;
    bool asked;
    bool kept;
    std::int32_t result;
  } cases[] = {
      {"11-byte index", 11, ApplicationHooks::Answer::Yes, false, false, 0},
      {"answer No", 12, ApplicationHooks::Answer::No, true, false, 0},
      {"answer Yes", 12, ApplicationHooks::Answer::Yes, true, true, 1},
      {"no one to ask", 12, ApplicationHooks::Answer::None, true, true, 0},
  };
  for (const auto& c : cases) {
    auto index = Index(100, 200);
    index.resize(c.indexBytes);
    const std::string folder = MakeBackup("42", index);
    backupHooks_.answer = c.answer;
    backupHooks_.questions.clear();
    data().mode = kModeNone;

    EXPECT_EQ(data().CheckBackupAtStartup(), c.result) << c.what;
    EXPECT_EQ(!backupHooks_.questions.empty(), c.asked) << c.what;
    EXPECT_EQ(fs::exists(Path(folder, "ExperimentBackup.idx")), c.kept) << c.what;
    EXPECT_TRUE(fs::is_directory(base_)) << c.what;
    if (c.result == 1) {
      EXPECT_EQ(data().mode, kModeFile);
      EXPECT_EQ(backupHooks_.questions[0], "Tarvix 5|Experiment data found in backup - Import data from backup?");
      EXPECT_EQ(backupHooks_.waits, std::vector<std::string>{"Importing backup"});
    }
  }
}

// The backup is looked for in the base folder whatever the settings name
// (they may be gone or damaged): the named one when it is whole, else the
// numbered folder whose index was written last. Only a No wipes it.
TEST_F(BackupImportTest, ABackupIsFoundWhateverTheSettingsNameAndKeptUnlessDeclined) {
  struct Backup {
    const char* name;
    std::size_t indexBytes;
    int ageSeconds;  // how long ago its index was written
  };
  const struct {
    const char* what;
    std::vector<Backup> backups;
    const char* named;  // the settings' RunningBackupDirectory
    ApplicationHooks::Answer answer;
    const char* offered;  // "" when nothing is offered
    bool kept;
  } cases[] = {
      {"no name in the settings", {{"42", 12, 5}}, "", ApplicationHooks::Answer::Yes, "42", true},
      {"the named folder is gone", {{"42", 12, 5}}, "7", ApplicationHooks::Answer::Yes, "42", true},
      {"a name that is no backup's", {{"42", 12, 5}}, "../42", ApplicationHooks::Answer::Yes, "42", true},
      {"two backups: the newer", {{"3", 12, 50}, {"8", 12, 5}}, "", ApplicationHooks::Answer::Yes, "8", true},
      {"the named one before a newer", {{"3", 12, 50}, {"8", 12, 5}}, "3", ApplicationHooks::Answer::Yes, "3", true},
      {"no one to ask", {{"42", 12, 5}}, "", ApplicationHooks::Answer::None, "42", true},
      {"answer No", {{"42", 12, 5}}, "", ApplicationHooks::Answer::No, "42", false},
      {"only a cut index and a folder that is no backup",
       {{"42", 11, 5}, {"notes", 12, 5}},
       "",
       ApplicationHooks::Answer::Yes,
       "",
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> folders;
    for (const Backup& b : c.backups) {
      auto index = Index(100, 200);
      index.resize(b.indexBytes);
      folders.push_back(MakeBackup(b.name, index));
      fs::last_write_time(Path(folders.back(), "ExperimentBackup.idx"),
                          fs::file_time_type::clock::now() - std::chrono::seconds(b.ageSeconds));
    }
    config().RunningBackupDirectory = c.named;
    backupHooks_.answer = c.answer;
    backupHooks_.questions.clear();
    data().mode = kModeNone;

    const std::int32_t result = data().CheckBackupAtStartup();
    const bool offered = *c.offered != 0;
    EXPECT_EQ(!backupHooks_.questions.empty(), offered);
    EXPECT_EQ(result, offered && c.answer == ApplicationHooks::Answer::Yes ? 1 : 0);
    if (offered) {
      EXPECT_EQ(config().RunningBackupDirectory, c.offered) << "the settings name the backup again";
      if (std::string(c.named) != c.offered) {
        EXPECT_EQ(config().GetSettingsString("RunningBackupDirectory"), c.offered);
      }
    }
    for (std::size_t i = 0; i < folders.size(); ++i)
      EXPECT_EQ(fs::exists(Path(folders[i], "ExperimentBackup.idx")), c.kept) << c.backups[i].name;
    data().CleanTempBackupBuffer(base_);
  }
}

TEST_F(BackupImportTest, FailedImportKeepsTheBackupAndSaysWhy) {
  const std::string folder = MakeBackup("5", Index(100, 200));
  WriteBytes(Path(folder, "ZoneData_0.dta"), ZoneFile({MakeZone(150, 1)}));
  // The index goes away between the check and the import.
  backupHooks_.beforeAnswer = [&] { fs::remove(Path(folder, "ExperimentBackup.idx")); };

  EXPECT_EQ(data().CheckBackupAtStartup(), 0);
  EXPECT_TRUE(fs::exists(Path(folder, "ZoneData_0.dta")));
  EXPECT_NE(log_.Dump().find("unable to import the backup in '" + folder + "'"), std::string::npos) << log_.Dump();
}

TEST_F(BackupImportTest, StreamsBecomeTheExperiment) {
  const std::string folder = MakeBackup("9", Index(100, 100)) + "/";
  // A trailing partial record is dropped: 160 bytes are two zone records.
  auto zones = ZoneFile({MakeZone(150, 2, 1.0f), MakeZone(170, 3, 2.0f)});
  zones.resize(zones.size() + 8, 0xAB);
  WriteBytes(folder + "ZoneData_0.dta", zones);
  WriteBytes(folder + "ZoneData_2.dta", ZoneFile({MakeZone(160, 1)}));  // after a gap: not read
  std::vector<std::uint8_t> microscope;
  PutU32(microscope, 155);
  PutU32(microscope, 0x42140000);  // 37.0f
  PutU32(microscope, 9);
  WriteBytes(folder + "Microscope_1.dta", microscope);
  std::vector<std::uint8_t> extra;
  for (std::uint32_t v : {0x40000000u, 0x3F800000u, 0x40400000u, 0x40800000u, 0x40A00000u}) PutU32(extra, v);
  WriteBytes(folder + "ExtraData_0.dta", extra);
  WriteBytes(folder + "Record_0.avi", {0});
  WriteBytes(folder + "Record_1.avi", {0});

  ASSERT_EQ(data().ImportBackup(folder), 1u);
  EXPECT_EQ(data().mode, kModeFile);
  EXPECT_TRUE(data().modified);
  data().Read([&](const ExperimentContents& c) {
    EXPECT_EQ(c.zoneData[0].size(), 2u);
    EXPECT_EQ(c.zoneData[0].back().time, 170u);
    EXPECT_EQ(c.zoneData[0].back().valid, 1u);
    EXPECT_EQ(c.zoneCount[0], 3u);
    EXPECT_TRUE(c.zoneData[2].empty());
    EXPECT_EQ(c.microscopeData[1].size(), 1u);
    if (c.microscopeData[1].empty()) return 0;
    EXPECT_EQ(c.microscopeData[1][0].temperature, 37.0f);
    EXPECT_EQ(c.microscopeData[1][0].index, 0u);
    EXPECT_EQ(c.fileCameraNames, (std::vector<std::string>{"Camera 1", "Camera 2"}));
    EXPECT_EQ(c.sourceVideoFiles, (std::vector<std::string>{folder + "Record_0.avi", folder + "Record_1.avi"}));
    EXPECT_EQ(c.filePath, folder + "Record.tvx");
    return 0;
  });
  // The index carried no newest time: camera 0's last zone record gives it.
  EXPECT_EQ(data().lastSampleTime, 170u);
  EXPECT_EQ(config().ExperimentValues, (std::array<float, 5>{1.0f, 3.0f, 4.0f, 5.0f, 2.0f}));
}

TEST_F(BackupImportTest, CameraCountFollowsTheMeasurementsWithoutVideo) {
  const struct {
    const char* what;
    std::vector<std::string> files;
    std::size_t cameras;
  } cases[] = {
      {"zone and microscope of two cameras",
       {"ZoneData_0.dta", "ZoneData_1.dta", "Microscope_0.dta", "Microscope_1.dta"},
       2},
      {"microscope of the third camera only", {"Microscope_2.dta"}, 3},
      {"one video, three zone streams", {"Record_0.avi", "ZoneData_0.dta", "ZoneData_1.dta", "ZoneData_2.dta"}, 3},
      {"nothing but the index", {}, 0},
  };
  for (const auto& c : cases) {
    const std::string folder = MakeBackup("3", Index(100, 300));
    for (const auto& f : c.files) WriteBytes(Path(folder, f), {});
    ASSERT_EQ(data().ImportBackup(folder), 1u) << c.what;
    EXPECT_EQ(data().CameraCount(), c.cameras) << c.what;
    // All-empty streams: an experiment without data, the index's times.
    EXPECT_FALSE(data().HasData()) << c.what;
    EXPECT_EQ(data().lastSampleTime, 300u) << c.what;
    fs::remove_all(folder);
  }
}

TEST_F(BackupImportTest, MarkersComeFromTheStoreOrTheMarkerStream) {
  const std::string folder = MakeBackup("12", Index(0, 0));
  std::vector<std::uint8_t> markers;
  PutMarker(markers, 30, "wash", 4);
  PutMarker(markers, 40, "KCl", 3);
  PutMarker(markers, 50, std::string(10, 'x'), 5000);  // damaged: ends the file
  PutMarker(markers, 60, "never", 5);
  WriteBytes(Path(folder, "Marker_0.dta"), markers);
  ASSERT_TRUE(data().OpenStores(base_));

  ASSERT_EQ(data().ImportBackup(folder), 1u);
  ASSERT_EQ(data().MarkerCount(), 2u);
  EXPECT_EQ(data().GetMarker(1).text, "KCl");
  EXPECT_EQ(data().GetMarker(1).time, 40u);
  EXPECT_EQ(data().WithStores([](MarkerStore&, ActionStore& a) { return a.Count(); }), 2u);
  EXPECT_NE(log_.Dump().find("Failed to load string data from stream (invalid string size: 5000)"), std::string::npos);

  // The store now names this backup: a second import keeps its markers and
  // does not read the stream again, but fills an empty action store.
  data().WithStores([](MarkerStore& m, ActionStore& a) {
    m.Reset();
    a.Reset();
    m.Put(0, MarkerData2{"from store", 5, 1, 5}, false);
    return 0;
  });
  data().WithStores([](MarkerStore& m, ActionStore&) {
    UniqueRecord r;
    r.text = "12";
    return m.WriteUnique(r);
  });
  ASSERT_EQ(data().ImportBackup(folder), 1u);
  ASSERT_EQ(data().MarkerCount(), 1u);
  EXPECT_EQ(data().GetMarker(0).text, "from store");
  EXPECT_EQ(data().WithStores([](MarkerStore&, ActionStore& a) { return a.Count(); }), 2u);
}

TEST_F(BackupImportTest, CalculationsOfBothForms) {
  const std::string folder = MakeBackup("8", Index(0, 0));
  std::vector<std::uint8_t> legacy(CalculationData::kLegacySize, 0);
  legacy[0] = 2;  // minimum
  for (std::size_t i = 0; i < 256; ++i) legacy[44 + 2 * i] = 'c';
  legacy.resize(legacy.size() + 100, 0);  // a partial second record
  WriteBytes(Path(folder, "DataPad_0.dta"), legacy);
  CalculationData serialised;
  serialised.kind = CalculationData::kSlope;
  serialised.comment = "slope";
  serialised.value = 1.25;
  VectorSerializationStream bytes;
  WriteCalculationData(bytes, serialised);
  WriteCalculationData(bytes, serialised);
  std::vector<std::uint8_t> v2(bytes.Bytes().begin(), bytes.Bytes().end());
  v2.resize(v2.size() - 3);  // the second record cut short
  WriteBytes(Path(folder, "DataPadV2_0.dta"), v2);

  ASSERT_EQ(data().ImportBackup(folder), 1u);
  const auto calculations = data().Read([](const ExperimentContents& c) { return c.calculations; });
  ASSERT_EQ(calculations.size(), 2u);
  EXPECT_EQ(calculations[0].kind, CalculationData::kMinimum);
  EXPECT_EQ(calculations[0].comment, std::string(252, 'c') + "...");
  EXPECT_EQ(calculations[1], serialised);
}

TEST_F(BackupImportTest, ImportedMeasurementsSurviveSaveAndOpenWithoutVideo) {
  const std::string folder = MakeBackup("6", Index(1000, 1000));
  for (int camera = 0; camera < 2; ++camera) {
    WriteBytes(Path(folder, "ZoneData_" + std::to_string(camera) + ".dta"),
               ZoneFile({MakeZone(1100, 2, 5.0f + camera), MakeZone(1200, 2, 6.0f + camera)}));
    std::vector<std::uint8_t> microscope;
    PutU32(microscope, 1150);
    PutU32(microscope, 0x42140000);
    PutU32(microscope, static_cast<std::uint32_t>(camera));
    WriteBytes(Path(folder, "Microscope_" + std::to_string(camera) + ".dta"), microscope);
  }
  ASSERT_EQ(data().ImportBackup(folder + "/"), 1u);

  ExperimentFileContext context{ORV::Test::SharedClock()};
  context.clock = &clock_;
  const std::string target = dir_ / "saved.tvx";
  ASSERT_EQ(SaveExperiment(data(), target, "saved.tvx", false, {}, context), 1) << log_.Dump();

  RecordingConsumer consumer;
  std::filesystem::create_directory(dir_ / "other");
  auto other = NewRecord(dir_ / "other", consumer);
  ASSERT_GE(OpenExperiment(*other, target, context), 1) << log_.Dump();
  EXPECT_EQ(other->CameraCount(), 2u);
  other->Read([](const ExperimentContents& c) {
    for (int camera = 0; camera < 2; ++camera) {
      EXPECT_EQ(c.zoneData[camera].size(), 2u) << camera;
      if (c.zoneData[camera].size() == 2) {
        EXPECT_EQ(c.zoneData[camera][1].outerLeft[0], 6.0f + camera);
      }
      EXPECT_EQ(c.microscopeData[camera].size(), 1u) << camera;
      if (!c.microscopeData[camera].empty()) {
        EXPECT_EQ(c.microscopeData[camera][0].ir, camera);
      }
    }
    return 0;
  });
}

}  // namespace
}  // namespace ORV::Test
