// Frame-sized memory that a new process writes all of at once: the frame
// store and the drawing surface, 3 MB each. Touched 4 KB page by page, each
// page costs a fault, and on a virtual machine a fault can cost tens of
// microseconds: a few hundred pages are a visible share of a 0.2 s render.
// Where the system has transparent huge pages, such memory asks for them.
#pragma once

#include <cstddef>

// The alignment of a large page, for memory that may get large pages; empty
// where none can be had (a Windows object file allows at most 8 KB).
#if defined(__linux__)
#define ORBELUNE_LARGE_PAGE_ALIGNED alignas(2 * 1024 * 1024)
#else
#define ORBELUNE_LARGE_PAGE_ALIGNED
#endif

// Asks for large pages over the whole large pages within [start, start +
// bytes), before they are first touched. Changes nothing that is read or
// written; does nothing where the system has no such pages.
void PreferLargePages(void* start, size_t bytes);

// bytes of zeroed memory that prefers large pages, or null; freed with
// FreeLargePages(memory, bytes).
void* AllocateLargePages(size_t bytes);
void FreeLargePages(void* memory, size_t bytes);
