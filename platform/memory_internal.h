// The page services behind MemoryBlock, one implementation per platform; not part of the
// public interface.
#ifndef GATEKEEPER_PLATFORM_MEMORY_INTERNAL_H_
#define GATEKEEPER_PLATFORM_MEMORY_INTERNAL_H_

#include <cstddef>

namespace gatekeeper::platform::internal {

// Whole pages, read and write, for at least `size` bytes; *usable receives their size.
// nullptr when the system refuses.
char* allocatePages(std::size_t size, std::size_t* usable);
// Gives back pages from allocatePages (usable as it was returned), kReleasePiece at a time.
void releasePages(char* data, std::size_t usable);

}  // namespace gatekeeper::platform::internal

#endif  // GATEKEEPER_PLATFORM_MEMORY_INTERNAL_H_
