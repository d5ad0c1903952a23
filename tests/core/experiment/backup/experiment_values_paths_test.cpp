// The experiment's magnification and camera scales on every path they take:
// the running backup and its import, the experiment file's writer and
// reader, and a file written by hand from the file format. The experiment
// values hold the scales of cameras 1 to 4 and then the magnification; the
// backup's block and the file's calibration block hold the magnification
// first.
#include <gtest/gtest.h>

#include <array>

#include "core/experiment/experiment_file.h"
#include "tests/core/experiment/backup/backup_fixture.h"
#include "tests/core/experiment/file/file_fixture.h"
#include "tests/support/test_world.h"

namespace ORV::Test {
namespace {

using Values = std::array<float, 5>;

// Scales of cameras 1 to 4, then the magnification.
constexpr Values kExperiment{1.5f, 2.5f, 3.5f, 4.5f, 4.0f};
// The same in the order of the stored blocks.
constexpr Values kStored{4.0f, 1.5f, 2.5f, 3.5f, 4.5f};

class ExperimentValuesPaths : public BackupFixture {
 protected:
  ExperimentValuesPaths() {
    clock_.OpenStore(dir_ / "clock");
    context_.clock = &clock_;
    context_.windows = &host_;
    context_.prompt = &prompt_;
  }

  // Configured values that differ from every experiment value, so a value
  // taken from the configuration instead shows.
  void OtherConfiguredValues() {
    config().Magnification = 9.0f;
    config().Calibration = {9.0f, 9.0f, 9.0f, 9.0f};
  }
  int Save(const std::string& name) {
    return SaveExperiment(data(), dir_ / name, name, false, host_.windows, context_);
  }
  int Open(const std::string& name) {
    config().ExperimentValues.fill(-1.0f);
    return OpenExperiment(data(), dir_ / name, context_);
  }
  // The five floats of a file's calibration block (entry 11 of its table).
  Values CalibrationBlock(const std::string& name) {
    const std::vector<std::uint8_t> bytes = ReadBytes(dir_ / name);
    const std::size_t at = U32At(bytes, 6 + 4 * 11);
    EXPECT_EQ(U32At(bytes, at), 20u);
    Values out{};
    for (std::size_t i = 0; i < 5; ++i) out[i] = F32At(bytes, at + 8 + 4 * i);
    return out;
  }

  FakeWindowHost host_;
  FakePrompt prompt_;
  ExperimentFileContext context_{ORV::Test::SharedClock()};
};

TEST_F(ExperimentValuesPaths, BackupImportSaveOpenKeepsMagnificationAndScales) {
  config().Magnification = kExperiment[4];
  config().Calibration = {kExperiment[0], kExperiment[1], kExperiment[2], kExperiment[3]};
  data().SetBackupRandomSource([] { return 77u; });
  data().StartRunningBackup();
  const std::string folder = data().BackupFolder();
  const std::vector<std::uint8_t> block = ReadBytes(folder + "/ExtraData_0.dta");
  ASSERT_EQ(block.size(), 20u);
  for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(F32At(block, 4 * i), kStored[i]) << i;
  data().ResetStores();

  OtherConfiguredValues();
  ASSERT_EQ(data().ImportBackup(folder + "/"), 1u);
  EXPECT_EQ(config().ExperimentValues, kExperiment);
  ASSERT_EQ(Save("imported.tvx"), 1) << log_.Dump();
  EXPECT_EQ(CalibrationBlock("imported.tvx"), kStored);
  ASSERT_EQ(Open("imported.tvx"), 1) << log_.Dump();
  EXPECT_EQ(config().ExperimentValues, kExperiment);
}

TEST_F(ExperimentValuesPaths, HandWrittenFileOpenSaveOpenKeepsMagnificationAndScales) {
  // An experiment without cameras, written from the format: version 5,
  // product 2, the block table, the header, empty blocks and the
  // calibration block (magnification, then the scales of cameras 1 to 4).
  Bytes file;
  file.u16(5).u32(2);
  for (std::uint32_t offset : {106u, 114u, 122u, 130u, 138u, 146u, 146u, 146u, 150u, 150u, 154u, 158u})
    file.u32(offset);
  for (int i = 0; i < 8; ++i) file.u32(0);
  file.u32(1000).u32(2000).u32(0);  // start and newest time, no cameras
  file.u32(0).u32(0);               // title, description
  file.u32(0).u32(16).u32(0).u32(80).u32(0).u32(16).u32(0).u32(12).u32(0).u32(124);
  file.u32(0).u32(0).u32(0);  // open traces, index images, clock segments
  file.u64(20);
  for (float v : kStored) file.f32(v);
  WriteBytes(dir_ / "by-hand.tvx", file.b);

  OtherConfiguredValues();
  ASSERT_EQ(Open("by-hand.tvx"), 1) << log_.Dump();
  EXPECT_EQ(config().ExperimentValues, kExperiment);
  ASSERT_EQ(Save("saved.tvx"), 1) << log_.Dump();
  EXPECT_EQ(CalibrationBlock("saved.tvx"), kStored);
  ASSERT_EQ(Open("saved.tvx"), 1) << log_.Dump();
  EXPECT_EQ(config().ExperimentValues, kExperiment);
}

}  // namespace
}  // namespace ORV::Test
