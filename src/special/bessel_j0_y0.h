// Bessel functions J0 and Y0 of a real argument (Chebyshev series for x <= 8, asymptotic
// Hankel form with Chebyshev corrections above).
#pragma once

namespace lg {

// vj0 = J0(|xd|). The second-kind value vy0 = Y0(|xd|) is computed when n >= 1; for
// 0 < |xd| <= 8 and n <= 0 it is left untouched. At x = 0, vy0 = -1e70; above 8 both are set.
void ff01ad(double& vj0, double& vy0, double xd, int n);

}  // namespace lg
