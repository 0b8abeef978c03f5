// Running independent pieces of work on the machine's cores.
#pragma once

namespace qorla {

// Threads worth starting for work that splits evenly (1 or more).
int worker_count();

// Calls work(i, context) for i in [0, tasks), each on its own thread where
// one can be started, and returns when all are done. A thread that cannot
// be started has its task run on the calling thread instead.
void run_parallel(int tasks, void (*work)(int task, void* context), void* context);

}  // namespace qorla
