#include "kernel/layer_medium.h"

#include "kernel/anelastic_law.h"
#include "kernel/constants.h"
#include "kernel/fluid_layers.h"

namespace lg {

void layer_medium(const LayerModel& m, const AnelasticLaw& law, const FrequencyTerms& f,
                  LayerMedium& out) {
  const Cx one = cx(1.0);
  for (int ic = 1; ic <= m.nc; ++ic) {
    if (law.constant_q) {
      const ComplexVelocities v =
          constant_q_velocities(m.vp[ic], m.vs[ic], m.qp[ic], m.qs[ic], f.omega, law.omega_ref);
      out.cka[ic] = f.omega / v.vp;
      out.ckb[ic] = f.omega / v.vs;
      out.ckb2[ic] = out.ckb[ic] * out.ckb[ic];
      out.cka2[ic] = out.cka[ic] * out.cka[ic];
      out.crho[ic] = f.cnorm / cx(m.rho[ic]);
      continue;
    }
    const double qp = m.qp[ic];
    // A fluid layer's qs is not used: its one damping factor takes qs = qp.
    const double qs = m.vs[ic] == 0.0 ? qp : m.qs[ic];
    // One damping factor, from the sum of the two quality factors, serves both wave types;
    // the last factor is the logarithmic dispersion referred to 1 rad per time unit.
    const Cx ccv = one + kI / cx(qp + qs);
    const Cx cvp = cx(m.vp[ic]) * ccv / cx(1.0 + 0.25 / (qp * qp)) / cx(1.0 - f.xlnw / qp);
    const Cx cvs = cx(m.vs[ic]) * ccv / cx(1.0 + 0.25 / (qs * qs)) / cx(1.0 - f.xlnw / qs);
    out.cka[ic] = f.omega / cvp;
    out.ckb[ic] = f.omega / cvs;
    out.ckb2[ic] = out.ckb[ic] * out.ckb[ic];
    out.cka2[ic] = out.cka[ic] * out.cka[ic];
    out.crho[ic] = f.cnorm / cx(m.rho[ic]);
  }
  // Fluid layers carry no S waves.
  out.nfluid = fluid_layer_count(m);
  for (int ic = 1; ic <= out.nfluid; ++ic) {
    out.ckb[ic] = Cx{};
    out.ckb2[ic] = Cx{};
  }
}

}  // namespace lg
