// Writes the benchmark input: gen_data <line count> <seed> <output path>.
// The same count and seed always give the same file.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "line_generator.h"

using qorla::bench::parse_count;

int main(int argc, char** argv) {
  unsigned long long lines = 0, seed = 0;
  if (argc != 4 || !parse_count(argv[1], lines) || !parse_count(argv[2], seed)) {
    std::fprintf(stderr, "usage: gen_data <line count> <seed> <output path>\n");
    return 2;
  }
  std::FILE* out = std::fopen(argv[3], "wb");
  if (out == nullptr) {
    std::fprintf(stderr, "gen_data: cannot create %s: %s\n", argv[3], std::strerror(errno));
    return 1;
  }
  qorla::bench::LineGenerator generator(seed);
  std::string chunk;
  constexpr std::size_t kChunk = std::size_t{1} << 22;
  chunk.reserve(kChunk + 4096);
  for (unsigned long long i = 0; i < lines; ++i) {
    generator.next_line(chunk);
    if (chunk.size() >= kChunk) {
      if (std::fwrite(chunk.data(), 1, chunk.size(), out) != chunk.size()) break;
      chunk.clear();
    }
  }
  const bool written = std::fwrite(chunk.data(), 1, chunk.size(), out) == chunk.size();
  if (!written || std::fclose(out) != 0) {
    std::fprintf(stderr, "gen_data: cannot write %s\n", argv[3]);
    return 1;
  }
  return 0;
}
