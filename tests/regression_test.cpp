// End-to-end regression: every case under data/regression is run by the program and its
// standard output, standard error, exit status and result files are compared byte for byte
// with the reviewed outputs in the case's expected/ folder (see data/regression/README.md).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class Regression : public ::testing::TestWithParam<std::string> {};

TEST_P(Regression, OutputsAreByteIdentical) {
  const fs::path src = fs::path(LAYERGREEN_TEST_DATA) / "regression" / GetParam();
  const fs::path expected = src / "expected";
  ASSERT_TRUE(fs::is_directory(expected)) << expected;
  const fs::path work = fs::temp_directory_path() /
                        ("layergreen-regression-" + GetParam() + "-" +
                         std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                         std::to_string(std::rand()));
  fs::remove_all(work);
  fs::create_directories(work);
  for (const auto& e : fs::directory_iterator(src)) {
    if (e.path().filename() == "expected") continue;
    fs::copy(e.path(), work / e.path().filename(), fs::copy_options::recursive);
  }
  for (const auto& e : fs::recursive_directory_iterator(work)) {
    if (e.path().filename() == ".keep") fs::remove(e.path());
  }
  const std::string cmd = "cd '" + work.string() + "' && '" + LAYERGREEN_EXE +
                          "' >stdout.txt 2>stderr.txt; echo $? >status.txt";
  ASSERT_EQ(std::system(cmd.c_str()), 0);

  for (const char* f : {"stdout.txt", "stderr.txt", "status.txt"}) {
    EXPECT_EQ(slurp(work / f), slurp(expected / f)) << GetParam() << ": " << f;
  }
  // Every expected result file is there and identical, and nothing else was written.
  int compared = 0;
  for (const auto& e : fs::recursive_directory_iterator(expected)) {
    if (!e.is_regular_file()) continue;
    const fs::path rel = fs::relative(e.path(), expected);
    if (rel.parent_path().empty()) continue;  // the three stream files
    ASSERT_TRUE(fs::exists(work / rel)) << "missing " << rel;
    EXPECT_TRUE(slurp(work / rel) == slurp(e.path())) << GetParam() << ": " << rel << " differs";
    ++compared;
  }
  EXPECT_GT(compared, 0);
  for (const auto& e : fs::recursive_directory_iterator(work)) {
    if (!e.is_regular_file()) continue;
    const fs::path rel = fs::relative(e.path(), work);
    if (rel.parent_path().empty() || fs::exists(src / rel)) continue;
    EXPECT_TRUE(fs::exists(expected / rel)) << "unexpected file " << rel;
  }
  fs::remove_all(work);
}

INSTANTIATE_TEST_SUITE_P(Cases, Regression,
                         ::testing::Values("basic", "mixed", "partial", "workload"));

}  // namespace
