#include "textio/fixed_format.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "textio/list_read.h"

namespace lg {

namespace {

// s right-justified in w columns, or w asterisks when it is longer.
std::string justify(const std::string& s, int w) {
  if (w <= 0) return {};
  const auto width = static_cast<std::size_t>(w);
  if (s.size() > width) return std::string(width, '*');
  return std::string(width - s.size(), ' ') + s;
}

std::string special(double v) {
  if (std::isnan(v)) return "NaN";
  return v < 0 ? "-Inf" : "Inf";
}

// printf-style formatting of one double into a string of any length.
std::string format(const char* fmt, int prec, double v) {
  const int n = std::snprintf(nullptr, 0, fmt, prec, v);
  std::string s(static_cast<std::size_t>(n), '\0');
  std::snprintf(s.data(), s.size() + 1, fmt, prec, v);
  return s;
}

std::string without_blanks(std::string_view field) {
  std::string s;
  for (char c : field) {
    if (c != ' ') s += c;
  }
  return s;
}

}  // namespace

std::string fixed_i(long long v, int w) {
  return justify(std::to_string(v), w);
}

std::string fixed_f(double v, int w, int d) {
  if (!std::isfinite(v)) return justify(special(v), w);
  if (d < 0) d = 0;
  std::string s = format("%.*f", d, std::fabs(v));
  if (d == 0) s += '.';
  // A value that rounds to zero in the field carries no minus sign.
  if (v < 0 && s.find_first_not_of("0.") != std::string::npos) s.insert(s.begin(), '-');
  return justify(s, w);
}

std::string scientific_digits(double v, int precision) {
  char buf[96];
  if (precision >= 0 && precision <= 60) {
    const std::to_chars_result r =
        std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, precision);
    if (r.ec == std::errc()) return std::string(buf, r.ptr);
  }
  return format("%.*e", precision, v);
}

namespace {

// fixed_e for every case: not finite, no digits, and exponents of three digits or more.
std::string fixed_e_general(double v, int w, int d) {
  if (!std::isfinite(v)) return justify(special(v), w);
  if (d < 1) return justify("*", w);
  std::string digits(static_cast<std::size_t>(d), '0');
  int exp = 0;
  if (v != 0.0) {
    // Rounded correctly to d significant digits as d.ddddde+xx (the same digits as printf's
    // %e); shifting the point one place to the left raises the exponent by one.
    const std::string m = scientific_digits(std::fabs(v), d - 1);
    const std::size_t e = m.find('e');
    digits = m.substr(0, 1) + (d > 1 ? m.substr(2, e - 2) : "");
    exp = std::atoi(m.c_str() + e + 1) + 1;
  }
  std::string s = v < 0 ? "-0." : "0.";
  s += digits;
  const int a = std::abs(exp);
  if (a > 999) return justify("*", w);
  const char sign = exp < 0 ? '-' : '+';
  if (a <= 99) {
    s += 'E';
    s += sign;
    s += static_cast<char>('0' + a / 10);
    s += static_cast<char>('0' + a % 10);
  } else {
    s += sign;  // three exponent digits leave no room for the letter
    s += std::to_string(a);
  }
  return justify(s, w);
}

}  // namespace

void append_fixed_e(std::string& out, double v, int w, int d) {
  // The common case without strings: a finite value, d digits that fit, an exponent of at
  // most two digits. The digits are those of scientific_digits.
  char m[80];
  if (std::isfinite(v) && d >= 1 && d <= 40 && w >= 0 && w <= 64) {
    int exp = 0;
    char* digits_end = nullptr;
    char digits[48];
    if (v == 0.0) {
      for (int k = 0; k < d; ++k) digits[k] = '0';
      digits_end = digits + d;
    } else {
      const std::to_chars_result r =
          std::to_chars(m, m + sizeof m, std::fabs(v), std::chars_format::scientific, d - 1);
      if (r.ec != std::errc()) {
        out += fixed_e_general(v, w, d);
        return;
      }
      // m is D[.DDD]e[+-]XX[X]
      char* p = m;
      char* q = digits;
      *q++ = *p++;
      if (*p == '.') ++p;
      while (*p != 'e') *q++ = *p++;
      digits_end = q;
      ++p;
      const bool negative = *p == '-';
      ++p;
      int e = 0;
      while (p < r.ptr) e = 10 * e + (*p++ - '0');
      exp = (negative ? -e : e) + 1;
    }
    const int a = exp < 0 ? -exp : exp;
    if (a <= 99) {
      char s[80];
      char* t = s;
      if (v < 0) *t++ = '-';
      *t++ = '0';
      *t++ = '.';
      for (const char* c = digits; c < digits_end; ++c) *t++ = *c;
      *t++ = 'E';
      *t++ = exp < 0 ? '-' : '+';
      *t++ = static_cast<char>('0' + a / 10);
      *t++ = static_cast<char>('0' + a % 10);
      const auto len = static_cast<int>(t - s);
      if (len > w) {
        out.append(static_cast<std::size_t>(w), '*');
      } else {
        out.append(static_cast<std::size_t>(w - len), ' ');
        out.append(s, static_cast<std::size_t>(len));
      }
      return;
    }
  }
  out += fixed_e_general(v, w, d);
}

std::string fixed_e(double v, int w, int d) {
  std::string s;
  append_fixed_e(s, v, w, d);
  return s;
}

std::string fixed_field(std::string_view line, int col, int width) {
  std::string f(static_cast<std::size_t>(width > 0 ? width : 0), ' ');
  for (std::size_t k = 0; k < f.size(); ++k) {
    const long long at = static_cast<long long>(col) - 1 + static_cast<long long>(k);
    if (at >= 0 && static_cast<std::size_t>(at) < line.size()) f[k] = line[at];
  }
  return f;
}

bool read_fixed_int(std::string_view field, int& v) {
  const std::string s = without_blanks(field);
  if (s.empty()) {
    v = 0;
    return true;
  }
  return parse_int(s, v);
}

bool read_fixed_real(std::string_view field, int implied, double& v) {
  const std::string s = without_blanks(field);
  if (s.empty()) {
    v = 0.0;
    return true;
  }
  if (s.find('.') != std::string::npos) return parse_real(s, v);

  // No decimal point: the last `implied` digits of the mantissa are decimals.
  std::size_t p = 0;
  if (s[p] == '+' || s[p] == '-') ++p;
  const std::size_t first_digit = p;
  while (p < s.size() && s[p] >= '0' && s[p] <= '9') ++p;
  if (p == first_digit) return parse_real(s, v);  // Inf, NaN, or not a number
  int exp = 0;
  if (p < s.size()) {
    std::size_t q = p;
    const char c = s[q];
    if (c == 'E' || c == 'e' || c == 'D' || c == 'd') ++q;
    if (q == s.size() || (q == p && c != '+' && c != '-')) return false;
    if (!parse_int(s.substr(q), exp)) return false;
  }
  return parse_real(s.substr(0, p) + "E" + std::to_string(static_cast<long long>(exp) - implied),
                    v);
}

}  // namespace lg
