#include "platform/os/user_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace ORV::OS {

namespace {

FileProblem ProblemOfErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return FileProblem::Missing;
    case ELOOP:
      return FileProblem::LinkLoop;
    case EACCES:
    case EPERM:
      return FileProblem::NotAllowed;
    case EISDIR:
      return FileProblem::Folder;
    case ENXIO:
    case ENODEV:
      return FileProblem::NotAFile;
    default:
      return FileProblem::Unreadable;
  }
}

}  // namespace

int OpenUserFile(const std::string& path, std::uint64_t maxBytes, FileCheck& check) {
  check = FileCheck{};
  if (path.empty()) {
    check.problem = FileProblem::Missing;
    check.error = ENOENT;
    return -1;
  }
  // Not blocking: a named pipe with no writer would otherwise hold the
  // open (and the program) until someone writes to it.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    check.error = errno;
    check.problem = ProblemOfErrno(check.error);
    return -1;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    check.error = errno;
    check.problem = FileProblem::Unreadable;
    ::close(fd);
    return -1;
  }
  if (!S_ISREG(st.st_mode)) {
    check.problem = S_ISDIR(st.st_mode) ? FileProblem::Folder : FileProblem::NotAFile;
    ::close(fd);
    return -1;
  }
  check.size = static_cast<std::uint64_t>(st.st_size);
  if (check.size == 0) {
    check.problem = FileProblem::Empty;
  } else if (maxBytes != 0 && check.size > maxBytes) {
    check.problem = FileProblem::TooLarge;
  }
  if (check.problem != FileProblem::None) {
    ::close(fd);
    return -1;
  }
  // Reads of a regular file block as they should.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

FileCheck CheckUserFile(const std::string& path, std::uint64_t maxBytes) {
  FileCheck check;
  const int fd = OpenUserFile(path, maxBytes, check);
  if (fd >= 0) ::close(fd);
  return check;
}

std::string DescriptorPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

}  // namespace ORV::OS
