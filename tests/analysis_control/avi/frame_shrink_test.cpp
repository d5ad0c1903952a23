#include "analysis_control/frame_shrink.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <opencv2/imgproc.hpp>
#include <string>

namespace ORV {
namespace {

// The plain definition of a shrink by whole factors: along each axis, the
// source pixel at the destination pixel's centre (odd factor) or the two
// either side of it (even factor); their mean, rounded half up.
cv::Mat PlainShrink(const cv::Mat& grey, cv::Size size) {
  const int fx = grey.cols / size.width;
  const int fy = grey.rows / size.height;
  cv::Mat out(size, CV_8UC1);
  for (int y = 0; y < size.height; ++y) {
    for (int x = 0; x < size.width; ++x) {
      int sum = 0;
      int count = 0;
      for (int j = (fy - 1) / 2; j <= fy / 2; ++j) {
        for (int i = (fx - 1) / 2; i <= fx / 2; ++i) {
          sum += grey.at<std::uint8_t>(fy * y + j, fx * x + i);
          ++count;
        }
      }
      out.at<std::uint8_t>(y, x) = static_cast<std::uint8_t>((sum + count / 2) / count);
    }
  }
  return out;
}

cv::Mat Noise(int width, int height, std::uint64_t seed) {
  cv::Mat m(height, width, CV_8UC1);
  cv::RNG rng(seed);
  rng.fill(m, cv::RNG::UNIFORM, 0, 256);
  return m;
}

bool Same(const cv::Mat& a, const cv::Mat& b) {
  return a.size() == b.size() && a.type() == b.type() && cv::countNonZero(a != b) == 0;
}

struct ShrinkCase {
  cv::Size from;
  cv::Size to;
  bool wholeFactors;
};

// Noise, flat black and flat white (the extremes of the 16-bit sums and the
// rounding), in every recording size and in odd and small sizes whose row
// ends fall anywhere in a vector: byte for byte the bilinear resize the
// recordings were made with, and for whole factors the plain definition too.
TEST(FrameShrink, GivesTheBytesOfTheBilinearResizeInEverySize) {
  const ShrinkCase cases[] = {
      {{1280, 960}, {640, 480}, true},  {{1032, 772}, {516, 386}, true},  {{1280, 960}, {320, 240}, true},
      {{1032, 772}, {320, 240}, false}, {{1280, 960}, {172, 128}, false}, {{640, 480}, {213, 160}, false},
      {{2, 2}, {1, 1}, true},           {{34, 18}, {17, 9}, true},        {{62, 6}, {31, 3}, true},
      {{46, 14}, {23, 7}, true},        {{45, 27}, {15, 9}, true},        {{42, 27}, {14, 9}, true},
      {{30, 20}, {10, 5}, true},        {{36, 30}, {6, 5}, true},         {{24, 24}, {12, 8}, true},
      {{25, 19}, {12, 9}, false},       {{33, 17}, {33, 17}, true},       {{7, 5}, {7, 5}, true},
      {{8194, 4}, {4097, 2}, true},  // a row longer than the piece worked at once
  };
  for (const ShrinkCase& c : cases) {
    const std::string name = std::to_string(c.from.width) + "x" + std::to_string(c.from.height) + " to " +
                             std::to_string(c.to.width) + "x" + std::to_string(c.to.height);
    EXPECT_EQ(ShrinksByWholeFactors(c.from, c.to), c.wholeFactors) << name;
    const cv::Mat images[] = {Noise(c.from.width, c.from.height, 7), cv::Mat(c.from, CV_8UC1, cv::Scalar(0)),
                              cv::Mat(c.from, CV_8UC1, cv::Scalar(255))};
    for (const cv::Mat& image : images) {
      cv::Mat expected;
      cv::resize(image, expected, c.to, 0, 0, cv::INTER_LINEAR);
      cv::Mat shrunk;
      ShrinkGrey(image, c.to, shrunk);
      EXPECT_TRUE(Same(shrunk, expected)) << name;
      if (c.wholeFactors) {
        EXPECT_TRUE(Same(shrunk, PlainShrink(image, c.to))) << name;
      }
    }
  }
}

TEST(FrameShrink, ReadsAnImageWithGapsBetweenRowsAndReusesItsResult) {
  const cv::Mat wide = Noise(1300, 970, 3);
  const cv::Mat frame = wide(cv::Rect(11, 5, 1280, 960));  // rows 1300 bytes apart
  ASSERT_FALSE(frame.isContinuous());
  cv::Mat expected;
  cv::resize(frame, expected, {640, 480}, 0, 0, cv::INTER_LINEAR);

  cv::Mat shrunk;
  ShrinkGrey(frame, {640, 480}, shrunk);
  EXPECT_TRUE(Same(shrunk, expected));
  const std::uint8_t* memory = shrunk.data;
  ShrinkGrey(Noise(1280, 960, 4), {640, 480}, shrunk);
  EXPECT_EQ(shrunk.data, memory) << "a result of the right size is filled again, not made anew";
  ShrinkGrey(frame, {320, 240}, shrunk);
  EXPECT_EQ(shrunk.size(), cv::Size(320, 240));

  // Shrinking an image into itself reads the whole image before writing.
  cv::Mat self = frame.clone();
  ShrinkGrey(self, {640, 480}, self);
  EXPECT_TRUE(Same(self, expected));
}

}  // namespace
}  // namespace ORV
