// Whole runs of the driver on small input files: the echo on standard output, the result files
// it leaves, the iteration counts, and how it stops on a header mismatch.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "test_workdir.h"
#include "textio/list_read.h"

namespace lg {
namespace {

using testing::ControlText;
using testing::padded80;
using testing::Receiver;
using testing::RunOutcome;
using testing::small_group;
using testing::small_layers;
using testing::split_lines;
using testing::subfault_text;
using testing::WorkDir;

// One station's input files.
struct StationFiles {
  std::string model;
  std::string subfault;
};

void write_inputs(const WorkDir& w, const ControlText& ctl,
                  const std::map<std::string, StationFiles>& stations) {
  w.write("quenta4.ctl", ctl.text());
  for (const auto& [code, f] : stations) {
    w.write("model/str" + code, f.model);
    w.write("zahyo/" + code + ".dat", f.subfault);
    w.mkdir("green/" + code);
  }
}

// The echo of a station's file names when its first result file is built.
std::string echo_names(const std::string& code) {
  return " filin=\n " + padded80("model/str" + code) + "\n fzahyo=\n " +
         padded80("zahyo/" + code + ".dat") + "\n filot(1,1)=\n " +
         padded80("green/" + code + "/" + code + ".1") + "\n";
}

// Writes the inputs of station AB1 alone: `group` over the small layers, and a subfault file.
void write_ab1(const WorkDir& w, const ControlText& ctl, const std::string& group,
               const std::string& header,
               const std::vector<std::pair<double, std::vector<Receiver>>>& rows) {
  write_inputs(
      w, ctl, {{"AB1", {testing::model_text(group, small_layers()), subfault_text(header, rows)}}});
}

// True for a 13-column exponent field: sign position, "0.", six digits, then E and a signed
// two-digit exponent, or a signed three-digit exponent without the E.
bool exponent_field(const std::string& f) {
  auto digits = [&](std::size_t from, std::size_t n) {
    for (std::size_t i = from; i < from + n; ++i) {
      if (f[i] < '0' || f[i] > '9') return false;
    }
    return true;
  };
  if (f.size() != 13 || (f[0] != ' ' && f[0] != '-') || f.compare(1, 2, "0.") != 0) return false;
  if (!digits(3, 6)) return false;
  if (f[9] == 'E') return (f[10] == '+' || f[10] == '-') && digits(11, 2);
  return (f[9] == '+' || f[9] == '-') && digits(10, 3);
}

// The values of the six spectrum lines of a frequency group starting at line `first`, after
// checking that each line holds three elements of real part, imaginary part and a blank.
std::vector<double> spectra(const std::vector<std::string>& lines, std::size_t first) {
  std::vector<double> v;
  for (std::size_t l = first; l < first + 6; ++l) {
    EXPECT_LT(l, lines.size());
    if (l >= lines.size()) break;
    const std::string& s = lines[l];
    EXPECT_EQ(s.size(), 81u) << "line " << l + 1 << ": [" << s << "]";
    if (s.size() != 81) continue;
    for (int e = 0; e < 3; ++e) {
      for (int part = 0; part < 2; ++part) {
        const std::string f = s.substr(27 * e + 13 * part, 13);
        EXPECT_TRUE(exponent_field(f)) << "line " << l + 1 << ": [" << f << "]";
        double x = 0.0;
        EXPECT_TRUE(parse_real(f, x)) << f;
        v.push_back(x);
      }
      EXPECT_EQ(s[27 * e + 26], ' ') << "line " << l + 1;
    }
  }
  return v;
}

int count_of(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
  return n;
}

// The lines of a result file after the header and receiver block (the frequency groups).
std::vector<std::string> groups_of(const std::vector<std::string>& lines, int nc) {
  const std::size_t start = 6 + static_cast<std::size_t>(nc) + 2;
  if (lines.size() < start) return {};
  return std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(start), lines.end());
}

// A run in a fresh folder with the control file ctl (one station, one data set unless a test
// says otherwise).
class DriverRun : public ::testing::Test {
 protected:
  WorkDir w;
  ControlText ctl;
};
class ReceiverPacking : public DriverRun {};
class ModelValues : public DriverRun {};
class Stations : public DriverRun {};
class Iterations : public DriverRun {};
class ResultHeader : public DriverRun {};
class ResultFilesInPlace : public DriverRun {};

// Two stations, two data sets each: AB1 gives thicknesses and NR = nstati, CD2 layer-top
// depths, a comment line before its group, NR different from nstati and a header whose
// angles are written without decimal points.
class TwoStations : public ::testing::Test {
 protected:
  void SetUp() override {
    ctl_ = {.ndatas = 2, .nstati = 2, .nw1 = 2, .ns1 = 1, .ns2 = 2, .stations = {"AB1", "CD2"}};
    StationFiles ab1;
    ab1.model = testing::model_text(small_group(2), small_layers());
    ab1.subfault = subfault_text("   2   2   45.0   30.0", {{6.0, {{12, -4, 0}, {18.5, 2, 0}}},
                                                            {11.0, {{14, -6, 1}, {20.5, 0, 0.5}}}});
    StationFiles cd2;
    cd2.model = " Crust under CD2, layer tops given as depths\n" +
                testing::model_text(
                    " &INPUT NC=3, NFREQ=2, TL=10., AW=1., NR=3,\n   XL=100., IKMAX=3, UCONV=0., "
                    "XS=0., YS=0. /",
                    {"  0.0  4.50  2.60  2.40  200.  100.", "  3.0  5.50  3.15  2.60  300.  150.",
                     "  8.0  6.00  3.45  2.70  400.  200."});
    cd2.subfault = subfault_text("   2   2   450    300", {{4.0, {{-20, 15, 0}, {-15, 21, 0}}},
                                                           {9.5, {{-22, 13, 0}, {-17, 19, 0}}}});
    write_inputs(w_, ctl_, {{"AB1", ab1}, {"CD2", cd2}});
  }

