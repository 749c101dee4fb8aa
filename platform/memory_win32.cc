#include <windows.h>

#include "platform/memory.h"
#include "platform/memory_internal.h"

namespace gatekeeper::platform {
namespace internal {

char* allocatePages(std::size_t size, std::size_t* usable) {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  const std::size_t unit = info.dwAllocationGranularity;
  const std::size_t rounded = (size + unit - 1) / unit * unit;
  void* data = VirtualAlloc(nullptr, rounded, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (data == nullptr) return nullptr;
  *usable = rounded;
  return static_cast<char*>(data);
}

void releasePages(char* data, std::size_t usable) {
  // A reservation is released only as a whole: its pages are decommitted piece by piece first.
  for (std::size_t done = 0; done < usable;) {
    const std::size_t piece =
        usable - done < MemoryBlock::kReleasePiece ? usable - done : MemoryBlock::kReleasePiece;
    VirtualFree(data + done, piece, MEM_DECOMMIT);
    done += piece;
  }
  VirtualFree(data, 0, MEM_RELEASE);
}

}  // namespace internal

}  // namespace gatekeeper::platform
