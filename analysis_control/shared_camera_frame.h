#pragma once
// A frame holder shared between the thread that grabs frames and those that
// show, record or analyse them: a mutex and a shared reference to an 8-bit
// image. Readers take the reference and keep the picture as long as they
// need it; the grabber replaces the reference with a new image, never
// writing into one that was handed out.
#include <memory>
#include <mutex>
#include <opencv2/core.hpp>

#include "analysis_control/frame_pool.h"

namespace ORV {

class SharedCameraFrame {
 public:
  using Image = std::shared_ptr<const cv::Mat>;

  // Replaces the picture (null drops it).
  void SetImage(Image image);
  void Release() { SetImage(nullptr); }
  // The picture; null when there is none.
  Image Get() const;
  bool HasImage() const { return Get() != nullptr; }
  // A one-channel picture of `size` in the holder's memory, for the caller
  // to fill and then set: a steady stream of pictures reuses their memory,
  // and the recorder keeps them without copying.
  cv::Mat NewImage(cv::Size size) { return pool_.Take(size, CV_8UC1); }
  // Takes a copy of `source` as the new picture, in one channel: a
  // one-channel source is copied byte for byte, a colour source (three or
  // four channels, blue-green-red) is turned to grey. An empty source or one
  // that is not 8-bit changes nothing.
  void CopyFrom(const cv::Mat& source);

 private:
  mutable std::mutex mutex_;
  Image image_;
  // The pictures' memory: a steady stream reuses it, and the recorder keeps
  // a pooled picture without copying it.
  FramePool pool_;
};

}  // namespace ORV
