#include "platform/os/large_block.h"

#include <sys/mman.h>

#include <cstdlib>
#include <new>

namespace ORV::OS {

void* AllocateLargeBlock() {
  void* block = std::aligned_alloc(kLargeBlockBytes, kLargeBlockBytes);
  if (block == nullptr) throw std::bad_alloc();
  // Only advice: without huge pages the block works the same.
  madvise(block, kLargeBlockBytes, MADV_HUGEPAGE);
  return block;
}

void FreeLargeBlock(void* block) noexcept { std::free(block); }

}  // namespace ORV::OS
