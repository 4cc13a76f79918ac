#include "kernel/source_layer_amplitudes.h"

#include "kernel/interface_coefficients.h"
#include "kernel/source_amplitude_values.h"

namespace lg {

void source_layer_amplitudes(const Placement& p, const LayerWavenumbers& v,
                             const StackResponses& st, SourceLayerAmplitudes& out) {
  const int ls = p.ls;
  const Cx zsl = cx(p.zsl);
  // Phase factors over the source depth within its layer.
  const Cx egam = depth_phase(v.cgam[ls], zsl);
  const Cx enu = depth_phase(v.cnu[ls], zsl);
  source_amplitude_values(st.crdo[ls], st.crdosh[ls], st.crup[ls], st.crupsh[ls], egam, enu,
                          out.cud);
}

void source_layer_amplitudes(const Placement& p, const LayerWavenumbers& v,
                             const StackResponses& st, const SourceLayerInverses<Cx>& inverses,
                             SourceLayerAmplitudes& out) {
  const int ls = p.ls;
  const Cx zsl = cx(p.zsl);
  const Cx egam = depth_phase(v.cgam[ls], zsl);
  const Cx enu = depth_phase(v.cnu[ls], zsl);
  source_amplitudes_at_depth(st.crdo[ls], st.crdosh[ls], st.crup[ls], st.crupsh[ls], inverses, egam,
                             enu, out.cud);
}

}  // namespace lg
