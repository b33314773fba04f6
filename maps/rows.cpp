// A small pool of std::threads that share the rows of a grid through one atomic counter.
#include "maps/rows.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

int effectiveThreads(int threads) {
    if (threads > 0) return threads;
    const unsigned n = std::thread::hardware_concurrency();
    return n > 0 ? static_cast<int>(n) : 1;
}

void forEachRow(int rows, int threads, const std::function<void(int)> &work,
                const std::function<void(int)> &progress) {
    std::atomic<int> next{0}, done{0};
    auto worker = [&] {
        for (int row; (row = next.fetch_add(1, std::memory_order_relaxed)) < rows;) {
            work(row);
            done.fetch_add(1, std::memory_order_release);
        }
    };
    const int n = std::min(effectiveThreads(threads), std::max(rows, 1));
    std::vector<std::thread> pool;
    pool.reserve(n - 1);
    for (int i = 1; i < n; ++i)
        pool.emplace_back(worker);
    // The calling thread takes rows as well and reports between them.
    for (int row; (row = next.fetch_add(1, std::memory_order_relaxed)) < rows;) {
        work(row);
        const int d = done.fetch_add(1, std::memory_order_acq_rel) + 1;
        if (progress) progress(d);
    }
    for (std::thread &t : pool)
        t.join();
    if (progress) progress(rows);
}
