#pragma once
#include <cstddef>
#include <opencv2/core.hpp>

namespace ORV {

// Image memory that comes back for reuse. An image taken from the pool is an
// ordinary cv::Mat; when its last copy lets go, its memory goes back to the
// pool (up to kMaxKept buffers) instead of to the system, so a steady stream
// of frames of one size allocates and page-faults only for its first frames.
//
// A pooled image is a frame passed along, not a scratch buffer: whoever takes
// it fills it once, and once it is handed on (to the recorder, to the zone
// analysis) it is only read. The recorder relies on that: it keeps a pooled
// image by reference and copies any other image.
class FramePool {
 public:
  static constexpr std::size_t kMaxKept = 32;

  FramePool();
  // Images still in use stay valid; their memory goes back to the system.
  ~FramePool();
  FramePool(const FramePool&) = delete;
  FramePool& operator=(const FramePool&) = delete;

  // A continuous image of this size and type, in kept memory when a buffer
  // of its byte size is free.
  cv::Mat Take(cv::Size size, int type);
  // Frees the memory kept for reuse.
  void Clear();
  // The number of buffers kept for reuse.
  std::size_t Kept() const;
  // True when the image's memory comes from a frame pool.
  static bool IsPooled(const cv::Mat& image);

 private:
  class Allocator;
  // Deletes itself once the pool and every image taken from it have gone.
  Allocator* allocator_;
};

}  // namespace ORV
