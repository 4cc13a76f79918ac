// Static displacements of a homogeneous half-space: Okada's closed forms for all six elements
// (buried and surface sources), a stack of identical layers, nodal components and rotation.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

#include "statics/static_displacements.h"
#include "statics_compare.h"
#include "statics_okada.h"

namespace {

using lg::StaticDisplacement;
using lg::StaticLayer;
using lg::StaticReceiver;

using lg::testing::largest;
using lg::testing::relative_difference;
using lg::testing::statics_at;

class StaticHalfSpace : public ::testing::Test {
 protected:
  const double vp = 6.0, vs = 3.46, rho = 2.7;
  const double mu = rho * vs * vs;
  const double lambda = rho * vp * vp - 2.0 * mu;
  const std::vector<StaticLayer> half_space{{0.0, vp, vs, rho}};
  // Surface receivers at several distances and azimuths, one above the source.
  const std::vector<StaticReceiver> surface{{0.0, 0.0, 0.0},  {1.0, 0.5, 0.0},   {3.0, -2.0, 0.0},
                                            {-7.0, 1.0, 0.0}, {-4.0, -9.0, 0.0}, {25.0, 12.0, 0.0}};

  // Worst deviation from Okada over the receivers, relative to each station's largest value.
  double worst_against_okada(double zs, const std::vector<StaticReceiver>& recs) const {
    const std::vector<StaticDisplacement> u = statics_at(half_space, zs, recs);
    double worst = 0.0;
    for (std::size_t i = 0; i < recs.size(); ++i) {
      const StaticDisplacement ref =
          statics_test::okada_elements(recs[i].x, recs[i].y, zs, lambda, mu);
      const double d = relative_difference(ref, u[i]);
      EXPECT_LT(d, 1e-4) << "receiver " << i << " at (" << recs[i].x << ", " << recs[i].y << ")";
      worst = std::max(worst, d);
    }
    return worst;
  }
};

TEST_F(StaticHalfSpace, AgreesWithOkadaForEveryElement) {
  const double buried = worst_against_okada(5.0, surface);
  // A source at the free surface and receivers at the surface: equal depths, where the sum
  // needs its large-wavenumber limit taken out.
  std::vector<StaticReceiver> off_source(surface.begin() + 1, surface.end());
  const double at_surface = worst_against_okada(0.0, off_source);
  std::cout << "[ okada ] worst deviation relative to each station's largest value: source at 5: "
            << buried << ", source at the surface: " << at_surface << "\n";
}

// Interfaces between identical layers, one of them exactly at the source depth, change
// nothing; so does a receiver at depth seen from either side of such an interface.
TEST_F(StaticHalfSpace, StackOfIdenticalLayersIsTheHalfSpace) {
  const std::vector<StaticLayer> stack{
      {2.0, vp, vs, rho}, {3.0, vp, vs, rho}, {1.5, vp, vs, rho}, {0.0, vp, vs, rho}};
  std::vector<StaticReceiver> recs = surface;
  recs.push_back({4.0, 3.0, 5.0 + 1.5});
  recs.push_back({-2.0, 6.0, 2.0});
  const std::vector<StaticDisplacement> a = statics_at(half_space, 5.0, recs);
  const std::vector<StaticDisplacement> b = statics_at(stack, 5.0, recs);
  for (std::size_t i = 0; i < recs.size(); ++i) {
    EXPECT_LT(relative_difference(a[i], b[i]), 1e-10) << "receiver " << i;
  }
}

// On the x axis the elements xy and -yz have no x or vertical motion and the others no y
// motion; a rotation by 90 degrees about z maps xz to yz, zz-xx to zz-yy, xy to -xy.
TEST_F(StaticHalfSpace, NodalComponentsAndRotation) {
  const std::vector<StaticLayer> layers{{3.0, 5.0, 2.9, 2.5}, {0.0, vp, vs, rho}};
  const double phi = 0.4, r = 6.0;
  const std::vector<StaticReceiver> recs{{r, 0.0, 0.0},
                                         {r * std::cos(phi), r * std::sin(phi), 0.0},
                                         {-r * std::sin(phi), r * std::cos(phi), 0.0}};
  const std::vector<StaticDisplacement> u = statics_at(layers, 4.0, recs);
  const double scale = largest(u[0]);
  for (std::size_t e : {0u, 2u}) {
    EXPECT_LT(std::abs(u[0][e][0]), 1e-12 * scale) << "element " << e + 1;
    EXPECT_LT(std::abs(u[0][e][2]), 1e-12 * scale) << "element " << e + 1;
    EXPECT_GT(std::abs(u[0][e][1]), 1e-3 * scale) << "element " << e + 1;
  }
  for (std::size_t e : {1u, 3u, 4u, 5u}) {
    EXPECT_LT(std::abs(u[0][e][1]), 1e-12 * scale) << "element " << e + 1;
  }
  // Rotated receiver 2 against receiver 1: u(Rp) = sign * R u(p), R(x, y) = (-y, x).
  const StaticDisplacement& p = u[1];
  const StaticDisplacement& q = u[2];
  auto rotated = [&](std::size_t from, std::size_t to, double sign) {
    EXPECT_NEAR(q[to][0], -sign * p[from][1], 1e-10 * scale) << from << " -> " << to;
    EXPECT_NEAR(q[to][1], sign * p[from][0], 1e-10 * scale) << from << " -> " << to;
    EXPECT_NEAR(q[to][2], sign * p[from][2], 1e-10 * scale) << from << " -> " << to;
  };
  rotated(0, 0, -1.0);
  rotated(1, 2, -1.0);
  rotated(3, 4, 1.0);
  rotated(5, 5, 1.0);
}

// Unusable input is refused with a reason naming what is wrong.
TEST_F(StaticHalfSpace, BadInputIsRefused) {
  auto reason = [&](const std::vector<StaticLayer>& layers, double zs,
                    const std::vector<StaticReceiver>& recs) -> std::string {
    try {
      lg::static_displacements(layers, zs, recs, lg::StaticSampling{0.01, 10.0, true});
    } catch (const std::invalid_argument& e) {
      return e.what();
    }
    return "accepted";
  };
  const std::vector<StaticReceiver> one{{3.0, 0.0, 0.0}};
  // Water (vs = 0) is taken at the top only (an ocean: see static_displacements.h).
  EXPECT_EQ(reason({{1.0, vp, vs, rho}, {1.0, 5.0, 0.0, 2.0}, {0.0, vp, vs, rho}}, 5.0, one)
                .rfind("layer 2: ", 0),
            0u);
  EXPECT_EQ(reason({{1.0, 1.5, 0.0, 1.0}, {0.0, 1.5, 0.0, 1.0}}, 5.0, one),
            "vs = 0 in the half-space: a fluid half-space is not supported");
  EXPECT_EQ(reason({{0.0, vp, vs, rho}, {0.0, vp, vs, rho}}, 5.0, one).rfind("layer 1: ", 0), 0u);
  EXPECT_EQ(reason(half_space, -1.0, one).rfind("source depth", 0), 0u);
  EXPECT_EQ(reason(half_space, 5.0, {{0.0, 0.0, 5.0}}).rfind("receiver 1: ", 0), 0u);
  EXPECT_EQ(reason(half_space, 5.0, {{1.0, 0.0, -2.0}}).rfind("receiver 1: ", 0), 0u);
  EXPECT_EQ(reason(half_space, 5.0, one), "accepted");
}

}  // namespace
