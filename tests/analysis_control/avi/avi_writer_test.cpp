#include "analysis_control/avi_writer.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <filesystem>
#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>
#include <string>
#include <variant>
#include <vector>

#include "tests/analysis_control/avi/avi_files.h"
#include "tests/support/test_support.h"

namespace ORV {
namespace {

using Test::CharsAt;
using FileSizeCap = ORV::Test::FileSizeLimit;
using Test::ReadBytes;
using Test::TempDir;
using Test::U16At;
using Test::U32At;

std::vector<unsigned char> Payload(std::size_t n, unsigned char seed) {
  std::vector<unsigned char> p(n);
  for (std::size_t i = 0; i < n; ++i) p[i] = static_cast<unsigned char>(seed + i * 7);
  return p;
}

// A grey JPEG whose pixels all have the value `level`.
std::vector<unsigned char> Jpeg(int width, int height, int level) {
  const std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * height, static_cast<unsigned char>(level));
  tjhandle tj = tjInitCompress();
  unsigned char* data = nullptr;
  unsigned long size = 0;
  std::vector<unsigned char> out;
  if (tjCompress2(tj, pixels.data(), width, width, height, TJPF_GRAY, &data, &size, TJSAMP_GRAY, 75, 0) == 0) {
    out.assign(data, data + size);
  }
  tjFree(data);
  tjDestroy(tj);
  return out;
}

long FileSize(const std::string& path) {
  std::error_code ec;
  const auto n = std::filesystem::file_size(path, ec);
  return ec ? -1 : static_cast<long>(n);
}

struct Field {
  std::size_t at;
  std::variant<std::uint32_t, const char*> value;
};

void ExpectFields(const std::vector<unsigned char>& b, const std::vector<Field>& fields) {
  for (const Field& f : fields) {
    if (const auto* n = std::get_if<std::uint32_t>(&f.value)) {
      EXPECT_EQ(U32At(b, f.at), *n) << "at offset " << f.at;
    } else {
      EXPECT_EQ(CharsAt(b, f.at), std::get<const char*>(f.value)) << "at offset " << f.at;
    }
  }
}

TEST(AviWriter, HeaderChunksPaddingAndIndexOfAFinishedFile) {
  TempDir dir;
  const std::string path = dir / "Record_0.avi";
  avi_writer* w = avi_open(path.c_str(), 640, 480, "MJPG", 10);
  ASSERT_NE(w, nullptr);
  // Padded to 1004, 2000 and 1500.
  const std::vector<std::vector<unsigned char>> frames = {Payload(1001, 1), Payload(2000, 2), Payload(1497, 3)};
  for (const auto& f : frames) ASSERT_EQ(avi_add_frame(w, f.data(), f.size()), 0);
  ASSERT_EQ(avi_close(w), 0);

  const auto b = ReadBytes(path);
  const std::uint32_t moviEnd = 224 + (8 + 1004) + (8 + 2000) + (8 + 1500);
  ASSERT_EQ(b.size(), moviEnd + 8 + 3 * 16);
  ExpectFields(b, {
                      {0, "RIFF"},
                      {4, std::uint32_t(b.size() - 8)},
                      {8, "AVI "},
                      {12, "LIST"},
                      {16, 192u},
                      {20, "hdrl"},
                      {24, "avih"},
                      {28, 56u},
                      {32, 100000u},
                      {36, 921600u},
                      {40, 0u},
                      {44, 0x10u},
                      {48, 3u},
                      {52, 0u},
                      {56, 1u},
                      {60, 921600u},
                      {64, 640u},
                      {68, 480u},
                      {72, 0u},
                      {84, 0u},
                      {88, "LIST"},
                      {92, 116u},
                      {96, "strl"},
                      {100, "strh"},
                      {104, 56u},
                      {108, "vids"},
                      {112, "MJPG"},
                      {116, 0u},
                      {120, 0u},
                      {124, 0u},
                      {128, 1u},
                      {132, 10u},
                      {136, 0u},
                      {140, 3u},
                      {144, 921600u},
                      {148, 0u},
                      {152, 0u},
                      {156, 0u},
                      {160, 0u},
                      {164, "strf"},
                      {168, 40u},
                      {172, 40u},
                      {176, 640u},
                      {180, 480u},
                      {188, "MJPG"},
                      {192, 921600u},
                      {196, 0u},
                      {208, 0u},
                      {212, "LIST"},
                      {216, moviEnd - 220},
                      {220, "movi"},
                      {224, "00dc"},
                      {228, 1004u},
                      {224 + 1012, "00dc"},
                      {224 + 1016, 2000u},
                      {moviEnd, "idx1"},
                      {moviEnd + 4, 48u},
                  });
  EXPECT_EQ(U16At(b, 184), 1);   // planes
  EXPECT_EQ(U16At(b, 186), 24);  // bits per pixel

  // The payload, then zeros up to the padded size.
  EXPECT_TRUE(std::equal(frames[0].begin(), frames[0].end(), b.begin() + 232));
  EXPECT_EQ(b[232 + 1001], 0);
  EXPECT_EQ(b[232 + 1002], 0);
  EXPECT_EQ(b[232 + 1003], 0);

  const std::uint32_t offsets[] = {4, 1016, 3024};
  const std::uint32_t sizes[] = {1004, 2000, 1500};
  for (int i = 0; i < 3; ++i) {
    const std::size_t e = moviEnd + 8 + 16 * i;
    SCOPED_TRACE(i);
    EXPECT_EQ(CharsAt(b, e), "00dc");
    EXPECT_EQ(U32At(b, e + 4), 0x10u);
    EXPECT_EQ(U32At(b, e + 8), offsets[i]);
    EXPECT_EQ(U32At(b, e + 12), sizes[i]);
    // Each offset, counted from "movi", points at its chunk.
    EXPECT_EQ(CharsAt(b, 220 + offsets[i]), "00dc");
    EXPECT_EQ(U32At(b, 220 + offsets[i] + 4), sizes[i]);
  }
}

TEST(AviWriter, AFileClosedAfterNoFramesHasAnEmptyIndex) {
  TempDir dir;
  const std::string path = dir / "Record_0.avi";
  avi_writer* w = avi_open(path.c_str(), 320, 240, "MJPG", 25);
  ASSERT_NE(w, nullptr);
  ASSERT_EQ(avi_close(w), 0);
  const auto b = ReadBytes(path);
  ASSERT_EQ(b.size(), 232u);
  ExpectFields(b, {{4, 224u}, {32, 40000u}, {48, 0u}, {140, 0u}, {216, 4u}, {224, "idx1"}, {228, 0u}});
}

TEST(AviWriter, RefusesWhatCannotMakeAFile) {
  struct Case {
    const char* name;
    int width, height, rate;
  };
  for (const Case& c : {Case{"rate 0", 640, 480, 0}, Case{"negative rate", 640, 480, -5}, Case{"width 0", 0, 480, 10},
                        Case{"height 0", 640, 0, 10}}) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = dir / "Record_0.avi";
    EXPECT_EQ(avi_open(path.c_str(), c.width, c.height, "MJPG", c.rate), nullptr);
    EXPECT_FALSE(std::filesystem::exists(path));
  }
  TempDir dir;
  EXPECT_EQ(avi_open((dir / "missing/Record_0.avi").c_str(), 640, 480, "MJPG", 10), nullptr);
  const unsigned char byte = 0;
  EXPECT_EQ(avi_add_frame(nullptr, &byte, 1), -1);
  EXPECT_EQ(avi_close(nullptr), -1);
  EXPECT_EQ(avi_update_header(nullptr), -1);
}

