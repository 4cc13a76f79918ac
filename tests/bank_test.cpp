// Banks: configuration errors, fault geometry and offsets, geodesics, the automatic sampling,
// equality with the classic run of the equivalent input files, resuming a killed bank, and
// the constant-Q law.
#include <gtest/gtest.h>
#include <hdf5.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <complex>
#include <csignal>
#include <cstring>
#include <functional>
#include <thread>

#include "bank/bank_config.h"
#include "bank/bank_file.h"
#include "bank/bank_plan.h"
#include "bank/bank_read.h"
#include "bank/bank_run.h"
#include "bank/bank_statics.h"
#include "bank/fault_geometry.h"
#include "bank/geodesy.h"
#include "kernel/anelastic_law.h"
#include "kernel/layout.h"
#include "output/result_format.h"
#include "run/run_lock.h"
#include "test_workdir.h"

namespace lg {
namespace {

using testing::WorkDir;
namespace fs = std::filesystem;
constexpr double kPi = 3.14159265358979323846;

// A small bank configuration, section by section.
struct BankText {
  std::string output = "bank.h5";
  std::string bank_keys;  // further lines of [bank]
  std::string sampling = "nfreq = 8\ntl = 10.0\naw = 1.0\nxl = 200.0\nikmax = 300\nuconv = 1e-3\n";
  std::string model =
      "layers = [\n  [2.0, 4.5, 2.6, 2.4, 200, 100],\n  [0.0, 6.0, 3.45, 2.7, 400, 200],\n]\n";
  std::string fault =
      "top_center = [1.0, 2.0, 1.0]\nstrike = 30.0\ndip = 40.0\nlength = 6.0\nwidth = 4.0\n"
      "n_strike = 3\nn_dip = 2\n";
  std::vector<std::string> stations = {"name = \"NEAR\"\nx = 10.0\ny = 4.0\n",
                                       "name = \"FARAWAY2\"\nx = -5.0\ny = 20.0\n"};

  std::string text() const {
    std::string s = "[bank]\noutput = \"" + output + "\"\n" + bank_keys + "\n[sampling]\n" +
                    sampling + "\n[model]\n" + model + "\n[fault]\n" + fault;
    for (const std::string& st : stations) s += "\n[[station]]\n" + st;
    return s;
  }
};

// Line number (from 1) of the n-th line of `text` that contains `needle`.
int line_of(const std::string& text, const std::string& needle, int n = 1) {
  const std::vector<std::string> lines = testing::split_lines(text);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].find(needle) != std::string::npos && --n == 0) return static_cast<int>(i) + 1;
  }
  return -1;
}

std::string config_error(const std::string& text) {
  try {
    const BankConfig c = parse_bank_config(text, "bank.toml");
    const BankPlan p = plan_bank(c);
    if (c.statics) plan_statics(c, p);
  } catch (const BankError& e) {
    return e.what();
  }
  return "(accepted)";
}

TEST(BankConfig, ErrorsNameFileLineAndKey) {
  struct Case {
    std::function<void(BankText&)> edit;
    std::string needle;  // the n-th line holding it is the one named
    int n;
    std::string message;  // after "bank.toml:<line>: "; "" where only the place is checked
  };
  const Case cases[] = {
      {[](BankText& t) { t.stations.push_back("name = \"THIRD\"\ny = 1.0\n"); }, "[[station]]", 3,
       "station 3: x is missing"},
      // A misspelt key must not be ignored.
      {[](BankText& t) { t.sampling.replace(0, 5, "nfre"); }, "nfre =", 1,
       "sampling: unknown key \"nfre\""},
      {[](BankText& t) { t.sampling.replace(0, 10, "nfreq = 8.5\n"); }, "nfreq", 1,
       "sampling: nfreq must be a whole number"},
      {[](BankText& t) { t.model = "q_law = \"linear\"\n" + t.model; }, "q_law", 1,
       "model: q_law must be \"classic\" or \"constant-q\", not \"linear\""},
      {[](BankText& t) {
         t.model =
             "layers = [\n  [2.0, 4.5, 2.6, 2.4, 200, 100],\n  [0.0, 6.0, 0.0, 2.7, 400, "
             "200],\n]\n";
       },
       "[0.0, 6.0, 0.0", 1,
       "model: layer 2: vs = 0 in the half-space: a fluid half-space is not supported"},
      // Quality factors the classic law's dispersion cannot take, as in a model file.
      {[](BankText& t) {
         t.model =
             "layers = [\n  [2.0, 4.5, 2.6, 2.4, 0.01, 0.01],\n  [0.0, 6.0, 3.45, 2.7, 400, "
             "200],\n]\n";
       },
       "0.01, 0.01", 1,
       "model: layer 1: qp = 0.01 is too small for the highest frequency: the velocity "
       "dispersion would not be finite (it needs more than 0.472)"},
      {[](BankText& t) {
         t.model = "layers = [\n";
         for (int i = 0; i < 129; ++i) t.model += "  [1.0, 6.0, 3.45, 2.7, 400, 200],\n";
         t.model += "]\n";
       },
       "layers", 1, "model: layers has 129 layers; a bank takes at most 128"},
      {[](BankText& t) { t.stations[1] = "name = \"GEO\"\nlat = 40.0\nlon = 140.0\n"; }, "lat =", 1,
       "station 2: lat/lon need [fault] top_center_geo = [lat, lon, depth]"},
      // Names become file names.
      {[](BankText& t) { t.stations[1] = "name = \"X\\u0000one\"\nx = 1.0\ny = 1.0\n"; }, "one", 1,
       "station 2: name holds a control character"},
      {[](BankText& t) { t.stations[1] = "name = \"../../up\"\nx = 1.0\ny = 1.0\n"; }, "up", 1,
       "station 2: name \"../../up\" holds a path separator (names become file names)"},
      {[](BankText& t) { t.stations[1] = "name = \"..\"\nx = 1.0\ny = 1.0\n"; }, "\"..\"", 1,
       "station 2: name \"..\" cannot be a file name"},
      {[](BankText& t) { t.stations[1] = "name = \"NEAR\"\nx = 1.0\ny = 1.0\n"; }, "\"NEAR\"", 2,
       "station 2: name \"NEAR\" is used twice"},
      {[](BankText& t) { t.fault += "rake = 90.0\n"; }, "rake", 1, "fault: unknown key \"rake\""},
      {[](BankText& t) { t.bank_keys = "statics = 1\n"; }, "statics", 1,
       "bank: statics must be true or false"},
      {[](BankText& t) { t.bank_keys = "precision = \"half\"\n"; }, "precision", 1,
       "bank: precision must be \"double\" or \"single\", not \"half\""},
      {[](BankText& t) { t.bank_keys = "compression = \"zip\"\n"; }, "compression", 1,
       "bank: compression must be \"none\" or \"gzip\", not \"zip\""},
      {[](BankText& t) { t.output = "nowhere/bank.h5"; }, "output", 1,
       "bank: output = \"nowhere/bank.h5\": the folder nowhere does not exist"},
      // A station at a subfault on the surface.
      {[](BankText& t) {
         t.bank_keys = "statics = true\n";
         t.fault =
             "top_center = [0.0, 0.0, 0.0]\nstrike = 0.0\ndip = 0.0\nlength = 2.0\nwidth = 2.0\n"
             "n_strike = 1\nn_dip = 1\n";
         t.stations[1] = "name = \"ON\"\nx = 0.0\ny = 1.0\n";
       },
       "[fault]", 1,
       "statics: station ON lies at subfault 1, which is on the surface: its static displacement "
       "is infinite"},
      // TOML itself: a key given twice.
      {[](BankText& t) { t.sampling += "tl = 3.0\n"; }, "tl = 3.0", 1, ""},
  };
  for (const Case& k : cases) {
    BankText t;
    k.edit(t);
    const std::string s = t.text();
    const std::string place = "bank.toml:" + std::to_string(line_of(s, k.needle, k.n)) + ": ";
    SCOPED_TRACE(place + k.message);
    if (k.message.empty()) {
      EXPECT_EQ(config_error(s).rfind(place, 0), 0u) << config_error(s);
    } else {
      EXPECT_EQ(config_error(s), place + k.message);
    }
  }
}

