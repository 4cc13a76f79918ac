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
// J0 and J1 of the tabulated row and derived() for receivers 1 ... nr, four at a time in lanes
// (the last n % 4 masked): the branch on a zero distance becomes a select between the two
// branches' values.
LG_TARGET_AVX2 void factors_in_lanes(int nr, const double* rr, const double* j01, double ak,
                                     double ak2, BesselFactors& b) {
  using lanes::D4;
  using lanes::I4;
  const D4 zero = {0.0, 0.0, 0.0, 0.0};
  const double h = ak / 2.0;
  const D4 half_k = {h, h, h, h};
  const I4 lane_index = {0, 1, 2, 3};
  double* const out[] = {b.bj0.data(),  b.bj1.data(),   b.bkj0.data(), b.bj1r.data(),
                         b.bkj2.data(), b.bkj2r.data(), b.dkj2.data(), b.dj1.data()};
  for (int ir = 1; ir <= nr; ir += 4) {
    const long long n = nr - ir + 1;
    const bool full = n >= 4;
    // Lanes of receivers ir ... nr; the pairs (J0, J1) of the first two, of the last two.
    const I4 on = lane_index < n;
    const I4 low = lane_index < 2 * n;
    const I4 high = lane_index + 4 < 2 * n;
    const double* row = j01 + 2 * (ir - 1);
    const auto at = static_cast<std::size_t>(ir);
    D4 r;
    D4 a;
    D4 c;
    if (full) {
      r = reinterpret_cast<D4>(_mm256_loadu_pd(rr + ir));
      a = reinterpret_cast<D4>(_mm256_loadu_pd(row));
      c = reinterpret_cast<D4>(_mm256_loadu_pd(row + 4));
    } else {
      r = reinterpret_cast<D4>(_mm256_maskload_pd(rr + ir, reinterpret_cast<__m256i>(on)));
      a = reinterpret_cast<D4>(_mm256_maskload_pd(row, reinterpret_cast<__m256i>(low)));
      c = reinterpret_cast<D4>(_mm256_maskload_pd(row + 4, reinterpret_cast<__m256i>(high)));
    }
    // (J0 J1 J0 J1) twice into J0 and J1 of the four receivers, in order.
    const D4 bj0 = reinterpret_cast<D4>(_mm256_permute4x64_pd(
        _mm256_unpacklo_pd(reinterpret_cast<__m256d>(a), reinterpret_cast<__m256d>(c)), 0xd8));
    const D4 bj1 = reinterpret_cast<D4>(_mm256_permute4x64_pd(
        _mm256_unpackhi_pd(reinterpret_cast<__m256d>(a), reinterpret_cast<__m256d>(c)), 0xd8));
    const D4 bkj0 = ak * bj0;
    const I4 at_source = reinterpret_cast<I4>(r == zero);
    const D4 bj1r = lanes::select_v(at_source, half_k, bj1 / r);
    const D4 bkj2_off = bkj0 - 2.0 * bj1r;
    const D4 bkj2r_off = bkj2_off / r;
    const D4 dkj2_off = -(ak2 * bj1 + 2.0 * bkj2r_off);
    const D4 v[] = {bj0,
                    bj1,
                    bkj0,
                    bj1r,
                    lanes::select_v(at_source, zero, bkj2_off),
                    lanes::select_v(at_source, zero, bkj2r_off),
                    lanes::select_v(at_source, zero, dkj2_off),
                    bkj0 - bj1r};
    for (int f = 0; f < 8; ++f) {
      if (full) {
        _mm256_storeu_pd(out[f] + at, reinterpret_cast<__m256d>(v[f]));
      } else {
        _mm256_maskstore_pd(out[f] + at, reinterpret_cast<__m256i>(on),
                            reinterpret_cast<__m256d>(v[f]));
      }
    }
  }
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
#if LG_AVX2_LANES
  if (lanes == Lanes::avx2) {
    factors_in_lanes(p.nr, p.rr.data(), j01, k.ak, k.ak2, out);
    return;
  }
#endif
  for (int ir = 1; ir <= p.nr; ++ir) {
    out.bj0[ir] = j01[2 * (ir - 1)];
    out.bj1[ir] = j01[2 * (ir - 1) + 1];
    derived(out, ir, p.rr[ir], k.ak, k.ak2);
  }
}

}  // namespace lg
