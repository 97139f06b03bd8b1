#include "platform/LargePages.h"

#include <cstdint>
#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>

constexpr uintptr_t kLargePage = 2 * 1024 * 1024;

void PreferLargePages(void* start, size_t bytes) {
  const uintptr_t begin = ((uintptr_t)start + kLargePage - 1) & ~(kLargePage - 1);
  const uintptr_t end = ((uintptr_t)start + bytes) & ~(kLargePage - 1);
  if (end > begin) madvise((void*)begin, end - begin, MADV_HUGEPAGE);
}

// A mapping of whole large pages, aligned to one: fresh anonymous memory is
// zero, and is given back whole.
static size_t MappedSize(size_t bytes) {
  return (bytes + kLargePage - 1) & ~(kLargePage - 1);
}

void* AllocateLargePages(size_t bytes) {
  const size_t size = MappedSize(bytes);
  // Room to align the start; what lies outside is unmapped at once.
  char* mapped = (char*)mmap(nullptr, size + kLargePage, PROT_READ | PROT_WRITE,
                             MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  char* start = (char*)(((uintptr_t)mapped + kLargePage - 1) & ~(kLargePage - 1));
  if (start > mapped) munmap(mapped, start - mapped);
  const size_t after = (mapped + size + kLargePage) - (start + size);
  if (after > 0) munmap(start + size, after);
  madvise(start, size, MADV_HUGEPAGE);
  return start;
}

void FreeLargePages(void* memory, size_t bytes) {
  if (memory != nullptr) munmap(memory, MappedSize(bytes));
}
#else
void PreferLargePages(void*, size_t) {}

void* AllocateLargePages(size_t bytes) {
  return std::calloc(bytes, 1);
}

void FreeLargePages(void* memory, size_t) {
  std::free(memory);
}
#endif
