#include "input/reader.h"

#include <cstdlib>
#include <cstring>

#include "input/cutting.h"
#include "input/plain_lines.h"
#include "support/byte_masks.h"
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

// Stores the line as cut by -c: where it stands when in_place allows it and
// the kept text ends in its own line feed, else as a copy.
void store(LineTable& table, const Options& options, std::string_view line, bool in_place = false) {
  std::string_view kept = line;
  bool add_line_feed = false;
  if (options.cut_first != 0 || options.cut_last != 9999) {
    const Cut cut = set_fields(options.cut_first, options.cut_last, line);
    kept = line.substr(cut.start, cut.length);
    add_line_feed = cut.add_line_feed;
  }
  if (in_place && !add_line_feed && !kept.empty() && kept.back() == '\n') {
    append_in_place(table, kept);
  } else {
    append_line(table, kept, add_line_feed);
  }
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


// A line of a file held whole whose only bytes beyond plain text are carriage
// returns: stored as a copy without them. False when the line needs the
// stream reader after all.
bool store_without_carriage_returns(LineTable& table, const Options& options, std::string_view line) {
  char text[kReadBufferSize];
  std::size_t n = 0;
  for (const char c : line) {
    if (c == '\r') continue;
    if (c == 0 || c == 0x1A || n == kPieceMax) return false;
    text[n++] = c;
  }
  const std::string_view kept(text, n);
  if (n == kPieceMax || (options.join_flag && ends_in_backslash_line_feed(kept))) return false;
  store(table, options, kept);
  return true;
}

// Stores one line of a file held whole, its line feed included; false when the
// line needs the stream reader (too long, a join, a 0 or 0x1A byte).
bool store_whole_line(LineTable& table, const Options& options, std::string_view line, bool special) {
  if (special) return store_without_carriage_returns(table, options, line);
  if (line.size() >= kPieceMax || (options.join_flag && ends_in_backslash_line_feed(line))) return false;
  store(table, options, line, true);
  return true;
}

// Stores the lines of a file held whole where they stand, 64 bytes looked at a
// time. Returns the offset of the first line left to the stream reader, or
// the file's size when none is.
std::size_t store_whole_lines(const InputFile& file, const Options& options, LineTable& table) {
  const char* data = file.whole;
  const std::size_t size = file.whole_size;
  // A large file of plain lines, kept whole, is read on every core.
  constexpr std::size_t kPlainMinimum = std::size_t{4} << 20;
  const bool whole = options.join_flag == 0 && options.cut_first == 0 && options.cut_last == 9999;
  std::size_t plain_end = 0;
  if (whole && size >= kPlainMinimum && store_plain_lines({data, size}, kPieceMax, table, &plain_end)) {
    return plain_end;
  }
  std::size_t line_start = 0;
  bool line_special = false;  // the current line holds a special byte before this window
  for (std::size_t at = 0; at < size; at += 64) {
    __builtin_prefetch(data + at + 1024);
    const ByteMasks m = scan_bytes(data + at, size - at < 64 ? size - at : 64);
    std::uint64_t seen = 0;
    for (std::uint64_t feeds = m.line_feeds; feeds != 0; feeds &= feeds - 1) {
      const int bit = __builtin_ctzll(feeds);
      const std::uint64_t upto = bit == 63 ? ~std::uint64_t{0} : (std::uint64_t{2} << bit) - 1;
      const bool special = line_special || (m.special & upto & ~seen) != 0;
      const std::size_t end = at + static_cast<std::size_t>(bit) + 1;
      if (!store_whole_line(table, options, std::string_view(data + line_start, end - line_start), special)) {
        return line_start;
      }
      line_start = end;
      seen = upto;
      line_special = false;
    }
    line_special = line_special || (m.special & ~seen) != 0;
  }
  return line_start;  // short of the size: a last line without a line feed
}

}  // namespace

void read_lines(InputFile& file, const char* name, const Options& options, LineTable& table) {
  if (file.whole != nullptr) {
    const std::size_t rest = store_whole_lines(file, options, table);
    if (rest == file.whole_size) return;
    stream_from(file, rest);
  }
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
    load_whole(file, argv[i]);
    read_lines(file, argv[i], options, table);
    close_input(file);
  }
  // Given back before sorting, when memory is at its peak.
  freemem(buffer);
}

}  // namespace qorla
