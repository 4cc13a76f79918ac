// Stage-level checks of the wavenumber kernel: special values, limits, and the equations the
// reflection, transfer and source amplitudes must satisfy.
#include <gtest/gtest.h>

#include <bit>
#include <complex>
#include <cstdint>

#include "kernel/interface_coefficients.h"
#include "kernel/source_layer_amplitudes.h"
#include "kernel/stack_responses.h"
#include "kernel_fixture.h"

namespace lg {
namespace {

using testing::crust;
using testing::dist;
using testing::Layer;
using testing::make_context;
using testing::sampling;
using testing::set_wavenumber;

using V2 = std::array<Cx, 2>;

V2 times(const M2& m, const V2& v) {
  return {m.m11 * v[0] + m.m12 * v[1], m.m21 * v[0] + m.m22 * v[1]};
}
V2 operator+(const V2& a, const V2& b) {
  return {a[0] + b[0], a[1] + b[1]};
}
V2 diag(Cx e1, Cx e2, const V2& v) {
  return {e1 * v[0], e2 * v[1]};
}
double norm(const V2& v) {
  return std::max(cabs(v[0]), cabs(v[1]));
}
double gap(const V2& a, const V2& b) {
  return std::max(dist(a[0], b[0]), dist(a[1], b[1]));
}

// Runs the stages up to the stack responses (and the source-layer amplitudes) at one
// frequency and wavenumber index.
void run_to(Workspace& c, double freq, int ik, const Sampling& s, bool with_source) {
  start_frequency(c, freq, s);
  set_wavenumber(c, ik, s);
  testing::wavenumber_values(c);
  testing::interfaces(c);
  testing::stacks(c);
  if (with_source) testing::source_amplitudes(c);
}

// cexp's value at zero is the library's: exp, cos and sin of signed zeros, bit for bit.
TEST(ComplexExp, ZeroArgumentsGiveTheLibraryBits) {
  for (const double re : {0.0, -0.0}) {
    for (const double im : {0.0, -0.0}) {
      volatile double r = re;  // keeps the library calls from being folded
      volatile double i = im;
      const Cx got = cexp(Cx{re, im});
      const double e = std::exp(r);
      EXPECT_EQ(std::bit_cast<std::uint64_t>(got.re),
                std::bit_cast<std::uint64_t>(e * std::cos(i)));
      EXPECT_EQ(std::bit_cast<std::uint64_t>(got.im),
                std::bit_cast<std::uint64_t>(e * std::sin(i)));
    }
  }
}

TEST(MediumConstants, ZeroDistanceFactorsAreTheLimits) {
  auto c = make_context(crust(), {{0, 0, 0}, {1e-9, 0, 0}, {3, 4, 0}}, 5.0);
  const Sampling s = sampling(20, 1, 300, 100);
  start_frequency(*c, 0.3, s);
  set_wavenumber(*c, 37, s);
  testing::wavenumber_values(*c);
  const double k = c->wavenumber.ak;
  const BesselFactors& b = c->bessel;
  EXPECT_EQ(b.bj0[1], 1.0);
  EXPECT_EQ(b.bj1[1], 0.0);
  EXPECT_EQ(b.bkj0[1], k);
  EXPECT_EQ(b.bkj2[1], 0.0);
  EXPECT_EQ(b.bj1r[1], k / 2);
  EXPECT_EQ(b.dkj2[1], 0.0);
  EXPECT_EQ(b.bkj2r[1], 0.0);
  EXPECT_EQ(b.dj1[1], k / 2);
  // A tiny but non-zero distance takes the general formulas and approaches the same limits.
  EXPECT_NEAR(b.bj1r[2], k / 2, 1e-12 * k);
  EXPECT_NEAR(b.dj1[2], k / 2, 1e-12 * k);
  EXPECT_NEAR(b.bkj2[2], 0.0, 1e-12 * k);
  // At r = 5: bkj2 = -k J2(kr), and dj1 is the radial derivative of J1(kr).
  const double x = 5.0 * k;
  EXPECT_NEAR(b.bkj2[3], -k * std::cyl_bessel_j(2.0, x), 1e-13);
  EXPECT_NEAR(b.dj1[3], k * 0.5 * (std::cyl_bessel_j(0.0, x) - std::cyl_bessel_j(2.0, x)), 1e-13);
  const double h = 1e-5;
  const double dbkj2 =
      (-k * std::cyl_bessel_j(2.0, (5.0 + h) * k) + k * std::cyl_bessel_j(2.0, (5.0 - h) * k)) /
      (2 * h);
  EXPECT_NEAR(b.dkj2[3], dbkj2, 1e-8);
}

TEST(MediumConstants, VelocityDispersionAndVerticalWavenumbers) {
  const double q = 40.0;
  auto c = make_context({{3, 5.0, 2.9, 2.6, q, q}, {0, 6.5, 3.7, 2.9, 300, 120}}, {{4, 0, 0}}, 2.0);
  const Sampling s = sampling(25.6, 2.0, 400, 100);
  for (double freq : {0.0, 0.15, 1.0, 4.0}) {
    start_frequency(*c, freq, s);
    for (int ik : {0, 10, 200, 2000}) {
      set_wavenumber(*c, ik, s);
      testing::wavenumber_values(*c);
      const std::complex<double> w(c->frequency.omega.re, c->frequency.omega.im);
      // The dispersion term is taken from the unrounded angular frequency.
      const double xlnw =
          std::log(std::abs(std::complex<double>(6.28318530718 * freq, s.aw))) / 3.14159265359;
      EXPECT_NEAR(c->frequency.xlnw, xlnw, 1e-15);
      // With equal quality factors the velocity is v / ((1 - i/(2q)) (1 - xlnw/q)).
      const std::complex<double> cv =
          5.0 / ((1.0 - std::complex<double>(0, 1) / (2 * q)) * (1.0 - xlnw / q));
      const Cx cka = c->medium.cka[1];
      const std::complex<double> expect = w / cv;
      EXPECT_NEAR(cka.re, expect.real(), 1e-13 * std::abs(expect));
      EXPECT_NEAR(cka.im, expect.imag(), 1e-13 * std::abs(expect));
      for (int ic = 1; ic <= 2; ++ic) {
        const Cx nu = c->vertical.cnu[ic];
        const Cx gam = c->vertical.cgam[ic];
        EXPECT_LE(nu.im, 0.0);
        EXPECT_LE(gam.im, 0.0);
        const Cx nu2 = c->medium.cka2[ic] - cx(c->wavenumber.ak2);
        EXPECT_LE(dist(nu * nu, nu2), 1e-13 * cabs(nu2) + 1e-300);
        // ckig = -i k^2 / nu
        const Cx ckig = c->vertical.ckig[ic] * nu;
        EXPECT_NEAR(ckig.re, 0.0, 1e-13 * c->wavenumber.ak2 + 1e-300);
        EXPECT_NEAR(ckig.im, -c->wavenumber.ak2, 1e-13 * c->wavenumber.ak2 + 1e-300);
      }
    }
  }
}

TEST(MediumConstants, NoDispersionAtUnitAngularFrequency) {
  // |omega| = 1 exactly: AW chosen so that the damping alone is 1 rad per unit time at f = 0.
  auto c = make_context({{0, 6.0, 3.5, 2.8, 50, 25}}, {{1, 0, 0}}, 1.0);
  Sampling s = sampling(1.0, 1.0, 100, 10);
  s.aw = -1.0;
  start_frequency(*c, 0.0, s);
  EXPECT_EQ(c->frequency.xlnw, 0.0);
  set_wavenumber(*c, 0, s);
  testing::wavenumber_values(*c);
  // cvp = vp (1 + i/(qp+qs)) / (1 + 0.25/qp^2)
  const std::complex<double> cv =
      6.0 * std::complex<double>(1.0, 1.0 / 75.0) / (1.0 + 0.25 / 2500.0);
  const std::complex<double> cka = std::complex<double>(0.0, -1.0) / cv;
  EXPECT_NEAR(c->medium.cka[1].re, cka.real(), 1e-15);
  EXPECT_NEAR(c->medium.cka[1].im, cka.imag(), 1e-15);
}

TEST(InterfaceCoefficients, IdenticalLayersNeitherReflectNorConvert) {
  const Layer l{3, 6.0, 3.5, 2.8, 300, 150};
  Layer half = l;
  half.hc = 0;
  auto c = make_context({{2, 4.0, 2.3, 2.3, 100, 50}, l, l, half}, {{5, 0, 0}}, 1.0);
  const Sampling s = sampling(20, 1.5, 250, 100);
  for (int ik : {0, 30, 300}) {
    run_to(*c, 0.4, ik, s, false);
    for (int k = 3; k <= 4; ++k) {
      const InterfaceCoefficients& o = c->interfaces;
      for (const M2* m : {&o.rd[k], &o.ru[k]}) {
        EXPECT_LT(cabs(m->m11) + cabs(m->m12) + cabs(m->m21) + cabs(m->m22), 1e-13);
      }
      for (const M2* m : {&o.td[k], &o.tu[k]}) {
        EXPECT_LT(dist(m->m11, cx(1)) + dist(m->m22, cx(1)), 1e-13);
        EXPECT_LT(cabs(m->m12) + cabs(m->m21), 1e-13);
      }
      EXPECT_LT(cabs(o.rdsh[k]) + cabs(o.rush[k]), 1e-14);
      EXPECT_LT(dist(o.tdsh[k], cx(1)) + dist(o.tush[k], cx(1)), 1e-14);
    }
  }
}

TEST(InterfaceCoefficients, FreeSurfaceAtSmallWavenumber) {
  auto c = make_context(crust(), {{5, 0, 0}}, 3.0);
  Sampling s = sampling(20, 1.0, 1e7, 10);  // a tiny wavenumber step
  run_to(*c, 1.0, 0, s, false);
  const InterfaceCoefficients& o = c->interfaces;
  EXPECT_NEAR(o.ru[1].m11.re, -1.0, 1e-9);
  EXPECT_NEAR(o.ru[1].m22.re, -1.0, 1e-9);
  // Amplitudes are potentials, so only the product of the two conversions is dimensionless:
  // it vanishes at normal incidence.
  EXPECT_LT(cabs(o.ru[1].m12 * o.ru[1].m21), 1e-9);
  EXPECT_EQ(o.rush[1].re, 1.0);
  EXPECT_EQ(cabs(o.tush[1]), 0.0);
  // The SH coefficients of every interface obey t = 1 + r.
  for (int k = 2; k <= 6; ++k) {
    EXPECT_LT(dist(o.tush[k], cx(1) + o.rush[k]), 1e-14);
    EXPECT_LT(dist(o.tdsh[k], cx(1) + o.rdsh[k]), 1e-14);
  }
}

TEST(InterfaceCoefficients, HalfSpaceWritesOnlyTheSurface) {
  auto c = make_context({{0, 6.0, 3.5, 2.8, 300, 150}}, {{5, 0, 1}}, 3.0);
  const Cx mark{7.0, 7.0};
  c->interfaces.rd[2].m11 = mark;
  c->interfaces.enuh[1] = mark;
  c->stacks.crdo[2].m11 = mark;
  c->transfers.ctup[1].m11 = mark;
  c->transfers.ctdo[1].m11 = mark;
  const Sampling s = sampling(20, 1.0, 300, 10);
  run_to(*c, 0.5, 5, s, true);
  EXPECT_EQ(c->interfaces.rd[2].m11.re, mark.re);
  EXPECT_EQ(c->interfaces.enuh[1].re, mark.re);
  EXPECT_EQ(c->stacks.crdo[2].m11.re, mark.re);
  EXPECT_EQ(c->transfers.ctup[1].m11.re, mark.re);
  EXPECT_EQ(c->transfers.ctdo[1].m11.re, mark.re);
  // Half-space only: the stack above is the free surface, below there is nothing.
  EXPECT_EQ(dist(c->stacks.crdo[1].m11, c->interfaces.ru[1].m11), 0.0);
  EXPECT_EQ(cabs(c->stacks.crup[1].m11) + cabs(c->stacks.crupsh[1]), 0.0);
  EXPECT_EQ(c->stacks.crdosh[1].re, 1.0);
}

// The stack responses and transfer matrices satisfy the wave equations at every interface:
// with the waves just above interface k+1 (bottom of layer k) and just below it (top of k+1).
TEST(StackResponses, SatisfyTheInterfaceEquations) {
  auto c = make_context(crust(), {{5, 0, 0}}, 9.0);
  const Sampling s = sampling(25.6, 2.0, 400, 100);
  const V2 probe{Cx{0.3, -1.1}, Cx{-0.7, 0.4}};
  for (double freq : {0.0, 0.5, 2.0}) {
    for (int ik : {0, 40, 160}) {
      run_to(*c, freq, ik, s, false);
      const InterfaceCoefficients& in = c->interfaces;
      const StackResponses& st = c->stacks;
      const LayerTransfers& tr = c->transfers;
      for (int k = 1; k < c->placement.nc; ++k) {
        const Cx en = in.enuh[k];
        const Cx eg = in.egamh[k];
        if (cabs(en) < 1e-30 || cabs(eg) < 1e-30) continue;
        const int j = k + 1;
        // From above: U upgoing at the top of layer k+1.
        const V2& up = probe;
        const V2 ctu = times(tr.ctup[k], up);
        const V2 ub{ctu[0] / en, ctu[1] / eg};  // upgoing at the bottom of layer k
        const V2 db = diag(en, eg, times(st.crdo[k], diag(en, eg, ub)));
        const double scale = norm(up) + norm(ub) + norm(db);
        EXPECT_LT(gap(ub, times(in.tu[j], up) + times(in.rd[j], db)), 1e-12 * scale);
        EXPECT_LT(gap(times(st.crdo[j], up), times(in.ru[j], up) + times(in.td[j], db)),
                  1e-12 * scale);
        // From below: d downgoing at the top of layer k.
        const V2& dt = probe;
        const V2 dn = times(tr.ctdo[j], dt);  // downgoing at the top of layer k+1
        const V2 un = times(st.crup[j], dn);
        const V2 dbot = diag(en, eg, dt);
        const V2 ubot = times(in.tu[j], un) + times(in.rd[j], dbot);
        const double scale2 = norm(dt) + norm(dn) + norm(un) + norm(ubot);
        EXPECT_LT(gap(dn, times(in.td[j], dbot) + times(in.ru[j], un)), 1e-12 * scale2);
        EXPECT_LT(gap(times(st.crup[k], dt), diag(en, eg, ubot)), 1e-12 * scale2);
        // SH, the same two statements.
        const Cx ush = tr.ctupsh[k] / eg;
        const Cx dsh = eg * (st.crdosh[k] * (eg * ush));
        EXPECT_LT(dist(ush, in.tush[j] + in.rdsh[j] * dsh), 1e-12 * (1 + cabs(ush) + cabs(dsh)));
        EXPECT_LT(dist(st.crdosh[j], in.rush[j] + in.tdsh[j] * dsh),
                  1e-12 * (1 + cabs(ush) + cabs(dsh)));
      }
    }
  }
}

// The source-layer amplitudes solve U = rup D + Ez su and D = rdo U + Ez^-1 sd.
TEST(SourceAmplitudes, SolveTheSourceLayerSystem) {
  for (double zs : {0.0, 1.3, 9.0, 45.0}) {
    auto c = make_context(crust(), {{5, 0, 0}}, zs);
    const Sampling s = sampling(25.6, 2.0, 400, 100);
    for (double freq : {0.0, 0.7}) {
      for (int ik : {0, 25, 120}) {
        run_to(*c, freq, ik, s, true);
        const int ls = c->placement.ls;
        const std::complex<double> minus_i(0, -1);
        auto phase = [&](Cx kz) {
          const std::complex<double> e =
              std::exp(minus_i * std::complex<double>(kz.re, kz.im) * c->placement.zsl);
          return Cx{e.real(), e.imag()};
        };
        const Cx enu = phase(c->vertical.cnu[ls]);
        const Cx egam = phase(c->vertical.cgam[ls]);
        const M2& rup = c->stacks.crup[ls];
        const M2& rdo = c->stacks.crdo[ls];
        const Arr<Cx, 20>& cud = c->source_amplitudes.cud;
        const V2 su[4] = {{cx(1), Cx{}}, {cx(-1), Cx{}}, {Cx{}, cx(1)}, {Cx{}, cx(-1)}};
        const V2 sd[4] = {{cx(1), Cx{}}, {cx(1), Cx{}}, {Cx{}, cx(1)}, {Cx{}, cx(1)}};
        for (int t = 0; t < 4; ++t) {
          const V2 u{cud[4 * t + 1], cud[4 * t + 2]};
          const V2 d{cud[4 * t + 3], cud[4 * t + 4]};
          const V2 srcu = diag(enu, egam, su[t]);
          const V2 srcd{sd[t][0] / enu, sd[t][1] / egam};
          const double scale = norm(u) + norm(d) + norm(srcu) + norm(srcd);
          EXPECT_LT(gap(u, times(rup, d) + srcu), 1e-11 * scale) << "case " << t + 1;
          EXPECT_LT(gap(d, times(rdo, u) + srcd), 1e-11 * scale) << "case " << t + 1;
        }
        for (int t = 0; t < 2; ++t) {
          const Cx u = cud[17 + 2 * t];
          const Cx d = cud[18 + 2 * t];
          const Cx srcu = t == 0 ? egam : -egam;
          const Cx srcd = cx(1) / egam;
          const double scale = cabs(u) + cabs(d) + cabs(srcu) + cabs(srcd);
          EXPECT_LT(dist(u, c->stacks.crupsh[ls] * d + srcu), 1e-11 * scale);
          EXPECT_LT(dist(d, c->stacks.crdosh[ls] * u + srcd), 1e-11 * scale);
        }
      }
    }
  }
}

}  // namespace
}  // namespace lg

