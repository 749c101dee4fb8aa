#include <sys/mman.h>
#include <unistd.h>

#include "platform/memory.h"
#include "platform/memory_internal.h"

namespace gatekeeper::platform {
namespace internal {

char* allocatePages(std::size_t size, std::size_t* usable) {
  const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  const std::size_t rounded = (size + page - 1) / page * page;
  void* data = ::mmap(nullptr, rounded, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (data == MAP_FAILED) return nullptr;
  *usable = rounded;
  return static_cast<char*>(data);
}

void releasePages(char* data, std::size_t usable) {
  for (std::size_t done = 0; done < usable;) {
    const std::size_t piece =
        usable - done < MemoryBlock::kReleasePiece ? usable - done : MemoryBlock::kReleasePiece;
    ::munmap(data + done, piece);
    done += piece;
  }
}

}  // namespace internal

}  // namespace gatekeeper::platform
