// Work split by rows over a few threads, with progress reported on the calling thread.
#pragma once

#include <functional>

// Runs work(row) for every row 0..rows-1 on `threads` threads (1 or more; 0 means one per
// hardware thread), each thread taking the next row not yet taken. The calling thread works
// too; between its rows it calls progress(rowsDone) when given. Returns after every row is done.
void forEachRow(int rows, int threads, const std::function<void(int row)> &work,
                const std::function<void(int rowsDone)> &progress = {});

// The number of threads `threads` stands for (0: the hardware's, at least 1).
int effectiveThreads(int threads);
