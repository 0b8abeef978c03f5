#include "cli/help_output.h"

#include <cerrno>
#include <clocale>
#include <iconv.h>
#include <langinfo.h>
#include <unistd.h>

#include "cli/usage_text.h"

#ifndef QORLA_VERSION
#error "QORLA_VERSION must be defined by the build"
#endif

namespace qorla {

namespace {

// Codeset names compared as glibc spells them and as users write them:
// letters folded, '-' and '_' dropped ("UTF-8", "utf8", "eucJP").
bool same_codeset(std::string_view codeset, std::string_view name) {
  std::string folded;
  for (char c : codeset) {
    if (c == '-' || c == '_') continue;
    folded += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return folded == name;
}

}  // namespace

std::string help_text_cp932() {
  std::string text;
  for (int i = 0; usage_text[i] != nullptr; ++i) {
    text += usage_text[i];
    text += '\n';
  }
  return text;
}

const char* help_charset(std::string_view codeset) {
  if (same_codeset(codeset, "utf8")) return "UTF-8";
  if (same_codeset(codeset, "eucjp")) return "EUC-JP";
  return nullptr;
}

bool convert_from_cp932(std::string_view text, const char* charset, std::string& out) {
  iconv_t cd = ::iconv_open(charset, "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  // Every code page 932 character takes at most 3 bytes in UTF-8 or EUC-JP.
  out.assign(text.size() * 3, '\0');
  char* in_ptr = const_cast<char*>(text.data());
  std::size_t in_left = text.size();
  char* out_ptr = out.data();
  std::size_t out_left = out.size();
  bool ok = ::iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left) != static_cast<std::size_t>(-1);
  // Flushes any shift state, and reports input cut inside a character.
  ok = ok && ::iconv(cd, nullptr, nullptr, &out_ptr, &out_left) != static_cast<std::size_t>(-1);
  ::iconv_close(cd);
  out.resize(out.size() - out_left);
  return ok && in_left == 0;
}

std::string help_for_stdout() {
  std::string text = help_text_cp932();
  if (::isatty(1) == 0 || std::setlocale(LC_CTYPE, "") == nullptr) return text;
  const char* charset = help_charset(::nl_langinfo(CODESET));
  std::string converted;
  if (charset != nullptr && convert_from_cp932(text, charset, converted)) return converted;
  return text;
}

std::string version_text() { return "qorla " QORLA_VERSION "\nLicense: MIT\n"; }

}  // namespace qorla
