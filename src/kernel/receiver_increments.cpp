#include "kernel/receiver_increments.h"

#include <algorithm>

#include "kernel/mat2.h"
#include "kernel/receiver_waves.h"

namespace lg {

namespace {

// a * (v1, v2) for row j of a.
inline Cx row_times(const M2& a, int j, Cx v1, Cx v2) {
  return j == 1 ? a.m11 * v1 + a.m12 * v2 : a.m21 * v1 + a.m22 * v2;
}

}  // namespace

TransferRange transfer_range(const Placement& p) {
  TransferRange r{p.ls, p.ls};
  // Receivers are in order of depth: 1 is the shallowest, nr the deepest.
  if (p.nrup >= 1) r.top = std::min(r.top, p.lr[1]);
  if (p.nr > p.nrup) r.bottom = std::max(r.bottom, p.lr[p.nr]);
  return r;
}

void source_transfers(int ls, const TransferRange& r, const LayerTransfers& tr,
                      SourceTransfers& f) {
  f.ftup[ls] = identity2();
  f.ftupsh[ls] = cx(1.0);
  for (int k = ls - 1; k >= r.top; --k) {
    f.ftup[k] = mul(tr.ctup[k], f.ftup[k + 1]);
    f.ftupsh[k] = tr.ctupsh[k] * f.ftupsh[k + 1];
  }
  f.ftdo[ls] = identity2();
  f.ftdosh[ls] = cx(1.0);
  for (int k = ls + 1; k <= r.bottom; ++k) {
    f.ftdo[k] = mul(tr.ctdo[k], f.ftdo[k - 1]);
    f.ftdosh[k] = tr.ctdosh[k] * f.ftdosh[k - 1];
  }
}

DepthTerms receiver_depth_terms(const Placement& p, int ir, const LayerWavenumbers& v,
                                const StackResponses& st, const SourceTransfers& f,
                                const SourceLayerAmplitudes& src, const SourceLayerTerms& terms) {
  const Arr<Cx, 20>& cud = src.cud;
  const int k = p.lr[ir];
  ReceiverWaves w;
  if (ir <= p.nrup) {
    // Above the source: the upgoing wave arrives, the stack above reflects it down.
    for (int t = 1; t <= 4; ++t) {
      for (int j = 1; j <= 2; ++j)
        w.pu[j][t] = row_times(f.ftup[k], j, cud[4 * t - 3], cud[4 * t - 2]);
      for (int j = 1; j <= 2; ++j) w.pd[j][t] = row_times(st.crdo[k], j, w.pu[1][t], w.pu[2][t]);
    }
    w.push[1] = f.ftupsh[k] * cud[17];
    w.pdsh[1] = st.crdosh[k] * w.push[1];
    w.push[2] = f.ftupsh[k] * cud[19];
    w.pdsh[2] = st.crdosh[k] * w.push[2];
  } else {
    // At or below the source: the downgoing wave arrives, the stack below reflects it up.
    for (int t = 1; t <= 4; ++t) {
      for (int j = 1; j <= 2; ++j) w.pd[j][t] = row_times(f.ftdo[k], j, cud[4 * t - 1], cud[4 * t]);
      for (int j = 1; j <= 2; ++j) w.pu[j][t] = row_times(st.crup[k], j, w.pd[1][t], w.pd[2][t]);
    }
    w.pdsh[1] = f.ftdosh[k] * cud[18];
    w.push[1] = st.crupsh[k] * w.pdsh[1];
    w.pdsh[2] = f.ftdosh[k] * cud[20];
    w.push[2] = st.crupsh[k] * w.pdsh[2];
  }
  return depth_terms(p, ir, v, w, terms);
}

bool add_receiver_increments(const Placement& d, const ReceiverPositions& rec, const Wavenumber& wk,
                             const LayerMedium& med, const LayerWavenumbers& v,
                             const BesselFactors& b, const StackResponses& st,
                             const LayerTransfers& tr, const SourceLayerAmplitudes& src,
                             const ConvergenceTest& test, WavenumberSums& sums) {
  // Cumulative transfer from the top of the source layer to the receivers' layers only.
  SourceTransfers f;
  source_transfers(d.ls, transfer_range(d), tr, f);
  const SourceLayerTerms terms = source_layer_terms(d, wk, med, v);
  bool converged = true;
  for (int ir = 1, last = 1; ir <= d.nr; ir = last + 1) {
    // Receivers at the same depth (adjacent once ordered) share everything but their
    // distance: their waves and potentials are computed once, for ir ... last.
    last = ir;
    while (last < d.nr && rec.zr[last + 1] == rec.zr[ir]) ++last;
    const DepthTerms depth = receiver_depth_terms(d, ir, v, st, f, src, terms);
    // Once one sum has failed the test, the step has not converged and no test is needed.
    converged =
        add_receiver_sums(ir, last, b, depth, terms, test.uconv, test.wanted && converged, sums) &&
        converged;
  }
  return converged;
}

}  // namespace lg
