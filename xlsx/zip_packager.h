#pragma once
// ZipWriter: writes a ZIP archive from files on disk, front to back, with
// entries deflated by the engine of xlsx/deflate.h or stored. After each
// entry's data the entry's local header is rewritten with the final CRC and
// sizes, so no data descriptors are written. No encryption, no archive
// comment, no ZIP64: an archive holds fewer than 65,535 entries and stays
// below 4 GiB; an entry that would pass either limit is refused.
//
// Usage: Create, AddFile any number of times, Close (which writes the
// central directory and frees the handle).
#include <cstdint>
#include <string>

namespace Xlsx {

// Result codes (0 = success).
inline constexpr std::uint32_t kZipOk = 0;
// The target file cannot be created, or a source file cannot be opened.
inline constexpr std::uint32_t kZipOpenFailed = 0x200;
// A write fell short, reading the source failed, the engine failed, or the
// archive would pass the format's size or entry-count limits.
inline constexpr std::uint32_t kZipWriteFailed = 0x400;
// No handle, or an entry name that is empty or too long.
inline constexpr std::uint32_t kZipBadArgument = 0x10000;
// The handle is not an archive writer.
inline constexpr std::uint32_t kZipNotWriter = 0x80000;

// The mode of a handle made by ZipWriter::Create.
inline constexpr std::uint32_t kZipWriterMode = 2;

struct ZipArchiveState;

struct ZipHandle {
  std::uint32_t mode = 0;
  ZipArchiveState* state = nullptr;
};

class ZipWriter {
 public:
  // Creates (or replaces) the archive file. Returns nullptr on failure, with
  // the last result set to kZipOpenFailed.
  static ZipHandle* Create(const std::string& fileName);

  // Adds the file at sourcePath under entryName ("\" becomes "/"). Names
  // ending in ".Z", ".zip", ".zoo", ".arc", ".lzh", ".arj", ".gz" or ".tgz"
  // are stored, all others deflated.
  static std::uint32_t AddFile(ZipHandle* handle, const std::string& entryName, const std::string& sourcePath);

  // Writes the central directory and the end record, closes the file and
  // frees the handle (also when writing failed).
  static std::uint32_t Close(ZipHandle* handle);

  // The result of the latest operation of any archive in the process.
  static std::uint32_t LastResult();
};

}  // namespace Xlsx