  WorkDir w_;
  ControlText ctl_;
};

TEST_F(TwoStations, EchoOnStandardOutput) {
  const RunOutcome r = w_.run();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  const std::string expected =
      " ndatas,nstati,nw1,ns1,ns2\n"
      " 2 2 2 1 2\n"
      " number of stations?\n" +
      echo_names("AB1") +
      " nszahy,nwzahy,sazi,dip\n"
      "   2   2   45.0   30.0\n"
      "  6.\n"
      "  12. -4.  0.\n"
      "  18.5  2.  0.\n"
      " nszahy,nwzahy,sazi,dip\n"
      "   2   2   45.0   30.0\n"
      "  11.\n"
      "  14. -6.  1.\n"
      "  20.5  0.  0.5\n" +
      echo_names("CD2") +
      " nr.ne.nstati\n"
      " nszahy,nwzahy,sazi,dip\n"
      "   2   2   45.0   30.0\n"
      "  4.\n"
      " -20.  15.  0.\n"
      " -15.  21.  0.\n"
      " nr.ne.nstati\n"
      " nszahy,nwzahy,sazi,dip\n"
      "   2   2   45.0   30.0\n"
      "  9.5\n"
      " -22.  13.  0.\n"
      " -17.  19.  0.\n";
  EXPECT_EQ(r.out, expected);
}

TEST_F(TwoStations, ProgramBinaryGivesTheSameOutputAndFiles) {
  const RunOutcome in_process = w_.run();
  ASSERT_EQ(in_process.status, 0);
  const std::string ab1_4 = w_.read("green/AB1/AB1.4");
  const std::string cd2_1 = w_.read("green/CD2/CD2.1");
  const RunOutcome program = w_.run_program();
  EXPECT_EQ(program.status, 0);
  EXPECT_EQ(program.err, "");
  EXPECT_EQ(program.out, in_process.out);
  EXPECT_EQ(w_.read("green/AB1/AB1.4"), ab1_4);
  EXPECT_EQ(w_.read("green/CD2/CD2.1"), cd2_1);
}

TEST_F(TwoStations, OneFilePerDataSetAndIndexAndNothingElse) {
  ASSERT_EQ(w_.run().status, 0);
  EXPECT_EQ(w_.entries("green/AB1"), (std::set<std::string>{"AB1.1", "AB1.2", "AB1.3", "AB1.4"}));
  EXPECT_EQ(w_.entries("green/CD2"), (std::set<std::string>{"CD2.1", "CD2.2", "CD2.3", "CD2.4"}));
  // 6 header lines + NC layers + 2 receiver lines + 7 per frequency.
  for (const char* f :
       {"green/AB1/AB1.1", "green/AB1/AB1.2", "green/AB1/AB1.3", "green/AB1/AB1.4"}) {
    EXPECT_EQ(w_.lines(f).size(), 6u + 2 + 2 + 14) << f;
  }
  for (const char* f :
       {"green/CD2/CD2.1", "green/CD2/CD2.2", "green/CD2/CD2.3", "green/CD2/CD2.4"}) {
    EXPECT_EQ(w_.lines(f).size(), 6u + 3 + 2 + 14) << f;
  }
}

TEST_F(TwoStations, HeaderAndReceiverBlocks) {
  ASSERT_EQ(w_.run().status, 0);
  // Data set 2, index 2: the deeper of the two receivers of row 2.
  const std::vector<std::string> ab1 = w_.lines("green/AB1/AB1.4");
  const std::vector<std::string> ab1_head = {
      " 2 2   total area grid number",
      " 1 2  subfault area ns1,ns2 along strike",
      " 2      subfault area nw1 along dip",
      "   45.0   30.0       sazi,dip",
      " 2 2  10.  1. 2  100. 3  0.  0.  0.  11.",
      " hc,vp,vs,rho,qp,qs",
      "     2.000     4.500     2.600     2.400   200.000   100.000",
      "     0.000     6.000     3.450     2.700   400.000   200.000",
      " xr,yr,zr",
      "  14. -6.  1.",
  };
  ASSERT_GE(ab1.size(), ab1_head.size());
  EXPECT_EQ(std::vector<std::string>(ab1.begin(), ab1.begin() + 10), ab1_head);
  // ...and index 1 the shallower one, which was read second.
  EXPECT_EQ(w_.lines("green/AB1/AB1.3").at(9), "  20.5  0.  0.5");

  // Layer-top depths are written as read; NR as forced to nstati; AW as read.
  const std::vector<std::string> cd2 = w_.lines("green/CD2/CD2.1");
  const std::vector<std::string> cd2_head = {
      " 2 2   total area grid number",
      " 1 2  subfault area ns1,ns2 along strike",
      " 2      subfault area nw1 along dip",
      "   45.0   30.0       sazi,dip",
      " 3 2  10.  1. 2  100. 3  0.  0.  0.  4.",
      " hc,vp,vs,rho,qp,qs",
      "     0.000     4.500     2.600     2.400   200.000   100.000",
      "     3.000     5.500     3.150     2.600   300.000   150.000",
      "     8.000     6.000     3.450     2.700   400.000   200.000",
      " xr,yr,zr",
      " -20.  15.  0.",
  };
  ASSERT_GE(cd2.size(), cd2_head.size());
  EXPECT_EQ(std::vector<std::string>(cd2.begin(), cd2.begin() + 11), cd2_head);
  // The second data set shows the same AW and hc as read, not values converted by the first.
  const std::vector<std::string> cd2_3 = w_.lines("green/CD2/CD2.3");
  EXPECT_EQ(cd2_3.at(4), " 3 2  10.  1. 2  100. 3  0.  0.  0.  9.5");
  EXPECT_EQ(cd2_3.at(6), "     0.000     4.500     2.600     2.400   200.000   100.000");
}

TEST_F(TwoStations, FrequencyGroups) {
  ASSERT_EQ(w_.run().status, 0);
  const std::vector<std::string> lines = w_.lines("green/AB1/AB1.1");
  ASSERT_EQ(lines.size(), 24u);
  // UCONV = 0 never converges: every frequency runs IKMAX + 1 = 4 steps.
  EXPECT_EQ(lines[10], " freq =  0.iter = 4");
  EXPECT_EQ(lines[17], " freq =  0.1iter = 4");
  for (std::size_t first : {11u, 18u}) {
    const std::vector<double> v = spectra(lines, first);
    ASSERT_EQ(v.size(), 36u);
    double largest = 0.0;
    for (double x : v) {
      EXPECT_TRUE(std::isfinite(x));
      largest = std::max(largest, std::fabs(x));
    }
    EXPECT_GT(largest, 0.0) << "a frequency group of zero spectra";
  }
  // The two frequencies give different spectra.
  EXPECT_NE(std::vector<std::string>(lines.begin() + 11, lines.begin() + 17),
            std::vector<std::string>(lines.begin() + 18, lines.begin() + 24));
}

TEST_F(TwoStations, RunReplacesFilesOfAnEarlierRun) {
  w_.write("green/AB1/AB1.1", "left by an earlier run\n");
  ASSERT_EQ(w_.run().status, 0);
  EXPECT_EQ(w_.lines("green/AB1/AB1.1").size(), 24u);
  EXPECT_EQ(w_.lines("green/AB1/AB1.1").at(0), " 2 2   total area grid number");
}

// Spectra depend on the receiver, the source and the model only: the frequency groups of a
// run in which the receiver at r is alone, with source depth zs and the small model.
std::vector<std::string> groups_alone(const Receiver& r, double zs,
                                      const std::string& group = small_group(1)) {
  WorkDir w;
  write_ab1(w, {.nstati = 1, .ns1 = 1, .ns2 = 1}, group, "   1   1   45.0   30.0", {{zs, {r}}});
  const RunOutcome out = w.run();
  EXPECT_EQ(out.status, 0) << out.err;
  return groups_of(w.lines("green/AB1/AB1.1"), 2);
}

TEST_F(ReceiverPacking, OnlyReceiversReadTakePartInIndexOrderAfterDepthOrdering) {
  ctl = {.ndatas = 2, .nstati = 4, .ns1 = 2, .ns2 = 3};
  const Receiver deep{10, 0, 1.0}, shallow{0, 10, 0.5}, a{-5, 5, 0}, b{3, -4, 2.0};
  write_ab1(w, ctl, small_group(2), "   2   1   45.0   30.0",
            {{6.0, {deep, shallow}}, {6.0, {a, b}}});
  const RunOutcome r = w.run();
  ASSERT_EQ(r.status, 0) << r.err;
  // NR is still forced to nstati, with the message, once per data set.
  EXPECT_EQ(count_of(r.out, " nr.ne.nstati\n"), 2);
  // Data set 1 is numbered 2 and 3, data set 2 is numbered 6 and 7.
  EXPECT_EQ(w.entries("green/AB1"), (std::set<std::string>{"AB1.2", "AB1.3", "AB1.6", "AB1.7"}));

  const std::vector<std::string> f2 = w.lines("green/AB1/AB1.2");
  ASSERT_EQ(f2.size(), 24u);
  EXPECT_EQ(f2[0], " 4 2   total area grid number");
  EXPECT_EQ(f2[1], " 2 3  subfault area ns1,ns2 along strike");
  EXPECT_EQ(f2[4], " 2 2  10.  1. 4  100. 3  0.  0.  0.  6.");
  // Index ns1 receives slot 1, the shallower receiver although it was read second.
  EXPECT_EQ(f2[9], "  0.  10.  0.5");
  EXPECT_EQ(w.lines("green/AB1/AB1.3").at(9), "  10.  0.  1.");
  EXPECT_EQ(w.lines("green/AB1/AB1.6").at(9), " -5.  5.  0.");
  EXPECT_EQ(w.lines("green/AB1/AB1.7").at(9), "  3. -4.  2.");

  // Each file carries the spectra of the receiver named in it.
  EXPECT_EQ(groups_of(f2, 2), groups_alone(shallow, 6.0));
  EXPECT_EQ(groups_of(w.lines("green/AB1/AB1.3"), 2), groups_alone(deep, 6.0));
  EXPECT_EQ(groups_of(w.lines("green/AB1/AB1.6"), 2), groups_alone(a, 6.0));
  EXPECT_EQ(groups_of(w.lines("green/AB1/AB1.7"), 2), groups_alone(b, 6.0));
}

TEST_F(ReceiverPacking, EqualDepthsAfterAShallowerOneFollowTheExchangeSort) {
  // Depths 2, 2, 1 end as 1, 2, 2 with the two depth-2 receivers in reverse order.
  write_ab1(w, {.nstati = 3, .ns1 = 1, .ns2 = 3}, small_group(3, 1, 0), "   3   1   45.0   30.0",
            {{6.0, {{1, 0, 2}, {2, 0, 2}, {3, 0, 1}}}});
  ASSERT_EQ(w.run().status, 0);
  EXPECT_EQ(w.lines("green/AB1/AB1.1").at(9), "  3.  0.  1.");
  EXPECT_EQ(w.lines("green/AB1/AB1.2").at(9), "  2.  0.  2.");
  EXPECT_EQ(w.lines("green/AB1/AB1.3").at(9), "  1.  0.  2.");
}

TEST_F(ModelValues, LayerTopDepthsAndThicknessesGiveTheSameSpectra) {
  const Receiver r{12, -4, 0.5};
  ctl = {.nstati = 1, .ns1 = 1, .ns2 = 1, .stations = {"THK", "DEP"}};
  const std::string group =
      " &INPUT NC=3, NFREQ=2, TL=10., AW=1., NR=1, XL=100., IKMAX=3, UCONV=0., XS=0., YS=0. /";
  const std::string sub = subfault_text("   1   1   45.0   30.0", {{4.0, {r}}});
  write_inputs(w, ctl,
               {{"THK",
                 {testing::model_text(group, {"  3.0  4.50  2.60  2.40  200.  100.",
                                              "  5.0  5.50  3.15  2.60  300.  150.",
                                              "  8.0  6.00  3.45  2.70  400.  200."}),
                  sub}},
                {"DEP",
                 {testing::model_text(group, {"  0.0  4.50  2.60  2.40  200.  100.",
                                              "  3.0  5.50  3.15  2.60  300.  150.",
                                              "  8.0  6.00  3.45  2.70  400.  200."}),
                  sub}}});
  ASSERT_EQ(w.run().status, 0);
  const std::vector<std::string> thk = groups_of(w.lines("green/THK/THK.1"), 3);
  ASSERT_EQ(thk.size(), 14u);
  EXPECT_EQ(groups_of(w.lines("green/DEP/DEP.1"), 3), thk);
}

TEST_F(ModelValues, OmittedMembersKeepTheValueLastRead) {
  // Station 1 omits UCONV (zero on the first read); station 2 omits AW and TL, which keep the
  // values read for station 1, not a converted damping.
  ctl = {.nstati = 1, .ns1 = 1, .ns2 = 1, .stations = {"ST1", "ST2"}};
  const std::string sub = subfault_text("   1   1   45.0   30.0", {{6.0, {{12, -4, 0}}}});
  write_inputs(
      w, ctl,
      {{"ST1",
        {testing::model_text(
             " &INPUT NC=2, NFREQ=2, TL=10., AW=1., NR=1, XL=100., IKMAX=3, XS=0., YS=0. /",
             small_layers()),
         sub}},
       {"ST2", {testing::model_text(" &INPUT NC=2 /", small_layers()), sub}}});
  const RunOutcome r = w.run();
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> st1 = w.lines("green/ST1/ST1.1");
  const std::vector<std::string> st2 = w.lines("green/ST2/ST2.1");
  ASSERT_EQ(st1.size(), 24u);
  ASSERT_EQ(st2.size(), 24u);
  EXPECT_EQ(st1[4], " 2 2  10.  1. 1  100. 3  0.  0.  0.  6.");
  EXPECT_EQ(st2[4], st1[4]);
  EXPECT_EQ(groups_of(st2, 2), groups_of(st1, 2));
  EXPECT_EQ(groups_of(st1, 2), groups_alone({12, -4, 0}, 6.0));
}

TEST(FilotEcho, BlankWhenTheFirstNameIsNotBuilt) {
  const std::string blank_line = " filot(1,1)=\n " + std::string(80, ' ') + "\n";
  {
    // Data sets start at index 2: there is no file of index 1.
    WorkDir w;
    write_ab1(w, {.ns1 = 2, .ns2 = 2}, small_group(2, 1, 0), "   1   1   45.0   30.0",
              {{6.0, {{1, 2, 0}}}});
    const RunOutcome r = w.run();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(blank_line), std::string::npos) << r.out;
    EXPECT_EQ(w.entries("green/AB1"), (std::set<std::string>{"AB1.2"}));
  }
  {
    // No data sets: the station's names are echoed and nothing else happens.
    WorkDir w;
    write_inputs(w, {.ndatas = 0}, {{"AB1", {"not read", "not read"}}});
    const RunOutcome r = w.run();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, " ndatas,nstati,nw1,ns1,ns2\n 0 2 1 1 2\n number of stations?\n filin=\n " +
                         padded80("model/strAB1") + "\n fzahyo=\n " + padded80("zahyo/AB1.dat") +
                         "\n" + blank_line);
    EXPECT_TRUE(w.entries("green/AB1").empty());
  }
}

