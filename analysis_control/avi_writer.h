#pragma once
// A streaming writer of Motion-JPEG AVI files: one video stream, frames
// appended as they come, the sizes and counts that are known only at the end
// patched in by avi_close.
//
// File layout (all integers little-endian):
//   0   "RIFF", file length - 8, "AVI "
//   12  "LIST", 192, "hdrl"
//   24  "avih", 56, the main header (14 values)
//   88  "LIST", 116, "strl"
//   100 "strh", 56, the stream header
//   164 "strf", 40, the bitmap information header
//   212 "LIST", size of the movie list, "movi"
//   224 per frame "00dc", padded size, JPEG bytes, zeros up to the padded size
//       then "idx1", 16 bytes per frame ("00dc", 0x10, offset from "movi", padded size)
//
// Failures are printed on the standard error stream and reported by the
// result. A frame whose write fails is taken back: the file ends where it
// ended before that frame, so the frames written before stay readable.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace ORV {

// The "avih" chunk.
struct AviMainHeader {
  std::uint32_t microSecPerFrame = 0;
  std::uint32_t maxBytesPerSec = 0;
  std::uint32_t paddingGranularity = 0;
  std::uint32_t flags = 0;
  std::uint32_t totalFrames = 0;
  std::uint32_t initialFrames = 0;
  std::uint32_t streams = 0;
  std::uint32_t suggestedBufferSize = 0;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t reserved[4] = {0, 0, 0, 0};
};

// The "strh" chunk.
struct AviStreamHeader {
  char type[4] = {'v', 'i', 'd', 's'};
  char handler[4] = {'M', 'J', 'P', 'G'};
  std::uint32_t flags = 0;
  std::uint32_t priority = 0;  // priority and language
  std::uint32_t initialFrames = 0;
  std::uint32_t scale = 1;
  std::uint32_t rate = 0;
  std::uint32_t start = 0;
  std::uint32_t length = 0;  // frames written so far
  std::uint32_t suggestedBufferSize = 0;
  std::uint32_t quality = 0;
  std::uint32_t sampleSize = 0;
};

// The "strf" chunk: a bitmap information header.
struct AviVideoFormat {
  std::uint32_t size = 40;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::uint16_t planes = 1;
  std::uint16_t bitCount = 24;
  char compression[4] = {'M', 'J', 'P', 'G'};
  std::uint32_t sizeImage = 0;
  std::int32_t xPelsPerMeter = 0;
  std::int32_t yPelsPerMeter = 0;
  std::uint32_t clrUsed = 0;
  std::uint32_t clrImportant = 0;
};

// The largest file the writer makes. The format's sizes and index offsets
// are 32-bit, so a file must end, index included, below 4 GiB.
inline constexpr std::uint64_t kAviMaxFileLength = 0xFFFFFFFFull;

// avi_add_frame's result for a frame that would take the file past its size
// limit; nothing of it is written and the file stays valid.
inline constexpr int kAviSizeLimitReached = -2;

struct avi_writer {
  int File = -1;  // the open output file
  AviMainHeader MainHeader;
  AviStreamHeader StreamHeader;
  AviVideoFormat VideoFormat;
  std::int64_t MoviSizePosition = 0;
  std::vector<std::uint32_t> Offsets;  // padded frame sizes, one per frame
  std::uint32_t OffsetsCount = 0;
  // Where the next frame goes: the end of the frames written so far.
  std::int64_t EndPosition = 0;
  // The file, index included, never grows past this many bytes.
  std::uint64_t SizeLimit = kAviMaxFileLength;
};

// Opens `path` for writing (truncating it) and writes the headers. The codec
// is always "MJPG"; `fourcc` is only checked against the known codes and a
// warning printed when it is unknown. Null when the frame rate or a
// dimension is not positive (no file is made) or the file cannot be written.
avi_writer* avi_open(const char* path, int width, int height, const char* fourcc, int frameRate);

// Appends one JPEG frame. 0 on success; -1 on a null argument or a failed
// write; kAviSizeLimitReached when the frame would take the file past its
// size limit.
int avi_add_frame(avi_writer* writer, const unsigned char* data, std::size_t length);

// Brings the file's sizes and frame counts up to date while it is still being
// written, so that a file cut short stays readable up to here; the index is
// written only by avi_close. 0 on success, -1 on failure.
int avi_update_header(avi_writer* writer);

// Replaces the frame rate written at avi_open (stream rate and the main
// header's microseconds per frame) by one measured while recording; written
// into the file by the next avi_update_header or avi_close. A rate of 0
// changes nothing. -1 for a null writer.
int avi_set_frame_rate(avi_writer* writer, std::uint32_t frameRate);

// Writes the index and the final sizes and counts, closes the file and frees
// the writer (also when a write fails). 0 on success, -1 on failure.
int avi_close(avi_writer* writer);

// True when `fourcc` names a known video format.
bool avi_fourcc_is_known(const char* fourcc);

}  // namespace ORV
