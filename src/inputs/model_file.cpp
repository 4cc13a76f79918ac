#include "inputs/model_file.h"

#include <optional>

#include <array>
#include "inputs/classic_limits.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "inputs/checks.h"
#include "kernel/constants.h"
#include "textio/fixed_format.h"
#include "textio/free_write.h"
#include "textio/input_error.h"
#include "textio/list_read.h"
#include "textio/namelist.h"

namespace lg {

namespace {

void check_group(const LineSource& src, const Namelist& nl, const ModelParams& p,
                 std::vector<std::string>& warnings) {
  // A member the group omitted is blamed on the line that ends the group.
  auto line = [&](const char* name) {
    const int l = nl.line_of(name);
    return l > 0 ? l : src.line_number();
  };
  if (auto problem = group_problem(p, kClassicMaxLayers)) {
    throw InputError(src.name(), line(problem->member), problem->detail);
  }
  if (p.UCONV < 0.0) {
    warnings.push_back(InputError(src.name(), line("UCONV"),
                                  "UCONV = " + show_real(p.UCONV) +
                                      " is negative: every frequency runs to IKMAX, as with 0")
                           .what());
  }
}

constexpr const char* kLayerValues[] = {"hc", "vp", "vs", "rho", "qp", "qs"};

// The problems of a layer's own values: a finite hc, no fluid, positive vp, vs, rho, qp, qs.
std::optional<std::string> value_problem(const std::string& layer, const std::array<double, 6>& v) {
  if (auto d = finite_problem(layer + "hc", v[0])) return d;
  if (v[2] == 0.0) return layer + "vs = 0: fluid layers are not supported (give vs > 0)";
  for (std::size_t n = 1; n < 6; ++n) {
    if (auto d = positive_problem(layer + kLayerValues[n], v[n])) return d;
  }
  return std::nullopt;
}

// The velocity dispersion factor 1 - ln|w|/(pi q) must stay positive up to the highest
// frequency, or the complex velocities are infinite or reversed there.
std::optional<std::string> dispersion_problem(const std::string& layer,
                                              const std::array<double, 6>& v,
                                              const ModelParams& p) {
  if (p.NFREQ <= 1) return std::nullopt;
  const double xlnw = dispersion_argument(kTwoPi * (p.NFREQ - 1) / p.TL, damping(p.AW, p.TL));
  for (std::size_t n : {4u, 5u}) {
    if (!(1.0 - xlnw / v[n] > 0.0)) {
      char msg[200];
      std::snprintf(msg, sizeof msg,
                    "%s = %.9g is too small for the highest frequency: the velocity "
                    "dispersion would not be finite (it needs more than %.3g)",
                    kLayerValues[n], v[n], xlnw);
      return layer + msg;
    }
  }
  return std::nullopt;
}

}  // namespace

std::vector<std::string> read_model(LineSource& src, int nstati, ModelParams& p, LayerModel& layers,
                                    std::ostream& out) {
  std::vector<std::string> warnings;
  Namelist nl("INPUT");
  nl.add("NC", &p.NC);
  nl.add("NFREQ", &p.NFREQ);
  nl.add("TL", &p.TL);
  nl.add("AW", &p.AW);
  nl.add("NR", &p.NR);
  nl.add("XL", &p.XL);
  nl.add("IKMAX", &p.IKMAX);
  nl.add("UCONV", &p.UCONV);
  nl.add("XS", &p.XS);
  nl.add("YS", &p.YS);
  nl.read(src);
  check_group(src, nl, p, warnings);

  if (p.NR != nstati) {
    out << FreeLine().t("nr.ne.nstati").str();
    p.NR = nstati;
  }

  bool depth_form = false;
  for (int ic = 1; ic <= p.NC; ++ic) {
    std::array<double, 6> v = {layers.hc[ic],  layers.vp[ic], layers.vs[ic],
                               layers.rho[ic], layers.qp[ic], layers.qs[ic]};
    ListRead r(src);
    for (double& x : v) r.read(x);
    const int line = src.line_number();
    const std::string layer = "layer " + std::to_string(ic) + ": ";
    if (auto problem = value_problem(layer, v)) throw InputError(src.name(), line, *problem);
    // Layer tops given as depths (first hc 0) must not go back up; thicknesses must not be
    // negative (that of the half-space is never used).
    if (ic > 1 && depth_form && v[0] < layers.hc[ic - 1]) {
      throw InputError(src.name(), line,
                       layer + "top depth hc = " + show_real(v[0]) + " is above the top of layer " +
                           std::to_string(ic - 1) + " (" + show_real(layers.hc[ic - 1]) +
                           "): layer tops given as depths must not go back up");
    }
    if (!depth_form && ic < p.NC && v[0] < 0.0) {
      throw InputError(src.name(), line,
                       layer + "thickness hc = " + show_real(v[0]) + " is negative");
    }
    if (ic == 1) depth_form = v[0] == 0.0;
    for (std::size_t n = 0; n < 6; ++n) {
      if (fixed_f(v[n], 10, 3).find('*') != std::string::npos) {
        warnings.push_back(InputError(src.name(), line,
                                      layer + kLayerValues[n] + " = " + show_real(v[n]) +
                                          " does not fit its 10 columns of the result header, "
                                          "which shows it as asterisks")
                               .what());
      }
    }
    if (auto problem = dispersion_problem(layer, v, p)) {
      throw InputError(src.name(), line, *problem);
    }
    layers.hc[ic] = v[0];
    layers.vp[ic] = v[1];
    layers.vs[ic] = v[2];
    layers.rho[ic] = v[3];
    layers.qp[ic] = v[4];
    layers.qs[ic] = v[5];
  }
  return warnings;
}

// The checks of a group and of a layer as plain functions: the model file reader throws them
// as input errors on their lines, other callers (the Python module) raise them.
std::optional<GroupProblem> group_problem(const ModelParams& p, int max_layers) {
  auto blame = [](const char* member, std::optional<std::string> detail) {
    return detail ? std::optional<GroupProblem>(GroupProblem{member, std::move(*detail)})
                  : std::nullopt;
  };
  for (auto problem : {
           blame("NC", range_problem("NC (number of layers)", p.NC, 1, max_layers)),
           blame("NFREQ", range_problem("NFREQ (number of frequencies)", p.NFREQ, 0, INT32_MAX)),
           blame("IKMAX",
                 range_problem("IKMAX (largest wavenumber index)", p.IKMAX, 0, INT32_MAX - 2)),
           blame("TL", positive_problem("TL (time length)", p.TL)),
           blame("XL", positive_problem("XL (periodicity length)", p.XL)),
           blame("AW", finite_problem("AW (damping factor)", p.AW)),
       }) {
    if (problem) return problem;
  }
  if (p.AW == 0.0) {
    return GroupProblem{"AW",
                        "AW = 0 gives a zero complex frequency at frequency 0; use a damping "
                        "factor different from zero"};
  }
  if (p.AW < 0.0) {
    return GroupProblem{"AW", "AW = " + show_real(p.AW) +
                                  " is negative: it would amplify, not damp, the time aliasing; "
                                  "use a damping factor above zero (2 is usual)"};
  }
  for (auto problem : {
           blame("UCONV", finite_problem("UCONV (convergence threshold)", p.UCONV)),
           blame("XS", finite_problem("XS (source x)", p.XS)),
           blame("YS", finite_problem("YS (source y)", p.YS)),
       }) {
    if (problem) return problem;
  }
  // The complex frequency must stay finite and non-zero once rounded to single precision.
  const double w_im = damping(p.AW, p.TL);
  const float w_rounded = static_cast<float>(w_im);
  if (!std::isfinite(w_im) || w_rounded == 0.0f || !std::isfinite(w_rounded)) {
    return GroupProblem{"AW",
                        "AW and TL give a damping that is not representable; choose AW/TL "
                        "between about 1e-37 and 1e37"};
  }
  return std::nullopt;
}

std::optional<std::string> layer_problem(int ic, const std::array<double, 6>& v,
                                         const ModelParams& p) {
  const std::string layer = "layer " + std::to_string(ic) + ": ";
  if (auto problem = value_problem(layer, v)) return problem;
  return dispersion_problem(layer, v, p);
}

std::optional<std::string> layer_problem_with_fluid(int ic, const std::array<double, 6>& v,
                                                    const ModelParams& p) {
  if (v[2] != 0.0) return layer_problem(ic, v, p);
  std::array<double, 6> solid = v;
  solid[2] = 1.0;
  solid[5] = v[4];
  return layer_problem(ic, solid, p);
}

}  // namespace lg