TEST_F(Stations, NoStationsEndsNormally) {
  ctl.stations = {};
  w.write("quenta4.ctl", ctl.text());
  const RunOutcome r = w.run();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, " ndatas,nstati,nw1,ns1,ns2\n 1 2 1 1 2\n number of stations?\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(w.entries("."), (std::set<std::string>{"quenta4.ctl"}));
}

TEST_F(Stations, EightIndicesWithNrFiveAndTheEchoOfTheHeaderColumns) {
  ctl = {.nstati = 8, .nw1 = 3, .ns1 = 1, .ns2 = 8};
  std::vector<Receiver> recs;
  for (int k = 0; k < 8; ++k) recs.push_back({static_cast<double>(k + 1), 1.0, 0.0});
  write_ab1(w, ctl, small_group(5, 1, 0), "   8   3   45.0   30.0", {{6.0, recs}});
  const RunOutcome r = w.run();
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find(" nr.ne.nstati\n nszahy,nwzahy,sazi,dip\n   8   3   45.0   30.0\n"),
            std::string::npos)
      << r.out;
  std::set<std::string> names;
  for (int k = 1; k <= 8; ++k) names.insert("AB1." + std::to_string(k));
  EXPECT_EQ(w.entries("green/AB1"), names);
  const std::vector<std::string> f8 = w.lines("green/AB1/AB1.8");
  ASSERT_EQ(f8.size(), 6u + 2 + 2 + 7);
  EXPECT_EQ(f8[4], " 2 1  10.  1. 8  100. 0  0.  0.  0.  6.");
  EXPECT_EQ(f8[9], "  8.  1.  0.");
  EXPECT_EQ(f8[10], " freq =  0.iter = 1");
}

