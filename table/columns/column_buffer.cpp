#include "table/columns/column_buffer.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace wendrake {

void AdviseHugePages(void* data, size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  // Only whole 2 MB pages inside the block can be huge.
  constexpr uintptr_t kHuge = uintptr_t{2} << 20;
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + kHuge - 1) & ~(kHuge - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + bytes) & ~(kHuge - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)data;
  (void)bytes;
#endif
}

void PrefaultPages(void* data, size_t bytes) {
#if defined(__linux__)
  // One call maps the pages (huge ones where advised) instead of one page
  // fault each, which on a virtual machine costs more than writing the page.
  // Kernels before 5.14 refuse the advice: the pages then fault as usual.
  constexpr int kPopulateWrite = 23;  // MADV_POPULATE_WRITE
  const uintptr_t begin = reinterpret_cast<uintptr_t>(data) & ~uintptr_t{kSmallPage - 1};
  const uintptr_t end = reinterpret_cast<uintptr_t>(data) + bytes;
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, kPopulateWrite);
#else
  (void)data;
  (void)bytes;
#endif
}

}  // namespace wendrake
