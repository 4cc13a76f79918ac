// Feeding arbitrary bytes to the readers of input text, the way the program calls them.
//
// The fuzz targets and the regression tests of inputs found by fuzzing share these functions.
// Each one builds a LineSource over the bytes and calls one reader. An InputError is the clean
// answer to bad input and is swallowed (after checking that it names a line of the input);
// anything else escapes to the caller: another exception type, a crash, a sanitizer report. A
// broken property of an accepted input throws std::logic_error, which escapes too. The
// functions return true when the reader accepted the input.
//
// Targets whose reader takes counts (the subfault block, the free-format reads, the fixed
// fields) take them from the first byte of the input; the text is the rest.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "inputs/classic_limits.h"
#include "inputs/control_file.h"
#include "inputs/file_names.h"
#include "inputs/model_file.h"
#include "inputs/subfault_file.h"
#include "kernel/records.h"
#include "textio/fixed_format.h"
#include "textio/input_error.h"
#include "textio/line_source.h"
#include "textio/list_read.h"
#include "textio/namelist.h"

namespace lg::fuzz {

[[noreturn]] inline void broken(const std::string& what) {
  throw std::logic_error("broken property: " + what);
}

inline void require(bool ok, const char* what) {
  if (!ok) broken(what);
}

// Number of lines a LineSource makes of `text`.
inline int line_count(std::string_view text) {
  int n = 0;
  for (char c : text) n += c == '\n';
  if (!text.empty() && text.back() != '\n') ++n;
  return n;
}

// The checks every InputError must pass: a message, and a line that exists (0 for none).
inline void check_error(const InputError& e, std::string_view text) {
  require(!e.detail().empty(), "an InputError without a message");
  if (e.line() < 0 || e.line() > line_count(text)) {
    broken("an InputError naming line " + std::to_string(e.line()) + " of " +
           std::to_string(line_count(text)));
  }
}

// Runs `read` on a source over `text`; false when it throws InputError.
template <class Read>
bool with_source(std::string_view text, Read read) {
  LineSource src("fuzz-input", std::string(text));
  try {
    read(src);
  } catch (const InputError& e) {
    check_error(e, text);
    return false;
  }
  return true;
}

// The namelist group INPUT with the members of the model file, read again while text is left
// (at most four groups); true when the first group was read.
inline bool feed_namelist(std::string_view bytes) {
  LineSource src("fuzz-input", std::string(bytes));
  ModelParams p;
  Namelist nl("input");  // the group name is case-insensitive
  static const char* const kInts[] = {"NC", "NFREQ", "NR", "IKMAX"};
  static const char* const kReals[] = {"TL", "AW", "XL", "UCONV", "XS", "YS"};
  int* ints[] = {&p.NC, &p.NFREQ, &p.NR, &p.IKMAX};
  double* reals[] = {&p.TL, &p.AW, &p.XL, &p.UCONV, &p.XS, &p.YS};
  for (int k = 0; k < 4; ++k) nl.add(kInts[k], ints[k]);
  for (int k = 0; k < 6; ++k) nl.add(kReals[k], reals[k]);
  int groups = 0;
  while (groups < 4 && !src.at_end()) {
    try {
      nl.read(src);
    } catch (const InputError& e) {
      check_error(e, bytes);
      break;
    }
    ++groups;
    for (const char* name : kInts) {
      const int l = nl.line_of(name);
      if (l < 0 || l > src.line_number()) broken(std::string("line of member ") + name);
    }
    for (const char* name : kReals) {
      const int l = nl.line_of(name);
      if (l < 0 || l > src.line_number()) broken(std::string("line of member ") + name);
    }
  }
  return groups > 0;
}

// Free-format reads: number parsing of whole lines, then a schedule of reads of integers,
// reals and character values (lengths 1 to 12) and skipped lines chosen by the first byte.
inline bool feed_list_read(std::string_view bytes) {
  if (bytes.empty()) return false;
  const unsigned k = static_cast<unsigned char>(bytes[0]);
  const std::string_view text = bytes.substr(1);

  // A number read from a line must read back the same from its own printed form.
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string line(text.substr(start, end - start));
    start = end + 1;
    int i = 0;
    if (parse_int(line, i)) {
      int back = ~i;  // anything but i
      if (!parse_int(std::to_string(i), back) || back != i) broken("integer \"" + line + "\"");
    }
    double r = 0.0;
    if (parse_real(line, r) && std::isfinite(r)) {
      char buf[64];
      std::snprintf(buf, sizeof buf, "%.17g", r);
      double back = std::nan("");  // equal to nothing
      if (!parse_real(buf, back) || back != r) broken("real \"" + line + "\"");
    }
  }

  return with_source(text, [k](LineSource& src) {
    for (unsigned rec = 0; rec < 64 && !src.at_end(); ++rec) {
      if ((k + rec) % 7 == 6) {
        const int before = src.line_number();
        skip_line(src);
        require(src.line_number() == before + 1, "skip_line skips one line");
        continue;
      }
      ListRead rd(src);
      const unsigned items = 1 + (k + rec) % 6;
      for (unsigned it = 0; it < items; ++it) {
        switch ((k / 8 + rec + it) % 3) {
          case 0: {
            int v = -7;
            rd.read(v);
            break;
          }
          case 1: {
            double v = 0.5;
            rd.read(v);
            break;
          }
          default: {
            const std::size_t len = 1 + (k + it) % 12;
            std::string s(len, '?');
            rd.read(s, len);
            require(s.size() == len, "length of a character value");
          }
        }
      }
    }
  });
}

