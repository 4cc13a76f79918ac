#include "kernel/receiver_sums.h"

#include <algorithm>

#include "kernel/constants.h"

namespace lg {

SourceLayerTerms source_layer_terms(const Placement& p, const Wavenumber& k, const LayerMedium& m,
                                    const LayerWavenumbers& w) {
  const Cx ai = kI;
  const double ak2 = k.ak2;
  const int ls = p.ls;
  SourceLayerTerms s;
  s.cs2 = w.ckig[ls];
  s.cs4 = cx(ak2);
  s.cs5 = ai * w.cgam[ls];
  const Divisor by_cs5(s.cs5);
  s.cs3 = m.ckb2[ls] / by_cs5;
  s.cs6 = m.ckb2[ls];
  s.cs8 = ai * w.cnu[ls];
  s.cs7 = s.cs8 * cx(ak2);
  s.cs9 = (m.ckb2[ls] - cx(ak2 + ak2)) / by_cs5;
  return s;
}

DepthTerms depth_terms(const Placement& p, int ir, const LayerWavenumbers& l,
                       const ReceiverWaves& w, const SourceLayerTerms& s) {
  const Cx ai = kI;
  const int k = p.lr[ir];
  const Cx zc = cx(p.zrl[ir]);
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

// Increments of one wavenumber step for a run of receivers, receiver index fastest, so that
// the loops below run across receivers (and vectorise: the same IEEE operations per lane).
constexpr int kBlock = 32;  // receivers per block of increments

struct Increments {
  double re[kSums + 1][kBlock];
  double im[kSums + 1][kBlock];
};

// Stores increment m of receiver i.
inline void put(Increments& inc, int m, int i, Cx v) {
  inc.re[m][i] = v.re;
  inc.im[m][i] = v.im;
}

// add_receiver_sums for a block of at most kBlock receivers.
bool add_block(int first, int last, const BesselFactors& b, const DepthTerms& d,
               const SourceLayerTerms& s, double uconv, bool test, WavenumberSums& sums) {
  const int n = last - first + 1;
  Increments inc;
  const double* dkj2 = &b.dkj2[first];
  const double* bkj2r = &b.bkj2r[first];
  const double* bkj2 = &b.bkj2[first];
  const double* bj1r = &b.bj1r[first];
  const double* dj1 = &b.dj1[first];
  const double* bj1 = &b.bj1[first];
  const double* bkj0 = &b.bkj0[first];
  for (int i = 0; i < n; ++i) {
    put(inc, 1, i, cx(dkj2[i]) * d.cu);
    put(inc, 2, i, cx(bkj2r[i]) * d.cu);
    put(inc, 3, i, cx(bkj2[i]) * d.cu2);
    put(inc, 4, i, cx(bj1r[i]) * d.cu2);
    put(inc, 9, i, cx(bj1[i]) * d.c9);
    put(inc, 10, i, cx(bj1[i]) * d.c10);
    put(inc, 11, i, cx(bkj0[i]) * d.c11);
  }
  for (int i = 0; i < n; ++i) {
    // (cs3 * bkj2r) * s5 and (cs3 * dkj2) * s5
    const Cx f5 = s.cs3 * cx(bkj2r[i]);
    const Cx f6 = s.cs3 * cx(dkj2[i]);
    const Cx i5 = f5 * d.s5;
    const Cx i6 = f6 * d.s5;
    put(inc, 5, i, i5);
    put(inc, 6, i, i6);
    // dj1 * cu3 - (cs6 * bj1r) * s6 and bj1r * cu3 - (cs6 * dj1) * s6
    const Cx i7 = cx(dj1[i]) * d.cu3 - (s.cs6 * cx(bj1r[i])) * d.s6;
    const Cx i8 = cx(bj1r[i]) * d.cu3 - (s.cs6 * cx(dj1[i])) * d.s6;
    put(inc, 7, i, i7);
    put(inc, 8, i, i8);
  }
  for (int i = 0; i < n; ++i) {
    Arr<Cx, kSums>& sum = sums.usum[first + i];
    for (int m = 1; m <= kSums; ++m) sum[m] += Cx{inc.re[m][i], inc.im[m][i]};
  }

  // Converged only when |increment| <= |sum| * UCONV for every sum (a NaN fails). Each test
  // involves only its own sum and increment, so their order does not matter.
  if (!test) return true;
  for (int i = 0; i < n; ++i) {
    const Arr<Cx, kSums>& sum = sums.usum[first + i];
    for (int m = 1; m <= kSums; ++m) {
      if (!(cabs(Cx{inc.re[m][i], inc.im[m][i]}) <= cabs(sum[m]) * uconv)) return false;
    }
  }
  return true;
}

}  // namespace

bool add_receiver_sums(int first, int last, const BesselFactors& b, const DepthTerms& d,
                       const SourceLayerTerms& s, double uconv, bool test, WavenumberSums& sums) {
  // Every block adds its increments; once one has failed the test, no more tests are made.
  bool converged = true;
  for (int start = first; start <= last; start += kBlock) {
    const int end = std::min(last, start + kBlock - 1);
    converged = add_block(start, end, b, d, s, uconv, test && converged, sums) && converged;
  }
  return converged;
}

}  // namespace lg
