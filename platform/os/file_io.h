#pragma once
// Writes that finish the job: a write the system takes in parts is continued
// until every byte is in the file; an interrupted call is retried.
#include <cstddef>
#include <cstdint>

namespace ORV::OS {

// Writes at the file offset. Returns how many bytes reached the file, which
// is less than `size` only when a write failed (errno says why).
std::size_t WriteAll(int fd, const void* data, std::size_t size);

// Writes at `offset`, leaving the file offset alone. False when a write failed.
bool WriteAllAt(int fd, const void* data, std::size_t size, std::uint64_t offset);

}  // namespace ORV::OS
