// Four complex numbers in lanes, with the operations of kernel/complex.h done lane by lane:
// the same IEEE operations in the same order, Smith's quotient with its branch turned into
// selects from the same comparison. For code compiled for AVX2 (functions marked
// LG_TARGET_AVX2); the helpers are always inlined into them, and so take their instruction set.
#pragma once

#include "kernel/lanes.h"

#if !LG_AVX2_LANES
#error "kernel/complex_lanes.h is for x86-64 only: include it under #if LG_AVX2_LANES"
#endif

#include <immintrin.h>

#include "kernel/complex.h"

// The helpers are always inlined into AVX2 code, so the ABI of passing vectors to functions
// compiled without AVX, which the compilers warn of (GCC at the end of the including file),
// never applies.
// Only the files of the lane-parallel paths include this header.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace lg::lanes {

using D4 = double __attribute__((vector_size(32)));
using I4 = long long __attribute__((vector_size(32)));

#define LG_TARGET_AVX2 __attribute__((target("avx2")))
#define LG_LANE_OP __attribute__((always_inline)) inline
// For helpers that use AVX instructions themselves, callable from LG_TARGET_AVX2 code only.
#define LG_AVX2_OP __attribute__((target("avx2"), always_inline)) inline

struct C4 {
  D4 re;
  D4 im;
};

// m ? a : b lane by lane, for a mask m of all-ones or all-zeros lanes.
LG_LANE_OP D4 select(I4 m, D4 a, D4 b) {
  return reinterpret_cast<D4>((m & reinterpret_cast<I4>(a)) | (~m & reinterpret_cast<I4>(b)));
}

LG_LANE_OP D4 fabs4(D4 x) {
  const I4 magnitude = {0x7fffffffffffffffLL, 0x7fffffffffffffffLL, 0x7fffffffffffffffLL,
                        0x7fffffffffffffffLL};
  return reinterpret_cast<D4>(reinterpret_cast<I4>(x) & magnitude);
}

LG_LANE_OP D4 splat(double x) {
  return D4{x, x, x, x};
}

LG_LANE_OP C4 splat(Cx a) {
  return C4{splat(a.re), splat(a.im)};
}

LG_LANE_OP C4 operator+(C4 a, C4 b) {
  return C4{a.re + b.re, a.im + b.im};
}
LG_LANE_OP C4 operator-(C4 a, C4 b) {
  return C4{a.re - b.re, a.im - b.im};
}
LG_LANE_OP C4 operator-(C4 a) {
  return C4{-a.re, -a.im};
}
LG_LANE_OP C4 operator*(C4 a, C4 b) {
  return C4{a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}
LG_LANE_OP C4 operator+(C4 a, Cx b) {
  return a + splat(b);
}
LG_LANE_OP C4 operator-(C4 a, Cx b) {
  return a - splat(b);
}
LG_LANE_OP C4 operator*(C4 a, Cx b) {
  return a * splat(b);
}
LG_LANE_OP C4 operator*(Cx a, C4 b) {
  return splat(a) * b;
}

// Divisor of kernel/complex.h per lane: both branches' operands selected by the same test.
struct Divisor4 {
  D4 ratio;
  D4 den;
  I4 by_im;
};

LG_LANE_OP Divisor4 divisor(C4 b) {
  const I4 by_im = reinterpret_cast<I4>(fabs4(b.re) <= fabs4(b.im));
  // by_im: ratio = re/im, den = im*(1 + ratio^2); else ratio = im/re, den = re*(1 + ratio^2).
  const D4 num = select(by_im, b.re, b.im);
  const D4 dv = select(by_im, b.im, b.re);
  const D4 ratio = num / dv;
  return Divisor4{ratio, dv * (1.0 + ratio * ratio), by_im};
}

LG_LANE_OP Divisor4 make_divisor(C4 b) {
  return divisor(b);
}

LG_LANE_OP C4 operator/(C4 a, const Divisor4& d) {
  // by_im: ((a.re*r + a.im)/den, (a.im*r - a.re)/den);
  // else:  ((a.re + a.im*r)/den, (a.im - a.re*r)/den). A sum is the same either way round.
  const D4 first = select(d.by_im, a.re, a.im) * d.ratio + select(d.by_im, a.im, a.re);
  const D4 second = select(d.by_im, a.im, a.re) * d.ratio;
  const D4 second_im = select(d.by_im, second - a.re, a.im - second);
  return C4{first / d.den, second_im / d.den};
}

// The helpers above that take or return bare vectors, for code compiled for AVX2 (a compiler
// may not pass such vectors between functions of different instruction sets, even inlined).
LG_AVX2_OP D4 select_v(I4 m, D4 a, D4 b) {
  return reinterpret_cast<D4>((m & reinterpret_cast<I4>(a)) | (~m & reinterpret_cast<I4>(b)));
}

LG_AVX2_OP C4 select_v(I4 m, C4 a, C4 b) {
  return C4{select_v(m, a.re, b.re), select_v(m, a.im, b.im)};
}

LG_AVX2_OP D4 fabs_v(D4 x) {
  const I4 magnitude = {0x7fffffffffffffffLL, 0x7fffffffffffffffLL, 0x7fffffffffffffffLL,
                        0x7fffffffffffffffLL};
  return reinterpret_cast<D4>(reinterpret_cast<I4>(x) & magnitude);
}

LG_AVX2_OP D4 sqrt4(D4 x) {
  return _mm256_sqrt_pd(x);
}

// cabs per lane: the larger part times sqrt(1 + (smaller/larger)^2), or the larger part where
// adding the smaller one leaves it unchanged.
LG_AVX2_OP D4 cabs4(C4 z) {
  const D4 ax = fabs_v(z.re);
  const D4 ay = fabs_v(z.im);
  const I4 swap = reinterpret_cast<I4>(ay > ax);
  const D4 x = select_v(swap, ay, ax);
  const D4 y = select_v(swap, ax, ay);
  const D4 t = y / x;
  return select_v(reinterpret_cast<I4>(x + y == x), x, x * sqrt4(1.0 + t * t));
}

// csqrt per lane.
LG_AVX2_OP C4 csqrt4(C4 z) {
  const D4 m = cabs4(z);
  const D4 zero = {0.0, 0.0, 0.0, 0.0};
  const I4 positive = reinterpret_cast<I4>(z.re > zero);
  const D4 t0 = sqrt4(0.5 * select_v(positive, m + z.re, m - z.re));
  const D4 t = select_v(~positive & reinterpret_cast<I4>(z.im < zero), -t0, t0);
  const D4 q = 0.5 * (z.im / t);
  const C4 r = select_v(positive, C4{t, q}, C4{q, t});
  return select_v(reinterpret_cast<I4>(m == zero), C4{zero, zero}, r);
}

// Lane j of a.
inline Cx lane(const C4& a, int j) {
  return Cx{a.re[j], a.im[j]};
}

}  // namespace lg::lanes

namespace lg {

template <>
LG_LANE_OP lanes::C4 lift<lanes::C4>(Cx a) {
  return lanes::splat(a);
}

}  // namespace lg
