#include "support/memory.h"

#include <atomic>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <malloc.h>

#include "support/huge_pages.h"
#include "support/memory_budget.h"
#include "support/messages.h"

namespace qorla {

namespace {

std::size_t allocation_limit = 0;

bool over_limit(std::size_t size) {
  return allocation_limit != 0 && size > allocation_limit;
}

// Bytes the run holds through these routines. A block counts at the
// allocator's usable size, which a given-back or resized block can report
// again, so that the count returns exactly what it took.
std::atomic<std::size_t> held{0};

// Blocks of 1 MiB or more get mappings of their own, always: one that
// grows is then moved by the kernel without a copy, and huge pages can be
// asked for it alone. (Left to itself the allocator raises this bound as
// blocks are given back, up to 32 MiB.)
const bool own_mappings = [] {
  ::mallopt(M_MMAP_THRESHOLD, 1 << 20);
  return true;
}();

std::atomic<std::size_t>& budget() {
  static std::atomic<std::size_t> bytes{static_cast<std::size_t>(work_out_memory_budget())};
  return bytes;
}

// Counts bytes more as held, unless they are past the budget.
bool take(std::size_t bytes) {
  const std::size_t limit = budget().load(std::memory_order_relaxed);
  std::size_t now = held.load(std::memory_order_relaxed);
  do {
    if (bytes > limit || now > limit - bytes) return false;
  } while (!held.compare_exchange_weak(now, now + bytes, std::memory_order_relaxed));
  return true;
}

// Moves the count of block from the bytes taken for it to its usable size.
void recount(std::size_t taken, void* block) {
  const std::size_t usable = malloc_usable_size(block);
  if (usable >= taken) {
    held.fetch_add(usable - taken, std::memory_order_relaxed);
  } else {
    held.fetch_sub(taken - usable, std::memory_order_relaxed);
  }
}

// Sizes reach the messages as int, as the messages print them with %d.
int as_int(std::size_t n) {
  return n > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(n);
}

}  // namespace

void set_allocation_limit_for_testing(std::size_t bytes) { allocation_limit = bytes; }

void set_memory_left_for_testing(std::size_t bytes) {
  const std::size_t now = held.load();
  budget().store(bytes > SIZE_MAX - now ? SIZE_MAX : now + bytes);
}

// Sizes above 1000 bytes are given in K of k_unit bytes.
[[noreturn]] void size_failed(const char* k_format, const char* byte_format, std::size_t size,
                              std::size_t k_unit) {
  if (size > 1000) {
    errmsg(k_format, as_int(size / k_unit));
  } else {
    errmsg(byte_format, as_int(size));
  }
  std::exit(1);
}

void getmem_failed(std::size_t size) {
  size_failed("\ncannot get the memory of %d K bytes\n", "\ncannot get the memory of %d bytes\n", size, 1024);
}

void moremem_failed(std::size_t size) {
  size_failed("cannot get the memory of %d K bytes\n", "cannot get the memory of %d bytes\n", size, 1000);
}

void* getmem(std::size_t size) {
  // calloc hands large blocks over as fresh zero pages, so clearing costs
  // nothing until the memory is used.
  const std::size_t n = size == 0 ? 1 : size;
  void* block = over_limit(size) || !take(n) ? nullptr : std::calloc(n, 1);
  if (block == nullptr) getmem_failed(size);
  advise_huge_pages(block, n, n);
  recount(n, block);
  return block;
}

void* moremem(void* block, std::size_t size) {
  const std::size_t n = size == 0 ? 1 : size;
  const std::size_t old = block == nullptr ? 0 : malloc_usable_size(block);
  const std::size_t growth = n > old ? n - old : 0;
  void* resized = over_limit(size) || !take(growth) ? nullptr : std::realloc(block, n);
  if (resized == nullptr) moremem_failed(size);
  advise_huge_pages(resized, n, growth);
  recount(old + growth, resized);
  return resized;
}

char* setstr(const char* str) {
  const std::size_t n = std::strlen(str) + 1;
  char* copy = over_limit(n) || !take(n) ? nullptr : static_cast<char*>(std::malloc(n));
  if (copy == nullptr) {
    errmsg("cannot get memory\n");
    std::exit(1);
  }
  recount(n, copy);
  std::memcpy(copy, str, n);
  return copy;
}

void freemem(void* block) {
  if (block == nullptr) return;
  held.fetch_sub(malloc_usable_size(block), std::memory_order_relaxed);
  std::free(block);
}

bool hold_memory(std::size_t bytes) { return take(bytes); }

void release_memory(std::size_t bytes) { held.fetch_sub(bytes, std::memory_order_relaxed); }

bool memory_fits(std::size_t bytes) {
  const std::size_t limit = budget().load(std::memory_order_relaxed);
  return bytes <= limit && held.load(std::memory_order_relaxed) <= limit - bytes;
}

}  // namespace qorla