// Iteration counts and the frequency lines -----------------------------------------------

// Frequency lines of a one-receiver run with the given group.
std::vector<std::string> frequency_lines(const std::string& group, int nfreq) {
  const std::vector<std::string> g = groups_alone({12, -4, 0}, 6.0, group);
  std::vector<std::string> v;
  EXPECT_EQ(g.size(), 7u * static_cast<std::size_t>(nfreq));
  for (std::size_t l = 0; l < g.size(); l += 7) v.push_back(g[l]);
  return v;
}

TEST_F(Iterations, UnconvergedSumsRunToIkmaxPlusOne) {
  EXPECT_EQ(frequency_lines(small_group(1, 3, 50), 3),
            (std::vector<std::string>{" freq =  0.iter = 51", " freq =  0.1iter = 51",
                                      " freq =  0.2iter = 51"}));
  EXPECT_EQ(frequency_lines(small_group(1, 2, 0), 2),
            (std::vector<std::string>{" freq =  0.iter = 1", " freq =  0.1iter = 1"}));
}

TEST_F(Iterations, ConvergedSumsLeaveAfterIndexOneHundredAndOne) {
  const std::string group =
      " &INPUT NC=2, NFREQ=2, TL=10., AW=1., NR=1, XL=100., IKMAX=150, UCONV=1.E30, XS=0., "
      "YS=0. /";
  EXPECT_EQ(frequency_lines(group, 2),
            (std::vector<std::string>{" freq =  0.iter = 101", " freq =  0.1iter = 101"}));
  // With IKMAX at 101 the loop leaves at that index as well.
  const std::string at_limit =
      " &INPUT NC=2, NFREQ=1, TL=10., AW=1., NR=1, XL=100., IKMAX=101, UCONV=1.E30, XS=0., "
      "YS=0. /";
  EXPECT_EQ(frequency_lines(at_limit, 1), (std::vector<std::string>{" freq =  0.iter = 101"}));
}

