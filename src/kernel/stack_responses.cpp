#include "kernel/stack_responses.h"

#include "kernel/mat2.h"
#include "kernel/stack_recursion.h"

#if LG_AVX2_LANES
#include "kernel/complex_lanes.h"

namespace lg {

namespace {

// The 2x2 matrices in AVX2 lanes, elements (1,1), (1,2), (2,1), (2,2) in lanes 0 to 3: each
// lane does the operations of the scalar element in the same order.
using lanes::C4;

template <int A, int B, int C, int D>
LG_LANE_OP C4 perm(C4 x) {
  return C4{__builtin_shufflevector(x.re, x.re, A, B, C, D),
            __builtin_shufflevector(x.im, x.im, A, B, C, D)};
}

LG_LANE_OP C4 pack(Cx a, Cx b, Cx c, Cx d) {
  return C4{lanes::D4{a.re, b.re, c.re, d.re}, lanes::D4{a.im, b.im, c.im, d.im}};
}

LG_LANE_OP C4 load(const M2& m) {
  return pack(m.m11, m.m12, m.m21, m.m22);
}

LG_LANE_OP M2 store(const C4& x) {
  return M2{lanes::lane(x, 0), lanes::lane(x, 1), lanes::lane(x, 2), lanes::lane(x, 3)};
}

// mul of mat2.h: element (i, j) is a(i,1)*b(1,j) + a(i,2)*b(2,j).
LG_LANE_OP C4 mul4(C4 a, C4 b) {
  return perm<0, 0, 2, 2>(a) * perm<0, 1, 0, 1>(b) + perm<1, 1, 3, 3>(a) * perm<2, 3, 2, 3>(b);
}

// solve_i_minus of mat2.h.
LG_LANE_OP C4 solve_i_minus4(C4 x, C4 y) {
  const C4 ca = C4{lanes::D4{1.0, 0.0, 0.0, 1.0}, lanes::D4{0.0, 0.0, 0.0, 0.0}} - x;
  // ca1*ca4 in lane 0, ca2*ca3 in lane 1 (the complex product is exactly commutative).
  const C4 p = ca * perm<3, 2, 1, 0>(ca);
  const Cx cadet = lanes::lane(p, 0) - lanes::lane(p, 1);
  const C4 l = perm<3, 3, 0, 0>(ca) * y;
  const C4 r = perm<1, 1, 2, 2>(ca) * perm<2, 3, 0, 1>(y);
  return (l - r) / lanes::divisor(lanes::splat(cadet));
}

// stack_responses with the matrices in lanes.
LG_TARGET_AVX2 void stack_responses_in_lanes(int nc, const InterfaceCoefficients& in,
                                             StackResponses& st, LayerTransfers& tr) {
  const Cx one = cx(1.0);

  st.crdo[1] = in.ru[1];
  st.crdosh[1] = in.rush[1];
  C4 crdo = load(in.ru[1]);
  for (int ic = 1; ic <= nc - 1; ++ic) {
    const Cx en = in.enuh[ic];
    const Cx eg = in.egamh[ic];
    const int k = ic + 1;
    const Cx p12 = en * eg;
    const C4 nb = pack(en * en, p12, p12, eg * eg) * crdo;
    const Cx nbsh = st.crdosh[ic] * (eg * eg);
    const Cx cash = one / (one - in.rdsh[k] * nbsh);
    const C4 cb = mul4(load(in.td[k]), nb);
    const Cx cbsh = in.tdsh[k] * nbsh;
    const C4 cc = solve_i_minus4(mul4(load(in.rd[k]), nb), load(in.tu[k]));
    const Cx ccsh = cash * in.tush[k];
    crdo = load(in.ru[k]) + mul4(cb, cc);
    st.crdo[k] = store(crdo);
    st.crdosh[k] = in.rush[k] + cbsh * ccsh;
    tr.ctup[ic] = store(cc * pack(en, en, eg, eg));
    tr.ctupsh[ic] = ccsh * eg;
  }

  st.crup[nc] = M2{};
  st.crupsh[nc] = Cx{};
  C4 crup = lanes::splat(Cx{});
  for (int ic = nc - 1; ic >= 1; --ic) {
    const Cx en = in.enuh[ic];
    const Cx eg = in.egamh[ic];
    const int k = ic + 1;
    const Cx cash = one / (one - in.rush[k] * st.crupsh[k]);
    const C4 cb = mul4(load(in.tu[k]), crup);
    const Cx cbsh = in.tush[k] * st.crupsh[k];
    const C4 cc = solve_i_minus4(mul4(load(in.ru[k]), crup), load(in.td[k]));
    const Cx ccsh = cash * in.tdsh[k];
    const C4 mb = load(in.rd[k]) + mul4(cb, cc);
    const Cx mbsh = in.rdsh[k] + cbsh * ccsh;
    const Cx p12 = en * eg;
    crup = pack(en * en, p12, p12, eg * eg) * mb;
    st.crup[ic] = store(crup);
    st.crupsh[ic] = mbsh * (eg * eg);
    tr.ctdo[k] = store(cc * pack(en, eg, en, eg));
    tr.ctdosh[k] = ccsh * eg;
  }
}

}  // namespace

}  // namespace lg
#endif

namespace lg {

void stack_responses(int nc, const InterfaceCoefficients& in, StackResponses& st,
                     LayerTransfers& tr, [[maybe_unused]] Lanes lanes) {
#if LG_AVX2_LANES
  if (lanes == Lanes::avx2) {
    stack_responses_in_lanes(nc, in, st, tr);
    return;
  }
#endif
  stack_recursion(nc, in, st, tr);
}

}  // namespace lg
