// The per-station model file: the namelist group INPUT (run and sampling parameters) and one
// line per layer.
#pragma once

#include <array>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "kernel/records.h"
#include "textio/line_source.h"

namespace lg {

// The members of the namelist group. They keep their values from one read to the next, as a
// member missing from a group keeps the value last read from a file.
struct ModelParams {
  int NC = 0;
  int NFREQ = 0;
  double TL = 0.0;
  double AW = 0.0;  // as read; the driver never converts it in place
  int NR = 0;
  double XL = 0.0;
  int IKMAX = 0;
  double UCONV = 0.0;
  double XS = 0.0;
  double YS = 0.0;
};

// A value of the group that the computation cannot use: the member to blame and the text.
struct GroupProblem {
  const char* member;  // "NC", "TL", ...
  std::string detail;
};
// The first problem of the group's values with at most max_layers layers, or nothing (NR is
// not checked). The model files allow kClassicMaxLayers.
std::optional<GroupProblem> group_problem(const ModelParams& p, int max_layers);

// The first problem of layer ic (from 1) with the values hc, vp, vs, rho, qp, qs under the
// sampling of p, as "layer IC: ...", or nothing.
std::optional<std::string> layer_problem(int ic, const std::array<double, 6>& v,
                                         const ModelParams& p);

// As layer_problem, for the front ends that take fluid layers (vs = 0; their qs is not used,
// and checked as qp). Where fluid layers may lie is the computation's check.
std::optional<std::string> layer_problem_with_fluid(int ic, const std::array<double, 6>& v,
                                                    const ModelParams& p);

// Reads one model file from its start: the group, the receiver-count check against nstati
// ("nr.ne.nstati" on out, and NR forced to nstati), then NC layer lines into `layers`.
// Values outside what the computation can use are InputErrors naming their line.
// Returns the warnings, as message texts: a negative UCONV, values that do not fit the
// fixed columns of the result header.
std::vector<std::string> read_model(LineSource& src, int nstati, ModelParams& p, LayerModel& layers,
                                    std::ostream& out);

}  // namespace lg
