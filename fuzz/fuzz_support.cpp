#include "fuzz_support.h"

#include <csetjmp>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

// The linker sends every call of exit() in the target (the program's own
// code included) here; __real_exit is the C library's exit.
extern "C" [[noreturn]] void __real_exit(int status);

namespace {

std::jmp_buf* exit_trap = nullptr;
int trapped_status = 0;

}  // namespace

// The program never gives memory back before it ends, by design; a leak
// report would say nothing about it.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

extern "C" [[noreturn]] void __wrap_exit(int status) {
  if (exit_trap != nullptr) {
    std::jmp_buf* trap = exit_trap;
    exit_trap = nullptr;
    trapped_status = status;
    std::longjmp(*trap, 1);
  }
  __real_exit(status);
}

namespace qorla_fuzz {

int run_trapping_exit(void (*body)(void*), void* context) {
  std::jmp_buf trap;
  if (setjmp(trap) != 0) return trapped_status;
  exit_trap = &trap;
  body(context);
  exit_trap = nullptr;
  return -1;
}

StderrCapture::StderrCapture() {
  std::fflush(stderr);
  stream_ = open_memstream(&data_, &size_);
  if (stream_ == nullptr) std::abort();
  saved_ = stderr;
  stderr = stream_;
}

StderrCapture::~StderrCapture() { finish(); }

std::string StderrCapture::finish() {
  if (stream_ == nullptr) return std::string();
  stderr = saved_;
  std::fclose(stream_);
  stream_ = nullptr;
  std::string text(data_, size_);
  std::free(data_);
  data_ = nullptr;
  return text;
}

int make_memory_file(const char* name) {
  const int fd = memfd_create(name, MFD_CLOEXEC);
  if (fd < 0) std::abort();
  return fd;
}

void set_memory_file(int fd, std::string_view bytes) {
  if (::ftruncate(fd, 0) != 0 || ::lseek(fd, 0, SEEK_SET) != 0) std::abort();
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) std::abort();
    done += static_cast<std::size_t>(n);
  }
  if (::lseek(fd, 0, SEEK_SET) != 0) std::abort();
}

std::string read_memory_file(int fd) {
  std::string text;
  char chunk[65536];
  if (::lseek(fd, 0, SEEK_SET) != 0) std::abort();
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0) std::abort();
    if (n == 0) break;
    text.append(chunk, static_cast<std::size_t>(n));
  }
  return text;
}

void check_failed(const char* file, int line, const char* condition) {
  // Straight to the descriptor: the stderr FILE may be captured just now.
  dprintf(2, "%s:%d: invariant broken: %s\n", file, line, condition);
  std::abort();
}

}  // namespace qorla_fuzz
