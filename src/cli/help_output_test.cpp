#include "cli/help_output.h"

#include <gtest/gtest.h>

#include <string>

namespace qorla {
namespace {

TEST(HelpOutput, CharsetChosenFromTheLocaleCodeset) {
  const struct {
    const char* codeset;
    const char* charset;
  } cases[] = {
      {"UTF-8", "UTF-8"},   {"utf8", "UTF-8"},     {"EUC-JP", "EUC-JP"}, {"eucJP", "EUC-JP"},
      {"euc_jp", "EUC-JP"}, {"ANSI_X3.4-1968", nullptr}, {"ISO-8859-1", nullptr},
      {"SHIFT_JIS", nullptr}, {"CP932", nullptr}, {"UTF-16", nullptr}, {"", nullptr},
  };
  for (const auto& c : cases) {
    const char* got = help_charset(c.codeset);
    EXPECT_EQ(got == nullptr ? std::string("(none)") : std::string(got),
              c.charset == nullptr ? std::string("(none)") : std::string(c.charset))
        << c.codeset;
  }
}

TEST(HelpOutput, ConvertsCodePage932) {
  const struct {
    const char* cp932;
    const char* utf8;
    const char* euc_jp;
  } cases[] = {
      {"\x83\x74", "\xE3\x83\x95", "\xA5\xD5"},            // フ
      {"\x83\x5C\\t", "\xE3\x82\xBD\\t", "\xA5\xBD\\t"},  // ソ, whose trail byte is 0x5C, then \t
      {"\x81\x40", "\xE3\x80\x80", "\xA1\xA1"},            // ideographic space
      {"\xB1", "\xEF\xBD\xB1", "\x8E\xB1"},                // half-width katakana
      {"\x82\x50 1\n", "\xEF\xBC\x91 1\n", "\xA3\xB1 1\n"},
  };
  for (const auto& c : cases) {
    std::string out;
    EXPECT_TRUE(convert_from_cp932(c.cp932, "UTF-8", out));
    EXPECT_EQ(out, c.utf8);
    EXPECT_TRUE(convert_from_cp932(c.cp932, "EUC-JP", out));
    EXPECT_EQ(out, c.euc_jp);
  }
}

TEST(HelpOutput, AnyConversionFailureIsReported) {
  std::string out;
  EXPECT_FALSE(convert_from_cp932("ok \x83", "UTF-8", out));      // cut inside a character
  EXPECT_FALSE(convert_from_cp932("\x87\x40", "EUC-JP", out));    // circled 1: not in EUC-JP
  EXPECT_FALSE(convert_from_cp932("text", "NO-SUCH-CHARSET", out));
}

TEST(HelpOutput, EveryCharacterOfTheHelpExistsInBothSets) {
  std::string out;
  for (const char* charset : {"UTF-8", "EUC-JP"}) {
    EXPECT_TRUE(convert_from_cp932(help_text_cp932(), charset, out)) << charset;
  }
}

}  // namespace
}  // namespace qorla