TEST_F(Iterations, UnconvergedFrequenciesAreReportedOncePerDataSet) {
  // A threshold no sum can meet in three steps; the run still completes.
  ctl.ndatas = 2;
  const std::string group =
      " &INPUT NC=2, NFREQ=2, TL=10., AW=1., NR=2, XL=100., IKMAX=2, UCONV=1.E-30, XS=0., "
      "YS=0. /";
  const std::vector<Receiver> recs = {{1, 2, 0}, {3, 4, 0}};
  write_ab1(w, ctl, group, "   2   1   45.0   30.0", {{6.0, recs}, {7.0, recs}});
  const RunOutcome r = w.run();
  EXPECT_EQ(r.status, 0);
  const std::vector<std::string> err = split_lines(r.err);
  ASSERT_EQ(err.size(), 2u) << r.err;
  EXPECT_NE(err[0].find("data set 1"), std::string::npos) << err[0];
  EXPECT_NE(err[1].find("data set 2"), std::string::npos) << err[1];
  EXPECT_NE(err[0].find("AB1"), std::string::npos) << err[0];
  EXPECT_EQ(w.entries("green/AB1"), (std::set<std::string>{"AB1.1", "AB1.2", "AB1.3", "AB1.4"}));
  EXPECT_EQ(w.lines("green/AB1/AB1.4").at(10), " freq =  0.iter = 3");
}

