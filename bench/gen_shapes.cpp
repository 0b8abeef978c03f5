// Writes the input of one data shape of the shape benchmark:
//   gen_shapes <shape> <line count> <seed> <output path>
// with the shape one of paths, logs, duplicates, numbers, long-lines or
// sjis-csv (shape_generators.h). The same shape, count and seed always
// give the same file.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "shape_generators.h"

namespace {

// Writes `lines` lines of the generator to out in large chunks; false when
// writing failed.
template <typename Generator>
bool write_lines(Generator&& generator, unsigned long long lines, std::FILE* out) {
  std::string chunk;
  constexpr std::size_t kChunk = std::size_t{1} << 22;
  chunk.reserve(kChunk + 4096);
  for (unsigned long long i = 0; i < lines; ++i) {
    generator.next_line(chunk);
    if (chunk.size() >= kChunk) {
      if (std::fwrite(chunk.data(), 1, chunk.size(), out) != chunk.size()) return false;
      chunk.clear();
    }
  }
  return std::fwrite(chunk.data(), 1, chunk.size(), out) == chunk.size();
}

}  // namespace


int main(int argc, char** argv) {
  using namespace qorla::bench;
  unsigned long long lines = 0, seed = 0;
  const std::string_view shape = argc == 5 ? argv[1] : "";
  const bool known = shape == "paths" || shape == "logs" || shape == "duplicates" || shape == "numbers" ||
                     shape == "long-lines" || shape == "sjis-csv";
  if (!known || !parse_count(argv[2], lines) || !parse_count(argv[3], seed)) {
    std::fprintf(stderr,
                 "usage: gen_shapes <shape> <line count> <seed> <output path>\n"
                 "shapes: paths logs duplicates numbers long-lines sjis-csv\n");
    return 2;
  }
  std::FILE* out = std::fopen(argv[4], "wb");
  if (out == nullptr) {
    std::fprintf(stderr, "gen_shapes: cannot create %s: %s\n", argv[4], std::strerror(errno));
    return 1;
  }
  bool written = false;
  if (shape == "paths") {
    written = write_lines(PathGenerator(seed, lines), lines, out);
  } else if (shape == "logs") {
    written = write_lines(LogGenerator(seed, lines), lines, out);
  } else if (shape == "duplicates") {
    written = write_lines(DuplicateGenerator(seed), lines, out);
  } else if (shape == "numbers") {
    written = write_lines(NumberGenerator(seed), lines, out);
  } else if (shape == "long-lines") {
    written = write_lines(LongLineGenerator(seed), lines, out);
  } else {
    written = write_lines(ShiftJisCsvGenerator(seed), lines, out);
  }
  if (std::fclose(out) != 0 || !written) {
    std::fprintf(stderr, "gen_shapes: cannot write %s\n", argv[4]);
    return 1;
  }
  return 0;
}
