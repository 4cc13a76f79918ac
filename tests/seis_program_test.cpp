// The layergreen-seis program as users run it: the files it writes, their headers, the columns
// format, output folders, bad input and the command line.
//
// Bad input: one message naming file and line, status 2, nothing written for that file, the
// other files still converted.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "kernel/layout.h"
#include "seis/result_reader.h"
#include "seis/seismograms.h"
#include "seis_sac_reader.h"
#include "seis_scratch.h"

namespace {

using lg::testing::split_lines;
using seis_test::Scratch;

const std::string kSeis = LAYERGREEN_SEIS_EXE;

// A result file of the bundled example: station OSK, index 3, receiver at (25, 8, 0), source
// at (0, 0, 6); 32 frequencies, TL = 25.6.
std::string example_file() {
  return seis_test::bundled_result("OSK/OSK.3");
}

std::vector<std::string> trace_codes() {
  std::vector<std::string> v;
  for (int e = 1; e <= 6; ++e) {
    for (const char c : {'x', 'y', 'z'}) {
      std::string code(1, 'e');
      code += std::to_string(e);
      code += c;
      v.push_back(code);
    }
  }
  return v;
}

TEST(SeisProgram, WritesEighteenSacFilesWithTheirHeaders) {
  Scratch dir;
  dir.write("green/OSK/OSK.3", example_file());
  const auto r =
      dir.run("'" + kSeis + "' -o out --source triangle:1 --lowpass 0.5 green/OSK/OSK.3");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");

  std::set<std::string> want;
  for (const std::string& code : trace_codes()) want.insert("OSK.3." + code + ".sac");
  EXPECT_EQ(dir.entries("out"), want);

  // The same computation through the library.
  // The program's default taper.
  const lg::seis::Processing p{.source = lg::seis::parse_source("triangle:1"),
                               .lowpass = {.corner = 0.5},
                               .taper = {.width = lg::seis::kDefaultTaperWidth}};
  const lg::seis::Seismograms lib =
      lg::seis::make_seismograms(lg::seis::read_result_file(dir.at("green/OSK/OSK.3")), p);

  const char* labels[6] = {"Mxy", "Mxz", "-Myz", "Mzz-Mxx", "Mzz-Myy", "Mxx+Myy+Mzz"};
  const double dist = std::hypot(25.0, 8.0);
  const double az = std::atan2(8.0, 25.0) * 180.0 / std::numbers::pi;
  for (int e = 0; e < lg::kElements; ++e) {
    for (int c = 0; c < lg::kComponents; ++c) {
      const std::string code = trace_codes()[static_cast<std::size_t>(lg::kComponents * e + c)];
      const seis_test::SacFile s = seis_test::parse_sac(dir.read("out/OSK.3." + code + ".sac"));
      ASSERT_TRUE(s.ok) << code;
      EXPECT_EQ(s.npts(), 64) << code;
      EXPECT_FLOAT_EQ(s.delta(), 0.4F) << code;
      EXPECT_FLOAT_EQ(s.b(), 0.0F) << code;
      EXPECT_FLOAT_EQ(s.e(), 25.2F) << code;
      EXPECT_FLOAT_EQ(s.o(), 0.0F) << code;
      EXPECT_EQ(s.idep(), 6) << code;  // displacement, for a triangle source
      EXPECT_NEAR(s.dist(), dist, 1e-4) << code;
      EXPECT_NEAR(s.az(), az, 1e-4) << code;
      EXPECT_NEAR(s.baz(), az + 180.0, 1e-4) << code;
      EXPECT_FLOAT_EQ(s.user0(), 6.0F) << code;  // source depth
      EXPECT_FLOAT_EQ(s.user1(), 0.0F) << code;  // receiver depth
      EXPECT_EQ(s.kstnm(), "OSK     ") << code;
      EXPECT_EQ(s.kcmpnm(), code + "     ") << code;
      EXPECT_EQ(s.kevnm().substr(0, std::string(labels[e]).size()), labels[e]) << code;
      // x north (azimuth 0), y east (90), both horizontal; the vertical points up.
      EXPECT_FLOAT_EQ(s.cmpaz(), c == 1 ? 90.0F : 0.0F) << code;
      EXPECT_FLOAT_EQ(s.cmpinc(), c == 2 ? 0.0F : 90.0F) << code;
      const std::vector<double>& want_data =
          lib.trace[static_cast<std::size_t>(e)][static_cast<std::size_t>(c)];
      ASSERT_EQ(s.data.size(), want_data.size());
      for (std::size_t n = 0; n < want_data.size(); ++n) {
        ASSERT_EQ(s.data[n], static_cast<float>(want_data[n])) << code << " sample " << n;
      }
    }
  }
}

TEST(SeisProgram, ColumnsHoldTheSameSeismogramsBesideTheInput) {
  Scratch dir;
  dir.write("green/OSK/OSK.3", example_file());
  const auto r = dir.run("'" + kSeis + "' --format columns --source step green/OSK/OSK.3");
  ASSERT_EQ(r.status, 0) << r.err;
  // Beside the input, without -o.
  EXPECT_EQ(dir.entries("green/OSK"), (std::set<std::string>{"OSK.3", "OSK.3.txt"}));

  const lg::seis::Processing p{.source = lg::seis::parse_source("step"),
                               .lowpass = {},
                               .taper = {.width = lg::seis::kDefaultTaperWidth}};
  const lg::seis::Seismograms lib =
      lg::seis::make_seismograms(lg::seis::read_result_file(dir.at("green/OSK/OSK.3")), p);

  std::vector<std::string> rows;
  bool saw_names = false;
  for (const std::string& l : split_lines(dir.read("green/OSK/OSK.3.txt"))) {
    if (l.rfind("# t e1x e1y e1z e2x", 0) == 0) saw_names = true;
    if (!l.empty() && l[0] != '#') rows.push_back(l);
  }
  EXPECT_TRUE(saw_names);
  ASSERT_EQ(rows.size(), 64u);
  double peak = 0.0;
  for (const auto& e : lib.trace) {
    for (const auto& t : e) {
      for (const double v : t) peak = std::max(peak, std::abs(v));
    }
  }
  for (std::size_t n = 0; n < rows.size(); ++n) {
    std::istringstream in(rows[n]);
    double t = 0.0;
    in >> t;
    EXPECT_NEAR(t, 0.4 * static_cast<double>(n), 1e-9);
    for (std::size_t e = 0; e < lg::kElements; ++e) {
      for (std::size_t c = 0; c < lg::kComponents; ++c) {
        double v = 0.0;
        ASSERT_TRUE(in >> v) << "row " << n;
        EXPECT_NEAR(v, lib.trace[e][c][n], 1e-9 * peak) << "row " << n;
      }
    }
  }
}

// Each bad file gets its own one-line message naming file and line; the good files around it
// are converted; nothing at all (not even a temporary file) is left for a bad one.
TEST(SeisProgram, BadFilesGetAMessageAndNoOutput) {
  Scratch dir;
  const std::string good = example_file();
  const std::vector<std::string> lines = split_lines(good);
  dir.write("in/OSK.1", good);
  // Cut in the middle of the tenth frequency group.
  std::string truncated;
  for (std::size_t i = 0; i < 80; ++i) truncated += lines[i] + "\n";
  dir.write("in/OSK.2", truncated);
  // The good file with its fifth line replaced: NFREQ = 0, and a damping too strong to undo in
  // single precision.
  auto with_line5 = [&](const std::string& line5) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) text += (i == 4 ? line5 : lines[i]) + "\n";
    return text;
  };
  dir.write("in/OSK.4", with_line5(" 6 0  25.6  2. 5  400. 1500  0.0001  0.  0.  6."));
  dir.write("in/OSK.5", with_line5(" 6 32  25.6  40. 5  400. 1500  0.0001  0.  0.  6."));
  dir.write("in/notes.txt", "these are not spectra\n");

  const auto r =
      dir.run("'" + kSeis + "' -o out in/OSK.1 in/OSK.2 in/missing in/OSK.4 in/OSK.5 in/notes.txt");
  EXPECT_EQ(r.status, 2);
  const std::vector<std::string> msgs = split_lines(r.err);
  ASSERT_EQ(msgs.size(), 5u) << r.err;
  EXPECT_EQ(msgs[0].rfind("layergreen-seis: in/OSK.2:80: unexpected end of file", 0), 0u)
      << msgs[0];
  EXPECT_EQ(msgs[1].rfind("layergreen-seis: in/missing: cannot open", 0), 0u) << msgs[1];
  EXPECT_EQ(msgs[2].rfind("layergreen-seis: in/OSK.4:5: NFREQ = 0", 0), 0u) << msgs[2];
  EXPECT_EQ(msgs[3].rfind("layergreen-seis: in/OSK.5: the time series overflow", 0), 0u) << msgs[3];
  EXPECT_EQ(msgs[4].rfind("layergreen-seis: in/notes.txt:1: cannot read \"these\"", 0), 0u)
      << msgs[4];

  std::set<std::string> want;
  for (const std::string& code : trace_codes()) want.insert("OSK.1." + code + ".sac");
  EXPECT_EQ(dir.entries("out"), want);
}

