// The wavenumber kernels of the static field: for one wavenumber, reads the stack and the
// receiver depths and fills, at every depth, the displacement amplitudes left by unit jumps
// across the source level (generalized reflection and transmission in real arithmetic).
#pragma once

#include <vector>

#include "statics/static_matrix.h"
#include "statics/static_stack.h"

namespace lg::statics {

// Where a receiver depth lies: its sub-layer and its distances from the sub-layer's top
// (>= 0) and bottom (<= 0).
struct DepthPlace {
  int layer = 0;
  double below_top = 0.0;
  double above_bottom = 0.0;
};

DepthPlace depth_place(const StaticStack& s, double depth);

// Vertical (down) and horizontal P-SV amplitudes U, V for unit jumps of U, V, R/k (forces
// only) and S/k at the source level, and SH amplitudes W for unit jumps of W and T/k (jump:
// below minus above).
struct DepthKernels {
  double u_u = 0, v_u = 0;  // jump of U
  double u_v = 0, v_v = 0;  // jump of V
  double u_r = 0, v_r = 0;  // jump of R/k
  double u_s = 0, v_s = 0;  // jump of S/k
  double w_w = 0;           // jump of W
  double w_t = 0;           // jump of T/k
};

// Scratch space of the recursion, sized for one stack and reused across wavenumbers.
class StaticRecursion {
 public:
  explicit StaticRecursion(const StaticStack& s);
  // Fills out[i] for places[i] at wavenumber k >= 0 (u_r and v_r only with `force`).
  // With `slope`, also their derivatives in depth (down) into (*slope)[i].
  void kernels(double k, const std::vector<DepthPlace>& places, std::vector<DepthKernels>& out,
               bool force = false, std::vector<DepthKernels>* slope = nullptr);

 private:
  const StaticStack& s_;
  std::vector<Mat2> r_top_, r_bot_, t_down_;  // below the source
  std::vector<Mat2> ru_top_, ru_bot_, t_up_;  // above the source
  std::vector<double> sr_top_, sr_bot_, st_down_, sru_top_, sru_bot_, st_up_;
  std::vector<Vec2> d_top_, u_bot_;
  std::vector<double> sd_top_, su_bot_;
};

}  // namespace lg::statics
