#include "support/huge_pages.h"

#include <atomic>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

#include "support/memory_budget.h"

namespace qorla {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
// Smaller blocks gain too little to be worth a system call.
constexpr std::size_t kWorthIt = 2 * kHugePage;

std::atomic<std::uint64_t>& huge_left() {
  static std::atomic<std::uint64_t> left = [] {
    char text[4096];
    const long page = ::sysconf(_SC_PAGESIZE);
    return free_huge_bytes(read_start("/proc/buddyinfo", text), page > 0 ? static_cast<std::size_t>(page) : 4096,
                           kHugePage);
  }();
  return left;
}

}  // namespace

std::uint64_t free_huge_bytes(std::string_view buddyinfo, std::size_t base_page, std::size_t huge_page) {
  std::uint64_t total = 0;
  std::size_t at = 0;
  while (at < buddyinfo.size()) {
    std::size_t end = buddyinfo.find('\n', at);
    if (end == std::string_view::npos) end = buddyinfo.size();
    std::string_view line = buddyinfo.substr(at, end - at);
    at = end + 1;
    // "Node 0, zone   Normal   6809   3498 ...": the counts follow the
    // zone's name.
    const std::size_t zone = line.find("zone");
    if (zone == std::string_view::npos) continue;
    line.remove_prefix(zone + 4);
    while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
    while (!line.empty() && line.front() != ' ') line.remove_prefix(1);  // the name
    std::uint64_t block = base_page;
    for (;;) {
      while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
      if (line.empty() || line.front() < '0' || line.front() > '9') break;
      std::uint64_t count = 0;
      while (!line.empty() && line.front() >= '0' && line.front() <= '9') {
        count = count * 10 + static_cast<std::uint64_t>(line.front() - '0');
        line.remove_prefix(1);
      }
      if (block >= huge_page) total += count * block;
      block *= 2;
    }
  }
  return total;
}

bool huge_pages_left(std::size_t bytes) { return huge_left().load(std::memory_order_relaxed) >= bytes; }

void advise_huge_pages(void* block, std::size_t size, std::size_t fresh) {
  if (fresh < kWorthIt) return;
  std::atomic<std::uint64_t>& left = huge_left();
  std::uint64_t now = left.load(std::memory_order_relaxed);
  do {
    if (now < fresh) return;
  } while (!left.compare_exchange_weak(now, now - fresh, std::memory_order_relaxed));
  insist_on_huge_pages(block, size);
}

void insist_on_huge_pages(void* block, std::size_t size) {
  // The whole mapping is advised, not only its 2 MiB-aligned middle: a
  // mapping split in parts of different advice can no longer be resized in
  // place, and the kernel itself backs only the aligned 2 MiB stretches by
  // huge pages.
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto start = reinterpret_cast<std::uintptr_t>(block);
  const std::uintptr_t begin = start & ~(page - 1);
  const std::uintptr_t end = (start + size + page - 1) & ~(page - 1);
  ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

}  // namespace qorla
