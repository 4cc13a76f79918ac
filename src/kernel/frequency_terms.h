// The complex angular frequency of one frequency and the values that follow from it alone.
// Reads the frequency and the sampling; returns FrequencyTerms.
#pragma once

#include "kernel/records.h"

namespace lg {

// freq: the real frequency; w_im: the imaginary angular frequency (-pi*AW/TL); xl: XL.
FrequencyTerms frequency_terms(double freq, double w_im, double xl);

}  // namespace lg
