#include "kernel/receiver_sums.h"

namespace lg {

SourceLayerTerms source_layer_terms(const Context& c) {
  const Cx ai = c.dim1a.ai;
  const double ak2 = c.dim1a.ak2;
  const int ls = c.dim1d.ls;
  const Dim2a& w = c.dim2a;
  SourceLayerTerms s;
  s.cs2 = w.ckig[ls];
  s.cs4 = cx(ak2);
  s.cs5 = ai * w.cgam[ls];
  const Divisor by_cs5(s.cs5);
  s.cs3 = w.ckb2[ls] / by_cs5;
  s.cs6 = w.ckb2[ls];
  s.cs8 = ai * w.cnu[ls];
  s.cs7 = s.cs8 * cx(ak2);
  s.cs9 = (w.ckb2[ls] - cx(ak2 + ak2)) / by_cs5;
  return s;
}

DepthTerms depth_terms(const Context& c, int ir, const ReceiverWaves& w,
                       const SourceLayerTerms& s) {
  const Cx ai = c.dim1a.ai;
  const int k = c.dim1d.lr[ir];
  const Cx zc = cx(c.dim1d.zrl[ir]);
  const Dim2a& l = c.dim2a;
  const Cx two = cx(2.0);

  const Cx egam = cexp(-((ai * l.cgam[k]) * zc));
  const Cx enu = cexp(-((ai * l.cnu[k]) * zc));
  const Divisor by_egam(egam);
  const Divisor by_enu(enu);
  const Cx cr1 = ai * l.cgam[k];
  const Cx cr3 = ai * l.cnu[k];

  // Potentials at the receiver depth and their two combinations per P-SV case.
  Cx cz[5];
  Cx czb[5];
  for (int t = 1; t <= 4; ++t) {
    const Cx phiu = w.pu[1][t] / by_enu;
    const Cx phid = w.pd[1][t] * enu;
    const Cx psiu = w.pu[2][t] / by_egam;
    const Cx psid = w.pd[2][t] * egam;
    cz[t] = phiu + phid + cr1 * (psiu - psid);
    czb[t] = cr3 * (phiu - phid) + s.cs4 * (psiu + psid);
  }
  DepthTerms d;
  d.s5 = w.pdsh[1] * egam + w.push[1] / by_egam;
  d.s6 = w.pdsh[2] * egam + w.push[2] / by_egam;
  d.cu = s.cs2 * cz[1] + cz[4];
  d.cu2 = s.cs2 * czb[1] + czb[4];
  d.cu3 = s.cs9 * cz[3] - (two * s.cs4) * cz[2];
  d.c9 = s.cs9 * czb[3] - (two * s.cs4) * czb[2];
  d.c10 = s.cs4 * cz[4] + s.cs7 * cz[1];
  d.c11 = s.cs8 * czb[1] + czb[4];
  return d;
}

namespace {

// Adds the increments to their sums, then tests each: the flag survives only when
// |increment| <= |sum| * UCONV (a NaN fails). Once the flag is down no test can raise it.
template <int N>
inline void add_and_test(Context& c, Arr<Cx, kSums>& sum, const int (&m)[N], const Cx (&inc)[N]) {
  for (int n = 0; n < N; ++n) sum[m[n]] += inc[n];
  bool& iconv = c.dim1a.iconv;
  if (!iconv || !c.test_convergence) return;
  const double uconv = c.dim1a.UCONV;
  for (int n = 0; n < N; ++n) {
    const double bound = cabs(sum[m[n]]) * uconv;
    if (!(cabs(inc[n]) <= bound)) {
      iconv = false;
      return;
    }
  }
}

}  // namespace

void add_receiver_sums(Context& c, int ir, const DepthTerms& d, const SourceLayerTerms& s) {
  const Dim2b& b = c.dim2b;
  Arr<Cx, kSums>& sum = c.dim2g.usum[ir];
  const Cx dkj2 = cx(b.dkj2[ir]);
  const Cx bkj2r = cx(b.bkj2r[ir]);
  const Cx bj1r = cx(b.bj1r[ir]);
  const Cx dj1 = cx(b.dj1[ir]);
  const Cx bj1 = cx(b.bj1[ir]);

  add_and_test<2>(c, sum, {1, 2}, {dkj2 * d.cu, bkj2r * d.cu});
  add_and_test<4>(
      c, sum, {3, 4, 5, 6},
      {cx(b.bkj2[ir]) * d.cu2, bj1r * d.cu2, (s.cs3 * bkj2r) * d.s5, (s.cs3 * dkj2) * d.s5});
  add_and_test<3>(
      c, sum, {7, 8, 9},
      {dj1 * d.cu3 - (s.cs6 * bj1r) * d.s6, bj1r * d.cu3 - (s.cs6 * dj1) * d.s6, bj1 * d.c9});
  add_and_test<2>(c, sum, {10, 11}, {bj1 * d.c10, cx(b.bkj0[ir]) * d.c11});
}

}  // namespace lg
