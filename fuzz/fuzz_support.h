// Shared pieces of the libFuzzer targets: trapping the program's exit()
// so that its error paths run in process, capturing the error stream,
// in-memory files and a check that stops the run on a broken invariant.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace qorla_fuzz {

// Runs body(context). When the code under test calls exit(), the call is
// turned into a return from here with the exit status; otherwise -1 is
// returned. Needs the target linked with -Wl,--wrap=exit. The code between
// here and exit() must hold no object with a non-trivial destructor.
int run_trapping_exit(void (*body)(void* context), void* context);

// Collects what is written to the stderr FILE while it is active.
// Sanitizer and libFuzzer reports do not go through it.
class StderrCapture {
 public:
  StderrCapture();
  ~StderrCapture();
  StderrCapture(const StderrCapture&) = delete;
  StderrCapture& operator=(const StderrCapture&) = delete;
  // Ends the capture and returns what was written.
  std::string finish();

 private:
  FILE* saved_ = nullptr;
  FILE* stream_ = nullptr;
  char* data_ = nullptr;
  std::size_t size_ = 0;
};

// A file that lives in memory only; its descriptor can be read and written
// like a regular file.
int make_memory_file(const char* name);
// Replaces the contents with bytes and moves the offset back to the start.
void set_memory_file(int fd, std::string_view bytes);
// The whole contents.
std::string read_memory_file(int fd);

// Reads the fuzz input front to back; past its end every read gives 0.
struct Reader {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at = 0;
  std::uint8_t byte() { return at < size ? data[at++] : 0; }
  std::uint16_t u16() { return static_cast<std::uint16_t>(byte() | byte() << 8); }
  std::uint32_t u32() { return u16() | static_cast<std::uint32_t>(u16()) << 16; }
  std::string_view rest() {
    const std::size_t from = at < size ? at : size;
    at = size;
    return std::string_view(reinterpret_cast<const char*>(data) + from, size - from);
  }
};

[[noreturn]] void check_failed(const char* file, int line, const char* condition);

inline int sign(int v) { return (v > 0) - (v < 0); }

}  // namespace qorla_fuzz

#define FUZZ_CHECK(condition)                                                  \
  do {                                                                         \
    if (!(condition)) ::qorla_fuzz::check_failed(__FILE__, __LINE__, #condition); \
  } while (0)
