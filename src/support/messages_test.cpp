#include "support/messages.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdarg>
#include <string>

namespace qorla {
namespace {

// err_edit takes a va_list; this gives it one.
std::string edit(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  const std::string text = err_edit(fmt, args);
  va_end(args);
  return text;
}

std::string run_errmsg(void (*call)()) {
  testing::internal::CaptureStderr();
  call();
  return testing::internal::GetCapturedStderr();
}

const std::string kA1020(1020, 'a');
const std::string kA1023(1023, 'a');
const std::string kA1024(1024, 'a');
const std::string kA1025(1025, 'a');
const std::string kA4095(4095, 'a');

TEST(ErrEdit, Directives) {
  EXPECT_EQ(edit("%s: bad option\n", "-q"), "-q: bad option\n");
  EXPECT_EQ(edit("%s: bad option", "-q"), "-q: bad option");
  EXPECT_EQ(edit("[%s]", ""), "[]");
  EXPECT_EQ(edit("%d|%d|%d", 0, -17, 2048), "0|-17|2048");
  EXPECT_EQ(edit("%d %d", INT_MAX, INT_MIN), "2147483647 -2147483648");
  EXPECT_EQ(edit("%x %x %x", 0, 255, 0xBEEF), "0 ff beef");
  EXPECT_EQ(edit("%x", -1), "ffffffff");
  EXPECT_EQ(edit("%x", INT_MIN), "80000000");
  EXPECT_EQ(edit("%c%c%c", 'o', 'k', '!'), "ok!");
  EXPECT_EQ(edit("%c", 0x100 + 'A'), "A");  // the low byte only
  EXPECT_EQ(edit("%c", 0x82), "\x82");
  EXPECT_EQ(edit("%f", 1.5), "1.500000");
  EXPECT_EQ(edit("%f", -0.25), "-0.250000");
  EXPECT_EQ(edit("%f", 0.0), "0.000000");
  EXPECT_EQ(edit("%f", 2.0 / 3.0), "0.666667");
  EXPECT_EQ(edit("%s=%d (%x) %c %f.", "n", 10, 10, 'z', 0.5), "n=10 (a) z 0.500000.");
}

TEST(ErrEdit, UnsupportedDirectivesAreCopied) {
  // "%" and the next byte are copied, no argument is read, and the
  // argument stays for the next real directive.
  EXPECT_EQ(edit("%%"), "%%");
  EXPECT_EQ(edit("%d%%", 5), "5%%");
  EXPECT_EQ(edit("100%% of %s", "it"), "100%% of it");
  EXPECT_EQ(edit("%5d|%d", 7), "%5d|7");
  EXPECT_EQ(edit("%ld|%d", 7), "%ld|7");
  EXPECT_EQ(edit("%-s|%s", "x"), "%-s|x");
  EXPECT_EQ(edit("%.2f|%f", 1.0), "%.2f|1.000000");
  EXPECT_EQ(edit("%D%S%X%d", 3), "%D%S%X3");
  EXPECT_EQ(edit("%q %s", "arg"), "%q arg");
  EXPECT_EQ(edit("% d", 1), "% d");
  EXPECT_EQ(edit("%\x82\xA0%d", 4), "%\x82\xA0" "4");  // a lead byte after '%'
  EXPECT_EQ(edit("%\\%d", 4), "%\\4");                // the backslash is the directive byte
}

TEST(ErrEdit, LonePercentAtTheEnd) {
  EXPECT_EQ(edit("%"), "%");
  EXPECT_EQ(edit("abc%"), "abc%");
  EXPECT_EQ(edit("%d%", 1), "1%");
}

TEST(ErrEdit, Backslashes) {
  // A backslash keeps the next byte alone; a format holding "%" goes through
  // this walk, so the two characters \ and n come out as "n".
  EXPECT_EQ(edit("a\\n%d", 1), "an1");
  EXPECT_EQ(edit("\\%d %d", 4), "%d 4");  // an escaped "%" starts no directive
  EXPECT_EQ(edit("\\\\%d", 2), "\\2");
  EXPECT_EQ(edit("%d\\", 3), "3\\");      // a backslash at the very end stays
  EXPECT_EQ(edit("\\\\\\%d", 2), "\\%d");
  EXPECT_EQ(edit("\\t%s", "x"), "tx");
}

TEST(ErrEdit, DoubleByteTrailBackslash) {
  // The walk is byte by byte: the trail byte 0x5C of a double-byte
  // character acts as a backslash, disappears, and the "%" after it is
  // copied without starting a directive.
  EXPECT_EQ(edit("\x95\x5C%s|%d", 7), "\x95%s|7");
  EXPECT_EQ(edit("\x83\x5C\x83\x5C%d", 1), "\x83\x83%d");
  EXPECT_EQ(edit("\x83\x5C\x83\x5C %d", 1), "\x83\x83 1");
  EXPECT_EQ(edit("%s\x95\x5C", "x"), "x\x95\x5C");  // a trail byte at the end stays
  // Half-width katakana are single bytes: the backslash after one is a
  // backslash either way.
  EXPECT_EQ(edit("\xB1\\n%d", 1), "\xB1n1");
}

TEST(ErrEdit, StringCutAndTextLimit) {
  // Exactly 1024 bytes fit: the string is whole and nothing more is written.
  EXPECT_EQ(edit("%s: not found\n", kA1024.c_str()), kA1024);
  // 1020 bytes: the format runs until the text holds 1024 bytes.
  EXPECT_EQ(edit("%s: not found\n", kA1020.c_str()), kA1020 + ": no");
  // A string that does not fit is cut to 768 bytes of text in total.
  EXPECT_EQ(edit("%s: not found\n", kA1025.c_str()), std::string(768, 'a') + ": not found\n");
  EXPECT_EQ(edit("%s \nError: too long line found!\n", kA4095.c_str()),
            std::string(768, 'a') + " \nError: too long line found!\n");
  // A second string counts the text already there.
  const std::string b600(600, 'b'), b524(524, 'b'), a500(500, 'a');
  EXPECT_EQ(edit("%s%s.", a500.c_str(), b600.c_str()), a500 + std::string(268, 'b') + ".");
  EXPECT_EQ(edit("%s%s.", a500.c_str(), b524.c_str()), a500 + b524);
  // Literal text before the string counts too.
  EXPECT_EQ(edit("xy%s!", kA1023.c_str()), "xy" + std::string(766, 'a') + "!");
  // A format longer than the limit stops at 1024 bytes.
  const std::string long_format = std::string(1100, 'f') + "%d";
  EXPECT_EQ(edit(long_format.c_str(), 1), std::string(1024, 'f'));
}

TEST(ErrEdit, DirectiveBegunBelowTheLimitIsWrittenWhole) {
  EXPECT_EQ(edit("%s%d tail", kA1023.c_str(), 123456), kA1023 + "123456");
  EXPECT_EQ(edit("%s%x tail", kA1023.c_str(), -1), kA1023 + "ffffffff");
  EXPECT_EQ(edit("%s%q tail", kA1023.c_str()), kA1023 + "%q");
  EXPECT_EQ(edit("%s%c%d", kA1023.c_str(), 'z', 5), kA1023 + "z");
  EXPECT_EQ(edit("%s\\%d", kA1023.c_str(), 5), kA1023 + "%");
  // A directive at 1024 bytes or more is not begun.
  EXPECT_EQ(edit("%s%d", kA1024.c_str(), 5), kA1024);
}

TEST(ErrEdit, TextStaysInsideTheBuffer) {
  // %f of a huge value begun at 1023 bytes is longer than the 256 spare bytes.
  const std::string huge = edit("%s%f", kA1023.c_str(), 1e300);
  EXPECT_LT(huge.size(), 1280u);
  EXPECT_EQ(huge.substr(0, 1024), kA1023 + "1");
  // A string that does not fit once the text is past 768 bytes.
  const std::string a800(800, 'a'), b300(300, 'b');
  const std::string past = edit("%s%s|end", a800.c_str(), b300.c_str());
  EXPECT_LT(past.size(), 1280u);
  EXPECT_EQ(past.substr(0, 800), a800);
}

TEST(ErrEdit, TwoMessagesInARow) {
  const std::string first = edit("%s: bad option\n", "-longer-argument");
  EXPECT_EQ(first, "-longer-argument: bad option\n");
  // The second text replaces the first; no tail of the longer first text stays.
  EXPECT_EQ(edit("%d", 7), "7");
  EXPECT_EQ(edit("x%s", kA1024.c_str()), "x" + std::string(767, 'a'));
  EXPECT_EQ(edit("%c", 'q'), "q");
}

TEST(ErrEdit, ReturnsTheSameStaticBuffer) {
  auto raw = [](const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    const char* p = err_edit(fmt, args);
    va_end(args);
    return p;
  };
  const char* p1 = raw("%d", 1);
  const char* p2 = raw("%s", "second");
  EXPECT_EQ(p1, p2);
  EXPECT_STREQ(p1, "second");
}

TEST(ErrMsg, WritesTheTextVerbatim) {
  EXPECT_EQ(run_errmsg([] { errmsg("cannot get memory\n"); }), "cannot get memory\n");
  EXPECT_EQ(run_errmsg([] { errmsg("%s: bad option\n", "-q"); }), "-q: bad option\n");
  EXPECT_EQ(run_errmsg([] { errmsg("%s: bad option", "-usage"); }), "-usage: bad option");
  // Without "%" the format is written unchanged, backslashes included.
  EXPECT_EQ(run_errmsg([] { errmsg("a\\nb\n"); }), "a\\nb\n");
  // With "%" the backslash walk applies.
  EXPECT_EQ(run_errmsg([] { errmsg("a\\nb%d\n", 1); }), "anb1\n");
  // A "%" in the finished text is printed as it is.
  EXPECT_EQ(run_errmsg([] { errmsg("%s: not found\n", "50%d"); }), "50%d: not found\n");
  EXPECT_EQ(run_errmsg([] { errmsg("100%%\n"); }), "100%%\n");
  // A 0 byte inside the text ends the output.
  EXPECT_EQ(run_errmsg([] { errmsg("a%cb\n", 0); }), "a");
  EXPECT_EQ(run_errmsg([] { errmsg("\nfloat %f\n", 0.125); }), "\nfloat 0.125000\n");
}

TEST(ErrMsg, PercentHiddenInADoubleByteCharacterIsNotADirective) {
  // The "%" search steps over double-byte characters: after the lead byte
  // 0x81 the "%" is a second byte, so the format is written unchanged.
  EXPECT_EQ(run_errmsg([] { errmsg("\x81%d\n", 5); }), "\x81%d\n");
  // Once a real "%" sends it to the formatter, the walk is byte by byte.
  EXPECT_EQ(run_errmsg([] { errmsg("\x81%d %d\n", 5, 6); }), "\x81" "5 6\n");
}

TEST(ErrMsg, LongTexts) {
  EXPECT_EQ(run_errmsg([] { errmsg("%s \nError: too long line found!\n", kA4095.c_str()); }),
            std::string(768, 'a') + " \nError: too long line found!\n");
  EXPECT_EQ(run_errmsg([] { errmsg("%s: not found\n", kA1020.c_str()); }), kA1020 + ": no");
}

}  // namespace
}  // namespace qorla
