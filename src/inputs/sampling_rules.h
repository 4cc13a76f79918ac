// The sampling rules of the README ("Choosing TL, AW, XL, IKMAX and UCONV") for one data set:
// which of TL, XL and IKMAX are too small for its model, source and receivers, each with the
// value that would satisfy the rule. Reads the model and the geometry; writes nothing. Used by
// --check; the README states the same rules with the same constants.
#pragma once

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

struct SamplingGeometry {
  double zs = 0.0;              // source depth
  std::vector<double> x, y, z;  // receivers
};

struct SamplingWarning {
  std::string member;  // "TL", "XL" or "IKMAX"
  double needed = 0;   // the smallest value that satisfies the rule
  std::string text;    // the warning, naming the value read and the value needed
};

// The rules a data set breaks (none when all hold). `p` and `layers` as read from the model.
std::vector<SamplingWarning> sampling_warnings(const ModelParams& p, const LayerModel& layers,
                                               const SamplingGeometry& g);

}  // namespace lg
