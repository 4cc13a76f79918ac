// Plain-text columns of the traces: one line per sample, the time first.
#pragma once

#include <string>
#include <vector>

#include "seis/seismograms.h"

namespace lg::seis {

// Lines starting with '#' carry `comments` (one per line) and the column names
// ("t e1x e1y e1z e2x ... e6z", the trace codes); then one line per sample with the time and
// the value of every trace.
std::string columns_text(const Seismograms& s, const std::vector<std::string>& comments);

}  // namespace lg::seis