TEST_F(Iterations, FrequenciesByRepeatedAddition) {
  const std::string group =
      " &INPUT NC=2, NFREQ=4, TL=3., AW=1., NR=1, XL=100., IKMAX=0, UCONV=0., XS=0., YS=0. /";
  EXPECT_EQ(frequency_lines(group, 4),
            (std::vector<std::string>{" freq =  0.iter = 1", " freq =  0.333333333iter = 1",
                                      " freq =  0.666666667iter = 1", " freq =  1.iter = 1"}));
}

TEST_F(Iterations, NoFrequenciesLeaveHeaderAndReceiverBlockOnly) {
  write_ab1(w, ctl, small_group(2, 0, 3), "   2   1   45.0   30.0",
            {{6.0, {{1, 2, 0}, {3, 4, 0}}}});
  ASSERT_EQ(w.run().status, 0);
  const std::vector<std::string> l = w.lines("green/AB1/AB1.2");
  ASSERT_EQ(l.size(), 10u);
  EXPECT_EQ(l[4], " 2 0  10.  1. 2  100. 3  0.  0.  0.  6.");
  EXPECT_EQ(l[9], "  3.  4.  0.");
}

TEST_F(ResultHeader, LongParameterLineContinuesOnASecondLine) {
  ctl = {.nstati = 1, .ns2 = 1};
  const std::string group =
      " &INPUT NC=2, NFREQ=1, TL=12345.6789, AW=1.23456789, NR=1, XL=100.123456, IKMAX=0,"
      " UCONV=0.000123456789, XS=-1234.56789, YS=9876.54321 /";
  write_ab1(w, ctl, group, "   1   1   45.0   30.0", {{12.345678, {{1, 2, 0}}}});
  ASSERT_EQ(w.run().status, 0);
  const std::vector<std::string> l = w.lines("green/AB1/AB1.1");
  ASSERT_EQ(l.size(), 6u + 2 + 2 + 7 + 1);
  EXPECT_EQ(l[4], " 2 1  12345.6789  1.23456789 1  100.123456 0  0.000123456789 -1234.56789");
  EXPECT_EQ(l[5], "  9876.54321  12.345678");
  EXPECT_EQ(l[6], " hc,vp,vs,rho,qp,qs");
}

