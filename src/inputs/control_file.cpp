#include "inputs/control_file.h"
#include "inputs/classic_limits.h"

#include "inputs/checks.h"
#include "inputs/file_names.h"
#include "kernel/records.h"
#include "textio/free_write.h"
#include "textio/input_error.h"
#include "textio/list_read.h"

namespace lg {

std::string fixed_width(const std::string& line, std::size_t n) {
  std::string s = line.substr(0, std::min(line.size(), n));
  s.resize(n, ' ');
  return s;
}

namespace {

int read_int_line(LineSource& src, int& line) {
  int v = 0;
  ListRead r(src);
  r.read(v);
  line = src.line_number();
  return v;
}

}  // namespace

Control read_control(LineSource& src, std::ostream& out) {
  Control c;
  int line = 0;
  c.ndatas = read_int_line(src, line);
  // Zero data sets (or stations) simply leave nothing to do; fewer is a mistake.
  check_range(src, line, "ndatas (number of data sets)", c.ndatas, 0, kMaxDataSets);
  c.nstati = read_int_line(src, line);
  check_range(src, line, "nstati (grid points along strike)", c.nstati, 1, kClassicMaxReceivers);
  c.nw1 = read_int_line(src, line);
  c.ns1 = read_int_line(src, line);
  check_range(src, line, "ns1 (first along-strike index)", c.ns1, 1, kClassicMaxReceivers);
  c.ns2 = read_int_line(src, line);
  check_range(src, line, "ns2 (last along-strike index)", c.ns2, c.ns1, kClassicMaxReceivers);
  if (c.ns2 > c.nstati) {
    throw InputError(src.name(), line,
                     "ns2 = " + std::to_string(c.ns2) +
                         " exceeds nstati = " + std::to_string(c.nstati) +
                         ": result file numbers would repeat between data sets");
  }
  out << FreeLine().t("ndatas,nstati,nw1,ns1,ns2").str();
  out << FreeLine().i(c.ndatas).i(c.nstati).i(c.nw1).i(c.ns1).i(c.ns2).str();

  c.filin1 = fixed_width(src.next(), 80);
  c.filin1_line = src.line_number();
  c.filo1 = fixed_width(src.next(), 80);
  c.filo1_line = src.line_number();
  c.fzahy1 = fixed_width(src.next(), 80);
  c.fzahy1_line = src.line_number();
  find_markers(c, src.name());
  out << FreeLine().t("number of stations?").str();

  c.nstat = read_int_line(src, line);
  check_range(src, line, "number of stations", c.nstat, 0, kMaxStations);
  for (int i = 0; i < c.nstat; ++i) {
    std::string code(3, ' ');  // a null value leaves a blank code
    ListRead r(src);
    r.read(code, 3);
    check_station_code(src, src.line_number(), code);
    c.stname.push_back(code);
  }
  return c;
}

}  // namespace lg