namespace lg {
namespace {

// True when x is a single-precision value: the low 29 bits of its significand are zero.
bool is_single(double x) {
  return (std::bit_cast<std::uint64_t>(x) & ((std::uint64_t{1} << 29) - 1)) == 0;
}

TEST(FrequencyStep, OmegaIsRoundedToSinglePrecision) {
  auto c = testing::make_context(testing::crust(), {{5, 0, 0}}, 3.0);
  const Sampling s = testing::sampling(25.6, 2.0, 400, 100);
  for (double freq : {0.0, 0.1, 0.25, 1.0 / 3.0, 7.77}) {
    start_frequency(*c, freq, s);
    EXPECT_TRUE(is_single(c->frequency.omega.re)) << freq;
    EXPECT_TRUE(is_single(c->frequency.omega.im)) << freq;
    EXPECT_NEAR(c->frequency.omega.re, 6.28318530718 * freq, 1e-7 * (1 + freq * 6.3));
    EXPECT_NEAR(c->frequency.omega.im, s.aw, 1e-7);
  }
  // The layer phase factors too.
  compute_frequency(*c, 0.3, s);
  for (int k = 1; k < c->placement.nc; ++k) {
    EXPECT_TRUE(is_single(c->interfaces.enuh[k].re) && is_single(c->interfaces.enuh[k].im)) << k;
    EXPECT_TRUE(is_single(c->interfaces.egamh[k].re) && is_single(c->interfaces.egamh[k].im)) << k;
  }
}

}  // namespace
}  // namespace lg
