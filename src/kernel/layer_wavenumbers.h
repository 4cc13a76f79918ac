// First stage of a wavenumber step: the Bessel factors of every receiver and the complex
// wavenumbers (total and vertical) of every layer at the current frequency and wavenumber.
#pragma once

#include "kernel/records.h"

namespace lg {

void refle0(Context& c);

// The parts of the stage, for callers that keep frequency-only values apart; refle0 is
// refle0_bessel, refle0_frequency and refle0_wavenumber in turn.
//
// Bessel factors of receivers 1..NR at wavenumber ak.
void refle0_bessel(Context& c);
// The same from tabulated values: j01[2*(ir-1)] = J0(ak*rr(ir)), j01[2*(ir-1)+1] = J1(...).
void refle0_bessel(Context& c, const double* j01);
// Complex velocities and the wavenumbers that depend on the frequency only (cka, ckb, cka2,
// ckb2, crho).
void refle0_frequency(Context& c);
// Vertical wavenumbers and ckig of the current wavenumber.
void refle0_wavenumber(Context& c);

// J0 and J1 of ak*rr for receivers 1..NR into j01 (2*NR values), as tabulated above.
void bessel_row(const Context& c, double ak, double* j01);

}  // namespace lg
