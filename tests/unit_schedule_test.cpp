// The coordinator's bookkeeping: units go out once each in run order, text comes out in run
// order whatever the order of completion, and a failure stops the hand-out but waits for the
// units already out; and the units a run's sweeps are cut into.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "run/unit_plan.h"
#include "run/unit_schedule.h"

namespace lg {
namespace {

UnitReport done(std::size_t unit, std::string warnings = "") {
  UnitReport r;
  r.unit = unit;
  r.warnings = std::move(warnings);
  return r;
}

// A schedule of `units` units of one data set each.
UnitSchedule singles(std::size_t units) {
  return UnitSchedule(std::vector<std::size_t>(units, 1));
}

UnitReport failed(std::size_t unit, std::string error) {
  UnitReport r;
  r.unit = unit;
  r.failed = true;
  r.error = std::move(error);
  return r;
}

TEST(UnitSchedule, HandsOutEveryUnitOnceInRunOrder) {
  UnitSchedule s = singles(3);
  EXPECT_FALSE(s.finished());
  EXPECT_EQ(s.next(), 0u);
  EXPECT_EQ(s.next(), 1u);
  EXPECT_EQ(s.next(), 2u);
  EXPECT_EQ(s.next(), std::nullopt);
  EXPECT_FALSE(s.finished());  // three units still out
  s.record(done(1));
  s.record(done(0));
  EXPECT_FALSE(s.finished());
  s.record(done(2));
  EXPECT_TRUE(s.finished());
  EXPECT_EQ(s.complete(), 3u);
  EXPECT_EQ(s.failure(), std::nullopt);
}

TEST(UnitSchedule, ProgressCountsTheDataSetsOfCompleteUnits) {
  UnitSchedule s(std::vector<std::size_t>{4, 3, 1});
  EXPECT_EQ(s.total(), 8u);
  EXPECT_EQ(s.units(), 3u);
  for (int i = 0; i < 3; ++i) s.next();
  s.record(done(1));
  EXPECT_EQ(s.complete(), 3u);
  s.record(failed(2, "cannot write"));
  s.record(done(0));
  EXPECT_EQ(s.complete(), 7u);
}

TEST(UnitSchedule, NoUnitsIsFinishedAtOnce) {
  UnitSchedule s = singles(0);
  EXPECT_EQ(s.next(), std::nullopt);
  EXPECT_TRUE(s.finished());
  EXPECT_EQ(s.take_rest(), "");
}

TEST(UnitSchedule, WarningsComeOutInRunOrder) {
  UnitSchedule s = singles(4);
  for (int i = 0; i < 4; ++i) s.next();
  s.record(done(2, "w2\n"));
  s.record(done(1, "w1\n"));
  EXPECT_EQ(s.take_printable(), "");  // unit 0 is still out
  s.record(done(0, "w0\n"));
  EXPECT_EQ(s.take_printable(), "w0\nw1\nw2\n");
  EXPECT_EQ(s.take_printable(), "");  // each text once
  s.record(done(3, "w3\n"));
  EXPECT_EQ(s.take_printable(), "w3\n");
  EXPECT_EQ(s.take_rest(), "");
}

TEST(UnitSchedule, FailureStopsTheHandOutAndWaitsForUnitsOut) {
  UnitSchedule s = singles(6);
  for (int i = 0; i < 4; ++i) s.next();  // units 0..3 out
  s.record(done(0, "w0\n"));
  s.record(failed(2, "cannot write result file B"));
  EXPECT_EQ(s.next(), std::nullopt);  // units 4 and 5 never start
  EXPECT_FALSE(s.finished());         // 1 and 3 still out
  EXPECT_THROW(s.take_rest(), std::logic_error);
  s.record(done(3, "w3\n"));
  s.record(failed(1, "cannot write result file A"));
  EXPECT_TRUE(s.finished());
  // The first failure in run order is the one reported, as the serial run would.
  EXPECT_EQ(s.failure(), "cannot write result file A");
  EXPECT_EQ(s.complete(), 2u);
  EXPECT_EQ(s.take_printable(), "w0\n");
  EXPECT_EQ(s.take_rest(), "w3\n");
  EXPECT_EQ(s.take_rest(), "");
}

TEST(UnitSchedule, ReportsOfUnitsNotOutAreRefused) {
  UnitSchedule s = singles(2);
  EXPECT_THROW(s.record(done(0)), std::logic_error);  // never handed out
  s.next();
  EXPECT_THROW(s.record(done(5)), std::logic_error);       // no such unit
  EXPECT_THROW(s.record(UnitReport{}), std::logic_error);  // a request, not a report
  s.record(done(0));
  EXPECT_THROW(s.record(done(0)), std::logic_error);  // reported twice
  EXPECT_EQ(s.complete(), 1u);
}

std::vector<std::size_t> counts(const std::vector<RunUnit>& units) {
  std::vector<std::size_t> c;
  std::size_t next = 0;
  for (const RunUnit& u : units) {
    EXPECT_EQ(u.first, next) << "units must follow each other in run order";
    next = u.first + u.count;
    c.push_back(u.count);
  }
  return c;
}

using Sizes = std::vector<std::size_t>;

TEST(PlanUnits, SweepsGoOutWholeWhenEveryRankHasOne) {
  EXPECT_EQ(counts(plan_units({64, 10, 3}, 1)), (Sizes{64, 10, 3}));
  EXPECT_EQ(counts(plan_units({64, 10, 3}, 3)), (Sizes{64, 10, 3}));
  EXPECT_EQ(counts(plan_units({1, 1, 1, 1}, 2)), (Sizes{1, 1, 1, 1}));
  EXPECT_TRUE(plan_units({}, 4).empty());
}

TEST(PlanUnits, FewerSweepsThanRanksAreCutWhereThePartsAreLargest) {
  // One sweep over three ranks: near-equal parts, the first ones larger.
  EXPECT_EQ(counts(plan_units({64}, 3)), (Sizes{22, 21, 21}));
  EXPECT_EQ(counts(plan_units({4}, 3)), (Sizes{2, 1, 1}));
  // The larger sweep is cut first; on a tie the first in run order.
  EXPECT_EQ(counts(plan_units({2, 6}, 3)), (Sizes{2, 3, 3}));
  EXPECT_EQ(counts(plan_units({2, 2}, 3)), (Sizes{1, 1, 2}));
  EXPECT_EQ(counts(plan_units({8, 2}, 4)), (Sizes{3, 3, 2, 2}));
  // Never below one data set per unit, whatever the ranks.
  EXPECT_EQ(counts(plan_units({2, 1}, 16)), (Sizes{1, 1, 1}));
}

TEST(UnitPlan, EqualSweepsAreAtMostTheSweepSizeAndEvenAcrossTheRanks) {
  using Sizes = std::vector<std::size_t>;
  EXPECT_EQ(equal_sweeps(48, 8, 1), (Sizes(6, 8)));
  EXPECT_EQ(equal_sweeps(48, 8, 2), (Sizes(6, 8)));
  EXPECT_EQ(equal_sweeps(48, 8, 4), (Sizes(8, 6)));  // 6 sweeps would leave 2 ranks idle
  EXPECT_EQ(equal_sweeps(10, 8, 1), (Sizes{5, 5}));
  EXPECT_EQ(equal_sweeps(10, 8, 3), (Sizes{4, 3, 3}));
  EXPECT_EQ(equal_sweeps(3, 8, 5), (Sizes{1, 1, 1}));
  EXPECT_EQ(equal_sweeps(7, 1, 2), (Sizes(7, 1)));
  EXPECT_TRUE(equal_sweeps(0, 8, 2).empty());
}

}  // namespace
}  // namespace lg
