// The C++ side of the Python package layergreen: the spectra of a data set from the library's
// kernel (DataSetSpectra), the static displacements of the static kernel, and seismograms and
// SAC files made by the code of layergreen-seis.
// Reads numpy arrays and plain values; returns numpy arrays or writes SAC files. Bad arguments
// raise ValueError with the words of the command line's messages.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <array>
#include <cmath>
#include <complex>
#include <cstddef>
#include <cstdlib>
#include <numbers>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "inputs/checks.h"
#include "inputs/model_file.h"
#include "inputs/sampling_rules.h"
#include "kernel/gradient_spectra.h"
#include "kernel/layout.h"
#include "kernel/records.h"
#include "run/data_set_spectra.h"
#include "run/thread_count.h"
#include "seis/output_files.h"
#include "seis/sac_traces.h"
#include "seis/seismograms.h"
#include "seis/trace_names.h"
#include "statics/static_displacements.h"

namespace py = pybind11;

namespace {

using Real = py::array_t<double, py::array::c_style | py::array::forcecast>;
using Complex = py::array_t<std::complex<double>, py::array::c_style | py::array::forcecast>;

constexpr int kElements = lg::kElements;
constexpr int kComponents = lg::kComponents;

void raise_if(const std::optional<std::string>& problem) {
  if (problem) throw py::value_error(*problem);
}

int thread_count(std::optional<int> threads) {
  if (threads) {
    if (*threads < 1 || *threads > 1024) {
      throw py::value_error("threads takes a whole number from 1 to 1024, not " +
                            std::to_string(*threads));
    }
    return *threads;
  }
  std::ostringstream warning;
  const int n = lg::choose_thread_count(std::nullopt, std::getenv("OMP_NUM_THREADS"), warning);
  if (!warning.str().empty()) {
    std::string text = warning.str();
    text.pop_back();  // the newline
    if (PyErr_WarnEx(PyExc_RuntimeWarning, text.c_str(), 1) != 0) throw py::error_already_set();
  }
  return n;
}

// Depths count downwards from the free surface, as in the input files: nothing above it.
std::optional<std::string> above_surface(const std::string& what, double depth) {
  if (depth >= 0.0) return std::nullopt;
  return what + " = " + lg::show_real(depth) +
         " is above the free surface (depths are positive downwards)";
}

py::tuple greens(const Real& layers, double source_depth, const Real& receivers, int nfreq,
                 double tl, double aw, double xl, int ikmax, double uconv, const std::string& q_law,
                 double q_reference_hz, std::optional<int> threads, bool moment, bool force,
                 bool gradient, const std::string& quantity) {
  if (!moment && !force) throw py::value_error("sources must name at least one source kind");
  if (quantity != "displacement" && quantity != "pressure") {
    throw py::value_error("quantity must be \"displacement\" or \"pressure\", not \"" + quantity +
                          "\"");
  }
  const bool pressure = quantity == "pressure";
  if (pressure && (force || gradient)) {
    throw py::value_error(
        "quantity \"pressure\" is computed for moment tensors only, and with the displacement "
        "alone");
  }
  if (layers.ndim() != 2 || layers.shape(1) != 6 || layers.shape(0) < 1) {
    throw py::value_error(
        "layers must be an (n, 6) array, n >= 1: thickness, vp, vs, rho, qp, qs of each layer, "
        "top down, the half-space last");
  }
  if (receivers.ndim() != 2 || receivers.shape(1) != 3 || receivers.shape(0) < 1) {
    throw py::value_error(
        "receivers must be an (n, 3) array, n >= 1: x, y (relative to the source's epicentre) "
        "and depth of each receiver");
  }
  if (layers.shape(0) > 1000000 || receivers.shape(0) > 1000000) {
    throw py::value_error("too many layers or receivers");
  }
  const auto nc = static_cast<int>(layers.shape(0));
  const auto nr = static_cast<int>(receivers.shape(0));

  // The same checks, and the same words, as for the values of a model file.
  lg::ModelParams p;
  p.NC = nc;
  p.NFREQ = nfreq;
  p.TL = tl;
  p.AW = aw;
  p.NR = nr;
  p.XL = xl;
  p.IKMAX = ikmax;
  p.UCONV = uconv;
  if (auto problem = lg::group_problem(p, lg::kMaxLayers)) throw py::value_error(problem->detail);

  lg::SpectraRequest q;
  const auto l = layers.unchecked<2>();
  for (int ic = 1; ic <= nc; ++ic) {
    std::array<double, 6> v{};
    for (std::size_t k = 0; k < 6; ++k) v[k] = l(ic - 1, static_cast<py::ssize_t>(k));
    raise_if(lg::layer_problem_with_fluid(ic, v, p));
    if (ic < nc && v[0] < 0.0) {
      throw py::value_error("layer " + std::to_string(ic) +
                            ": thickness hc = " + lg::show_real(v[0]) + " is negative");
    }
    q.layers.push_back(lg::LayerRow{v[0], v[1], v[2], v[3], v[4], v[5]});
  }
  raise_if(lg::finite_problem("source depth ZS", source_depth));
  raise_if(above_surface("source depth ZS", source_depth));
  const auto r = receivers.unchecked<2>();
  for (int i = 0; i < nr; ++i) {
    const std::string which = "receiver " + std::to_string(i) + ": ";
    raise_if(lg::finite_problem(which + "receiver x", r(i, 0)));
    raise_if(lg::finite_problem(which + "receiver y", r(i, 1)));
    raise_if(lg::finite_problem(which + "receiver depth", r(i, 2)));
    raise_if(above_surface(which + "receiver depth", r(i, 2)));
    q.x.push_back(r(i, 0));
    q.y.push_back(r(i, 1));
    q.depth.push_back(r(i, 2));
  }
  if (q_law == "classic") {
    q.q_law = lg::QLaw::kClassic;
  } else if (q_law == "constant-q") {
    q.q_law = lg::QLaw::kConstantQ;
    raise_if(lg::positive_problem("q_reference_hz", q_reference_hz));
    q.q_reference_hz = q_reference_hz;
  } else {
    throw py::value_error("q_law must be \"classic\" or \"constant-q\", not \"" + q_law + "\"");
  }
  q.nfreq = nfreq;
  q.tl = tl;
  q.aw = aw;
  q.xl = xl;
  q.ikmax = ikmax;
  q.uconv = uconv;
  q.source_depth = source_depth;
  q.sources = lg::SourceSet{moment, force, gradient};
  q.pressure = pressure;
  const int workers = thread_count(threads);

  const auto nf = static_cast<std::size_t>(nfreq);
  auto per_receiver = [&](bool wanted, int elements, int components) {
    return py::array_t<std::complex<double>>(std::vector<py::ssize_t>{
        static_cast<py::ssize_t>(nr), static_cast<py::ssize_t>(wanted ? nfreq : 0),
        static_cast<py::ssize_t>(elements), static_cast<py::ssize_t>(components)});
  };
  // Strain and rotation [receiver, frequency, element, component] of the moment tensor and of
  // the forces, from their displacement gradients.
  auto per_quantity = [&](bool wanted, int elements, const lg::Quantity& qn) {
    return py::array_t<std::complex<double>>(std::vector<py::ssize_t>{
        static_cast<py::ssize_t>(nr), static_cast<py::ssize_t>(wanted && gradient ? nfreq : 0),
        static_cast<py::ssize_t>(elements), static_cast<py::ssize_t>(qn.count())});
  };
  std::array<py::array_t<std::complex<double>>, 4> derived = {
      per_quantity(moment, kElements, lg::kStrain), per_quantity(moment, kElements, lg::kRotation),
      per_quantity(force, lg::kForceCount, lg::kStrain),
      per_quantity(force, lg::kForceCount, lg::kRotation)};
  std::array<std::complex<double>*, 4> dv{};
  for (std::size_t j = 0; j < 4; ++j) dv[j] = derived[j].mutable_data();
  py::array_t<std::complex<double>> spectra =
      per_receiver(moment, kElements, pressure ? 1 : kComponents);
  py::array_t<std::complex<double>> force_spectra =
      per_receiver(force, lg::kForceCount, kComponents);
  std::complex<double>* fu = force_spectra.mutable_data();
  py::array_t<int> iterations(static_cast<py::ssize_t>(nfreq));
  py::array_t<bool> converged(static_cast<py::ssize_t>(nfreq));
  std::complex<double>* u = spectra.mutable_data();
  int* it = iterations.mutable_data();
  bool* conv = converged.mutable_data();

  // Computing stops when Python has a signal (Ctrl-C) to deliver.
  bool interrupted = false;
  {
    const py::gil_scoped_release release;
    const lg::DataSetSpectra data_set(q, workers);
    const std::vector<int>& order = data_set.slot_receiver();
    auto store = [&](lg::FrequencySpectra& f) {
      for (std::size_t slot = 0; slot < f.spectra.size(); ++slot) {
        const auto i = static_cast<std::size_t>(order[slot]);
        if (pressure) {
          for (std::size_t e = 0; e < static_cast<std::size_t>(kElements); ++e) {
            const lg::Cx v = f.pressure[slot][e];
            u[(i * nf + f.index) * kElements + e] = std::complex<double>{v.re, v.im};
          }
          continue;
        }
        lg::copy_flat(f.spectra[slot], u + (i * nf + f.index) * lg::kElementComponents,
                      [](lg::Cx v) {
                        return std::complex<double>{v.re, v.im};
                      });
      }
      for (std::size_t slot = 0; slot < f.force_spectra.size(); ++slot) {
        const auto i = static_cast<std::size_t>(order[slot]);
        lg::copy_flat(f.force_spectra[slot], fu + (i * nf + f.index) * lg::kForceComponents,
                      [](lg::Cx v) {
                        return std::complex<double>{v.re, v.im};
                      });
      }
      auto store_derived = [&](const auto& gradients, std::size_t first) {
        const auto elements = gradients.empty() ? 0 : gradients[0].size();
        for (std::size_t slot = 0; slot < gradients.size(); ++slot) {
          const auto i = static_cast<std::size_t>(order[slot]);
          for (std::size_t j = first; j < first + 2; ++j) {
            const lg::Quantity& qn = j % 2 == 0 ? lg::kStrain : lg::kRotation;
            const auto n = static_cast<std::size_t>(qn.count());
            for (std::size_t e = 0; e < elements; ++e) {
              std::array<lg::Cx, 6> v{};
              lg::gradient_quantity(qn, gradients[slot][e], v.data());
              std::complex<double>* to = dv[j] + ((i * nf + f.index) * elements + e) * n;
              for (std::size_t c = 0; c < n; ++c) to[c] = {v[c].re, v[c].im};
            }
          }
        }
      };
      store_derived(f.gradients, 0);
      store_derived(f.force_gradients, 2);
      it[f.index] = f.iterations;
      conv[f.index] = f.converged;
      const py::gil_scoped_acquire acquire;
      interrupted = PyErr_CheckSignals() != 0;
    };
    data_set.run(workers, {}, store, [&] { return interrupted; });
  }
  if (interrupted) throw py::error_already_set();
  return py::make_tuple(spectra, iterations, converged, force_spectra, derived[0], derived[1],
                        derived[2], derived[3]);
}

// (xl, ikmax) chosen by the sampling rules for one data set, as banks choose their "auto"
// values.
py::tuple auto_sampling(const Real& layers, double source_depth, const Real& receivers, int nfreq,
                        double tl, double uconv) {
  if (layers.ndim() != 2 || layers.shape(1) < 3 || layers.shape(0) < 1) {
    throw py::value_error(
        "layers must be an (n, 4) or (n, 6) array, n >= 1, with vp and vs in "
        "columns 1 and 2");
  }
  if (receivers.ndim() != 2 || receivers.shape(1) != 3 || receivers.shape(0) < 1) {
    throw py::value_error("receivers must be an (n, 3) array, n >= 1: x, y and depth");
  }
  if (nfreq < 1) throw py::value_error("nfreq must be at least 1");
  raise_if(lg::positive_problem("tl", tl));
  raise_if(lg::finite_problem("source depth", source_depth));
  lg::SamplingBounds b;
  const auto l = layers.unchecked<2>();
  for (py::ssize_t i = 0; i < layers.shape(0); ++i) {
    raise_if(lg::positive_problem("layer vp", l(i, 1)));
    // vs = 0: a fluid layer (the sound speed is its slowest wave).
    if (l(i, 2) != 0.0) raise_if(lg::positive_problem("layer vs", l(i, 2)));
    b.add_layer(l(i, 1), l(i, 2));
  }
  const auto r = receivers.unchecked<2>();
  for (py::ssize_t i = 0; i < receivers.shape(0); ++i) {
    for (py::ssize_t k = 0; k < 3; ++k) raise_if(lg::finite_problem("receiver", r(i, k)));
    b.add_receiver(r(i, 0), r(i, 1), r(i, 2) - source_depth);
  }
  lg::SamplingValues v{nfreq, tl, 0.0, 0, uconv};
  v.xl = lg::automatic_xl(b, tl);
  v.ikmax = lg::automatic_ikmax(b, v);
  return py::make_tuple(v.xl, v.ikmax);
}

// Static displacements [receiver, element, component] and the sampling used (xl, kmax): xl and
// kmax as given, or chosen by choose_static_sampling when None.
struct StaticInputs {
  std::vector<lg::StaticLayer> model;
  std::vector<lg::StaticReceiver> at;
};

StaticInputs static_inputs(const Real& layers, double source_depth, const Real& receivers,
                           std::optional<double> xl, std::optional<double> kmax) {
  if (layers.ndim() != 2 || layers.shape(1) < 4 || layers.shape(0) < 1) {
    throw py::value_error(
        "layers must be an (n, 4) or (n, 6) array, n >= 1: thickness, vp, vs, rho (qp, qs are "
        "not used) of each layer, top down, the half-space last");
  }
  if (receivers.ndim() != 2 || receivers.shape(1) != 3) {
    throw py::value_error(
        "receivers must be an (n, 3) array: x, y (relative to the source's epicentre) and depth "
        "of each receiver");
  }
  std::vector<lg::StaticLayer> model;
  const auto l = layers.unchecked<2>();
  for (py::ssize_t i = 0; i < layers.shape(0); ++i) {
    model.push_back(lg::StaticLayer{l(i, 0), l(i, 1), l(i, 2), l(i, 3)});
  }
  std::vector<lg::StaticReceiver> at;
  const auto r = receivers.unchecked<2>();
  for (py::ssize_t i = 0; i < receivers.shape(0); ++i) {
    at.push_back(lg::StaticReceiver{r(i, 0), r(i, 1), r(i, 2)});
  }
  raise_if(lg::finite_problem("source depth", source_depth));
  for (const auto& [name, v] : {std::pair{"xl", xl}, std::pair{"kmax", kmax}}) {
    if (v) raise_if(lg::positive_problem(name, *v));
  }
  return StaticInputs{model, at};
}

lg::StaticSampling static_sampling(const StaticInputs& in, double source_depth,
                                   std::optional<double> xl, std::optional<double> kmax) {
  lg::StaticSampling s;
  if (!xl || !kmax) s = lg::choose_static_sampling(in.model, source_depth, in.at);
  if (xl) s.dk = 2.0 * std::numbers::pi / *xl;
  if (kmax) s.kmax = *kmax;
  return s;
}

// The static strain or rotation [receiver, element, component] of the elements (or forces),
// from their displacement gradients.
py::tuple static_quantity(const Real& layers, double source_depth, const Real& receivers,
                          std::optional<double> xl, std::optional<double> kmax, bool force,
                          const std::string& quantity) {
  const StaticInputs in = static_inputs(layers, source_depth, receivers, xl, kmax);
  const lg::Quantity& q = quantity == "strain" ? lg::kStrain : lg::kRotation;
  if (quantity != "strain" && quantity != "rotation") {
    throw py::value_error("quantity must be \"strain\" or \"rotation\", not \"" + quantity + "\"");
  }
  lg::StaticSampling s;
  std::vector<std::array<lg::StaticGradient, kElements>> g;
  std::vector<std::array<lg::StaticGradient, lg::kForceCount>> gf;
  {
    const py::gil_scoped_release release;
    s = static_sampling(in, source_depth, xl, kmax);
    if (force) {
      gf = lg::static_force_gradients(in.model, source_depth, in.at, s);
    } else {
      g = lg::static_gradients(in.model, source_depth, in.at, s);
    }
  }
  const auto elements = static_cast<std::size_t>(force ? lg::kForceCount : kElements);
  const auto n = static_cast<std::size_t>(q.count());
  py::array_t<double> out({static_cast<py::ssize_t>(in.at.size()),
                           static_cast<py::ssize_t>(elements), static_cast<py::ssize_t>(n)});
  double* o = out.mutable_data();
  for (std::size_t i = 0; i < in.at.size(); ++i) {
    for (std::size_t e = 0; e < elements; ++e) {
      const lg::StaticGradient& d = force ? gf[i][e] : g[i][e];
      lg::Gradient c{};
      for (std::size_t j = 0; j < 9; ++j) c[j] = lg::cx(d[j]);
      std::array<lg::Cx, 6> v{};
      lg::gradient_quantity(q, c, v.data());
      for (std::size_t k = 0; k < n; ++k) o[(i * elements + e) * n + k] = v[k].re;
    }
  }
  return py::make_tuple(out, 2.0 * std::numbers::pi / s.dk, s.kmax);
}

py::tuple statics(const Real& layers, double source_depth, const Real& receivers,
                  std::optional<double> xl, std::optional<double> kmax, bool force) {
  const StaticInputs in = static_inputs(layers, source_depth, receivers, xl, kmax);
  const std::vector<lg::StaticLayer>& model = in.model;
  const std::vector<lg::StaticReceiver>& at = in.at;
  lg::StaticSampling s;
  std::vector<lg::StaticDisplacement> u;
  std::vector<lg::StaticForceDisplacement> uf;
  {
    const py::gil_scoped_release release;
    // std::invalid_argument becomes ValueError.
    s = static_sampling(in, source_depth, xl, kmax);
    if (force) {
      uf = lg::static_force_displacements(model, source_depth, at, s);
    } else {
      u = lg::static_displacements(model, source_depth, at, s);
    }
  }
  py::array_t<double> out({static_cast<py::ssize_t>(at.size()),
                           static_cast<py::ssize_t>(force ? lg::kForceCount : kElements),
                           static_cast<py::ssize_t>(kComponents)});
  double* o = out.mutable_data();
  for (std::size_t i = 0; i < u.size(); ++i) lg::copy_flat(u[i], o + i * lg::kElementComponents);
  for (std::size_t i = 0; i < uf.size(); ++i) lg::copy_flat(uf[i], o + i * lg::kForceComponents);
  return py::make_tuple(out, 2.0 * std::numbers::pi / s.dk, s.kmax);
}

// The processing of layergreen-seis's --source, --lowpass and --poles.
lg::seis::Processing processing(const std::string& source, std::optional<double> lowpass, int poles,
                                double taper) {
  lg::seis::Processing p;
  if (!(taper >= 0.0 && taper <= lg::seis::kMaxTaperWidth)) {
    std::ostringstream s;
    s << "taper needs a width from 0 (none) to " << lg::seis::kMaxTaperWidth << ", not " << taper;
    throw py::value_error(s.str());
  }
  p.taper.width = taper;
  p.source = lg::seis::parse_source(source);  // std::invalid_argument: ValueError
  if (lowpass) {
    if (!std::isfinite(*lowpass) || !(*lowpass > 0.0)) {
      std::ostringstream s;
      s << "lowpass needs a positive number, not " << *lowpass;
      throw py::value_error(s.str());
    }
    p.lowpass.corner = *lowpass;
  }
  if (poles < 1 || poles > 12) {
    throw py::value_error("poles must be a whole number from 1 to 12, not " +
                          std::to_string(poles));
  }
  p.lowpass.poles = poles;
  return p;
}

// Spectra [..., frequency, element, component] as the groups of a result file.
struct SpectraSet {
  std::size_t count = 0;  // product of the leading dimensions
  int nfreq = 0;
  const std::complex<double>* data = nullptr;
};

SpectraSet spectra_set(const Complex& spectra, double tl, double aw) {
  const py::ssize_t nd = spectra.ndim();
  if (nd < 3 || spectra.shape(nd - 1) != kComponents || spectra.shape(nd - 2) != kElements ||
      spectra.shape(nd - 3) < 1) {
    throw py::value_error(
        "spectra must be an array [..., frequency, element, component] with at least one "
        "frequency, " +
        std::to_string(kElements) + " elements and " + std::to_string(kComponents) + " components");
  }
  if (spectra.shape(nd - 3) > 1 << 28) throw py::value_error("too many frequencies");
  raise_if(lg::positive_problem("TL (time length)", tl));
  raise_if(lg::positive_problem("AW (damping factor)", aw));
  SpectraSet s;
  s.nfreq = static_cast<int>(spectra.shape(nd - 3));
  s.count = 1;
  for (py::ssize_t d = 0; d + 3 < nd; ++d) s.count *= static_cast<std::size_t>(spectra.shape(d));
  s.data = spectra.data();
  return s;
}

lg::seis::Seismograms seismograms_of(const SpectraSet& s, std::size_t n, double tl, double aw,
                                     const lg::seis::Processing& p) {
  lg::seis::ResultFile r;
  r.NFREQ = s.nfreq;
  r.TL = tl;
  r.AW = aw;
  r.groups.resize(static_cast<std::size_t>(s.nfreq));
  const std::complex<double>* src = s.data + n * r.groups.size() * lg::kElementComponents;
  for (auto& group : r.groups) {
    for (auto& element : group) {
      for (auto& value : element) value = *src++;
    }
  }
  return lg::seis::make_seismograms(r, p);
}

py::tuple seismograms(const Complex& spectra, double tl, double aw, const std::string& source,
                      std::optional<double> lowpass, int poles, double taper) {
  const SpectraSet s = spectra_set(spectra, tl, aw);
  const lg::seis::Processing p = processing(source, lowpass, poles, taper);
  const auto npts = static_cast<std::size_t>(2 * s.nfreq);
  std::vector<py::ssize_t> shape(spectra.shape(), spectra.shape() + spectra.ndim() - 3);
  shape.insert(shape.end(), {kElements, kComponents, static_cast<py::ssize_t>(npts)});
  py::array_t<double> out(shape);
  double* dst = out.mutable_data();
  double dt = tl / static_cast<double>(npts);
  for (std::size_t n = 0; n < s.count; ++n) {
    const lg::seis::Seismograms g = seismograms_of(s, n, tl, aw, p);
    dt = g.dt;
    for (const auto& element : g.trace) {
      for (const auto& trace : element) dst = std::copy(trace.begin(), trace.end(), dst);
    }
  }
  return py::make_tuple(dt, out);
}

void write_sac(const std::string& stem, double distance, std::optional<double> azimuth,
               double source_depth, double receiver_depth, const Complex& spectra, double tl,
               double aw, const std::string& source, std::optional<double> lowpass, int poles,
               double taper) {
  const SpectraSet s = spectra_set(spectra, tl, aw);
  if (s.count != 1) throw py::value_error("write_sac takes the spectra of one receiver");
  const lg::seis::Processing p = processing(source, lowpass, poles, taper);
  const lg::seis::Seismograms g = seismograms_of(s, 0, tl, aw, p);
  if (auto problem = lg::seis::overflow_problem(g, aw))
    throw py::value_error(stem + ": " + *problem);
  const lg::seis::TraceSite site{lg::seis::station_code(stem), distance, azimuth, source_depth,
                                 receiver_depth};
  lg::seis::write_all_or_nothing(lg::seis::sac_files(site, g, p, stem));
}

// The layout's tables (kernel/layout.h) as dictionaries by name.
py::dict source_kinds() {
  py::dict kinds;
  for (const lg::SourceKind* k : lg::kSourceKinds) {
    const std::size_t np = k->parameters.size();
    py::list labels, combinations, codes, sources, weights, divisors;
    for (const lg::SourceElement& e : k->elements) {
      labels.append(std::string(e.label));
      combinations.append(std::string(e.combination));
      codes.append(std::string(e.code));
      sources.append(
          py::tuple(py::cast(std::vector<double>(e.source.begin(), e.source.begin() + np))));
      weights.append(
          py::tuple(py::cast(std::vector<int>(e.weight.begin(), e.weight.begin() + np))));
      divisors.append(e.divisor);
    }
    py::dict d;
    d["description"] = std::string(k->description);
    d["frame"] = std::string(k->frame);
    d["parameters"] =
        py::tuple(py::cast(std::vector<std::string>(k->parameters.begin(), k->parameters.end())));
    d["labels"] = py::tuple(labels);
    d["combinations"] = py::tuple(combinations);
    d["codes"] = py::tuple(codes);
    d["sources"] = py::tuple(sources);
    d["weights"] = py::tuple(weights);
    d["divisors"] = py::tuple(divisors);
    kinds[py::str(std::string(k->name))] = d;
  }
  return kinds;
}

py::dict quantities() {
  py::dict out;
  for (const lg::Quantity* q : lg::kQuantities) {
    py::list codes, azimuth, inclination;
    for (const lg::OutputComponent& c : q->components) {
      codes.append(std::string(c.code));
      azimuth.append(c.sac_azimuth);
      inclination.append(c.sac_inclination);
    }
    py::dict d;
    d["description"] = std::string(q->description);
    d["frame"] = std::string(q->frame);
    d["codes"] = py::tuple(codes);
    d["sac_azimuth"] = py::tuple(azimuth);
    d["sac_inclination"] = py::tuple(inclination);
    out[py::str(std::string(q->name))] = d;
  }
  return out;
}

}  // namespace

