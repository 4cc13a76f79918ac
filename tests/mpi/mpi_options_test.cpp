// The command line of layergreen-mpi reads as layergreen's does, and the threads of each rank
// follow --threads, OMP_NUM_THREADS or a share of the node.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "mpi/mpi_options.h"
#include "mpi/rank_threads.h"

namespace lg {
namespace {

using Action = MpiCommandLine::Action;

MpiCommandLine parse(const std::vector<std::string>& args, bool progress = false) {
  return parse_mpi_command_line(args, progress);
}

TEST(MpiCommandLine, NoArgumentsRuns) {
  const MpiCommandLine c = parse({});
  EXPECT_EQ(c.action, Action::kRun);
  EXPECT_FALSE(c.threads.has_value());
  EXPECT_FALSE(c.progress);
  EXPECT_TRUE(parse({}, true).progress);
}

TEST(MpiCommandLine, ThreadsInBothSpellings) {
  EXPECT_EQ(parse({"--threads", "4"}).threads, 4);
  EXPECT_EQ(parse({"--threads=12"}).threads, 12);
  const MpiCommandLine c = parse({"--progress", "--threads", "1024"});
  EXPECT_EQ(c.action, Action::kRun);
  EXPECT_EQ(c.threads, 1024);
  EXPECT_TRUE(c.progress);
}

TEST(MpiCommandLine, BadThreadsAreUsageErrorsWithTheSerialMessages) {
  MpiCommandLine c = parse({"--threads", "0"});
  EXPECT_EQ(c.action, Action::kUsageError);
  EXPECT_EQ(c.error, "--threads takes a whole number from 1 to 1024, not '0'");
  c = parse({"--threads=x4"});
  EXPECT_EQ(c.action, Action::kUsageError);
  EXPECT_EQ(c.error, "--threads takes a whole number from 1 to 1024, not 'x4'");
  c = parse({"--threads"});
  EXPECT_EQ(c.action, Action::kUsageError);
  EXPECT_EQ(c.error, "--threads needs a value");
  c = parse({"--threads", "1025"});
  EXPECT_EQ(c.action, Action::kUsageError);
}

TEST(MpiCommandLine, SweepAsInTheSerialProgram) {
  EXPECT_EQ(parse({}).sweep, kMaxSweepDataSets);
  EXPECT_EQ(parse({"--sweep", "1"}).sweep, 1u);
  EXPECT_EQ(parse({"--sweep=7", "--threads", "2"}).sweep, 7u);
  MpiCommandLine c = parse({"--sweep", "0"});
  EXPECT_EQ(c.action, Action::kUsageError);
  EXPECT_EQ(c.error, "--sweep takes a whole number from 1 to 1024, not '0'");
  EXPECT_EQ(parse({"--sweep"}).error, "--sweep needs a value");
}

TEST(MpiCommandLine, UnknownArgumentsAreUsageErrors) {
  MpiCommandLine c = parse({"quenta4.ctl"});
  EXPECT_EQ(c.action, Action::kUsageError);
  EXPECT_EQ(c.error, "unknown option or argument 'quenta4.ctl'");
  EXPECT_EQ(parse({"--progress", "-x"}).action, Action::kUsageError);
}

TEST(MpiCommandLine, HelpAndVersionWinOverLaterArguments) {
  EXPECT_EQ(parse({"--help", "--bogus"}).action, Action::kHelp);
  EXPECT_EQ(parse({"-h"}).action, Action::kHelp);
  EXPECT_EQ(parse({"--version", "--threads", "0"}).action, Action::kVersion);
  // ... but not over an error before them.
  EXPECT_EQ(parse({"--bogus", "--help"}).action, Action::kUsageError);
  const std::string help = mpi_help();
  EXPECT_EQ(help.rfind(mpi_usage(), 0), 0u);
  for (const char* option : {"--threads N", "--progress", "--help", "--version"}) {
    EXPECT_NE(help.find(option), std::string::npos) << option;
  }
}

int hardware() {
  const unsigned hw = std::thread::hardware_concurrency();
  return hw == 0 ? 1 : static_cast<int>(std::min(hw, 1024u));
}

TEST(RankThreads, OptionWins) {
  std::ostringstream err;
  EXPECT_EQ(rank_thread_count(3, "8", 4, 1, err), 3);
  EXPECT_EQ(rank_thread_count(64, nullptr, 32, 1, err), 64);
  EXPECT_EQ(err.str(), "");
}

TEST(RankThreads, OmpNumThreadsIsTakenAsIs) {
  std::ostringstream err;
  EXPECT_EQ(rank_thread_count(std::nullopt, "8", 4, 1, err), 8);
  EXPECT_EQ(rank_thread_count(std::nullopt, " 6,2", 32, 0, err), 6);
  EXPECT_EQ(err.str(), "");
}

TEST(RankThreads, WithoutEitherTheNodeIsSharedOut) {
  std::ostringstream err;
  EXPECT_EQ(rank_thread_count(std::nullopt, nullptr, 1, 0, err), hardware());
  EXPECT_EQ(rank_thread_count(std::nullopt, nullptr, 2, 0, err), std::max(1, hardware() / 2));
  EXPECT_EQ(rank_thread_count(std::nullopt, nullptr, 5000, 0, err), 1);
  EXPECT_EQ(err.str(), "");
}

TEST(RankThreads, TheShareNeverExceedsTheBoundCores) {
  std::ostringstream err;
  EXPECT_EQ(rank_thread_count(std::nullopt, nullptr, 1, 1, err), 1);
  EXPECT_EQ(rank_thread_count(std::nullopt, nullptr, 1, 2048, err), hardware());
  // An explicit count is kept (and warned about by warn_if_bound).
  EXPECT_EQ(rank_thread_count(4, nullptr, 1, 1, err), 4);
  EXPECT_EQ(rank_thread_count(std::nullopt, "4", 1, 1, err), 4);
  EXPECT_EQ(err.str(), "");
}

TEST(RankThreads, WarnsOfMoreThreadsThanBoundCores) {
  std::ostringstream err;
  warn_if_bound(2, 1, err);
  EXPECT_EQ(err.str(),
            "layergreen: warning: 2 threads per rank, but rank 0 may run on only 1 core; start "
            "mpirun with --bind-to none or --map-by slot:PE=2\n");
  err.str("");
  warn_if_bound(8, 4, err);
  EXPECT_NE(err.str().find("only 4 cores;"), std::string::npos) << err.str();
  err.str("");
  warn_if_bound(4, 4, err);
  warn_if_bound(1, 1, err);
  warn_if_bound(4, 0, err);  // binding unknown
  EXPECT_EQ(err.str(), "");
}

TEST(RankThreads, UnusableOmpNumThreadsWarnsAndSharesOut) {
  std::ostringstream err;
  EXPECT_EQ(rank_thread_count(std::nullopt, "many", 5000, 0, err), 1);
  EXPECT_EQ(err.str(),
            "layergreen: warning: ignoring OMP_NUM_THREADS=\"many\" (not a thread count from 1 "
            "to 1024)\n");
}

}  // namespace
}  // namespace lg
