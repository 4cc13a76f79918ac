// The layering seen by the static recursion: reads the layers and the source depth, returns the
// elastic media and the sub-layers (the source layer split at the source depth) with the
// wavenumber-independent matrices of every medium and interface.
#pragma once

#include <vector>

#include "statics/static_displacements.h"
#include "statics/static_matrix.h"

namespace lg::statics {

// An elastic medium and its motion-stress matrices at the reference depth of each solution.
// P-SV vectors are (U, V, R/k, S/k): vertical (down) and horizontal displacement amplitudes,
// normal and shear traction on horizontal planes divided by the wavenumber. Columns: the two
// solutions decaying downwards, e^(-kz) and kz e^(-kz) combinations, then the two decaying
// upwards. SH vectors are (W, T/k), columns e^(-kz), e^(kz).
struct StaticMedium {
  double mu = 0.0, lambda = 0.0;
  double m = 0.0;          // mu/(lambda+mu)
  double inv_delta = 0.0;  // 1/delta = (lambda+3mu)/(lambda+mu) = 1 + 2m
  Mat4 e0{}, e0_inv{};
  Mat2 sh0{}, sh0_inv{};
};

StaticMedium static_medium(double vp, double vs, double rho);

struct SubLayer {
  double top = 0.0;        // depth of the top
  double thickness = 0.0;  // zero-thickness sub-layers occur at the source; unused for the last
  StaticMedium medium;
};

struct StaticStack {
  std::vector<SubLayer> layers;  // the last is the half-space
  int source = 0;                // the source is at the top of this sub-layer (source >= 1)
  double source_depth = 0.0;
  // Interface l (between sub-layers l and l+1): coefficients of l from those of l+1 (down)
  // and of l+1 from those of l (up), both referred to the interface.
  std::vector<Mat4> q_down, q_up;
  std::vector<Mat2> sh_down, sh_up;
  Mat2 free_surface{};         // P-SV: down = free_surface * up, at the free surface
  double sh_free_surface = 1;  // SH: the same
};

// Splits the layer holding the source at the source depth; a source exactly on an interface
// belongs to the layer above it. Throws std::invalid_argument on unusable layers or depth.
StaticStack static_stack(const std::vector<StaticLayer>& layers, double source_depth);

// The sub-layer a receiver at `depth` lies in: above the source level for depth <= the source
// depth, below it otherwise.
int receiver_layer(const StaticStack& s, double depth);

}  // namespace lg::statics
