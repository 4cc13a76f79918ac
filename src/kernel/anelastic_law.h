// The constant-Q anelastic law: complex P and S velocities at a complex angular frequency
// from the velocities and quality factors tabulated at a reference frequency.
#pragma once

#include "kernel/complex.h"

namespace lg {

struct ComplexVelocities {
  Cx vp, vs;
};

// v * (1 + (ln(omega / omega_ref) / pi + i/2) / Q) for P (vp, qp) and S (vs, qs), with the
// principal complex logarithm: the analytic continuation of the constant-Q law to complex
// (damped) frequencies, which keeps the response causal. omega_ref > 0 is the angular
// frequency at which vp and vs are the phase velocities; omega must not be 0.
ComplexVelocities constant_q_velocities(double vp, double vs, double qp, double qs, Cx omega,
                                        double omega_ref);

}  // namespace lg