// Fixed fields of the first 16 lines: the columns of the subfault header and one more field chosen
// by the first byte, which also gives the number of implied decimal digits (0 to 7).
inline bool feed_fixed_fields(std::string_view bytes) {
  if (bytes.empty()) return false;
  const unsigned k = static_cast<unsigned char>(bytes[0]);
  const int implied = static_cast<int>(k % 8);
  const int fields[][2] = {{1, 4},  {5, 4},
                           {9, 7},  {16, 7},
                           {1, 80}, {1 + static_cast<int>(k / 8), 1 + static_cast<int>(k % 13)}};
  const std::string_view text = bytes.substr(1);
  bool all = true;
  std::size_t start = 0;
  // Each line takes the same path; the first few are enough, and keep the runs fast.
  for (int lines = 0; lines < 16 && start < text.size(); ++lines) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    start = end + 1;
    for (const auto& cw : fields) {
      const std::string f = fixed_field(line, cw[0], cw[1]);
      require(f.size() == static_cast<std::size_t>(cw[1]), "width of a fixed field");
      int i = 0;
      if (read_fixed_int(f, i)) {
        int back = ~i;  // anything but i
        if (!read_fixed_int(fixed_i(i, 12), back) || back != i) {
          broken("integer field \"" + f + "\"");
        }
      } else {
        all = false;
      }
      double r = 0.0;
      if (read_fixed_real(f, implied, r)) {
        if (std::isfinite(r)) {
          // With a decimal point the implied digits do not apply.
          char buf[64];
          std::snprintf(buf, sizeof buf, "%#.17g", r);
          double back = std::nan("");  // equal to nothing
          if (!read_fixed_real(buf, implied, back) || back != r) {
            broken("real field \"" + f + "\"");
          }
        }
      } else {
        all = false;
      }
    }
  }
  return all;
}

// The subfault file: the header, then the block of data set i (1 to 8) with n receivers
// (1 to 30), both from the first byte: i = 1 + k / 30 % 8, n = 1 + k % 30.
inline bool feed_subfault(std::string_view bytes) {
  if (bytes.empty()) return false;
  const unsigned k = static_cast<unsigned char>(bytes[0]);
  const int i = 1 + static_cast<int>(k / 30 % 8);
  const int n = 1 + static_cast<int>(k % 30);
  return with_source(bytes.substr(1), [i, n](LineSource& src) {
    std::ostringstream echo;
    const SubfaultHeader h = read_subfault_header(src, echo);
    require(std::isfinite(h.sazi) && std::isfinite(h.dip), "finite header angles");
    std::vector<double> x(static_cast<std::size_t>(n)), y(x), z(x);
    double zs = 0.0;
    read_subfault_block(src, i, n, zs, x.data(), y.data(), z.data(), echo);
    require(std::isfinite(zs), "finite source depth");
    for (int s = 0; s < n; ++s) {
      require(std::isfinite(x[s]) && std::isfinite(y[s]) && std::isfinite(z[s]),
              "finite receiver position");
    }
  });
}

// The control file, then the file names its templates give, as the run builds them.
inline bool feed_control(std::string_view bytes) {
  return with_source(bytes, [](LineSource& src) {
    std::ostringstream echo;
    const Control c = read_control(src, echo);
    require(c.filin1.size() == 80 && c.filo1.size() == 80 && c.fzahy1.size() == 80,
            "templates of 80 characters");
    require(c.stname.size() == static_cast<std::size_t>(std::max(c.nstat, 0)),
            "one code per station");
    const NameMarkers mk = find_markers(c, src.name());
    for (const std::string& code : c.stname) {
      require(code.size() == 3, "station codes of 3 characters");
      require(model_file_name(c, mk, code).size() == 80, "model file name of 80 characters");
      require(subfault_file_name(c, mk, code).size() == 80, "subfault file name of 80 characters");
      // The first and the last result file of the station.
      if (c.ndatas >= 1) {
        require(result_file_name(c, mk, code, c.ns1).size() == 80, "result file name");
        require(result_file_name(c, mk, code, (c.ndatas - 1) * c.nstati + c.ns2).size() == 80,
                "result file name");
      }
    }
  });
}

// Model files of successive stations, given one after the other separated by NUL bytes (at
// most four). The group's members and the layer entries keep their values from one file to the
// next, as in a run; the first file rejected ends the run. Each is for a fault of five
// receivers along strike.
inline bool feed_model(std::string_view bytes) {
  ModelParams p;
  LayerModel layers;
  for (int file = 0; file < 4; ++file) {
    const std::size_t end = std::min(bytes.find('\0'), bytes.size());
    const bool read = with_source(bytes.substr(0, end), [&p, &layers](LineSource& src) {
      std::ostringstream echo;
      read_model(src, 5, p, layers, echo);
      require(p.NC >= 1 && p.NC <= kClassicMaxLayers && p.NR == 5, "layer and receiver counts");
      for (int ic = 1; ic <= p.NC; ++ic) {
        require(layers.vs[ic] > 0.0 && std::isfinite(layers.hc[ic]), "layer values");
      }
    });
    if (!read) return false;
    if (end == bytes.size()) break;
    bytes.remove_prefix(end + 1);
  }
  return true;
}

}  // namespace lg::fuzz
