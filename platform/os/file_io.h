#pragma once
// Writes that finish the job: a write the system takes in parts is continued
// until every byte is in the file; an interrupted call is retried.
//
// Write faults: a folder can be made to fail every write into it as a full
// or a read-only disk does (the simulated lab's disk switches and the tests
// use it, so the program's own handling of such a disk is what runs). While
// none is set, the writes pay one atomic load for it.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace ORV::OS {

// Writes at the file offset. Returns how many bytes reached the file, which
// is less than `size` only when a write failed (errno says why).
std::size_t WriteAll(int fd, const void* data, std::size_t size);

// Writes at `offset`, leaving the file offset alone. False when a write failed.
bool WriteAllAt(int fd, const void* data, std::size_t size, std::uint64_t offset);

// From now on every write into a file under `folder` (the folder itself and
// everything below it) fails with `error`: ENOSPC as on a full disk (files
// can still be made, no byte goes into them), EROFS as on a read-only disk
// (no file can be made either). An error of 0 takes the folder's fault away.
// With `after`, the files under the folder still take that many bytes in
// all, as a disk that fills does: the write that would go beyond puts in
// what fits, and that write and all later ones fail.
void SetWriteFault(const std::string& folder, int error, std::uint64_t after = 0);
// From now on a flush to disk of a file under `folder` fails with `error`
// while its writes still go in, as on a disk that takes the bytes into memory
// and refuses them only when it writes them out (a network or thinly
// provisioned disk). An error of 0 takes the folder's fault away.
void SetFlushFault(const std::string& folder, int error);
void ClearWriteFaults();
// Flushes the file open as `fd` to its disk (its data alone with
// `dataOnly`). False, with errno, when that fails.
bool FlushToDisk(int fd, bool dataOnly = false);
// The bytes a write into `folder` may still put on its disk: the file
// system's free space, or the room a write fault leaves (none on a full or
// read-only disk). Empty when the file system cannot say.
std::optional<std::uint64_t> FreeBytes(const std::string& folder);
// The system's words for why a write failed, for a message that ends with
// them ("No space left on device"); "the reason is not known" for 0.
std::string WriteErrorText(int error);
// The error a write into `path` meets now; 0 when none.
int WriteFaultAt(const std::string& path);
// The same for the file open as `fd`.
int WriteFaultOf(int fd);

}  // namespace ORV::OS
