#include "driver/output.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <unistd.h>

#include "support/messages.h"

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

void write_lines(Output& out, const char* const* lines, std::size_t count, bool uniq) {
  const char* previous = "";  // the last printed line, under uniq
  constexpr std::size_t kAhead = 8;
  for (std::size_t i = 0; i < count; ++i) {
    // The lines lie scattered in memory in sorted order: ask for the next
    // ones early.
    if (i + kAhead < count) __builtin_prefetch(lines[i + kAhead]);
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

}  // namespace qorla