TEST(AviWriter, TheCodecIsAlwaysMotionJpegWhateverFourccIsGiven) {
  EXPECT_TRUE(avi_fourcc_is_known("MJPG"));
  EXPECT_TRUE(avi_fourcc_is_known("3IV1"));
  EXPECT_FALSE(avi_fourcc_is_known("MJP "));
  EXPECT_FALSE(avi_fourcc_is_known("JPG "));
  EXPECT_FALSE(avi_fourcc_is_known("MJPGX"));
  EXPECT_FALSE(avi_fourcc_is_known("G 3I"));  // spans two codes of the table
  EXPECT_FALSE(avi_fourcc_is_known(nullptr));

  TempDir dir;
  const std::string path = dir / "Record_0.avi";
  avi_writer* w = avi_open(path.c_str(), 64, 48, "ABCD", 5);
  ASSERT_NE(w, nullptr);
  ASSERT_EQ(avi_close(w), 0);
  const auto b = ReadBytes(path);
  EXPECT_EQ(CharsAt(b, 112), "MJPG");
  EXPECT_EQ(CharsAt(b, 188), "MJPG");
}

TEST(AviWriter, AFrameThatWouldPassTheSizeLimitIsRefusedAndTheFileStaysValid) {
  TempDir dir;
  const std::string path = dir / "Record_0.avi";
  avi_writer* w = avi_open(path.c_str(), 64, 48, "MJPG", 10);
  ASSERT_NE(w, nullptr);
  // Room for exactly three 1000-byte frames with their index entries.
  w->SizeLimit = 224 + 3 * (8 + 1000) + 8 + 3 * 16;
  const auto frame = Payload(1000, 9);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(avi_add_frame(w, frame.data(), frame.size()), 0) << i;
  EXPECT_EQ(avi_add_frame(w, frame.data(), frame.size()), kAviSizeLimitReached);
  // A smaller frame still fits nowhere: the limit counts the index too.
  EXPECT_EQ(avi_add_frame(w, frame.data(), 4), kAviSizeLimitReached);
  ASSERT_EQ(avi_close(w), 0);

  const auto b = ReadBytes(path);
  EXPECT_EQ(b.size(), 224u + 3 * 1008 + 8 + 48);
  ExpectFields(b, {{4, std::uint32_t(b.size() - 8)}, {48, 3u}, {140, 3u}, {224 + 3 * 1008, "idx1"}});
}

