#include "video/loader/still_image_loader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <vector>

#include "tests/support/test_support.h"
#include "tests/video/recorded_video.h"

namespace ORV::Video {
namespace {

using Test::FrameLevel;
using Test::TempDir;
using Test::WriteRecording;

struct Info {
  int width = -1, height = -1, rate = -1, count = -1;
};

Info InfoOf(const StillImageLoader& loader) {
  Info i;
  EXPECT_TRUE(loader.Information(i.width, i.height, i.rate, i.count));
  return i;
}

// The pixel at (x, y) of a packed BGR frame, its blue channel.
int Blue(const std::vector<std::uint8_t>& frame, int width, int x, int y) {
  return frame[(static_cast<std::size_t>(y) * width + x) * 3];
}

TEST(StillImageLoader, ReadsTheRecordersVideoAsPackedTopDownBgrFramesInAnyOrder) {
  TempDir dir;
  const std::string path = dir / "exp_0.avi";
  ASSERT_TRUE(WriteRecording(path, 6, 64, 48, 25));
  auto loader = CreateImageLoader();
  ASSERT_TRUE(loader->Open(path));
  const Info info = InfoOf(*loader);
  EXPECT_EQ(info.width, 64);
  EXPECT_EQ(info.height, 48);
  EXPECT_EQ(info.rate, 25);
  EXPECT_EQ(info.count, 6);
  ASSERT_EQ(loader->FrameBufferSize(), 64u * 48u * 3u);

  std::vector<std::uint8_t> frame(loader->FrameBufferSize());
  for (const int index : {0, 1, 4, 2, 5, 3, 3}) {
    SCOPED_TRACE(index);
    ASSERT_TRUE(loader->ReadFrame(index, frame.data(), frame.size()));
    EXPECT_NEAR(Blue(frame, 64, 40, 40), FrameLevel(index), 3);
    // The bright square lies in the first rows: top-down.
    EXPECT_NEAR(Blue(frame, 64, 2, 2), 250, 3);
    EXPECT_NEAR(frame[(40 * 64 + 40) * 3 + 2], FrameLevel(index), 3);  // grey: red as blue
  }
}

TEST(StillImageLoader, RefusesWhatItCannotDeliver) {
  TempDir dir;
  const std::string path = dir / "exp_0.avi";
  ASSERT_TRUE(WriteRecording(path, 3));
  auto loader = CreateImageLoader();
  std::vector<std::uint8_t> frame(64 * 48 * 3, 7);
  Info info;
  // Nothing open.
  EXPECT_FALSE(loader->Information(info.width, info.height, info.rate, info.count));
  EXPECT_EQ(loader->FrameBufferSize(), 0u);
  EXPECT_FALSE(loader->ReadFrame(0, frame.data(), frame.size()));

  ASSERT_TRUE(loader->Open(path));
  EXPECT_FALSE(loader->ReadFrame(-1, frame.data(), frame.size()));
  EXPECT_FALSE(loader->ReadFrame(3, frame.data(), frame.size()));
  EXPECT_FALSE(loader->ReadFrame(0, frame.data(), frame.size() - 1));
  EXPECT_FALSE(loader->ReadFrame(0, nullptr, frame.size()));
  EXPECT_EQ(frame, std::vector<std::uint8_t>(64 * 48 * 3, 7));

  loader->Close();
  EXPECT_FALSE(loader->Information(info.width, info.height, info.rate, info.count));

  EXPECT_FALSE(loader->Open(dir / "missing.avi"));
  EXPECT_FALSE(loader->Open(""));
  std::ofstream(dir / "junk.avi") << "RIFF this is not a video";
  EXPECT_FALSE(loader->Open(dir / "junk.avi"));
}

TEST(StillImageLoader, AVideoWithoutFramesOpensWithCountZeroAndReadsNothing) {
  TempDir dir;
  const std::string path = dir / "empty.avi";
  ASSERT_TRUE(WriteRecording(path, 0));
  auto loader = CreateImageLoader();
  ASSERT_TRUE(loader->Open(path));
  Info info = InfoOf(*loader);
  EXPECT_EQ(info.count, 0);
  std::vector<std::uint8_t> frame(loader->FrameBufferSize() + 1);
  EXPECT_FALSE(loader->ReadFrame(0, frame.data(), frame.size()));
}

TEST(StillImageLoader, ATruncatedRecordingReadsTheFramesThatAreThere) {
  TempDir dir;
  const std::string path = dir / "cut.avi";
  ASSERT_TRUE(WriteRecording(path, 8));
  std::ifstream in(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  bytes.resize(bytes.size() * 2 / 3);
  std::ofstream(dir / "cut2.avi", std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  auto loader = CreateImageLoader();
  ASSERT_TRUE(loader->Open(dir / "cut2.avi"));
  const Info info = InfoOf(*loader);
  std::vector<std::uint8_t> frame(loader->FrameBufferSize());
  ASSERT_TRUE(loader->ReadFrame(0, frame.data(), frame.size()));
  EXPECT_NEAR(Blue(frame, 64, 40, 40), FrameLevel(0), 3);
  // Frames past the cut fail cleanly whatever the header promised.
  for (int i = 0; i < info.count; ++i) loader->ReadFrame(i, frame.data(), frame.size());
}

TEST(StillImageLoader, APictureIsAVideoOfOneFrame) {
  TempDir dir;
  cv::Mat picture(10, 12, CV_8UC3, cv::Scalar(30, 60, 90));
  ASSERT_TRUE(cv::imwrite(dir / "still.png", picture));
  auto loader = CreateImageLoader();
  ASSERT_TRUE(loader->Open(dir / "still.png"));
  const Info info = InfoOf(*loader);
  EXPECT_EQ(info.width, 12);
  EXPECT_EQ(info.height, 10);
  EXPECT_EQ(info.rate, 1);
  EXPECT_EQ(info.count, 1);
  std::vector<std::uint8_t> frame(loader->FrameBufferSize());
  ASSERT_TRUE(loader->ReadFrame(0, frame.data(), frame.size()));
  EXPECT_EQ(frame[0], 30);
  EXPECT_EQ(frame[1], 60);
  EXPECT_EQ(frame[2], 90);
}

}  // namespace
}  // namespace ORV::Video
