#include "kernel/receiver_sums.h"

#include <algorithm>
#include <cstdint>

#if LG_AVX2_LANES
#include <immintrin.h>
#endif

#include "kernel/constants.h"
#include "kernel/depth_values.h"
#include "kernel/interface_coefficients.h"

namespace lg {

SourceLayerTerms source_layer_terms(const Placement& p, const Wavenumber& k, const LayerMedium& m,
                                    const LayerWavenumbers& w, bool force) {
  const int ls = p.ls;
  SourceLayerTerms s;
  source_terms(w.ckig[ls], cx(k.ak2), cx(k.ak2 + k.ak2), m.ckb2[ls], w.cgam[ls], w.cnu[ls], s);
  if (force) force_source_terms(w.cgam[ls], s);
  return s;
}

DepthTerms depth_terms(const Placement& p, int ir, const LayerWavenumbers& l,
                       const ReceiverWaves& w, const SourceLayerTerms& s, bool force,
                       DepthTerms* slope) {
  const int k = p.lr[ir];
  const Cx zc = cx(p.zrl[ir]);

  const Cx egam = depth_phase(l.cgam[k], zc);
  const Cx enu = depth_phase(l.cnu[k], zc);
  DepthTerms d;
  if (force) {
    depth_values<true>(w, l.cgam[k], l.cnu[k], egam, enu, s, d);
  } else {
    depth_values(w, l.cgam[k], l.cnu[k], egam, enu, s, d);
  }
  if (slope != nullptr) {
    if (force) {
      depth_values<true, true>(w, l.cgam[k], l.cnu[k], egam, enu, s, *slope);
    } else {
      depth_values<false, true>(w, l.cgam[k], l.cnu[k], egam, enu, s, *slope);
    }
  }
  return d;
}

namespace {

// Increments of one wavenumber step for a run of receivers, receiver index fastest, so that
// the loops below run across receivers (and vectorise: the same IEEE operations per lane).
constexpr int kBlock = 32;  // receivers per block of increments

struct Increments {
  double re[kSums + 1][kBlock];
  double im[kSums + 1][kBlock];
};

// Stores increment m of receiver i.
inline void put(Increments& inc, int m, int i, Cx v) {
  inc.re[m][i] = v.re;
  inc.im[m][i] = v.im;
}

// add_receiver_sums for a block of at most kBlock receivers.
bool add_block(int first, int last, const BesselFactors& b, const DepthTerms& d,
               const SourceLayerTerms& s, double uconv, bool test, WavenumberSums& sums) {
  const int n = last - first + 1;
  Increments inc;
  const double* dkj2 = &b.dkj2[first];
  const double* bkj2r = &b.bkj2r[first];
  const double* bkj2 = &b.bkj2[first];
  const double* bj1r = &b.bj1r[first];
  const double* dj1 = &b.dj1[first];
  const double* bj1 = &b.bj1[first];
  const double* bkj0 = &b.bkj0[first];
  for (int i = 0; i < n; ++i) {
    put(inc, 1, i, cx(dkj2[i]) * d.cu);
    put(inc, 2, i, cx(bkj2r[i]) * d.cu);
    put(inc, 3, i, cx(bkj2[i]) * d.cu2);
    put(inc, 4, i, cx(bj1r[i]) * d.cu2);
    put(inc, 9, i, cx(bj1[i]) * d.c9);
    put(inc, 10, i, cx(bj1[i]) * d.c10);
    put(inc, 11, i, cx(bkj0[i]) * d.c11);
  }
  for (int i = 0; i < n; ++i) {
    // (cs3 * bkj2r) * s5 and (cs3 * dkj2) * s5
    const Cx f5 = s.cs3 * cx(bkj2r[i]);
    const Cx f6 = s.cs3 * cx(dkj2[i]);
    const Cx i5 = f5 * d.s5;
    const Cx i6 = f6 * d.s5;
    put(inc, 5, i, i5);
    put(inc, 6, i, i6);
    // dj1 * cu3 - (cs6 * bj1r) * s6 and bj1r * cu3 - (cs6 * dj1) * s6
    const Cx i7 = cx(dj1[i]) * d.cu3 - (s.cs6 * cx(bj1r[i])) * d.s6;
    const Cx i8 = cx(bj1r[i]) * d.cu3 - (s.cs6 * cx(dj1[i])) * d.s6;
    put(inc, 7, i, i7);
    put(inc, 8, i, i8);
  }
  for (int m = 1; m <= kSums; ++m) {
    double* re = &sums.re[sums.index(first, m)];
    double* im = &sums.im[sums.index(first, m)];
    for (int i = 0; i < n; ++i) {
      re[i] = re[i] + inc.re[m][i];
      im[i] = im[i] + inc.im[m][i];
    }
  }

  // Converged only when |increment| <= |sum| * UCONV for every sum (a NaN fails). Each test
  // involves only its own sum and increment, so their order does not matter.
  if (!test) return true;
  for (int m = 1; m <= kSums; ++m) {
    for (int i = 0; i < n; ++i) {
      if (!(cabs(Cx{inc.re[m][i], inc.im[m][i]}) <= cabs(sums.at(first + i, m)) * uconv))
        return false;
    }
  }
  return true;
}

// The forces' increments of a block of at most kBlock receivers, as add_block.
struct ForceIncrements {
  double re[kForceSums][kBlock];
  double im[kForceSums][kBlock];
};

bool add_force_block(int first, int last, const BesselFactors& b, const DepthTerms& d,
                     const SourceLayerTerms& s, double uconv, bool test, WavenumberSums& sums) {
  const int n = last - first + 1;
  ForceIncrements inc;
  auto put_force = [&inc](int m, int i, Cx v) {
    inc.re[m][i] = v.re;
    inc.im[m][i] = v.im;
  };
  for (int i = 0; i < n; ++i) {
    const auto at = static_cast<std::size_t>(first + i);
    put_force(0, i, cx(b.dj1[at]) * d.cu + (s.cs3 * cx(b.bj1r[at])) * d.s5);
    put_force(1, i, cx(b.bj1r[at]) * d.cu + (s.cs3 * cx(b.dj1[at])) * d.s5);
    put_force(2, i, cx(b.bj1[at]) * d.cu2);
    put_force(3, i, cx(b.bj1[at]) * d.fzr);
    put_force(4, i, cx(b.bkj0[at]) * d.fzz);
  }
  for (int m = 0; m < kForceSums; ++m) {
    double* re = &sums.re[sums.index(first, kSums + 1 + m)];
    double* im = &sums.im[sums.index(first, kSums + 1 + m)];
    for (int i = 0; i < n; ++i) {
      re[i] = re[i] + inc.re[m][i];
      im[i] = im[i] + inc.im[m][i];
    }
  }
  if (!test) return true;
  for (int m = 0; m < kForceSums; ++m) {
    for (int i = 0; i < n; ++i) {
      if (!(cabs(Cx{inc.re[m][i], inc.im[m][i]}) <=
            cabs(sums.at(first + i, kSums + 1 + m)) * uconv))
        return false;
    }
  }
  return true;
}

#if LG_AVX2_LANES
#define LG_AVX2 __attribute__((target("avx2"), always_inline)) inline

// Four receivers' values of one increment, real and imaginary parts.
struct V4 {
  __m256d re, im;
};

LG_AVX2 __m256d splat(double x) {
  return _mm256_set1_pd(x);
}

// A constant of the step in four lanes, in the forms its products below need, formed once
// per run of receivers.
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

// The threshold of the convergence test in lanes, and what the test by squared moduli needs.
struct Threshold {
  __m256d u;        // uconv
  __m256d uu;       // uconv^2
  bool by_squares;  // whether uconv^2 is a positive normal number, within the range below
};

// Bounds of the squared moduli for which the test by squares is sure: far from overflow and
// from underflow, every rounding error stays relative.
constexpr double kSquaresLow = 0x1p-900;
constexpr double kSquaresHigh = 0x1p900;

// Clears lanes of `ok` whose increment `inc` is not small against its sum (sre, sim).
LG_AVX2 void add_test(V4 inc, __m256d sre, __m256d sim, __m256i on, const Threshold& th,
                      __m256d& ok) {
  if (th.by_squares) {
    // The outcome of cabs(inc) <= cabs(sum) * uconv, known without a division or a square
    // root where it is certain: a2 = re^2 + im^2 of the increment and r2 = (re^2 + im^2) *
    // uconv^2 of the sum are within 3 and 5 units of 2^-53 of |inc|^2 and (|sum| uconv)^2, and
    // the moduli of the exact test within 5 units of |inc| and |sum| uconv. So where a2 is
    // below r2 (1 - 2^-30), the test passes, and where it is above r2 (1 + 2^-30), it fails,
    // whatever the roundings. Only lanes between the two (or with squares out of range, or
    // not numbers) need the exact test.
    const __m256d a2 = _mm256_add_pd(_mm256_mul_pd(inc.re, inc.re), _mm256_mul_pd(inc.im, inc.im));
    const __m256d s2 = _mm256_add_pd(_mm256_mul_pd(sre, sre), _mm256_mul_pd(sim, sim));
    const __m256d r2 = _mm256_mul_pd(s2, th.uu);
    const __m256d in_range = _mm256_and_pd(_mm256_cmp_pd(r2, splat(kSquaresLow), _CMP_GE_OQ),
                                           _mm256_cmp_pd(r2, splat(kSquaresHigh), _CMP_LE_OQ));
    const __m256d pass = _mm256_and_pd(
        in_range, _mm256_cmp_pd(a2, _mm256_mul_pd(r2, splat(1.0 - 0x1p-30)), _CMP_LT_OQ));
    const __m256d fail = _mm256_and_pd(
        in_range, _mm256_cmp_pd(a2, _mm256_mul_pd(r2, splat(1.0 + 0x1p-30)), _CMP_GT_OQ));
    const __m256d unsure = _mm256_andnot_pd(_mm256_or_pd(pass, fail), _mm256_castsi256_pd(on));
    if (_mm256_movemask_pd(unsure) == 0) {
      ok = _mm256_andnot_pd(fail, ok);
      return;
    }
  }
  const __m256d ci = cabs4(inc.re, inc.im);
  const __m256d cs = cabs4(sre, sim);
  ok = _mm256_and_pd(ok, _mm256_cmp_pd(ci, _mm256_mul_pd(cs, th.u), _CMP_LE_OQ));
}

// The increments of the sums, each over four receivers from offset i of the Bessel factors, the
// receivers read by `load` (all four, or the lanes of the last group). One form each:
// cx(x) * b;
struct RealTimes {
  const double* x;
  K4 b;
  template <class Load>
  LG_AVX2 V4 at(int i, const Load& load) const {
    return real_times(load(x + i), b);
  }
};

// (a * cx(x)) * c;
struct ScaledTimes {
  const double* x;
  K4 a, c;
  template <class Load>
  LG_AVX2 V4 at(int i, const Load& load) const {
    return times(times_real(a, load(x + i)), c);
  }
};

// cx(x) * b - (a * cx(y)) * c, and with kPlus the sum.
template <bool kPlus>
struct TwoTerms {
  const double* x;
  const double* y;
  K4 b, a, c;
  template <class Load>
  LG_AVX2 V4 at(int i, const Load& load) const {
    const V4 u = real_times(load(x + i), b);
    const V4 v = times(times_real(a, load(y + i)), c);
    if constexpr (kPlus) return V4{_mm256_add_pd(u.re, v.re), _mm256_add_pd(u.im, v.im)};
    return minus(u, v);
  }
};

// Loads of four receivers, or of the lanes of `on`.
struct LoadAll {
  LG_AVX2 __m256d operator()(const double* p) const { return _mm256_loadu_pd(p); }
};
struct LoadSome {
  __m256i on;
  LG_AVX2 __m256d operator()(const double* p) const { return _mm256_maskload_pd(p, on); }
};

// Whether the increments of the lanes of `on` are all small against their new sums.
LG_AVX2 bool group_passes(V4 inc, __m256d sre, __m256d sim, __m256i on, const Threshold& th) {
  __m256d ok = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
  add_test(inc, sre, sim, on, th, ok);
  return _mm256_movemask_pd(_mm256_andnot_pd(ok, _mm256_castsi256_pd(on))) == 0;
}

// Where the receivers of one call go: n of them, from offset 0 of the Bessel factors' pointers
// and of the sums' rows; the last n % 4 in the lanes of `tail`.
struct Span {
  int n;
  __m256i tail;
};

// The sums of the receivers from the first of a call: sum m at re[m * slots + i], im[...].
struct Rows {
  double* re;
  double* im;
  std::size_t slots;
};

// Two increments over the same receivers, for sums m and m + 1: one loop forms both, sharing
// its loads of the Bessel factors.
template <class A, class B>
struct Pair {
  A a;
  B b;
};

// The increments of f (one, or two for a pair) at four receivers from offset i into v.
template <class F, class Load>
LG_AVX2 void increments_at(const F& f, int i, const Load& load, V4* v) {
  v[0] = f.at(i, load);
}

template <class A, class B, class Load>
LG_AVX2 void increments_at(const Pair<A, B>& f, int i, const Load& load, V4* v) {
  v[0] = f.a.at(i, load);
  v[1] = f.b.at(i, load);
}

template <class F>
constexpr int kRowsOf = 1;
template <class A, class B>
constexpr int kRowsOf<Pair<A, B>> = 2;

// Adds the increments of receivers 0 ... n - 1 to their sums: those of f to sums m, or those of
// a pair to sums m and m + 1, four receivers at a time. With `test`, tests each group's
// increments against their new sums until a group fails, then clears `test`: no further test
// is needed, the sums of the step are not all small. With kMasked, group g adds only to the
// lanes of on[g] (which holds the lanes of the last group too).
template <bool kMasked = false, class F>
LG_AVX2 void add_row(const F& f, const Span& span, const Rows& rows, int m, const Threshold& th,
                     bool& test, const __m256i* on = nullptr, __m256d* ok = nullptr) {
  constexpr int kRows = kRowsOf<F>;
  double* re[kRows];
  double* im[kRows];
  for (int k = 0; k < kRows; ++k) {
    re[k] = rows.re + static_cast<std::size_t>(m + k) * rows.slots;
    im[k] = rows.im + static_cast<std::size_t>(m + k) * rows.slots;
  }
  const int whole = span.n & ~3;
  const __m256i all = _mm256_set1_epi64x(-1);
  V4 v[kRows];
  int i = 0;
  if constexpr (kMasked) {
    for (; i < span.n; i += 4) {
      const LoadSome some{on[i / 4]};
      const int lanes = _mm256_movemask_pd(_mm256_castsi256_pd(some.on));
      if (lanes == 0) continue;
      // With `ok`, the test of every lane that has not failed yet, into the lanes of its group.
      const bool tested = ok != nullptr && test && (_mm256_movemask_pd(ok[i / 4]) & lanes) != 0;
      if (lanes == 0xf) {
        increments_at(f, i, LoadAll{}, v);
      } else {
        increments_at(f, i, some, v);
      }
      for (int k = 0; k < kRows; ++k) {
        if (lanes == 0xf) {
          const __m256d sre = _mm256_add_pd(_mm256_loadu_pd(re[k] + i), v[k].re);
          const __m256d sim = _mm256_add_pd(_mm256_loadu_pd(im[k] + i), v[k].im);
          _mm256_storeu_pd(re[k] + i, sre);
          _mm256_storeu_pd(im[k] + i, sim);
          if (tested) add_test(v[k], sre, sim, all, th, ok[i / 4]);
        } else {
          const __m256d sre = _mm256_add_pd(some(re[k] + i), v[k].re);
          const __m256d sim = _mm256_add_pd(some(im[k] + i), v[k].im);
          _mm256_maskstore_pd(re[k] + i, some.on, sre);
          _mm256_maskstore_pd(im[k] + i, some.on, sim);
          if (tested) add_test(v[k], sre, sim, some.on, th, ok[i / 4]);
        }
      }
    }
    return;
  }
  if (test) {
    for (; i < whole; i += 4) {
      increments_at(f, i, LoadAll{}, v);
      bool pass = true;
      for (int k = 0; k < kRows; ++k) {
        const __m256d sre = _mm256_add_pd(_mm256_loadu_pd(re[k] + i), v[k].re);
        const __m256d sim = _mm256_add_pd(_mm256_loadu_pd(im[k] + i), v[k].im);
        _mm256_storeu_pd(re[k] + i, sre);
        _mm256_storeu_pd(im[k] + i, sim);
        pass = pass && group_passes(v[k], sre, sim, all, th);
      }
      if (!pass) {
        test = false;
        i += 4;
        break;
      }
    }
  }
  for (; i < whole; i += 4) {
    increments_at(f, i, LoadAll{}, v);
    for (int k = 0; k < kRows; ++k) {
      _mm256_storeu_pd(re[k] + i, _mm256_add_pd(_mm256_loadu_pd(re[k] + i), v[k].re));
      _mm256_storeu_pd(im[k] + i, _mm256_add_pd(_mm256_loadu_pd(im[k] + i), v[k].im));
    }
  }
  if (whole < span.n) {
    const LoadSome some{span.tail};
    increments_at(f, whole, some, v);
    for (int k = 0; k < kRows; ++k) {
      const __m256d sre = _mm256_add_pd(some(re[k] + whole), v[k].re);
      const __m256d sim = _mm256_add_pd(some(im[k] + whole), v[k].im);
      _mm256_maskstore_pd(re[k] + whole, span.tail, sre);
      _mm256_maskstore_pd(im[k] + whole, span.tail, sim);
      if (test && !group_passes(v[k], sre, sim, span.tail, th)) test = false;
    }
  }
}

// The Bessel factors the increments read (or their derivatives in distance), from the first
// receiver of a call.
struct Factors {
  const double* dkj2;
  const double* bkj2r;
  const double* bkj2;
  const double* bj1r;
  const double* dj1;
  const double* bj1;
  const double* bkj0;
};

Factors factors_from(const BesselFactors& b, int first) {
  const auto at = static_cast<std::size_t>(first);
  return Factors{&b.dkj2[at], &b.bkj2r[at], &b.bkj2[at], &b.bj1r[at],
                 &b.dj1[at],  &b.bj1[at],   &b.bkj0[at]};
}

// The moment tensor's increments of add_block (the scalar form) into sums base + 1 ...
// base + kSums. Increment by increment across the receivers (two that share factors or
// constants in one loop), so that each loop holds only its constants and row pointers; each
// receiver's values see the scalar operations in the scalar order, and the outcome of the tests
// (all pass, or not) does not depend on the order they are made in.
template <bool kMasked = false>
LG_AVX2 void moment_sums(const Factors& f, const DepthTerms& d, const SourceLayerTerms& s, int base,
                         const Span& span, const Rows& rows, const Threshold& th, bool& t,
                         const __m256i* on = nullptr, __m256d* ok = nullptr) {
  const K4 cu = real_times_k(d.cu);
  const K4 cu2 = real_times_k(d.cu2);
  const K4 cu3 = real_times_k(d.cu3);
  const K4 cs3 = times_real_k(s.cs3);
  const K4 cs6 = times_real_k(s.cs6);
  const K4 s5 = times_k(d.s5);
  const K4 s6 = times_k(d.s6);
  add_row<kMasked>(Pair<RealTimes, RealTimes>{{f.dkj2, cu}, {f.bkj2r, cu}}, span, rows, base + 1,
                   th, t, on, ok);
  add_row<kMasked>(Pair<RealTimes, RealTimes>{{f.bkj2, cu2}, {f.bj1r, cu2}}, span, rows, base + 3,
                   th, t, on, ok);
  add_row<kMasked>(Pair<ScaledTimes, ScaledTimes>{{f.bkj2r, cs3, s5}, {f.dkj2, cs3, s5}}, span,
                   rows, base + 5, th, t, on, ok);
  add_row<kMasked>(Pair<TwoTerms<false>, TwoTerms<false>>{{f.dj1, f.bj1r, cu3, cs6, s6},
                                                          {f.bj1r, f.dj1, cu3, cs6, s6}},
                   span, rows, base + 7, th, t, on, ok);
  add_row<kMasked>(
      Pair<RealTimes, RealTimes>{{f.bj1, real_times_k(d.c9)}, {f.bj1, real_times_k(d.c10)}}, span,
      rows, base + 9, th, t, on, ok);
  add_row<kMasked>(RealTimes{f.bkj0, real_times_k(d.c11)}, span, rows, base + 11, th, t, on, ok);
}

// The forces' increments of add_force_block into sums base + 1 ... base + kForceSums, as
// moment_sums.
template <bool kMasked = false>
LG_AVX2 void force_sums(const Factors& f, const DepthTerms& d, const SourceLayerTerms& s, int base,
                        const Span& span, const Rows& rows, const Threshold& th, bool& t,
                        const __m256i* on = nullptr) {
  const K4 cu = real_times_k(d.cu);
  const K4 cs3 = times_real_k(s.cs3);
  const K4 s5 = times_k(d.s5);
  add_row<kMasked>(Pair<TwoTerms<true>, TwoTerms<true>>{{f.dj1, f.bj1r, cu, cs3, s5},
                                                        {f.bj1r, f.dj1, cu, cs3, s5}},
                   span, rows, base + 1, th, t, on);
  add_row<kMasked>(
      Pair<RealTimes, RealTimes>{{f.bj1, real_times_k(d.cu2)}, {f.bj1, real_times_k(d.fzr)}}, span,
      rows, base + 3, th, t, on);
  add_row<kMasked>(RealTimes{f.bkj0, real_times_k(d.fzz)}, span, rows, base + 5, th, t, on);
}

LG_AVX2 Threshold threshold(double uconv) {
  const double uu = uconv * uconv;
  return Threshold{splat(uconv), splat(uu), uconv > 0.0 && uu >= kSquaresLow && uu <= kSquaresHigh};
}

LG_AVX2 Span span_of(int n) {
  const __m256i lane_index = _mm256_set_epi64x(3, 2, 1, 0);
  return Span{n, _mm256_cmpgt_epi64(_mm256_set1_epi64x(n & 3), lane_index)};
}

// The sums of receivers first ... from sum 0 on.
Rows rows_from(WavenumberSums& sums, int first) {
  return Rows{sums.re.data() + sums.index(first, 0), sums.im.data() + sums.index(first, 0),
              static_cast<std::size_t>(sums.slots)};
}

// add_receiver_sums with receivers four at a time in lanes (the last group masked), each lane
// doing the scalar operations of add_block in their order; the outcome of the
// convergence test is that of add_block, found by squared moduli where they settle it.
__attribute__((target("avx2"))) bool add_in_lanes(int first, int last, const BesselFactors& b,
                                                  const DepthTerms& d, const SourceLayerTerms& s,
                                                  double uconv, bool test, WavenumberSums& sums) {
  const Threshold th = threshold(uconv);
  const Span span = span_of(last - first + 1);
  const Factors f = factors_from(b, first);
  const Rows rows = rows_from(sums, first);
  bool t = test;
  moment_sums(f, d, s, 0, span, rows, th, t);
  return !test || t;
}

// add_force_sums in lanes, as add_in_lanes.
__attribute__((target("avx2"))) bool add_force_in_lanes(int first, int last, const BesselFactors& b,
                                                        const DepthTerms& d,
                                                        const SourceLayerTerms& s, double uconv,
                                                        bool test, WavenumberSums& sums) {
  const Threshold th = threshold(uconv);
  const Span span = span_of(last - first + 1);
  const Factors f = factors_from(b, first);
  const Rows rows = rows_from(sums, first);
  bool t = test;
  force_sums(f, d, s, kSums, span, rows, th, t);
  return !test || t;
}

// Receivers per chunk of the gradient sums, whose derivatives in distance are formed first.
constexpr int kChunk = 64;

// The derivatives in distance of a chunk's Bessel factors, as radial_derivatives forms them;
// those equal to a factor (bkj2 = dkj2, bj1 = dj1) are read from the factors. on[g]: the lanes
// of group g at a distance other than zero, which alone take radial increments.
struct Radial {
  alignas(32) double dkj2[kChunk], bkj2r[kChunk], bj1r[kChunk], dj1[kChunk], bkj0[kChunk];
  __m256i on[kChunk / 4];
  bool all;  // every receiver of the chunk at a distance other than zero
};

// The derivatives of receivers 0 ... span.n - 1 of f at distances r (lane by lane the
// operations of radial_derivatives), into q.
LG_AVX2 void radial_factors(const Factors& f, const double* r, const Span& span, double k2,
                            Radial& q) {
  const __m256d zero = splat(0.0);
  const __m256d one = splat(1.0);
  const __m256d four = splat(4.0);
  const __m256d k2v = splat(k2);
  bool all = true;
  for (int i = 0; i < span.n; i += 4) {
    const __m256i on = span.n - i >= 4 ? _mm256_set1_epi64x(-1) : span.tail;
    const LoadSome load{on};
    const __m256d ri = load(r + i);
    const __m256d radial =
        _mm256_andnot_pd(_mm256_cmp_pd(ri, zero, _CMP_EQ_OQ), _mm256_castsi256_pd(on));
    q.on[i / 4] = _mm256_castpd_si256(radial);
    all = all && _mm256_movemask_pd(_mm256_xor_pd(radial, _mm256_castsi256_pd(on))) == 0;
    const __m256d rinv = _mm256_div_pd(one, _mm256_blendv_pd(one, ri, radial));
    const __m256d rinv2 = _mm256_mul_pd(rinv, rinv);
    const __m256d dkj2 = load(f.dkj2 + i);
    const __m256d bkj2 = load(f.bkj2 + i);
    const __m256d dj1 = load(f.dj1 + i);
    const __m256d bj1 = load(f.bj1 + i);
    _mm256_store_pd(
        q.dkj2 + i,
        _mm256_sub_pd(_mm256_sub_pd(zero, _mm256_mul_pd(dkj2, rinv)),
                      _mm256_mul_pd(_mm256_sub_pd(k2v, _mm256_mul_pd(four, rinv2)), bkj2)));
    _mm256_store_pd(q.bkj2r + i, _mm256_mul_pd(_mm256_sub_pd(dkj2, load(f.bkj2r + i)), rinv));
    _mm256_store_pd(q.bj1r + i, _mm256_mul_pd(_mm256_sub_pd(dj1, load(f.bj1r + i)), rinv));
    _mm256_store_pd(q.dj1 + i, _mm256_sub_pd(_mm256_sub_pd(zero, _mm256_mul_pd(dj1, rinv)),
                                             _mm256_mul_pd(_mm256_sub_pd(k2v, rinv2), bj1)));
    _mm256_store_pd(q.bkj0 + i, _mm256_sub_pd(zero, _mm256_mul_pd(k2v, bj1)));
  }
  q.all = all;
}

// add_gradient_sums in lanes: the same operations as its scalar form, lane by lane. A
// chunk of receivers at a time: their derivatives in distance, then the sums row by row.
LG_AVX2 void gradient_in_lanes(const SourceSet& active, int first, int last, const double* rr,
                               const Wavenumber& k, const BesselFactors& b, const DepthTerms& d,
                               const DepthTerms& slope, const SourceLayerTerms& s,
                               WavenumberSums& sums) {
  const Threshold th = threshold(0.0);
  bool untested = false;
  Radial q;
  for (int start = first; start <= last; start += kChunk) {
    const Span span = span_of(std::min(kChunk, last - start + 1));
    const Factors f = factors_from(b, start);
    const Rows rows = rows_from(sums, start);
    radial_factors(f, rr + start, span, k.ak2, q);
    const Factors fr{q.dkj2, q.bkj2r, f.dkj2, q.bj1r, q.dj1, f.dj1, q.bkj0};
    if (q.all) {
      if (active.moment) moment_sums(fr, d, s, kMomentRadialSums, span, rows, th, untested);
      if (active.force) force_sums(fr, d, s, kForceRadialSums, span, rows, th, untested);
    } else {
      if (active.moment) {
        moment_sums<true>(fr, d, s, kMomentRadialSums, span, rows, th, untested, q.on);
      }
      if (active.force) {
        force_sums<true>(fr, d, s, kForceRadialSums, span, rows, th, untested, q.on);
      }
    }
    if (active.moment) moment_sums(f, slope, s, kMomentDepthSums, span, rows, th, untested);
    if (active.force) force_sums(f, slope, s, kForceDepthSums, span, rows, th, untested);
  }
}

// add_receiver_sums_each in lanes: chunks of receivers, each group of four in the lanes of its
// receivers that are live, every lane tested.
__attribute__((target("avx2"))) void each_in_lanes(int first, int last, const BesselFactors& b,
                                                   const DepthTerms& d, const SourceLayerTerms& s,
                                                   double uconv, bool test,
                                                   const std::uint64_t* live, std::uint64_t* ok,
                                                   WavenumberSums& sums) {
  const Threshold th = threshold(uconv);
  const __m256i lane_index = _mm256_set_epi64x(3, 2, 1, 0);
  __m256i on[kChunk / 4];
  __m256d pass[kChunk / 4];
  for (int start = first; start <= last; start += kChunk) {
    const int n = std::min(kChunk, last - start + 1);
    bool any = false;
    for (int g = 0; 4 * g < n; ++g) {
      const __m256i in_range = _mm256_cmpgt_epi64(_mm256_set1_epi64x(n - 4 * g), lane_index);
      const auto* from = reinterpret_cast<const long long*>(live + start + 4 * g);
      on[g] = _mm256_and_si256(in_range, _mm256_maskload_epi64(from, in_range));
      pass[g] = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
      any = any || !_mm256_testz_si256(on[g], on[g]);
    }
    if (!any) continue;
    bool t = test;
    moment_sums<true>(factors_from(b, start), d, s, 0, span_of(n), rows_from(sums, start), th, t,
                      on, pass);
    if (!test) continue;
    for (int g = 0; 4 * g < n; ++g) {
      _mm256_maskstore_epi64(reinterpret_cast<long long*>(ok + start + 4 * g), on[g],
                             _mm256_castpd_si256(pass[g]));
    }
  }
}

__attribute__((target("avx2"))) void add_gradient_in_lanes(
    const SourceSet& active, int first, int last, const double* rr, const Wavenumber& k,
    const BesselFactors& b, const DepthTerms& d, const DepthTerms& slope, const SourceLayerTerms& s,
    WavenumberSums& sums) {
  gradient_in_lanes(active, first, last, rr, k, b, d, slope, s, sums);
}
#endif

}  // namespace

namespace {

// One receiver's Bessel factors (or their derivatives in distance), as the sums read them.
struct BesselAt {
  double dkj2, bkj2r, bkj2, bj1r, dj1, bj1, bkj0;
};

// The moment tensor's increments 1 ... kSums of one receiver, as add_block forms them.
void moment_increments(const BesselAt& b, const DepthTerms& d, const SourceLayerTerms& s,
                       Arr<Cx, kSums>& inc) {
  inc[1] = cx(b.dkj2) * d.cu;
  inc[2] = cx(b.bkj2r) * d.cu;
  inc[3] = cx(b.bkj2) * d.cu2;
  inc[4] = cx(b.bj1r) * d.cu2;
  inc[5] = (s.cs3 * cx(b.bkj2r)) * d.s5;
  inc[6] = (s.cs3 * cx(b.dkj2)) * d.s5;
  inc[7] = cx(b.dj1) * d.cu3 - (s.cs6 * cx(b.bj1r)) * d.s6;
  inc[8] = cx(b.bj1r) * d.cu3 - (s.cs6 * cx(b.dj1)) * d.s6;
  inc[9] = cx(b.bj1) * d.c9;
  inc[10] = cx(b.bj1) * d.c10;
  inc[11] = cx(b.bkj0) * d.c11;
}

// The forces' increments 1 ... kForceSums of one receiver, as add_force_block forms them.
void force_increments(const BesselAt& b, const DepthTerms& d, const SourceLayerTerms& s,
                      Arr<Cx, kForceSums>& inc) {
  inc[1] = cx(b.dj1) * d.cu + (s.cs3 * cx(b.bj1r)) * d.s5;
  inc[2] = cx(b.bj1r) * d.cu + (s.cs3 * cx(b.dj1)) * d.s5;
  inc[3] = cx(b.bj1) * d.cu2;
  inc[4] = cx(b.bj1) * d.fzr;
  inc[5] = cx(b.bkj0) * d.fzz;
}

// The derivatives in distance r > 0 of the factors at wavenumber k (k2 = k^2), from Bessel's
// equation: (J1(kr))'' = -(J1)'/r - (k^2 - 1/r^2) J1, and the same of k J2 with 4/r^2.
BesselAt radial_derivatives(const BesselFactors& b, std::size_t i, double r, double k2) {
  const double rinv = 1.0 / r;
  BesselAt d;
  d.bkj0 = 0.0 - k2 * b.bj1[i];
  d.bj1 = b.dj1[i];
  d.bj1r = (b.dj1[i] - b.bj1r[i]) * rinv;
  d.dj1 = (0.0 - b.dj1[i] * rinv) - (k2 - rinv * rinv) * b.bj1[i];
  d.bkj2 = b.dkj2[i];
  d.bkj2r = (b.dkj2[i] - b.bkj2r[i]) * rinv;
  d.dkj2 = (0.0 - b.dkj2[i] * rinv) - (k2 - 4.0 * (rinv * rinv)) * b.bkj2[i];
  return d;
}

void add_to(WavenumberSums& sums, int ir, int m, Cx v) {
  const std::size_t at = sums.index(ir, m);
  sums.re[at] = sums.re[at] + v.re;
  sums.im[at] = sums.im[at] + v.im;
}

}  // namespace

void add_gradient_sums(const SourceSet& active, int first, int last, const double* rr,
                       const Wavenumber& k, const BesselFactors& b, const DepthTerms& d,
                       const DepthTerms& slope, const SourceLayerTerms& s, WavenumberSums& sums,
                       [[maybe_unused]] Lanes lanes) {
#if LG_AVX2_LANES
  if (lanes == Lanes::avx2) {
    add_gradient_in_lanes(active, first, last, rr, k, b, d, slope, s, sums);
    return;
  }
#endif
  for (int ir = first; ir <= last; ++ir) {
    const auto i = static_cast<std::size_t>(ir);
    const BesselAt at{b.dkj2[i], b.bkj2r[i], b.bkj2[i], b.bj1r[i], b.dj1[i], b.bj1[i], b.bkj0[i]};
    const bool radial = rr[ir] != 0.0;
    const BesselAt dr = radial ? radial_derivatives(b, i, rr[ir], k.ak2) : BesselAt{};
    if (active.moment) {
      Arr<Cx, kSums> inc;
      if (radial) {
        moment_increments(dr, d, s, inc);
        for (int m = 1; m <= kSums; ++m) add_to(sums, ir, kMomentRadialSums + m, inc[m]);
      }
      moment_increments(at, slope, s, inc);
      for (int m = 1; m <= kSums; ++m) add_to(sums, ir, kMomentDepthSums + m, inc[m]);
    }
    if (active.force) {
      Arr<Cx, kForceSums> inc;
      if (radial) {
        force_increments(dr, d, s, inc);
        for (int m = 1; m <= kForceSums; ++m) add_to(sums, ir, kForceRadialSums + m, inc[m]);
      }
      force_increments(at, slope, s, inc);
      for (int m = 1; m <= kForceSums; ++m) add_to(sums, ir, kForceDepthSums + m, inc[m]);
    }
  }
}

bool add_receiver_sums(int first, int last, const BesselFactors& b, const DepthTerms& d,
                       const SourceLayerTerms& s, double uconv, bool test, WavenumberSums& sums,
                       [[maybe_unused]] Lanes lanes) {
  // Every receiver adds its increments; once one test has failed, no more tests are made.
  // Each receiver's increments and test involve only its own values, so receivers may be
  // taken four at a time in lanes.
#if LG_AVX2_LANES
  if (lanes == Lanes::avx2) return add_in_lanes(first, last, b, d, s, uconv, test, sums);
#endif
  bool converged = true;
  for (int start = first; start <= last; start += kBlock) {
    const int end = std::min(last, start + kBlock - 1);
    converged = add_block(start, end, b, d, s, uconv, test && converged, sums) && converged;
  }
  return converged;
}

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
    const bool passed = add_block(ir, ir, b, d, s, uconv, test, sums);
    if (test) ok[ir] = passed ? ~std::uint64_t{0} : 0;
  }
}

bool add_force_sums(int first, int last, const BesselFactors& b, const DepthTerms& d,
                    const SourceLayerTerms& s, double uconv, bool test, WavenumberSums& sums,
                    [[maybe_unused]] Lanes lanes) {
#if LG_AVX2_LANES
  if (lanes == Lanes::avx2) return add_force_in_lanes(first, last, b, d, s, uconv, test, sums);
#endif
  bool converged = true;
  for (int start = first; start <= last; start += kBlock) {
    const int end = std::min(last, start + kBlock - 1);
    converged = add_force_block(start, end, b, d, s, uconv, test && converged, sums) && converged;
  }
  return converged;
}

}  // namespace lg
