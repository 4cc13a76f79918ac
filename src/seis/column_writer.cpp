#include "seis/column_writer.h"

#include <cstdio>

#include "seis/trace_names.h"

namespace lg::seis {

std::string columns_text(const Seismograms& s, const std::vector<std::string>& comments) {
  std::string out;
  for (const std::string& c : comments) {
    out += "# ";
    out += c;
    out += '\n';
  }
  out += "# t";
  for (int e = 0; e < kElements; ++e) {
    for (int c = 0; c < kComponents; ++c) {
      out += ' ';
      out += trace_code(e, c);
    }
  }
  out += "\n";
  char buf[32];
  for (int n = 0; n < s.npts; ++n) {
    std::snprintf(buf, sizeof buf, "%.9g", n * s.dt);
    out += buf;
    for (std::size_t e = 0; e < kElements; ++e) {
      for (std::size_t c = 0; c < kComponents; ++c) {
        std::snprintf(buf, sizeof buf, " % .9e", s.trace[e][c][static_cast<std::size_t>(n)]);
        out += buf;
      }
    }
    out += "\n";
  }
  return out;
}

}  // namespace lg::seis
