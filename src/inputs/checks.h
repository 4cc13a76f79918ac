// Range checks on values read from the input files; each failure is an InputError naming the
// file and line of the value. The *_problem forms give the same text without file and line,
// for values that come from elsewhere (the Python module's arguments).
#pragma once

#include <optional>
#include <string>

#include "textio/line_source.h"

namespace lg {

// v as messages show it (up to 9 significant digits).
std::string show_real(double v);
// The text of the failure of each check below, or nothing when v passes.
std::optional<std::string> range_problem(const std::string& what, int v, int lo, int hi);
std::optional<std::string> finite_problem(const std::string& what, double v);
std::optional<std::string> positive_problem(const std::string& what, double v);

// Throws when v is outside lo..hi, naming the value and the allowed range.
void check_range(const LineSource& src, int line, const std::string& what, int v, int lo, int hi);
// Throws when v is not a finite number.
void check_finite(const LineSource& src, int line, const std::string& what, double v);
// Throws when v is not a finite number above zero.
void check_positive(const LineSource& src, int line, const std::string& what, double v);

}  // namespace lg
