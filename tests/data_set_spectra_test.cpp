// The in-memory entry point of a data set: receivers come back in the caller's order through
// the slot map, the kernel holds more receivers and layers than the classic files allow, and
// splitting a data set's receivers changes no bit when every sum runs to IKMAX.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <vector>

#include "kernel/layout.h"
#include "run/data_set_spectra.h"

namespace lg {
namespace {

struct Computed {
  std::vector<int> slots;
  std::vector<std::vector<ReceiverSpectra>> by_frequency;  // [frequency][slot]
  std::vector<std::vector<ForceSpectra>> forces;           // the same, when computed
  std::vector<int> iterations;
  std::vector<std::vector<std::array<Gradient, kElements>>> gradients;
};

Computed compute(const SpectraRequest& q, int threads) {
  const DataSetSpectra d(q, threads);
  Computed c;
  c.slots = d.slot_receiver();
  d.run(threads, {}, [&](FrequencySpectra& f) {
    EXPECT_EQ(f.index, c.by_frequency.size());
    c.by_frequency.push_back(f.spectra);
    c.forces.push_back(f.force_spectra);
    c.iterations.push_back(f.iterations);
    c.gradients.push_back(f.gradients);
  });
  return c;
}

class DataSetSpectraTest : public ::testing::Test {
 protected:
  DataSetSpectraTest() {
    q_.layers = {{2.0, 4.5, 2.6, 2.4, 200, 100},
                 {8.0, 6.0, 3.5, 2.7, 600, 300},
                 {0.0, 8.0, 4.5, 3.3, 1000, 500}};
    q_.nfreq = 6;
    q_.tl = 25.6;
    q_.aw = 2.0;
    q_.xl = 300.0;
    q_.ikmax = 150;
    q_.uconv = 0.0;
    q_.source_depth = 6.0;
  }
  void receivers(int n) {
    for (int i = 0; i < n; ++i) {
      q_.x.push_back(3.0 + 1.7 * i);
      q_.y.push_back(-2.0 + 0.4 * i);
      q_.depth.push_back(i % 3 == 0 ? 1.0 : 0.0);
    }
  }
  SpectraRequest q_;
};

template <std::size_t N>
bool same(const std::array<std::array<Cx, kComponents>, N>& a,
          const std::array<std::array<Cx, kComponents>, N>& b) {
  for (std::size_t e = 0; e < N; ++e) {
    for (std::size_t k = 0; k < lg::kComponents; ++k) {
      if (a[e][k].re != b[e][k].re || a[e][k].im != b[e][k].im) return false;
    }
  }
  return true;
}

TEST_F(DataSetSpectraTest, ManyReceiversEqualTheSameReceiversInSmallerDataSets) {
  receivers(70);
  const Computed all = compute(q_, 2);
  ASSERT_EQ(all.by_frequency.size(), 6u);
  // Slots are in depth order; the map leads back to the request's receivers.
  for (std::size_t s = 1; s < all.slots.size(); ++s) {
    EXPECT_LE(q_.depth[static_cast<std::size_t>(all.slots[s - 1])],
              q_.depth[static_cast<std::size_t>(all.slots[s])]);
  }
  for (int first = 0; first < 70; first += 25) {
    SpectraRequest part = q_;
    part.x.clear();
    part.y.clear();
    part.depth.clear();
    std::vector<int> ids;
    for (int i = first; i < std::min(70, first + 25); ++i) {
      part.x.push_back(q_.x[static_cast<std::size_t>(i)]);
      part.y.push_back(q_.y[static_cast<std::size_t>(i)]);
      part.depth.push_back(q_.depth[static_cast<std::size_t>(i)]);
      ids.push_back(i);
    }
    const Computed some = compute(part, 1);
    EXPECT_EQ(some.iterations, all.iterations);
    for (std::size_t f = 0; f < 6; ++f) {
      for (std::size_t s = 0; s < some.slots.size(); ++s) {
        const int id = ids[static_cast<std::size_t>(some.slots[s])];
        std::size_t t = 0;
        while (all.slots[t] != id) ++t;
        EXPECT_TRUE(same(some.by_frequency[f][s], all.by_frequency[f][t]))
            << "frequency " << f << ", receiver " << id;
      }
    }
  }
}

TEST_F(DataSetSpectraTest, HundredLayersOfOneMediumApproachTheUnsplitModel) {
  receivers(3);
  const Computed whole = compute(q_, 1);
  // The 8-unit layer as 100 layers of 0.08: the single-precision phase factors of the thin
  // layers leave differences of a few parts in a million of the peak.
  SpectraRequest split = q_;
  split.layers = {q_.layers[0]};
  for (int i = 0; i < 100; ++i) split.layers.push_back({0.08, 6.0, 3.5, 2.7, 600, 300});
  split.layers.push_back(q_.layers[2]);
  const Computed thin = compute(split, 2);
  double peak = 0.0;
  double worst = 0.0;
  for (std::size_t f = 0; f < 6; ++f) {
    for (std::size_t s = 0; s < 3; ++s) {
      for (std::size_t e = 0; e < lg::kElements; ++e) {
        for (std::size_t k = 0; k < lg::kComponents; ++k) {
          const Cx a = whole.by_frequency[f][s][e][k];
          const Cx b = thin.by_frequency[f][s][e][k];
          peak = std::max(peak, cabs(a));
          worst = std::max(worst, cabs(a - b));
        }
      }
    }
  }
  ASSERT_GT(peak, 0.0);
  EXPECT_LT(worst / peak, 1e-4) << "worst " << worst << " of peak " << peak;
}

TEST_F(DataSetSpectraTest, SharedSweepGivesEachDataSetItsOwnBitsAndSteps) {
  // Data sets with their own source depths (two equal, one on an interface, one in the
  // half-space, five others in one layer: sources in lanes and one left over), receivers (those of
  // the two equal sources at shared and at their own depths, above and below the source) and
  // convergence: computed in one sweep, each must equal itself computed alone, for 1 and 2 threads;
  // and with forces, which leave the sum at their own steps.
  q_.uconv = 1e-3;
  q_.ikmax = 400;
  std::vector<SpectraRequest> group;
  const double depths[] = {6.0, 2.0, 6.0, 13.5, 4.5, 7.0, 9.5, 3.25};
  for (int d = 0; d < 8; ++d) {
    SpectraRequest r = q_;
    for (int i = 0; i <= d + 1; ++i) {
      r.x.push_back(2.0 + 9.0 * i + d);
      r.y.push_back(1.0 - 3.0 * d);
      r.depth.push_back(i == 1 ? 0.5 * d : (d == 2 && i == 3 ? 12.0 : 0.0));
    }
    r.source_depth = depths[d];
    group.push_back(r);
  }
  for (const auto& [threads, kinds] :
       {std::pair{1, SourceSet{}}, std::pair{2, SourceSet{}}, std::pair{1, SourceSet{true, true}},
        std::pair{1, SourceSet{true, true, true}}}) {
    for (SpectraRequest& r : group) r.sources = kinds;
    const SharedSweep sweep(group, threads);
    std::vector<Computed> together(group.size());
    sweep.run(threads, {}, [&](std::vector<FrequencySpectra>& f) {
      for (std::size_t d = 0; d < f.size(); ++d) {
        together[d].by_frequency.push_back(f[d].spectra);
        together[d].forces.push_back(f[d].force_spectra);
        together[d].iterations.push_back(f[d].iterations);
        together[d].gradients.push_back(f[d].gradients);
      }
    });
    std::set<int> counts;
    for (std::size_t d = 0; d < group.size(); ++d) {
      const Computed alone = compute(group[d], 1);
      EXPECT_EQ(sweep.slot_receiver(d), alone.slots);
      EXPECT_EQ(together[d].iterations, alone.iterations) << "data set " << d;
      for (std::size_t f = 0; f < alone.gradients.size(); ++f) {
        ASSERT_EQ(together[d].gradients[f].size(), alone.gradients[f].size());
        if (alone.gradients[f].empty()) continue;
        EXPECT_EQ(std::memcmp(together[d].gradients[f].data(), alone.gradients[f].data(),
                              alone.gradients[f].size() * sizeof(alone.gradients[f][0])),
                  0)
            << "gradients: data set " << d << ", frequency " << f;
      }
      for (std::size_t f = 0; f < alone.by_frequency.size(); ++f) {
        for (std::size_t s = 0; s < alone.slots.size(); ++s) {
          EXPECT_TRUE(same(together[d].by_frequency[f][s], alone.by_frequency[f][s]))
              << "data set " << d << ", frequency " << f << ", slot " << s;
          ASSERT_EQ(together[d].forces[f].size(), kinds.force ? alone.slots.size() : 0u);
          if (kinds.force) {
            EXPECT_TRUE(same(together[d].forces[f][s], alone.forces[f][s]))
                << "forces: data set " << d << ", frequency " << f << ", slot " << s;
          }
        }
      }
      counts.insert(alone.iterations.begin(), alone.iterations.end());
    }
    // The data sets left their loops at different steps.
    EXPECT_GT(counts.size(), 2u);
  }
  // Requests of different models or samplings do not share a sweep.
  SpectraRequest other = group[0];
  other.layers[1].qs = 301;
  EXPECT_FALSE(share_sweep(group[0], other));
  other = group[0];
  other.layers.back().thickness = 99.0;  // the half-space's thickness is not used
  EXPECT_TRUE(share_sweep(group[0], other));
  group.push_back(q_);
  group.back().tl = 51.2;
  EXPECT_THROW(SharedSweep(group, 1), std::invalid_argument);
}

TEST_F(DataSetSpectraTest, ConstantQLawMeetsTheClassicLawWhenQIsHuge) {
  // Without attenuation both laws give the elastic medium: the spectra agree to the size of
  // 1/Q. With Q of 30 the constant-Q law attenuates and disperses differently.
  receivers(3);
  auto with_q = [&](double q, QLaw law) {
    SpectraRequest r = q_;
    for (LayerRow& l : r.layers) l.qp = l.qs = q;
    r.q_law = law;
    r.q_reference_hz = 1.0;
    return compute(r, 1);
  };
  auto worst = [](const Computed& a, const Computed& b) {
    double peak = 0.0, gap = 0.0;
    for (std::size_t f = 0; f < a.by_frequency.size(); ++f) {
      for (std::size_t s = 0; s < a.slots.size(); ++s) {
        for (std::size_t e = 0; e < lg::kElements; ++e) {
          for (std::size_t k = 0; k < lg::kComponents; ++k) {
            peak = std::max(peak, cabs(a.by_frequency[f][s][e][k]));
            gap = std::max(gap, cabs(a.by_frequency[f][s][e][k] - b.by_frequency[f][s][e][k]));
          }
        }
      }
    }
    return gap / peak;
  };
  EXPECT_LT(worst(with_q(1e9, QLaw::kClassic), with_q(1e9, QLaw::kConstantQ)), 1e-6);
  const double apart = worst(with_q(30, QLaw::kClassic), with_q(30, QLaw::kConstantQ));
  EXPECT_GT(apart, 1e-3);
  EXPECT_TRUE(std::isfinite(apart));
  SpectraRequest bad = q_;
  bad.q_law = QLaw::kConstantQ;
  bad.q_reference_hz = 0.0;
  EXPECT_THROW(DataSetSpectra(bad, 1), std::invalid_argument);
}

TEST_F(DataSetSpectraTest, RequestsThatCannotBeComputedAreRefused) {
  receivers(2);
  SpectraRequest no_layers = q_;
  no_layers.layers.clear();
  EXPECT_THROW(DataSetSpectra(no_layers, 1), std::invalid_argument);
  SpectraRequest ragged = q_;
  ragged.y.pop_back();
  EXPECT_THROW(DataSetSpectra(ragged, 1), std::invalid_argument);
}

// A caller that has had enough ends the run there, with no error: no frequency after it is
// handed on, whether the frequencies go in lanes (one thread) or to workers.
TEST_F(DataSetSpectraTest, RunEndsWhenTheCallerHasHadEnough) {
  receivers(3);
  q_.nfreq = 40;
  for (const int threads : {1, 3}) {
    const DataSetSpectra d(q_, threads);
    std::vector<std::size_t> seen;
    d.run(
        threads, {}, [&](FrequencySpectra& f) { seen.push_back(f.index); },
        [&] { return seen.size() == 5; });
    EXPECT_EQ(seen, (std::vector<std::size_t>{0, 1, 2, 3, 4})) << threads << " threads";
  }
}

}  // namespace
}  // namespace lg
