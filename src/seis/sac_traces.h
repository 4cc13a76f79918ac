// The SAC files of one receiver's seismograms, one per element and component, and the check
// that the samples fit single precision: reads the seismograms, the processing and where
// source and receiver are; gives the files' names and bytes. layergreen-seis and the Python
// module both write these.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "seis/output_files.h"
#include "seis/seismograms.h"

namespace lg::seis {

// Where the traces were recorded, as the SAC header tells it.
struct TraceSite {
  std::string station;            // KSTNM ("-" when there is no code of at most 8 characters)
  double distance = 0.0;          // DIST: horizontal source-receiver distance
  std::optional<double> azimuth;  // AZ, degrees from x towards y; BAZ follows from it
  double source_depth = 0.0;      // USER0
  double receiver_depth = 0.0;    // USER1
};

// The site of a result file's receiver (station code from the file name).
TraceSite trace_site(const ResultFile& r);

// Files STEM.e1x.sac ... STEM.e6z.sac (element by component).
std::vector<OutputFile> sac_files(const TraceSite& site, const Seismograms& s, const Processing& p,
                                  const std::string& stem);

// The reason the samples cannot be written in single precision (not finite or too large after
// the damping correction of AW), or nothing when they can.
std::optional<std::string> overflow_problem(const Seismograms& s, double aw);

}  // namespace lg::seis
