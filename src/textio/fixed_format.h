// Fixed-layout numbers: writing in the layouts Iw, Fw.d and Ew.d, and reading fixed columns.
#pragma once

#include <string>
#include <string_view>

namespace lg {

// An integer right-justified in w columns; asterisks when it does not fit.
std::string fixed_i(long long v, int w);

// A real right-justified in w columns with d digits after the decimal point, e.g.
// fixed_f(6, 10, 3) = "     6.000", fixed_f(0.04, 7, 1) = "    0.0". A value that rounds to
// zero is written without a minus sign. Asterisks when it does not fit; NaN and +-Inf as text,
// right-justified.
std::string fixed_f(double v, int w, int d);

// v in C's %.{precision}e form (d.ddde+xx), correctly rounded like printf, without printf's
// cost.
std::string scientific_digits(double v, int precision);

// A real in w columns as sign position, "0.", d significant digits, E and a signed two-digit
// exponent: fixed_e(12.3456789, 13, 6) = " 0.123457E+02". A three-digit exponent drops the E
// (" 0.123457+100"). Zero is " 0.000000E+00" (never with a minus sign).
std::string fixed_e(double v, int w, int d);
// The same appended to out.
void append_fixed_e(std::string& out, double v, int w, int d);

// The field of `width` columns starting at column `col` (1-based) of `line`, blank-padded when
// the line is shorter.
std::string fixed_field(std::string_view line, int col, int width);

// Reading a fixed field: blanks inside the field are ignored; an all-blank field is 0.
// A real written without a decimal point has `implied` implied decimal digits (455 read with
// one implied digit is 45.5). Return false when the field is not a number.
bool read_fixed_int(std::string_view field, int& v);
bool read_fixed_real(std::string_view field, int implied, double& v);

}  // namespace lg
