// Allocation that either succeeds or reports the failure and ends the
// process with exit status 1. Every routine that grows what the run holds
// first checks the run's memory budget (memory_budget.h) and fails, as if
// the allocator had no block, when the request is past what is left.
#pragma once

#include <cstddef>

namespace qorla {

// New block of size bytes, all zero.
void* getmem(std::size_t size);

// block resized to size bytes; old contents kept up to the smaller size.
// Only the growth counts against the budget.
void* moremem(void* block, std::size_t size);

// Private copy of a NUL-terminated string.
char* setstr(const char* str);

// Gives back a block from getmem, moremem or setstr (or nothing, for null);
// its bytes return to the budget.
void freemem(void* block);

// Whether bytes more would fit the budget now: for work that can tell its
// peak ahead and would rather not stop halfway.
bool memory_fits(std::size_t bytes);

// Counts bytes that the run holds outside the allocator (a mapped file) as
// held for good, when the budget leaves room for them; false otherwise.
bool hold_memory(std::size_t bytes);
void release_memory(std::size_t bytes);

// Reports and exits as a failed getmem / moremem of size bytes would. Used
// where a size cannot even be computed without overflowing.
[[noreturn]] void getmem_failed(std::size_t size);
[[noreturn]] void moremem_failed(std::size_t size);

// Test hook: when set, every request of more than this many bytes fails as
// if the allocator had returned no block. 0 means no limit.
void set_allocation_limit_for_testing(std::size_t bytes);

// Test hook: from now on the routines may hold at most bytes more than
// they hold now.
void set_memory_left_for_testing(std::size_t bytes);

}  // namespace qorla
