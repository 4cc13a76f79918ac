// Complex velocities of every layer at one frequency (the anelastic law) and the P and S
// wavenumbers that follow. Reads the model, the law and the frequency terms; writes
// LayerMedium.
#pragma once

#include "kernel/records.h"

namespace lg {

void layer_medium(const LayerModel& m, const AnelasticLaw& law, const FrequencyTerms& f,
                  LayerMedium& out);

}  // namespace lg
