// Bessel functions J0, Y0 and J1, Y1 against independent references.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "special/bessel_j0_y0.h"
#include "special/bessel_j1_y1.h"
#include "special/chebyshev.h"

namespace lg {
namespace {

struct Values {
  double j0, y0, j1, y1;
};

Values evaluate(double x) {
  const BesselPair v0 = bessel_j0_y0(x);
  const BesselPair v1 = bessel_j1_y1(x);
  return Values{v0.j, v0.y, v1.j, v1.y};
}

// Absolute error where the function is bounded by 1, relative error where Y grows
// without bound near 0.
double mixed_error(double value, double reference) {
  return std::abs(value - reference) / std::max(1.0, std::abs(reference));
}

// Worst error seen so far, with the argument and function where it occurred.
struct Worst {
  double error = 0.0;
  double ratio = 0.0;  // error / tolerance
  double x = 0.0;
  const char* function = "";

  void add(double err, double tolerance, double at, const char* name) {
    if (std::isnan(err)) err = std::numeric_limits<double>::infinity();
    error = std::max(error, err);
    if (err / tolerance > ratio) {
      ratio = err / tolerance;
      x = at;
      function = name;
    }
  }
  std::string describe() const {
    std::ostringstream s;
    s.precision(3);
    s << "worst error " << error << ", worst error/tolerance " << ratio << " (" << function
      << " at x = " << x << ")";
    return s.str();
  }
};

void report(const char* key, const Worst& worst) {
  ::testing::Test::RecordProperty(key, worst.describe());
  std::printf("[ bessel   ] %s: %s\n", key, worst.describe().c_str());
}

void compare(Worst& worst, double x, const Values& got, const Values& ref, double tolerance) {
  worst.add(mixed_error(got.j0, ref.j0), tolerance, x, "J0");
  worst.add(mixed_error(got.y0, ref.y0), tolerance, x, "Y0");
  worst.add(mixed_error(got.j1, ref.j1), tolerance, x, "J1");
  worst.add(mixed_error(got.y1, ref.y1), tolerance, x, "Y1");
}

Values standard(double x) {
  return {std::cyl_bessel_j(0.0, x), std::cyl_neumann(0.0, x), std::cyl_bessel_j(1.0, x),
          std::cyl_neumann(1.0, x)};
}

// x, J0, Y0, J1, Y1 at the double nearest to x, computed with mpmath at 40 digits and
// rounded to 20.
// The points cover tiny arguments, both branches, both sides of 8 and the first zeros of
// J0 and J1.
struct Reference {
  double x;
  Values v;
};
constexpr Reference kReferences[] = {
    {1e-300,
     {1.0, -439.83516362276533173, 5.0000000000000001253e-301, -6.3661977236758132712e+299}},
    {1e-12, {1.0, -17.664258668214953019, 4.9999999999999998994e-13, -6.3661977236758135588e+11}},
    {3.0343150695321233e-6,
     {0.99999999999769823301, -8.162392624105711744, 1.5171575347643155709e-6,
      -2.0980674643809689694e+5}},
    {1e-3,
     {0.999999750000015625, -4.4714166113759232557, 4.9999993750000261457e-4,
      -636.62216723113941482}},
    {0.0877,
     {0.99807810161413900946, -1.6188878382597074733, 0.04380785562487730469,
      -7.3440970116017001064}},
    {0.25,
     {0.98443592929585270492, -0.93157302493005868695, 0.12402597732272692273,
      -2.7041052293152824441}},
    {0.4377,
     {0.95267512515201802114, -0.54146110333578596069, 0.21365072388556497352,
      -1.6481479622495305067}},
    {1.0,
     {0.76519768655796655145, 0.088256964215676957983, 0.44005058574493351596,
      -0.78121282130028871655}},
    {2.0,
     {0.22389077914123566805, 0.5103756726497451196, 0.5767248077568733872,
      -0.10703243154093754689}},
    {2.404825557695773,
     {-6.1087652597367303971e-17, 0.50992438344847906518, 0.51914749728946676274,
      0.1027466824382595953}},
    {3.8317059702075125,
     {-0.4027593957025529721, 0.051397673099410900026, -6.1498073569949060914e-17,
      0.41251739515882575888}},
    {5.5,
     {-0.006843869417819196824, -0.33948059288191103829, -0.34143821542904335018,
      -0.023758238956389618326}},
    {7.5,
     {0.26633965788037839687, 0.11731328614820863084, 0.13524842757970550518,
      -0.2591285104861162518}},
    {7.9375,
     {0.18602755595965139659, 0.21317280841495946201, 0.2252599478484465746,
      -0.17301076680709103872}},
    {8.0,
     {0.17165080713755390609, 0.22352148938756622053, 0.23463634685391462438,
      -0.15806046173124749426}},
    {8.0625,
     {0.15671825280775098563, 0.23292018033199268925, 0.24304134277321481813,
      -0.14262128459352105238}},
    {8.5,
     {0.041939251842934503552, 0.270205105365787476, 0.27312196367405374427,
      -0.026168679398537470028}},
    {10.0,
     {-0.2459357644513483352, 0.055671167283599391424, 0.04347274616886143667,
      0.24901542420695388392}},
    {12.25,
     {0.10093061051051510067, -0.20430162610894733601, -0.20035719875585499474,
      -0.10933907409580198779}},
    {16.0,
     {-0.17489907398362918483, 0.095810997080712403142, 0.090397175661304186239,
      0.17797516893941685963}},
    {25.0,
     {0.096266783275958116174, -0.12724943226800613783, -0.12535024958028990465,
      -0.098829964783237410053}},
    {33.3,
     {0.063338485947521251681, 0.12289749913503732589, 0.12386214790148009055,
      -0.061500722807785735016}},
    {50.0,
     {0.055812327669251815005, -0.098064995470077079029, -0.097511828125175137661,
      -0.056795668562014767942}},
    {66.7377,
     {-0.097641244038137491603, 0.0022477736517120073935, 0.0015163478596440333338,
      0.097660822809630093016}},
    {68.2877,
     {-0.0042247969805712953564, -0.096459908157368989564, -0.096493425103921947539,
      0.0035186721681734938623}},
    {77.7,
     {0.005068664664995793793, 0.090373910560666881799, 0.090408396777184832059,
      -0.0044872369557058002615}},
    {99.75,
     {2.5405750257090190702e-4, -0.079887473345442591044, -0.079887203353892574889,
      -6.5448909869049277471e-4}},
    {100.0,
     {0.019985850304223122424, -0.077244313365083152254, -0.077145352014112158033,
      -0.020372312002759793305}},
};

TEST(Bessel, ChebyshevSumGivesSinglePolynomials) {
  // A table holding only c_m = 1 sums to T_m(u) = cos(m acos u), halved for m = 0.
  constexpr int kOrders = 6;
  double worst = 0.0;
  for (int m = 0; m < kOrders; ++m) {
    double table[kOrders] = {};
    table[kOrders - 1 - m] = 1.0;  // highest order first, constant term last
    for (double u : {-1.0, -0.7, -0.2, 0.0, 0.35, 0.9, 1.0}) {
      const double expected = (m == 0 ? 0.5 : 1.0) * std::cos(m * std::acos(u));
      worst = std::max(worst, std::abs(chebyshev_sum(table, 2.0 * u) - expected));
    }
  }
  EXPECT_LE(worst, 1e-14);
}

TEST(Bessel, MatchesHighPrecisionValues) {
  // The tables are good to a few units in 1e-16; the small-argument series sums to about
  // 1e-15 near x = 0, where the Clenshaw recurrence runs at t = -2.
  constexpr double kTolerance = 2e-15;
  Worst worst;
  for (const Reference& r : kReferences) compare(worst, r.x, evaluate(r.x), r.v, kTolerance);
  report("high_precision", worst);
  EXPECT_LE(worst.ratio, 1.0) << worst.describe();
}

TEST(Bessel, AgreesWithStandardLibraryOnDenseGrid) {
  // The library functions are themselves only accurate to about 1.6e-16 * x here (about
  // 1.5e-14 near x = 100, checked against 40-digit values), while these routines stay
  // below 1e-15; the tolerance follows the reference's error.
  auto tolerance = [](double x) { return 3e-15 + 2e-16 * x; };
  Worst worst;
  for (int k = 1; k <= 100000; ++k) {
    const double x = k * 1e-3;
    compare(worst, x, evaluate(x), standard(x), tolerance(x));
  }
  for (double x = 1e-12; x < 1e-3; x *= 1.05) {
    compare(worst, x, evaluate(x), standard(x), tolerance(x));
  }
  report("dense_grid", worst);
  EXPECT_LE(worst.ratio, 1.0) << worst.describe();
}

TEST(Bessel, AgreesWithStandardLibraryForLargeArguments) {
  // Both sides reduce x - pi/4 in double precision, so they share that rounding; what is
  // left is the reference's own error, at most about 2e-14 in this range.
  constexpr double kTolerance = 2.5e-14;
  Worst worst;
  for (double x : {150.0, 1000.0, 12345.678, 1e5, 1e6}) {
    compare(worst, x, evaluate(x), standard(x), kTolerance);
  }
  report("large_arguments", worst);
  EXPECT_LE(worst.ratio, 1.0) << worst.describe();
}

TEST(Bessel, TabulatedValuesAtOneAndTen) {
  // Published values, truncated after 14 decimals.
  constexpr double kTolerance = 1e-14;
  const Values at1 = evaluate(1.0);
  EXPECT_NEAR(at1.j0, 0.76519768655796, kTolerance);
  EXPECT_NEAR(at1.y0, 0.08825696421567, kTolerance);
  EXPECT_NEAR(at1.j1, 0.44005058574493, kTolerance);
  EXPECT_NEAR(at1.y1, -0.78121282130028, kTolerance);
  const Values at10 = evaluate(10.0);
  EXPECT_NEAR(at10.j0, -0.24593576445134, kTolerance);
  EXPECT_NEAR(at10.y0, 0.05567116728359, kTolerance);
  EXPECT_NEAR(at10.j1, 0.04347274616886, kTolerance);
  EXPECT_NEAR(at10.y1, 0.24901542420695, kTolerance);
}

TEST(Bessel, ZeroArgumentGivesFixedValues) {
  for (double x : {0.0, -0.0}) {
    SCOPED_TRACE(testing::Message() << "x = " << x);
    const Values v = evaluate(x);
    EXPECT_EQ(v.j0, 1.0);
    EXPECT_EQ(v.y0, -1e70);
    EXPECT_EQ(v.j1, 0.0);
    EXPECT_EQ(v.y1, -1e70);
    EXPECT_EQ(bessel_j0(x), 1.0);
    EXPECT_EQ(bessel_j1(x), 0.0);
  }
}

TEST(Bessel, ContinuousAcrossBranchPoint) {
  // x = 8 takes the small-argument series, the next double above it the asymptotic form.
  // Each is good to about 1e-15 and the step itself moves the values by under 1e-15.
  constexpr double kTolerance = 2e-15;
  const double above = std::nextafter(8.0, 9.0);
  const Values lo = evaluate(8.0);
  const Values hi = evaluate(above);
  EXPECT_NEAR(lo.j0, hi.j0, kTolerance);
  EXPECT_NEAR(lo.y0, hi.y0, kTolerance);
  EXPECT_NEAR(lo.j1, hi.j1, kTolerance);
  EXPECT_NEAR(lo.y1, hi.y1, kTolerance);
}

TEST(Bessel, J0IsEvenJ1IsOddAndFirstKindAloneIsThePairsValue) {
  for (double x : {1e-9, 0.3, 1.0, 5.0, 8.0, 8.0000001, 10.0, 42.5, 1e4}) {
    SCOPED_TRACE(testing::Message() << "x = " << x);
    const Values pos = evaluate(x);
    const Values neg = evaluate(-x);
    EXPECT_EQ(neg.j0, pos.j0);
    EXPECT_EQ(neg.j1, -pos.j1);
    // The second kind is given at |x|.
    EXPECT_EQ(neg.y0, pos.y0);
    EXPECT_EQ(neg.y1, pos.y1);
    for (double z : {x, -x}) {
      EXPECT_EQ(bessel_j0(z), bessel_j0_y0(z).j);
      EXPECT_EQ(bessel_j1(z), bessel_j1_y1(z).j);
    }
  }
}

}  // namespace
}  // namespace lg
