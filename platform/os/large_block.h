#pragma once
// Memory for long record lists. A block of kLargeBlockBytes is aligned to
// its size and asked to be backed by huge pages, so filling a list of
// hundreds of megabytes costs one page fault per 2 MiB instead of one per
// 4 KiB (on a virtual machine each fault is expensive).
#include <cstddef>

namespace ORV::OS {

inline constexpr std::size_t kLargeBlockBytes = std::size_t{2} << 20;

// A block of kLargeBlockBytes; throws std::bad_alloc when none is left.
void* AllocateLargeBlock();
void FreeLargeBlock(void* block) noexcept;

}  // namespace ORV::OS
