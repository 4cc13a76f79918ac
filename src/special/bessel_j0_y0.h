// Bessel functions J0 and Y0 of a real argument (Chebyshev series for |x| <= 8, asymptotic
// Hankel form with Chebyshev corrections above).
#pragma once

#include "special/hankel_asymptotic.h"

namespace lg {

// J0(x), an even function.
double bessel_j0(double x);

// J0(|x|) and Y0(|x|); at x = 0, Y0 is given as -1e70.
BesselPair bessel_j0_y0(double x);

}  // namespace lg
