#include "kernel/wavenumber_loop.h"

#include <algorithm>
#include <cmath>
#include <thread>

#include "kernel/interface_coefficients.h"
#include "kernel/stack_responses.h"
#include "kernel/source_layer_amplitudes.h"
#include "kernel/receiver_increments.h"
#include "kernel/moment_tensor_spectra.h"
#include "kernel/layer_wavenumbers.h"

namespace lg {

BesselTable::BesselTable(const Context& c, const Sampling& s, int rows, int threads)
    : rows_(rows), stride_(2 * c.dim1d.NR) {
  values_.resize(static_cast<std::size_t>(rows_) * static_cast<std::size_t>(stride_));
  auto fill = [&](int first, int step) {
    for (int ik = first; ik < rows_; ik += step) {
      bessel_row(c, wavenumber(ik, s.pil),
                 values_.data() + static_cast<std::size_t>(ik) * static_cast<std::size_t>(stride_));
    }
  };
  const int workers = std::max(1, std::min(threads, rows_ / 64));
  std::vector<std::thread> pool;
  for (int t = 1; t < workers; ++t) pool.emplace_back(fill, t, workers);
  fill(0, workers);
  for (std::thread& t : pool) t.join();
}

void set_frequency(Context& c, double freq, const Sampling& s) {
  Dim1a& a = c.dim1a;
  const double rw = a.pi2 * freq;
  a.omega = round_to_float(Cx{rw, s.aw});
  a.omega2 = a.omega * a.omega;
  a.cnorm = (cx(0.5) / a.omega2) / cx(s.xl);
  const double zom = std::sqrt(rw * rw + s.aw * s.aw);
  a.xlnw = std::log(zom) / a.pi;
}

FrequencyOutcome compute_frequency(Context& c, double freq, const Sampling& s,
                                   const BesselTable* table) {
  set_frequency(c, freq, s);
  for (auto& row : c.dim2g.usum) row.fill(Cx{});
  // The velocities and total wavenumbers depend on the frequency only.
  refle0_frequency(c);

  Dim1a& a = c.dim1a;
  int ik = 0;
  bool broke = false;
  for (ik = 0; ik <= s.ikmax; ++ik) {
    a.ak = wavenumber(ik, s.pil);
    a.ak2 = a.ak * a.ak;
    a.iconv = true;
    // The flag is looked at only above kIkMin (and for the last step, to report it).
    c.test_convergence = ik > kIkMin || ik == s.ikmax;
    if (table != nullptr && ik < table->rows()) {
      refle0_bessel(c, table->row(ik));
    } else {
      refle0_bessel(c);
    }
    refle0_wavenumber(c);
    refle1(c);
    refle2(c);
    refle3(c);
    refle4(c);
    if (a.iconv && ik > kIkMin) {
      broke = true;
      break;
    }
  }
  c.test_convergence = true;
  refle5(c);
  return FrequencyOutcome{ik, broke || a.iconv};
}

}  // namespace lg
