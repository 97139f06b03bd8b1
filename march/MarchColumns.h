// The fast render pass's columns, computed in parallel.
#pragma once

#include <functional>
#include <thread>

#include "march/FastMarch.h"

// Receives column x's 769 packed colours, top to bottom.
using ColumnSink = void (*)(void* context, int x, const PackedColour* column);

// The number of threads to compute with: requested, or all cores for 0.
int RenderThreadCount(int requested);

// Computes every column with the fast march on `threads` threads (at most
// one per column), the calling thread and threads - 1 workers, and calls
// drawColumn for x = 0 to 1024, in that order, on the calling thread
// alone: each column's packed colours once it is complete, as soon as the
// calling thread is between columns of its own. Where workers cannot be
// started, the threads that did start share the work.
void MarchColumns(const MarchContext& march, int threads, ColumnSink drawColumn, void* context);

// Computes column x with the working storage given.
using ColumnWork = std::function<void(ContributionLists& lists, int x)>;

// Calls work once for every column, on `threads` threads (at most one per
// column): the calling thread and threads - 1 workers, each taking the
// next column in turn, each with storage of its own. The calling thread
// calls between() after each column of its own, and finish() once no
// column is left to take, before waiting for the workers (either may be
// empty). Where workers cannot be started, the threads that did start
// share the work. Every thread started is joined, whatever throws.
void ShareColumns(int threads, const ColumnWork& work, const std::function<void()>& between,
                  const std::function<void()>& finish);

// Receives column x, on the calling thread.
using ColumnDraw = std::function<void(int x)>;

// Calls work once for every column as ShareColumns does, and draw(x) for
// x = 0 to 1024, in that order, on the calling thread alone, each once its
// work has returned: after each column of the calling thread's own, every
// column complete by then; once none is left to take, the rest as they
// complete.
void ShareColumnsInOrder(int threads, const ColumnWork& work, const ColumnDraw& draw);

// Starts one worker thread; throws std::system_error where the system
// cannot. Tests put another in its place.
extern std::thread (*pfnStartWorker)(std::function<void()> work);
