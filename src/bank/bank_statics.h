// Static displacements of a bank: reads the configuration and the plan; returns the wavenumber
// sampling of each fault row and the static displacement of every station from every subfault
// (six elements, three components, z up), in the scale of the spectra.
#pragma once

#include <vector>

#include "bank/bank_config.h"
#include "bank/bank_plan.h"
#include "kernel/layout.h"
#include "statics/static_displacements.h"

namespace lg {

// The sampling of one row: its pairs (every station from every subfault of the row) share it.
struct RowStaticSampling {
  StaticSampling sampling;
  long samples = 0;  // wavenumber samples of the sum
};

// The model's layers as the static kernel takes them (thickness, vp, vs, rho).
std::vector<StaticLayer> static_layers(const std::vector<LayerRow>& layers);

// The sampling of every row (choose_static_sampling over the row's pairs). Throws BankError
// for a pair the static sum cannot take (a station at a subfault on the surface, or one that
// would need too many samples).
std::vector<RowStaticSampling> plan_statics(const BankConfig& c, const BankPlan& p);

// The checks of [bank] quantities with strain or rotation: no fluid layers, no station on the
// vertical through a subfault (there neither is computed). Throws BankError.
void check_quantities(const BankConfig& c, const BankPlan& p);

// The displacements [station][subfault][element][component], flattened, computed on `threads`
// threads in units of one station and one row (the same bits for every thread count); with
// `force`, those of the forces, [station][subfault][force][component]; with `quantity` kStrain
// or kRotation, their static strain or rotation (six or three components, x north, y east, z
// up) from the static displacement gradients.
std::vector<double> bank_statics(const BankConfig& c, const BankPlan& p, int threads,
                                 bool force = false, const Quantity& quantity = kDisplacement);

}  // namespace lg
