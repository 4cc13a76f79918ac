// 2x2 complex matrix operations of the layer recursions, written out element by element once
// for the matrices of one frequency (M2) and of four in lanes (Matrix2 of lanes::C4). Each
// reads its operands and returns its result.
#pragma once

#include "kernel/records.h"

namespace lg {

// Row-by-column product a*b.
template <class C>
LG_FORMULA Matrix2<C> mul(const Matrix2<C>& a, const Matrix2<C>& b) {
  return Matrix2<C>{a.m11 * b.m11 + a.m12 * b.m21, a.m11 * b.m12 + a.m12 * b.m22,
                    a.m21 * b.m11 + a.m22 * b.m21, a.m21 * b.m12 + a.m22 * b.m22};
}

template <class C>
LG_FORMULA Matrix2<C> add(const Matrix2<C>& a, const Matrix2<C>& b) {
  return Matrix2<C>{a.m11 + b.m11, a.m12 + b.m12, a.m21 + b.m21, a.m22 + b.m22};
}

// (I - x)^-1 * y by the adjugate of I - x: each element of the product x is formed before it
// is subtracted.
template <class C>
LG_FORMULA Matrix2<C> solve_i_minus(const Matrix2<C>& x, const Matrix2<C>& y) {
  const C one = lift<C>(cx(1.0));
  const C zero = lift<C>(Cx{});
  const C ca1 = one - x.m11;
  const C ca2 = zero - x.m12;
  const C ca3 = zero - x.m21;
  const C ca4 = one - x.m22;
  const auto cadet = make_divisor(ca1 * ca4 - ca2 * ca3);
  return Matrix2<C>{(ca4 * y.m11 - ca2 * y.m21) / cadet, (ca4 * y.m12 - ca2 * y.m22) / cadet,
                    (ca1 * y.m21 - ca3 * y.m11) / cadet, (ca1 * y.m22 - ca3 * y.m12) / cadet};
}

// E*a*E for the phase factors e1 (P) and e2 (S): element (i, j) times the product e_i*e_j.
// (The complex product is exactly commutative, so the side the factor stands on is free.)
template <class C>
LG_FORMULA Matrix2<C> phase_both(C e1, C e2, const Matrix2<C>& a) {
  const C p12 = e1 * e2;
  return Matrix2<C>{(e1 * e1) * a.m11, p12 * a.m12, p12 * a.m21, (e2 * e2) * a.m22};
}

template <class C>
LG_FORMULA Matrix2<C> identity2() {
  const C one = lift<C>(cx(1.0));
  const C zero = lift<C>(Cx{});
  return Matrix2<C>{one, zero, zero, one};
}

}  // namespace lg
