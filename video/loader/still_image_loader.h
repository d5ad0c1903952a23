#pragma once
// The still-image and video loader: opens a recorded video (or a single
// picture, shown as a video of one frame) and hands out its frames as 24-bit
// BGR pixels, rows top-down and packed (width × 3 bytes a row, no padding).
// The video pane and the backup import read recordings through it.
//
// Its operations, in the order the callers rely on: destroy, open, close,
// read frame, frame buffer size, information.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace ORV::Video {

class StillImageLoader {
 public:
  virtual ~StillImageLoader() = default;
  // True when the file can be read; any file open before is closed first.
  virtual bool Open(const std::string& path) = 0;
  virtual void Close() = 0;
  // Fills `buffer` with frame `index`. False, with the buffer unchanged,
  // when nothing is open, the index lies outside the video, the buffer is
  // smaller than FrameBufferSize() or the frame cannot be decoded (a
  // truncated file may hold fewer frames than its header says).
  virtual bool ReadFrame(int index, std::uint8_t* buffer, std::size_t size) = 0;
  // Bytes of one frame: width × height × 3; 0 when nothing is open.
  virtual std::size_t FrameBufferSize() const = 0;
  // The open video's size, its frame rate rounded to a whole number and its
  // frame count. False when nothing is open.
  virtual bool Information(int& width, int& height, int& frameRate, int& frameCount) const = 0;
};

// The loader over OpenCV: videos through its video reader, single pictures
// through its image reader.
std::unique_ptr<StillImageLoader> CreateImageLoader();

}  // namespace ORV::Video
