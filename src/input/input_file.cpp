#include "input/input_file.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/huge_pages.h"
#include "support/line_ref.h"
#include "support/memory.h"
#include "support/messages.h"
#include "support/parallel.h"

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

namespace {

// The mapped files, for the report of one that shrinks under the run: the
// system then signals SIGBUS at the first access past its new end.
struct Mapping {
  const char* begin;
  std::size_t size;
  const char* name;
};
Mapping* mappings = nullptr;
std::size_t mapping_count = 0;

void mapped_file_failed(int, siginfo_t* info, void*) {
  const auto at = static_cast<const char*>(info->si_addr);
  for (std::size_t i = 0; i < mapping_count; ++i) {
    if (at >= mappings[i].begin && at < mappings[i].begin + mappings[i].size) errmsg("%s: read error\n", mappings[i].name);
  }
  ::_exit(1);
}

void note_mapping(const char* begin, std::size_t size, const char* name) {
  if (mapping_count == 0) {
    struct sigaction action {};
    action.sa_sigaction = mapped_file_failed;
    action.sa_flags = SA_SIGINFO;
    ::sigaction(SIGBUS, &action, nullptr);
  }
  if ((mapping_count & (mapping_count - 1)) == 0) {
    const std::size_t room = mapping_count == 0 ? 4 : mapping_count * 2;
    mappings = static_cast<Mapping*>(moremem(mappings, room * sizeof(Mapping)));
  }
  mappings[mapping_count++] = Mapping{begin, size, name};
}

}  // namespace

namespace {

// Reads [begin, end) of the file at its place in the copy, on every core.
struct WholeRead {
  int fd;
  char* data;
  std::size_t size;
  int parts;
  std::atomic<bool> short_read{false};
};

void read_part(int part, void* context) {
  auto& job = *static_cast<WholeRead*>(context);
  std::size_t at = part_begin(job.size, job.parts, part, 4096);
  const std::size_t end = part_begin(job.size, job.parts, part + 1, 4096);
  while (at < end) {
    const ssize_t got = ::pread(job.fd, job.data + at, end - at, static_cast<off_t>(at));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      job.short_read = true;  // a read error, or the file shrank
      return;
    }
    at += static_cast<std::size_t>(got);
  }
}

// Copies the whole file into memory the budget grants; false, with nothing
// kept, when the file does not read back whole.
bool read_whole(InputFile& file, std::size_t size) {
  char* data = static_cast<char*>(getmem(size));
  insist_on_huge_pages(data, size);
  WholeRead job{file.fd, data, size, worker_count(), {}};
  run_parallel(job.parts, read_part, &job);
  if (job.short_read) {
    freemem(data);
    return false;
  }
  file.whole = data;
  file.whole_size = size;
  file.at_end = true;
  return true;
}

void map_whole(InputFile& file, std::size_t size, const char* name) {
  // The mapped text is the run's as much as copied text would be.
  if (!hold_memory(size)) return;
  void* data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, file.fd, 0);
  if (data != MAP_FAILED && !fits_line_ref(data, size)) {
    ::munmap(data, size);
    data = MAP_FAILED;
  }
  if (data == MAP_FAILED) {
    release_memory(size);
    return;
  }
  ::madvise(data, size, MADV_SEQUENTIAL);
  note_mapping(static_cast<const char*>(data), size, name);
  file.whole = static_cast<const char*>(data);
  file.whole_size = size;
  file.at_end = true;
}

}  // namespace

void load_whole(InputFile& file, const char* name) {
  struct stat st;
  if (::fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) return;
  const auto size = static_cast<std::size_t>(st.st_size);
  // A file is copied into huge pages when they are free, and when it is so
  // large that the sort's scattered reads of its lines would cost more than
  // the kernel's work to find huge pages for it; others are mapped.
  constexpr std::size_t kCopyMinimum = std::size_t{4} << 20;
  constexpr std::size_t kAlwaysCopied = std::size_t{1} << 30;
  if (size >= kCopyMinimum && (huge_pages_left(size) || size >= kAlwaysCopied) && read_whole(file, size)) return;
  map_whole(file, size, name);
}

void stream_from(InputFile& file, std::size_t offset) {
  file.whole = nullptr;
  file.begin = file.end = 0;
  file.at_end = false;
  file.may_hold_nul = true;
  if (::lseek(file.fd, static_cast<off_t>(offset), SEEK_SET) < 0) {
    file.at_end = true;
    file.read_error = true;
  }
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
