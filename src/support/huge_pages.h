// Large blocks backed by huge pages where the kernel has them free: one
// page fault and one address translation per 2 MiB instead of per 4 KiB,
// which matters when the lines and the sort's arrays are scattered over
// gigabytes. Only pages already free are asked for, so that no fault waits
// for the kernel to compact memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qorla {

// The bytes in free blocks of at least huge_page bytes, from the contents
// of /proc/buddyinfo (counts of free blocks of 2^k base pages, k = 0, 1,
// ..., per zone); 0 for text it cannot read.
std::uint64_t free_huge_bytes(std::string_view buddyinfo, std::size_t base_page, std::size_t huge_page);

// True when the free huge pages seen at the start of the run, less those
// asked for since, still cover bytes.
bool huge_pages_left(std::size_t bytes);

// Asks for huge pages for a block of size bytes whatever is free: the
// kernel may then reclaim or compact memory to find them, which is worth
// it for a block that the run will read all over many times.
void insist_on_huge_pages(void* block, std::size_t size);

// Asks for huge pages for a block of size bytes that the allocator mapped
// on its own and that now holds fresh bytes at its end, while the free huge
// pages seen at the start of the run cover them.
void advise_huge_pages(void* block, std::size_t size, std::size_t fresh);

}  // namespace qorla
