// Static displacements of a layered crust: against an independent reference (a propagator-
// matrix computation with its own quadrature, tests/data/statics/static_reference.py, run
// with Debian's python3), at receivers at the surface and at depth; and receivers at the source
// depth against receivers just above and below it.
#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "statics/static_displacements.h"

namespace {

using lg::StaticDisplacement;
using lg::StaticLayer;
using lg::StaticReceiver;

double largest(const StaticDisplacement& u) {
  double m = 0.0;
  for (const auto& e : u) {
    for (double v : e) m = std::max(m, std::abs(v));
  }
  return m;
}

double relative_difference(const StaticDisplacement& ref, const StaticDisplacement& u) {
  double d = 0.0;
  for (std::size_t e = 0; e < 6; ++e) {
    for (std::size_t c = 0; c < 3; ++c) d = std::max(d, std::abs(ref[e][c] - u[e][c]));
  }
  return d / largest(ref);
}

class StaticLayeredCrust : public ::testing::Test {
 protected:
  const std::vector<StaticLayer> crust{
      {2.0, 4.5, 2.6, 2.4}, {6.0, 5.8, 3.35, 2.7}, {12.0, 6.5, 3.75, 2.9}, {0.0, 7.9, 4.5, 3.3}};
  const double zs = 9.0;

  std::vector<StaticDisplacement> compute(const std::vector<StaticReceiver>& recs) const {
    return lg::static_displacements(crust, zs, recs, lg::choose_static_sampling(crust, zs, recs));
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
    const std::filesystem::path dir = std::filesystem::temp_directory_path();
    const std::string tag = "layergreen-statics-" + std::to_string(::getpid());
    const std::filesystem::path input = dir / (tag + ".json"), output = dir / (tag + ".out");
    std::ofstream(input) << in.str();
    const std::string cmd = "/usr/bin/python3 '" + std::string(LAYERGREEN_TEST_DATA) +
                            "/statics/static_reference.py' <'" + input.string() + "' >'" +
                            output.string() + "'";
    const int status = std::system(cmd.c_str());
    EXPECT_EQ(status, 0) << cmd;
    std::ifstream f(output);
    std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::filesystem::remove(input);
    std::filesystem::remove(output);
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

}  // namespace
