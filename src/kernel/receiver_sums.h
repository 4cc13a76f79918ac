// Receiver kernels and wavenumber sums: turns the wave amplitudes at the top of a receiver's
// layer into the eleven increments of its wavenumber sums and tests their convergence. Reads
// the placement, wavenumber, layer values and Bessel factors; adds to WavenumberSums.
#pragma once

#include <cstdint>

#include "kernel/lanes.h"
#include "kernel/receiver_waves.h"
#include "kernel/records.h"

namespace lg {

// Constants of the source layer, formed once per wavenumber step.
struct SourceLayerTerms {
  Cx cs2, cs3, cs4, cs6, cs7, cs8, cs9;
  Cx cs5i;  // 1 / (i gam), formed for forces only
};

SourceLayerTerms source_layer_terms(const Placement& p, const Wavenumber& k, const LayerMedium& m,
                                    const LayerWavenumbers& w, bool force = false);

// The terms of the increments that depend on the receiver's depth but not on its distance:
// receivers at the same depth share them.
struct DepthTerms {
  Cx cu;   // group A
  Cx cu2;  // group B
  Cx cu3;  // group C
  Cx c9;   // cs9*cz3b - (2*cs4)*cz2b
  Cx c10;  // ak2*cz4 + cs7*cz1
  Cx c11;  // cs8*cz1b + cz4b
  Cx s5;   // SH potentials
  Cx s6;
  Cx fzr;  // vertical force: k^2 (cz2 + cs5i cz3), radial
  Cx fzz;  // vertical force: cz2b + cs5i cz3b, vertical (formed for forces only)
};

// Potentials at the depth of receiver ir from the amplitudes at the top of its layer (with
// `force`, the forces' terms too).
// With `slope`, also their derivatives in the receiver's depth, into *slope.
DepthTerms depth_terms(const Placement& p, int ir, const LayerWavenumbers& l,
                       const ReceiverWaves& w, const SourceLayerTerms& s, bool force = false,
                       DepthTerms* slope = nullptr);

// Adds the increments of receivers first ... last (all at one depth, sharing d) to their sums
// usum[ir][1..11]. With `test` set, returns whether every increment is small against its sum
// (|increment| <= |sum| * uconv); without it, returns true.
bool add_receiver_sums(int first, int last, const BesselFactors& b, const DepthTerms& d,
                       const SourceLayerTerms& s, double uconv, bool test, WavenumberSums& sums,
                       Lanes lanes = best_lanes());

// The same for receivers that belong to different data sets (a sweep's data sets of one source,
// their receivers end to end): adds the increments only of the receivers whose `live` entry is
// all ones (~0; 0 leaves a receiver untouched) and, with `test`, sets ok[ir] to ~0 when every
// increment of receiver ir is small against its sum and to 0 when not (without, leaves ok as it
// is), so that each data set can be judged by its own receivers. live and ok are indexed by
// receiver, as the sums.
void add_receiver_sums_each(int first, int last, const BesselFactors& b, const DepthTerms& d,
                            const SourceLayerTerms& s, double uconv, bool test,
                            const std::uint64_t* live, std::uint64_t* ok, WavenumberSums& sums,
                            Lanes lanes = best_lanes());

// The same for the forces' kForceSums sums, numbered kSums + 1 ...: the horizontal forces'
// dj1 cu + (cs3 bj1r) s5, bj1r cu + (cs3 dj1) s5 and bj1 cu2, the vertical force's bj1 fzr
// and bkj0 fzz.
bool add_force_sums(int first, int last, const BesselFactors& b, const DepthTerms& d,
                    const SourceLayerTerms& s, double uconv, bool test, WavenumberSums& sums,
                    Lanes lanes = best_lanes());

// The sums of the displacement gradient of the kinds of `active` (see kGradientBase) for
// receivers first ... last at one depth: each of the kind's sums with the Bessel factors'
// derivatives in the distance rr, and with the depth terms' derivatives `slope`. They are not
// tested: they end with their kind. A receiver at distance 0 takes no radial increments.
void add_gradient_sums(const SourceSet& active, int first, int last, const double* rr,
                       const Wavenumber& k, const BesselFactors& b, const DepthTerms& d,
                       const DepthTerms& slope, const SourceLayerTerms& s, WavenumberSums& sums,
                       Lanes lanes = best_lanes());

}  // namespace lg
