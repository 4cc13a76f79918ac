// Fluid layers (vs = 0) at the top of the model: an ocean of one or several water layers over
// the solid stack. The solid stages run unchanged; for a model with fluid layers these
// functions replace what the fluid changes: the coefficients of the free surface over water
// and of every interface below a fluid layer, the placement of sea-floor receivers, and the
// pressure in the water.
//
// In a fluid layer only P waves exist: its SV and SH amplitudes are kept at zero by the
// coefficients (no SV is reflected into or transmitted across a fluid), its vertical S
// wavenumber is set to zero (so that its S phase factors are 1 and harmless), and the P
// potentials keep the normalisation of the solid layers, so that the receiver terms of the
// solid kernel give the displacement in the water unchanged.
#pragma once

#include "kernel/records.h"
#include "kernel/wavenumber_loop.h"

namespace lg {

// The number of fluid layers at the top of the model (0 for a solid model).
int fluid_layer_count(const LayerModel& m);

// Overrides the coefficients that a fluid changes: the free surface over water (pressure-free:
// P reflected with -1), fluid-fluid interfaces (acoustic: continuous pressure and vertical
// displacement) and the sea floor (continuous vertical displacement and normal stress, no
// shear traction). `nfluid` layers from the top are fluid (nfluid >= 1).
void fluid_interfaces(int nfluid, const LayerModel& m, const Wavenumber& wk, const LayerMedium& med,
                      const LayerWavenumbers& w, InterfaceCoefficients& o);

// A receiver (or the source) exactly at the sea floor is put in the solid at the top of the
// first solid layer, not at the bottom of the water (where the placement's rule, "an interface
// belongs to the layer above", puts it). Receivers for pressure stay in the water.
void place_at_sea_floor(int nfluid, const LayerModel& m, bool receivers_in_water, Placement& d);

// The pressure sums of the receivers in the water: four per receiver, as WavenumberSums.
inline constexpr int kPressureSums = 4;

// Adds the pressure increments of the current wavenumber step (after wavenumber_step) for
// the receivers in the water; the convergence of the step is that of the displacement sums.
void add_pressure_increments(Workspace& w, std::vector<double>& re, std::vector<double>& im);

// The pressure of every receiver in the water, per element, positive in compression, in model
// units of density * velocity^2 per unit moment (the displacement's scale); zero elsewhere.
// pressure[ir][is], is = 1 .. kElements.
void pressure_spectra(const Workspace& w, const std::vector<double>& re,
                      const std::vector<double>& im, PerReceiver<Arr<Cx, kElements>>& pressure);

// compute_frequency with the pressure of the receivers in the water besides the spectra.
FrequencyOutcome compute_frequency_with_pressure(Workspace& w, double freq, const Sampling& s,
                                                 const BesselTable* table,
                                                 PerReceiver<Arr<Cx, kElements>>& pressure);

}  // namespace lg
