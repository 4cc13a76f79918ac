#include "special/bessel_j0_y0.h"

#include <cmath>
#include <span>

#include "special/chebyshev.h"
#include "special/hankel_asymptotic.h"

namespace lg {

// Four series, each from the highest order down to the constant term:
// [0, 18)  J0 for x <= 8, in (x/8)^2;
// [18, 37) regular part of Y0 for x <= 8;
// [37, 55) amplitude P0 for x > 8, in (8/x)^2;
// [55, 73) phase correction Q0 for x > 8.
static constexpr double a[73] = {
    // J0, x <= 8
    -1.7e-19, 1.222e-17, -7.5885e-16, 4.125321e-14, -1.94383469e-12, 7.848696314e-11,
    -2.67925353056e-09, 7.608163592419e-08, -1.76194690776215e-06, 3.246032882100508e-05,
    -0.00046062616620627504, 0.004819180069467605, -0.034893769411408884, 0.15806710233209725,
    -0.37009499387264977, 0.2651786132033368, -0.008723442352852221, 0.31545594294978024,
    // Y0 - (2/pi) ln(x) J0, x <= 8
    -1e-20, 3.9e-19, -2.698e-17, 1.64349e-15, -8.747341e-14, 4.02633082e-12, -1.5837552542e-10,
    5.24879478733e-09, -1.4407233274019e-07, 3.2065325376548e-06, -5.632079141056987e-05,
    0.0007531135932577742, -0.007287962479552079, 0.04719668959576339, -0.17730201278114358,
    0.26156734625504663, 0.17903431407718265, -0.2744743055297453, -0.06629222640656988,
    // P0, x > 8
    -1e-20, 2e-20, -1.1e-19, 5.5e-19, -2.88e-18, 1.631e-17, -1.0012e-16, 6.7481e-16, -5.06903e-15,
    4.326596e-14, -4.3045789e-13, 5.16826239e-12, -7.864091377e-11, 1.63064646352e-09,
    -5.170594537606e-08, 3.07518478751947e-06, -0.0005365220468132117, 1.9989206986950372,
    // Q0 / (8/x), x > 8
    1e-20, -3e-20, 1.3e-19, -6.2e-19, 3.11e-18, -1.669e-17, 9.662e-17, -6.0999e-16, 4.25523e-15,
    -3.336328e-14, 3.0061451e-13, -3.20674742e-12, 4.220121905e-11, -7.2719159369e-10,
    1.797245724797e-08, -7.4144984110606e-07, 6.83851994261165e-05, -0.031111709210674018};

// Stands in for the infinite Y0(0).
static constexpr double xlg = 1e70;

namespace {

// J0 and, when with_y, Y0 of |xd| (y is 0 when not asked for, up to 8).
BesselPair evaluate(double xd, bool with_y) {
  const std::span<const double> table(a);
  const double x = std::abs(xd);
  double y = x * 0.125;
  if (y > 1.0) {
    y = 1.0 / y;
    // Phase x - pi/4.
    const BesselPair v =
        hankel_asymptotic(x, y, table.subspan(37, 18), table.subspan(55, 18), 0.7853981633974483);
    return v;
  }
  if (y == 0.0) {
    return BesselPair{1.0, -xlg};
  }
  const double t = (y * 4.0) * y - 2.0;
  const double j0 = chebyshev_sum(table.subspan(0, 18), t);
  if (!with_y) return BesselPair{j0, 0.0};
  // Y0 = (2/pi) ln(x) J0 + regular series.
  return BesselPair{
      j0, 0.6366197723675813 * std::log(x) * j0 + chebyshev_sum(table.subspan(18, 19), t)};
}

}  // namespace

double bessel_j0(double x) {
  return evaluate(x, false).j;
}

BesselPair bessel_j0_y0(double x) {
  return evaluate(x, true);
}

}  // namespace lg
