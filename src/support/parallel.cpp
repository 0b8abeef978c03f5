#include "support/parallel.h"

#include <pthread.h>
#include <unistd.h>

namespace qorla {

namespace {

constexpr int kMaxWorkers = 64;
constexpr std::size_t kStackSize = std::size_t{512} << 10;

struct Task {
  void (*work)(int, void*);
  void* context;
  int index;
};

void* run_task(void* arg) {
  const Task* task = static_cast<const Task*>(arg);
  task->work(task->index, task->context);
  return nullptr;
}

// The work recurses only a few dozen frames deep: small stacks keep the
// address space, which a limit may count, for the data.
bool start(pthread_t* thread, void* (*work)(void*), void* argument) {
  pthread_attr_t attr;
  if (::pthread_attr_init(&attr) != 0) return false;
  const bool small = ::pthread_attr_setstacksize(&attr, kStackSize) == 0;
  const bool started = ::pthread_create(thread, small ? &attr : nullptr, work, argument) == 0;
  ::pthread_attr_destroy(&attr);
  return started;
}

}  // namespace

bool start_detached(void* (*work)(void*), void* argument) {
  pthread_t thread;
  if (!start(&thread, work, argument)) return false;
  ::pthread_detach(thread);
  return true;
}

std::size_t part_begin(std::size_t n, int parts, int part, std::size_t align) {
  if (part >= parts) return n;
  const auto p = static_cast<std::size_t>(parts), k = static_cast<std::size_t>(part);
  const std::size_t begin = n / p * k + (k < n % p ? k : n % p);
  return begin & ~(align - 1);
}

int worker_count() {
  const long n = ::sysconf(_SC_NPROCESSORS_ONLN);
  if (n < 1) return 1;
  return n > kMaxWorkers ? kMaxWorkers : static_cast<int>(n);
}

void run_parallel(int tasks, void (*work)(int task, void* context), void* context) {
  if (tasks <= 1) {
    if (tasks == 1) work(0, context);
    return;
  }
  Task task[kMaxWorkers];
  pthread_t thread[kMaxWorkers];
  bool started[kMaxWorkers] = {};
  const int threaded = tasks < kMaxWorkers ? tasks : kMaxWorkers;
  // Task 0 and any beyond the thread limit run here; the others get
  // threads where possible.
  for (int i = 1; i < threaded; ++i) {
    task[i] = Task{work, context, i};
    started[i] = start(&thread[i], run_task, &task[i]);
  }
  work(0, context);
  for (int i = threaded; i < tasks; ++i) work(i, context);
  for (int i = 1; i < threaded; ++i) {
    if (started[i]) {
      ::pthread_join(thread[i], nullptr);
    } else {
      work(i, context);
    }
  }
}

}  // namespace qorla
