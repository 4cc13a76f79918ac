// Inverse of a 4x4 matrix for the static layer matrices: reads the matrix, returns its inverse.
#include "statics/static_matrix.h"

#include <cmath>
#include <utility>

namespace lg::statics {

Mat4 inverse(const Mat4& a) {
  Mat4 m = a;
  Mat4 inv{};
  for (int i = 0; i < 4; ++i) inv[i][i] = 1.0;
  for (int col = 0; col < 4; ++col) {
    int pivot = col;
    for (int r = col + 1; r < 4; ++r) {
      if (std::abs(m[r][col]) > std::abs(m[pivot][col])) pivot = r;
    }
    std::swap(m[col], m[pivot]);
    std::swap(inv[col], inv[pivot]);
    const double p = m[col][col];
    for (int j = 0; j < 4; ++j) {
      m[col][j] /= p;
      inv[col][j] /= p;
    }
    for (int r = 0; r < 4; ++r) {
      if (r == col) continue;
      const double f = m[r][col];
      if (f == 0.0) continue;
      for (int j = 0; j < 4; ++j) {
        m[r][j] -= f * m[col][j];
        inv[r][j] -= f * inv[col][j];
      }
    }
  }
  return inv;
}

}  // namespace lg::statics
