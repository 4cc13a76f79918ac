// Bessel-function factors of every receiver at the current wavenumber: J0 and J1 of k*r
// (evaluated, or read from a tabulated row) and the derived factors the receiver sums use.
// Reads the placement (distances) and the wavenumber; writes BesselFactors.
#pragma once

#include "kernel/lanes.h"
#include "kernel/records.h"

namespace lg {

void bessel_factors(const Placement& p, const Wavenumber& k, BesselFactors& out);

// The same from tabulated values: j01[2*(ir-1)] = J0(k*rr(ir)), j01[2*(ir-1)+1] = J1(...).
// Receivers go four at a time in AVX2 lanes where `lanes` says so; the same bits either way.
void bessel_factors(const Placement& p, const Wavenumber& k, const double* j01, BesselFactors& out,
                    Lanes lanes = best_lanes());

// J0 and J1 of ak*rr for receivers 1..nr into j01 (2*nr values), as tabulated above.
void bessel_row(const Placement& p, double ak, double* j01);

}  // namespace lg