TEST(BankConfig, ProgramReportsOneLineAndStatus2) {
  WorkDir w;
  BankText t;
  t.stations.push_back("name = \"THIRD\"\ny = 1.0\n");
  w.write("bank.toml", t.text());
  const testing::RunOutcome r = w.shell("exec \"$LG\" bank bank.toml >/dev/null");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "layergreen: bank.toml:" + std::to_string(line_of(t.text(), "[[station]]", 3)) +
                       ": station 3: x is missing\n");
  EXPECT_FALSE(w.exists("bank.h5"));
}

// --check reports every problem of the configuration it can find, one line each (status 2),
// and a subfault list that cannot be read with the line and key that name it.
TEST(BankConfig, CheckReportsEveryProblem) {
  WorkDir w;
  BankText t;
  t.sampling.replace(0, 10, "nfreq = 8.5\n");
  t.fault += "rake = 90.0\n";
  t.stations.push_back("name = \"THIRD\"\ny = 1.0\n");
  t.stations.push_back("name = \"FOURTH\"\n");
  const auto check = [&](const BankText& text) {
    w.write("bank.toml", text.text());
    BankOptions o;
    o.config = w.at("bank.toml").string();
    o.check = true;
    std::ostringstream out, err;
    EXPECT_EQ(run_bank(o, out, err), 2);
    return err.str();
  };
  const std::string s = t.text(), at = "layergreen: " + w.at("bank.toml").string() + ":";
  EXPECT_EQ(check(t),
            at + std::to_string(line_of(s, "nfreq")) +
                ": sampling: nfreq must be a whole number\n" + at +
                std::to_string(line_of(s, "rake")) + ": fault: unknown key \"rake\"\n" + at +
                std::to_string(line_of(s, "[[station]]", 3)) + ": station 3: x is missing\n" + at +
                std::to_string(line_of(s, "[[station]]", 4)) + ": station 4: x is missing\n");
  BankText u;
  u.fault = "subfaults = \"missing.csv\"\n";
  const std::string csv = w.at("missing.csv").string();
  EXPECT_EQ(check(u), at + std::to_string(line_of(u.text(), "subfaults")) +
                          ": fault: subfaults = \"" + csv + "\": " + csv +
                          ": cannot open: No such file or directory\n");
}

// What a moment needs: the subfaults' areas (a rectangle's cells, a list's area column) and
// the rigidity of the layer holding each centre, the layer below on an interface.
TEST(BankPlan, AreasAndRigidityForMoments) {
  const BankPlan rect = plan_bank(parse_bank_config(BankText().text(), "bank.toml"));
  ASSERT_TRUE(rect.fault.has_area);
  for (const Subfault& f : rect.fault.subfaults) EXPECT_DOUBLE_EQ(f.area, 2.0 * 2.0);
  WorkDir w;
  w.write("sf.csv", "x,y,depth,area\n0,0,1,2.5\n1,0,2,3\n0,1,3,4\n");
  BankText t;
  t.fault = "subfaults = \"sf.csv\"\n";
  w.write("bank.toml", t.text());
  const BankConfig c = read_bank_config(w.at("bank.toml").string());
  const BankPlan p = plan_bank(c);
  ASSERT_TRUE(p.fault.has_area);
  EXPECT_EQ(p.fault.subfaults[1].area, 3.0);
  std::size_t on_interface = 0;
  // Depth 2 is the first layer's bottom: the layer below.
  EXPECT_EQ(subfault_rigidity(c, p, &on_interface),
            (std::vector<double>{2.4 * 2.6 * 2.6, 2.7 * 3.45 * 3.45, 2.7 * 3.45 * 3.45}));
  EXPECT_EQ(on_interface, 1u);
  EXPECT_NE(plan_summary(c, p, 1).find("1 subfault centre lies on a layer interface"),
            std::string::npos);
  EXPECT_FALSE(listed_subfaults("x,y,depth\n0,0,1\n", "sf.csv").has_area);
}

TEST(BankConfig, TheExampleBank) {
  const BankConfig c = read_bank_config(std::string(LAYERGREEN_EXAMPLES) + "/bank/bank.toml");
  const BankPlan p = plan_bank(c);
  EXPECT_EQ(c.layers.size(), 7u);
  EXPECT_EQ(p.stations.size(), 5u);
  EXPECT_EQ(p.subfault_count(), 40u);
  EXPECT_EQ(p.data_sets.size(), 20u);
  EXPECT_EQ(c.output, std::string(LAYERGREEN_EXAMPLES) + "/bank/bank.h5");
  EXPECT_FALSE(c.xl.has_value());  // "auto"
  EXPECT_EQ(p.choices.size(), 2u);
}

