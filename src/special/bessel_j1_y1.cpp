#include "special/bessel_j1_y1.h"

#include <cmath>
#include <span>

#include "special/chebyshev.h"
#include "special/hankel_asymptotic.h"

namespace lg {

// Four series, each from the highest order down to the constant term:
// [0, 18)  J1 / (x/8) for x <= 8, in (x/8)^2;
// [18, 36) regular part of Y1, divided by x/8, for x <= 8;
// [36, 54) amplitude P1 for x > 8, in (8/x)^2;
// [54, 72) phase correction Q1 for x > 8.
static constexpr double a[72] = {
    // J1 / (x/8), x <= 8
    -4e-20, 2.95e-18, -1.9554e-16, 1.138572e-14, -5.7774042e-13, 2.528123664e-11, -9.4242129816e-10,
    2.949707007278e-08, -7.6175878054003e-07, 1.588701923993213e-05, -0.0002604443893485807,
    0.0032402701826838576, -0.029175524806154207, 0.1777091172397283, -0.6614439341345433,
    1.2879940988576777, -1.1918011605412169, 1.2967175412105298,
    // (Y1 - (2/pi) (ln(x) J1 - 1/x)) / (x/8), x <= 8
    9e-20, -6.58e-18, 4.2773e-16, -2.440949e-14, 1.21143321e-12, -5.172121473e-11,
    1.87547032473e-09, -5.688440039919e-08, 1.41662436449235e-06, -2.83046401495148e-05,
    0.0004404786298670995, -0.005131641161061085, 0.042319180353336906, -0.22662499155675492,
    0.6756157807721876, -0.7672963628866459, -0.12869738438135, 0.040608211771868505,
    // P1, x > 8
    1e-20, -2e-20, 1.2e-19, -5.8e-19, 3.05e-18, -1.731e-17, 1.0668e-16, -7.2212e-16, 5.45267e-15,
    -4.684224e-14, 4.6991955e-13, -5.70486364e-12, 8.81689866e-11, -1.87189074911e-09,
    6.177633960644e-08, -3.98728430048891e-06, 0.0008989898330859408, 2.0018060817200274,
    // Q1 / (8/x), x > 8
    -1e-20, 3e-20, -1.4e-19, 6.5e-19, -3.28e-18, 1.768e-17, -1.0269e-16, 6.5083e-16, -4.56125e-15,
    3.596777e-14, -3.2643157e-13, 3.51521879e-12, -4.686363688e-11, 8.2291933277e-10,
    -2.095978138408e-08, 9.1386152579555e-07, -9.62772354915708e-05, 0.09355557413907065};

// Stands in for the infinite Y1(0).
static constexpr double xlg = 1e70;

namespace {

// J1 and, when with_y, Y1 of |xd| (y is 0 when not asked for, up to 8).
BesselPair evaluate(double xd, bool with_y) {
  const std::span<const double> table(a);
  const double x = std::abs(xd);
  double y = x * 0.125;
  if (y > 1.0) {
    y = 1.0 / y;
    // Phase x - 3pi/4.
    const BesselPair v =
        hankel_asymptotic(x, y, table.subspan(36, 18), table.subspan(54, 18), 2.356194490192345);
    return v;
  }
  if (y <= 0.0) {
    return BesselPair{0.0, -xlg};
  }
  const double t = (y * 4.0) * y - 2.0;
  const double j1 = y * chebyshev_sum(table.subspan(0, 18), t);
  if (!with_y) return BesselPair{j1, 0.0};
  // Y1 = (x/8) regular series + (2/pi) (ln(x) J1 - 1/x).
  return BesselPair{j1, y * chebyshev_sum(table.subspan(18, 18), t) +
                            0.6366197723675813 * (std::log(x) * j1 - 1.0 / x)};
}

// J1 is odd: the value at -x is -J1(x).
double odd(double xd, double j1) {
  return xd < 0.0 ? -j1 : j1;
}

}  // namespace

double bessel_j1(double x) {
  return odd(x, evaluate(x, false).j);
}

BesselPair bessel_j1_y1(double x) {
  BesselPair v = evaluate(x, true);
  v.j = odd(x, v.j);
  return v;
}

}  // namespace lg
