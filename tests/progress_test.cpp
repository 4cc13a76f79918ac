// The progress line of a serial run: data sets complete out of all, the data set in progress,
// and the time left for the whole run, estimated from the work of all data sets.
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>
#include <vector>

#include "run/progress.h"

namespace lg {
namespace {

using namespace std::chrono_literals;

// A clock the test moves by hand, and jobs of given receivers, IKMAX and frequencies.
class ProgressLine : public ::testing::Test {
 protected:
  std::chrono::steady_clock::time_point now{};
  Progress::Clock clock() {
    return [this] { return now; };
  }
  static DataSetJob job(const std::string& station, int data_set, int receivers, int ikmax,
                        int nfreq) {
    DataSetJob j;
    j.station = station;
    j.data_set = data_set;
    j.header.ndatas = 2;
    j.header.params.IKMAX = ikmax;
    j.header.params.NFREQ = nfreq;
    j.x.assign(static_cast<std::size_t>(receivers), 0.0);
    return j;
  }
  // The text after the last carriage return: what the terminal shows.
  static std::string shown(const std::string& s) { return s.substr(s.rfind('\r') + 1); }
};

TEST_F(ProgressLine, ShowsTheWholeRunAndItsTimeLeft) {
  // Work: AB1 1 and 2 cost 2*100*10 = 2000 each, CD2 1 costs 4*100*10 = 4000; 8000 in all.
  const std::vector<DataSetJob> jobs = {job("AB1", 1, 2, 99, 10), job("AB1", 2, 2, 99, 10),
                                        job("CD2", 1, 4, 99, 10)};
  std::ostringstream err;
  {
    Progress p(err, true, jobs, clock());
    p.start(0);
    EXPECT_EQ(shown(err.str()),
              "layergreen: 0/3 data sets complete; station AB1, data set 1/2: 0/10 frequencies");
    now += 10s;
    p.update(10);
    p.clear();
    p.complete();
    p.start(1);
    // 2000 of 8000 units in 10 s: 6000 more take 30 s.
    const std::string second =
        "layergreen: 1/3 data sets complete; station AB1, data set 2/2: 0/10 frequencies, about "
        "30 s left for the run";
    EXPECT_EQ(shown(err.str()), second);
    now += 100ms;
    p.update(5);  // not redrawn within 400 ms
    EXPECT_EQ(shown(err.str()), second);
    now = std::chrono::steady_clock::time_point{} + 21s;
    p.update(5);
    // 3000 of 8000 in 21 s: 35 s more.
    EXPECT_EQ(shown(err.str()),
              "layergreen: 1/3 data sets complete; station AB1, data set 2/2: "
              "5/10 frequencies, about 35 s left for the run");
    now += 9s;
    p.update(10);
    p.complete();
    p.start(2);
    now += 270s;
    p.update(5);
    // 6000 of 8000 in 300 s: 100 s more.
    EXPECT_EQ(shown(err.str()),
              "layergreen: 2/3 data sets complete; station CD2, data set 1/2: "
              "5/10 frequencies, about 100 s left for the run");
    p.update(10);
    p.complete();
    p.finish();
    EXPECT_EQ(shown(err.str()).rfind("layergreen: 3/3 data sets complete in 300 s ", 0), 0u);
    EXPECT_EQ(err.str().back(), '\n');
    const std::size_t ended = err.str().size();
    p.finish();  // once only
    EXPECT_EQ(err.str().size(), ended);
  }
}

// Consecutive data sets computed together (a sweep) share the line and count together.
TEST_F(ProgressLine, DataSetsOfASweepCountTogether) {
  const std::vector<DataSetJob> jobs = {job("AB1", 1, 1, 9, 4), job("AB1", 2, 1, 9, 4),
                                        job("CD2", 1, 2, 9, 4)};
  std::ostringstream err;
  Progress p(err, true, jobs, clock());
  p.start(0, 2);
  EXPECT_EQ(shown(err.str()),
            "layergreen: 0/3 data sets complete; station AB1, data sets 1-2/2: 0/4 frequencies");
  now += 10s;
  p.update(4);
  // 80 of 160 units in 10 s.
  EXPECT_EQ(shown(err.str()),
            "layergreen: 0/3 data sets complete; station AB1, data sets 1-2/2: "
            "4/4 frequencies, about 10 s left for the run");
  p.clear();  // as the run does before the warnings of the sweep
  p.complete();
  p.start(2, 1);
  EXPECT_EQ(shown(err.str()).rfind("layergreen: 2/3 data sets complete; station CD2, data set "
                                   "1/2: 0/4 frequencies",
                                   0),
            0u);
}

TEST_F(ProgressLine, DisabledOrEmptyPrintsNothing) {
  const std::vector<DataSetJob> jobs = {job("AB1", 1, 1, 9, 4)};
  std::ostringstream err;
  {
    Progress off(err, false, jobs, clock());
    off.start(0);
    off.update(4);
    off.complete();
    off.finish();
    Progress none(err, true, std::vector<DataSetJob>{}, clock());
    none.finish();
  }
  EXPECT_EQ(err.str(), "");
}

// On several ranks items complete in any order: redrawn for a new count, at most every
// 400 ms until the last; a bank's items are its rows.
TEST_F(ProgressLine, CountsOnRanksAndRowsOfABank) {
  std::ostringstream err;
  std::vector<ProgressItem> rows(4, ProgressItem{"NEAR", "row", 1, "2", 8, 100});
  rows[1].number = 2;
  {
    Progress p(err, true, rows, "the bank", clock());
    p.show_on_ranks(3);
    EXPECT_EQ(shown(err.str()), "layergreen: 0/4 data sets complete on 3 ranks");
    now += 100ms;
    p.complete_items(1, 1);
    p.show_on_ranks(3);  // too soon
    EXPECT_EQ(shown(err.str()), "layergreen: 0/4 data sets complete on 3 ranks");
    now += 1900ms;
    p.complete_items(3, 1);
    p.show_on_ranks(3);
    EXPECT_EQ(shown(err.str()), "layergreen: 2/4 data sets complete on 3 ranks, about 2 s left");
    p.complete_items(0, 1);
    p.complete_items(2, 1);
    p.show_on_ranks(3);
    p.finish();
    EXPECT_EQ(shown(err.str()), "layergreen: 4/4 data sets complete on 3 ranks in 2 s\n");
  }
  {
    // The estimate weighs the items' work: three short ones done in 3 s leave hours for the
    // long one under way.
    err.str("");
    std::vector<ProgressItem> mixed(4, ProgressItem{"A", "row", 1, "4", 8, 100});
    mixed[3].work_per_frequency = 1000000;
    Progress p(err, true, mixed, "the bank", clock());
    now += 3s;
    p.complete_items(0, 3);
    p.show_on_ranks(2);
    EXPECT_EQ(shown(err.str()),
              "layergreen: 3/4 data sets complete on 2 ranks, about 167 min left");
  }
  err.str("");
  Progress b(err, true, rows, "the bank", clock());
  b.start(0, 2);
  now += 2s;
  b.update(4);
  EXPECT_EQ(shown(err.str()),
            "layergreen: 0/4 data sets complete; station NEAR, rows 1-2/2: 4/8 frequencies, about "
            "6 s left for the bank");
  b.complete();
  now += 1s;
  b.start(2);
  b.update(0);
  EXPECT_EQ(shown(err.str()),
            "layergreen: 2/4 data sets complete; station NEAR, row 1/2: 0/8 frequencies, about "
            "3 s left for the bank   ");  // blanks over the longer line before
}

// A run that ends by an exception (an interrupt) leaves the line ended, so that the message
// that follows starts on a line of its own.
TEST_F(ProgressLine, EndsItsLineWhenDestroyedMidway) {
  const std::vector<DataSetJob> jobs = {job("AB1", 1, 1, 9, 4)};
  std::ostringstream err;
  {
    Progress p(err, true, jobs, clock());
    p.start(0);
  }
  EXPECT_EQ(err.str().back(), '\n');
}

}  // namespace
}  // namespace lg