TEST(BankGeometry, RectangleCentresRowsAndNumbers) {
  FaultSpec f;
  f.top_center = {1.0, 2.0, 1.0};
  f.strike = 30.0;
  f.dip = 40.0;
  f.length = 6.0;
  f.width = 4.0;
  f.n_strike = 3;
  f.n_dip = 2;
  const FaultGrid g = rectangle_subfaults(f);
  ASSERT_EQ(g.subfaults.size(), 6u);
  ASSERT_EQ(g.rows.size(), 2u);
  const double sd = std::sin(40.0 * kPi / 180.0);
  double cx = 0.0, cy = 0.0, cz = 0.0;
  for (std::size_t n = 0; n < 6; ++n) {
    const Subfault& s = g.subfaults[n];
    // number s = (j-1)*n_strike + i
    EXPECT_EQ(static_cast<int>(n) + 1, (s.row - 1) * 3 + s.along_strike);
    EXPECT_EQ(
        g.rows[static_cast<std::size_t>(s.row - 1)][static_cast<std::size_t>(s.along_strike - 1)],
        static_cast<int>(n));
    // rows at the depth of their centre line, down the dip
    EXPECT_NEAR(s.depth, 1.0 + (s.row - 0.5) * 2.0 * sd, 1e-12);
    cx += s.x / 6;
    cy += s.y / 6;
    cz += s.depth / 6;
  }
  // Neighbours along strike are length/n_strike apart in the strike direction.
  const Subfault& a = g.subfaults[0];
  const Subfault& b = g.subfaults[1];
  EXPECT_NEAR(b.x - a.x, 2.0 * std::cos(30.0 * kPi / 180.0), 1e-12);
  EXPECT_NEAR(b.y - a.y, 2.0 * std::sin(30.0 * kPi / 180.0), 1e-12);
  // Down dip to the right of the strike: the centre of the fault lies half the width down the
  // dip direction, whose horizontal part points at strike + 90 degrees.
  const double h = 2.0 * std::cos(40.0 * kPi / 180.0);
  EXPECT_NEAR(cx, 1.0 + h * std::cos(120.0 * kPi / 180.0), 1e-12);
  EXPECT_NEAR(cy, 2.0 + h * std::sin(120.0 * kPi / 180.0), 1e-12);
  EXPECT_NEAR(cz, 1.0 + 2.0 * sd, 1e-12);
}

TEST(BankGeometry, OffsetsDistancesAzimuths) {
  BankText t;
  t.stations = {"name = \"E\"\nx = 1.0\ny = 30.0\n", "name = \"N\"\nx = 40.0\ny = 2.0\n"};
  const BankConfig c = parse_bank_config(t.text(), "bank.toml");
  const BankPlan p = plan_bank(c);
  ASSERT_EQ(p.data_sets.size(), 4u);  // 2 stations x 2 rows
  for (int s = 0; s < 2; ++s) {
    for (int n = 0; n < 6; ++n) {
      const std::size_t i = p.at(s, n);
      const Subfault& sf = p.fault.subfaults[static_cast<std::size_t>(n)];
      EXPECT_DOUBLE_EQ(p.dx[i], p.stations[static_cast<std::size_t>(s)].x - sf.x);
      EXPECT_DOUBLE_EQ(p.dy[i], p.stations[static_cast<std::size_t>(s)].y - sf.y);
      EXPECT_NEAR(p.distance[i] * std::cos(p.azimuth[i] * kPi / 180.0), p.dx[i], 1e-9);
      EXPECT_NEAR(p.distance[i] * std::sin(p.azimuth[i] * kPi / 180.0), p.dy[i], 1e-9);
    }
  }
  // A station east of the fault is at an azimuth near 90 degrees, one north near 0 or 360.
  EXPECT_NEAR(p.azimuth[p.at(0, 0)], 90.0, 15.0);
  EXPECT_LT(std::min(p.azimuth[p.at(1, 0)], 360.0 - p.azimuth[p.at(1, 0)]), 15.0);
  // The data set's request: the row's subfaults as surface receivers at the offsets.
  const SpectraRequest q = data_set_request(c, p, p.data_sets[1]);
  ASSERT_EQ(q.x.size(), 3u);
  EXPECT_DOUBLE_EQ(q.source_depth, p.fault.subfaults[3].depth);
  EXPECT_DOUBLE_EQ(q.x[2], p.dx[p.at(0, 5)]);
  EXPECT_DOUBLE_EQ(q.depth[2], 0.0);
}

TEST(BankGeometry, SubfaultListRowsAndErrors) {
  const FaultGrid g = listed_subfaults("depth,x,y\n5,0,0\n3,1,0\n5,2,0\n3,3,1\n", "sf.csv");
  ASSERT_EQ(g.rows.size(), 2u);
  EXPECT_EQ(g.rows[0], (std::vector<int>{1, 3}));  // depth 3 first, file order within
  EXPECT_EQ(g.rows[1], (std::vector<int>{0, 2}));
  EXPECT_EQ(g.subfaults[3].row, 1);
  EXPECT_EQ(g.subfaults[3].along_strike, 2);
  EXPECT_FALSE(g.oriented);
  auto error = [](const std::string& text) {
    try {
      listed_subfaults(text, "sf.csv");
    } catch (const BankError& e) {
      return std::string(e.what());
    }
    return std::string("(accepted)");
  };
  EXPECT_EQ(error("x,y,depth\n1,2,3\n1,2,x3\n"), "sf.csv:3: depth: cannot read \"x3\" as a number");
  EXPECT_EQ(error("x,y,deep\n"),
            "sf.csv:1: unknown column \"deep\" (the header names x, y, depth, and optionally "
            "strike, dip, area)");
  EXPECT_EQ(error("x,y,depth\n1,2\n"), "sf.csv:2: 2 values where the header names 3");
  // A byte-order mark is skipped; control bytes in messages are shown escaped.
  EXPECT_EQ(listed_subfaults("\xef\xbb\xbfx,y,depth\n1,2,3\n", "sf.csv").subfaults.size(), 1u);
  EXPECT_EQ(error(std::string("x,y,depth\n1,2,\0"
                              "3\n",
                              17)),
            "sf.csv:2: depth: cannot read \"\\03\" as a number");
}

// GeographicLib's own test values (its geodesic tests and documentation: JFK to CDG and
// to LHR on WGS84).
TEST(BankGeodesy, GeographicLibTestValues) {
  const GeodesicLeg cdg = geodesic_leg({40.6, -73.8}, {49.01666667, 2.55});
  EXPECT_NEAR(cdg.azimuth_deg, 53.47022, 0.5e-5);
  EXPECT_NEAR(cdg.distance_km, 5853.226, 0.5e-3);
  const GeoPoint p = geodesic_destination({40.63972222, -73.77888889}, 53.5, 5850.0);
  EXPECT_NEAR(p.lat, 49.01467, 0.5e-5);
  EXPECT_NEAR(p.lon, 2.56106, 0.5e-5);
  const GeodesicLeg lhr = geodesic_leg({40.6, -73.8}, {51.6, -0.5});
  EXPECT_NEAR(lhr.distance_km, 5551.76, 0.005);

  // Stations by lat/lon: local coordinates and the distances from each subfault on the
  // ellipsoid.
  BankText t;
  t.fault.replace(0, t.fault.find('\n'), "top_center_geo = [35.0, 139.0, 1.0]");
  t.stations[1] = "name = \"GEO\"\nlat = 35.2\nlon = 139.1\n";
  const BankPlan plan = plan_bank(parse_bank_config(t.text(), "bank.toml"));
  const StationPlace& st = plan.stations[1];
  const GeodesicLeg o = geodesic_leg({35.0, 139.0}, {35.2, 139.1});
  EXPECT_NEAR(std::hypot(st.x, st.y), o.distance_km, 1e-9);
  for (int n = 0; n < 6; ++n) {
    const Subfault& sf = plan.fault.subfaults[static_cast<std::size_t>(n)];
    const GeoPoint g = to_geo({35.0, 139.0}, LocalPoint{sf.x, sf.y});
    const GeodesicLeg l = geodesic_leg(g, {35.2, 139.1});
    EXPECT_NEAR(plan.distance[plan.at(1, n)], l.distance_km, 1e-9);
    EXPECT_NEAR(plan.azimuth[plan.at(1, n)], l.azimuth_deg, 1e-9);
  }
}

