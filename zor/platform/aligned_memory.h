// Aligned heap blocks on every system: Windows' C runtime has no
// aligned_alloc, and its aligned blocks need their own free.
#pragma once

#include <cstddef>
#include <cstdlib>
#ifdef _WIN32
#include <malloc.h>
#endif

namespace zor::platform {

// A block of bytes aligned to alignment (a power of two; bytes a multiple
// of it); null when out of memory. Release with AlignedFree.
inline void* AlignedAlloc(std::size_t alignment, std::size_t bytes) {
#ifdef _WIN32
  return ::_aligned_malloc(bytes, alignment);
#else
  return std::aligned_alloc(alignment, bytes);
#endif
}

inline void AlignedFree(void* block) {
#ifdef _WIN32
  ::_aligned_free(block);
#else
  std::free(block);
#endif
}

}  // namespace zor::platform
