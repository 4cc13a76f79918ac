// The stack recursion of one wavenumber step, written once over the value type (Cx for one
// frequency, lanes::C4 for four): the reflection responses above and below the top of every
// layer and the layer transfers. Reads the interface coefficients and layer phase factors of
// `in`; writes the responses to `st` and the transfers to `tr`.
#pragma once

#include <type_traits>

#include "kernel/mat2.h"

namespace lg {

// In holds rd, ru, td, tu, rdsh, rush, tdsh, tush, enuh and egamh per layer; St crdo, crup,
// crdosh and crupsh; Tr ctup, ctdo, ctupsh and ctdosh (the records of one frequency, or the
// same values of four frequencies in lanes).
template <class In, class St, class Tr>
LG_FORMULA void stack_recursion(int nc, const In& in, St& st, Tr& tr) {
  using C = std::remove_cvref_t<decltype(in.rush[1])>;
  using M = Matrix2<C>;
  const C one = lift<C>(cx(1.0));
  const C zero = lift<C>(Cx{});

  // From the free surface down: reflection of everything above the top of each layer.
  st.crdo[1] = in.ru[1];
  st.crdosh[1] = in.rush[1];
  for (int ic = 1; ic <= nc - 1; ++ic) {
    const C en = in.enuh[ic];
    const C eg = in.egamh[ic];
    const int k = ic + 1;
    const M nb = phase_both(en, eg, st.crdo[ic]);
    const C nbsh = st.crdosh[ic] * (eg * eg);
    const C cash = one / make_divisor(one - in.rdsh[k] * nbsh);
    const M cb = mul(in.td[k], nb);
    const C cbsh = in.tdsh[k] * nbsh;
    const M cc = solve_i_minus(mul(in.rd[k], nb), in.tu[k]);
    const C ccsh = cash * in.tush[k];
    st.crdo[k] = add(in.ru[k], mul(cb, cc));
    st.crdosh[k] = in.rush[k] + cbsh * ccsh;
    tr.ctup[ic] = M{cc.m11 * en, cc.m12 * en, cc.m21 * eg, cc.m22 * eg};
    tr.ctupsh[ic] = ccsh * eg;
  }

  // From the half-space up: reflection of each layer and everything below it.
  st.crup[nc] = M{zero, zero, zero, zero};
  st.crupsh[nc] = zero;
  for (int ic = nc - 1; ic >= 1; --ic) {
    const C en = in.enuh[ic];
    const C eg = in.egamh[ic];
    const int k = ic + 1;
    const M& m = st.crup[k];
    const C cash = one / make_divisor(one - in.rush[k] * st.crupsh[k]);
    const M cb = mul(in.tu[k], m);
    const C cbsh = in.tush[k] * st.crupsh[k];
    const M cc = solve_i_minus(mul(in.ru[k], m), in.td[k]);
    const C ccsh = cash * in.tdsh[k];
    const M mb = add(in.rd[k], mul(cb, cc));
    const C mbsh = in.rdsh[k] + cbsh * ccsh;
    st.crup[ic] = phase_both(en, eg, mb);
    st.crupsh[ic] = mbsh * (eg * eg);
    tr.ctdo[k] = M{cc.m11 * en, cc.m12 * eg, cc.m21 * en, cc.m22 * eg};
    tr.ctdosh[k] = ccsh * eg;
  }
}

}  // namespace lg
