// Random bytes as the contents of one input file, read with random -J, -c
// and -t settings. The stored lines are compared with a model of the line
// reading: text-mode translation, pieces of at most 4095 bytes up to a line
// feed, a 0 byte ending the text of its piece, joining, the length limit
// and the field cut.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "input/input_file.h"
#include "input/line_table.h"
#include "input/reader.h"
#include "fuzz_support.h"
#include "order/settings.h"

namespace {

constexpr std::size_t kPieceMax = 4095;

struct Expected {
  std::vector<std::string> lines;
  bool too_long = false;
  std::string too_long_text;  // the first 4095 bytes of the over-long line
};

bool is_lead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// A piece's text continues the line when its last backslash that starts a
// character (double-byte characters stepped over) is followed by a line feed.
bool continues(const std::string& text) {
  std::size_t last = std::string::npos;
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b == '\\') last = i;
    i += is_lead(b) && i + 1 < text.size() ? 2 : 1;
  }
  return last != std::string::npos && last + 1 < text.size() && text[last + 1] == '\n';
}

// -c: fields are runs of bytes that are neither a line feed nor a separator.
std::string cut(const std::string& line, int n1, int n2, unsigned char separator) {
  if (n1 == 0) return line;
  auto separates = [&](unsigned char b) {
    return b == '\n' || (separator == 0 ? (b == ' ' || b == '\t') : b == separator);
  };
  struct Field {
    std::size_t begin, end;
  };
  std::vector<Field> fields;
  for (std::size_t i = 0; i < line.size();) {
    if (separates(static_cast<unsigned char>(line[i]))) {
      ++i;
      continue;
    }
    const std::size_t begin = i;
    while (i < line.size() && !separates(static_cast<unsigned char>(line[i]))) ++i;
    fields.push_back({begin, i});
  }
  const int count = static_cast<int>(fields.size());
  const int first = n1 < 1 ? 1 : n1;
  const std::size_t start = count >= first ? fields[first - 1].begin : line.size();
  if (n2 == 9999) return line.substr(start);
  std::size_t p;
  if (count < first) {
    p = line.size();
  } else if (n2 <= first) {
    p = fields[first - 1].end;
  } else {
    p = count >= n2 ? fields[n2 - 1].end : line.size();
  }
  if (p > 0 && line[p - 1] == '\n') return line.substr(start);
  return line.substr(start, p - start) + "\n";
}

Expected model(std::string_view raw, const qorla::Options& o, unsigned char separator) {
  // Text mode: the data ends at 0x1A, and carriage returns disappear.
  std::string data;
  for (char c : raw.substr(0, raw.find('\x1A'))) {
    if (c != '\r') data += c;
  }
  Expected e;
  std::size_t at = 0;
  bool ended = false;
  while (!ended) {
    std::string line;
    for (;;) {
      if (at == data.size()) {
        ended = true;
        break;
      }
      // One piece: up to and including a line feed, at most 4095 - L bytes.
      const std::size_t room = kPieceMax - line.size();
      const std::size_t lf = data.find('\n', at);
      std::size_t n = lf == std::string::npos ? data.size() - at : lf + 1 - at;
      if (n > room) n = room;
      std::string text = data.substr(at, n);
      at += n;
      text.resize(std::strlen(text.c_str()));
      line += text;
      if (!(o.join_flag && line.size() < kPieceMax && continues(text))) break;
    }
    if (line.size() >= kPieceMax) {
      e.too_long = true;
      e.too_long_text = line.substr(0, kPieceMax);
      return e;
    }
    if (!line.empty()) e.lines.push_back(cut(line, o.cut_first, o.cut_last, separator));
  }
  return e;
}

struct Read {
  qorla::InputFile* file;
  const qorla::Options* options;
  qorla::LineTable* table;
};

char input_buffer[1 << 20];

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const int fd = qorla_fuzz::make_memory_file("reader-input");
  qorla_fuzz::Reader in{data, size};
  const std::uint8_t flags = in.byte();
  qorla::Options options;
  options.join_flag = flags & 1;
  qorla::reset_settings();
  if (flags & 2) qorla::field_separator = in.byte();
  if (flags & 4) {
    // -c n1 or n1-n2: n1 is never 0, and n2 may even lie below n1 (a second
    // -c replaces only n1).
    options.cut_first = static_cast<std::int8_t>(in.byte()) % 12;
    if (options.cut_first == 0) options.cut_first = 1;
    if (flags & 8) options.cut_last = static_cast<std::int8_t>(in.byte()) % 14;
  }
  const std::string_view contents = in.rest();
  qorla_fuzz::set_memory_file(fd, contents);

  qorla::InputFile file;
  file.fd = fd;
  file.buffer = input_buffer;
  // A small buffer now and then, so that lines straddle refills.
  file.capacity = (flags & 16) ? 4096 + (flags >> 5) * 97 : sizeof input_buffer;
  // One table serves every input: a fresh 8 MiB text block per input would
  // cost more than the reading itself. The lines of the last input are
  // dropped and their storage used again.
  static qorla::LineTable table;
  static char* block_start = nullptr;
  static char* block_end = nullptr;
  if (table.lines == nullptr) {
    qorla::create_table(table);
    block_start = qorla::reserve_line(table, 0);
    block_end = table.block_end;
  }
  table.line_count = 0;
  table.block_next = block_start;
  table.block_end = block_end;
  // Without a small buffer, now and then the file is mapped, so that lines
  // are stored where they stand until one needs the stream reader.
  if (!(flags & 16) && (flags & 32)) qorla::load_whole(file, "input");
  Read read{&file, &options, &table};
  qorla_fuzz::StderrCapture capture;
  const int status = qorla_fuzz::run_trapping_exit(
      [](void* context) {
        auto& r = *static_cast<Read*>(context);
        qorla::read_lines(*r.file, "input", *r.options, *r.table);
      },
      &read);
  const std::string err = capture.finish();

  const Expected expected = model(contents, options, qorla::field_separator);
  if (expected.too_long) {
    FUZZ_CHECK(status == 1);
    FUZZ_CHECK(err == expected.too_long_text.substr(0, 768) + " \nError: too long line found!\n");
  } else {
    FUZZ_CHECK(status == -1 && err.empty());
    FUZZ_CHECK(static_cast<std::size_t>(table.line_count) == expected.lines.size());
    for (std::int32_t i = 0; i < table.line_count; ++i) {
      const std::string_view line = qorla::line_text(table.lines[i]);
      FUZZ_CHECK(line.size() <= kPieceMax);
      FUZZ_CHECK(line == expected.lines[static_cast<std::size_t>(i)]);
      // What every reader of a stored line relies on.
      FUZZ_CHECK(line.find('\0') == std::string_view::npos);
      FUZZ_CHECK(line.find('\n') != std::string_view::npos || line.data()[line.size()] == 0);
    }
  }
  // Inputs are too short to fill the first block.
  FUZZ_CHECK(table.block_end == block_end);
  return 0;
}
