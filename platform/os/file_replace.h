#pragma once
// Replacing a file so that it is always either the old or the new complete
// file: the new content goes to a temporary file in the target's folder,
// which is flushed to disk and renamed over the target; the folder is
// flushed after the rename.
//
// Permissions: a replaced file keeps the permission bits of the file it
// replaces; a file that did not exist before is made with kNewFileMode.
//
// The temporary file is named "." + the target's name + ".tmpXXXXXX" (X a
// random character); a name that would be longer than the file system's
// limit of 255 bytes keeps only the start of the target's name, cut at a
// character boundary, so every name the file system accepts can be replaced.
#include <sys/types.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace ORV::OS {

// Mode of a file that a replacement creates: read and write for its owner,
// read for everyone else.
inline constexpr mode_t kNewFileMode = 0644;

// One replacement. The constructor makes the temporary file; the caller
// writes to Descriptor() (or to TempPath() by name) and calls Commit(). An
// uncommitted replacement removes its temporary file when destroyed.
class FileReplacement {
 public:
  explicit FileReplacement(std::string target);
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // False when the temporary file could not be made (no such folder, not
  // writable).
  bool IsOpen() const { return fd_ >= 0; }
  // The temporary file, open for writing; -1 once committed or abandoned.
  int Descriptor() const { return fd_; }
  const std::string& TempPath() const { return temp_; }
  const std::string& Target() const { return target_; }

  // Flushes the temporary file to disk and closes it; false (and the
  // temporary file removed) when that fails. Commit does this itself; a
  // caller that must tell a failed write from a failed rename calls it first.
  bool Flush();
  // Flushes and closes the temporary file, renames it over the target and
  // flushes the folder. False, with the target untouched and the temporary
  // file removed, when a step fails.
  bool Commit();
  // Drops the temporary file; the target stays as it was.
  void Abandon();

 private:
  std::string target_;
  std::string folder_;
  std::string temp_;
  int fd_ = -1;
  bool flushed_ = false;
};

// Replaces `path` with `data` in one step, as above.
bool AtomicWriteFile(const std::string& path, std::span<const std::uint8_t> data);
bool AtomicWriteFile(const std::string& path, std::string_view data);

// Test hook: while set, a replacement stops after the temporary file is
// written and flushed, leaves it behind and returns false, as a crash between
// the write and the rename would.
void SetAtomicWriteInterruptForTesting(bool interrupt);

// The temporary name used for `targetName` (a bare file name), before the
// six random characters replace its "XXXXXX".
std::string ReplacementTempName(std::string_view targetName);

}  // namespace ORV::OS
