// Bessel functions J1 and Y1 of a real argument (Chebyshev series for x <= 8, asymptotic
// Hankel form with Chebyshev corrections above).
#pragma once

namespace lg {

// vj1 = J1(|xd|) (the sign of xd is ignored). The second-kind value vy1 = Y1(|xd|) is
// computed when n >= 1; for 0 < |xd| <= 8 and n <= 0 it is left untouched. At x = 0,
// vy1 = -1e70; above 8 both are set.
void ff02ad(double& vj1, double& vy1, double xd, int n);

}  // namespace lg
