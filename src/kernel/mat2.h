// 2x2 complex matrix operations of the layer recursions, written out element by element.
#pragma once

#include "kernel/records.h"

namespace lg {

// Row-by-column product a*b.
inline M2 mul(const M2& a, const M2& b) {
  return M2{a.m11 * b.m11 + a.m12 * b.m21, a.m11 * b.m12 + a.m12 * b.m22,
            a.m21 * b.m11 + a.m22 * b.m21, a.m21 * b.m12 + a.m22 * b.m22};
}

inline M2 add(const M2& a, const M2& b) {
  return M2{a.m11 + b.m11, a.m12 + b.m12, a.m21 + b.m21, a.m22 + b.m22};
}

// (I - x)^-1 * y by the adjugate of I - x: each element of the product x is formed before it
// is subtracted.
inline M2 solve_i_minus(const M2& x, const M2& y) {
  const Cx one = cx(1.0);
  const Cx ca1 = one - x.m11;
  const Cx ca2 = Cx{} - x.m12;
  const Cx ca3 = Cx{} - x.m21;
  const Cx ca4 = one - x.m22;
  const Cx cadet = ca1 * ca4 - ca2 * ca3;
  return M2{(ca4 * y.m11 - ca2 * y.m21) / cadet, (ca4 * y.m12 - ca2 * y.m22) / cadet,
            (ca1 * y.m21 - ca3 * y.m11) / cadet, (ca1 * y.m22 - ca3 * y.m12) / cadet};
}

inline constexpr M2 identity2() {
  return M2{cx(1.0), Cx{}, Cx{}, cx(1.0)};
}

}  // namespace lg
