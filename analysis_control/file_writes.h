#pragma once
// Positioned writes that finish the job: a write that the system takes in
// parts is continued until every byte is in the file.
#include <sys/uio.h>

#include <cstddef>
#include <cstdint>

namespace ORV {

// Writes every byte of the buffers at `position` of the open file `fd`,
// leaving the file offset alone. False, with errno set, when a write fails.
// The buffers are advanced over what was written. (A single buffer is
// written with OS::WriteAllAt.)
bool WriteAllAt(int fd, std::int64_t position, iovec* buffers, int count);

}  // namespace ORV
