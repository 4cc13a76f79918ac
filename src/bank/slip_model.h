// Kinematic slip models as finite-fault studies exchange them: FSP (one or more segments),
// USGS .param and SRF 1.0/2.0, read into one subfault list in the file's order (the same
// reading as the Python package's layergreen.SlipModel). Units: degrees, km, km^2, m, s.
// Every depth and latitude/longitude is a subfault's centre (a file that gives top-centres
// has them moved half a subfault down dip); x, y are the file's own local columns as written.
#pragma once

#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "bank/geodesy.h"

namespace lg {

inline constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

struct SlipSubfault {
  double lat = kNoValue, lon = kNoValue;  // degrees
  double x = kNoValue, y = kNoValue;      // km north and east, the file's own columns
  double depth = 0.0;                     // km, of the centre
  double strike = 0.0, dip = 0.0, rake = 0.0;
  double slip = 0.0;  // m
  double area = 0.0;  // km^2
  double rupture_time = kNoValue, rise_time = kNoValue;
  int segment = 0;       // from 0
  double dz = kNoValue;  // km, the down-dip size (FSP)
};

struct SlipModelData {
  std::string format;  // "fsp", "param" or "srf"
  std::vector<SlipSubfault> subfaults;
  double hypo_lat = kNoValue, hypo_lon = kNoValue, hypo_depth = kNoValue;
  double hypo_x = kNoValue, hypo_y = kNoValue;  // in the file's local frame, when it has one
  bool top_centre = false;                      // the file gave top-centres (FSP)

  // True when every subfault has a latitude and longitude.
  bool geographic() const;
};

// The format of a slip model's text ("fsp", "param", "srf"), from its first meaningful line.
// Throws BankError naming the file when it is none of them.
std::string slip_model_format(const std::string& text, const std::string& file);

// Reads a slip model from its text; format empty: recognised from the content. Throws
// BankError with one line "FILE:LINE: what is wrong".
SlipModelData read_slip_model(const std::string& text, const std::string& file,
                              const std::string& format = "");

// Centres of the subfaults (x north, y east, km) about the hypocentre: from latitude and
// longitude when the file gives them (azimuthal equidistant), else from its x, y relative to
// the hypocentre's (top-centres moved half a subfault down dip).
std::vector<LocalPoint> slip_model_centres(const SlipModelData& m);

}  // namespace lg
