#include "input/cutting.h"

#include "order/field_locator.h"

namespace qorla {

namespace {

struct Walk {
  std::string_view line;
  std::size_t p = 0;

  // The terminator reads as 0.
  unsigned char at() const { return p < line.size() ? static_cast<unsigned char>(line[p]) : 0; }
  bool at_terminator() const { return p >= line.size(); }
  bool on_separator() const { return !at_terminator() && (at() == '\n' || is_separator(at())); }
  void over_separators() {
    while (on_separator()) ++p;
  }
  void to_field_end() {
    while (!at_terminator() && !on_separator()) ++p;
  }
};

}  // namespace

Cut set_fields(int n1, int n2, std::string_view line) {
  Walk w{line};
  if (n1 != 0) w.over_separators();
  int field = 1;
  if (n1 >= 2) {
    for (int i = 1; i < n1; ++i) {
      w.to_field_end();
      if (w.at_terminator()) break;
      w.over_separators();
    }
    field = n1;
  }
  const std::size_t start = w.p;
  if (n2 == 9999) return Cut{start, line.size() - start, false};
  w.to_field_end();
  while (field < n2) {
    w.over_separators();
    w.to_field_end();
    if (w.at_terminator()) break;
    ++field;
  }
  if (w.p > 0 && line[w.p - 1] == '\n') return Cut{start, line.size() - start, false};
  return Cut{start, w.p - start, true};
}

}  // namespace qorla
