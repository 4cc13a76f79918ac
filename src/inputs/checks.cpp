#include "inputs/checks.h"

#include <cmath>
#include <cstdio>

#include "textio/input_error.h"

namespace lg {

std::string show_real(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.9g", v);
  return buf;
}

std::optional<std::string> range_problem(const std::string& what, int v, int lo, int hi) {
  if (v >= lo && v <= hi) return std::nullopt;
  std::string detail = what + " = " + std::to_string(v) + " is out of range: ";
  if (v < lo) {
    detail += "it must be at least " + std::to_string(lo);
  } else {
    detail += "it must not exceed " + std::to_string(hi);
  }
  return detail;
}

std::optional<std::string> finite_problem(const std::string& what, double v) {
  if (std::isfinite(v)) return std::nullopt;
  return what + " = " + show_real(v) + " is not a finite number";
}

std::optional<std::string> positive_problem(const std::string& what, double v) {
  if (std::isfinite(v) && v > 0.0) return std::nullopt;
  return what + " = " + show_real(v) + " must be a finite number greater than zero";
}

void check_range(const LineSource& src, int line, const std::string& what, int v, int lo, int hi) {
  if (auto p = range_problem(what, v, lo, hi)) throw InputError(src.name(), line, *p);
}

void check_finite(const LineSource& src, int line, const std::string& what, double v) {
  if (auto p = finite_problem(what, v)) throw InputError(src.name(), line, *p);
}

void check_positive(const LineSource& src, int line, const std::string& what, double v) {
  if (auto p = positive_problem(what, v)) throw InputError(src.name(), line, *p);
}

}  // namespace lg
