// Inputs found by fuzzing the readers, kept so that their faults stay fixed.
//
// Each input goes through the same functions as the fuzz targets (fuzz/fuzz_inputs.h): the
// reader must accept it or throw InputError, nothing else. Inputs kept as files live under
// data/fuzz/<target>/, one folder per fuzz target; every file there is replayed. The seed
// corpora of the fuzz targets are replayed too: they are well-formed files, so the readers
// must accept them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <typeinfo>
#include <vector>

#include "../fuzz/fuzz_inputs.h"
#include "../fuzz/result_input.h"
#include "test_workdir.h"

namespace lg {
namespace {

namespace fs = std::filesystem;

using testing::slurp;
using Feed = std::function<bool(std::string_view)>;

const std::map<std::string, Feed>& feeds() {
  static const std::map<std::string, Feed> m = {{"namelist", fuzz::feed_namelist},
                                                {"list_read", fuzz::feed_list_read},
                                                {"fixed_fields", fuzz::feed_fixed_fields},
                                                {"subfault", fuzz::feed_subfault},
                                                {"control", fuzz::feed_control},
                                                {"model", fuzz::feed_model},
                                                {"result", fuzz::feed_result}};
  return m;
}

// The files of a folder in name order; none when there is no such folder.
std::vector<fs::path> files_in(const fs::path& dir) {
  std::vector<fs::path> files;
  if (fs::is_directory(dir)) {
    for (const auto& e : fs::directory_iterator(dir)) {
      if (e.is_regular_file()) files.push_back(e.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

// Feeds the input to the target's reader; true when accepted, false on InputError, and a
// test failure on anything else.
bool replay(const std::string& target, std::string_view input, const std::string& label) {
  try {
    return feeds().at(target)(input);
  } catch (const std::exception& e) {
    ADD_FAILURE() << target << " reader on " << label << ": " << typeid(e).name() << ": "
                  << e.what();
  }
  return false;
}

TEST(FuzzRegression, EveryKeptInputIsReadOrRejectedCleanly) {
  const fs::path root = fs::path(LAYERGREEN_TEST_DATA) / "fuzz";
  int replayed = 0;
  for (const auto& [target, feed] : feeds()) {
    for (const fs::path& f : files_in(root / target)) {
      replay(target, slurp(f), f.string());
      ++replayed;
    }
  }
  for (const fs::path& d : files_in(root)) ADD_FAILURE() << "stray file " << d;
  for (const auto& e : fs::directory_iterator(root)) {
    if (e.is_directory()) {
      EXPECT_TRUE(feeds().count(e.path().filename().string()) == 1)
          << "no fuzz target named " << e.path().filename();
    }
  }
  EXPECT_GT(replayed, 0);
}

TEST(FuzzRegression, SeedCorporaAreAccepted) {
  const fs::path corpus = fs::path(LAYERGREEN_EXAMPLES) / ".." / "fuzz" / "corpus";
  // The free-format schedules and fixed fields read the seeds' words as numbers, so those
  // targets may reject their seeds; the file readers must accept theirs.
  for (const std::string target :
       {"namelist", "subfault", "control", "model", "result", "list_read", "fixed_fields"}) {
    const bool must_accept = target != "list_read" && target != "fixed_fields";
    const std::vector<fs::path> seeds = files_in(corpus / target);
    EXPECT_FALSE(seeds.empty()) << "no seeds for " << target;
    for (const fs::path& f : seeds) {
      EXPECT_TRUE(replay(target, slurp(f), f.string()) || !must_accept)
          << target << " rejects " << f;
    }
  }
}

// A station code given as a null value (here a slash) is three blanks, not an empty code, from
// which no file names could be built (data/fuzz/control/null-station-code).
TEST(FuzzRegression, NullStationCodeIsBlank) {
  const std::string text =
      "1\n4\n1\n1\n4\nmodel/strXXX\nout/XXX/XXX.nnn\nzahyo/XXX.dat\n3\n"
      "ABC\n/\n,\n";
  EXPECT_TRUE(replay("control", text, "null station codes"));
  LineSource src("control", text);
  std::ostringstream echo;
  const Control c = read_control(src, echo);
  ASSERT_EQ(c.stname.size(), 3u);
  EXPECT_EQ(c.stname[0], "ABC");
  EXPECT_EQ(c.stname[1], "   ");
  EXPECT_EQ(c.stname[2], "   ");
}

// A result file whose header claims two thousand million frequencies but holds three groups:
// the reader must not reserve room for what the header claims (that asked for 16 GB and
// failed), only read what is there (data/fuzz/result/huge-nfreq).
TEST(FuzzRegression, HugeFrequencyCountIsNotReservedFor) {
  const std::string text = slurp(fs::path(LAYERGREEN_TEST_DATA) / "fuzz" / "result" / "huge-nfreq");
  ASSERT_NE(text.find(" 2 2000000000  10. "), std::string::npos);
  EXPECT_FALSE(replay("result", text, "huge-nfreq"));
  LineSource src("huge-nfreq", text);
  try {
    seis::read_result(src);
    ADD_FAILURE() << "a file of 3 groups read as 2000000000";
  } catch (const InputError& e) {
    EXPECT_EQ(e.detail(), "unexpected end of file");
    EXPECT_EQ(e.line(), fuzz::line_count(text));
  }
}

// The harness itself: bad input is rejected through InputError, not let through.
TEST(FuzzRegression, BadInputIsRejected) {
  EXPECT_FALSE(replay("control", "", "an empty control file"));
  EXPECT_FALSE(replay("model", " &INPUT NC=0 /\n", "a model of no layers"));
  EXPECT_FALSE(replay("namelist", " &INPUT NC=1, BOGUS=2 /\n", "an unknown member"));
  EXPECT_FALSE(replay("subfault", std::string("\x04") + "   x   2   450    300\n", "a bad header"));
  EXPECT_FALSE(replay("result", " 4 2\n", "a truncated result file"));
  EXPECT_FALSE(replay("fixed_fields", std::string("\x01") + "  1x\n", "a letter in a field"));
}

}  // namespace
}  // namespace lg