// Frequencies whose wavenumber sum ran to IKMAX (iter = IKMAX + 1 with UCONV > 0) are worth a
// note; the file is still converted.
TEST(SeisProgram, NotesFrequenciesThatDidNotConverge) {
  Scratch dir;
  std::string text;
  int changed = 0;
  for (std::string l : split_lines(example_file())) {
    const std::size_t at = l.find("iter = ");
    if (at != std::string::npos && changed < 3) {
      l = l.substr(0, at) + "iter = 1501";
      ++changed;
    }
    text += l + "\n";
  }
  dir.write("OSK.3", text);
  const auto r = dir.run("'" + kSeis + "' --format columns OSK.3");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err,
            "layergreen-seis: OSK.3: note: 3 of 32 frequencies ran to IKMAX = 1500 without "
            "converging\n");
  EXPECT_EQ(dir.entries("."), (std::set<std::string>{"OSK.3", "OSK.3.txt"}));
}

TEST(SeisProgram, OutputsOfTwoFilesOfOneNameDoNotMix) {
  Scratch dir;
  dir.write("a/OSK.3", example_file());
  dir.write("b/OSK.3", example_file());
  const auto r = dir.run("'" + kSeis + "' --format columns -o out a/OSK.3 b/OSK.3");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("b/OSK.3: its outputs would replace"), std::string::npos) << r.err;
  EXPECT_EQ(dir.entries("out"), (std::set<std::string>{"OSK.3.txt"}));
  EXPECT_NE(dir.read("out/OSK.3.txt").find("seismograms of a/OSK.3"), std::string::npos);
}

