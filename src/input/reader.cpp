#include "input/reader.h"

#include <cstdlib>
#include <cstring>

#include "input/cutting.h"
#include "support/char_search.h"
#include "support/memory.h"
#include "support/messages.h"

namespace qorla {

namespace {

// fgets reads at most size - 1 bytes into a buffer of size bytes.
constexpr std::size_t kPieceMax = kReadBufferSize - 1;

[[noreturn]] void too_long(const char* text) {
  errmsg("%s \nError: too long line found!\n", text);
  std::exit(1);
}

void store(LineTable& table, const Options& options, std::string_view line) {
  if (options.cut_first == 0 && options.cut_last == 9999) {
    append_line(table, line, false);
    return;
  }
  const Cut cut = set_fields(options.cut_first, options.cut_last, line);
  append_line(table, line.substr(cut.start, cut.length), cut.add_line_feed);
}

bool ends_in_backslash_line_feed(std::string_view piece) {
  const std::size_t n = piece.size();
  return n >= 2 && piece[n - 1] == '\n' && piece[n - 2] == '\\';
}

// The general line assembly, byte for byte as pieces read with fgets into
// one 4096-byte buffer would behave: a 0 byte ends the text of its piece,
// and a piece ending in a backslash and line feed is joined under -J.
// Returns false when the file ended while reading this line.
bool read_line_slowly(InputFile& file, std::string_view first, const Options& options,
                      LineTable& table) {
  char read_buf[kReadBufferSize];
  std::size_t length = 0;
  read_buf[0] = 0;
  bool ended = false;
  std::string_view piece = first;
  for (;;) {
    std::memcpy(read_buf + length, piece.data(), piece.size());
    read_buf[length + piece.size()] = 0;
    const char* backslash = Strrchr(read_buf + length, '\\');
    length += std::strlen(read_buf + length);
    if (!(options.join_flag && length < kPieceMax && backslash != nullptr && backslash[1] == '\n')) {
      break;
    }
    piece = next_piece(file, kPieceMax - length);
    if (piece.empty()) {
      ended = true;
      break;
    }
  }
  if (length >= kPieceMax) too_long(read_buf);
  if (read_buf[0] != 0) store(table, options, std::string_view(read_buf, length));
  return !ended;
}


}  // namespace

void read_lines(InputFile& file, const char* name, const Options& options, LineTable& table) {
  for (;;) {
    const std::string_view piece = next_piece(file, kPieceMax);
    if (piece.empty()) break;
    // Most lines are one piece of plain text that fits: store it straight
    // from the input buffer.
    const bool plain = !file.may_hold_nul && piece.size() < kPieceMax &&
                       !(options.join_flag && ends_in_backslash_line_feed(piece));
    if (plain) {
      store(table, options, piece);
    } else if (!read_line_slowly(file, piece, options, table)) {
      break;
    }
  }
  if (file.read_error) {
    errmsg("%s: read error\n", name);
    std::exit(1);
  }
}

void read_files(int argc, char** argv, const Options& options, LineTable& table) {
  constexpr std::size_t kInputBufferSize = std::size_t{1} << 20;
  char* buffer = nullptr;
  for (int i = options.first_file; i < argc; ++i) {
    InputFile file;
    if (buffer == nullptr) buffer = static_cast<char*>(getmem(kInputBufferSize));
    if (!open_input(file, argv[i], buffer, kInputBufferSize)) {
      errmsg("%s: not found\n", argv[i]);
      continue;
    }
    read_lines(file, argv[i], options, table);
    close_input(file);
  }
  // Given back before sorting, when memory is at its peak.
  freemem(buffer);
}

}  // namespace qorla
