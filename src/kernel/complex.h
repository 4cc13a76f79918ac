// Double-precision complex numbers and the exact arithmetic the kernel is built on.
//
// Every operation here is spelled out so that results are the same bit for bit on every
// compiler: products are (ar*br - ai*bi, ar*bi + ai*br); the quotient is Smith's (divide by
// the larger part of the divisor first); the modulus scales by the larger part,
// |x|*sqrt(1 + (y/x)^2); the square root takes sqrt((|z| + |re|)/2) for one part and half the
// imaginary part divided by it for the other; the exponential is exp(re)*(cos im, sin im).
// A real operand must be turned into a complex one explicitly with cx(d), so that
// every mixed operation is the full complex operation.
#pragma once

#include <cmath>

namespace lg {

// Trivially constructible, so that scratch arrays cost nothing to set up; write Cx{} for
// zero.
struct Cx {
  double re;
  double im;
};

// A real number as a complex number with zero imaginary part.
constexpr Cx cx(double d) {
  return Cx{d, 0.0};
}
constexpr Cx cx(double re, double im) {
  return Cx{re, im};
}

constexpr Cx operator+(Cx a, Cx b) {
  return Cx{a.re + b.re, a.im + b.im};
}
constexpr Cx operator-(Cx a, Cx b) {
  return Cx{a.re - b.re, a.im - b.im};
}
constexpr Cx operator-(Cx a) {
  return Cx{-a.re, -a.im};
}
constexpr Cx operator*(Cx a, Cx b) {
  return Cx{a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}

inline Cx& operator+=(Cx& a, Cx b) {
  return a = a + b;
}

// The divisor's part of Smith's quotient, for many quotients by the same divisor:
// a / Divisor(b) gives exactly a / b.
struct Divisor {
  explicit Divisor(Cx b) {
    by_im = std::fabs(b.re) <= std::fabs(b.im);
    if (by_im) {
      ratio = b.re / b.im;
      den = b.im * (1.0 + ratio * ratio);
    } else {
      ratio = b.im / b.re;
      den = b.re * (1.0 + ratio * ratio);
    }
  }
  double ratio;
  double den;
  bool by_im;
};

inline Cx operator/(Cx a, const Divisor& d) {
  if (d.by_im) return Cx{(a.re * d.ratio + a.im) / d.den, (a.im * d.ratio - a.re) / d.den};
  return Cx{(a.re + a.im * d.ratio) / d.den, (a.im - a.re * d.ratio) / d.den};
}

// Smith's quotient a/b. A zero divisor gives infinities or NaN, never a trap.
inline Cx operator/(Cx a, Cx b) {
  return a / Divisor(b);
}

// The formulas of the kernel written once over the value type C, Cx for one value or
// lanes::C4 (complex_lanes.h) for four, are always inlined, so that the lanes' instances are
// compiled for the instruction set of the AVX2 functions they are inlined into. They form
// constants with lift<C> and divisors with make_divisor, which complex_lanes.h defines for C4.
#define LG_FORMULA __attribute__((always_inline)) inline

template <class C>
C lift(Cx a);

template <>
constexpr Cx lift<Cx>(Cx a) {
  return a;
}

inline Divisor make_divisor(Cx b) {
  return Divisor(b);
}

// Modulus without needless overflow: x*sqrt(1 + (y/x)^2) with x >= y.
inline double cabs(Cx z) {
  double x = std::fabs(z.re);
  double y = std::fabs(z.im);
  if (y > x) {
    const double t = x;
    x = y;
    y = t;
  }
  if (x + y == x) return x;
  const double t = y / x;
  return x * std::sqrt(1.0 + t * t);
}

// Principal square root (real part >= 0).
inline Cx csqrt(Cx z) {
  const double m = cabs(z);
  if (m == 0.0) return Cx{0.0, 0.0};
  if (z.re > 0.0) {
    const double t = std::sqrt(0.5 * (m + z.re));
    return Cx{t, 0.5 * (z.im / t)};
  }
  double t = std::sqrt(0.5 * (m - z.re));
  if (z.im < 0.0) t = -t;
  return Cx{0.5 * (z.im / t), t};
}

// At zero (a receiver or source at the top of its layer) the value is known exactly:
// exp(+-0) = 1, cos(+-0) = 1 and sin(+-0) = +-0 are exact in IEEE arithmetic, so the result is
// (1, z.im), the bits the library calls would give.
inline Cx cexp(Cx z) {
  if (z.re == 0.0 && z.im == 0.0) return Cx{1.0, z.im};
  const double e = std::exp(z.re);
  return Cx{e * std::cos(z.im), e * std::sin(z.im)};
}

// Rounds to single precision and widens back. The rounding goes through a volatile so that
// no optimiser can fold the narrowing and widening pair away (GCC 12's vectoriser does so
// for two such casts stored side by side).
inline double round_to_float(double x) {
  volatile float f = static_cast<float>(x);
  return static_cast<double>(f);
}

// Rounds both parts to single precision and widens them back.
inline Cx round_to_float(Cx z) {
  return Cx{round_to_float(z.re), round_to_float(z.im)};
}

}  // namespace lg