TEST(BankPlan, AutoSamplingSatisfiesTheSamplingRules) {
  BankText t;
  t.sampling = "nfreq = 16\ntl = 20.0\naw = 1.0\nxl = \"auto\"\nikmax = \"auto\"\n";
  for (const char* uconv : {"", "uconv = 1e-4\n"}) {
    BankText u = t;
    u.sampling += uconv;
    const BankConfig c = parse_bank_config(u.text(), "bank.toml");
    {
      const BankPlan p = plan_bank(c);
      const SamplingBounds b = sampling_bounds(c, p);
      const SamplingValues v = sampling_values(c, p);
      for (const SamplingWarning& w : sampling_warnings(b, v)) {
        EXPECT_EQ(w.member, "TL") << w.text;  // tl is the user's; xl and ikmax must hold
      }
      // Rounded up to two digits, no more.
      EXPECT_LT(p.xl, 1.2 * 1.1 * (b.r_max + 6.0 * 20.0));
      EXPECT_LT(p.ikmax, 1.1 * ikmax_needed(b, v));
      ASSERT_EQ(p.choices.size(), 2u);
      EXPECT_NE(p.choices[0].find("largest distance"), std::string::npos);
      EXPECT_NE(p.choices[1].find("ln(100 / "), std::string::npos) << p.choices[1];
    }
  }
}

