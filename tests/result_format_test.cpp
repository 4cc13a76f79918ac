// The text of the result files and how they are put in place.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "output/result_files.h"
#include "output/result_format.h"
#include "test_workdir.h"
#include "textio/fixed_format.h"

namespace lg {
namespace {

using testing::split_lines;
using testing::WorkDir;

HeaderValues three_layer_header() {
  HeaderValues h;
  h.nstati = 5;
  h.ndatas = 2;
  h.ns1 = 1;
  h.ns2 = 5;
  h.nw1 = 2;
  h.fault.nszahy = 5;
  h.fault.nwzahy = 2;
  h.fault.sazi = 45.0;
  h.fault.dip = 30.0;
  h.params.NC = 3;
  h.params.NFREQ = 2;
  h.params.TL = 25.6;
  h.params.AW = 2.0;
  h.params.NR = 5;
  h.params.XL = 400.0;
  h.params.IKMAX = 1500;
  h.params.UCONV = 0.0001;
  h.params.XS = 0.0;
  h.params.YS = -1.5;
  h.ZS = 6.0;
  return h;
}

LayerModel three_layers() {
  LayerModel e = testing::layer_model({{0.0, 3.8, 2.1, 2.3, 150.0, 75.0},
                                       {3.0, 6.0, 3.35, 2.7, 300.0, 150.0},
                                       {16.0, 7.9, 4.5, 3.3, 800.0, 400.0}});
  e.hc[4] = 99.0;  // entries beyond NC are not part of the file
  return e;
}

TEST(ResultText, Header) {
  EXPECT_EQ(result_header(three_layer_header(), three_layers()),
            " 5 2   total area grid number\n"
            " 1 5  subfault area ns1,ns2 along strike\n"
            " 2      subfault area nw1 along dip\n"
            "   45.0   30.0       sazi,dip\n"
            " 3 2  25.6  2. 5  400. 1500  0.0001  0. -1.5  6.\n"
            " hc,vp,vs,rho,qp,qs\n"
            "     0.000     3.800     2.100     2.300   150.000    75.000\n"
            "     3.000     6.000     3.350     2.700   300.000   150.000\n"
            "    16.000     7.900     4.500     3.300   800.000   400.000\n");
}

TEST(ResultText, AnglesRoundedToOneDecimalInTheirColumns) {
  HeaderValues h = three_layer_header();
  h.fault.sazi = -127.46;
  h.fault.dip = 89.95;
  const std::vector<std::string> l = split_lines(result_header(h, three_layers()));
  ASSERT_GE(l.size(), 4u);
  EXPECT_EQ(l[3], " -127.5   90.0       sazi,dip");
}

TEST(ResultText, ReceiverBlock) {
  EXPECT_EQ(receiver_block(12.0, -4.0, 0.0), " xr,yr,zr\n  12. -4.  0.\n");
  EXPECT_EQ(receiver_block(18.5, 2.25, 1e-5), " xr,yr,zr\n  18.5  2.25  1.E-05\n");
}

TEST(ResultText, FrequencyGroupComponentsAndElementsInOrder) {
  // Element is of component k holds is + 10 k and minus a thousandth of that.
  ReceiverSpectra ug{};
  for (int is = 1; is <= kElements; ++is) {
    for (int k = 1; k <= kComponents; ++k) {
      const double v = is + 10.0 * k;
      ug[is - 1][k - 1] = Cx{v, -v / 1000.0};
    }
  }
  EXPECT_EQ(frequency_group(0.1, 101, ug),
            " freq =  0.1iter = 101\n"
            " 0.110000E+02-0.110000E-01  0.120000E+02-0.120000E-01  0.130000E+02-0.130000E-01 \n"
            " 0.140000E+02-0.140000E-01  0.150000E+02-0.150000E-01  0.160000E+02-0.160000E-01 \n"
            " 0.210000E+02-0.210000E-01  0.220000E+02-0.220000E-01  0.230000E+02-0.230000E-01 \n"
            " 0.240000E+02-0.240000E-01  0.250000E+02-0.250000E-01  0.260000E+02-0.260000E-01 \n"
            " 0.310000E+02-0.310000E-01  0.320000E+02-0.320000E-01  0.330000E+02-0.330000E-01 \n"
            " 0.340000E+02-0.340000E-01  0.350000E+02-0.350000E-01  0.360000E+02-0.360000E-01 \n");
}

TEST(ResultText, FrequencyLineAtZeroAndSmallSpectra) {
  ReceiverSpectra ug{};
  ug[0][0] = Cx{12.3456789, -0.0005};
  ug[5][2] = Cx{-1.0e-120, 5.0e150};
  const std::vector<std::string> l = split_lines(frequency_group(0.0, 51, ug));
  ASSERT_EQ(l.size(), 7u);
  EXPECT_EQ(l[0], " freq =  0.iter = 51");
  EXPECT_EQ(l[1].substr(0, 27), " 0.123457E+02-0.500000E-03 ");
  EXPECT_EQ(l[2],
            " 0.000000E+00 0.000000E+00  0.000000E+00 0.000000E+00  0.000000E+00 "
            "0.000000E+00 ");
  EXPECT_EQ(l[6].substr(54), "-0.100000-119 0.500000+151 ");
}

// The integer formatting of spectrum values against the general formatter: random values
// over the whole range, decimal ties and their neighbours, powers of ten, the edges of the
// integer path's range and values it leaves to the general one.
TEST(ResultText, SpectrumValuesAsTheGeneralFormatterWritesThem) {
  std::mt19937_64 gen(7);
  std::vector<double> values = {0.0,
                                -0.0,
                                1e-22,
                                9.99999e-23,
                                999999.5,
                                1e6,
                                1e300,
                                5e-324,
                                2.2250738585072014e-308,
                                std::numeric_limits<double>::infinity(),
                                std::numeric_limits<double>::quiet_NaN()};
  for (int i = 0; i < 100000; ++i) {
    values.push_back(std::bit_cast<double>(gen()));
    values.push_back(std::pow(10.0, std::uniform_real_distribution<double>(-24, 8)(gen)));
  }
  char text[40];
  for (int i = 0; i < 20000; ++i) {
    // n.5 * 10^q: ties where exact (q = 0) and the nearest doubles elsewhere.
    std::snprintf(text, sizeof text, "%d5e%d", 100000 + static_cast<int>(gen() % 900000),
                  static_cast<int>(gen() % 30) - 28);
    const double v = std::strtod(text, nullptr);
    values.insert(values.end(), {v, std::nextafter(v, 0.0), std::nextafter(v, 1.0e300)});
  }
  for (int k = -25; k <= 8; ++k) {
    const double p = std::pow(10.0, k);
    values.insert(values.end(), {p, std::nextafter(p, 0.0), std::nextafter(p, 1.0e300)});
  }
  int differ = 0;
  for (const double v : values) {
    for (const double s : {v, -v}) {
      std::string fast;
      std::string general;
      append_spectrum_value(fast, s);
      append_fixed_e(general, s, 13, 6);
      if (fast != general && ++differ <= 5) ADD_FAILURE() << fast << " vs " << general;
    }
  }
  EXPECT_EQ(differ, 0);
}

TEST(ResultText, ThreeLayersTwoFrequenciesMakeTwentyFiveLines) {
  ReceiverSpectra ug{};
  const std::string text = result_header(three_layer_header(), three_layers()) +
                           receiver_block(1.0, 2.0, 3.0) + frequency_group(0.0, 4, ug) +
                           frequency_group(0.1, 4, ug);
  EXPECT_EQ(split_lines(text).size(), 25u);
}

// Result files ---------------------------------------------------------------------------

class ResultFilesInFolder : public ::testing::Test {
 protected:
  std::string name(const std::string& rel) const { return w_.at(rel).string(); }
  WorkDir w_;
};

TEST_F(ResultFilesInFolder, TemporaryNameLiesInTheSameFolder) {
  const std::string t = ResultFiles::temporary_name("green/AB1/AB1.7");
  EXPECT_EQ(t.rfind("green/AB1/", 0), 0u) << t;
  EXPECT_EQ(t.find('/', 10), std::string::npos) << t;
  EXPECT_NE(t, "green/AB1/AB1.7");
  const std::string bare = ResultFiles::temporary_name("AB1.7");
  EXPECT_EQ(bare.find('/'), std::string::npos) << bare;
  EXPECT_NE(bare, "AB1.7");
}

TEST_F(ResultFilesInFolder, FilesAppearUnderTheirNamesOnlyOnCommit) {
  w_.mkdir("green/AB1");
  w_.write("green/AB1/AB1.2", "earlier run\n");
  {
    ResultFiles files;
    files.create({name("green/AB1/AB1.1"), name("green/AB1/AB1.2")});
    EXPECT_EQ(files.size(), 2u);
    files.write(0, "one\n");
    files.write(1, "two\n");
    files.write(0, "more\n");
    // Until the commit the final names are untouched.
    EXPECT_FALSE(w_.exists("green/AB1/AB1.1"));
    EXPECT_EQ(w_.read("green/AB1/AB1.2"), "earlier run\n");
    EXPECT_EQ(w_.entries("green/AB1").size(), 3u);
    files.commit();
  }
  EXPECT_EQ(w_.entries("green/AB1"), (std::set<std::string>{"AB1.1", "AB1.2"}));
  EXPECT_EQ(w_.read("green/AB1/AB1.1"), "one\nmore\n");
  EXPECT_EQ(w_.read("green/AB1/AB1.2"), "two\n");
}

TEST_F(ResultFilesInFolder, DiscardOrDestructionRemovesTemporaries) {
  w_.mkdir("green/AB1");
  w_.write("green/AB1/AB1.1", "earlier run\n");
  {
    ResultFiles files;
    files.create({name("green/AB1/AB1.1"), name("green/AB1/AB1.2")});
    files.write(0, "partial\n");
    files.discard();
    EXPECT_EQ(files.size(), 0u);
    EXPECT_EQ(w_.entries("green/AB1"), (std::set<std::string>{"AB1.1"}));
  }
  {
    ResultFiles files;
    files.create({name("green/AB1/AB1.1"), name("green/AB1/AB1.2")});
    files.write(1, "partial\n");
  }
  EXPECT_EQ(w_.entries("green/AB1"), (std::set<std::string>{"AB1.1"}));
  EXPECT_EQ(w_.read("green/AB1/AB1.1"), "earlier run\n");
}

TEST_F(ResultFilesInFolder, MissingFolderNamesTheFileAndLeavesNothing) {
  w_.mkdir("green/AB1");
  try {
    ResultFiles files;
    files.create({name("green/AB1/AB1.1"), name("green/XY9/XY9.1")});
    ADD_FAILURE() << "no OutputError";
  } catch (const OutputError& e) {
    EXPECT_NE(std::string(e.what()).find(name("green/XY9/XY9.1")), std::string::npos) << e.what();
  }
  EXPECT_TRUE(w_.entries("green/AB1").empty());
}

TEST_F(ResultFilesInFolder, CreateAgainDropsTheFilesOfTheLastDataSet) {
  w_.mkdir("g");
  ResultFiles files;
  files.create({name("g/A.1")});
  files.write(0, "x\n");
  files.create({name("g/A.2")});
  EXPECT_EQ(files.size(), 1u);
  files.write(0, "y\n");
  files.commit();
  EXPECT_EQ(w_.entries("g"), (std::set<std::string>{"A.2"}));
  EXPECT_EQ(w_.read("g/A.2"), "y\n");
}

TEST_F(ResultFilesInFolder, FailedCommitLeavesNoFileOfTheDataSet) {
  // The second final name is taken by a folder, so it cannot be put in place. The data set
  // has failed: none of its files may replace the complete file of an earlier run.
  w_.mkdir("green/AB1/AB1.2");
  w_.write("green/AB1/AB1.2/keep", "x");
  w_.write("green/AB1/AB1.1", "earlier run\n");
  {
    ResultFiles files;
    files.create({name("green/AB1/AB1.1"), name("green/AB1/AB1.2")});
    files.write(0, "new\n");
    files.write(1, "new\n");
    EXPECT_THROW(files.commit(), OutputError);
  }
  EXPECT_EQ(w_.entries("green/AB1"), (std::set<std::string>{"AB1.1", "AB1.2"}));
  EXPECT_EQ(w_.read("green/AB1/AB1.1"), "earlier run\n");
}

}  // namespace
}  // namespace lg
