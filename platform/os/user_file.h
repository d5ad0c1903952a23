#pragma once
// Opening a file the user named (on the command line, in a file dialog, from
// the desktop) for reading, so that whatever the path turns out to be the
// program neither blocks nor reads what is not a file: a named pipe, a
// device or a socket is refused without being waited on, a folder, a loop of
// symbolic links, an empty file and a file above the caller's size limit are
// refused, and the reason is told apart for the user's message.
#include <cstdint>
#include <string>

namespace ORV::OS {

enum class FileProblem {
  None,
  Missing,     // no such file (or a folder on the way is missing)
  Folder,      // a folder, not a file
  NotAFile,    // a named pipe, a device or a socket
  LinkLoop,    // symbolic links that lead round in a circle
  NotAllowed,  // the user may not read it
  Empty,       // no byte in it
  TooLarge,    // larger than the caller's limit
  Unreadable,  // any other reason it cannot be read (errno says which)
};

struct FileCheck {
  FileProblem problem = FileProblem::None;
  int error = 0;           // the system's errno behind Unreadable (and the others where there was one)
  std::uint64_t size = 0;  // bytes, when the file could be looked at
};

// Opens `path` for reading, close-on-exec; the descriptor, or -1 with the
// problem in `check`. Never blocks on the path. `maxBytes` 0 means no limit.
int OpenUserFile(const std::string& path, std::uint64_t maxBytes, FileCheck& check);
// The same check without keeping the file open.
FileCheck CheckUserFile(const std::string& path, std::uint64_t maxBytes = 0);
// A path by which the file open as `fd` can be opened again (the same file,
// whatever happens to `path` meanwhile), for readers that take a path.
std::string DescriptorPath(int fd);

}  // namespace ORV::OS