// Stops -----------------------------------------------------------------------------------

class HeaderMismatch : public ::testing::Test {
 protected:
  // Station OK1 is complete; station BAD declares the wrong grid in its subfault header.
  void write(const std::string& bad_header) {
    const ControlText ctl{.nw1 = 2, .stations = {"OK1", "BAD", "NXT"}};
    const std::string model = testing::model_text(small_group(2), small_layers());
    const auto rows =
        std::vector<std::pair<double, std::vector<Receiver>>>{{6.0, {{1, 2, 0}, {3, 4, 0}}}};
    write_inputs(w_, ctl,
                 {{"OK1", {model, subfault_text("   2   2   45.0   30.0", rows)}},
                  {"BAD", {model, subfault_text(bad_header, rows)}},
                  {"NXT", {model, subfault_text("   2   2   45.0   30.0", rows)}}});
    // Files of an earlier run under the failing station's names.
    w_.write("green/BAD/BAD.1", "complete file of an earlier run\n");
  }
  WorkDir w_;
};

TEST_F(HeaderMismatch, MessageStatusOneAndNoFilesOfTheDataSet) {
  for (const char* header : {"   3   2   45.0   30.0", "   2   1   45.0   30.0"}) {
    SCOPED_TRACE(header);
    write(header);
    const RunOutcome r = w_.run();
    EXPECT_EQ(r.status, 1);
    // One line on standard error names the file and the numbers that disagree.
    EXPECT_EQ(r.err, header[3] == '3'
                         ? "layergreen: zahyo/BAD.dat:1: the header does not match the control "
                           "file: it declares 3 points along strike (columns 1-4) where the "
                           "control file asks for ns2-ns1+1 = 2\n"
                         : "layergreen: zahyo/BAD.dat:1: the header does not match the control "
                           "file: it declares 1 row (columns 5-8) where the control file asks "
                           "for nw1 = 2\n");
    EXPECT_EQ(r.out, " ndatas,nstati,nw1,ns1,ns2\n 1 2 2 1 2\n number of stations?\n" +
                         echo_names("OK1") +
                         " nszahy,nwzahy,sazi,dip\n   2   2   45.0   30.0\n  6.\n"
                         "  1.  2.  0.\n  3.  4.  0.\n" +
                         echo_names("BAD") + " nszahy,nwzahy,sazi,dip\n" + header +
                         "\n nszahyo.ne.(ns2-ns1+1).or.nwzahy.ne.nw1\n");
    // The station before is complete, the failing one keeps the earlier file untouched and
    // gets nothing new, the station after is not reached.
    EXPECT_EQ(w_.entries("green/OK1"), (std::set<std::string>{"OK1.1", "OK1.2"}));
    EXPECT_EQ(w_.lines("green/OK1/OK1.2").size(), 24u);
    EXPECT_EQ(w_.entries("green/BAD"), (std::set<std::string>{"BAD.1"}));
    EXPECT_EQ(w_.read("green/BAD/BAD.1"), "complete file of an earlier run\n");
    EXPECT_TRUE(w_.entries("green/NXT").empty());
  }
}

