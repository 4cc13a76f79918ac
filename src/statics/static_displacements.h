// Static (zero-frequency, elastic) displacements of a layered half-space for the six
// moment-tensor elements: reads the layers, the source depth and the receivers, returns the
// displacement of every receiver in the scale and component convention of the spectra.
#pragma once

#include <array>
#include <vector>

#include "kernel/layout.h"

namespace lg {

// One layer, top layer first; the last one is the half-space (its thickness is ignored).
// Lengths, velocities and densities in the units of the dynamic model files.
struct StaticLayer {
  double thickness = 0.0, vp = 0.0, vs = 0.0, rho = 0.0;
};

// A receiver: x, y its offset from the source's epicentre (x north, y east), depth below the
// free surface (positive down).
struct StaticReceiver {
  double x = 0.0, y = 0.0, depth = 0.0;
};

// The wavenumber samples k = n*dk, n = 1 .. ceil(kmax/dk) rounded up to even.
struct StaticSampling {
  double dk = 0.0;
  double kmax = 0.0;
  bool simpson = true;  // false: the plain sum dk * sum f(n dk) (for checks of the rule)
};

// Displacement of one receiver: [element][component], as in kernel/layout.h: elements xy, xz,
// -yz, zz-xx, zz-yy, xx+yy+zz; components x, y, vertical (positive up).
using StaticDisplacement = ElementValues<double>;

// Displacement of one receiver for unit forces along x, y and z (down): [force][component].
using StaticForceDisplacement = ForceValues<double>;

// Periodicity length XL = 60 times the largest of the receivers' horizontal distances and
// the source and receiver depths, dk = 2 pi/XL; kmax = 30/|zs - zr| for the receiver nearest
// the source in depth (receivers at the source depth: 15 over the distance from the source
// depth to the nearest interface, or 30 over that length when there is none).
StaticSampling choose_static_sampling(const std::vector<StaticLayer>& layers, double source_depth,
                                      const std::vector<StaticReceiver>& receivers);

// Fluid layers (vs = 0) at the top, an ocean, carry no shear and no static load: both functions
// then work on the solid beneath a free sea floor (source and receivers moved up by the water
// depth), and a receiver in the water gets the sea floor's displacement beneath it.

// The static displacements for a unit moment of each element. Throws std::invalid_argument
// with a one-line reason for unusable layers, depths, receivers or sampling.
std::vector<StaticDisplacement> static_displacements(const std::vector<StaticLayer>& layers,
                                                     double source_depth,
                                                     const std::vector<StaticReceiver>& receivers,
                                                     const StaticSampling& sampling);

// The same for unit forces along x, y and z (down), in model length per unit force.
std::vector<StaticForceDisplacement> static_force_displacements(
    const std::vector<StaticLayer>& layers, double source_depth,
    const std::vector<StaticReceiver>& receivers, const StaticSampling& sampling);

// The displacement gradient du_i/dx_j of one element at one receiver, [3 * i + j], i, j = x
// (north), y (east), z (up).
using StaticGradient = std::array<double, 9>;

// The static displacement gradients for a unit moment of each element, and for unit forces:
// horizontal derivatives from the Bessel functions' derivatives and the azimuthal terms,
// vertical ones from the kernels' derivatives in depth, at the free surface from the
// traction-free condition and on an interface on the side below (from the continuous
// traction). Receivers at the source's depth or on the vertical through the source are
// refused (std::invalid_argument), as are those static_displacements refuses.
std::vector<std::array<StaticGradient, kElements>> static_gradients(
    const std::vector<StaticLayer>& layers, double source_depth,
    const std::vector<StaticReceiver>& receivers, const StaticSampling& sampling);
std::vector<std::array<StaticGradient, kForceCount>> static_force_gradients(
    const std::vector<StaticLayer>& layers, double source_depth,
    const std::vector<StaticReceiver>& receivers, const StaticSampling& sampling);

}  // namespace lg
