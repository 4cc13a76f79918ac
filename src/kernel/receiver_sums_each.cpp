#include "kernel/receiver_sums_each.h"

#if LG_AVX2_LANES
#include <immintrin.h>
#endif

namespace lg {

namespace {

#if LG_AVX2_LANES
#define LG_AVX2 __attribute__((target("avx2"), always_inline)) inline

// Four receivers' values of one increment, real and imaginary parts.
struct V4 {
  __m256d re, im;
};

LG_AVX2 __m256d splat(double x) {
  return _mm256_set1_pd(x);
}

// A constant of the step in four lanes, in the forms its products below need.
struct K4 {
  __m256d p, q, r, s;
};

// For cx(x) * b: b.re, 0*b.im, b.im, 0*b.re.
LG_AVX2 K4 real_times_k(Cx b) {
  return K4{splat(b.re), splat(0.0 * b.im), splat(b.im), splat(0.0 * b.re)};
}

// cx(x) * b for four reals x: (x*b.re - 0*b.im, x*b.im + 0*b.re).
LG_AVX2 V4 real_times(__m256d x, const K4& b) {
  return V4{_mm256_sub_pd(_mm256_mul_pd(x, b.p), b.q), _mm256_add_pd(_mm256_mul_pd(x, b.r), b.s)};
}

// For a * cx(x): a.re, a.im*0, a.re*0, a.im.
LG_AVX2 K4 times_real_k(Cx a) {
  return K4{splat(a.re), splat(a.im * 0.0), splat(a.re * 0.0), splat(a.im)};
}

// a * cx(x) for four reals x: (a.re*x - a.im*0, a.re*0 + a.im*x).
LG_AVX2 V4 times_real(const K4& a, __m256d x) {
  return V4{_mm256_sub_pd(_mm256_mul_pd(a.p, x), a.q), _mm256_add_pd(a.r, _mm256_mul_pd(a.s, x))};
}

// For a * b: b.re, b.im.
LG_AVX2 K4 times_k(Cx b) {
  return K4{splat(b.re), splat(b.im), splat(0.0), splat(0.0)};
}

// a * b for four values a and one b.
LG_AVX2 V4 times(V4 a, const K4& b) {
  return V4{_mm256_sub_pd(_mm256_mul_pd(a.re, b.p), _mm256_mul_pd(a.im, b.q)),
            _mm256_add_pd(_mm256_mul_pd(a.re, b.q), _mm256_mul_pd(a.im, b.p))};
}

LG_AVX2 V4 minus(V4 a, V4 b) {
  return V4{_mm256_sub_pd(a.re, b.re), _mm256_sub_pd(a.im, b.im)};
}

// cabs of four values, lane by lane with the scalar's operations; its branches are selects.
LG_AVX2 __m256d cabs4(__m256d re, __m256d im) {
  const __m256d sign = splat(-0.0);
  const __m256d ax = _mm256_andnot_pd(sign, re);
  const __m256d ay = _mm256_andnot_pd(sign, im);
  const __m256d swap = _mm256_cmp_pd(ay, ax, _CMP_GT_OQ);
  const __m256d x = _mm256_blendv_pd(ax, ay, swap);
  const __m256d y = _mm256_blendv_pd(ay, ax, swap);
  const __m256d small = _mm256_cmp_pd(_mm256_add_pd(x, y), x, _CMP_EQ_OQ);
  const __m256d t = _mm256_div_pd(y, x);
  const __m256d r =
      _mm256_mul_pd(x, _mm256_sqrt_pd(_mm256_add_pd(splat(1.0), _mm256_mul_pd(t, t))));
  return _mm256_blendv_pd(r, x, small);
}

// The test by squared moduli is sure far from overflow and underflow (see receiver_sums.cpp).
constexpr double kSquaresLow = 0x1p-900;
constexpr double kSquaresHigh = 0x1p900;

struct Threshold {
  __m256d u, uu;
  bool by_squares;
};

// Clears lanes of `ok` whose increment is not small against its sum (sre, sim): by squared
// moduli where they settle it, else by the exact moduli.
LG_AVX2 void add_test(V4 inc, __m256d sre, __m256d sim, __m256d on, const Threshold& th,
                      __m256d& ok) {
  if (th.by_squares) {
    const __m256d a2 = _mm256_add_pd(_mm256_mul_pd(inc.re, inc.re), _mm256_mul_pd(inc.im, inc.im));
    const __m256d s2 = _mm256_add_pd(_mm256_mul_pd(sre, sre), _mm256_mul_pd(sim, sim));
    const __m256d r2 = _mm256_mul_pd(s2, th.uu);
    const __m256d in_range = _mm256_and_pd(_mm256_cmp_pd(r2, splat(kSquaresLow), _CMP_GE_OQ),
                                           _mm256_cmp_pd(r2, splat(kSquaresHigh), _CMP_LE_OQ));
    const __m256d pass = _mm256_and_pd(
        in_range, _mm256_cmp_pd(a2, _mm256_mul_pd(r2, splat(1.0 - 0x1p-30)), _CMP_LT_OQ));
    const __m256d fail = _mm256_and_pd(
        in_range, _mm256_cmp_pd(a2, _mm256_mul_pd(r2, splat(1.0 + 0x1p-30)), _CMP_GT_OQ));
    const __m256d unsure = _mm256_andnot_pd(_mm256_or_pd(pass, fail), on);
    if (_mm256_movemask_pd(unsure) == 0) {
      ok = _mm256_andnot_pd(fail, ok);
      return;
    }
  }
  const __m256d ci = cabs4(inc.re, inc.im);
  const __m256d cs = cabs4(sre, sim);
  ok = _mm256_and_pd(ok, _mm256_cmp_pd(ci, _mm256_mul_pd(cs, th.u), _CMP_LE_OQ));
}

// Adds increment m of the receivers from `first` in the lanes of `on` to their sums and, with
// `test`, clears lanes of `ok` whose increment is not small against its sum.
LG_AVX2 void add4(V4 inc, int m, int first, __m256i on, bool full, WavenumberSums& sums,
                  bool test, const Threshold& th, __m256d& ok) {
  double* re = &sums.re[sums.index(first, m)];
  double* im = &sums.im[sums.index(first, m)];
  const __m256d old_re = full ? _mm256_loadu_pd(re) : _mm256_maskload_pd(re, on);
  const __m256d old_im = full ? _mm256_loadu_pd(im) : _mm256_maskload_pd(im, on);
  const __m256d sre = _mm256_add_pd(old_re, inc.re);
  const __m256d sim = _mm256_add_pd(old_im, inc.im);
  if (full) {
    _mm256_storeu_pd(re, sre);
    _mm256_storeu_pd(im, sim);
  } else {
    _mm256_maskstore_pd(re, on, sre);
    _mm256_maskstore_pd(im, on, sim);
  }
  if (test) add_test(inc, sre, sim, _mm256_castsi256_pd(on), th, ok);
}

// The receivers four at a time in lanes; lanes beyond `last` or not live neither read nor
// write.
__attribute__((target("avx2"))) void each_in_lanes(int first, int last, const BesselFactors& b,
                                                   const DepthTerms& d, const SourceLayerTerms& s,
                                                   double uconv, bool test,
                                                   const std::uint64_t* live, std::uint64_t* ok,
                                                   WavenumberSums& sums) {
  const double uu = uconv * uconv;
  const Threshold u{splat(uconv), splat(uu),
                    uconv > 0.0 && uu >= kSquaresLow && uu <= kSquaresHigh};
  const __m256i lane_index = _mm256_set_epi64x(3, 2, 1, 0);
  const K4 cu = real_times_k(d.cu);
  const K4 cu2 = real_times_k(d.cu2);
  const K4 cu3 = real_times_k(d.cu3);
  const K4 c9 = real_times_k(d.c9);
  const K4 c10 = real_times_k(d.c10);
  const K4 c11 = real_times_k(d.c11);
  const K4 cs3 = times_real_k(s.cs3);
  const K4 cs6 = times_real_k(s.cs6);
  const K4 s5 = times_k(d.s5);
  const K4 s6 = times_k(d.s6);
  for (int start = first; start <= last; start += 4) {
    const auto at = static_cast<std::size_t>(start);
    const __m256i in_range = _mm256_cmpgt_epi64(_mm256_set1_epi64x(last - start + 1), lane_index);
    // live[at .. at+3] where in range (the entries beyond `last` are not read).
    const __m256i alive = _mm256_maskload_epi64(reinterpret_cast<const long long*>(live + at),
                                                in_range);
    const __m256i on = _mm256_and_si256(in_range, alive);
    const int mask = _mm256_movemask_pd(_mm256_castsi256_pd(on));
    if (mask == 0) continue;
    const bool full = mask == 0xf;
    const __m256d dkj2 = _mm256_maskload_pd(&b.dkj2[at], on);
    const __m256d bkj2r = _mm256_maskload_pd(&b.bkj2r[at], on);
    const __m256d bkj2 = _mm256_maskload_pd(&b.bkj2[at], on);
    const __m256d bj1r = _mm256_maskload_pd(&b.bj1r[at], on);
    const __m256d dj1 = _mm256_maskload_pd(&b.dj1[at], on);
    const __m256d bj1 = _mm256_maskload_pd(&b.bj1[at], on);
    const __m256d bkj0 = _mm256_maskload_pd(&b.bkj0[at], on);
    __m256d pass = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
    add4(real_times(dkj2, cu), 1, start, on, full, sums, test, u, pass);
    add4(real_times(bkj2r, cu), 2, start, on, full, sums, test, u, pass);
    add4(real_times(bkj2, cu2), 3, start, on, full, sums, test, u, pass);
    add4(real_times(bj1r, cu2), 4, start, on, full, sums, test, u, pass);
    add4(times(times_real(cs3, bkj2r), s5), 5, start, on, full, sums, test, u, pass);
    add4(times(times_real(cs3, dkj2), s5), 6, start, on, full, sums, test, u, pass);
    add4(minus(real_times(dj1, cu3), times(times_real(cs6, bj1r), s6)), 7, start, on, full, sums,
         test, u, pass);
    add4(minus(real_times(bj1r, cu3), times(times_real(cs6, dj1), s6)), 8, start, on, full, sums,
         test, u, pass);
    add4(real_times(bj1, c9), 9, start, on, full, sums, test, u, pass);
    add4(real_times(bj1, c10), 10, start, on, full, sums, test, u, pass);
    add4(real_times(bkj0, c11), 11, start, on, full, sums, test, u, pass);
    if (test) {
      _mm256_maskstore_epi64(reinterpret_cast<long long*>(ok + at), on,
                             _mm256_castpd_si256(pass));
    }
  }
}
#endif

}  // namespace

void add_receiver_sums_each(int first, int last, const BesselFactors& b, const DepthTerms& d,
                            const SourceLayerTerms& s, double uconv, bool test,
                            const std::uint64_t* live, std::uint64_t* ok, WavenumberSums& sums,
                            [[maybe_unused]] Lanes lanes) {
#if LG_AVX2_LANES
  if (lanes == Lanes::avx2) {
    each_in_lanes(first, last, b, d, s, uconv, test, live, ok, sums);
    return;
  }
#endif
  for (int ir = first; ir <= last; ++ir) {
    if (live[ir] == 0) continue;
    const bool passed = add_receiver_sums(ir, ir, b, d, s, uconv, test, sums, Lanes::scalar);
    if (test) ok[ir] = passed ? ~std::uint64_t{0} : 0;
  }
}

}  // namespace lg
