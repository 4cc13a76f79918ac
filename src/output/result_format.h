// The text of a result file: the header block, the receiver block and one group of seven
// lines per frequency.
#pragma once

#include <string>

#include "inputs/data_set_job.h"
#include "kernel/layout.h"
#include "kernel/records.h"

namespace lg {

// Header block: the run parameters and the layers (hc as read).
std::string result_header(const HeaderValues& h, const LayerModel& layers);

// Receiver block: the coordinates of the receiver whose spectra follow.
std::string receiver_block(double x, double y, double z);

// Appends v as a spectrum value of a frequency group: the text of
// append_fixed_e(out, v, 13, 6) (0.DDDDDDE+XX right-aligned in 13 columns), formed with
// integer arithmetic for values whose digits it can find exactly (about 1e-22 up to 1e6) and
// by append_fixed_e for the rest.
void append_spectrum_value(std::string& out, double v);

// The spectrum lines of a frequency group: for each component, its elements kElementsPerLine to
// a line, each element a real and an imaginary part in 13 columns and a blank.
inline constexpr int kElementsPerLine = 3;
inline constexpr int kSpectrumLineColumns = 27 * kElementsPerLine;
static_assert(kElements % kElementsPerLine == 0);

// One frequency group: the frequency, the iteration count and the spectra of one receiver
// (u[element][component]).
std::string frequency_group(double freq, int ik, const ReceiverSpectra& u);

}  // namespace lg
