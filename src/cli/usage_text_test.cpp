#include "cli/usage_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

namespace qorla {
namespace {

// Expected code page 932 bytes are built here from the structure of the
// JIS X 0208 table, not from a converter: a character at row r, cell c
// (both from 1) has the lead byte 0x80 + (r + 1) / 2 (rows 1 to 62); on odd
// rows the trail byte is c + 0x3F, skipping 0x7F, on even rows c + 0x9E.
std::string jis(int row, int cell) {
  std::string out;
  out += static_cast<char>(0x80 + (row + 1) / 2);
  int trail = row % 2 == 1 ? cell + 0x3F + (cell >= 64 ? 1 : 0) : cell + 0x9E;
  out += static_cast<char>(trail);
  return out;
}

// The kanji of the lines checked below, with their code page 932 codes.
const std::map<char32_t, const char*>& kanji() {
  static const std::map<char32_t, const char*> table = {
      {U'行', "\x8D\x73"}, {U'並', "\x95\xC0"}, {U'終', "\x8F\x49"}, {U'場', "\x8F\xEA"},
      {U'合', "\x8D\x87"}, {U'次', "\x8E\x9F"}, {U'結', "\x8C\x8B"}, {U'順', "\x8F\x87"},
      {U'逆', "\x8B\x74"}, {U'指', "\x8E\x77"}, {U'定', "\x92\xE8"}, {U'番', "\x94\xD4"},
      {U'号', "\x8D\x86"}, {U'先', "\x90\xE6"}, {U'頭', "\x93\xAA"}, {U'数', "\x90\x94"},
      {U'値', "\x92\x6C"}, {U'比', "\x94\xE4"}, {U'較', "\x8A\x72"}, {U'進', "\x90\x69"},
      {U'以', "\x88\xC8"}, {U'下', "\x89\xBA"}, {U'有', "\x97\x4C"}, {U'効', "\x8C\xF8"},
      {U'年', "\x94\x4E"}, {U'代', "\x91\xE3"}, {U'降', "\x8D\x7E"},
  };
  return table;
}

// Converts the UTF-8 text of a help line: ASCII stays, kana, the
// ideographic space, 、 。 ー and full-width digits by their JIS positions,
// kanji from the table above.
std::string to_cp932(const std::string& utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const unsigned char b = static_cast<unsigned char>(utf8[i]);
    char32_t cp;
    if (b < 0x80) {
      out += static_cast<char>(b);
      ++i;
      continue;
    }
    if ((b & 0xF0) == 0xE0) {
      cp = ((b & 0x0Fu) << 12) | ((utf8[i + 1] & 0x3Fu) << 6) | (utf8[i + 2] & 0x3Fu);
      i += 3;
    } else {
      ADD_FAILURE() << "unexpected UTF-8 byte in expected text";
      return out;
    }
    if (cp >= U'ぁ' && cp <= U'ん') {
      out += jis(4, static_cast<int>(cp - 0x3040));
    } else if (cp >= U'ァ' && cp <= U'ヶ') {
      out += jis(5, static_cast<int>(cp - 0x30A0));
    } else if (cp == U'　') {
      out += jis(1, 1);
    } else if (cp == U'、') {
      out += jis(1, 2);
    } else if (cp == U'。') {
      out += jis(1, 3);
    } else if (cp == U'ー') {
      out += jis(1, 28);
    } else if (cp >= U'０' && cp <= U'９') {
      out += jis(3, static_cast<int>(cp - U'０') + 16);
    } else if (auto k = kanji().find(cp); k != kanji().end()) {
      out += k->second;
    } else {
      ADD_FAILURE() << "no code for U+" << std::hex << static_cast<unsigned>(cp);
    }
  }
  return out;
}

int leading_blanks(const char* line) {
  int n = 0;
  while (line[n] == ' ') ++n;
  return n;
}

TEST(UsageText, FortyTwoLinesClosedByNull) {
  for (int i = 0; i < kUsageLineCount; ++i) EXPECT_NE(usage_text[i], nullptr) << "line " << i + 1;
  EXPECT_EQ(usage_text[kUsageLineCount], nullptr);
  for (int i = 0; i < kUsageLineCount; ++i) {
    if (usage_text[i] == nullptr) continue;
    EXPECT_EQ(std::strchr(usage_text[i], '\n'), nullptr) << "line " << i + 1;
    EXPECT_EQ(std::strchr(usage_text[i], '\r'), nullptr) << "line " << i + 1;
  }
}

TEST(UsageText, KnownBytes) {
  // The first character is the katakana フ.
  EXPECT_EQ(std::string(usage_text[0]).substr(0, 2), "\x83\x74");
  EXPECT_EQ(std::string(usage_text[2]),
            "Usage: qorla [-iJuv] [-t<C>] [-c <n1>[-<n2>]] [+<field>]... <files>");
  EXPECT_STREQ(usage_text[kUsageLine], usage_text[2]);
  EXPECT_STREQ(usage_text[41], "Version: 1.41");
  EXPECT_STREQ(usage_text[1], "");
  EXPECT_STREQ(usage_text[3], "");
  for (int line : {11, 15, 19, 39, 41}) EXPECT_STREQ(usage_text[line - 1], " ") << "line " << line;
  // Line 32: nine ideographic spaces, then one blank, then た.
  std::string nine;
  for (int i = 0; i < 9; ++i) nine += "\x81\x40";
  EXPECT_EQ(std::string(usage_text[31]).substr(0, 21), nine + " \x82\xBD");
}

TEST(UsageText, KatakanaSoKeepsItsTrailBackslash) {
  // ソ is 0x83 0x5C; it appears in lines 1, 20 and 40 ("ソート").
  for (int line : {1, 20, 40}) {
    EXPECT_NE(std::string(usage_text[line - 1]).find("\x83\x5C\x81\x5B\x83\x67"), std::string::npos)
        << "line " << line;
  }
}

TEST(UsageText, LeadingBlanks) {
  const int blanks[kUsageLineCount] = {
      0, 0, 0, 0, 0, 3, 6, 6, 6, 6,          // 1-10
      1, 3, 12, 12, 1, 3, 12, 12, 1, 3,      // 11-20
      12, 12, 14, 12, 12, 12, 12, 12, 12, 15,  // 21-30
      15, 0, 15, 19, 19, 19, 15, 15, 1, 3,   // 31-40
      1, 0,                                  // 41-42
  };
  for (int i = 0; i < kUsageLineCount; ++i) {
    EXPECT_EQ(leading_blanks(usage_text[i]), blanks[i]) << "line " << i + 1;
  }
  // Lines with blanks begin text right after them (nothing is a blank-only
  // line except the five single blanks).
  for (int i = 0; i < kUsageLineCount; ++i) {
    const std::string s = usage_text[i];
    const bool single_blank = s == " ";
    if (!single_blank && !s.empty()) {
      EXPECT_NE(s.back(), ' ') << "line " << i + 1;
    }
  }
}

struct LineCase {
  int line;
  const char* utf8;
};

TEST(UsageText, WholeLines) {
  const LineCase cases[] = {
      {1, "ファイルの行をフィールドの並びにしたがってソートします。"},
      {5, "Parameter:"},
      {6, "   -iJuv:"},
      {8, "      J     行の終わりが'\\'の場合、次の行を結合してソートします。"},
      {10, "      v     並び順を逆にします。"},
      {13, "            タブを指定する場合には、\\tとします。"},
      {16, "   -c <n1>[-<n2>]"},
      {23, "              <no>[.<pos>[,<len>]][<option>]"},
      {24, "            <no>はフィールド番号で、これは先頭フィールドが１となります。"},
      {28, "            となります。"},
      {30, "               n   数値として比較します。"},
      {31, "               x   16進数として比較します。"},
      {32, "　　　　　　　　　 ただし、8バイト以下の有効16進コードまでとなります。"},
      {36, "                   1900年代とみなします。"},
      {38, "               r   並びを降順にします。"},
      {40, "   <files>  ソートするファイルを指定します。"},
  };
  for (const LineCase& c : cases) {
    EXPECT_EQ(std::string(usage_text[c.line - 1]), to_cp932(c.utf8)) << "line " << c.line;
  }
}

TEST(UsageText, ReferenceEncoderAgreesWithKnownCodes) {
  // Guards the expected-value builder itself against an arithmetic slip.
  EXPECT_EQ(to_cp932("フ"), "\x83\x74");
  EXPECT_EQ(to_cp932("ソ"), "\x83\x5C");
  EXPECT_EQ(to_cp932("ミム"), "\x83\x7E\x83\x80");  // 0x7F is skipped
  EXPECT_EQ(to_cp932("ヶ"), "\x83\x96");
  EXPECT_EQ(to_cp932("ぁあん"), "\x82\x9F\x82\xA0\x82\xF1");
  EXPECT_EQ(to_cp932("　、。ー"), "\x81\x40\x81\x41\x81\x42\x81\x5B");
  EXPECT_EQ(to_cp932("０１９"), "\x82\x4F\x82\x50\x82\x58");
}

}  // namespace
}  // namespace qorla
