// The AVX2 lane paths of the kernel give the scalar path's bits: interface coefficients,
// vertical wavenumbers, stack responses, receiver sums and Bessel factors on random inputs that
// take both branches of Smith's quotient and of the modulus (parts of equal size, zero parts) and
// both outcomes of the convergence test, receivers at zero distance, constants that are not
// finite; and frequencies stepping
// together in lanes give the bits and step counts of each frequency alone.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "kernel/bessel_factors.h"
#include "kernel/frequency_lanes.h"
#include "kernel/interface_coefficients.h"
#include "kernel/lanes.h"
#include "kernel/receiver_sums.h"
#include "kernel/stack_responses.h"
#include "kernel/vertical_wavenumbers.h"
#include "kernel_fixture.h"

namespace lg {
namespace {

bool same(Cx a, Cx b) {
  return std::bit_cast<std::uint64_t>(a.re) == std::bit_cast<std::uint64_t>(b.re) &&
         std::bit_cast<std::uint64_t>(a.im) == std::bit_cast<std::uint64_t>(b.im);
}

bool same(const M2& a, const M2& b) {
  return same(a.m11, b.m11) && same(a.m12, b.m12) && same(a.m21, b.m21) && same(a.m22, b.m22);
}

class KernelLanes : public ::testing::Test {
 protected:
  void SetUp() override {
    if (best_lanes() != Lanes::avx2) GTEST_SKIP() << "the processor has no AVX2";
  }

  // A positive number over eight decades.
  double positive() { return std::pow(10.0, std::uniform_real_distribution<double>(-4, 4)(gen)); }
  double signed_value() { return (gen() & 1) != 0 ? positive() : -positive(); }
  // A complex number of random signs and sizes; one in eight has parts of equal size (the
  // tie of Smith's quotient and of the modulus), one in eight a zero part.
  Cx any() {
    switch (gen() % 8) {
      case 0: {
        const double x = positive();
        return Cx{(gen() & 1) != 0 ? x : -x, (gen() & 1) != 0 ? x : -x};
      }
      case 1:
        return (gen() & 1) != 0 ? Cx{0.0, signed_value()} : Cx{signed_value(), 0.0};
      default:
        return Cx{signed_value(), signed_value()};
    }
  }
  M2 any_m2() { return M2{any(), any(), any(), any()}; }
  int layers() { return 2 + static_cast<int>(gen() % 11); }  // 1 to 11 interfaces

