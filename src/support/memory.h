// Allocation that either succeeds or reports the failure and ends the
// process with exit status 1. Nothing is ever freed by the program.
#pragma once

#include <cstddef>

namespace qorla {

// New block of size bytes, all zero.
void* getmem(std::size_t size);

// block resized to size bytes; old contents kept up to the smaller size.
void* moremem(void* block, std::size_t size);

// Private copy of a NUL-terminated string.
char* setstr(const char* str);

// Reports and exits as a failed getmem / moremem of size bytes would. Used
// where a size cannot even be computed without overflowing.
[[noreturn]] void getmem_failed(std::size_t size);
[[noreturn]] void moremem_failed(std::size_t size);

// Test hook: when set, every request of more than this many bytes fails as
// if the allocator had returned no block. 0 means no limit.
void set_allocation_limit_for_testing(std::size_t bytes);

}  // namespace qorla

