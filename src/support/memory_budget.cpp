#include "support/memory_budget.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <fcntl.h>
#include <span>
#include <sys/resource.h>
#include <unistd.h>

namespace qorla {

namespace {

// A cgroup v1 limit this high is the kernel's way of showing no limit (the
// largest page multiple of a signed 64-bit count).
constexpr std::uint64_t kV1Unlimited = std::uint64_t{1} << 62;

std::string_view next_line(std::string_view& text) {
  const std::size_t end = text.find('\n');
  const std::string_view line = text.substr(0, end);
  text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
  return line;
}

std::string_view trimmed(std::string_view text) {
  const std::size_t begin = text.find_first_not_of(" \t\n");
  if (begin == std::string_view::npos) return {};
  return text.substr(begin, text.find_last_not_of(" \t\n") - begin + 1);
}

// The text as one decimal number, blanks and line feeds around it allowed.
std::optional<std::uint64_t> whole_number(std::string_view text) {
  text = trimmed(text);
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::uint64_t headroom(std::uint64_t limit, std::uint64_t used) { return limit > used ? limit - used : 0; }

// The value of a "<key> <n>" line of memory.stat, 0 when absent.
std::uint64_t stat_field(std::string_view stat, std::string_view key) {
  while (!stat.empty()) {
    const std::string_view line = next_line(stat);
    if (line.size() > key.size() && line.starts_with(key) && line[key.size()] == ' ') {
      return whole_number(line.substr(key.size() + 1)).value_or(0);
    }
  }
  return 0;
}

// The kernel drops the cache of files not used lately before the group
// runs out, so that cache does not count as used.
std::uint64_t limit_less_usage(std::string_view limit_text, std::string_view usage_text, std::uint64_t inactive_file,
                               std::uint64_t unlimited_from) {
  const std::optional<std::uint64_t> limit = whole_number(limit_text);
  if (!limit || *limit >= unlimited_from) return kNoLimit;
  const std::uint64_t usage = whole_number(usage_text).value_or(0);
  return headroom(*limit, usage > inactive_file ? usage - inactive_file : 0);
}

bool lists_memory(std::string_view controllers) {
  for (;;) {
    const std::size_t comma = controllers.find(',');
    if (controllers.substr(0, comma) == "memory") return true;
    if (comma == std::string_view::npos) return false;
    controllers.remove_prefix(comma + 1);
  }
}

// The path of the first "id:controllers:path" line of the v2 hierarchy (id
// 0, no controllers) when v2 is set, else of the first that lists the
// memory controller.
std::string_view cgroup_path(std::string_view proc_cgroup, bool v2) {
  while (!proc_cgroup.empty()) {
    const std::string_view line = next_line(proc_cgroup);
    const std::size_t first = line.find(':');
    const std::size_t second = first == std::string_view::npos ? first : line.find(':', first + 1);
    if (second == std::string_view::npos) continue;
    const std::string_view controllers = line.substr(first + 1, second - first - 1);
    const bool match = v2 ? line.substr(0, first) == "0" && controllers.empty() : lists_memory(controllers);
    const std::string_view path = line.substr(second + 1);
    if (match && path.starts_with('/')) return path;
  }
  return {};
}

// The cgroup above path ("/a/b" -> "/a" -> "/"); empty above the root.
std::string_view parent_cgroup(std::string_view path) {
  const std::size_t slash = path.find_last_of('/');
  if (path.size() <= 1 || slash == std::string_view::npos) return {};
  return path.substr(0, slash == 0 ? 1 : slash);
}

// The start of the file name in the cgroup dir of the hierarchy at root.
std::string_view read_cgroup_file(const char* root, std::string_view dir, const char* name, std::span<char> buffer) {
  char path[4096];
  const int n = std::snprintf(path, sizeof path, "%s%.*s/%s", root, static_cast<int>(dir.size()), dir.data(), name);
  if (n < 0 || n >= static_cast<int>(sizeof path)) return {};
  return read_start(path, buffer);
}

// The smallest headroom of the cgroup at path and of every cgroup above it
// (a parent's limit holds for its children too), in the hierarchy mounted
// at root.
std::uint64_t cgroup_headroom(const char* root, std::string_view path, const char* limit_file,
                              const char* usage_file,
                              std::uint64_t (*headroom_of)(std::string_view, std::string_view, std::string_view)) {
  std::uint64_t smallest = kNoLimit;
  for (; !path.empty(); path = parent_cgroup(path)) {
    const std::string_view dir = path == "/" ? std::string_view{} : path;
    char limit[64], usage[64], stat[8192];
    smallest = std::min(smallest, headroom_of(read_cgroup_file(root, dir, limit_file, limit),
                                              read_cgroup_file(root, dir, usage_file, usage),
                                              read_cgroup_file(root, dir, "memory.stat", stat)));
  }
  return smallest;
}

std::uint64_t limit_of(int resource) {
  rlimit limit{};
  if (::getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return kNoLimit;
  return limit.rlim_cur;
}

}  // namespace

std::optional<std::uint64_t> kb_field(std::string_view text, std::string_view key) {
  while (!text.empty()) {
    const std::string_view line = next_line(text);
    if (!line.starts_with(key) || line.size() == key.size() || line[key.size()] != ':') continue;
    const std::string_view value = trimmed(line.substr(key.size() + 1));
    if (!value.ends_with("kB")) return std::nullopt;
    const std::optional<std::uint64_t> kb = whole_number(value.substr(0, value.size() - 2));
    if (!kb || *kb > kNoLimit / 1024) return std::nullopt;
    return *kb * 1024;
  }
  return std::nullopt;
}

std::uint64_t meminfo_headroom(std::string_view meminfo) {
  const std::optional<std::uint64_t> available = kb_field(meminfo, "MemAvailable");
  if (!available) return kNoLimit;
  const std::uint64_t swap = kb_field(meminfo, "SwapFree").value_or(0);
  return swap > kNoLimit - *available ? kNoLimit : *available + swap;
}

std::uint64_t cgroup_v1_headroom(std::string_view limit_in_bytes, std::string_view usage_in_bytes,
                                 std::string_view stat) {
  return limit_less_usage(limit_in_bytes, usage_in_bytes, stat_field(stat, "total_inactive_file"), kV1Unlimited);
}

std::uint64_t cgroup_v2_headroom(std::string_view max, std::string_view current, std::string_view stat) {
  // "max" is no number, so it leaves no limit.
  return limit_less_usage(max, current, stat_field(stat, "inactive_file"), kNoLimit);
}

std::string_view cgroup_v1_memory_path(std::string_view proc_cgroup) { return cgroup_path(proc_cgroup, false); }

std::string_view cgroup_v2_path(std::string_view proc_cgroup) { return cgroup_path(proc_cgroup, true); }

std::uint64_t rlimit_headroom(std::uint64_t limit, std::string_view status, std::string_view field) {
  if (limit == kNoLimit) return kNoLimit;
  return headroom(limit, kb_field(status, field).value_or(0));
}

std::uint64_t budget_from_headroom(std::uint64_t smallest) {
  if (smallest == kNoLimit) return kNoLimit;
  return std::max(kBudgetFloor, smallest - smallest / kSlackDivisor);
}

// The start of the file at path, read into buffer; empty when it cannot be
// read. The files read here are small and are read whole.
std::string_view read_start(const char* path, std::span<char> buffer) {
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  std::size_t size = 0;
  while (size < buffer.size()) {
    const ssize_t got = ::read(fd, buffer.data() + size, buffer.size() - size);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) size = 0;
    if (got <= 0) break;
    size += static_cast<std::size_t>(got);
  }
  ::close(fd);
  return {buffer.data(), size};
}

std::uint64_t work_out_memory_budget() {
  // Fixed buffers: the budget is worked out at the first allocation, and
  // may be worked out when memory is already short.
  char text[8192];
  std::uint64_t smallest = meminfo_headroom(read_start("/proc/meminfo", text));
  char groups[4096];
  const std::string_view proc_cgroup = read_start("/proc/self/cgroup", groups);
  smallest = std::min({smallest,
                       cgroup_headroom("/sys/fs/cgroup/memory", cgroup_v1_memory_path(proc_cgroup),
                                       "memory.limit_in_bytes", "memory.usage_in_bytes", cgroup_v1_headroom),
                       cgroup_headroom("/sys/fs/cgroup", cgroup_v2_path(proc_cgroup), "memory.max",
                                       "memory.current", cgroup_v2_headroom)});
  const std::string_view status = read_start("/proc/self/status", text);
  smallest = std::min({smallest, rlimit_headroom(limit_of(RLIMIT_AS), status, "VmSize"),
                       rlimit_headroom(limit_of(RLIMIT_DATA), status, "VmData")});
  return budget_from_headroom(smallest);
}

}  // namespace qorla
