// Small real matrices for the static layer recursion: 2x2 products and inverses, and the
// inverse of a 4x4 matrix by elimination with partial pivoting.
#pragma once

#include <array>

namespace lg::statics {

using Vec2 = std::array<double, 2>;
using Mat2 = std::array<std::array<double, 2>, 2>;
using Mat4 = std::array<std::array<double, 4>, 4>;

inline Mat2 identity2() {
  return Mat2{{{1.0, 0.0}, {0.0, 1.0}}};
}

inline Mat2 operator*(const Mat2& a, const Mat2& b) {
  Mat2 c{};
  for (int i = 0; i < 2; ++i) {
    for (int j = 0; j < 2; ++j) c[i][j] = a[i][0] * b[0][j] + a[i][1] * b[1][j];
  }
  return c;
}

inline Vec2 operator*(const Mat2& a, const Vec2& v) {
  return Vec2{a[0][0] * v[0] + a[0][1] * v[1], a[1][0] * v[0] + a[1][1] * v[1]};
}

inline Mat2 operator+(const Mat2& a, const Mat2& b) {
  return Mat2{{{a[0][0] + b[0][0], a[0][1] + b[0][1]}, {a[1][0] + b[1][0], a[1][1] + b[1][1]}}};
}

inline Mat2 operator-(const Mat2& a, const Mat2& b) {
  return Mat2{{{a[0][0] - b[0][0], a[0][1] - b[0][1]}, {a[1][0] - b[1][0], a[1][1] - b[1][1]}}};
}

inline Vec2 operator-(const Vec2& a, const Vec2& b) {
  return Vec2{a[0] - b[0], a[1] - b[1]};
}

inline Mat2 inverse(const Mat2& a) {
  const double det = a[0][0] * a[1][1] - a[0][1] * a[1][0];
  return Mat2{{{a[1][1] / det, -a[0][1] / det}, {-a[1][0] / det, a[0][0] / det}}};
}

// The 2x2 block of rows r, r+1 and columns c, c+1.
inline Mat2 block(const Mat4& a, int r, int c) {
  return Mat2{{{a[r][c], a[r][c + 1]}, {a[r + 1][c], a[r + 1][c + 1]}}};
}

inline Mat4 operator*(const Mat4& a, const Mat4& b) {
  Mat4 c{};
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      double s = 0.0;
      for (int l = 0; l < 4; ++l) s += a[i][l] * b[l][j];
      c[i][j] = s;
    }
  }
  return c;
}

// Inverse of a nonsingular 4x4 matrix (Gauss-Jordan elimination with partial pivoting).
Mat4 inverse(const Mat4& a);

}  // namespace lg::statics
