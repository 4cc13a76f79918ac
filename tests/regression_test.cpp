// End-to-end regression: every case under data/regression is run by the program and its
// standard output, standard error, exit status and result files are compared byte for byte
// with the reviewed outputs in the case's expected/ folder (see data/regression/README.md).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "test_workdir.h"

namespace fs = std::filesystem;

namespace {

using lg::testing::slurp;

// Runs case `name` with the given program options and compares everything it wrote.
void run_case(const std::string& name, const std::string& options) {
  SCOPED_TRACE(name + " " + options);
  const fs::path src = fs::path(LAYERGREEN_TEST_DATA) / "regression" / name;
  const fs::path expected = src / "expected";
  ASSERT_TRUE(fs::is_directory(expected)) << expected;
  const lg::testing::WorkDir w;
  const fs::path& work = w.root();
  for (const auto& e : fs::directory_iterator(src)) {
    if (e.path().filename() == "expected") continue;
    fs::copy(e.path(), work / e.path().filename(), fs::copy_options::recursive);
  }
  for (const auto& e : fs::recursive_directory_iterator(work)) {
    if (e.path().filename() == ".keep") fs::remove(e.path());
  }
  const std::string cmd = "cd '" + work.string() + "' && '" + LAYERGREEN_EXE + "' " + options +
                          " >stdout.txt 2>stderr.txt; echo $? >status.txt";
  ASSERT_EQ(std::system(cmd.c_str()), 0);

  for (const char* f : {"stdout.txt", "stderr.txt", "status.txt"}) {
    EXPECT_EQ(slurp(work / f), slurp(expected / f)) << name << ": " << f;
  }
  // Every expected result file is there and identical, and nothing else was written.
  int compared = 0;
  for (const auto& e : fs::recursive_directory_iterator(expected)) {
    if (!e.is_regular_file()) continue;
    const fs::path rel = fs::relative(e.path(), expected);
    if (rel.parent_path().empty()) continue;  // the three stream files
    ASSERT_TRUE(fs::exists(work / rel)) << "missing " << rel;
    EXPECT_TRUE(slurp(work / rel) == slurp(e.path())) << name << ": " << rel << " differs";
    ++compared;
  }
  EXPECT_GT(compared, 0);
  for (const auto& e : fs::recursive_directory_iterator(work)) {
    if (!e.is_regular_file()) continue;
    const fs::path rel = fs::relative(e.path(), work);
    if (rel.parent_path().empty() || fs::exists(src / rel)) continue;
    EXPECT_TRUE(fs::exists(expected / rel)) << "unexpected file " << rel;
  }
}

class Regression : public ::testing::TestWithParam<std::string> {};

TEST_P(Regression, OutputsAreByteIdentical) {
  run_case(GetParam(), "");
}

// The frequencies of a data set run on several threads, and the data sets of a station in one
// sweep or one by one; the files must not depend on either.
TEST(RegressionThreads, ExampleIsIdenticalForEveryThreadCountAndSweep) {
  for (const char* options : {"--threads 1", "--threads 2", "--threads 3", "--threads 1 --sweep 1",
                              "--threads 3 --sweep 1", "--threads 2 --sweep 2"}) {
    run_case("basic", options);
  }
  run_case("mixed", "--threads 2 --sweep 1");
}

INSTANTIATE_TEST_SUITE_P(Cases, Regression,
                         ::testing::Values("basic", "mixed", "partial", "workload"));

}  // namespace
