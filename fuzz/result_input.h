// Feeding arbitrary bytes to the result-file reader of layergreen-seis (see fuzz_inputs.h).
#pragma once

#include <cmath>
#include <complex>
#include <string_view>

#include "fuzz_inputs.h"
#include "seis/result_reader.h"

namespace lg::fuzz {

// A result file read from its lines; an accepted file must be complete and finite.
inline bool feed_result(std::string_view bytes) {
  return with_source(bytes, [](LineSource& src) {
    const seis::ResultFile r = seis::read_result(src);
    require(r.NC >= 1 && r.layers.size() == static_cast<std::size_t>(r.NC), "one layer per NC");
    require(r.NFREQ >= 1 && r.freq.size() == static_cast<std::size_t>(r.NFREQ) &&
                r.iter.size() == r.freq.size() && r.groups.size() == r.freq.size(),
            "one group per frequency");
    require(std::isfinite(r.TL) && r.TL > 0.0 && std::isfinite(r.AW) && r.AW > 0.0, "TL and AW");
    for (const seis::FrequencySpectra& g : r.groups) {
      for (const auto& element : g) {
        for (const std::complex<double>& v : element) {
          require(std::isfinite(v.real()) && std::isfinite(v.imag()), "finite spectra");
        }
      }
    }
  });
}

}  // namespace lg::fuzz
