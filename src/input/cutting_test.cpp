#include "input/cutting.h"

#include <gtest/gtest.h>

#include <ostream>

#include <string>

#include "order/settings.h"

namespace qorla {
namespace {

// The text set_fields keeps, as it would be stored.
std::string kept(int n1, int n2, const std::string& line) {
  const Cut cut = set_fields(n1, n2, line);
  EXPECT_LE(cut.start + cut.length, line.size());
  std::string text = line.substr(cut.start, cut.length);
  if (cut.add_line_feed) text += '\n';
  return text;
}

struct CutCase {
  const char* name;
  unsigned char separator;  // -t; 0 = blanks and tabs
  int n1;
  int n2;
  std::string line;
  std::string expected;
};

// Test listings show the case by its name.
void PrintTo(const CutCase& c, std::ostream* os) { *os << c.name; }

const CutCase kCases[] = {
    // Without -c the line is kept whole, leading blanks and all.
    {"NoCutKeepsLeadingBlanks", 0, 0, 9999, "  alpha beta\n", "  alpha beta\n"},
    {"NoCutKeepsEmptyLine", 0, 0, 9999, "\n", "\n"},
    {"NoCutKeepsBlankLine", 0, 0, 9999, " \t \n", " \t \n"},
    {"NoCutNoLineFeed", 0, 0, 9999, "  x", "  x"},

    // -c n1: from field n1 to the end, line feed or not.
    {"FromFirstDropsLeadingBlanks", 0, 1, 9999, "  alpha beta\n", "alpha beta\n"},
    {"FromFirstDropsLeadingTab", 0, 1, 9999, "\t alpha\n", "alpha\n"},
    {"FromSecond", 0, 2, 9999, "alpha beta gamma\n", "beta gamma\n"},
    {"FromThird", 0, 3, 9999, "alpha beta gamma\n", "gamma\n"},
    {"FromSecondKeepsInnerRuns", 0, 2, 9999, "a  b\t\tc \n", "b\t\tc \n"},
    {"FromSecondNoLineFeed", 0, 2, 9999, "alpha beta", "beta"},
    {"FromSecondOneField", 0, 2, 9999, "alpha\n", ""},
    {"FromThirdTwoFieldsTrailingBlanks", 0, 3, 9999, "alpha beta  \n", ""},
    {"FromFirstEmptyLine", 0, 1, 9999, "\n", ""},
    {"FromFirstBlankLine", 0, 1, 9999, " \t \t\n", ""},
    {"FromFirstBlanksNoLineFeed", 0, 1, 9999, "   ", ""},
    {"FromFifthTwoFields", 0, 5, 9999, "a b\n", ""},
    {"FromSecondOneFieldNoLineFeed", 0, 2, 9999, "alpha", ""},

    // -c n1-n2: a result that is not empty ends in a line feed.
    {"SecondOnly", 0, 2, 2, "alpha beta gamma\n", "beta\n"},
    {"FirstTwo", 0, 1, 2, "alpha beta gamma\n", "alpha beta\n"},
    {"ThirdToNinth", 0, 3, 9, "alpha beta gamma\n", "gamma\n"},
    {"FirstOnlyNoLineFeed", 0, 1, 1, "alpha beta", "alpha\n"},
    {"LastOnlyNoLineFeed", 0, 3, 3, "alpha beta gamma", "gamma\n"},
    {"SecondToThirdRunsKeptInside", 0, 2, 3, "a  b\t\tc  d\n", "b\t\tc\n"},
    {"MissingFieldsWithLineFeed", 0, 3, 4, "alpha beta\n", ""},
    {"MissingFieldsNoLineFeed", 0, 3, 4, "alpha beta", "\n"},
    {"BlankLineWithUpperField", 0, 1, 2, "  \t\n", ""},
    {"BlanksNoLineFeedWithUpperField", 0, 1, 2, "  \t", "\n"},
    {"EmptyLineWithUpperField", 0, 2, 3, "\n", ""},
    // When fields are missing at the end the walk runs over the trailing
    // blanks up to the terminator: with a final line feed the line stays as
    // it is, without one a line feed is added after the blanks.
    {"UpperFieldMissingKeepsTrailingBlanks", 0, 1, 3, "a b  \n", "a b  \n"},
    {"UpperFieldPresentCutsTrailingBlanks", 0, 1, 2, "a b  \n", "a b\n"},
    {"UpperFieldMissingNoLineFeed", 0, 1, 3, "a b  ", "a b  \n"},
    {"LeadingBlanksWithRange", 0, 1, 1, "  alpha beta\n", "alpha\n"},

    // n2 below n1 keeps field n1 alone.
    {"UpperBelowLower", 0, 3, 2, "alpha beta gamma delta\n", "gamma\n"},
    {"UpperBelowLowerNoLineFeed", 0, 3, 1, "a b c", "c\n"},
    {"UpperBelowLowerLastField", 0, 2, 1, "alpha beta\n", "beta\n"},
    {"UpperBelowLowerMissing", 0, 3, 2, "alpha beta\n", ""},

    // A first field number below 1 counts as field 1, leading blanks skipped.
    {"NegativeLower", 0, -3, 9999, "  alpha beta\n", "alpha beta\n"},
    {"NegativeLowerWithRange", 0, -1, 1, "  alpha beta\n", "alpha\n"},

    // -t: only the separator byte separates (with the line feed); a run of
    // it counts as one.
    {"ColonDoubled", ':', 2, 2, "alpha::beta:gamma\n", "beta\n"},
    {"ColonFromSecond", ':', 2, 9999, "alpha::beta:gamma\n", "beta:gamma\n"},
    {"ColonThird", ':', 3, 3, "alpha::beta:gamma\n", "gamma\n"},
    {"ColonLeadingRun", ':', 1, 1, "::alpha:beta\n", "alpha\n"},
    {"ColonBlanksAreFieldBytes", ':', 2, 2, "a b:c\td:e\n", "c\td\n"},
    {"ColonLeadingBlanksKept", ':', 1, 9999, "  alpha:beta\n", "  alpha:beta\n"},
    {"ColonBlankLineHasAField", ':', 1, 1, "  \n", "  \n"},
    {"ColonTrailingRun", ':', 1, 2, "a:b::\n", "a:b\n"},
    {"BlankSeparatorTabIsFieldByte", ' ', 1, 1, "a\tb c\n", "a\tb\n"},
    {"TabSeparatorBlankIsFieldByte", '\t', 2, 2, "a b\t\tc d\te\n", "c d\n"},

    // Joined lines (-J): the line feed after a backslash separates fields,
    // so the fields of the continuation count.
    {"JoinedFromThird", 0, 3, 9999, "k1 v\\\nk2 w\n", "k2 w\n"},
    {"JoinedSecondOnly", 0, 2, 2, "k1 v\\\nk2 w\n", "v\\\n"},
    {"JoinedAcrossPieces", 0, 2, 3, "k1 v\\\nk2 w\n", "v\\\nk2\n"},
    {"JoinedFromFirst", 0, 1, 9999, "k1 v\\\nk2 w\n", "k1 v\\\nk2 w\n"},
    {"JoinedLastField", 0, 4, 4, "k1 v\\\nk2 w\n", "w\n"},
    {"JoinedColonSeparator", ':', 3, 3, "a:b\\\nc:d\n", "c\n"},
    {"JoinedContinuationStartsWithBlanks", 0, 3, 3, "a b\\\n  c d\n", "c\n"},
};

class SetFields : public ::testing::TestWithParam<CutCase> {
 protected:
  void TearDown() override { field_separator = 0; }
};

TEST_P(SetFields, KeepsTheRange) {
  const CutCase& c = GetParam();
  field_separator = c.separator;
  EXPECT_EQ(kept(c.n1, c.n2, c.line), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, SetFields, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<CutCase>& info) { return std::string(info.param.name); });

// -c n1-9999 is the same request as -c n1; an upper number above 9999 is a
// real upper field.
TEST(SetFieldsUpper, AboveNineThousandNineHundredNinetyNine) {
  field_separator = 0;
  EXPECT_EQ(kept(1, 10000, "a b"), "a b\n");
  EXPECT_EQ(kept(1, 10000, "a b\n"), "a b\n");
  EXPECT_EQ(kept(2, 10000, "a b  \n"), "b  \n");
}

// A field of the longest accepted line.
TEST(SetFieldsLong, LongFieldsAreWalked) {
  field_separator = 0;
  const std::string a(2000, 'a'), b(2090, 'b');
  EXPECT_EQ(kept(2, 2, a + " " + b + "\n"), b + "\n");
  EXPECT_EQ(kept(1, 1, a + " " + b + "\n"), a + "\n");
  EXPECT_EQ(kept(2, 9999, a + "\t" + b), b);
}

}  // namespace
}  // namespace qorla
