// Static displacements of a layered crust: against an independent reference (a propagator-
// matrix computation with its own quadrature, tests/data/statics/static_reference.py, run
// with Debian's python3), at receivers at the surface and at depth; and receivers at the source
// depth against receivers just above and below it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "kernel/layout.h"
#include "statics/static_displacements.h"
#include "statics_compare.h"
#include "test_workdir.h"

namespace {

using lg::StaticDisplacement;
using lg::StaticLayer;
using lg::StaticReceiver;

using lg::testing::largest;
using lg::testing::relative_difference;

class StaticLayeredCrust : public ::testing::Test {
 protected:
  const std::vector<StaticLayer> crust{
      {2.0, 4.5, 2.6, 2.4}, {6.0, 5.8, 3.35, 2.7}, {12.0, 6.5, 3.75, 2.9}, {0.0, 7.9, 4.5, 3.3}};
  const double zs = 9.0;

  std::vector<StaticDisplacement> compute(const std::vector<StaticReceiver>& recs) const {
    return lg::testing::statics_at(crust, zs, recs);
  }

  // Runs the reference script on the crust and receivers; the values in receiver order.
  std::vector<StaticDisplacement> reference(const std::vector<StaticReceiver>& recs) const {
    std::ostringstream in;
    in.precision(17);
    in << "{\"layers\": [";
    for (std::size_t i = 0; i < crust.size(); ++i) {
      in << (i ? ", " : "") << "[" << crust[i].thickness << ", " << crust[i].vp << ", "
         << crust[i].vs << ", " << crust[i].rho << "]";
    }
    in << "], \"source_depth\": " << zs << ", \"receivers\": [";
    for (std::size_t i = 0; i < recs.size(); ++i) {
      in << (i ? ", " : "") << "[" << recs[i].x << ", " << recs[i].y << ", " << recs[i].depth
         << "]";
    }
    in << "]}";
    const lg::testing::WorkDir w;
    w.write("in.json", in.str());
    const lg::testing::RunOutcome r =
        w.shell("/usr/bin/python3 \"" + std::string(LAYERGREEN_TEST_DATA) +
                "/statics/static_reference.py\" <in.json");
    EXPECT_EQ(r.status, 0) << r.err;
    std::string text = r.out;
    std::replace(text.begin(), text.end(), '[', ' ');
    std::replace(text.begin(), text.end(), ']', ' ');
    std::replace(text.begin(), text.end(), ',', ' ');
    std::istringstream values(text);
    std::vector<StaticDisplacement> out(recs.size());
    for (auto& u : out) {
      for (auto& e : u) {
        for (double& v : e) values >> v;
      }
    }
    EXPECT_TRUE(values) << "reference output too short: " << text.substr(0, 200);
    return out;
  }
};

TEST_F(StaticLayeredCrust, AgreesWithThePropagatorReference) {
  const std::vector<StaticReceiver> recs{{0.0, 0.0, 0.0},    {3.0, 4.0, 0.0},     {-8.0, 5.0, 0.0},
                                         {15.0, -12.0, 0.0}, {-30.0, -20.0, 0.0}, {6.0, 2.0, 4.0},
                                         {-5.0, 7.0, 15.0}};
  const std::vector<StaticDisplacement> u = compute(recs);
  const std::vector<StaticDisplacement> ref = reference(recs);
  double worst = 0.0;
  for (std::size_t i = 0; i < recs.size(); ++i) {
    const double d = relative_difference(ref[i], u[i]);
    EXPECT_LT(d, 2e-4) << "receiver " << i;
    worst = std::max(worst, d);
  }
  std::cout << "[ layered ] worst deviation from the reference relative to each station's "
               "largest value: "
            << worst << "\n";
}

// Simpson weights at the default spacing against a spacing four times finer: within 1e-5 of
// each station's largest value, where the plain sum errs by about (2 pi r/XL)^2/12.
TEST_F(StaticLayeredCrust, SumAccuracyAgainstSpacing) {
  const std::vector<StaticReceiver> recs{{5.0, 0.0, 0.0}, {12.0, 9.0, 0.0}, {-40.0, 45.0, 0.0}};
  const lg::StaticSampling base = lg::choose_static_sampling(crust, zs, recs);
  lg::StaticSampling fine = base, plain = base;
  fine.dk /= 4.0;
  plain.simpson = false;
  const auto u = lg::static_displacements(crust, zs, recs, base);
  const auto f = lg::static_displacements(crust, zs, recs, fine);
  const auto q = lg::static_displacements(crust, zs, recs, plain);
  const double xl = 2.0 * std::acos(-1.0) / base.dk;
  for (std::size_t i = 0; i < recs.size(); ++i) {
    const double r = std::hypot(recs[i].x, recs[i].y);
    const double simpson = relative_difference(f[i], u[i]);
    const double plain_error = relative_difference(f[i], q[i]);
    const double predicted = std::pow(2.0 * std::acos(-1.0) * r / xl, 2) / 12.0;
    EXPECT_LT(simpson, 1e-5) << "receiver " << i;
    EXPECT_GT(plain_error, 10.0 * simpson) << "receiver " << i;
    EXPECT_GT(plain_error, 0.2 * predicted) << "receiver " << i;
    EXPECT_LT(plain_error, 5.0 * predicted) << "receiver " << i;
    std::cout << "[ spacing ] r = " << r << ", XL = " << xl << ": Simpson " << simpson
              << ", plain sum " << plain_error << " ((2 pi r/XL)^2/12 = " << predicted << ")\n";
  }
}

// Receivers at the source depth (the sum's large-wavenumber limit taken out) lie between
// receivers just above and below it; a source exactly on an interface belongs to the layer
// above: it equals a source just above the interface, not one just below.
TEST_F(StaticLayeredCrust, SourceDepthAndInterfaceConventions) {
  const double dz = 0.02;
  const std::vector<StaticReceiver> level{{5.0, 2.0, zs}, {-9.0, 7.0, zs}};
  std::vector<StaticReceiver> around;
  for (const StaticReceiver& r : level) {
    around.push_back({r.x, r.y, zs - dz});
    around.push_back({r.x, r.y, zs + dz});
  }
  const auto at = compute(level);
  const auto near = compute(around);
  for (std::size_t i = 0; i < level.size(); ++i) {
    StaticDisplacement mid{};
    for (std::size_t e = 0; e < lg::kElements; ++e) {
      for (std::size_t c = 0; c < lg::kComponents; ++c) {
        mid[e][c] = (near[2 * i][e][c] + near[2 * i + 1][e][c]) / 2.0;
      }
    }
    EXPECT_LT(relative_difference(mid, at[i]), 1e-4) << "receiver " << i;
  }

  const std::vector<StaticReceiver> surface{{4.0, 3.0, 0.0}};
  auto at_depth = [&](double z) { return lg::testing::statics_at(crust, z, surface)[0]; };
  const StaticDisplacement on = at_depth(8.0);
  EXPECT_LT(relative_difference(on, at_depth(8.0 - 1e-9)), 1e-6);
  EXPECT_GT(relative_difference(on, at_depth(8.0 + 1e-9)), 1e-2);
}

}  // namespace
