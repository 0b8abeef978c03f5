#include "support/memory.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "support/messages.h"

namespace qorla {

namespace {

std::size_t allocation_limit = 0;

bool over_limit(std::size_t size) {
  return allocation_limit != 0 && size > allocation_limit;
}

// Sizes reach the messages as int, as the messages print them with %d.
int as_int(std::size_t n) {
  return n > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(n);
}

}  // namespace

void set_allocation_limit_for_testing(std::size_t bytes) { allocation_limit = bytes; }

// Sizes above 1000 bytes are given in K of k_unit bytes.
[[noreturn]] void size_failed(const char* k_format, const char* byte_format, std::size_t size,
                              std::size_t k_unit) {
  if (size > 1000) {
    errmsg(k_format, as_int(size / k_unit));
  } else {
    errmsg(byte_format, as_int(size));
  }
  std::exit(1);
}

void getmem_failed(std::size_t size) {
  size_failed("\ncannot get the memory of %d K bytes\n", "\ncannot get the memory of %d bytes\n", size, 1024);
}

void moremem_failed(std::size_t size) {
  size_failed("cannot get the memory of %d K bytes\n", "cannot get the memory of %d bytes\n", size, 1000);
}

void* getmem(std::size_t size) {
  // calloc hands large blocks over as fresh zero pages, so clearing costs
  // nothing until the memory is used.
  void* block = over_limit(size) ? nullptr : std::calloc(size == 0 ? 1 : size, 1);
  if (block == nullptr) getmem_failed(size);
  return block;
}

void* moremem(void* block, std::size_t size) {
  void* resized = over_limit(size) ? nullptr : std::realloc(block, size == 0 ? 1 : size);
  if (resized == nullptr) moremem_failed(size);
  return resized;
}

char* setstr(const char* str) {
  const std::size_t n = std::strlen(str) + 1;
  char* copy = over_limit(n) ? nullptr : static_cast<char*>(std::malloc(n));
  if (copy == nullptr) {
    errmsg("cannot get memory\n");
    std::exit(1);
  }
  std::memcpy(copy, str, n);
  return copy;
}

}  // namespace qorla

