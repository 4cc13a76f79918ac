// Reading input text: lines, free-format values and fixed columns.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "test_workdir.h"
#include "textio/fixed_format.h"
#include "textio/input_error.h"
#include "textio/line_source.h"
#include "textio/list_read.h"
#include "thrown_input_error.h"

namespace lg {
namespace {

using testing::input_error;

// The first n values of one list-directed read from src; `init` where the read left one alone.
template <class T>
std::vector<T> read_list(LineSource& src, int n, T init) {
  std::vector<T> v(static_cast<std::size_t>(n), init);
  ListRead r(src);
  for (T& x : v) r.read(x);
  return v;
}

TEST(LineSource, SplitsLinesAndNumbersThem) {
  LineSource src("mem", "first\n\nthird");
  EXPECT_EQ(src.name(), "mem");
  EXPECT_EQ(src.line_number(), 0);
  EXPECT_EQ(src.next(), "first");
  EXPECT_EQ(src.next(), "");
  EXPECT_EQ(src.line_number(), 2);
  EXPECT_FALSE(src.at_end());
  EXPECT_EQ(src.next(), "third");
  EXPECT_EQ(src.line_number(), 3);
  EXPECT_TRUE(src.at_end());
}

TEST(LineSource, FinalLineEndDoesNotAddALine) {
  LineSource a("a", "x\n");
  a.next();
  EXPECT_TRUE(a.at_end());
  LineSource b("b", "");
  EXPECT_TRUE(b.at_end());
  LineSource c("c", "\n");
  EXPECT_EQ(c.next(), "");
  EXPECT_TRUE(c.at_end());
}

TEST(LineSource, DropsCarriageReturnAtLineEndAndTurnsTabsIntoBlanks) {
  LineSource src("m", "1\t2\r\n\tx\r\ny\rz\r\n\r\n");
  EXPECT_EQ(src.next(), "1 2");
  EXPECT_EQ(src.next(), " x");
  EXPECT_EQ(src.next(), "y\rz");
  EXPECT_EQ(src.next(), "");
  EXPECT_TRUE(src.at_end());
}

TEST(LineSource, ReadingPastTheEndNamesTheFileAndLastLine) {
  LineSource src("model/strAB1", "a\nb\n");
  src.next();
  src.next();
  const InputError e = input_error([&] { src.next(); });
  EXPECT_EQ(e.file(), "model/strAB1");
  EXPECT_EQ(e.line(), 2);
  EXPECT_EQ(e.detail(), "unexpected end of file");
  EXPECT_EQ(std::string(e.what()), "model/strAB1:2: unexpected end of file");
}

TEST(LineSource, OpensFilesAndReportsMissingOnes) {
  const testing::WorkDir w;
  w.write("lines.txt", "  6  20.\r\nlast");
  const std::filesystem::path path = w.at("lines.txt");
  LineSource src = LineSource::open(path.string());
  EXPECT_EQ(src.name(), path.string());
  EXPECT_EQ(src.next(), "  6  20.");
  EXPECT_EQ(src.next(), "last");
  EXPECT_TRUE(src.at_end());
  std::filesystem::remove(path);

  const InputError e = input_error([&] { LineSource::open(path.string()); });
  EXPECT_EQ(e.file(), path.string());
  EXPECT_EQ(e.line(), 0);
  EXPECT_EQ(e.detail().rfind("cannot open: ", 0), 0u) << e.detail();
}

TEST(ParseInt, AcceptsSignedDigitsOnly) {
  struct Case {
    const char* text;
    int value;
  };
  int v = -1;
  for (const Case& c : {Case{"5", 5}, Case{"  +2 ", 2}, Case{"-17", -17}, Case{"007", 7},
                        Case{"-2147483648", std::numeric_limits<int>::min()},
                        Case{"2147483647", std::numeric_limits<int>::max()}}) {
    EXPECT_TRUE(parse_int(c.text, v)) << c.text;
    EXPECT_EQ(v, c.value) << c.text;
  }

  v = 42;
  for (const char* bad : {"", " ", "+", "-", "6.5", "6.", "abc", "1e3", "5 6", "5,", "--1",
                          "2147483648", "-2147483649", "99999999999999999999"}) {
    EXPECT_FALSE(parse_int(bad, v)) << '"' << bad << '"';
  }
  EXPECT_EQ(v, 42);  // a failed parse leaves the value alone
}

TEST(ParseReal, AcceptsTheUsualForms) {
  struct Case {
    const char* text;
    double value;
  };
  for (const Case& c : {Case{"1.", 1.0}, Case{".5", 0.5}, Case{"5", 5.0}, Case{"1e3", 1000.0},
                        Case{"1.0d-3", 0.001}, Case{"1.0D-3", 0.001}, Case{"+2", 2.0},
                        Case{"-2.5E+02", -250.0}, Case{"1.5D2", 150.0}, Case{"1.5d2", 150.0},
                        Case{"  0.1  ", 0.1}, Case{"-0.314159265359", -0.314159265359},
                        Case{"1.E-05", 1e-5}, Case{"20.", 20.0}, Case{"-.25", -0.25}}) {
    double v = -1.0;
    EXPECT_TRUE(parse_real(c.text, v)) << c.text;
    EXPECT_EQ(v, c.value) << c.text;
  }
}

TEST(ParseReal, ExponentWithoutLetterAsInThreeDigitExponentOutput) {
  double v = 0.0;
  EXPECT_TRUE(parse_real("0.123457+100", v));
  EXPECT_EQ(v, 0.123457e100);
  EXPECT_TRUE(parse_real("-0.5-3", v));
  EXPECT_EQ(v, -0.5e-3);
}

TEST(ParseReal, ExtremeAndSpecialValues) {
  double v = 1.0;
  EXPECT_TRUE(parse_real("4.9406564584124654E-324", v));
  EXPECT_EQ(v, std::numeric_limits<double>::denorm_min());
  EXPECT_TRUE(parse_real("1.7976931348623157E+308", v));
  EXPECT_EQ(v, std::numeric_limits<double>::max());
  EXPECT_TRUE(parse_real("1e-400", v));  // below the smallest denormal: zero
  EXPECT_EQ(v, 0.0);
  EXPECT_TRUE(parse_real("NaN", v));
  EXPECT_TRUE(std::isnan(v));
  EXPECT_TRUE(parse_real("-Inf", v));
  EXPECT_EQ(v, -std::numeric_limits<double>::infinity());
  EXPECT_TRUE(parse_real("infinity", v));
  EXPECT_EQ(v, std::numeric_limits<double>::infinity());
}

TEST(ParseReal, RejectsWhatIsNotOneNumber) {
  double v = 7.0;
  for (const char* bad : {"", "  ", ".", "+", "-.", "e5", "1.5e", "1.5e+", "abc", "x", "1.2.3",
                          "1,5", "1 5", "--1", "1e3.5", "1ee3", "1e999", "-1e999", "0x10"}) {
    EXPECT_FALSE(parse_real(bad, v)) << '"' << bad << '"';
  }
  EXPECT_EQ(v, 7.0);
}

TEST(ListRead, ValuesSeparatedByBlanksAndCommas) {
  LineSource src("m", "  8, 3  45.0 ,30.0\n");
  int a = 0, b = 0;
  double c = 0.0, d = 0.0;
  ListRead r(src);
  r.read(a);
  r.read(b);
  r.read(c);
  r.read(d);
  EXPECT_EQ(a, 8);
  EXPECT_EQ(b, 3);
  EXPECT_EQ(c, 45.0);
  EXPECT_EQ(d, 30.0);
}

TEST(ListRead, ExponentFormsTabsAndCarriageReturns) {
  LineSource src("m", "1.0d-3\t2D2 .5, 5.\t+2 1e3\r\n");
  EXPECT_EQ(read_list(src, 6, 0.0), (std::vector<double>{0.001, 200.0, 0.5, 5.0, 2.0, 1000.0}));
}

TEST(ListRead, ReadContinuesOnFollowingLinesAndIgnoresTheRest) {
  LineSource src("m", "1 2 3\n\n4 5\n6 7 8\nnext\n");
  EXPECT_EQ(read_list(src, 6, 0.0), (std::vector<double>{1, 2, 3, 4, 5, 6}));
  // 7 and 8 were left on the last line of the read; the next read starts on a new line.
  EXPECT_EQ(src.next(), "next");
}

TEST(ListRead, EachReadStartsOnANewLine) {
  LineSource src("m", "1 2 3\n4\n");
  int a = 0, b = 0;
  ListRead(src).read(a);
  ListRead(src).read(b);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 4);
  EXPECT_TRUE(src.at_end());
}

TEST(ListRead, RepeatCounts) {
  LineSource src("m", "3*0. 7.5\n2*5 1\n2*'AB' CD\n");
  EXPECT_EQ(read_list(src, 4, -1.0), (std::vector<double>{0.0, 0.0, 0.0, 7.5}));
  EXPECT_EQ(read_list(src, 3, 0), (std::vector<int>{5, 5, 1}));
  std::string s[3];
  {
    ListRead r(src);
    for (std::string& x : s) r.read(x, 3);
  }
  EXPECT_EQ(s[0], "AB ");
  EXPECT_EQ(s[1], "AB ");
  EXPECT_EQ(s[2], "CD ");
}

TEST(ListRead, RepeatedRunMayEndTheLine) {
  // The repeat supplies values without fetching another line.
  LineSource src("m", "2*1.5\nnext\n");
  EXPECT_EQ(read_list(src, 2, 0.0), (std::vector<double>{1.5, 1.5}));
  EXPECT_EQ(src.next(), "next");
}

TEST(ListRead, NullValuesLeaveItemsUnchanged) {
  LineSource src("m", "1,,3\n,5\n1, ,3\n2* 9\n");
  EXPECT_EQ(read_list(src, 3, -1), (std::vector<int>{1, -1, 3}));
  EXPECT_EQ(read_list(src, 2, -1), (std::vector<int>{-1, 5}));  // a comma first: first is null
  EXPECT_EQ(read_list(src, 3, -1), (std::vector<int>{1, -1, 3}));
  EXPECT_EQ(read_list(src, 3, -1), (std::vector<int>{-1, -1, 9}));  // "2*" is two null values
}

TEST(ListRead, SlashEndsTheReadLeavingTheRestUnchanged) {
  LineSource src("m", "1 2/ 3\n4\n/\n5\n");
  EXPECT_EQ(read_list(src, 4, -1), (std::vector<int>{1, 2, -1, -1}));
  EXPECT_EQ(src.next(), "4");  // the slash stopped the read from taking more lines
  EXPECT_EQ(read_list(src, 1, -1), std::vector<int>{-1});
  EXPECT_EQ(src.next(), "5");
}

TEST(ListRead, CharacterValuesBareOrQuotedCutOrPadded) {
  LineSource src("m", "AB1\n'XY'\nABCDE\n'A B'\n'O''K'\n\"QZ\"\n'a,/b' , next\nZ\n");
  std::string s;
  for (const char* value : {"AB1", "XY ", "ABC", "A B", "O'K", "QZ "}) {
    ListRead(src).read(s, 3);
    EXPECT_EQ(s, value);
  }
  std::string t;
  {
    ListRead r(src);
    r.read(s, 4);
    r.read(t, 4);
  }
  EXPECT_EQ(s, "a,/b");
  EXPECT_EQ(t, "next");
  ListRead(src).read(s, 1);
  EXPECT_EQ(s, "Z");
}

TEST(ListRead, UnreadableValuesNameTheLineAndValue) {
  LineSource src("ctl", "5\n 6.5\n");
  int n = 0;
  ListRead(src).read(n);
  InputError e = input_error([&] { ListRead(src).read(n); });
  EXPECT_EQ(e.file(), "ctl");
  EXPECT_EQ(e.line(), 2);
  EXPECT_EQ(e.detail(), "cannot read \"6.5\" as an integer");
  EXPECT_EQ(n, 5);

  LineSource s2("mod", "1.0 x\n");
  double d = 0.0;
  e = input_error([&] {
    ListRead r(s2);
    r.read(d);
    r.read(d);
  });
  EXPECT_EQ(e.line(), 1);
  EXPECT_EQ(e.detail(), "cannot read \"x\" as a real");
  EXPECT_EQ(d, 1.0);

  LineSource s3("mod", "'5'\n");
  e = input_error([&] { ListRead(s3).read(n); });
  EXPECT_EQ(e.detail(), "cannot read \"'5'\" as an integer");
}

TEST(ListRead, MalformedRepeatsAndQuotes) {
  LineSource a("m", "0*1\n");
  int n = 0;
  EXPECT_EQ(input_error([&] { ListRead(a).read(n); }).detail(), "invalid repeat count \"0\"");

  LineSource b("m", "1\n'AB\n");
  std::string s;
  const InputError e = input_error([&] {
    ListRead r(b);
    r.read(s, 3);
    r.read(s, 3);
  });
  EXPECT_EQ(e.line(), 2);
  EXPECT_EQ(e.detail(), "character value without its closing '");

  LineSource c("m", "'AB'C\n");
  EXPECT_EQ(input_error([&] { ListRead(c).read(s, 3); }).detail(),
            "unexpected \"C\" after character value");
}

TEST(ListRead, EndOfFileBeforeTheReadIsSatisfied) {
  LineSource src("sub", "1 2\n\n");
  int v[3] = {};
  const InputError e = input_error([&] {
    ListRead r(src);
    for (int& x : v) r.read(x);
  });
  EXPECT_EQ(e.file(), "sub");
  EXPECT_EQ(e.line(), 2);
  EXPECT_EQ(e.detail(), "unexpected end of file");
  EXPECT_EQ(v[0], 1);
  EXPECT_EQ(v[1], 2);

  LineSource empty("sub", "");
  EXPECT_EQ(input_error([&] { ListRead r(empty); }).detail(), "unexpected end of file");
}

TEST(SkipLine, SkipsExactlyOneLineWhateverItHolds) {
  LineSource src("m", "1 2 3\n\n'x'\nlast\n");
  skip_line(src);
  skip_line(src);
  EXPECT_EQ(src.line_number(), 2);
  skip_line(src);
  EXPECT_EQ(src.next(), "last");
  EXPECT_EQ(input_error([&] { skip_line(src); }).detail(), "unexpected end of file");
}

TEST(FixedField, ColumnsAreOneBasedAndPaddedWithBlanks) {
  const std::string line = "   8   3   45.0   30.0";
  EXPECT_EQ(fixed_field(line, 1, 4), "   8");
  EXPECT_EQ(fixed_field(line, 5, 4), "   3");
  EXPECT_EQ(fixed_field(line, 9, 7), "   45.0");
  EXPECT_EQ(fixed_field(line, 16, 7), "   30.0");
  EXPECT_EQ(fixed_field("abc", 2, 4), "bc  ");
  EXPECT_EQ(fixed_field("abc", 9, 3), "   ");
}

TEST(ReadFixedInt, BlanksIgnoredAndBlankFieldIsZero) {
  struct Case {
    const char* field;
    int value;
  };
  int v = -1;
  for (const Case& c :
       {Case{"   8", 8}, Case{" -12", -12}, Case{" 4 5", 45}, Case{"8   ", 8}, Case{"    ", 0}}) {
    EXPECT_TRUE(read_fixed_int(c.field, v)) << '"' << c.field << '"';
    EXPECT_EQ(v, c.value) << '"' << c.field << '"';
  }
  v = 3;
  EXPECT_TRUE(read_fixed_int("", v));
  EXPECT_EQ(v, 0);
  v = 3;
  EXPECT_FALSE(read_fixed_int(" 1.5", v));
  EXPECT_FALSE(read_fixed_int(" abc", v));
  EXPECT_FALSE(read_fixed_int("  - ", v));
  EXPECT_EQ(v, 3);
}

TEST(ReadFixedReal, ImpliedDecimalsApplyOnlyWithoutAPoint) {
  struct Case {
    const char* field;
    int implied;
    double value;
  };
  for (const Case& c :
       {Case{"    455", 1, 45.5}, Case{"   45.0", 1, 45.0}, Case{"  4 5  ", 1, 4.5},
        Case{"   -455", 1, -45.5}, Case{"  +30  ", 1, 3.0}, Case{"    455", 0, 455.0},
        Case{"  12345", 3, 12.345}, Case{" 455E1 ", 1, 455.0}, Case{" 4.55E1", 1, 45.5},
        Case{"  12D-1", 1, 0.12}, Case{" 45.   ", 1, 45.0}, Case{"    .5 ", 1, 0.5},
        Case{"     30", 1, 3.0}, Case{"       ", 1, 0.0}, Case{"", 1, 0.0}}) {
    double v = -1.0;
    EXPECT_TRUE(read_fixed_real(c.field, c.implied, v)) << '"' << c.field << '"';
    EXPECT_EQ(v, c.value) << '"' << c.field << '"';
  }
}

TEST(ReadFixedReal, RejectsFieldsThatAreNotNumbers) {
  double v = 9.0;
  for (const char* bad :
       {"  abc  ", "   4x5", "  455E ", "  455x1", "   +   ", " 1.2.3 ", "  .   "}) {
    EXPECT_FALSE(read_fixed_real(bad, 1, v)) << '"' << bad << '"';
  }
  EXPECT_EQ(v, 9.0);
}

TEST(FixedLayouts, WrittenValuesReadBack) {
  for (double x : {45.0, 30.0, -12.5, 0.0, 359.9}) {
    double v = -1.0;
    ASSERT_TRUE(read_fixed_real(fixed_f(x, 7, 1), 1, v));
    EXPECT_EQ(v, x);
  }
  for (double x : {12.3456, -0.0005, 1.5e100, -2.5e-120}) {
    double v = 0.0;
    ASSERT_TRUE(parse_real(fixed_e(x, 13, 6), v)) << fixed_e(x, 13, 6);
    EXPECT_EQ(v, x);
  }
  int n = 0;
  ASSERT_TRUE(read_fixed_int(fixed_i(-37, 4), n));
  EXPECT_EQ(n, -37);
}

}  // namespace
}  // namespace lg