TEST(AviWriter, TheHeaderKeptUpToDateLetsAFileCutShortBePlayed) {
  TempDir dir;
  const std::string path = dir / "Record_0.avi";
  avi_writer* w = avi_open(path.c_str(), 64, 48, "MJPG", 10);
  ASSERT_NE(w, nullptr);
  for (int i = 0; i < 5; ++i) {
    const auto jpeg = Jpeg(64, 48, 40 * i);
    ASSERT_EQ(avi_add_frame(w, jpeg.data(), jpeg.size()), 0);
  }
  ASSERT_EQ(avi_update_header(w), 0);
  // The program ends here without closing: take the file as it stands.
  const std::string cut = dir / "cut.avi";
  std::filesystem::copy_file(path, cut);
  // Frames after the update are still appended where they belong.
  const auto last = Jpeg(64, 48, 250);
  ASSERT_EQ(avi_add_frame(w, last.data(), last.size()), 0);
  ASSERT_EQ(avi_close(w), 0);

  const auto b = ReadBytes(cut);
  const auto chunks = ORV::Test::MovieChunks(b);
  ASSERT_EQ(chunks.size(), 5u);
  const std::size_t framesEnd = chunks.back().at + 8 + chunks.back().size;
  EXPECT_EQ(framesEnd, b.size());
  ExpectFields(b, {{4, std::uint32_t(b.size() - 8)}, {48, 5u}, {140, 5u}, {216, std::uint32_t(b.size() - 220)}});

  cv::VideoCapture cap(cut, cv::CAP_FFMPEG);
  ASSERT_TRUE(cap.isOpened());
  int read = 0;
  cv::Mat frame;
  while (cap.read(frame)) {
    EXPECT_EQ(frame.cols, 64);
    EXPECT_EQ(frame.rows, 48);
    ++read;
  }
  EXPECT_EQ(read, 5);

  EXPECT_EQ(U32At(ReadBytes(path), 48), 6u);
}

TEST(AviWriter, AFailedFrameWriteIsTakenBackAndTheFileClosesWithTheFramesBefore) {
  TempDir dir;
  const std::string path = dir / "Record_0.avi";
  avi_writer* w = avi_open(path.c_str(), 64, 48, "MJPG", 10);
  ASSERT_NE(w, nullptr);
  std::vector<std::vector<unsigned char>> frames;
  for (int i = 0; i < 3; ++i) frames.push_back(Jpeg(64, 48, 60 * i + 10));
  ASSERT_EQ(avi_add_frame(w, frames[0].data(), frames[0].size()), 0);
  ASSERT_EQ(avi_add_frame(w, frames[1].data(), frames[1].size()), 0);
  const long before = FileSize(path);
  {
    // The third frame is cut off half-way; the index of two frames still fits.
    FileSizeCap cap(static_cast<rlim_t>(before) + frames[2].size() / 2);
    EXPECT_EQ(avi_add_frame(w, frames[2].data(), frames[2].size()), -1);
    EXPECT_EQ(FileSize(path), before);
    EXPECT_EQ(avi_close(w), 0);
  }
  const auto b = ReadBytes(path);
  EXPECT_EQ(b.size(), static_cast<std::size_t>(before) + 8 + 2 * 16);
  ExpectFields(b, {{4, std::uint32_t(b.size() - 8)}, {48, 2u}, {140, 2u}, {std::size_t(before), "idx1"}});
  cv::VideoCapture cap(path, cv::CAP_FFMPEG);
  ASSERT_TRUE(cap.isOpened());
  EXPECT_EQ(cap.get(cv::CAP_PROP_FRAME_COUNT), 2);
}

}  // namespace
}  // namespace ORV
