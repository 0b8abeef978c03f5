#include "output/output.h"

#include <algorithm>
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

bool is_blank_line(std::string_view line) {
  std::size_t i = 0;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  return i < line.size() && line[i] == '\n';
}

}  // namespace

void output_bytes(Output& out, std::string_view bytes) {
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
// Returns where it stopped: end, or, for a buffer without a descriptor, the
// first line that no longer fits.
std::size_t format_lines(Output& out, const LineRef* lines, std::size_t begin, std::size_t end, bool uniq,
                         std::string_view previous) {
  constexpr std::size_t kAhead = 16;
  for (std::size_t i = begin; i < end; ++i) {
    // The lines lie scattered in memory in sorted order: ask for the next
    // ones early.
    if (i + kAhead < end) __builtin_prefetch(line_data(lines[i + kAhead]));
    const std::string_view line = line_text(lines[i]);
    if (is_blank_line(line)) continue;
    if (uniq && line == previous) continue;
    const std::size_t n = line.size();
    const bool add_line_feed = n == 0 || line[n - 1] != '\n';
    if (out.fd < 0 && out.used + n + 1 > out.capacity) return i;
    previous = line;
    output_bytes(out, line);
    if (add_line_feed) output_bytes(out, "\n");
  }
  return end;
}

// The text of the last line printed before position i under uniq: the
// nearest line before i that is not blank (a dropped one equals it).
std::string_view printed_before(const LineRef* lines, std::size_t i) {
  while (i > 0) {
    if (!is_blank_line(line_text(lines[--i]))) return line_text(lines[i]);
  }
  return {};
}

constexpr std::size_t kSegmentLines = 8192;
constexpr std::size_t kPartCapacity = std::size_t{512} << 10;
constexpr int kMaxWorkers = 16;

// A worker's share of one round: the lines [begin, end), of which those
// before stopped were formatted into the buffer.
struct Part {
  Output buffer;
  std::size_t begin, stopped, end;
};

// Output in rounds: in each round every worker formats one segment into a
// buffer of its own, while the first worker also writes the previous
// round's buffers, in order. Two sets of buffers alternate. The buffers
// never grow, so no memory is asked for once writing has begun: what does
// not fit is formatted straight to the output when its turn comes.
struct OutputRounds {
  Output* out;
  const LineRef* lines;
  std::size_t count;
  std::size_t first;  // first line of the current round
  bool uniq;
  int workers;
  int set;  // the set the current round formats into
  bool previous_pending;
  Part part[2][kMaxWorkers];
};

void write_set(OutputRounds& rounds, int set) {
  for (int w = 0; w < rounds.workers; ++w) {
    const Part& part = rounds.part[set][w];
    write_all(rounds.out->fd, part.buffer.buffer, part.buffer.used);
    if (part.stopped < part.end) {
      const std::string_view previous = rounds.uniq ? printed_before(rounds.lines, part.stopped) : std::string_view();
      format_lines(*rounds.out, rounds.lines, part.stopped, part.end, rounds.uniq, previous);
      output_flush(*rounds.out);
    }
  }
}

void format_segment(int w, void* context) {
  auto& rounds = *static_cast<OutputRounds*>(context);
  if (w == 0 && rounds.previous_pending) write_set(rounds, 1 - rounds.set);
  Part& part = rounds.part[rounds.set][w];
  part.begin = std::min(rounds.first + static_cast<std::size_t>(w) * kSegmentLines, rounds.count);
  part.end = std::min(part.begin + kSegmentLines, rounds.count);
  part.buffer.used = 0;
  const std::string_view previous = rounds.uniq ? printed_before(rounds.lines, part.begin) : std::string_view();
  part.stopped = format_lines(part.buffer, rounds.lines, part.begin, part.end, rounds.uniq, previous);
}

int output_workers(std::size_t count) {
  const int workers = worker_count() < kMaxWorkers ? worker_count() : kMaxWorkers;
  return workers < 2 || count < 4 * kSegmentLines ? 1 : workers;
}

}  // namespace

std::size_t write_lines_memory(std::size_t count) {
  const int workers = output_workers(count);
  return workers < 2 ? 0 : 2 * static_cast<std::size_t>(workers) * kPartCapacity;
}

void write_lines(Output& out, const LineRef* lines, std::size_t count, bool uniq) {
  const int workers = output_workers(count);
  if (workers < 2) {
    format_lines(out, lines, 0, count, uniq, {});
    return;
  }
  output_flush(out);
  static OutputRounds rounds;  // buffers kept for the run
  rounds.out = &out;
  rounds.lines = lines;
  rounds.count = count;
  rounds.uniq = uniq;
  rounds.workers = workers;
  for (auto& set : rounds.part) {
    for (int w = 0; w < workers; ++w) {
      Output& buffer = set[w].buffer;
      if (buffer.buffer == nullptr) {
        buffer.capacity = kPartCapacity;
        buffer.buffer = static_cast<char*>(getmem(kPartCapacity));
      }
      buffer.fd = -1;
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
