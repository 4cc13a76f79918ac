#include "kernel/stack_responses.h"

#include "kernel/mat2.h"

namespace lg {

namespace {

// E*a*E for the phase factors e1 (P) and e2 (S): element (i, j) times the product e_i*e_j.
// (The complex product is exactly commutative, so the side the factor stands on is free.)
M2 phase_both(Cx e1, Cx e2, const M2& a) {
  const Cx p12 = e1 * e2;
  return M2{(e1 * e1) * a.m11, p12 * a.m12, p12 * a.m21, (e2 * e2) * a.m22};
}

}  // namespace

void stack_responses(int nc, const InterfaceCoefficients& in, StackResponses& st,
                     LayerTransfers& tr) {
  const Cx one = cx(1.0);

  // From the free surface down: reflection of everything above the top of each layer.
  st.crdo[1] = in.ru[1];
  st.crdosh[1] = in.rush[1];
  for (int ic = 1; ic <= nc - 1; ++ic) {
    const Cx en = in.enuh[ic];
    const Cx eg = in.egamh[ic];
    const int k = ic + 1;
    const M2 nb = phase_both(en, eg, st.crdo[ic]);
    const Cx nbsh = st.crdosh[ic] * (eg * eg);
    const Cx cash = one / (one - in.rdsh[k] * nbsh);
    const M2 cb = mul(in.td[k], nb);
    const Cx cbsh = in.tdsh[k] * nbsh;
    const M2 cc = solve_i_minus(mul(in.rd[k], nb), in.tu[k]);
    const Cx ccsh = cash * in.tush[k];
    st.crdo[k] = add(in.ru[k], mul(cb, cc));
    st.crdosh[k] = in.rush[k] + cbsh * ccsh;
    tr.ctup[ic] = M2{cc.m11 * en, cc.m12 * en, cc.m21 * eg, cc.m22 * eg};
    tr.ctupsh[ic] = ccsh * eg;
  }

  // From the half-space up: reflection of each layer and everything below it.
  st.crup[nc] = M2{};
  st.crupsh[nc] = Cx{};
  for (int ic = nc - 1; ic >= 1; --ic) {
    const Cx en = in.enuh[ic];
    const Cx eg = in.egamh[ic];
    const int k = ic + 1;
    const M2& m = st.crup[k];
    const Cx cash = one / (one - in.rush[k] * st.crupsh[k]);
    const M2 cb = mul(in.tu[k], m);
    const Cx cbsh = in.tush[k] * st.crupsh[k];
    const M2 cc = solve_i_minus(mul(in.ru[k], m), in.td[k]);
    const Cx ccsh = cash * in.tdsh[k];
    const M2 mb = add(in.rd[k], mul(cb, cc));
    const Cx mbsh = in.rdsh[k] + cbsh * ccsh;
    st.crup[ic] = phase_both(en, eg, mb);
    st.crupsh[ic] = mbsh * (eg * eg);
    tr.ctdo[k] = M2{cc.m11 * en, cc.m12 * eg, cc.m21 * en, cc.m22 * eg};
    tr.ctdosh[k] = ccsh * eg;
  }
}

}  // namespace lg
