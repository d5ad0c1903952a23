// Saving: the exact bytes of an empty experiment, the video entries and the
// replacement of the target.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <set>

#include "platform/os/file_io.h"
#include "tests/core/experiment/file/file_fixture.h"

namespace ORV::Test {
namespace {

using ExperimentFileWriter = ExperimentFileFixture;

TEST_F(ExperimentFileWriter, EmptyExperimentIsTheHeaderAndEmptyBlocks) {
  data().startTick = 0x11223344;
  data().lastSampleTime = 0x55667788;
  context_.productType = 2;
  ASSERT_EQ(Save("empty.tvx"), 1);

  Bytes want;
  want.u16(5).u32(2);
  // Block offsets: header ends at 106; actions, calculations, markers,
  // flow, pressure take 8 bytes each; no cameras (zone, microscope, video
  // blocks empty); open traces, index images, clock segments take 4.
  for (std::uint32_t offset : {106u, 114u, 122u, 130u, 138u, 146u, 146u, 146u, 150u, 150u, 154u, 158u})
    want.u32(offset);
  for (int i = 0; i < 8; ++i) want.u32(0);
  want.u32(0x11223344).u32(0x55667788).u32(0);  // ticks, no cameras
  want.u32(0).u32(0);                           // title, description
  want.u32(0).u32(16).u32(0).u32(80).u32(0).u32(16).u32(0).u32(12).u32(0).u32(124);
  want.u32(0);  // open traces
  want.u32(0);  // index images
  want.u32(0);  // clock segments
  want.u64(20).f32(1.0f).f32(1.0f).f32(1.0f).f32(1.0f).f32(1.0f);
  ASSERT_EQ(want.b.size(), 186u);
  EXPECT_EQ(ReadAll(dir_ / "empty.tvx"), want.b);
}

TEST_F(ExperimentFileWriter, CalibrationTakesTheExperimentValuesWhereSet) {
  Configuration& config = *data().configuration;
  config.Magnification = 4.0f;
  config.Calibration = {1.5f, 2.5f, 3.5f, 4.5f};
  struct Case {
    std::array<float, 5> experiment;
    std::array<float, 5> written;
  };
  const Case cases[] = {
      {{-1, -1, -1, -1, -1}, {4.0f, 1.5f, 2.5f, 3.5f, 4.5f}},
      // Experiment values: scales of cameras 1 to 4, then the magnification;
      // the block: the magnification, then the scales.
      {{11, -1, 13, 14, 10}, {10.0f, 11.0f, 2.5f, 13.0f, 14.0f}},
      // The experiment magnification counts only with camera 4's scale set.
      {{11, 12, 13, -1, 10}, {4.0f, 11.0f, 12.0f, 13.0f, 4.5f}},
  };
  for (const Case& c : cases) {
    config.ExperimentValues = c.experiment;
    ASSERT_EQ(Save("cal.tvx"), 1);
    const auto bytes = ReadAll(dir_ / "cal.tvx");
    ASSERT_EQ(bytes.size(), 186u);
    std::array<float, 5> written{};
    std::memcpy(written.data(), bytes.data() + 166, 20);
    EXPECT_EQ(written, c.written);
  }
}

TEST_F(ExperimentFileWriter, LongTextsAreCutToWhatTheReaderAccepts) {
  ASSERT_TRUE(data().AddCamera(std::string(5000, 'n')));
  data().Update([](ExperimentContents& c) {
    c.title = std::string(5000, 't');
    c.description = std::string(4096, 'd');
    c.cameraLabels[0] = std::string(5000, 'c');
    return 0;
  });
  data().mode = kModeLive;
  ASSERT_EQ(Save("long.tvx"), 1);
  ASSERT_EQ(OpenExperiment(data(), dir_ / "long.tvx", context_), 1) << log_.Dump();
  data().Read([](const ExperimentContents& c) {
    EXPECT_EQ(c.title, std::string(4092, 't') + "...");
    EXPECT_EQ(c.description, std::string(4096, 'd'));
    EXPECT_EQ(c.fileCameraNames, std::vector<std::string>{std::string(4092, 'c') + "..."});
    return 0;
  });
}

// A file written completely whose final rename over the target fails.
class UnrenamedFile : public OutputFile {
 public:
  explicit UnrenamedFile(std::unique_ptr<OutputFile> file) : file_(std::move(file)) {}
  bool Write(const void* data, std::size_t size) override { return file_->Write(data, size); }
  bool WriteAt(std::uint64_t offset, const void* data, std::size_t size) override {
    return file_->WriteAt(offset, data, size);
  }
  bool Commit() override { return file_->Commit(); }
  bool Replace() override { return false; }

 private:
  std::unique_ptr<OutputFile> file_;
};

// Names in a folder that a save or copy left behind as temporary files.
std::vector<std::string> TemporaryFilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename();
    if (name.find(".tmp") != std::string::npos) names.push_back(name);
  }
  return names;
}

