#include "kernel/moment_tensor_spectra.h"

namespace lg {

namespace {

struct Field {
  Cx r, t, z;  // radial, tangential, vertical
};

}  // namespace

void moment_tensor_spectra(const Placement& p, const ReceiverPositions& r, const LayerMedium& med,
                           const WavenumberSums& sums, Spectra& out) {
  const int nr = p.nr;
  const Cx norm = med.crho[p.ls];
  const Cx two = cx(2.0);

  for (int ir = 1; ir <= nr; ++ir) {
    // The sums scaled by cnorm / rho of the source layer.
    Arr<Cx, kSums> s;
    for (int m = 1; m <= kSums; ++m) s[m] = sums.at(ir, m) * norm;
    const double cor = r.caz[ir];
    const double sir = r.saz[ir];
    const double cor2 = cor * cor;
    const double sir2 = sir * sir;
    const double co2r = cor2 - sir2;
    const double si2r = (cor + cor) * sir;

    // Radial, tangential and vertical fields of the elementary moment-tensor elements.
    const Field xx{cx(-cor2) * s[1] - s[2] - cx(co2r) * s[5], cx(si2r) * (s[6] / two + s[2]),
                   cx(cor2) * s[3] + s[4]};
    const Field xy{cx(-si2r) * (two * s[5] + s[1]), cx(-co2r) * (two * s[2] + s[6]),
                   cx(si2r) * s[3]};
    const Field xz{cx(-cor) * s[7], cx(sir) * s[8], cx(cor) * s[9]};
    const Field yy{cx(co2r) * s[5] - cx(sir2) * s[1] - s[2], cx(-si2r) * (s[6] / two + s[2]),
                   cx(sir2) * s[3] + s[4]};
    const Field yz{cx(-sir) * s[7], cx(-cor) * s[8], cx(sir) * s[9]};
    const Field zz{-s[10], Cx{}, -s[11]};

    const Cx co = cx(cor);
    const Cx si = cx(sir);
    auto& ug = out.ug[ir];
    auto rotate = [&](int is, Cx r, Cx t, Cx z) {
      ug[is][1] = r * co - t * si;
      ug[is][2] = r * si + t * co;
      ug[is][3] = z;
    };
    rotate(1, xy.r, xy.t, xy.z);
    rotate(2, xz.r, xz.t, xz.z);
    // yz is stored with its sign reversed.
    ug[3][1] = -yz.r * co + yz.t * si;
    ug[3][2] = -yz.r * si - yz.t * co;
    ug[3][3] = -yz.z;
    rotate(4, zz.r - xx.r, zz.t - xx.t, zz.z - xx.z);
    rotate(5, zz.r - yy.r, zz.t - yy.t, zz.z - yy.z);
    rotate(6, xx.r + yy.r + zz.r, xx.t + yy.t + zz.t, xx.z + yy.z + zz.z);
  }
}

}  // namespace lg
