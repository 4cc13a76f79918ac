#include "kernel/bessel_factors.h"

#include "special/bessel_j0_y0.h"
#include "special/bessel_j1_y1.h"

namespace lg {

namespace {

// The factors derived from J0 and J1 at distance r.
inline void derived(BesselFactors& b, int ir, double r, double ak, double ak2) {
  b.bkj0[ir] = ak * b.bj0[ir];
  if (r == 0.0) {
    b.bkj2[ir] = 0.0;
    b.bj1r[ir] = ak / 2.0;
    b.dkj2[ir] = 0.0;
    b.bkj2r[ir] = 0.0;
  } else {
    b.bj1r[ir] = b.bj1[ir] / r;
    b.bkj2[ir] = b.bkj0[ir] - 2.0 * b.bj1r[ir];
    b.bkj2r[ir] = b.bkj2[ir] / r;
    b.dkj2[ir] = -(ak2 * b.bj1[ir] + 2.0 * b.bkj2r[ir]);
  }
  b.dj1[ir] = b.bkj0[ir] - b.bj1r[ir];
}

}  // namespace

void bessel_row(const Placement& p, double ak, double* j01) {
  for (int ir = 1; ir <= p.nr; ++ir) {
    const double arg = p.rr[ir] * ak;
    j01[2 * (ir - 1)] = bessel_j0(arg);
    j01[2 * (ir - 1) + 1] = bessel_j1(arg);
  }
}

void bessel_factors(const Placement& p, const Wavenumber& k, BesselFactors& out) {
  for (int ir = 1; ir <= p.nr; ++ir) {
    const double arg = p.rr[ir] * k.ak;
    out.bj0[ir] = bessel_j0(arg);
    out.bj1[ir] = bessel_j1(arg);
    derived(out, ir, p.rr[ir], k.ak, k.ak2);
  }
}

void bessel_factors(const Placement& p, const Wavenumber& k, const double* j01,
                    BesselFactors& out) {
  for (int ir = 1; ir <= p.nr; ++ir) {
    out.bj0[ir] = j01[2 * (ir - 1)];
    out.bj1[ir] = j01[2 * (ir - 1) + 1];
    derived(out, ir, p.rr[ir], k.ak, k.ak2);
  }
}

}  // namespace lg