// Reads the spectra and iteration counts of a bank file.
struct BankData {
  std::vector<Cx> spectra;
  std::vector<int> iterations;
};
BankData read_bank(const std::string& path) {
  BankData d;
  const hid_t f = H5Fopen(path.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
  EXPECT_GE(f, 0) << path;
  if (f < 0) return d;
  const hid_t t = H5Tcreate(H5T_COMPOUND, sizeof(Cx));
  H5Tinsert(t, "r", HOFFSET(Cx, re), H5T_NATIVE_DOUBLE);
  H5Tinsert(t, "i", HOFFSET(Cx, im), H5T_NATIVE_DOUBLE);
  const hid_t s = H5Dopen2(f, "spectra", H5P_DEFAULT);
  const hid_t i = H5Dopen2(f, "iterations", H5P_DEFAULT);
  const hid_t ss = H5Dget_space(s), is = H5Dget_space(i);
  d.spectra.resize(static_cast<std::size_t>(H5Sget_simple_extent_npoints(ss)));
  d.iterations.resize(static_cast<std::size_t>(H5Sget_simple_extent_npoints(is)));
  EXPECT_GE(H5Dread(s, t, H5S_ALL, H5S_ALL, H5P_DEFAULT, d.spectra.data()), 0);
  EXPECT_GE(H5Dread(i, H5T_NATIVE_INT, H5S_ALL, H5S_ALL, H5P_DEFAULT, d.iterations.data()), 0);
  H5Sclose(ss);
  H5Sclose(is);
  H5Dclose(s);
  H5Dclose(i);
  H5Tclose(t);
  H5Fclose(f);
  return d;
}

// An integer attribute of a bank file's root (-1 when it cannot be read).
long long root_count(const std::string& path, const char* name) {
  long long v = -1;
  const hid_t f = H5Fopen(path.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
  const hid_t a = f >= 0 ? H5Aopen(f, name, H5P_DEFAULT) : -1;
  if (a < 0 || H5Aread(a, H5T_NATIVE_LLONG, &v) < 0) v = -1;
  if (a >= 0) H5Aclose(a);
  if (f >= 0) H5Fclose(f);
  return v;
}

// Runs `layergreen bank` in-process with the folder of `config` as working directory.
int bank(const WorkDir& w, BankOptions o, std::string* out = nullptr) {
  o.config = w.at("bank.toml").string();
  std::ostringstream so, se;
  const int status = run_bank(o, so, se);
  if (out != nullptr) *out = so.str() + se.str();
  EXPECT_EQ(status, 0) << se.str();
  return status;
}

// A bank whose sampling breaks the rules is warned about by --check (status 1) and before
// the run, and a run whose sums do not converge says so, counting them, as a classic run does.
TEST(BankRun, WarnsOfBrokenSamplingAndUnconvergedSums) {
  BankText t;
  t.sampling = "nfreq = 4\ntl = 10.0\naw = 1.0\nxl = 200.0\nikmax = 120\nuconv = 1e-6\n";
  WorkDir w;
  w.write("bank.toml", t.text());
  BankOptions o;
  o.config = w.at("bank.toml").string();
  o.check = true;
  std::ostringstream out, err;
  EXPECT_EQ(run_bank(o, out, err), 1);
  EXPECT_NE(err.str().find(o.config + ": sampling: IKMAX = 120 reaches"), std::string::npos)
      << err.str();
  EXPECT_FALSE(fs::exists(w.at("bank.h5")));
  // Each rule broken: one warning each; --strict refuses to start.
  BankText each = t;
  each.sampling = "nfreq = 4\ntl = 8.0\naw = 1.0\nxl = 30.0\nikmax = 12\nuconv = 1e-6\n";
  w.write("bank.toml", each.text());
  err.str("");
  EXPECT_EQ(run_bank(o, out, err), 1);
  for (const char* rule : {": sampling: TL = 8 is too short", ": sampling: XL = 30 is too short",
                           ": sampling: IKMAX = 12 reaches"}) {
    EXPECT_NE(err.str().find(o.config + rule), std::string::npos) << err.str();
  }
  // Surface waves wrap round only at the far station: the warning says where.
  EXPECT_NE(err.str().find("; broken at FARAWAY2 (every row) (2 of 4 data sets)\n"),
            std::string::npos)
      << err.str();
  const std::string warned = err.str();
  EXPECT_EQ(std::count(warned.begin(), warned.end(), '\n'), 3) << warned;
  o.check = false;
  o.strict = true;
  err.str("");
  EXPECT_EQ(run_bank(o, out, err), 2);
  EXPECT_NE(err.str().find(": --strict: the sampling breaks 3 rules"), std::string::npos)
      << err.str();
  EXPECT_FALSE(w.exists("bank.h5") || w.exists("bank.h5.journal"));
  w.write("bank.toml", t.text());
  std::string said;
  ASSERT_EQ(bank(w, BankOptions{}, &said), 0);
  // 2 stations x 2 rows, 4 frequencies: counted by station and row, and in the file.
  EXPECT_NE(said.find("bank.h5: 16 of 16 sums (data set x frequency) in 4 of 4 data sets "
                      "reached ikmax = 120 without converging (highest frequency 0.3); the "
                      "sampling rules ask for ikmax >= "),
            std::string::npos)
      << said;
  EXPECT_NE(said.find("; by station and row: NEAR row 1: 4, NEAR row 2: 4, FARAWAY2 row 1: 4, "
                      "FARAWAY2 row 2: 4\n"),
            std::string::npos)
      << said;
  EXPECT_EQ(root_count(w.at("bank.h5").string(), "sums_unconverged"), 16);
  EXPECT_EQ(root_count(w.at("bank.h5").string(), "data_sets"), 4);
  const BankData d = read_bank(w.at("bank.h5").string());
  EXPECT_EQ(std::count(d.iterations.begin(), d.iterations.end(), 121), 16);
  // A record length no computation survives: every spectrum is NaN, and the run says so.
  fs::remove(w.at("bank.h5"));
  t.sampling = "nfreq = 2\ntl = 1e30\naw = 1.0\nxl = 200.0\nikmax = 120\nuconv = 1e-3\n";
  w.write("bank.toml", t.text());
  ASSERT_EQ(bank(w, BankOptions{}, &said), 0);
  EXPECT_NE(said.find("bank.h5: the spectra of 8 of 8 sums (data set x frequency) in 4 of 4 data "
                      "sets are not finite numbers (first at frequency 0)"),
            std::string::npos)
      << said;
}

// Hostile inputs get one line and status 2, and nothing of theirs is replaced: a folder or a
// pipe as configuration or subfault list, an output that is an input, a journal that is a link, a
// second run of the same bank. A subfault list belongs to the journal's identity.
TEST(BankRun, HostileInputsGetOneLineAndNothingIsReplaced) {
  WorkDir w;
  const std::string csv = "x,y,depth\n0,0,2\n1,0,2\n0,1,4\n";
  BankText t;
  t.sampling = "nfreq = 8\ntl = 20.0\naw = 1.0\nxl = 200.0\nikmax = 300\nuconv = 1e-3\n";
  t.fault = "subfaults = \"sf.csv\"\n";
  w.write("sf.csv", csv);
  w.mkdir("folder.toml");
  w.mkdir("dir.csv");
  auto refused = [&](const std::string& config, const std::string& says) {
    std::ostringstream out, err;
    BankOptions o;
    o.config = w.at(config).string();
    EXPECT_EQ(run_bank(o, out, err), 2) << config;
    const std::string said = err.str();
    EXPECT_NE(said.find(says), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  };
  refused("folder.toml", "folder.toml: cannot open: not a regular file (a folder)");
  ASSERT_EQ(::mkfifo(w.at("fifo.toml").c_str(), 0644), 0);  // would block when read
  refused("fifo.toml", "fifo.toml: cannot open: not a regular file (a device, pipe or socket)");
  BankText u = t;
  u.fault = "subfaults = \"dir.csv\"\n";
  w.write("bank.toml", u.text());
  refused("bank.toml", "dir.csv: cannot open: not a regular file (a folder)");
  for (const char* output : {"bank.toml", "sf.csv", "./sf.csv.journal/../sf.csv"}) {
    u = t;
    u.output = output;
    w.write("bank.toml", u.text());
    refused("bank.toml", "would overwrite the ");
    EXPECT_EQ(w.read("sf.csv"), csv);
  }
  EXPECT_EQ(w.read("bank.toml"), u.text());
  // A journal planted as a link to a file outside: refused, the target not created.
  w.write("bank.toml", t.text());
  fs::create_symlink(w.at("elsewhere"), w.at("bank.h5.journal"));
  refused("bank.toml",
          "bank.h5.journal: cannot use it as the journal: not a regular file (a "
          "symbolic link)");
  EXPECT_FALSE(w.exists("elsewhere"));
  fs::remove(w.at("bank.h5.journal"));
  // Another process computing the bank holds its lock.
  const pid_t holder = ::fork();
  if (holder == 0) {
    const RunLock lock(lock_path(w.at("bank.h5").string()), "this bank");
    ::pause();
    ::_exit(0);
  }
  for (int i = 0; i < 500 && !w.exists("bank.h5.lock"); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  refused("bank.toml", "bank.h5.lock: another run (process " + std::to_string(holder) +
                           ") is working on this bank; wait until it ends");
  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);
  EXPECT_FALSE(w.exists("bank.h5"));
  // A journal without a finished data set (here a torn header) is started afresh, with
  // --resume as without.
  w.write("bank.h5.journal", "LGJ");
  BankOptions resume;
  resume.resume = true;
  EXPECT_EQ(bank(w, resume), 0);
  EXPECT_TRUE(w.exists("bank.h5"));
  // The journal's identity covers the subfaults listed, not only the configuration's text.
  std::ostringstream err;
  const std::uint64_t key = setup_bank(w.at("bank.toml").string(), err)->shape.key;
  w.write("sf.csv", "x,y,depth\n0,0,2\n1,0,2\n0,2,4\n");
  EXPECT_NE(setup_bank(w.at("bank.toml").string(), err)->shape.key, key);
}

// The bank's spectra are the classic run's to every printed digit, with the same iteration
// counts, for the classic input files --classic writes.
TEST(BankRun, EqualsClassicRunOfEquivalentFiles) {
  WorkDir w;
  w.write("bank.toml", BankText().text());
  BankOptions o;
  o.classic_dir = w.at("classic").string();
  ASSERT_EQ(bank(w, o), 0);
  o.classic_dir.clear();
  std::string printed;
  ASSERT_EQ(bank(w, o, &printed), 0);
  EXPECT_NE(printed.find("data sets: 4"), std::string::npos) << printed;
  EXPECT_FALSE(w.exists("bank.h5.journal"));

  const testing::RunOutcome classic =
      w.inside([](std::ostream& out, std::ostream& err) { return lg::run(RunOptions{}, out, err); },
               "classic");
  ASSERT_EQ(classic.status, 0) << classic.err;
  const BankData d = read_bank(w.at("bank.h5").string());
  const std::vector<std::string> codes = {"S01", "S02"};  // names not of 3 characters
  const std::size_t nq = 8, nsub = 6, nrow = 2;
  constexpr std::size_t values = lg::kElementComponents;
  ASSERT_EQ(d.spectra.size(), 2 * nsub * nq * values);
  bool iterations_vary = false;
  for (std::size_t s = 0; s < 2; ++s) {
    for (std::size_t n = 0; n < nsub; ++n) {
      const std::size_t row = n / 3;
      std::string groups;
      double freq = 0.0;
      for (std::size_t f = 0; f < nq; ++f) {
        ReceiverSpectra u{};
        for (std::size_t e = 0; e < lg::kElements; ++e) {
          for (std::size_t k = 0; k < lg::kComponents; ++k)
            u[e][k] = d.spectra[((s * nsub + n) * nq + f) * values + e * lg::kComponents + k];
        }
        const int it = d.iterations[(s * nrow + row) * nq + f];
        iterations_vary = iterations_vary || it != d.iterations[(s * nrow + row) * nq];
        groups += frequency_group(freq, it, u);
        freq += 1.0 / 10.0;
      }
      const std::string file =
          w.read("classic/green/" + codes[s] + "/" + codes[s] + "." + std::to_string(n + 1));
      ASSERT_GT(file.size(), groups.size());
      EXPECT_EQ(file.substr(file.size() - groups.size()), groups)
          << "station " << s << ", subfault " << n + 1;
    }
  }
  EXPECT_TRUE(iterations_vary);  // the convergence test took part
}

// Beyond the classic limits: more subfaults per row than 30 and more layers than 20; the
// classic files cannot hold such a bank.
TEST(BankRun, BeyondTheClassicLimits) {
  BankText t;
  t.sampling = "nfreq = 2\ntl = 10.0\naw = 1.0\nxl = 200.0\nikmax = 20\n";
  t.model = "layers = [\n";
  for (int i = 0; i < 25; ++i) t.model += "  [0.5, 4.5, 2.6, 2.4, 200, 100],\n";
  t.model += "]\n";
  t.fault =
      "top_center = [0.0, 0.0, 1.0]\nstrike = 0.0\ndip = 45.0\nlength = 35.0\nwidth = 2.0\n"
      "n_strike = 35\nn_dip = 1\n";
  t.stations.resize(1);
  WorkDir w;
  w.write("bank.toml", t.text());
  ASSERT_EQ(bank(w, BankOptions{}), 0);
  const BankData d = read_bank(w.at("bank.h5").string());
  constexpr std::size_t values = lg::kElementComponents;
  EXPECT_EQ(d.spectra.size(), 35u * 2 * values);
  EXPECT_NE(d.spectra[(34 * 2 + 1) * values + 2].re, 0.0);  // subfault 35, frequency 1, xy, z
  // h5py (Debian's python3-h5py) reads the spectra as complex numbers.
  const std::string py = "/usr/bin/python3 -c \"import h5py; f = h5py.File('" +
                         w.at("bank.h5").string() +
                         "', 'r'); s = f['spectra']; print(s.dtype, s.shape, "
                         "f['stations/name'].asstr()[0], f['model/layers'].attrs['q_law'])\" > '" +
                         w.at("py.txt").string() + "' 2>&1";
  if (std::system(py.c_str()) == 0) {
    EXPECT_EQ(w.read("py.txt"), "complex128 (1, 35, 2, 6, 3) NEAR classic\n");
  } else {
    ADD_FAILURE() << "h5py could not read the bank (scripts/setup installs python3-h5py): "
                  << w.read("py.txt");
  }
  BankOptions o;
  o.config = w.at("bank.toml").string();
  o.classic_dir = w.at("classic").string();
  std::ostringstream out, err;
  EXPECT_EQ(run_bank(o, out, err), 2);
  EXPECT_EQ(err.str(), "layergreen: " + o.config +
                           ": --classic: 35 subfaults per row exceed the classic limit of 30\n");
}

// A bank killed after some data sets resumes to the same file as an uninterrupted run.
TEST(BankRun, ResumesAfterKillToTheSameFile) {
  BankText t;
  t.sampling = "nfreq = 32\ntl = 10.0\naw = 1.0\nxl = 200.0\nikmax = 2500\nuconv = 0\n";
  t.stations.push_back("name = \"C\"\nx = 3.0\ny = -12.0\n");
  t.stations.push_back("name = \"D\"\nx = -9.0\ny = -1.0\n");
  WorkDir whole, killed;
  whole.write("bank.toml", t.text());
  killed.write("bank.toml", t.text());
  BankOptions o;
  ASSERT_EQ(bank(whole, o), 0);

  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (std::freopen("/dev/null", "w", stdout) == nullptr) ::_exit(126);
    const std::string config = killed.at("bank.toml").string();
    ::execl(LAYERGREEN_EXE, LAYERGREEN_EXE, "bank", config.c_str(), "--threads", "1", "--sweep",
            "2", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  // Kill it once the first data set is complete in the journal (a record being written does
  // not count: the resumed run cuts it off).
  std::ostringstream setup_err;
  const std::optional<BankSetup> setup = setup_bank(killed.at("bank.toml").string(), setup_err);
  ASSERT_TRUE(setup) << setup_err.str();
  const auto recorded = [&] {
    int n = 0;
    try {
      read_journal(killed.at("bank.h5.journal").string(), setup->shape,
                   [&](const JournalRecord&) { ++n; });
    } catch (const std::runtime_error&) {
      // Not there yet.
    }
    return n;
  };
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (std::chrono::steady_clock::now() < deadline && recorded() == 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the run ended before it could be killed";
  EXPECT_FALSE(killed.exists("bank.h5"));

  // Without --resume the journal is kept and the run refused.
  BankOptions again;
  again.config = killed.at("bank.toml").string();
  std::ostringstream ignored, err;
  EXPECT_EQ(run_bank(again, ignored, err), 2);
  EXPECT_NE(err.str().find("--resume"), std::string::npos) << err.str();
  again.resume = true;
  std::string printed;
  ASSERT_EQ(bank(killed, again, &printed), 0);
  EXPECT_NE(printed.find("resuming: "), std::string::npos);
  EXPECT_EQ(printed.find("resuming: 0 of"), std::string::npos) << printed;
  EXPECT_TRUE(killed.read("bank.h5") == whole.read("bank.h5"));
  EXPECT_FALSE(killed.exists("bank.h5.journal"));
}

// --update grows a bank (here in single precision, compressed) by stations into the file a
// run of the whole configuration writes, from the finished bank and from the journal of an
// unfinished run; any other change is refused naming it, and the plain run and --resume point
// to --update for a journal of the smaller configuration.
TEST(BankRun, UpdateGrowsABankAsAFreshRunWould) {
  BankText t;
  t.bank_keys = "precision = \"single\"\ncompression = \"gzip\"\n";
  BankText more = t;
  more.stations.insert(more.stations.begin() + 1, "name = \"MID\"\nx = 4.0\ny = -6.0\n");
  WorkDir grown, fresh, partial;
  grown.write("bank.toml", t.text());
  ASSERT_EQ(bank(grown, BankOptions{}), 0);
  fresh.write("bank.toml", more.text());
  ASSERT_EQ(bank(fresh, BankOptions{}), 0);
  const BankData whole = read_bank(fresh.at("bank.h5").string());
  const auto same_as_whole = [&](const WorkDir& w) {
    EXPECT_TRUE(w.read("bank.h5") == fresh.read("bank.h5"));  // the same bytes, even
    const BankData d = read_bank(w.at("bank.h5").string());
    EXPECT_TRUE(d.iterations == whole.iterations);
    EXPECT_EQ(0,
              std::memcmp(d.spectra.data(), whole.spectra.data(), d.spectra.size() * sizeof(Cx)));
    EXPECT_EQ(d.spectra.size(), whole.spectra.size());
  };
  const auto run = [](const WorkDir& w, bool resume, bool update, std::string& said) {
    BankOptions o;
    o.config = w.at("bank.toml").string();
    o.resume = resume;
    o.update = update;
    std::ostringstream out, err;
    const int status = run_bank(o, out, err);
    said = out.str() + err.str();
    return status;
  };
  std::string said;
  BankText other = more;
  other.sampling.replace(other.sampling.find("tl = 10.0"), 9, "tl = 12.0");
  grown.write("bank.toml", other.text());
  EXPECT_EQ(run(grown, false, true, said), 2);
  EXPECT_NE(said.find("--update: " + grown.at("bank.toml").string() +
                      " differs from the configuration the bank was computed with by more than "
                      "added [[station]] tables: [sampling] tl: 10 in the bank, 12 now"),
            std::string::npos)
      << said;
  grown.write("bank.toml", more.text());
  ASSERT_EQ(run(grown, false, true, said), 0) << said;
  EXPECT_NE(said.find("updating: 4 of 6 data sets taken from "), std::string::npos) << said;
  EXPECT_NE(said.find("(new: MID)"), std::string::npos) << said;
  same_as_whole(grown);
  EXPECT_EQ(run(grown, false, true, said), 0);
  EXPECT_NE(said.find("already holds every station"), std::string::npos) << said;

  // The journal of an unfinished run of the smaller configuration.
  partial.write("bank.toml", t.text());
  std::ostringstream ignored;
  {
    const std::optional<BankSetup> s = setup_bank(partial.at("bank.toml").string(), ignored);
    ASSERT_TRUE(s);
    std::vector<int> todo;
    const std::unique_ptr<JournalWriter> journal = open_journal(*s, false, todo);
    journal->append(compute_data_set(*s, todo.back(), 1, {}));
  }
  partial.write("bank.toml", more.text());
  EXPECT_EQ(run(partial, false, false, said), 2);
  EXPECT_NE(said.find("continue it with --update"), std::string::npos) << said;
  EXPECT_EQ(run(partial, true, false, said), 2);
  EXPECT_NE(said.find("continue it with --update"), std::string::npos) << said;
  ASSERT_EQ(run(partial, false, true, said), 0) << said;
  EXPECT_NE(said.find("updating: 1 of 6 data sets taken from "), std::string::npos) << said;
  same_as_whole(partial);
}

// Every dataset is checksummed: --verify reads every chunk, says a whole bank is whole and
// finds a flipped byte in a chunk, a file cut short and files that are not banks.
TEST(BankFile, VerifyFindsDamage) {
  WorkDir w;
  w.write("bank.toml", BankText().text());
  ASSERT_EQ(bank(w, BankOptions{}), 0);
  const auto verify = [&](const std::string& name, std::string& said) {
    std::ostringstream out, err;
    const int status = run_verify(w.at(name).string(), out, err);
    said = out.str() + err.str();
    return status;
  };
  std::string said;
  EXPECT_EQ(verify("bank.h5", said), 0);
  EXPECT_NE(said.find("bank.h5: whole: "), std::string::npos) << said;
  // A byte flipped inside the chunk of station 1, subfault 4.
  std::string bytes = w.read("bank.h5");
  {
    const hid_t f = H5Fopen(w.at("bank.h5").c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
    const hid_t ds = H5Dopen2(f, "spectra", H5P_DEFAULT);
    const hid_t sp = H5Dget_space(ds);
    hsize_t offset[5] = {}, size = 0;
    unsigned mask = 0;
    haddr_t addr = 0;
    ASSERT_GE(H5Dget_chunk_info(ds, sp, 3, offset, &mask, &addr, &size), 0);
    EXPECT_EQ(offset[1], 3u);
    bytes[addr + size / 2] = static_cast<char>(bytes[addr + size / 2] ^ 0x10);
    H5Sclose(sp);
    H5Dclose(ds);
    H5Fclose(f);
  }
  w.write("bad.h5", bytes);
  EXPECT_EQ(verify("bad.h5", said), 2);
  EXPECT_NE(said.find("bad.h5: NOT whole: 1 of "), std::string::npos) << said;
  EXPECT_NE(said.find("bad.h5: /spectra: the chunk at [0, 3, 0, 0, 0] cannot be read (data error "
                      "detected by Fletcher32 checksum)"),
            std::string::npos)
      << said;
  w.write("cut.h5", bytes.substr(0, bytes.size() / 2));
  EXPECT_EQ(verify("cut.h5", said), 2);
  EXPECT_NE(said.find("cut.h5: cannot open it as an HDF5 file (truncated or damaged) (truncated "
                      "file: "),
            std::string::npos)
      << said;
  EXPECT_EQ(verify("bank.toml", said), 2);
  EXPECT_NE(said.find("bank.toml: not an HDF5 file"), std::string::npos) << said;
  H5Fclose(H5Fcreate(w.at("other.h5").c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT));
  EXPECT_EQ(verify("other.h5", said), 2);
  EXPECT_NE(said.find("other.h5: not a bank file (no format attribute and no /spectra)"),
            std::string::npos)
      << said;
}

// /statics holds, for every station and subfault, the static kernel's displacement of that
// pair with its row's sampling (the plan prints it), the same bytes for 1 and 3 threads.
TEST(BankRun, StaticsAreTheKernelsForEveryPair) {
  BankText t;
  t.bank_keys = "statics = true\n";
  t.sampling = "nfreq = 2\ntl = 10.0\naw = 1.0\nxl = 200.0\nikmax = 20\n";
  WorkDir one, three;
  one.write("bank.toml", t.text());
  three.write("bank.toml", t.text());
  BankOptions o;
  std::string printed;
  ASSERT_EQ(bank(one, o, &printed), 0);
  EXPECT_NE(printed.find("statics: Simpson sum"), std::string::npos) << printed;
  EXPECT_NE(printed.find("row 2 (depth "), std::string::npos) << printed;
  o.threads = 3;
  ASSERT_EQ(bank(three, o), 0);
  EXPECT_TRUE(one.read("bank.h5") == three.read("bank.h5"));

  const BankConfig c = parse_bank_config(t.text(), "bank.toml");
  const BankPlan p = plan_bank(c);
  const std::vector<RowStaticSampling> rows = plan_statics(c, p);
  constexpr std::size_t values = lg::kElementComponents;
  std::vector<double> stored(p.stations.size() * p.subfault_count() * values);
  const hid_t f = H5Fopen(one.at("bank.h5").c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
  ASSERT_GE(f, 0);
  const hid_t ds = H5Dopen2(f, "statics", H5P_DEFAULT);
  const bool read =
      ds >= 0 && H5Dread(ds, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, stored.data()) >= 0;
  if (ds >= 0) H5Dclose(ds);
  H5Fclose(f);
  ASSERT_TRUE(read);
  double worst = 0.0;
  for (std::size_t st = 0; st < p.stations.size(); ++st) {
    for (const Subfault& sf : p.fault.subfaults) {
      const std::size_t n = static_cast<std::size_t>(&sf - p.fault.subfaults.data());
      const std::size_t i = p.at(static_cast<int>(st), static_cast<int>(n));
      const StaticDisplacement u =
          static_displacements(static_layers(c.layers), sf.depth, {{p.dx[i], p.dy[i], 0.0}},
                               rows[static_cast<std::size_t>(sf.row - 1)].sampling)
              .front();
      for (std::size_t e = 0; e < lg::kElements; ++e) {
        for (std::size_t k = 0; k < lg::kComponents; ++k) {
          worst = std::max(worst, std::abs(stored[i * values + e * lg::kComponents + k] - u[e][k]));
          EXPECT_NE(u[e][k], 0.0) << "station " << st << ", subfault " << n + 1;
        }
      }
    }
  }
  EXPECT_EQ(worst, 0.0);
}

// A bank file that cannot be written (the file-size limit refuses its creation, or its
// spectra) throws an Error with status 2 and leaves no HDF5 object open (but the file itself
// when its metadata cannot be written: HDF5 1.10 keeps such a file open whatever its caller
// does).
TEST(BankFile, AFailedWriteLeavesNoObjectOpen) {
  BankText t;
  t.sampling = "nfreq = 64\ntl = 10.0\naw = 1.0\nxl = 200.0\nikmax = 300\nuconv = 1e-3\n";
  const BankConfig c = parse_bank_config(t.text(), "bank.toml");
  const BankPlan p = plan_bank(c);
  WorkDir w;
  const std::string path = w.at("bank.h5").string();
  // In a child under the file-size limit: the step that threw (1 creating the file, 2 writing
  // the spectra, 3 closing it, 4 none), 8 for an Error of another status, 9 with objects
  // left open.
  auto failing_step = [&](rlim_t limit) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      std::signal(SIGXFSZ, SIG_IGN);
      const rlimit r{limit, RLIM_INFINITY};
      ::setrlimit(RLIMIT_FSIZE, &r);
      int step = 1;
      try {
        BankFileWriter writer(path, c, p);
        step = 2;
        for (int st = 0; st < static_cast<int>(p.stations.size()); ++st) {
          for (int row = 0; row < static_cast<int>(p.row_count()); ++row) {
            JournalRecord rec;
            rec.station = st;
            rec.row = row;
            rec.iterations.assign(static_cast<std::size_t>(c.nfreq), 7);
            rec.spectra.assign(p.fault.rows[static_cast<std::size_t>(row)].size() *
                                   static_cast<std::size_t>(c.nfreq) * 18,
                               Cx{1.0, 2.0});
            writer.write(rec);
          }
        }
        step = 3;
        writer.close();
        step = 4;
      } catch (const Error& e) {
        if (e.exit_status() != kExitInputError) step = 8;
      }
      const unsigned objects = H5F_OBJ_DATASET | H5F_OBJ_GROUP | H5F_OBJ_DATATYPE | H5F_OBJ_ATTR;
      ::_exit(H5Fget_obj_count(H5F_OBJ_ALL, objects) == 0 ? step : 9);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  EXPECT_EQ(failing_step(0), 1);
  EXPECT_EQ(failing_step(32768), 2);
  EXPECT_EQ(failing_step(RLIM_INFINITY), 4);
}

// The constant-Q law against the analytic continuation written with std::log.
TEST(AnelasticLaw, ConstantQVelocities) {
  const double wr = 2 * kPi * 1.0;
  // At the reference frequency: v (1 + i/(2Q)).
  ComplexVelocities v = constant_q_velocities(6.0, 3.5, 600.0, 300.0, Cx{wr, 0.0}, wr);
  EXPECT_DOUBLE_EQ(v.vp.re, 6.0);
  EXPECT_NEAR(v.vp.im, 6.0 / 1200.0, 1e-15);
  EXPECT_NEAR(v.vs.im, 3.5 / 600.0, 1e-15);
  // At zero frequency, damped: omega = i*omega_I on the negative imaginary axis, where the
  // velocity is real: v (1 + ln(|omega_I|/omega_r) / (pi Q)).
  const double wi = -kPi * 2.0 / 51.2;
  v = constant_q_velocities(6.0, 3.5, 600.0, 300.0, Cx{0.0, wi}, wr);
  EXPECT_NEAR(v.vs.im, 0.0, 1e-15);
  EXPECT_NEAR(v.vs.re, 3.5 * (1.0 + std::log(-wi / wr) / (kPi * 300.0)), 1e-14);
  // Anywhere: the principal complex logarithm.
  for (const double f : {0.05, 0.7, 3.0, 20.0}) {
    const std::complex<double> w(2 * kPi * f, wi);
    const std::complex<double> expect =
        3.5 * (1.0 + (std::log(w / wr) / kPi + std::complex<double>(0.0, 0.5)) / 300.0);
    v = constant_q_velocities(6.0, 3.5, 600.0, 300.0, Cx{w.real(), w.imag()}, wr);
    EXPECT_NEAR(v.vs.re, expect.real(), 1e-14) << f;
    EXPECT_NEAR(v.vs.im, expect.imag(), 1e-14) << f;
    // Phase velocity grows with frequency (dispersion), attenuation 1/(2Q) near the axis.
    EXPECT_GT(constant_q_velocities(6, 3.5, 600, 300, Cx{w.real() * 2, wi}, wr).vs.re, v.vs.re);
  }
}

}  // namespace
}  // namespace lg
