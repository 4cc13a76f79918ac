#include "driver/frequency_step.h"

#include <cmath>

#include "kernel/refle1.h"
#include "kernel/refle2.h"
#include "kernel/refle3.h"
#include "kernel/refle4.h"
#include "kernel/refle5.h"
#include "prep/refle0.h"

namespace lg {

void set_frequency(Context& c, double freq, const Sampling& s) {
  Dim1a& a = c.dim1a;
  const double rw = a.pi2 * freq;
  a.omega = round_to_float(Cx{rw, s.aw});
  a.omega2 = a.omega * a.omega;
  a.cnorm = (cx(0.5) / a.omega2) / cx(s.xl);
  const double zom = std::sqrt(rw * rw + s.aw * s.aw);
  a.xlnw = std::log(zom) / a.pi;
}

FrequencyOutcome compute_frequency(Context& c, double freq, const Sampling& s) {
  set_frequency(c, freq, s);
  for (auto& row : c.dim2g.usum) row.fill(Cx{});

  // The offset of the wavenumber grid is held in single precision.
  const double offset = static_cast<double>(0.258f);
  Dim1a& a = c.dim1a;
  int ik = 0;
  bool broke = false;
  for (ik = 0; ik <= s.ikmax; ++ik) {
    a.ak = (static_cast<double>(ik) + offset) * s.pil;
    a.ak2 = a.ak * a.ak;
    a.iconv = true;
    refle0(c);
    refle1(c);
    refle2(c);
    refle3(c);
    refle4(c);
    if (a.iconv && ik > kIkMin) {
      broke = true;
      break;
    }
  }
  refle5(c);
  return FrequencyOutcome{ik, broke || a.iconv};
}

}  // namespace lg
