// The progress line of a run on several ranks: drawn in place, erased for other text, and
// silent unless asked for.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "mpi/run_progress.h"

namespace lg {
namespace {

TEST(RunProgress, DisabledPrintsNothing) {
  std::ostringstream err;
  RunProgress p(err, false, 4, 2);
  p.update(0);
  p.update(4);
  p.clear();
  p.finish();
  EXPECT_EQ(err.str(), "");
}

TEST(RunProgress, DrawsClearsAndEnds) {
  std::ostringstream err;
  RunProgress p(err, true, 4, 3);
  p.update(0);
  const std::string first = "\rlayergreen: 0/4 data sets complete on 3 ranks";
  EXPECT_EQ(err.str(), first);
  p.update(0);  // nothing new to show
  EXPECT_EQ(err.str(), first);
  p.clear();
  EXPECT_EQ(err.str(), first + "\r" + std::string(first.size() - 1, ' ') + "\r");
  err.str("");
  p.update(4);  // the last count is always shown
  EXPECT_EQ(err.str(), "\rlayergreen: 4/4 data sets complete on 3 ranks");
  p.finish();
  EXPECT_EQ(err.str(), "\rlayergreen: 4/4 data sets complete on 3 ranks\n");
  p.finish();
  EXPECT_EQ(err.str(), "\rlayergreen: 4/4 data sets complete on 3 ranks\n");
}

TEST(RunProgress, EstimatesTheTimeLeftBetweenStartAndEnd) {
  std::ostringstream err;
  RunProgress p(err, true, 10, 1);
  p.update(3);
  const std::string s = err.str();
  EXPECT_EQ(s.rfind("\rlayergreen: 3/10 data sets complete on 1 rank, about ", 0), 0u) << s;
  EXPECT_NE(s.find(" left"), std::string::npos) << s;
}

TEST(RunProgress, NoUnitsShowsNothing) {
  std::ostringstream err;
  RunProgress p(err, true, 0, 2);
  p.update(0);
  p.finish();
  EXPECT_EQ(err.str(), "");
}

}  // namespace
}  // namespace lg
