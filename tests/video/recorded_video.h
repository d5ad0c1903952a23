#pragma once
// Recordings for the video tests, written by the recorder's own AVI writer:
// frame i is a grey picture of level FrameLevel(i), with a brighter square in
// the top-left corner so that a picture upside down shows.
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <string>
#include <vector>

#include "analysis_control/avi_writer.h"

namespace ORV::Test {

inline int FrameLevel(int i) { return 20 + 20 * (i % 10); }

// Writes `frames` frames of width × height at `rate` frames a second; false
// when the file cannot be written.
inline bool WriteRecording(const std::string& path, int frames, int width = 64, int height = 48, int rate = 10) {
  avi_writer* w = avi_open(path.c_str(), width, height, "MJPG", rate);
  if (w == nullptr) return false;
  bool ok = true;
  for (int i = 0; i < frames && ok; ++i) {
    cv::Mat picture(height, width, CV_8UC1, cv::Scalar(FrameLevel(i)));
    picture(cv::Rect(0, 0, width / 4, height / 4)).setTo(cv::Scalar(250));
    std::vector<unsigned char> jpeg;
    ok = cv::imencode(".jpg", picture, jpeg) && avi_add_frame(w, jpeg.data(), jpeg.size()) == 0;
  }
  return avi_close(w) == 0 && ok;
}

}  // namespace ORV::Test