PYBIND11_MODULE(_layergreen, m) {
  m.doc() = "C++ core of layergreen: spectra of a data set, seismograms and SAC files.";
  m.attr("version") = LAYERGREEN_VERSION;
  py::register_exception<lg::seis::WriteError>(m, "WriteError", PyExc_OSError);
  // The layout of the spectra: every source kind and quantity, and the ones computed.
  m.attr("source_kinds") = source_kinds();
  m.attr("quantities") = quantities();
  m.attr("source_kind") = std::string(lg::kSourceKind.name);
  m.attr("quantity") = std::string(lg::kQuantity.name);

  m.def("greens", &greens, py::arg("layers"), py::arg("source_depth"), py::arg("receivers"),
        py::arg("nfreq"), py::arg("tl"), py::arg("aw"), py::arg("xl"), py::arg("ikmax"),
        py::arg("uconv"), py::arg("q_law"), py::arg("q_reference_hz"), py::arg("threads"),
        py::arg("moment") = true, py::arg("force") = false, py::arg("gradient") = false,
        py::arg("quantity") = "displacement",
        "Spectra [receiver, frequency, element, component], iteration counts and convergence "
        "flags [frequency] and force spectra [receiver, frequency, force, component] of one "
        "data set (see layergreen.greens), then with gradient the strain [..., 6] and rotation "
        "[..., 3] of the moment tensor and of the forces; the spectra of a kind not asked for "
        "have no frequencies.");
  m.def("static_quantity", &static_quantity, py::arg("layers"), py::arg("source_depth"),
        py::arg("receivers"), py::arg("xl"), py::arg("kmax"), py::arg("force"), py::arg("quantity"),
        "Static strain [receiver, element, 6] or rotation [receiver, element, 3], xl and kmax "
        "(see layergreen.statics).");
  m.def("auto_sampling", &auto_sampling, py::arg("layers"), py::arg("source_depth"),
        py::arg("receivers"), py::arg("nfreq"), py::arg("tl"), py::arg("uconv"),
        "(xl, ikmax) chosen by the sampling rules (see layergreen.auto_sampling).");
  m.def("statics", &statics, py::arg("layers"), py::arg("source_depth"), py::arg("receivers"),
        py::arg("xl"), py::arg("kmax"), py::arg("force") = false,
        "(displacements [receiver, element, component], xl, kmax): static displacements of the "
        "six elements, or with force of the three forces (see layergreen.statics).");
  m.def("seismograms", &seismograms, py::arg("spectra"), py::arg("tl"), py::arg("aw"),
        py::arg("source"), py::arg("lowpass"), py::arg("poles"),
        py::arg("taper") = lg::seis::kDefaultTaperWidth,
        "(dt, traces [..., element, component, sample]) from spectra [..., frequency, element, "
        "component], as layergreen-seis computes them.");
  static const std::string write_sac_doc =
      "The " + std::to_string(lg::kElementComponents) + " SAC files " +
      lg::seis::trace_range_text("STEM", ".sac") +
      " of one receiver, as layergreen-seis writes them (all or none).";
  m.def("write_sac", &write_sac, py::arg("stem"), py::arg("distance"), py::arg("azimuth"),
        py::arg("source_depth"), py::arg("receiver_depth"), py::arg("spectra"), py::arg("tl"),
        py::arg("aw"), py::arg("source"), py::arg("lowpass"), py::arg("poles"),
        py::arg("taper") = lg::seis::kDefaultTaperWidth, write_sac_doc.c_str());
}
