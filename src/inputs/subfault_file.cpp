#include "inputs/subfault_file.h"

#include <cstdio>
#include <string_view>
#include <utility>

#include "inputs/checks.h"
#include "textio/fixed_format.h"
#include "textio/free_write.h"
#include "textio/input_error.h"
#include "textio/list_read.h"

namespace lg {

namespace {

// Depths count downwards from the free surface: nothing can be above it.
void check_below_surface(const LineSource& src, int line, const std::string& what, double depth) {
  if (depth >= 0.0) return;
  throw InputError(src.name(), line,
                   what + " = " + show_real(depth) +
                       " is above the free surface (depths are positive downwards)");
}

// A real of the header typed without a decimal point, as the note about it, or "".
std::string implied_decimal_note(const LineSource& src, std::string_view field, int first, int last,
                                 const char* name, double value) {
  std::size_t b = field.find_first_not_of(' ');
  if (b == std::string_view::npos || field.find('.') != std::string_view::npos) return {};
  const std::string_view typed = field.substr(b, field.find_last_not_of(' ') - b + 1);
  char buf[320];
  std::snprintf(buf, sizeof buf,
                "%s:%d: %s (columns %d-%d) \"%.*s\" has no decimal point and is read as %.9g "
                "(one implied decimal); write %.1f, or %.*s.0, to say which is meant",
                src.name().c_str(), src.line_number(), name, first, last,
                static_cast<int>(typed.size()), typed.data(), value, value,
                static_cast<int>(typed.size()), typed.data());
  return buf;
}

}  // namespace

SubfaultHeader read_subfault_header(LineSource& src, std::ostream& out,
                                    std::vector<std::string>* notes) {
  const std::string& line = src.next();
  SubfaultHeader h;
  if (!read_fixed_int(fixed_field(line, 1, 4), h.nszahy)) {
    src.fail("columns 1-4 (nszahy) do not hold an integer");
  }
  if (!read_fixed_int(fixed_field(line, 5, 4), h.nwzahy)) {
    src.fail("columns 5-8 (nwzahy) do not hold an integer");
  }
  if (!read_fixed_real(fixed_field(line, 9, 7), 1, h.sazi)) {
    src.fail("columns 9-15 (sazi) do not hold a number");
  }
  if (!read_fixed_real(fixed_field(line, 16, 7), 1, h.dip)) {
    src.fail("columns 16-22 (dip) do not hold a number");
  }
  check_finite(src, src.line_number(), "sazi", h.sazi);
  check_finite(src, src.line_number(), "dip", h.dip);
  if (notes != nullptr) {
    for (std::string note :
         {implied_decimal_note(src, fixed_field(line, 9, 7), 9, 15, "sazi", h.sazi),
          implied_decimal_note(src, fixed_field(line, 16, 7), 16, 22, "dip", h.dip)}) {
      if (!note.empty()) notes->push_back(std::move(note));
    }
  }
  out << FreeLine().t("nszahy,nwzahy,sazi,dip").str();
  out << fixed_i(h.nszahy, 4) << fixed_i(h.nwzahy, 4) << fixed_f(h.sazi, 7, 1)
      << fixed_f(h.dip, 7, 1) << '\n';
  return h;
}

void read_subfault_block(LineSource& src, int i, int n, double& zs, double* x, double* y, double* z,
                         std::ostream& out) {
  const long long skip = static_cast<long long>(i - 1) * (n + 3);
  for (long long l = 0; l < skip; ++l) skip_line(src);
  skip_line(src);
  {
    ListRead r(src);
    r.read(zs);
  }
  check_finite(src, src.line_number(), "source depth ZS", zs);
  check_below_surface(src, src.line_number(), "source depth ZS", zs);
  out << FreeLine().r(zs).str();
  skip_line(src);
  for (int s = 0; s < n; ++s) {
    ListRead r(src);
    r.read(x[s]);
    r.read(y[s]);
    r.read(z[s]);
    const int line = src.line_number();
    check_finite(src, line, "receiver x", x[s]);
    check_finite(src, line, "receiver y", y[s]);
    check_finite(src, line, "receiver depth", z[s]);
    check_below_surface(src, line, "receiver depth", z[s]);
    out << FreeLine().r(x[s]).r(y[s]).r(z[s]).str();
  }
}

std::string header_mismatch(const std::string& file, const SubfaultHeader& h, int points,
                            int rows) {
  auto count = [](int n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
  };
  std::string s = file + ":1: the header does not match the control file:";
  if (h.nszahy != points) {
    s += " it declares " + count(h.nszahy, "point", "points") +
         " along strike (columns 1-4) where the control file asks for ns2-ns1+1 = " +
         std::to_string(points);
  }
  if (h.nwzahy != rows) {
    s += std::string(h.nszahy != points ? ";" : "") + " it declares " +
         count(h.nwzahy, "row", "rows") +
         " (columns 5-8) where the control file asks for nw1 = " + std::to_string(rows);
  }
  return s;
}

}  // namespace lg
