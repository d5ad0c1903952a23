#pragma once
// An experiment opened from "<folder>/exp.tvx" with analysis records for its
// cameras, and a loader that serves a made-up video: frame i is filled with
// the byte i % 256.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/base/configuration.h"
#include "core/experiment/experiment_data.h"
#include "tests/support/test_support.h"
#include "tests/support/test_world.h"
#include "video/loader/still_image_loader.h"
#include "video/pane/video_pane_model.h"

namespace ORV::Test {

class FakeLoader : public Video::StillImageLoader {
 public:
  struct Shared {
    bool opens = true;
    int width = 40, height = 30, rate = 10, count = 100;
    int framesReadable = 1 << 30;  // frames past this fail to decode
    std::vector<int> reads;
    std::string opened;
  };
  explicit FakeLoader(std::shared_ptr<Shared> s) : s_(std::move(s)) {}
  bool Open(const std::string& path) override {
    open_ = s_->opens;
    if (open_) s_->opened = path;
    return open_;
  }
  void Close() override { open_ = false; }
  bool ReadFrame(int index, std::uint8_t* buffer, std::size_t size) override {
    s_->reads.push_back(index);
    if (!open_ || index < 0 || index >= s_->count || index >= s_->framesReadable || size < FrameBufferSize()) {
      return false;
    }
    std::memset(buffer, index % 256, FrameBufferSize());
    return true;
  }
  std::size_t FrameBufferSize() const override { return open_ ? std::size_t(s_->width) * s_->height * 3 : 0; }
  bool Information(int& w, int& h, int& r, int& c) const override {
    if (!open_) return false;
    w = s_->width;
    h = s_->height;
    r = s_->rate;
    c = s_->count;
    return true;
  }

 private:
  std::shared_ptr<Shared> s_;
  bool open_ = false;
};

// `count` records whose frame times step by `stepMs` from 0, recorded from
// `startTime` on the experiment clock.
inline std::vector<AnalysisData> Records(int count, double stepMs, std::int32_t startTime) {
  std::vector<AnalysisData> records(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    records[i].startTime = startTime;
    records[i].frameTime = static_cast<std::int32_t>(i * stepMs + 0.5);
  }
  return records;
}

class VideoPaneFixture : public testing::Test {
 protected:
  static constexpr std::uint32_t kStart = 50000;

  VideoPaneFixture() {
    experiment_ = std::make_unique<ExperimentData>(ORV::Test::SharedConfiguration(), ORV::Test::SharedClock());
    experiment_->mode = kModeFile;
    experiment_->startTick = kStart;
    SetFilePath(dir_ / "exp.tvx");
  }

  void SetFilePath(const std::string& path) {
    experiment_->Update([&](ExperimentContents& c) {
      c.filePath = path;
      return 0;
    });
  }
  void SetRecords(int camera, const std::vector<AnalysisData>& records) {
    experiment_->Update([&](ExperimentContents& c) {
      c.analysisData[camera].clear();
      for (const AnalysisData& r : records) c.analysisData[camera].push_back(r);
      return 0;
    });
  }
  // A video file the pane finds (the fake loader does not read it).
  void TouchVideo(int camera) { WriteFile(Video::VideoPaneModel::VideoPathFor(dir_ / "exp.tvx", camera)); }
  static void WriteFile(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("video", f);
    std::fclose(f);
  }

  std::unique_ptr<Video::VideoPaneModel> FakePane(int camera) {
    return std::make_unique<Video::VideoPaneModel>(*experiment_, config_, std::make_unique<FakeLoader>(loader_),
                                                   camera);
  }

  SandboxedHome home_;
  MemoryEventLog log_;
  TempDir dir_;
  Configuration config_;
  std::shared_ptr<FakeLoader::Shared> loader_ = std::make_shared<FakeLoader::Shared>();
  std::unique_ptr<ExperimentData> experiment_;
};

}  // namespace ORV::Test
