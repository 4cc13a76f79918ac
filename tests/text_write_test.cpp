// Free-format lines and the fixed number layouts of the output files.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

#include "textio/fixed_format.h"
#include "textio/free_write.h"

namespace lg {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kDenormMin = std::numeric_limits<double>::denorm_min();
constexpr double kMax = std::numeric_limits<double>::max();

TEST(FreeReal, WholeAndShortValuesGetSignPositionAndPoint) {
  EXPECT_EQ(free_real(5.0), "  5.");
  EXPECT_EQ(free_real(-20.0), " -20.");
  EXPECT_EQ(free_real(0.0), "  0.");
  EXPECT_EQ(free_real(1.0), "  1.");
  EXPECT_EQ(free_real(0.1), "  0.1");
  EXPECT_EQ(free_real(-0.5), " -0.5");
  EXPECT_EQ(free_real(12.3456789), "  12.3456789");
}

TEST(FreeReal, NineSignificantDigitsTrailingZerosDropped) {
  EXPECT_EQ(free_real(1.0 / 3.0), "  0.333333333");
  EXPECT_EQ(free_real(2.0 / 3.0), "  0.666666667");
  EXPECT_EQ(free_real(-0.314159265359), " -0.314159265");
  EXPECT_EQ(free_real(0.1 + 0.2), "  0.3");
  EXPECT_EQ(free_real(1234.5), "  1234.5");
}

TEST(FreeReal, NotationSwitchesBelowTenToMinusFourAndAtTenToNine) {
  EXPECT_EQ(free_real(0.0001), "  0.0001");
  EXPECT_EQ(free_real(0.00012345), "  0.00012345");
  EXPECT_EQ(free_real(1e-5), "  1.E-05");
  EXPECT_EQ(free_real(-1.5e-7), " -1.5E-07");
  EXPECT_EQ(free_real(123456789.0), "  123456789.");
  EXPECT_EQ(free_real(1e9), "  1.E+09");
  EXPECT_EQ(free_real(1e10), "  1.E+10");
  EXPECT_EQ(free_real(2.5e15), "  2.5E+15");
  EXPECT_EQ(free_real(1e100), "  1.E+100");
}

TEST(FreeReal, NotationIsChosenAfterRounding) {
  // Rounds up to 1.00000000E+09, which is at the exponent threshold.
  EXPECT_EQ(free_real(999999999.5), "  1.E+09");
  EXPECT_EQ(free_real(999999999.4), "  999999999.");
  // Rounds up to 1.00000000E-04, which is back in fixed notation.
  EXPECT_EQ(free_real(9.99999999996e-5), "  0.0001");
  EXPECT_EQ(free_real(9.9999999e-5), "  9.9999999E-05");
}

TEST(FreeReal, ExtremeMagnitudes) {
  EXPECT_EQ(free_real(kDenormMin), "  4.94065646E-324");
  EXPECT_EQ(free_real(-kMax), " -1.79769313E+308");
}

TEST(FreeReal, NegativeZeroNaNAndInfinity) {
  EXPECT_EQ(free_real(-0.0), "  0.");
  EXPECT_EQ(free_real(kNaN), "  NaN");
  EXPECT_EQ(free_real(-kNaN), "  NaN");
  EXPECT_EQ(free_real(kInf), "  Inf");
  EXPECT_EQ(free_real(-kInf), " -Inf");
}

TEST(FreeLine, IntegersAndTexts) {
  EXPECT_EQ(FreeLine().i(5).i(2).t("   total area grid number").str(),
            " 5 2   total area grid number\n");
  EXPECT_EQ(FreeLine().i(-3).i(0).i(1234567890123LL).str(), " -3 0 1234567890123\n");
  EXPECT_EQ(FreeLine().i(std::numeric_limits<long long>::min()).str(), " -9223372036854775808\n");
}

TEST(FreeLine, RealsStartWithBlankAndSignPosition) {
  EXPECT_EQ(FreeLine().r(5.0).r(-20.0).r(0.0).str(), "  5. -20.  0.\n");
  EXPECT_EQ(FreeLine().i(8).r(0.001).str(), " 8  0.001\n");
}

TEST(FreeLine, TextGetsLeadingBlankOnlyWhenFirst) {
  EXPECT_EQ(FreeLine().t("hc,vp,vs,rho,qp,qs").str(), " hc,vp,vs,rho,qp,qs\n");
  EXPECT_EQ(FreeLine().t("freq =").r(0.1).t("iter =").i(101).str(), " freq =  0.1iter = 101\n");
  EXPECT_EQ(FreeLine().t("a").t("b").str(), " ab\n");
  // Leading and trailing blanks of a text are kept.
  EXPECT_EQ(FreeLine().t("  x  ").i(1).str(), "   x   1\n");
}

TEST(FreeLine, EmptyStatementWritesOneBlankLine) {
  EXPECT_EQ(FreeLine().str(), " \n");
}

TEST(FreeLine, LineMayReachColumn79ButNot80) {
  const std::string t75(75, 'x');
  // " " + 75 characters = 76 columns; an integer of width 3 ends at column 79.
  EXPECT_EQ(FreeLine().t(t75).i(12).str(), " " + t75 + " 12\n");
  // One of width 4 would reach column 80, so it starts the next line.
  EXPECT_EQ(FreeLine().t(t75).i(123).str(), " " + t75 + "\n 123\n");
  // The same for texts appended without a separator.
  EXPECT_EQ(FreeLine().t(t75).t("abc").str(), " " + t75 + "abc\n");
  EXPECT_EQ(FreeLine().t(t75).t("abcd").str(), " " + t75 + "\n abcd\n");
  // And for reals, whose width includes the blank and the sign position.
  const std::string t74(74, 'x');
  EXPECT_EQ(FreeLine().t(t74).r(1.0).str(), " " + t74 + "  1.\n");
  EXPECT_EQ(FreeLine().t(t74).r(-10.0).str(), " " + t74 + "\n -10.\n");
  EXPECT_EQ(FreeLine().t(t75).r(1.0).str(), " " + t75 + "\n  1.\n");
}

TEST(FreeLine, ManyNumbersWrapOntoFurtherLines) {
  // Each "  0.123456789" is 13 columns: six fill 78 columns, a seventh would pass 80.
  FreeLine line;
  for (int k = 0; k < 8; ++k) line.r(0.123456789);
  const std::string six =
      "  0.123456789  0.123456789  0.123456789  0.123456789"
      "  0.123456789  0.123456789";
  ASSERT_EQ(six.size(), 78u);
  EXPECT_EQ(line.str(), six + "\n  0.123456789  0.123456789\n");

  // 78 columns and a one-column text make 79: no wrap. A two-column integer makes 80: wrap.
  FreeLine a;
  for (int k = 0; k < 6; ++k) a.r(0.123456789);
  EXPECT_EQ(a.t("x").str(), six + "x\n");
  FreeLine b;
  for (int k = 0; k < 6; ++k) b.r(0.123456789);
  EXPECT_EQ(b.i(1).str(), six + "\n 1\n");
}

TEST(FreeLine, LongNameGoesOnItsOwnLine) {
  const std::string name80 = std::string("model/strAB1") + std::string(68, ' ');
  ASSERT_EQ(name80.size(), 80u);
  EXPECT_EQ(FreeLine().t("filin=").t(name80).str(), " filin=\n " + name80 + "\n");
  // An item too long for any line is still written on a line of its own, not after an empty one.
  EXPECT_EQ(FreeLine().t(name80).str(), " " + name80 + "\n");
  EXPECT_EQ(FreeLine().t(name80).i(1).str(), " " + name80 + "\n 1\n");
}

TEST(FixedInt, RightJustifiedOrAsterisks) {
  EXPECT_EQ(fixed_i(8, 4), "   8");
  EXPECT_EQ(fixed_i(-12, 4), " -12");
  EXPECT_EQ(fixed_i(-999, 4), "-999");
  EXPECT_EQ(fixed_i(9999, 4), "9999");
  EXPECT_EQ(fixed_i(12345, 4), "****");
  EXPECT_EQ(fixed_i(-1000, 4), "****");
  EXPECT_EQ(fixed_i(7, 3), "  7");
  EXPECT_EQ(fixed_i(1000, 3), "***");
}

TEST(FixedReal, DigitsAfterPointAndLeadingZero) {
  EXPECT_EQ(fixed_f(6.0, 10, 3), "     6.000");
  EXPECT_EQ(fixed_f(45.0, 7, 1), "   45.0");
  EXPECT_EQ(fixed_f(0.5, 7, 1), "    0.5");
  EXPECT_EQ(fixed_f(-0.5, 7, 1), "   -0.5");
  EXPECT_EQ(fixed_f(2.26, 7, 1), "    2.3");
  EXPECT_EQ(fixed_f(-2.24, 7, 1), "   -2.2");
  EXPECT_EQ(fixed_f(3.4567, 10, 3), "     3.457");
  EXPECT_EQ(fixed_f(5.0, 4, 0), "  5.");
}

TEST(FixedReal, ValuesRoundingToZeroHaveNoMinusSign) {
  EXPECT_EQ(fixed_f(0.04, 7, 1), "    0.0");
  EXPECT_EQ(fixed_f(-0.04, 7, 1), "    0.0");
  EXPECT_EQ(fixed_f(-0.0, 7, 1), "    0.0");
  EXPECT_EQ(fixed_f(-0.0004, 10, 3), "     0.000");
  EXPECT_EQ(fixed_f(-0.06, 7, 1), "   -0.1");
}

TEST(FixedReal, TooWideForFieldGivesAsterisks) {
  EXPECT_EQ(fixed_f(999999.9994, 10, 3), "999999.999");
  EXPECT_EQ(fixed_f(999999.9996, 10, 3), "**********");  // rounds to 1000000.000
  EXPECT_EQ(fixed_f(1234567.0, 10, 3), "**********");
  EXPECT_EQ(fixed_f(-99999.9, 10, 3), "-99999.900");
  EXPECT_EQ(fixed_f(-100000.0, 10, 3), "**********");
  EXPECT_EQ(fixed_f(1e300, 10, 3), "**********");
  EXPECT_EQ(fixed_f(99999.94, 7, 1), "99999.9");
  EXPECT_EQ(fixed_f(-9999.96, 7, 1), "*******");
}

TEST(FixedReal, NaNAndInfinityRightJustified) {
  EXPECT_EQ(fixed_f(kNaN, 7, 1), "    NaN");
  EXPECT_EQ(fixed_f(-kNaN, 7, 1), "    NaN");
  EXPECT_EQ(fixed_f(kInf, 10, 3), "       Inf");
  EXPECT_EQ(fixed_f(-kInf, 10, 3), "      -Inf");
  EXPECT_EQ(fixed_f(-kInf, 3, 1), "***");
}

TEST(FixedExponent, SixSignificantDigitsAfterZeroPoint) {
  EXPECT_EQ(fixed_e(12.3456789, 13, 6), " 0.123457E+02");
  EXPECT_EQ(fixed_e(-0.0005, 13, 6), "-0.500000E-03");
  EXPECT_EQ(fixed_e(1.0, 13, 6), " 0.100000E+01");
  EXPECT_EQ(fixed_e(0.1, 13, 6), " 0.100000E+00");
  EXPECT_EQ(fixed_e(-123456.0, 13, 6), "-0.123456E+06");
  EXPECT_EQ(fixed_e(0.99999949, 13, 6), " 0.999999E+00");
}

TEST(FixedExponent, RoundingCarriesIntoTheExponent) {
  EXPECT_EQ(fixed_e(0.9999995, 13, 6), " 0.100000E+01");
  EXPECT_EQ(fixed_e(-9.9999996, 13, 6), "-0.100000E+02");
  EXPECT_EQ(fixed_e(9.999994e98, 13, 6), " 0.999999E+99");
  EXPECT_EQ(fixed_e(9.999996e98, 13, 6), " 0.100000+100");
}

TEST(FixedExponent, ThreeDigitExponentDropsTheLetter) {
  EXPECT_EQ(fixed_e(1e100, 13, 6), " 0.100000+101");
  EXPECT_EQ(fixed_e(1e-100, 13, 6), " 0.100000E-99");
  EXPECT_EQ(fixed_e(-1e-101, 13, 6), "-0.100000-100");
  EXPECT_EQ(fixed_e(kMax, 13, 6), " 0.179769+309");
  EXPECT_EQ(fixed_e(kDenormMin, 13, 6), " 0.494066-323");
  EXPECT_EQ(fixed_e(-2.5e-310, 13, 6), "-0.250000-309");
}

TEST(FixedExponent, ZeroNaNAndInfinity) {
  EXPECT_EQ(fixed_e(0.0, 13, 6), " 0.000000E+00");
  EXPECT_EQ(fixed_e(-0.0, 13, 6), " 0.000000E+00");
  EXPECT_EQ(fixed_e(kNaN, 13, 6), "          NaN");
  EXPECT_EQ(fixed_e(kInf, 13, 6), "          Inf");
  EXPECT_EQ(fixed_e(-kInf, 13, 6), "         -Inf");
}

TEST(FixedExponent, OtherWidthsAndDigits) {
  EXPECT_EQ(fixed_e(12.3456789, 10, 3), " 0.123E+02");
  EXPECT_EQ(fixed_e(-12.3456789, 10, 3), "-0.123E+02");
  EXPECT_EQ(fixed_e(-12.3456789, 9, 3), "*********");
  EXPECT_EQ(fixed_e(12.3456789, 15, 6), "   0.123457E+02");
}

TEST(FixedExponent, SpectrumLineIsEightyOneColumns) {
  std::string line;
  for (int k = 0; k < 3; ++k) line += fixed_e(1.5e-7, 13, 6) + fixed_e(-2.25e3, 13, 6) + " ";
  EXPECT_EQ(line.size(), 81u);
  EXPECT_EQ(line.substr(0, 27), " 0.150000E-06-0.225000E+04 ");
}

// The digits of fixed_e come from to_chars; they must be printf's %e digits for every value:
// random bit patterns (subnormals, huge and tiny values, NaN and infinities among them), exact
// decimal ties at the sixth digit, and values next to powers of ten. LAYERGREEN_FORMAT_SAMPLES
// sets the number of random values (300 000 by default; 20 000 000 were checked once).
TEST(FixedExponent, DigitsAreThoseOfPrintfForManyValues) {
  const char* env = std::getenv("LAYERGREEN_FORMAT_SAMPLES");
  const long long samples = env != nullptr ? std::atoll(env) : 300000;
  std::mt19937_64 bits(20261209);
  char ref[128];
  auto check = [&](double v, int precision) {
    std::snprintf(ref, sizeof ref, "%.*e", precision, v);
    return scientific_digits(v, precision) == ref;
  };
  // The E13.6 field built from printf's digits, as the layout defines it.
  auto field = [&](double v) {
    if (!std::isfinite(v)) return fixed_e(v, 13, 6);  // not the subject here
    std::string digits = "000000";
    int exp = 0;
    if (v != 0.0) {
      std::snprintf(ref, sizeof ref, "%.5e", std::fabs(v));
      digits.assign(1, ref[0]);
      digits.append(ref + 2, 5);
      exp = std::atoi(ref + 8) + 1;
    }
    std::string t = v < 0 ? "-0." : "0.";
    t += digits;
    const int a = std::abs(exp);
    if (a > 999) return std::string(13, '*');
    if (a <= 99) {
      t += exp < 0 ? "E-" : "E+";
      t += static_cast<char>('0' + a / 10);
      t += static_cast<char>('0' + a % 10);
    } else {
      t += exp < 0 ? '-' : '+';
      t += std::to_string(a);
    }
    return std::string(13 - t.size(), ' ') + t;
  };
  long long mismatches = 0;
  for (long long i = 0; i < samples; ++i) {
    const double v = std::bit_cast<double>(bits());
    if (!check(v, 5) || fixed_e(v, 13, 6) != field(v)) ++mismatches;
  }
  for (long long i = 0; i < samples / 4; ++i) {
    // k/2 * 10^e with k odd: a tie at the last printed digit (exact while representable).
    const double base = static_cast<double>(2 * (bits() % 1000000) + 1) / 2.0;
    const int e = static_cast<int>(bits() % 40) - 20;
    const double v = base * std::pow(10.0, e - 5);
    if (!check(v, 5) || !check(-v, 5) || !check(v, 0) || !check(v, 12)) ++mismatches;
    const double p = std::pow(10.0, e);
    if (!check(std::nextafter(p, 0.0), 5) || !check(std::nextafter(p, 1e300), 5)) ++mismatches;
  }
  for (double v : {0.0, -0.0, 5e-324, 2.2250738585072014e-308, 1.7976931348623157e308, 0.5, 0.25,
                   999999.5, 9999995.0, 1.0 / 0.0, std::nan("")}) {
    if (!check(v, 5)) ++mismatches;
  }
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace lg
