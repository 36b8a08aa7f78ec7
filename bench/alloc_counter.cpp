// Interposes the C allocator (glibc): every malloc of the process, inside the
// shared library too, passes through here. operator new ends in malloc.
#include "bench/alloc_counter.h"

#include <malloc.h>

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void __libc_free(void*);
}

namespace {

uint64_t g_allocations = 0;
int64_t g_live = 0;
int64_t g_peak = 0;

void* Count(void* p) {
  if (p != nullptr) {
    ++g_allocations;
    g_live += static_cast<int64_t>(malloc_usable_size(p));
    if (g_live > g_peak) g_peak = g_live;
  }
  return p;
}

void Uncount(void* p) {
  if (p != nullptr) g_live -= static_cast<int64_t>(malloc_usable_size(p));
}

}  // namespace

extern "C" {

void* malloc(size_t size) { return Count(__libc_malloc(size)); }
void* calloc(size_t n, size_t size) { return Count(__libc_calloc(n, size)); }
void* realloc(void* p, size_t size) {
  Uncount(p);
  return Count(__libc_realloc(p, size));
}
void* memalign(size_t alignment, size_t size) { return Count(__libc_memalign(alignment, size)); }
void* aligned_alloc(size_t alignment, size_t size) { return Count(__libc_memalign(alignment, size)); }
int posix_memalign(void** out, size_t alignment, size_t size) {
  *out = Count(__libc_memalign(alignment, size));
  return *out == nullptr ? 12 : 0;
}
void free(void* p) {
  Uncount(p);
  __libc_free(p);
}

}  // extern "C"

namespace wendrake_bench {

HeapStats Heap() { return HeapStats{g_allocations, g_live, g_peak}; }
void ResetPeak() { g_peak = g_live; }

}  // namespace wendrake_bench
