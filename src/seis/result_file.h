// A result file as read back: the run parameters of its header, the receiver position, and the
// spectra (elements by components, see kernel/layout.h) of every frequency.
#pragma once

#include <complex>
#include <string>
#include <vector>

#include "kernel/layout.h"

namespace lg::seis {

struct Layer {
  double hc = 0.0, vp = 0.0, vs = 0.0, rho = 0.0, qp = 0.0, qs = 0.0;
};

// The spectra of one frequency: spectrum[element][component], both counted from 0.
using FrequencySpectra = ElementValues<std::complex<double>>;

struct ResultFile {
  std::string path;  // as given, for messages

  int nstati = 0, ndatas = 0, ns1 = 0, ns2 = 0, nw1 = 0;
  double sazi = 0.0, dip = 0.0;

  int NC = 0;
  int NFREQ = 0;
  double TL = 0.0;
  double AW = 0.0;  // as in the model file: the damping is -pi*AW/TL
  int NR = 0;
  double XL = 0.0;
  int IKMAX = 0;
  double UCONV = 0.0;
  double XS = 0.0, YS = 0.0, ZS = 0.0;
  std::vector<Layer> layers;  // hc as in the model file (thickness or depth of the top)

  double xr = 0.0, yr = 0.0, zr = 0.0;

  std::vector<double> freq;              // NFREQ frequencies, k/TL
  std::vector<int> iter;                 // wavenumber steps taken per frequency
  std::vector<FrequencySpectra> groups;  // NFREQ groups of spectra

  // The spectrum value of largest magnitude: its magnitude, line and text, for messages.
  double largest = 0.0;
  int largest_line = 0;
  std::string largest_text;
};

}  // namespace lg::seis
