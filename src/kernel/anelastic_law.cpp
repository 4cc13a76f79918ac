// Complex velocities of the constant-Q law at a complex frequency.
#include "kernel/anelastic_law.h"

#include <cmath>

#include "kernel/constants.h"

namespace lg {

namespace {

Cx constant_q_velocity(double v, double q, Cx log_ratio) {
  // (ln(omega/omega_ref)/pi + i/2) / Q
  const Cx t{log_ratio.re / kPiFull / q, (log_ratio.im / kPiFull + 0.5) / q};
  return Cx{v * (1.0 + t.re), v * t.im};
}

}  // namespace

ComplexVelocities constant_q_velocities(double vp, double vs, double qp, double qs, Cx omega,
                                        double omega_ref) {
  const Cx ratio{omega.re / omega_ref, omega.im / omega_ref};
  const Cx log_ratio{std::log(cabs(ratio)), std::atan2(ratio.im, ratio.re)};
  return ComplexVelocities{constant_q_velocity(vp, qp, log_ratio),
                           constant_q_velocity(vs, qs, log_ratio)};
}

}  // namespace lg
