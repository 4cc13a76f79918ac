// Names of the traces of a result file: element and component labels, the trace codes of the
// output file names, and the station code.
#pragma once

#include <string>

#include "seis/result_file.h"  // kElements, kComponents

namespace lg::seis {

// "Mxy", "Mxz", "-Myz", "Mzz-Mxx", "Mzz-Myy", "Mxx+Myy+Mzz" for elements 0 ... 5.
std::string element_label(int element);
// 'x', 'y', 'z' (vertical, positive upwards) for components 0 ... 2.
char component_letter(int component);
// Short trace code, e.g. "e1x" for element 0, component 0; "e6z" for element 5, component 2.
std::string trace_code(int element, int component);

// The station code of a result file: its file name up to the first full stop ("OSK" for
// green/OSK/OSK.3), or "-" when there is none or it is longer than 8 characters.
std::string station_code(const std::string& path);

// The file name of a path without its folders.
std::string base_name(const std::string& path);

}  // namespace lg::seis
