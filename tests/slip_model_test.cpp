// Slip models read by the bank (FSP, USGS .param, SRF; the fixtures the Python tests read too)
// and banks whose subfaults are a slip model's.
#include "bank/slip_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

#include "bank/bank_config.h"
#include "bank/bank_plan.h"
#include "bank/fault_geometry.h"

namespace lg {
namespace {

const std::string kDir = LAYERGREEN_SLIP_MODELS;

std::string text_of(const std::string& name) {
  std::ifstream in(kDir + "/" + name);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

SlipModelData read(const std::string& name) {
  return read_slip_model(text_of(name), name);
}

std::string error_of(const std::string& text, const std::string& format = "") {
  try {
    read_slip_model(text, "m.txt", format);
  } catch (const BankError& e) {
    return e.what();
  }
  return "(accepted)";
}

std::string replaced(std::string text, const std::string& old, const std::string& now) {
  const std::size_t at = text.find(old);
  EXPECT_NE(at, std::string::npos) << old;
  return text.replace(at, old.size(), now);
}

// Every format describes the same 3 x 2 subfaults (see the fixtures' README): their centres
// from lat/lon as single.fsp writes them (5 decimals), depth, area, angles and units.
TEST(SlipModel, EveryFormatReadsTheSameFault) {
  const SlipModelData fsp = read("single.fsp");
  ASSERT_EQ(fsp.subfaults.size(), 6u);
  EXPECT_DOUBLE_EQ(fsp.hypo_depth, 10.0);
  for (const char* name : {"model.param", "model_v1.srf", "model_v2.srf", "two_segments.fsp"}) {
    SCOPED_TRACE(name);
    const SlipModelData m = read(name);
    ASSERT_GE(m.subfaults.size(), 6u);
    for (std::size_t i = 0; i < 6; ++i) {
      const SlipSubfault &a = m.subfaults[i], &b = fsp.subfaults[i];
      EXPECT_NEAR(a.lat, b.lat, 2e-5);
      EXPECT_NEAR(a.lon, b.lon, 2e-5);
      EXPECT_NEAR(a.depth, b.depth, 1e-4);
      EXPECT_NEAR(a.area, 12.0, 1e-12);
      EXPECT_EQ(a.strike, 30.0);
      EXPECT_EQ(a.dip, 40.0);
    }
  }
  // Units: FSP slip in m (and cm for two_segments), .param in cm, SRF in cm and cm^2.
  EXPECT_DOUBLE_EQ(fsp.subfaults[5].slip, 3.5);
  EXPECT_DOUBLE_EQ(read("two_segments.fsp").subfaults[7].slip, 2.1);
  EXPECT_DOUBLE_EQ(read("model.param").subfaults[5].slip, 2.0);
  EXPECT_DOUBLE_EQ(read("model.param").subfaults[5].rise_time, 1.5);
  EXPECT_NEAR(read("model_v2.srf").subfaults[5].slip, 0.24, 1e-12);
  EXPECT_DOUBLE_EQ(read("model_v1.srf").subfaults[4].rupture_time, 6.0);
  // Two segments: their own strike and dip, top-centres moved down dip.
  const SlipModelData two = read("two_segments.fsp");
  ASSERT_EQ(two.subfaults.size(), 12u);
  EXPECT_TRUE(two.top_centre);
  EXPECT_EQ(two.subfaults[6].strike, 60.0);
  EXPECT_EQ(two.subfaults[6].dip, 70.0);
  EXPECT_EQ(two.subfaults[6].segment, 1);
  EXPECT_TRUE(std::isnan(two.subfaults[0].rupture_time));
}

TEST(SlipModel, CentresComeFromLatLonNotTheApproximateXY) {
  const SlipModelData m = read("single.fsp");
  const std::vector<LocalPoint> c = slip_model_centres(m);
  for (std::size_t i = 0; i < c.size(); ++i) {
    // The file's X==EW column is 0.3 km too far east (and rounded to 0.1 km).
    EXPECT_NEAR(m.subfaults[i].y - c[i].y, 0.3, 0.06);
    EXPECT_NEAR(m.subfaults[i].x - c[i].x, 0.0, 0.06);
  }
}

TEST(SlipModel, BadFilesGetOneLineWithFileAndLine) {
  const std::string fsp = text_of("single.fsp");
  EXPECT_EQ(error_of(replaced(fsp, "1.500    85.0", "nan    85.0")),
            "m.txt:26: SLIP is not a finite number");
  EXPECT_EQ(error_of(replaced(fsp, "   SLIP    RAKE", "  RAKE")),
            "m.txt:23: the column names lack SLIP");
  EXPECT_EQ(error_of(replaced(fsp, "  2.25  5.4000e+17", "  2.25")),
            "m.txt:26: expected 10 columns (LAT LON X==EW Y==NS Z SLIP RAKE TRUP RISE SF_MOMENT), "
            "found 9");
  EXPECT_EQ(
      error_of(replaced(text_of("model.param"), "nx(Along-strike)=   3", "nx(Along-strike)=   4")),
      "m.txt:16: segment 1 has 6 subfaults, not nx x ny = 8");
  EXPECT_EQ(error_of(replaced(text_of("model_v1.srf"), "POINTS 6", "POINTS 7")),
            "m.txt:29: the file ends where point 7's LON should follow");
  EXPECT_EQ(error_of("x,y,depth\n"),
            "m.txt:1: not a slip model in a known format (FSP starts with '%' header lines, USGS "
            ".param with '#Total number of fault_segments', SRF with its version 1.0 or 2.0)");
  EXPECT_EQ(error_of(fsp, "csv"), "m.txt: unknown slip model format \"csv\" (use fsp, param, srf)");
}

std::string config_with(const std::string& fault, const std::string& station) {
  return "[bank]\noutput = \"b.h5\"\n[sampling]\nnfreq = 8\ntl = 10.0\naw = 1.0\nxl = 200.0\n"
         "ikmax = 300\nuconv = 1e-3\n[model]\nlayers = [[2.0, 4.5, 2.6, 2.4, 200, 100], "
         "[0.0, 6.0, 3.45, 2.7, 400, 200]]\n[fault]\n" +
         fault + "\n[[station]]\nname = \"S1\"\n" + station + "\n";
}

// [fault] slip_model: the bank's subfaults are the model's, in its order, with strike, dip and
// area; stations by lat/lon are placed about the model's hypocentre.
TEST(SlipModel, BankSubfaultsAreTheModels) {
  const std::string file = kDir + "/two_segments.fsp";
  const BankConfig c = parse_bank_config(
      config_with("slip_model = \"" + file + "\"", "lat = 35.1\nlon = 140.0\n"), "bank.toml");
  EXPECT_TRUE(c.fault.geo);
  EXPECT_DOUBLE_EQ(c.fault.origin_lat, 35.0);
  const BankPlan p = plan_bank(c);
  const SlipModelData m = read("two_segments.fsp");
  const std::vector<LocalPoint> centres = slip_model_centres(m);
  ASSERT_EQ(p.subfault_count(), 12u);
  ASSERT_TRUE(p.fault.has_area);
  EXPECT_EQ(p.row_count(), 4u);  // two depths per segment
  for (std::size_t i = 0; i < 12; ++i) {
    EXPECT_EQ(p.fault.subfaults[i].x, centres[i].x);
    EXPECT_EQ(p.fault.subfaults[i].depth, m.subfaults[i].depth);
    EXPECT_EQ(p.fault.subfaults[i].strike, m.subfaults[i].strike);
    EXPECT_EQ(p.fault.subfaults[i].area, 12.0);
  }
  EXPECT_NEAR(p.stations[0].x, 11.09, 0.01);  // 0.1 degree north of the hypocentre
  EXPECT_NEAR(p.stations[0].y, 0.0, 1e-9);
  try {
    parse_bank_config(config_with("slip_model = \"" + file + "\"\nstrike = 3.0", "x = 1\ny = 2"),
                      "bank.toml");
    ADD_FAILURE() << "accepted";
  } catch (const BankError& e) {
    EXPECT_NE(std::string(e.what()).find("strike does not go with slip_model"), std::string::npos)
        << e.what();
  }
}

}  // namespace
}  // namespace lg
