#include "driver/output.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <unistd.h>

#include "support/memory.h"
#include "support/messages.h"
#include "support/parallel.h"

namespace qorla {

namespace {

[[noreturn]] void write_failed() {
  errmsg("cannot write the output\n");
  std::exit(1);
}

void write_all(int fd, const char* data, std::size_t n) {
  while (n > 0) {
    const ssize_t done = ::write(fd, data, n);
    if (done < 0 && errno == EINTR) continue;
    if (done < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // A non-blocking descriptor that is full: wait until it takes more.
      pollfd wait{fd, POLLOUT, 0};
      ::poll(&wait, 1, -1);
      continue;
    }
    if (done <= 0) write_failed();
    data += done;
    n -= static_cast<std::size_t>(done);
  }
}

bool is_blank_line(const char* line) {
  while (*line == ' ' || *line == '\t') ++line;
  return *line == '\n';
}

}  // namespace

void output_bytes(Output& out, std::string_view bytes) {
  if (out.used + bytes.size() > out.capacity && out.fd < 0) {
    // A buffer without a descriptor keeps everything: it grows.
    std::size_t capacity = out.capacity * 2;
    while (capacity < out.used + bytes.size()) capacity *= 2;
    out.buffer = static_cast<char*>(moremem(out.buffer, capacity));
    out.capacity = capacity;
  }
  if (out.used + bytes.size() > out.capacity) {
    output_flush(out);
    if (bytes.size() > out.capacity) {
      write_all(out.fd, bytes.data(), bytes.size());
      return;
    }
  }
  std::memcpy(out.buffer + out.used, bytes.data(), bytes.size());
  out.used += bytes.size();
}

void output_flush(Output& out) {
  write_all(out.fd, out.buffer, out.used);
  out.used = 0;
}

namespace {

// Formats lines [begin, end) into out, given the line printed before them.
void format_lines(Output& out, const char* const* lines, std::size_t begin, std::size_t end, bool uniq,
                  const char* previous) {
  constexpr std::size_t kAhead = 16;
  for (std::size_t i = begin; i < end; ++i) {
    // The lines lie scattered in memory in sorted order: ask for the next
    // ones early.
    if (i + kAhead < end) __builtin_prefetch(lines[i + kAhead]);
    const char* line = lines[i];
    if (is_blank_line(line)) continue;
    if (uniq) {
      if (std::strcmp(line, previous) == 0) continue;
      previous = line;
    }
    const std::size_t n = std::strlen(line);
    output_bytes(out, std::string_view(line, n));
    if (n == 0 || line[n - 1] != '\n') output_bytes(out, "\n");
  }
}

// The text of the last line printed before position i under uniq: the
// nearest line before i that is not blank (a dropped one equals it).
const char* printed_before(const char* const* lines, std::size_t i) {
  while (i > 0) {
    if (!is_blank_line(lines[--i])) return lines[i];
  }
  return "";
}

constexpr std::size_t kSegmentLines = 16384;
constexpr int kMaxWorkers = 16;

// Output in rounds: in each round every worker formats one segment into a
// buffer of its own that grows to fit, while the first worker also writes
// the previous round's buffers, in order. Two sets of buffers alternate.
struct OutputRounds {
  const char* const* lines;
  std::size_t count;
  std::size_t first;  // first line of the current round
  bool uniq;
  int fd;
  int workers;
  int set;  // the set the current round formats into
  bool previous_pending;
  Output part[2][kMaxWorkers];
};

void write_set(const OutputRounds& rounds, int set) {
  for (int w = 0; w < rounds.workers; ++w) write_all(rounds.fd, rounds.part[set][w].buffer, rounds.part[set][w].used);
}

void format_segment(int w, void* context) {
  auto& rounds = *static_cast<OutputRounds*>(context);
  if (w == 0 && rounds.previous_pending) write_set(rounds, 1 - rounds.set);
  const std::size_t begin = rounds.first + static_cast<std::size_t>(w) * kSegmentLines;
  const std::size_t end = begin + kSegmentLines < rounds.count ? begin + kSegmentLines : rounds.count;
  Output& part = rounds.part[rounds.set][w];
  part.used = 0;
  if (begin >= end) return;
  const char* previous = rounds.uniq ? printed_before(rounds.lines, begin) : "";
  format_lines(part, rounds.lines, begin, end, rounds.uniq, previous);
}

}  // namespace

void write_lines(Output& out, const char* const* lines, std::size_t count, bool uniq) {
  const int workers = worker_count() < kMaxWorkers ? worker_count() : kMaxWorkers;
  if (workers < 2 || count < 4 * kSegmentLines) {
    format_lines(out, lines, 0, count, uniq, "");
    return;
  }
  output_flush(out);
  static OutputRounds rounds;  // buffers kept for the run
  rounds.lines = lines;
  rounds.count = count;
  rounds.uniq = uniq;
  rounds.fd = out.fd;
  rounds.workers = workers;
  for (auto& set : rounds.part) {
    for (int w = 0; w < workers; ++w) {
      if (set[w].buffer == nullptr) {
        set[w].capacity = std::size_t{1} << 20;
        set[w].buffer = static_cast<char*>(getmem(set[w].capacity));
      }
      set[w].fd = -1;  // a full buffer grows rather than writing out of turn
    }
  }
  rounds.set = 0;
  rounds.previous_pending = false;
  const std::size_t per_round = static_cast<std::size_t>(workers) * kSegmentLines;
  for (rounds.first = 0; rounds.first < count; rounds.first += per_round) {
    run_parallel(workers, format_segment, &rounds);
    rounds.previous_pending = true;
    rounds.set = 1 - rounds.set;
  }
  write_set(rounds, 1 - rounds.set);
}

}  // namespace qorla
