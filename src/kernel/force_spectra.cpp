#include "kernel/force_spectra.h"

#include "kernel/gradient_spectra.h"
#include "kernel/moment_tensor_spectra.h"

namespace lg {

void force_spectra(const Placement& p, const ReceiverPositions& r, const LayerMedium& med,
                   const WavenumberSums& sums, Spectra& out) {
  const Cx norm = med.crho[p.ls];
  out.fg.resize(static_cast<std::size_t>(p.nr + 1));
  for (int ir = 1; ir <= p.nr; ++ir) {
    // The sums scaled by cnorm / rho of the source layer: the horizontal forces' radial,
    // tangential and vertical sums, the vertical force's radial and vertical ones.
    Arr<Cx, kForceSums> s;
    for (int m = 1; m <= kForceSums; ++m) s[m] = sums.at(ir, kSums + m) * norm;
    const Cx co = cx(r.caz[ir]);
    const Cx si = cx(r.saz[ir]);
    auto& fg = out.fg[ir];
    auto rotate = [&](int is, Cx rad, Cx tan, Cx z) {
      fg[is][1] = rad * co - tan * si;
      fg[is][2] = rad * si + tan * co;
      fg[is][3] = z;
    };
    // Fx: radial cos(az) s1, tangential -sin(az) s2, up -cos(az) s3; Fy turned by 90 degrees.
    rotate(1, co * s[1], -(si * s[2]), -(co * s[3]));
    rotate(2, si * s[1], co * s[2], -(si * s[3]));
    rotate(3, -s[4], Cx{}, -s[5]);
  }
}

void source_spectra(const SourceSet& set, const Placement& p, const ReceiverPositions& r,
                    const LayerMedium& med, const WavenumberSums& sums, Spectra& out) {
  if (set.moment) moment_tensor_spectra(p, r, med, sums, out);
  if (set.force) force_spectra(p, r, med, sums, out);
  if (set.gradient) gradient_spectra(set, p, r, med, sums, out);
}

}  // namespace lg
