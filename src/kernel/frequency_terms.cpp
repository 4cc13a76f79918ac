#include "kernel/frequency_terms.h"

#include "kernel/constants.h"

namespace lg {

FrequencyTerms frequency_terms(double freq, double w_im, double xl) {
  FrequencyTerms f;
  const double rw = kTwoPi * freq;
  f.omega = round_to_float(Cx{rw, w_im});
  f.omega2 = f.omega * f.omega;
  f.cnorm = (cx(0.5) / f.omega2) / cx(xl);
  f.xlnw = dispersion_argument(rw, w_im);
  return f;
}

}  // namespace lg
