// An allocator for arrays that grow to megabytes while a log is read: blocks
// of 1 MB and more are mapped on their own, in whole 2 MB pages aligned to
// 2 MB and advised into transparent huge pages, so that filling them costs
// one page fault per 2 MB instead of one per 4 KB (on a virtual machine a
// fault costs microseconds). A block takes at most 2 MB more than it asked
// for. Smaller blocks come from the heap as usual.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace wendrake_cli {

namespace huge_pages {

inline constexpr size_t kHugePage = size_t{2} << 20;
inline constexpr size_t kThreshold = size_t{1} << 20;

// Bytes mapped for a block of `bytes`: whole huge pages.
constexpr size_t Rounded(size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }

// Maps `bytes` (a multiple of kHugePage) at a 2 MB boundary; nullptr on failure.
inline void* Map(size_t bytes) {
#if defined(__linux__)
  // Room for the alignment, given back on both sides once aligned.
  const size_t mapped = bytes + kHugePage;
  void* raw = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  const uintptr_t begin = reinterpret_cast<uintptr_t>(raw);
  const uintptr_t aligned = (begin + kHugePage - 1) & ~uintptr_t{kHugePage - 1};
  if (aligned > begin) munmap(raw, aligned - begin);
  const uintptr_t end = begin + mapped, used = aligned + bytes;
  if (end > used) munmap(reinterpret_cast<void*>(used), end - used);
  madvise(reinterpret_cast<void*>(aligned), bytes, MADV_HUGEPAGE);
  return reinterpret_cast<void*>(aligned);
#else
  return std::malloc(bytes);
#endif
}

inline void Unmap(void* data, size_t bytes) {
#if defined(__linux__)
  munmap(data, bytes);
#else
  (void)bytes;
  std::free(data);
#endif
}

}  // namespace huge_pages

template <typename T>
struct HugePageAllocator {
  using value_type = T;

  HugePageAllocator() = default;
  template <typename U>
  HugePageAllocator(const HugePageAllocator<U>&) {}

  T* allocate(size_t n) {
    const size_t bytes = n * sizeof(T);
    void* data = bytes >= huge_pages::kThreshold ? huge_pages::Map(huge_pages::Rounded(bytes)) : std::malloc(bytes);
    if (data == nullptr) throw std::bad_alloc();
    return static_cast<T*>(data);
  }

  void deallocate(T* data, size_t n) {
    const size_t bytes = n * sizeof(T);
    if (bytes >= huge_pages::kThreshold) {
      huge_pages::Unmap(data, huge_pages::Rounded(bytes));
    } else {
      std::free(data);
    }
  }

  template <typename U>
  bool operator==(const HugePageAllocator<U>&) const { return true; }
};

}  // namespace wendrake_cli
