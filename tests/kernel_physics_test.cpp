// Whole-computation properties of the spectra: loop counts of the wavenumber summation,
// invariance under splitting a layer, and the symmetries of the azimuthal expansion.
#include <gtest/gtest.h>

#include <cstdio>

#include "kernel_fixture.h"

namespace lg {
namespace {

using testing::crust;
using testing::dist;
using testing::Layer;
using testing::make_context;
using testing::Receiver;
using testing::sampling;

using ElementSpectra = Arr<Arr<Cx, kComponents>, kElements>;

TEST(WavenumberLoop, StepCountsFollowTheConvergenceRule) {
  auto c = make_context(crust(), {{10, 0, 0}, {20, 5, 0}}, 8.0);
  // UCONV = 0: a test passes only for an exactly zero increment, so the loop runs to IKMAX.
  FrequencyOutcome o = compute_frequency(*c, 0.3, sampling(20, 1, 300, 50));
  EXPECT_EQ(o.ik, 51);
  EXPECT_FALSE(o.converged);
  o = compute_frequency(*c, 0.3, sampling(20, 1, 300, 150));
  EXPECT_EQ(o.ik, 151);
  // A threshold no increment can exceed: the loop leaves at the first index above 100.
  o = compute_frequency(*c, 0.3, sampling(20, 1, 300, 500, 1e300));
  EXPECT_EQ(o.ik, 101);
  EXPECT_TRUE(o.converged);
  // ... unless IKMAX ends it first.
  o = compute_frequency(*c, 0.3, sampling(20, 1, 300, 60, 1e300));
  EXPECT_EQ(o.ik, 61);
  // A realistic threshold ends somewhere in between, on a converged step.
  o = compute_frequency(*c, 0.3, sampling(20, 1, 300, 5000, 1e-7));
  EXPECT_GT(o.ik, 101);
  EXPECT_LT(o.ik, 5001);
  EXPECT_TRUE(o.converged);
}

TEST(WavenumberLoop, SumsStartFromZeroAtEveryFrequency) {
  auto c = make_context(crust(), {{10, 0, 0}}, 8.0);
  const Sampling s = sampling(20, 1, 300, 120);
  compute_frequency(*c, 0.1, s);
  const ElementSpectra first = c->spectra.ug[1];
  compute_frequency(*c, 0.4, s);
  compute_frequency(*c, 0.1, s);
  for (int is = 1; is <= kElements; ++is) {
    for (int k = 1; k <= kComponents; ++k) {
      EXPECT_EQ(c->spectra.ug[1][is][k].re, first[is][k].re);
      EXPECT_EQ(c->spectra.ug[1][is][k].im, first[is][k].im);
    }
  }
}

// Worst difference of two sets of traces, relative to each trace's peak over the frequencies.
double worst_relative(const std::vector<std::vector<ElementSpectra>>& a,
                      const std::vector<std::vector<ElementSpectra>>& b) {
  double worst = 0.0;
  for (std::size_t r = 0; r < a.size(); ++r) {
    for (int is = 1; is <= kElements; ++is) {
      for (int k = 1; k <= kComponents; ++k) {
        double peak = 0.0;
        double diff = 0.0;
        for (std::size_t f = 0; f < a[r].size(); ++f) {
          peak = std::max(peak, cabs(a[r][f][is][k]));
          diff = std::max(diff, dist(a[r][f][is][k], b[r][f][is][k]));
        }
        if (peak > 0.0) worst = std::max(worst, diff / peak);
      }
    }
  }
  return worst;
}

std::vector<std::vector<ElementSpectra>> spectra_of(const std::vector<Layer>& model,
                                                    const std::vector<Receiver>& rec, double zs,
                                                    const std::vector<double>& freqs) {
  auto c = make_context(model, rec, zs);
  const Sampling s = sampling(25.6, 2.0, 400, 600);
  std::vector<std::vector<ElementSpectra>> out(rec.size());
  for (double f : freqs) {
    const FrequencyOutcome o = compute_frequency(*c, f, s);
    EXPECT_EQ(o.ik, 601);
    for (std::size_t r = 0; r < rec.size(); ++r) out[r].push_back(c->spectra.ug[r + 1]);
  }
  return out;
}

TEST(LayeredMedium, SplittingALayerLeavesTheSpectraUnchanged) {
  // Source in layer 2, receivers at the surface, inside the split layer and below it. The
  // receivers keep their depths; only the layer boundaries that carry no contrast move.
  const std::vector<Receiver> rec = {{12, 0, 0}, {20, 9, 0}, {6, -4, 9.0}, {15, 3, 30.0}};
  const std::vector<double> freqs = {0.0, 0.2, 0.6};
  std::vector<Layer> whole = crust();
  std::vector<Layer> split = whole;
  split[2].hc = 4.0;  // layer 3 (10 thick) becomes 4 + 6
  split.insert(split.begin() + 3,
               Layer{6.0, whole[2].vp, whole[2].vs, whole[2].rho, whole[2].qp, whole[2].qs});
  for (double zs : {5.0, 11.0}) {
    const double worst =
        worst_relative(spectra_of(whole, rec, zs, freqs), spectra_of(split, rec, zs, freqs));
    std::printf("layer split, source depth %g: worst difference %.3g of the trace peak\n", zs,
                worst);
    // The layer phase factors are held in single precision (relative rounding ~6e-8 per
    // factor, compounded over the reverberations): a few 1e-6 is what splitting can cost.
    EXPECT_LT(worst, 2e-5);
  }
}

// Full moment-tensor response of one receiver: u[p][q][k] for the unit tensor e_pq + e_qp
// (p, q = 0 x, 1 y, 2 z), rebuilt from the six stored combinations.
struct Tensor {
  Cx u[3][3][3];
};

Tensor full_response(const ElementSpectra& ug) {
  Tensor t;
  const Cx third = cx(1.0 / 3.0);
  for (int k = 0; k < 3; ++k) {
    const Cx zz = (ug[4][k + 1] + ug[5][k + 1] + ug[6][k + 1]) * third;
    const Cx xx = zz - ug[4][k + 1];
    const Cx yy = zz - ug[5][k + 1];
    t.u[0][0][k] = xx;
    t.u[1][1][k] = yy;
    t.u[2][2][k] = zz;
    t.u[0][1][k] = t.u[1][0][k] = ug[1][k + 1];
    t.u[0][2][k] = t.u[2][0][k] = ug[2][k + 1];
    t.u[1][2][k] = t.u[2][1][k] = -ug[3][k + 1];
  }
  return t;
}

TEST(AzimuthalExpansion, RotatingTheReceiverRotatesTheField) {
  // A receiver at azimuth a and the same receiver turned by b about the vertical through the
  // source. For any moment tensor M: u_B(M) = R u_A(R^T M R), component-wise for x, y; the
  // vertical is unchanged.
  const double r = 13.0;
  const double a = 0.3;
  std::vector<Receiver> rec;
  const double turns[] = {0.0, 3.14159265358979 / 2, 0.7, 2.9};
  for (double b : turns) rec.push_back({r * std::cos(a + b), r * std::sin(a + b), 0.0});
  auto c = make_context(crust(), rec, 7.0);
  compute_frequency(*c, 0.35, sampling(25.6, 2.0, 400, 300));
  const Tensor A = full_response(c->spectra.ug[1]);
  double peak = 0.0;
  for (auto& pq : A.u)
    for (auto& q : pq)
      for (const Cx& v : q) peak = std::max(peak, cabs(v));
  for (int n = 1; n < 4; ++n) {
    const double b = turns[n];
    const double R[3][3] = {
        {std::cos(b), -std::sin(b), 0}, {std::sin(b), std::cos(b), 0}, {0, 0, 1}};
    const Tensor B = full_response(c->spectra.ug[n + 1]);
    double worst = 0.0;
    // Basis tensors of B's frame: E = e_p e_q^T + e_q e_p^T; R^T E R in A's frame.
    for (int p = 0; p < 3; ++p) {
      for (int q = p; q < 3; ++q) {
        double m[3][3] = {};
        for (int i = 0; i < 3; ++i)
          for (int j = 0; j < 3; ++j)
            m[i][j] = R[p][i] * R[q][j] + R[q][i] * R[p][j];  // (R^T E R)_ij
        // u_A(m) = sum over i <= j of m_ij u[i][j]: u[i][i] answers a unit m_ii, u[i][j] a
        // unit pair m_ij = m_ji.
        Cx ua[3] = {};
        for (int i = 0; i < 3; ++i) {
          for (int j = i; j < 3; ++j) {
            const double w = m[i][j];
            for (int k = 0; k < 3; ++k) ua[k] = ua[k] + cx(w) * A.u[i][j][k];
          }
        }
        const double scale = p == q ? 2.0 : 1.0;  // B.u[p][p] is the response to e_pp alone
        for (int k = 0; k < 3; ++k) {
          Cx rotated{};
          for (int l = 0; l < 3; ++l) rotated = rotated + cx(R[k][l]) * ua[l];
          worst = std::max(worst, dist(rotated, cx(scale) * B.u[p][q][k]) / peak);
        }
      }
    }
    EXPECT_LT(worst, 1e-9) << "turn " << b;
  }
}

TEST(AzimuthalExpansion, ZeroDistanceHasNoAzimuthalTerms) {
  // Straight below the source and straight above it.
  auto c = make_context(crust(), {{0, 0, 0}, {0, 0, 20}}, 8.0);
  compute_frequency(*c, 0.25, sampling(25.6, 2.0, 400, 300));
  for (int ir = 1; ir <= 2; ++ir) {
    const ElementSpectra& u = c->spectra.ug[ir];
    double peak = 0.0;
    for (int is = 1; is <= kElements; ++is)
      for (int k = 1; k <= kComponents; ++k) peak = std::max(peak, cabs(u[is][k]));
    ASSERT_GT(peak, 0.0);
    const double eps = 1e-12 * peak;
    // xy excites nothing on the axis; xz moves only along x, yz only along y.
    for (int k = 1; k <= 3; ++k) EXPECT_LE(cabs(u[1][k]), eps);
    EXPECT_LE(cabs(u[2][2]) + cabs(u[2][3]), eps);
    EXPECT_LE(cabs(u[3][1]) + cabs(u[3][3]), eps);
    EXPECT_GT(cabs(u[2][1]), 1e-6 * peak);
    // ... by the same amount: the yz response along y equals the xz response along x.
    EXPECT_LE(dist(u[2][1], -u[3][2]), eps);
    // The diagonal elements have no horizontal motion, and zz - xx = zz - yy on the axis.
    for (int is = 4; is <= 6; ++is) EXPECT_LE(cabs(u[is][1]) + cabs(u[is][2]), eps);
    EXPECT_LE(dist(u[4][3], u[5][3]), eps);
    EXPECT_GT(cabs(u[6][3]), 1e-6 * peak);
  }
}

}  // namespace
}  // namespace lg