TEST(SeisProgram, CommandLine) {
  Scratch dir;
  dir.write("OSK.3", example_file());
  const auto help = dir.run("'" + kSeis + "' --help");
  EXPECT_EQ(help.status, 0);
  const auto version = dir.run("'" + kSeis + "' --version");
  EXPECT_EQ(version.status, 0);

  struct Bad {
    const char* args;
    const char* message;
  };
  for (const Bad& b :
       {Bad{"", "no result file given"}, Bad{"--frobnicate OSK.3", "unknown option --frobnicate"},
        Bad{"--format xml OSK.3", "--format must be sac or columns"},
        Bad{"--source box:2 OSK.3", "--source: unknown source time function"},
        Bad{"--source triangle:0 OSK.3", "--source: the duration"},
        Bad{"--lowpass -1 OSK.3", "--lowpass needs a positive number"},
        Bad{"--poles 2.5 OSK.3", "--poles must be a whole number"},
        Bad{"--taper 0.95 OSK.3", "--taper needs a fraction of the band from 0 to 0.9"},
        Bad{"OSK.3 -o", "-o needs a value"}}) {
    const auto r = dir.run("'" + kSeis + "' " + b.args);
    EXPECT_EQ(r.status, 2) << b.args;
    EXPECT_EQ(r.err.rfind(std::string("layergreen-seis: ") + b.message, 0), 0u)
        << b.args << ": " << r.err;
    EXPECT_NE(r.err.find("usage: layergreen-seis"), std::string::npos) << b.args;
  }
  // Nothing was written by the refused command lines.
  EXPECT_EQ(dir.entries("."), (std::set<std::string>{"OSK.3"}));

  // The "=" forms and "--" before a file name that looks like an option.
  dir.write("-odd", example_file());
  const auto r =
      dir.run("'" + kSeis + "' --format=columns --output=o2 --lowpass=1 --poles=2 -- -odd");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(dir.entries("o2"), (std::set<std::string>{"-odd.txt"}));
  EXPECT_NE(dir.read("o2/-odd.txt").find("lowpass = 1 Hz, 2 poles"), std::string::npos);
}

}  // namespace
