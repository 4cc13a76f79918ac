#include "kernel/receiver_increments.h"

#include <algorithm>

#include "kernel/depth_values.h"

namespace lg {

TransferRange transfer_range(const Placement& p) {
  TransferRange r{p.ls, p.ls};
  // Receivers are in order of depth: 1 is the shallowest, nr the deepest.
  if (p.nrup >= 1) r.top = std::min(r.top, p.lr[1]);
  if (p.nr > p.nrup) r.bottom = std::max(r.bottom, p.lr[p.nr]);
  return r;
}

void source_transfers(int ls, const TransferRange& r, const LayerTransfers& tr,
                      SourceTransfers& f) {
  transfers_from_source(ls, r.top, r.bottom, tr, f);
}

DepthTerms receiver_depth_terms(const Placement& p, int ir, const LayerWavenumbers& v,
                                const StackResponses& st, const SourceTransfers& f,
                                const SourceLayerAmplitudes& src, const SourceLayerTerms& terms,
                                bool force, DepthTerms* slope) {
  ReceiverWaves w;
  receiver_waves(p.lr[ir], ir <= p.nrup, st, f, src.cud, w);
  return depth_terms(p, ir, v, w, terms, force, slope);
}

void add_source_sums(const SourceSet& active, int first, int last, const BesselFactors& b,
                     const DepthTerms& d, const SourceLayerTerms& s, double uconv, bool test,
                     SourceSet& passed, WavenumberSums& sums) {
  if (active.moment) {
    passed.moment = add_receiver_sums(first, last, b, d, s, uconv, test && passed.moment, sums) &&
                    passed.moment;
  }
  if (active.force) {
    passed.force =
        add_force_sums(first, last, b, d, s, uconv, test && passed.force, sums) && passed.force;
  }
}

SourceSet add_receiver_increments(const Placement& d, const ReceiverPositions& rec,
                                  const Wavenumber& wk, const LayerMedium& med,
                                  const LayerWavenumbers& v, const BesselFactors& b,
                                  const StackResponses& st, const LayerTransfers& tr,
                                  const SourceLayerAmplitudes& src, const ConvergenceTest& test,
                                  WavenumberSums& sums, const SourceSet& active) {
  // Cumulative transfer from the top of the source layer to the receivers' layers only.
  SourceTransfers f;
  source_transfers(d.ls, transfer_range(d), tr, f);
  const SourceLayerTerms terms = source_layer_terms(d, wk, med, v, active.force);
  SourceSet passed{true, true};
  for (int ir = 1, last = 1; ir <= d.nr; ir = last + 1) {
    // Receivers at the same depth (adjacent once ordered) share everything but their
    // distance: their waves and potentials are computed once, for ir ... last.
    last = ir;
    while (last < d.nr && rec.zr[last + 1] == rec.zr[ir]) ++last;
    DepthTerms slope;
    const DepthTerms depth = receiver_depth_terms(d, ir, v, st, f, src, terms, active.force,
                                                  active.gradient ? &slope : nullptr);
    // Once one sum has failed the test, the step has not converged and no test is needed.
    add_source_sums(active, ir, last, b, depth, terms, test.uconv, test.wanted, passed, sums);
    if (active.gradient) {
      add_gradient_sums(active, ir, last, d.rr.data(), wk, b, depth, slope, terms, sums);
    }
  }
  return passed;
}

}  // namespace lg
