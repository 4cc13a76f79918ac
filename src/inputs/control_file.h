// The control file: grid sizes, the three file-name templates and the station codes.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "textio/line_source.h"

namespace lg {

struct Control {
  int ndatas = 0;
  int nstati = 0;
  int nw1 = 0;
  int ns1 = 0;
  int ns2 = 0;
  std::string filin1;  // model-file template, 80 characters
  std::string filo1;   // result-file template, 80 characters
  std::string fzahy1;  // subfault-file template, 80 characters
  int nstat = 0;
  std::vector<std::string> stname;  // station codes, 3 characters each
  // Line numbers of the templates, for messages about them.
  int filin1_line = 0;
  int filo1_line = 0;
  int fzahy1_line = 0;
};

// Reads the control file from src, writing the echo lines to out as it goes. Every value is
// checked right after it is read; a value outside the limits of the data model is an
// InputError naming its line.
Control read_control(LineSource& src, std::ostream& out);

// The first `n` characters of a line, blank-padded to n.
std::string fixed_width(const std::string& line, std::size_t n);

}  // namespace lg