// A file system whose single operations can be made to fail.
class FaultyFiles : public ExperimentFileSystem {
 public:
  std::unique_ptr<OutputFile> CreateReplacement(const std::string& target) override {
    if (failCreate) return nullptr;
    auto file = real.CreateReplacement(target);
    if (!file || !failRename) return file;
    return std::make_unique<UnrenamedFile>(std::move(file));
  }
  std::unique_ptr<std::istream> OpenRead(const std::string& path) override { return real.OpenRead(path); }
  bool Exists(const std::string& path) override { return real.Exists(path); }
  bool Remove(const std::string& path) override { return real.Remove(path); }
  bool SameFile(const std::string& a, const std::string& b) override { return real.SameFile(a, b); }
  bool Copy(const std::string& from, const std::string& to,
            const std::function<void(std::uint64_t, std::uint64_t)>& progress) override {
    ++copies;
    return !failCopy && real.Copy(from, to, progress);
  }
  int LastError() const override { return real.LastError(); }

  ExperimentFileSystem& real = DefaultExperimentFileSystem();
  bool failCreate = false;
  bool failRename = false;
  bool failCopy = false;
  int copies = 0;
};

// A live experiment with one camera whose recorded video and analysis file
// lie in the test's "rec" folder.
class ExperimentFileSave : public ExperimentFileFixture {
 protected:
  ExperimentFileSave() {
    context_.files = &files_;
    EXPECT_TRUE(data().AddCamera("cam"));
    data().mode = kModeLive;
    const std::string rec = dir_ / "rec";
    std::filesystem::create_directory(rec);
    WriteAll(rec + "/video.avi", std::vector<std::uint8_t>(1000, 0xAB));
    std::vector<std::uint8_t> analysis;
    for (int i = 0; i < 3; ++i) {
      AnalysisData record;
      record.scaleFactor = 2.0f + static_cast<float>(i);
      const auto raw = Stored<AnalysisData::kSize>(record);
      analysis.insert(analysis.end(), raw.begin(), raw.end());
    }
    WriteAll(rec + "/Analysis_0.dta", analysis);
    data().Update([&](ExperimentContents& c) {
      c.sourceVideoFiles = {rec + "/video.avi"};
      c.analysisFiles = {rec + "/Analysis_0.dta"};
      return 0;
    });
    WriteAll(dir_ / "exp.tvx", oldTarget_);
    data().modified = true;
  }

  const std::vector<std::uint8_t> oldTarget_ = {'o', 'l', 'd'};
  FaultyFiles files_;
};

TEST_F(ExperimentFileSave, AFailedStepLeavesTheTargetAndTheModifiedFlag) {
  struct Case {
    const char* name;
    bool FaultyFiles::*fault;
    const char* logged;  // nullptr: nothing is logged
  };
  const Case cases[] = {
      {"temporary file cannot be made", &FaultyFiles::failCreate, "(save file failed)"},
      {"final rename fails", &FaultyFiles::failRename, nullptr},
      {"video copy fails", &FaultyFiles::failCopy, "(unable to export video file data)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    log_.backend().Clear();
    files_.*c.fault = true;
    EXPECT_EQ(Save("exp.tvx", true), 0);
    files_.*c.fault = false;
    EXPECT_EQ(ReadAll(dir_ / "exp.tvx"), oldTarget_);
    EXPECT_TRUE(data().modified);
    EXPECT_EQ(TemporaryFilesIn(dir_.path()), std::vector<std::string>{});
    if (c.logged)
      EXPECT_NE(log_.Dump().find("Unable to save experiment to file '" + (dir_ / "exp.tvx") + "' " + c.logged),
                std::string::npos)
          << log_.Dump();
    else
      EXPECT_EQ(log_.Dump(), "");
  }
}

TEST_F(ExperimentFileSave, SuccessReplacesTheTargetAndCopiesTheVideoBesideIt) {
  ASSERT_EQ(Save("exp.tvx", true), 1) << log_.Dump();
  EXPECT_FALSE(data().modified);
  EXPECT_EQ(ReadAll(dir_ / "exp_0.avi"), std::vector<std::uint8_t>(1000, 0xAB));
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) names.insert(entry.path().filename());
  EXPECT_EQ(names.count("exp.tvx"), 1u);
  EXPECT_EQ(TemporaryFilesIn(dir_.path()), std::vector<std::string>{});

  // Opened again and saved under the same name: the video lies at its
  // destination already and is neither copied nor cut.
  ASSERT_EQ(OpenExperiment(data(), dir_ / "exp.tvx", context_), 1) << log_.Dump();
  data().Read([&](const ExperimentContents& c) {
    EXPECT_EQ(c.videoFiles[0], dir_ / "exp_0.avi");
    EXPECT_EQ(c.analysisData[0].size(), 3u);
    if (c.analysisData[0].size() == 3) {
      EXPECT_EQ(c.analysisData[0][0].scaleFactor, 2.0f);
      EXPECT_EQ(Stored<AnalysisData::kSize>(c.analysisData[0][2]), Stored<AnalysisData::kSize>(AnalysisData{}));
    }
    return 0;
  });
  files_.copies = 0;
  ASSERT_EQ(Save("exp.tvx", true), 1) << log_.Dump();
  EXPECT_EQ(files_.copies, 0);
  EXPECT_EQ(ReadAll(dir_ / "exp_0.avi"), std::vector<std::uint8_t>(1000, 0xAB));
}

