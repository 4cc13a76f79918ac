// Second stage of a wavenumber step: plane-wave reflection and transmission coefficients of
// the free surface and of every interface (P-SV as 2x2 matrices, SH as scalars), and the
// one-way P and S phase factors across every layer above the half-space.
#pragma once

#include "kernel/records.h"

namespace lg {

void refle1(Context& c);

// exp(-i*kz*h) rounded to single precision, with a real part below 1e-50 in magnitude set
// to zero first. Shared by the layer phase factors.
Cx layer_phase(Cx ai, Cx kz, double h);

}  // namespace lg
