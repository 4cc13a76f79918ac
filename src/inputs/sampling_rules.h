// The sampling rules ("Choosing TL, AW, XL, IKMAX and UCONV" in the README) in one place: which
// of TL, XL and IKMAX are too small for a model, a source and its receivers, each with the
// value that would satisfy the rule, and the automatic choice of XL and IKMAX, which satisfies
// the rules it is checked against. The classic --check, the bank (its "auto" values, --check
// and the warnings before a run) and the Python module's auto_sampling all use these.
#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "inputs/model_file.h"
#include "kernel/records.h"

namespace lg {

// The constants of the rules.
inline constexpr double kSurfaceWaveFactor = 0.9;  // slowest surface waves: 0.9 x slowest vs
inline constexpr double kRecordShare = 0.75;       // arrivals within the first 3/4 of TL
// Evanescent waves between source and receiver depths decay as exp(-k |zs - zr|) and the
// integrand grows with k by up to kIntegrandGrowth meanwhile: the sums converge once
// kIntegrandGrowth * exp(-k |zs - zr|) is below UCONV (below the files' rounding,
// kFileRounding, when UCONV is 0).
inline constexpr double kIntegrandGrowth = 100.0;
inline constexpr double kFileRounding = 5e-7;
// The automatic XL leaves this margin over the rule's r + vp*TL.
inline constexpr double kAutoXlMargin = 1.2;

// What the rules read of a model and of the positions of a source and its receivers.
struct SamplingBounds {
  double vp_max = 0.0;       // fastest P velocity of the model
  double vs_min = INFINITY;  // slowest S velocity, or sound speed of a fluid layer (vs = 0)
  bool fluid = false;        // the model has fluid layers
  double r_max = 0.0;        // farthest horizontal source-receiver distance
  double dz_min = INFINITY;  // nearest |zs - zr| above zero (infinity when there is none)
  bool has_receivers = false;

  void add_layer(double vp, double vs);
  void add_receiver(double dx, double dy, double dz);
};

// The sampling a set of data sets is computed with.
struct SamplingValues {
  int nfreq = 0;
  double tl = 0.0;
  double xl = 0.0;
  int ikmax = 0;
  double uconv = 0.0;
};

struct SamplingWarning {
  std::string member;  // "TL", "XL" or "IKMAX"
  double needed = 0;   // the smallest value that satisfies the rule
  std::string text;    // the warning, naming the value read and the value needed
};

// The rules the sampling breaks (none when all hold).
std::vector<SamplingWarning> sampling_warnings(const SamplingBounds& b, const SamplingValues& v);

// The rules one classic data set breaks. `p` and `layers` as read from the model.
struct SamplingGeometry {
  double zs = 0.0;              // source depth
  std::vector<double> x, y, z;  // receivers
};
std::vector<SamplingWarning> sampling_warnings(const ModelParams& p, const LayerModel& layers,
                                               const SamplingGeometry& g);

// The automatic choice: XL is kAutoXlMargin x (r + vp*TL) and IKMAX the rule's smallest value
// for that XL, both rounded up to two significant digits; IKMAX is at least 1. Each comes with
// the reason in words, for the plan a program prints.
struct AutomaticSampling {
  double xl = 0.0;
  int ikmax = 0;
  std::string xl_reason, ikmax_reason;
};
double automatic_xl(const SamplingBounds& b, double tl, std::string* reason = nullptr);
int automatic_ikmax(const SamplingBounds& b, const SamplingValues& v,
                    std::string* reason = nullptr);

// The smallest IKMAX the rule accepts for the sampling `v` (its ikmax not read).
double ikmax_needed(const SamplingBounds& b, const SamplingValues& v);

// Rounded up to two significant digits (positive values; others are returned as they are).
double round_up_2(double v);

}  // namespace lg
