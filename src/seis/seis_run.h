// One run of layergreen-seis: every input file read, converted and written, each on its own;
// messages for the files that fail.
#pragma once

#include <ostream>

#include "seis/seis_options.h"

namespace lg::seis {

// Converts every file of the options. Messages go to `err`, one line each, naming the file
// (and line) and what is wrong. Returns 0 when every file was converted, else 2.
int run_seis(const SeisOptions& options, std::ostream& err);

}  // namespace lg::seis
