// The memory budget of a run: how many bytes the memory routines may hold
// before a request is refused as if the allocator had none left. Linux
// hands out memory it does not have and kills a process that touches too
// much of it, so the run stops cleanly at the smallest of the limits below
// instead. The parsers take the contents of the files they read, so that
// they work on any given text.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace qorla {

// A source that sets no limit: unlimited, unreadable, absent or malformed.
inline constexpr std::uint64_t kNoLimit = UINT64_MAX;

// The value in bytes of a "<key>: <n> kB" line, as in /proc/meminfo and
// /proc/self/status; nothing when the line is absent or malformed.
std::optional<std::uint64_t> kb_field(std::string_view text, std::string_view key);

// What /proc/meminfo says can still be had: MemAvailable plus SwapFree.
std::uint64_t meminfo_headroom(std::string_view meminfo);

// A memory cgroup's limit less its usage (0 when usage is past the limit),
// from the contents of memory.limit_in_bytes and memory.usage_in_bytes (v1)
// or memory.max and memory.current (v2). The inactive file cache that
// memory.stat shows is not counted as used; a usage that cannot be read
// counts as none.
std::uint64_t cgroup_v1_headroom(std::string_view limit_in_bytes, std::string_view usage_in_bytes,
                                 std::string_view stat);
std::uint64_t cgroup_v2_headroom(std::string_view max, std::string_view current, std::string_view stat);

// This process's cgroup in the hierarchy of the v1 memory controller, or in
// the v2 hierarchy, from the contents of /proc/self/cgroup; empty when it
// has none.
std::string_view cgroup_v1_memory_path(std::string_view proc_cgroup);
std::string_view cgroup_v2_path(std::string_view proc_cgroup);

// limit (kNoLimit for none) less the use of the status field named (VmSize
// for RLIMIT_AS, VmData for RLIMIT_DATA); a use that cannot be read counts
// as none.
std::uint64_t rlimit_headroom(std::uint64_t limit, std::string_view status, std::string_view field);

// Bytes kept back from the smallest headroom for what the run uses beyond
// the memory routines, and the budget never refused whatever the sources.
inline constexpr std::uint64_t kSlackDivisor = 64;
inline constexpr std::uint64_t kBudgetFloor = std::uint64_t{16} << 20;

// The budget left by the smallest headroom of all sources.
std::uint64_t budget_from_headroom(std::uint64_t smallest);

// The start of the small file at path, read into buffer; empty when it
// cannot be read.
std::string_view read_start(const char* path, std::span<char> buffer);

// Reads every source of this process and returns its budget in bytes.
std::uint64_t work_out_memory_budget();

}  // namespace qorla
