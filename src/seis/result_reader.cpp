#include "seis/result_reader.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <string_view>

#include "output/result_format.h"
#include "textio/blanks.h"
#include "textio/fixed_format.h"
#include "textio/input_error.h"
#include "textio/list_read.h"

namespace lg::seis {

namespace {

constexpr double kUnset = std::numeric_limits<double>::quiet_NaN();
constexpr int kUnsetInt = std::numeric_limits<int>::min();

// Largest counts the main program writes (the fixed bounds of its data model).
constexpr int kMaxLayers = 20;

// Reads one integer of a free-format read; `name` says what it is in messages.
int read_int(ListRead& rd, LineSource& src, const char* name) {
  int v = kUnsetInt;
  rd.read(v);
  if (v == kUnsetInt) src.fail(std::string("missing value of ") + name);
  return v;
}

double read_real(ListRead& rd, LineSource& src, const char* name) {
  double v = kUnset;
  rd.read(v);
  if (!std::isfinite(v)) src.fail(std::string(name) + " is missing or not a finite number");
  return v;
}

// Expects a line holding only the given text (blanks around it allowed).
void expect_label(LineSource& src, const char* label) {
  const std::string& line = src.next();
  if (trim_blanks(line) != label) {
    src.fail(std::string("expected the line \"") + label + "\", found \"" + trim_blanks(line) +
             "\"");
  }
}

// True for a field the writer filled with asterisks: its value did not fit.
bool asterisks(const std::string& field) {
  return field.find('*') != std::string::npos && field.find_first_not_of(" *") == std::string::npos;
}

// A real of a fixed-layout field that must be finite. Fields that the conversion does not
// need (`needed` false) may hold asterisks: their value is then unknown (NaN).
double fixed_real(LineSource& src, const std::string& line, int col, int width, const char* what,
                  bool needed = true) {
  const std::string field = fixed_field(line, col, width);
  if (!needed && asterisks(field)) return kUnset;
  double v = 0.0;
  if (trim_blanks(field).empty() || !read_fixed_real(field, 0, v)) {
    src.fail(std::string("cannot read ") + what + " from columns " + std::to_string(col) + "-" +
             std::to_string(col + width - 1) + " (\"" + field + "\")");
  }
  if (!std::isfinite(v)) {
    src.fail(std::string(what) + " in columns " + std::to_string(col) + "-" +
             std::to_string(col + width - 1) + " is not a finite number");
  }
  return v;
}

void read_header(LineSource& src, ResultFile& r) {
  {
    ListRead rd(src);
    r.nstati = read_int(rd, src, "nstati");
    r.ndatas = read_int(rd, src, "ndatas");
  }
  {
    ListRead rd(src);
    r.ns1 = read_int(rd, src, "ns1");
    r.ns2 = read_int(rd, src, "ns2");
  }
  {
    ListRead rd(src);
    r.nw1 = read_int(rd, src, "nw1");
  }
  {
    const std::string& line = src.next();
    if (line.find("sazi,dip") == std::string::npos) {
      src.fail("expected the strike and dip line ending in \"sazi,dip\"");
    }
    r.sazi = fixed_real(src, line, 1, 7, "the strike azimuth", false);
    r.dip = fixed_real(src, line, 8, 7, "the dip", false);
  }

  // The run parameters: one free-format record that may continue on a second line.
  ListRead rd(src);
  r.NC = read_int(rd, src, "NC");
  if (r.NC < 1 || r.NC > kMaxLayers) {
    src.fail("NC = " + std::to_string(r.NC) + " is not a layer count from 1 to " +
             std::to_string(kMaxLayers));
  }
  r.NFREQ = read_int(rd, src, "NFREQ");
  if (r.NFREQ < 1) {
    src.fail("NFREQ = " + std::to_string(r.NFREQ) + ": the file holds no frequencies");
  }
  r.TL = read_real(rd, src, "TL");
  if (!(r.TL > 0.0)) src.fail("TL must be positive");
  r.AW = read_real(rd, src, "AW");
  if (!(r.AW > 0.0)) src.fail("AW must be positive (it sets the damping -pi*AW/TL)");
  r.NR = read_int(rd, src, "NR");
  r.XL = read_real(rd, src, "XL");
  r.IKMAX = read_int(rd, src, "IKMAX");
  r.UCONV = read_real(rd, src, "UCONV");
  r.XS = read_real(rd, src, "XS");
  r.YS = read_real(rd, src, "YS");
  r.ZS = read_real(rd, src, "ZS");

  expect_label(src, "hc,vp,vs,rho,qp,qs");
  for (int l = 0; l < r.NC; ++l) {
    const std::string& line = src.next();
    Layer y;
    // The layer table is shown, not used: values too wide for their columns are accepted.
    y.hc = fixed_real(src, line, 1, 10, "hc", false);
    y.vp = fixed_real(src, line, 11, 10, "vp", false);
    y.vs = fixed_real(src, line, 21, 10, "vs", false);
    y.rho = fixed_real(src, line, 31, 10, "rho", false);
    y.qp = fixed_real(src, line, 41, 10, "qp", false);
    y.qs = fixed_real(src, line, 51, 10, "qs", false);
    if (y.vp <= 0.0)
      src.fail("the P velocity of layer " + std::to_string(l + 1) + " is not positive");
    r.layers.push_back(y);
  }

  expect_label(src, "xr,yr,zr");
  ListRead rr(src);
  r.xr = read_real(rr, src, "xr");
  r.yr = read_real(rr, src, "yr");
  r.zr = read_real(rr, src, "zr");
}

// The frequency line: "freq =", the frequency, "iter =", the count (free format, so the number
// may touch the text that follows it).
void read_frequency_line(LineSource& src, int k, ResultFile& r) {
  const std::string& line = src.next();
  const std::size_t f = line.find("freq =");
  const std::size_t i = line.find("iter =");
  if (f == std::string::npos || i == std::string::npos || i < f) {
    src.fail("expected the line \"freq = ... iter = ...\" of frequency " + std::to_string(k + 1) +
             " of " + std::to_string(r.NFREQ));
  }
  double freq = 0.0;
  const std::string ftext = line.substr(f + 6, i - f - 6);
  if (!parse_real(ftext, freq) || !std::isfinite(freq)) {
    src.fail("cannot read the frequency \"" + trim_blanks(ftext) + "\"");
  }
  int it = 0;
  const std::string itext = line.substr(i + 6);
  if (!parse_int(itext, it))
    src.fail("cannot read the iteration count \"" + trim_blanks(itext) + "\"");

  // Frequency k is k/TL; the free format keeps nine significant digits.
  const double want = k / r.TL;
  if (std::abs(freq - want) > 1e-6 * (k + 1) / r.TL) {
    src.fail("frequency " + std::to_string(k + 1) + " is " + trim_blanks(ftext) +
             ", but the header's TL makes it " + std::to_string(want));
  }
  r.freq.push_back(freq);
  r.iter.push_back(it);
}

// One spectrum line: kElementsPerLine elements of one component, each a real and an imaginary
// part in 13 columns followed by a blank.
void read_spectrum_line(LineSource& src, int component, int first_element, FrequencySpectra& g,
                        ResultFile& r) {
  const std::string& line = src.next();
  const auto columns = static_cast<std::size_t>(kSpectrumLineColumns);
  // As many columns as written; an editor may have dropped the final blank, but a shorter line
  // has lost digits of its last field.
  if (line.size() < columns - 1) {
    src.fail("a spectrum line must have " + std::to_string(columns) +
             " columns, this one is shorter (" + std::to_string(line.size()) + ")");
  }
  static constexpr const char* kPart[2] = {"real", "imaginary"};
  for (int e = 0; e < kElementsPerLine; ++e) {
    double part[2] = {0.0, 0.0};
    for (int p = 0; p < 2; ++p) {
      const int col = 1 + 27 * e + 13 * p;
      const std::string field = fixed_field(line, col, 13);
      const std::string what = std::string(kPart[p]) + " part of element " +
                               std::to_string(first_element + e + 1) + ", component " +
                               std::to_string(component + 1) + " (columns " + std::to_string(col) +
                               "-" + std::to_string(col + 12) + ")";
      if (trim_blanks(field).empty() || !parse_real(field, part[p])) {
        src.fail("cannot read the " + what + ": \"" + field + "\"");
      }
      if (!std::isfinite(part[p])) src.fail("the " + what + " is not a finite number");
      if (std::abs(part[p]) > r.largest) {
        r.largest = std::abs(part[p]);
        r.largest_line = src.line_number();
        r.largest_text = trim_blanks(field);
      }
    }
    g[static_cast<std::size_t>(first_element + e)][static_cast<std::size_t>(component)] = {part[0],
                                                                                           part[1]};
  }
  if (line.size() > columns && !trim_blanks(std::string_view(line).substr(columns)).empty()) {
    src.fail("unexpected text after column " + std::to_string(columns) + " of a spectrum line");
  }
}

}  // namespace

ResultFile read_result(LineSource& src) {
  ResultFile r;
  r.path = src.name();
  if (src.at_end()) src.fail("the file is empty: it is not a result file");
  read_header(src, r);
  for (int k = 0; k < r.NFREQ; ++k) {
    read_frequency_line(src, k, r);
    FrequencySpectra g{};
    for (int c = 0; c < kComponents; ++c) {
      for (int first = 0; first < kElements; first += kElementsPerLine) {
        read_spectrum_line(src, c, first, g, r);
      }
    }
    r.groups.push_back(g);
  }
  while (!src.at_end()) {
    if (!trim_blanks(src.next()).empty()) {
      src.fail("unexpected text after the last of the " + std::to_string(r.NFREQ) +
               " frequency groups");
    }
  }
  return r;
}

ResultFile read_result_file(const std::string& path) {
  const std::string text = read_regular_file(path);
  // Refuse binary files (a seismogram given by mistake, say) before their bytes reach a message.
  int line = 1;
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\n') {
      ++line;
    } else if ((u < 0x20 && c != '\r' && c != '\t') || u == 0x7f) {
      throw InputError(path, line, "binary data in the file: it is not a result file");
    }
  }
  LineSource src(path, text);
  return read_result(src);
}

}  // namespace lg::seis
