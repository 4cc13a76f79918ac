// The spectra of one data set in memory: one source depth, any number of receivers, a layered
// model and a frequency and wavenumber sampling in, the elements x components (see
// kernel/layout.h) of every receiver at every frequency out. The classic run, banks and the
// Python module all compute through this entry point.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "kernel/complex.h"
#include "kernel/layout.h"
#include "kernel/records.h"

namespace lg {

// One layer of the model; the last layer is the half-space (its thickness is not used).
struct LayerRow {
  double thickness = 0.0;  // length units (km with velocities in km/s)
  double vp = 0.0, vs = 0.0, rho = 0.0, qp = 0.0, qs = 0.0;
};

// The anelastic law of the complex velocities.
enum class QLaw {
  kClassic,    // the result files' law: one damping 1/(qp+qs), dispersion referred to 1 rad/s
  kConstantQ,  // P with qp, S with qs, v*(1 + (ln(omega/omega_r)/pi + i/2)/Q)
};

struct SpectraRequest {
  std::vector<LayerRow> layers;  // top down, at least one (the half-space)
  int nfreq = 0;                 // frequencies 0, 1/tl, ..., (nfreq-1)/tl
  double tl = 0.0;               // record length
  double aw = 0.0;               // damping: imaginary angular frequency -pi*aw/tl
  double xl = 0.0;               // periodicity length of the wavenumber sum
  int ikmax = 0;                 // last wavenumber index
  double uconv = 0.0;            // convergence threshold (0: always run to ikmax)
  double source_depth = 0.0;     // source at x = y = 0
  // Receivers: horizontal position (x, y) relative to the source's epicentre and depth.
  std::vector<double> x, y, depth;
  QLaw q_law = QLaw::kClassic;
  double q_reference_hz = 1.0;  // constant-Q only: frequency of the tabulated velocities
  SourceSet sources;            // moment tensor (the default), forces, or both; gradients
  // The pressure of the receivers in the water (fluid layers, vs = 0, at the top) besides the
  // displacement; every receiver must then lie in the water (at most at the sea floor).
  bool pressure = false;
};

struct FrequencySpectra {
  std::size_t index = 0;                 // frequency number from 0
  double freq = 0.0;                     // frequency (real part, 1/tl steps)
  int iterations = 0;                    // wavenumber steps taken (the count of the result files)
  bool converged = true;                 // false when the sum reached ikmax unconverged
  bool finite = true;                    // false when a spectrum is not a finite number
  std::vector<ReceiverSpectra> spectra;  // per slot (see DataSetSpectra::slot_receiver)
  std::vector<ForceSpectra> force_spectra;  // the same of the forces, when asked for
  // Displacement gradients (sources.gradient): per slot, per element or force.
  std::vector<std::array<Gradient, kElements>> gradients;
  std::vector<std::array<Gradient, kForceCount>> force_gradients;
  std::vector<std::string> text;  // free for the caller's worker hook
  // With SpectraRequest::pressure: per slot, the pressure of each element.
  std::vector<std::array<Cx, kElements>> pressure;
};

struct SweepState;

// Whether two requests can be computed in one sweep: the same layers (bit for bit), the same
// anelastic law and the same frequency and wavenumber sampling.
bool share_sweep(const SpectraRequest& a, const SpectraRequest& b);

// Data sets that share the model and the sampling, prepared for computing together: the
// layer recursion of every (frequency, wavenumber) step is formed once for all of them, the
// source-layer amplitudes once per source depth, the receiver part per data set. Each data
// set's spectra and step counts are exactly those it gets computed alone.
class SharedSweep {
 public:
  // Throws std::invalid_argument when a request cannot be computed or when the requests do
  // not share a sweep. (`threads` is kept for callers; the preparation is cheap, as the
  // Bessel values are computed when first needed.)
  SharedSweep(const std::vector<SpectraRequest>& requests, int threads);
  ~SharedSweep();
  SharedSweep(const SharedSweep&) = delete;
  SharedSweep& operator=(const SharedSweep&) = delete;

  std::size_t size() const { return slot_receiver_.size(); }
  // Data set d's receivers in computing order (ascending depth): slot s holds request
  // receiver slot_receiver(d)[s]. Spectra come in slot order.
  const std::vector<int>& slot_receiver(std::size_t d) const { return slot_receiver_[d]; }

  // Computes every frequency on `threads` workers; each call gets one FrequencySpectra per
  // data set. `on_worker` (may be empty) runs on the worker thread right after a frequency
  // is computed (for formatting); `sink` gets the frequencies in order on the calling thread.
  // An exception from either stops the run and is passed on. `enough` (may be empty) is asked
  // after each call of sink: when it says true, the run ends there and returns.
  void run(int threads, const std::function<void(std::vector<FrequencySpectra>&)>& on_worker,
           const std::function<void(std::vector<FrequencySpectra>&)>& sink,
           const std::function<bool()>& enough = {}) const;

 private:
  std::unique_ptr<SweepState> state_;
  std::vector<std::vector<int>> slot_receiver_;
};

// One data set alone.
class DataSetSpectra {
 public:
  DataSetSpectra(const SpectraRequest& request, int threads);

  // The receivers in computing order (ascending depth): slot s holds request receiver
  // slot_receiver()[s]. Spectra come in slot order.
  const std::vector<int>& slot_receiver() const { return sweep_.slot_receiver(0); }

  // As SharedSweep::run, for the one data set.
  void run(int threads, const std::function<void(FrequencySpectra&)>& on_worker,
           const std::function<void(FrequencySpectra&)>& sink,
           const std::function<bool()>& enough = {}) const;

 private:
  SharedSweep sweep_;
};

}  // namespace lg
