#pragma once
// The deflate engine of the ZIP packager: compresses one archive entry at a
// time into a raw deflate stream (RFC 1951, no zlib or gzip wrapper) at
// compression level 8 (the packager's) with lazy match evaluation, or at
// levels 1 to 3 with greedy matching, over a 32 KiB sliding window and hash
// chains, choosing per block between stored, fixed-code and
// dynamic-code blocks. At the lazy levels every position is also kept on
// chains of positions that share its first 8, 12, 16 or 20 bytes, so that a
// search passes over the candidates that cannot beat the match it holds: it
// takes the very matches a walk along the hash chain takes.
//
// One state serves every entry of an archive: it is made by the first
// DeflateEntry call and reused by the later ones, so compressing many entries
// allocates nothing per entry.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

namespace Xlsx {

// Reads up to maxBytes of the entry's input into buffer and returns the
// number of bytes read; 0 or -1 means the end of the input.
using DeflateReader = std::function<long(std::uint8_t* buffer, std::size_t maxBytes)>;

// Writes the first `count` bytes of buffer to the output. Sets count to 0
// when all of them were written and leaves it unchanged when the write fell
// short.
using DeflateFlush = std::function<void(const std::uint8_t* buffer, std::size_t& count)>;

struct DeflateState;
struct DeflateStateDeleter {
  void operator()(DeflateState* state) const;
};
using DeflateStatePtr = std::unique_ptr<DeflateState, DeflateStateDeleter>;

struct DeflateResult {
  // Bytes of compressed output produced for the entry.
  std::uint64_t compressedSize = 0;
  // True when the output could not be written or an internal consistency
  // check failed; the entry's data is then unusable.
  bool failed = false;
  // What failed, for diagnostics (never shown to a user), or nullptr.
  const char* error = nullptr;
};

// The smallest output buffer the engine works with.
inline constexpr std::size_t kDeflateMinOutputBuffer = 16;

// The level the packager uses.
inline constexpr int kDeflateLevel = 8;

// Compresses the whole input of one entry at `level` (1 to 8; levels 1 to 3
// take each match greedily, the others evaluate matches lazily). `state` is
// created when empty and reused otherwise. The output goes through
// `outputBuffer` (at least kDeflateMinOutputBuffer bytes) and `flush`; every
// byte is flushed when the call returns. Sets the compression-level bits of
// a ZIP entry's flags in `entryFlags`: bit 1 (0x0002) at level 8, bit 2
// (0x0004) at levels 1 and 2.
DeflateResult DeflateEntry(DeflateStatePtr& state, const DeflateReader& read, const DeflateFlush& flush,
                           std::span<std::uint8_t> outputBuffer, std::uint16_t& entryFlags, int level = kDeflateLevel);

}  // namespace Xlsx
