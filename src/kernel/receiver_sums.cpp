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
  s.cs3 = w.ckb2[ls] / s.cs5;
  s.cs6 = w.ckb2[ls];
  s.cs8 = ai * w.cnu[ls];
  s.cs7 = s.cs8 * cx(ak2);
  s.cs9 = (w.ckb2[ls] - cx(ak2 + ak2)) / s.cs5;
  return s;
}

namespace {

// Adds the increments to their sums, then tests each: the flag survives only when
// |increment| <= |sum| * UCONV (a NaN fails). Once the flag is down no test can raise it.
template <int N>
void add_and_test(Context& c, Arr<Cx, kSums>& sum, const int (&m)[N], const Cx (&inc)[N]) {
  for (int n = 0; n < N; ++n) sum[m[n]] += inc[n];
  bool& iconv = c.dim1a.iconv;
  if (!iconv) return;
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

void add_receiver_sums(Context& c, int ir, const ReceiverWaves& w, const SourceLayerTerms& s) {
  const Cx ai = c.dim1a.ai;
  const int k = c.dim1d.lr[ir];
  const Cx zc = cx(c.dim1d.zrl[ir]);
  const Dim2a& l = c.dim2a;
  const Dim2b& b = c.dim2b;
  const Cx two = cx(2.0);

  const Cx egam = cexp(-((ai * l.cgam[k]) * zc));
  const Cx enu = cexp(-((ai * l.cnu[k]) * zc));
  const Cx cr1 = ai * l.cgam[k];
  const Cx cr3 = ai * l.cnu[k];

  // Potentials at the receiver depth and their two combinations per P-SV case.
  Cx cz[5];
  Cx czb[5];
  for (int t = 1; t <= 4; ++t) {
    const Cx phiu = w.pu[1][t] / enu;
    const Cx phid = w.pd[1][t] * enu;
    const Cx psiu = w.pu[2][t] / egam;
    const Cx psid = w.pd[2][t] * egam;
    cz[t] = phiu + phid + cr1 * (psiu - psid);
    czb[t] = cr3 * (phiu - phid) + s.cs4 * (psiu + psid);
  }
  const Cx s5 = w.pdsh[1] * egam + w.push[1] / egam;
  const Cx s6 = w.pdsh[2] * egam + w.push[2] / egam;

  Arr<Cx, kSums>& sum = c.dim2g.usum[ir];
  const Cx dkj2 = cx(b.dkj2[ir]);
  const Cx bkj2r = cx(b.bkj2r[ir]);
  const Cx bkj2 = cx(b.bkj2[ir]);
  const Cx bj1r = cx(b.bj1r[ir]);
  const Cx bj1 = cx(b.bj1[ir]);
  const Cx bkj0 = cx(b.bkj0[ir]);
  const Cx dj1 = cx(b.dj1[ir]);

  const Cx cu = s.cs2 * cz[1] + cz[4];
  add_and_test<2>(c, sum, {1, 2}, {dkj2 * cu, bkj2r * cu});

  const Cx cu2 = s.cs2 * czb[1] + czb[4];
  add_and_test<4>(c, sum, {3, 4, 5, 6},
                  {bkj2 * cu2, bj1r * cu2, (s.cs3 * bkj2r) * s5, (s.cs3 * dkj2) * s5});

  const Cx cu3 = s.cs9 * cz[3] - (two * s.cs4) * cz[2];
  add_and_test<3>(c, sum, {7, 8, 9},
                  {dj1 * cu3 - (s.cs6 * bj1r) * s6, bj1r * cu3 - (s.cs6 * dj1) * s6,
                   bj1 * (s.cs9 * czb[3] - (two * s.cs4) * czb[2])});

  add_and_test<2>(c, sum, {10, 11},
                  {bj1 * (s.cs4 * cz[4] + s.cs7 * cz[1]), bkj0 * (s.cs8 * czb[1] + czb[4])});
}

}  // namespace lg