  std::mt19937_64 gen{20261209};
};

TEST_F(KernelLanes, InterfaceCoefficientsAreTheScalarBits) {
  for (int trial = 0; trial < 300; ++trial) {
    LayerModel m;
    m.nc = layers();
    LayerMedium med;
    LayerWavenumbers w;
    for (int ic = 1; ic <= m.nc; ++ic) {
      m.hc[ic] = positive() * 1e-3;
      m.rho[ic] = positive();
      med.ckb2[ic] = any();
      w.cnu[ic] = any();
      w.cgam[ic] = any();
    }
    const Wavenumber k{0.0, positive()};
    InterfaceCoefficients scalar;
    InterfaceCoefficients in_lanes;
    interface_coefficients(m, k, med, w, scalar, Lanes::scalar);
    interface_coefficients(m, k, med, w, in_lanes, Lanes::avx2);
    EXPECT_TRUE(same(scalar.ru[1], in_lanes.ru[1]));
    for (int ik = 2; ik <= m.nc; ++ik) {
      EXPECT_TRUE(same(scalar.rd[ik], in_lanes.rd[ik]) && same(scalar.ru[ik], in_lanes.ru[ik]) &&
                  same(scalar.td[ik], in_lanes.td[ik]) && same(scalar.tu[ik], in_lanes.tu[ik]))
          << "trial " << trial << ", interface " << ik;
      EXPECT_TRUE(
          same(scalar.rdsh[ik], in_lanes.rdsh[ik]) && same(scalar.rush[ik], in_lanes.rush[ik]) &&
          same(scalar.tdsh[ik], in_lanes.tdsh[ik]) && same(scalar.tush[ik], in_lanes.tush[ik]))
          << "trial " << trial << ", interface " << ik;
    }
  }
}

TEST_F(KernelLanes, StackResponsesAreTheScalarBits) {
  for (int trial = 0; trial < 300; ++trial) {
    const int nc = layers();
    InterfaceCoefficients in;
    for (int ic = 1; ic <= nc; ++ic) {
      in.rd[ic] = any_m2();
      in.ru[ic] = any_m2();
      in.td[ic] = any_m2();
      in.tu[ic] = any_m2();
      in.rdsh[ic] = any();
      in.rush[ic] = any();
      in.tdsh[ic] = any();
      in.tush[ic] = any();
      in.enuh[ic] = any();
      in.egamh[ic] = any();
    }
    StackResponses st_scalar;
    StackResponses st_lanes;
    LayerTransfers tr_scalar;
    LayerTransfers tr_lanes;
    stack_responses(nc, in, st_scalar, tr_scalar, Lanes::scalar);
    stack_responses(nc, in, st_lanes, tr_lanes, Lanes::avx2);
    for (int ic = 1; ic <= nc; ++ic) {
      EXPECT_TRUE(same(st_scalar.crdo[ic], st_lanes.crdo[ic]) &&
                  same(st_scalar.crup[ic], st_lanes.crup[ic]) &&
                  same(st_scalar.crdosh[ic], st_lanes.crdosh[ic]) &&
                  same(st_scalar.crupsh[ic], st_lanes.crupsh[ic]))
          << "trial " << trial << ", layer " << ic;
    }
    for (int ic = 1; ic < nc; ++ic) {
      EXPECT_TRUE(same(tr_scalar.ctup[ic], tr_lanes.ctup[ic]) &&
                  same(tr_scalar.ctupsh[ic], tr_lanes.ctupsh[ic]) &&
                  same(tr_scalar.ctdo[ic + 1], tr_lanes.ctdo[ic + 1]) &&
                  same(tr_scalar.ctdosh[ic + 1], tr_lanes.ctdosh[ic + 1]))
          << "trial " << trial << ", layer " << ic;
    }
  }
}

TEST_F(KernelLanes, ReceiverSumsAndTheirTestAreTheScalarBits) {
  int converged = 0;
  for (int trial = 0; trial < 400; ++trial) {
    // Whole groups of four and the rest; now and then more receivers than one pass takes.
    const int n = 1 + static_cast<int>(gen() % (trial % 10 == 7 ? 150 : 13));
    const auto slots = static_cast<std::size_t>(n + 1);
    // Factors of either zero now and then, so that increments have zero parts of either sign.
    BesselFactors b;
    for (PerReceiver<double>* v :
         {&b.bj0, &b.bj1, &b.bkj0, &b.bkj2, &b.bj1r, &b.dkj2, &b.bkj2r, &b.dj1}) {
      v->resize(slots);
      for (double& x : *v) x = gen() % 8 != 0 ? signed_value() : ((gen() & 1) != 0 ? 0.0 : -0.0);
    }
    DepthTerms d{any(), any(), any(), any(), any(), any(), any(), any(), any(), any()};
    SourceLayerTerms s{any(), any(), any(), any(), any(), any(), any(), any()};
    // In one trial of eight, a constant with an infinite or NaN part.
    if (trial % 8 == 3) {
      Cx* c[] = {&d.cu, &d.cu2, &d.cu3, &d.c9, &d.c10, &d.c11, &d.fzr, &d.fzz, &s.cs3, &s.cs6};
      Cx& z = *c[gen() % std::size(c)];
      ((gen() & 1) != 0 ? z.re : z.im) = (gen() & 1) != 0 ? INFINITY : NAN;
    }
    // Sums as they start, at +0, now and then.
    WavenumberSums scalar;
    scalar.reset(n, kAllSums);
    for (std::size_t i = 0; i < scalar.re.size(); ++i) {
      scalar.re[i] = gen() % 8 != 0 ? signed_value() * 1e6 : 0.0;
      scalar.im[i] = gen() % 8 != 0 ? signed_value() * 1e6 : 0.0;
    }
    WavenumberSums in_lanes = scalar;
    // Thresholds from hopeless to generous, so that the test fails and passes.
    const double uconv = std::pow(10.0, std::uniform_real_distribution<double>(-6, 6)(gen));
    const bool test = trial % 5 != 0;
    const bool a = add_receiver_sums(1, n, b, d, s, uconv, test, scalar, Lanes::scalar);
    const bool c = add_receiver_sums(1, n, b, d, s, uconv, test, in_lanes, Lanes::avx2);
    EXPECT_EQ(a, c) << "trial " << trial;
    converged += test && a ? 1 : 0;
    // The forces' sums likewise.
    EXPECT_EQ(add_force_sums(1, n, b, d, s, uconv, test, scalar, Lanes::scalar),
              add_force_sums(1, n, b, d, s, uconv, test, in_lanes, Lanes::avx2))
        << "trial " << trial;
    // Receivers of several data sets, some of them no longer summing: each receiver's outcome.
    std::vector<std::uint64_t> live(slots), ok_scalar(slots, 7), ok_lanes(slots, 7);
    for (std::uint64_t& l : live) l = gen() % 3 != 0 ? ~std::uint64_t{0} : 0;
    add_receiver_sums_each(1, n, b, d, s, uconv, test, live.data(), ok_scalar.data(), scalar,
                           Lanes::scalar);
    add_receiver_sums_each(1, n, b, d, s, uconv, test, live.data(), ok_lanes.data(), in_lanes,
                           Lanes::avx2);
    EXPECT_EQ(ok_scalar, ok_lanes) << "trial " << trial;
    // The gradient sums too, with the derivatives' distances (one in four at the epicentre) and
    // now and then a slope that is not finite.
    std::vector<double> rr(slots);
    for (double& r : rr) r = gen() % 4 == 0 ? 0.0 : positive();
    DepthTerms z{any(), any(), any(), any(), any(), any(), any(), any(), any(), any()};
    if (trial % 8 == 5) {
      Cx* c[] = {&z.cu, &z.cu2, &z.cu3, &z.c9, &z.c10, &z.c11, &z.fzr, &z.fzz};
      Cx& w = *c[gen() % std::size(c)];
      ((gen() & 1) != 0 ? w.re : w.im) = (gen() & 1) != 0 ? INFINITY : NAN;
    }
    const Wavenumber k{positive(), positive()};
    const SourceSet kinds{true, true, true};
    add_gradient_sums(kinds, 1, n, rr.data(), k, b, d, z, s, scalar, Lanes::scalar);
    add_gradient_sums(kinds, 1, n, rr.data(), k, b, d, z, s, in_lanes, Lanes::avx2);
    for (int ir = 1; ir <= n; ++ir) {
      for (int m = 1; m <= kAllSums; ++m) {
        EXPECT_TRUE(same(scalar.at(ir, m), in_lanes.at(ir, m)))
            << "trial " << trial << ", receiver " << ir << ", sum " << m;
      }
    }
  }
  // Both outcomes of the test were met.
  EXPECT_GT(converged, 20);
  EXPECT_LT(converged, 300);
}

// Increments whose modulus is within a few units of |sum| * uconv, where the lanes' test by
// squared moduli cannot decide and the exact test must: only sum 11 gets an increment (the
// other Bessel factors are zero), and uconv is |increment| / |new sum| and its neighbours.
TEST_F(KernelLanes, ConvergenceTestAtItsThresholdIsTheScalarOutcome) {
  int passed = 0;
  int failed = 0;
  for (int trial = 0; trial < 200; ++trial) {
    const int n = 1 + static_cast<int>(gen() % 9);
    const auto slots = static_cast<std::size_t>(n + 1);
    BesselFactors b;
    for (PerReceiver<double>* v :
         {&b.bj0, &b.bj1, &b.bkj0, &b.bkj2, &b.bj1r, &b.dkj2, &b.bkj2r, &b.dj1}) {
      v->assign(slots, 0.0);
    }
    for (int ir = 1; ir <= n; ++ir) b.bkj0[ir] = signed_value();
    const DepthTerms d{any(), any(), any(), any(), any(), any(), any(), any(), Cx{}, Cx{}};
    const SourceLayerTerms s{any(), any(), any(), any(), any(), any(), any(), Cx{}};
    WavenumberSums scalar;
    scalar.reset(n);
    for (std::size_t i = 0; i < scalar.re.size(); ++i) {
      scalar.re[i] = signed_value();
      scalar.im[i] = signed_value();
    }
    WavenumberSums in_lanes = scalar;
    // The threshold of one receiver, nudged by up to two units either way.
    const int ir = 1 + static_cast<int>(gen() % static_cast<unsigned>(n));
    const Cx inc = cx(b.bkj0[ir]) * d.c11;
    const double ratio = cabs(inc) / cabs(scalar.at(ir, kSums) + inc);
    const double uconv =
        ratio * (1.0 + static_cast<double>(static_cast<int>(gen() % 5) - 2) * 0x1p-52);
    const bool a = add_receiver_sums(1, n, b, d, s, uconv, true, scalar, Lanes::scalar);
    const bool c = add_receiver_sums(1, n, b, d, s, uconv, true, in_lanes, Lanes::avx2);
    EXPECT_EQ(a, c) << "trial " << trial;
    (a ? passed : failed) += 1;
  }
  EXPECT_GT(passed, 0);
  EXPECT_GT(failed, 0);
}

TEST_F(KernelLanes, VerticalWavenumbersAreTheScalarBits) {
  for (int trial = 0; trial < 300; ++trial) {
    const int nc = layers();
    LayerMedium med;
    for (int ic = 1; ic <= nc; ++ic) {
      med.cka2[ic] = any();
      med.ckb2[ic] = any();
    }
    // Now and then k^2 equal to a real part, so that a root is taken of a zero or imaginary
    // number.
    const double ak = gen() % 4 == 0 ? std::sqrt(std::fabs(med.cka2[1].re)) : positive();
    const Wavenumber k{ak, ak * ak};
    LayerWavenumbers scalar;
    LayerWavenumbers in_lanes;
    vertical_wavenumbers(nc, k, med, scalar, Lanes::scalar);
    vertical_wavenumbers(nc, k, med, in_lanes, Lanes::avx2);
    for (int ic = 1; ic <= nc; ++ic) {
      EXPECT_TRUE(same(scalar.cnu[ic], in_lanes.cnu[ic]) &&
                  same(scalar.cgam[ic], in_lanes.cgam[ic]) &&
                  same(scalar.ckig[ic], in_lanes.ckig[ic]))
          << "trial " << trial << ", layer " << ic;
    }
  }
}

TEST_F(KernelLanes, BesselFactorsAreTheScalarBits) {
  for (int trial = 0; trial < 100; ++trial) {
    Placement p;
    p.nr = 1 + static_cast<int>(gen() % 13);
    p.rr.resize(static_cast<std::size_t>(p.nr + 1));
    std::vector<double> j01(static_cast<std::size_t>(2 * p.nr));
    for (int ir = 1; ir <= p.nr; ++ir) p.rr[ir] = gen() % 4 == 0 ? 0.0 : positive();
    for (double& v : j01) v = signed_value();
    const double ak = positive();
    const Wavenumber k{ak, ak * ak};
    BesselFactors scalar;
    for (PerReceiver<double>* v : {&scalar.bj0, &scalar.bj1, &scalar.bkj0, &scalar.bkj2,
                                   &scalar.bj1r, &scalar.dkj2, &scalar.bkj2r, &scalar.dj1}) {
      v->resize(static_cast<std::size_t>(p.nr + 1));
    }
    BesselFactors in_lanes = scalar;
    bessel_factors(p, k, j01.data(), scalar, Lanes::scalar);
    bessel_factors(p, k, j01.data(), in_lanes, Lanes::avx2);
    for (int ir = 1; ir <= p.nr; ++ir) {
      for (const auto f : {&BesselFactors::bkj0, &BesselFactors::bkj2, &BesselFactors::bj1r,
                           &BesselFactors::dkj2, &BesselFactors::bkj2r, &BesselFactors::dj1}) {
        EXPECT_EQ(std::bit_cast<std::uint64_t>((scalar.*f)[ir]),
                  std::bit_cast<std::uint64_t>((in_lanes.*f)[ir]))
            << "trial " << trial << ", receiver " << ir;
      }
    }
  }
}

TEST_F(KernelLanes, FrequenciesInLanesAreEachFrequencyAlone) {
  // Receivers above and below the source, one at zero distance, two sharing a depth; in the
  // crust and in a half-space alone (no interface below the free surface).
  const std::vector<testing::Receiver> receivers = {
      {0, 0, 0}, {12, 3, 0}, {30, -4, 0}, {7, 7, 5}, {25, 0, 20}};
  const std::vector<std::vector<testing::Layer>> models = {testing::crust(),
                                                           {{0.0, 6.0, 3.5, 2.8, 400, 200}}};
  struct Case {
    std::vector<double> freqs;
    Sampling s;
    bool table;
  };
  // Thresholds that end the frequencies at different steps, some at the last index (a full
  // and a partial batch), one no step meets, and one every step meets.
  const std::vector<Case> cases = {
      {{0.0, 0.3, 0.7, 1.3}, testing::sampling(20, 1, 300, 180, 1e-4), true},
      {{0.2, 0.45, 0.9}, testing::sampling(20, 1, 300, 3000, 1e-3), false},
      {{0.1, 0.6}, testing::sampling(20, 1, 300, 140), true},
      {{0.25, 0.5, 0.75, 1.0}, testing::sampling(20, 1, 300, 500, 1e300), false}};
  bool ends_differ = false;
  // The moment tensor, both kinds (each leaving the sum at its own step) and forces alone.
  const std::vector<SourceSet> kinds = {SourceSet{}, SourceSet{true, true}, SourceSet{false, true}};
  for (std::size_t c = 0; c < cases.size(); ++c) {
    const Case& k = cases[c];
    for (const std::vector<testing::Layer>& model : models) {
      auto proto = testing::make_context(model, receivers, 8.0);
      const SourceSet set = kinds[c % kinds.size()];
      proto->sources = set;
      const BesselTable table(proto->placement, k.s, k.s.ikmax + 1);
      const BesselTable* t = k.table ? &table : nullptr;
      std::vector<Workspace> ws(4, *proto);
      const int n = static_cast<int>(k.freqs.size());
      const std::vector<FrequencyOutcome> got = compute_frequencies(ws, k.freqs.data(), n, k.s, t);
      ASSERT_EQ(got.size(), k.freqs.size());
      for (int f = 0; f < n; ++f) {
        Workspace alone = *proto;
        const FrequencyOutcome want = compute_frequency(alone, k.freqs[f], k.s, t);
        const auto j = static_cast<std::size_t>(f);
        EXPECT_EQ(got[j].ik, want.ik) << "frequency " << k.freqs[f];
        EXPECT_EQ(got[j].converged, want.converged) << "frequency " << k.freqs[f];
        if (got[j].ik != got[0].ik) ends_differ = true;
        for (int ir = 1; ir <= proto->placement.nr; ++ir) {
          const auto r = static_cast<std::size_t>(ir);
          for (int is = 1; is <= kElements && set.moment; ++is) {
            for (int m = 1; m <= kComponents; ++m) {
              ASSERT_TRUE(same(ws[j].spectra.ug[r][is][m], alone.spectra.ug[r][is][m]))
                  << "frequency " << k.freqs[f] << " receiver " << ir << " element " << is;
            }
          }
          for (int is = 1; is <= kForceCount && set.force; ++is) {
            for (int m = 1; m <= kComponents; ++m) {
              ASSERT_TRUE(same(ws[j].spectra.fg[r][is][m], alone.spectra.fg[r][is][m]))
                  << "frequency " << k.freqs[f] << " receiver " << ir << " force " << is;
            }
          }
        }
      }
    }
  }
  EXPECT_TRUE(ends_differ);
}

}  // namespace
}  // namespace lg
