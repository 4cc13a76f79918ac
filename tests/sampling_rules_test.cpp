// The sampling rules of --check (README "Choosing TL, AW, XL, IKMAX and UCONV"): each rule at
// its boundary, and the case the rules exist for: a run whose sums do not converge is warned
// about beforehand, and the IKMAX the warning asks for makes them converge.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <sstream>
#include <string>

#include "inputs/sampling_rules.h"
#include "test_workdir.h"

namespace lg {
namespace {

using testing::WorkDir;

// A half-space (vp 6, vs 3), source at depth 4 below (0, 0), receivers as given.
struct Rules : ::testing::Test {
  ModelParams p;
  LayerModel layers;
  SamplingGeometry g;
  Rules() {
    p.NC = 1;
    p.NFREQ = 33;  // highest frequency 32/TL
    p.TL = 16.0;
    p.XL = 500.0;
    p.IKMAX = 5000;
    p.UCONV = 1e-4;
    layers.nc = 1;
    layers.vp[1] = 6.0;
    layers.vs[1] = 3.0;
    g = {4.0, {27.0, 3.0}, {0.0, 4.0}, {0.0, 1.5}};
  }
  std::vector<SamplingWarning> warnings() const { return sampling_warnings(p, layers, g); }
};

TEST_F(Rules, EachRuleHoldsFromTheValueItNames) {
  EXPECT_TRUE(warnings().empty());
  // TL: surface waves at 0.9*3 = 2.7 reach r = 27 at t = 10, within 3/4 of TL from TL = 40/3.
  p.TL = 13.3;
  p.NFREQ = 27;
  auto w = warnings();
  ASSERT_EQ(w.size(), 1u);
  EXPECT_EQ(w[0].member, "TL");
  EXPECT_NEAR(w[0].needed, 40.0 / 3.0, 1e-9);
  EXPECT_NE(w[0].text.find("TL should be at least 13.33"), std::string::npos) << w[0].text;
  p.TL = 40.0 / 3.0;
  EXPECT_TRUE(warnings().empty());

  // XL: r + vp*TL = 27 + 6*TL.
  p.XL = 27.0 + 6.0 * p.TL - 0.5;
  w = warnings();
  ASSERT_EQ(w.size(), 1u);
  EXPECT_EQ(w[0].member, "XL");
  EXPECT_DOUBLE_EQ(w[0].needed, 107.0);
  EXPECT_NE(w[0].text.find("XL should be at least r + vp*TL = 27 + 6*13.33"), std::string::npos)
      << w[0].text;
  p.XL = 107.0;
  EXPECT_TRUE(warnings().empty());

  // IKMAX: 2*pi*fmax/vs plus ln(100/UCONV)/|zs - zr|, the nearest receiver 2.5 above the
  // source; k_max = (IKMAX + 0.258)*2*pi/XL.
  const double fmax = (p.NFREQ - 1) / p.TL;
  const double k = 2 * std::numbers::pi * fmax / 3.0 + std::log(100 / 1e-4) / 2.5;
  const double needed = std::ceil(k * p.XL / (2 * std::numbers::pi) - 0.258);
  p.IKMAX = static_cast<int>(needed) - 1;
  w = warnings();
  ASSERT_EQ(w.size(), 1u);
  EXPECT_EQ(w[0].member, "IKMAX");
  EXPECT_EQ(w[0].needed, needed);
  EXPECT_NE(w[0].text.find("IKMAX should be at least " + std::to_string(p.IKMAX + 1)),
            std::string::npos)
      << w[0].text;
  p.IKMAX += 1;
  EXPECT_TRUE(warnings().empty());
  // UCONV = 0 runs to IKMAX: the evanescent waves must fall below the files' rounding.
  p.UCONV = 0.0;
  ASSERT_EQ(warnings().size(), 1u);
  EXPECT_GT(warnings()[0].needed, needed);
}

// Two layers, receivers 0.5 and 3 above a source at depth 3: the S waves need IKMAX 149, the
// waves that are evanescent between the source and the nearer receiver many more.
class ConvergenceCase : public ::testing::Test {
 protected:
  WorkDir w;
  void write(int ikmax) {
    testing::ControlText ctl;
    ctl.ndatas = 1;
    w.write("quenta4.ctl", ctl.text());
    w.write("model/strAB1",
            testing::model_text(" &INPUT NC=2, NFREQ=32, TL=16., AW=2., NR=2, XL=200., IKMAX=" +
                                    std::to_string(ikmax) + ", UCONV=0.0001, XS=0., YS=0. /",
                                testing::small_layers()));
    w.write("zahyo/AB1.dat",
            testing::subfault_text("   2   1   45.0   30.0", {{3.0, {{10, 0, 2.5}, {15, 5, 0}}}}));
    w.mkdir("green/AB1");
  }
};

TEST_F(ConvergenceCase, CheckWarnsWhereTheRunDoesNotConvergeAndItsValueConverges) {
  write(300);  // twice what the S waves alone need
  const testing::RunOutcome run = w.run();
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.err.find("frequencies reached IKMAX = 300 without converging"), std::string::npos)
      << run.err;

  const testing::RunOutcome checked = w.check();
  EXPECT_EQ(checked.status, 1);
  EXPECT_EQ(checked.out, "layergreen --check: 0 problems, 1 warning\n");
  const std::string key = "IKMAX should be at least ";
  const std::size_t at = checked.err.find(key);
  ASSERT_NE(at, std::string::npos) << checked.err;
  const int suggested = std::stoi(checked.err.substr(at + key.size()));

  write(suggested);
  EXPECT_EQ(w.check().out, "layergreen --check: 0 problems, 0 warnings\n");
  const testing::RunOutcome again = w.run();
  EXPECT_EQ(again.status, 0);
  EXPECT_EQ(again.err, "") << "IKMAX = " << suggested;
}

}  // namespace
}  // namespace lg
