// Names of the traces of a result file: element and component labels, the trace codes of the
// output file names, and the station code.
#pragma once

#include <string>

#include "kernel/layout.h"

namespace lg::seis {

// The label of an element counted from 0 ("Mxy", ..., "Mxx+Myy+Mzz").
std::string element_label(int element);
// Short trace code, the element's code and the component's: "e1x" for element 0, component 0
// (x), "e6z" for element 5, component 2 (z, vertical, positive upwards).
std::string trace_code(int element, int component);
// The help texts' words for the traces: "(Mxy, Mxz, ..., Mxx+Myy+Mzz)" (the labels),
// "NAME.e1x.sac ... NAME.e6z.sac" (stem NAME, suffix ".sac").
std::string element_labels_text();
std::string trace_range_text(const std::string& stem, const std::string& suffix);

// The station code of a result file: its file name up to the first full stop ("OSK" for
// green/OSK/OSK.3), or "-" when there is none or it is longer than 8 characters.
std::string station_code(const std::string& path);

// The file name of a path without its folders.
std::string base_name(const std::string& path);

}  // namespace lg::seis