TEST_F(ExperimentFileSave, EveryCameraGetsAVideoEntry) {
  ASSERT_TRUE(data().AddCamera("second"));  // two cameras, one recorded video
  struct Case {
    bool withVideo;
    std::vector<std::uint32_t> present;
    bool logged;
  };
  const Case cases[] = {
      {false, {0, 0}, false},
      {true, {1, 0}, true},
  };
  for (const Case& c : cases) {
    log_.backend().Clear();
    ASSERT_EQ(Save("exp.tvx", c.withVideo), 1);
    EXPECT_EQ(log_.Dump().find("(unable to export video file data)") != std::string::npos, c.logged);
    EXPECT_EQ(files_.copies > 0, c.withVideo);
    files_.copies = 0;
    ASSERT_EQ(OpenExperiment(data(), dir_ / "exp.tvx", context_), 1) << log_.Dump();
    EXPECT_TRUE(prompt_.questions.empty());
    data().Read([&](const ExperimentContents& c2) {
      for (std::size_t camera = 0; camera < 2; ++camera)
        EXPECT_EQ(c2.analysisData[camera].size(), c.present[camera] ? 3u : 0u) << camera;
      return 0;
    });
    // Back to the live experiment for the next case.
    data().mode = kModeLive;
    data().Update([&](ExperimentContents& c2) {
      c2.sourceVideoFiles = {dir_ / "rec/video.avi"};
      c2.analysisFiles = {dir_ / "rec/Analysis_0.dta"};
      return 0;
    });
  }
}

// A camera whose recording was refused (too little free disk space) lists a
// video that was never made: the experiment is saved without it, its other
// camera with its own.
TEST_F(ExperimentFileSave, ACameraThatRecordedNothingIsSavedWithoutVideo) {
  ASSERT_TRUE(data().AddCamera("second"));
  const std::string rec = dir_ / "rec";
  data().Update([&](ExperimentContents& c) {
    c.sourceVideoFiles = {rec + "/never_made.avi", rec + "/video.avi"};
    c.analysisFiles = {rec + "/Analysis_never.dta", rec + "/Analysis_0.dta"};
    return 0;
  });
  ASSERT_EQ(Save("exp.tvx", true), 1) << log_.Dump();
  EXPECT_FALSE(data().modified);
  EXPECT_NE(log_.Dump().find("Camera 1: no video was recorded"), std::string::npos) << log_.Dump();
  EXPECT_FALSE(std::filesystem::exists(dir_ / "exp_0.avi"));
  EXPECT_EQ(ReadAll(dir_ / "exp_1.avi"), std::vector<std::uint8_t>(1000, 0xAB));
  ASSERT_EQ(OpenExperiment(data(), dir_ / "exp.tvx", context_), 1) << log_.Dump();
  EXPECT_TRUE(prompt_.questions.empty()) << "no video is looked for";
  data().Read([&](const ExperimentContents& c) {
    EXPECT_EQ(c.videoFiles[0], "");
    EXPECT_EQ(c.videoFiles[1], dir_ / "exp_1.avi");
    EXPECT_EQ(c.analysisData[0].size(), 0u);
    EXPECT_EQ(c.analysisData[1].size(), 3u);
    return 0;
  });
}

// A disk that fills part-way through a save, at each step of it: the save
// fails with the system's reason, the earlier file and the experiment's
// changes stay, no temporary file is left.
TEST_F(ExperimentFileSave, ADiskThatFillsDuringTheSaveGivesItsReason) {
  int error = -1;
  context_.error = &error;
  struct Case {
    const char* name;
    std::uint64_t room;  // bytes the disk still takes
    bool atFlush;        // the bytes go in, the flush to disk fails
  };
  const Case cases[] = {
      {"full from the start", 0, false},
      {"full during the video copy", 600, false},
      {"full during the experiment file", 1000 + 120, false},
      {"refused at the flush to disk", 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(dir_ / "exp_0.avi");
    if (c.atFlush)
      OS::SetFlushFault(dir_.path(), ENOSPC);
    else
      OS::SetWriteFault(dir_.path(), ENOSPC, c.room);
    EXPECT_EQ(Save("exp.tvx", true), 0);
    OS::ClearWriteFaults();
    EXPECT_EQ(error, ENOSPC);
    EXPECT_EQ(ReadAll(dir_ / "exp.tvx"), oldTarget_);
    EXPECT_TRUE(data().modified);
    EXPECT_EQ(TemporaryFilesIn(dir_.path()), std::vector<std::string>{});
  }
  ASSERT_EQ(Save("exp.tvx", true), 1) << "saved once the disk has room";
  EXPECT_EQ(error, 0);
}

}  // namespace
}  // namespace ORV::Test
