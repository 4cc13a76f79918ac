// Range checks on values read from the input files; each failure is an InputError naming the
// file and line of the value.
#pragma once

#include <string>

#include "textio/line_source.h"

namespace lg {

// v as messages show it (up to 9 significant digits).
std::string show_real(double v);

// Throws when v is outside lo..hi, naming the value and the allowed range.
void check_range(const LineSource& src, int line, const std::string& what, int v, int lo, int hi);
// Throws when v is not a finite number.
void check_finite(const LineSource& src, int line, const std::string& what, double v);
// Throws when v is not a finite number above zero.
void check_positive(const LineSource& src, int line, const std::string& what, double v);

}  // namespace lg
