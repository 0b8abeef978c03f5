// Running independent pieces of work on the machine's cores.
#pragma once

#include <cstddef>

namespace qorla {

// Start of part i of [0, n) split into parts of near-equal size, moved
// down to a multiple of align (a power of two) so that parts can own whole
// words of bit or byte arrays; part == parts gives n.
std::size_t part_begin(std::size_t n, int parts, int part, std::size_t align = 1);

// Threads worth starting for work that splits evenly (1 or more).
int worker_count();

// Starts work(argument) on a thread of its own that nobody waits for;
// false when no thread can be started.
bool start_detached(void* (*work)(void*), void* argument);

// Calls work(i, context) for i in [0, tasks), each on its own thread where
// one can be started, and returns when all are done. A thread that cannot
// be started has its task run on the calling thread instead.
void run_parallel(int tasks, void (*work)(int task, void* context), void* context);

}  // namespace qorla
