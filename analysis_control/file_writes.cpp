#include "analysis_control/file_writes.h"

#include <sys/types.h>
#include <unistd.h>

#include <cerrno>

namespace ORV {

bool WriteAllAt(int fd, std::int64_t position, iovec* buffers, int count) {
  while (count > 0) {
    const ssize_t n = pwritev(fd, buffers, count, static_cast<off_t>(position));
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {
      errno = EIO;
      return false;
    }
    position += n;
    auto left = static_cast<std::size_t>(n);
    while (count > 0 && left >= buffers->iov_len) {
      left -= buffers->iov_len;
      ++buffers;
      --count;
    }
    if (count > 0) {
      buffers->iov_base = static_cast<char*>(buffers->iov_base) + left;
      buffers->iov_len -= left;
    }
  }
  return true;
}

}  // namespace ORV
