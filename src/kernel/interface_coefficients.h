// Plane-wave reflection and transmission coefficients of the free surface and of every
// interface (P-SV as 2x2 matrices, SH as scalars), and the one-way P and S phase factors
// across every layer above the half-space. Reads the model (thicknesses, densities), the
// wavenumber, the layer medium and the vertical wavenumbers; writes InterfaceCoefficients.
#pragma once

#include "kernel/constants.h"
#include "kernel/lanes.h"
#include "kernel/records.h"

namespace lg {

// The interfaces below the free surface go four at a time in AVX2 lanes where `lanes` says
// so; the coefficients are the same bits either way.
void interface_coefficients(const LayerModel& m, const Wavenumber& k, const LayerMedium& med,
                            const LayerWavenumbers& w, InterfaceCoefficients& out,
                            Lanes lanes = best_lanes());

// exp(-i*kz*h) rounded to single precision, with a real part below 1e-50 in magnitude set
// to zero first. Shared by the layer phase factors.
Cx layer_phase(Cx ai, Cx kz, double h);

// exp(-i*kz*z): the phase factor over depth z below the top of a layer of vertical wavenumber
// kz, for the source and the receivers within their layers.
inline Cx depth_phase(Cx kz, Cx z) {
  return cexp(-((kI * kz) * z));
}

}  // namespace lg
