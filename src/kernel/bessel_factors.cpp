#include "kernel/bessel_factors.h"

#include "special/bessel_j0_y0.h"
#include "special/bessel_j1_y1.h"

#if LG_AVX2_LANES
#include "kernel/complex_lanes.h"
#endif

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

#if LG_AVX2_LANES
// derived() for receivers ir ... ir + 3 in lanes: the branch on a zero distance becomes a
// select between the two branches' values.
LG_TARGET_AVX2 void derived_in_lanes(BesselFactors& b, int ir, const double* rr, double ak,
                                     double ak2) {
  using lanes::D4;
  using lanes::I4;
  const auto at = static_cast<std::size_t>(ir);
  D4 r;
  D4 bj1;
  D4 bkj0;
  __builtin_memcpy(&r, rr + ir, sizeof r);
  __builtin_memcpy(&bj1, &b.bj1[at], sizeof bj1);
  __builtin_memcpy(&bkj0, &b.bj0[at], sizeof bkj0);
  bkj0 = ak * bkj0;
  const D4 zero = {0.0, 0.0, 0.0, 0.0};
  const I4 at_source = reinterpret_cast<I4>(r == zero);
  const D4 bj1r = lanes::select_v(at_source, D4{ak / 2.0, ak / 2.0, ak / 2.0, ak / 2.0}, bj1 / r);
  const D4 bkj2_off = bkj0 - 2.0 * bj1r;
  const D4 bkj2r_off = bkj2_off / r;
  const D4 dkj2_off = -(ak2 * bj1 + 2.0 * bkj2r_off);
  const D4 bkj2 = lanes::select_v(at_source, zero, bkj2_off);
  const D4 bkj2r = lanes::select_v(at_source, zero, bkj2r_off);
  const D4 dkj2 = lanes::select_v(at_source, zero, dkj2_off);
  const D4 dj1 = bkj0 - bj1r;
  __builtin_memcpy(&b.bkj0[at], &bkj0, sizeof bkj0);
  __builtin_memcpy(&b.bj1r[at], &bj1r, sizeof bj1r);
  __builtin_memcpy(&b.bkj2[at], &bkj2, sizeof bkj2);
  __builtin_memcpy(&b.bkj2r[at], &bkj2r, sizeof bkj2r);
  __builtin_memcpy(&b.dkj2[at], &dkj2, sizeof dkj2);
  __builtin_memcpy(&b.dj1[at], &dj1, sizeof dj1);
}
#endif

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

void bessel_factors(const Placement& p, const Wavenumber& k, const double* j01, BesselFactors& out,
                    [[maybe_unused]] Lanes lanes) {
  for (int ir = 1; ir <= p.nr; ++ir) {
    out.bj0[ir] = j01[2 * (ir - 1)];
    out.bj1[ir] = j01[2 * (ir - 1) + 1];
  }
  int ir = 1;
#if LG_AVX2_LANES
  if (lanes == Lanes::avx2) {
    for (; ir + 3 <= p.nr; ir += 4) derived_in_lanes(out, ir, p.rr.data(), k.ak, k.ak2);
  }
#endif
  for (; ir <= p.nr; ++ir) derived(out, ir, p.rr[ir], k.ak, k.ak2);
}

}  // namespace lg
