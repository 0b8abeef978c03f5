#include "input/input_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qorla {

std::size_t translate_text_mode(char* data, std::size_t n, bool* stop) {
  *stop = false;
  if (const void* eof = std::memchr(data, 0x1A, n)) {
    n = static_cast<std::size_t>(static_cast<const char*>(eof) - data);
    *stop = true;
  }
  char* cr = static_cast<char*>(std::memchr(data, '\r', n));
  if (cr == nullptr) return n;
  char* out = cr;
  for (const char* in = cr; in < data + n; ++in) {
    if (*in != '\r') *out++ = *in;
  }
  return static_cast<std::size_t>(out - data);
}

bool open_input(InputFile& file, const char* path, char* buffer, std::size_t capacity) {
  int fd;
  do {
    fd = ::open(path, O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return false;
  }
  file = InputFile{};
  file.fd = fd;
  file.buffer = buffer;
  file.capacity = capacity;
  return true;
}

void close_input(InputFile& file) {
  if (file.fd >= 0) ::close(file.fd);
  file.fd = -1;
}

namespace {

// Reads until at least want bytes are buffered or the data ends.
void fill(InputFile& file, std::size_t want) {
  if (file.begin > 0) {
    std::memmove(file.buffer, file.buffer + file.begin, file.end - file.begin);
    file.end -= file.begin;
    file.begin = 0;
  }
  const std::size_t old_end = file.end;
  while (!file.at_end && file.end < want) {
    const ssize_t got = ::read(file.fd, file.buffer + file.end, file.capacity - file.end);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      file.at_end = true;
      file.read_error = got < 0;
      break;
    }
    bool stop = false;
    file.end += translate_text_mode(file.buffer + file.end, static_cast<std::size_t>(got), &stop);
    if (stop) file.at_end = true;
  }
  // The carried-over bytes were checked before; only new ones need a look,
  // unless an earlier 0 byte is still waiting.
  if (!file.may_hold_nul || old_end == 0) {
    file.may_hold_nul = std::memchr(file.buffer + old_end, 0, file.end - old_end) != nullptr;
  } else {
    file.may_hold_nul = std::memchr(file.buffer, 0, file.end) != nullptr;
  }
}

}  // namespace

std::string_view next_piece(InputFile& file, std::size_t max) {
  if (file.end - file.begin < max && !file.at_end) fill(file, max);
  const std::size_t available = file.end - file.begin;
  const std::size_t limit = available < max ? available : max;
  const char* start = file.buffer + file.begin;
  const void* lf = std::memchr(start, '\n', limit);
  const std::size_t n = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - start) + 1 : limit;
  file.begin += n;
  return std::string_view(start, n);
}

}  // namespace qorla
