// Bessel functions J1 and Y1 of a real argument (Chebyshev series for |x| <= 8, asymptotic
// Hankel form with Chebyshev corrections above).
#pragma once

#include "special/hankel_asymptotic.h"

namespace lg {

// J1(x), an odd function.
double bessel_j1(double x);

// J1(x) and Y1(|x|); at x = 0, Y1 is given as -1e70.
BesselPair bessel_j1_y1(double x);

}  // namespace lg