TEST_F(HeaderMismatch, ProgramExitStatusIsOne) {
  write("   3   2   45.0   30.0");
  const RunOutcome r = w_.run_program();
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("layergreen: zahyo/BAD.dat:1: the header does not match", 0), 0u) << r.err;
  EXPECT_EQ(r.out.substr(r.out.size() - 41), " nszahyo.ne.(ns2-ns1+1).or.nwzahy.ne.nw1\n");
  EXPECT_EQ(w_.entries("green/BAD"), (std::set<std::string>{"BAD.1"}));
}

// The same files for every way of computing them -------------------------------------------

class SameFiles : public ::testing::Test {
 protected:
  // Three receivers at three distances, two rows; nfreq frequencies.
  void write(int nfreq) {
    const ControlText ctl{.ndatas = 2, .nstati = 3, .ns1 = 1, .ns2 = 3};
    const std::vector<Receiver> recs = {{12, -4, 0}, {0, 3, 1.5}, {-7, 7, 0.5}};
    write_ab1(w_, ctl, small_group(3, nfreq, 5), "   3   1   45.0   30.0",
              {{6.0, recs}, {1.0, recs}});
  }
  std::map<std::string, std::string> files() const {
    std::map<std::string, std::string> m;
    for (const std::string& f : w_.entries("green/AB1")) m[f] = w_.read("green/AB1/" + f);
    return m;
  }
  WorkDir w_;
};

TEST_F(SameFiles, ForEveryThreadCount) {
  write(4);
  RunOptions one;
  ASSERT_EQ(w_.run(one).status, 0);
  const auto expected = files();
  ASSERT_EQ(expected.size(), 6u);
  for (int threads : {2, 3, 8}) {
    SCOPED_TRACE(threads);
    RunOptions many;
    many.threads = threads;
    const RunOutcome r = w_.run(many);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(files(), expected);
  }
}

TEST_F(SameFiles, FirstFrequencyAloneOrWithOthers) {
  // A single frequency is computed without the data set's table of Bessel values.
  write(3);
  ASSERT_EQ(w_.run().status, 0);
  const auto three = files();
  write(1);
  ASSERT_EQ(w_.run().status, 0);
  const auto one = files();
  ASSERT_EQ(one.size(), three.size());
  for (const auto& [name, text] : one) {
    SCOPED_TRACE(name);
    const std::vector<std::string> a = groups_of(split_lines(text), 2);
    const std::vector<std::string> b = groups_of(split_lines(three.at(name)), 2);
    ASSERT_EQ(a.size(), 7u);
    ASSERT_EQ(b.size(), 21u);
    EXPECT_EQ(a, std::vector<std::string>(b.begin(), b.begin() + 7));
  }
}

TEST_F(ResultFilesInPlace, AFileThatCannotBePutInPlaceFailsTheWholeDataSet) {
  // Index 2's name is taken by a folder; index 1 holds the complete file of an earlier run.
  write_ab1(w, ctl, small_group(2, 1, 0), "   2   1   45.0   30.0",
            {{6.0, {{1, 2, 0}, {3, 4, 0}}}});
  w.write("green/AB1/AB1.2/keep", "x");
  w.write("green/AB1/AB1.1", "complete file of an earlier run\n");
  const RunOutcome r = w.run();
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
  EXPECT_NE(r.err.find("green/AB1/AB1.2"), std::string::npos) << r.err;
  EXPECT_EQ(w.entries("green/AB1"), (std::set<std::string>{"AB1.1", "AB1.2"}));
  EXPECT_EQ(w.read("green/AB1/AB1.1"), "complete file of an earlier run\n");
}

}  // namespace
}  // namespace lg
