// The per-station subfault file: a fixed-column header (grid sizes and fault angles), then one
// block per grid row with the source depth and the receiver positions.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "textio/line_source.h"

namespace lg {

struct SubfaultHeader {
  int nszahy = 0;
  int nwzahy = 0;
  double sazi = 0.0;
  double dip = 0.0;
};

// Reads the header line and writes its echo lines to out. When `notes` is given, it receives
// one line (naming file and line) for each real of the header written without a decimal point,
// which the layout reads with one implied decimal ("450" as 45.0), with the value read.
SubfaultHeader read_subfault_header(LineSource& src, std::ostream& out,
                                    std::vector<std::string>* notes = nullptr);

// The message for a header whose grid sizes disagree with the control file: the file and the
// numbers that disagree.
std::string header_mismatch(const std::string& file, const SubfaultHeader& h, int points, int rows);

// Skips to the block of data set `i` (1-based) with n receiver lines per block, reads the
// source depth and the n receivers into x[0..n-1], y, z, echoing them to out.
void read_subfault_block(LineSource& src, int i, int n, double& zs, double* x, double* y, double* z,
                         std::ostream& out);

}  // namespace lg
