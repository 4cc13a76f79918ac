// Construction of the per-station file names from the control file's templates.
//
// The three characters before the first blank of the model template and the first three of
// the seven before the first blank of the subfault template become the station code; the
// seven characters before the first full stop of the result template become code/code, and
// the rest becomes "." and the file number.
#pragma once

#include <string>

#include "inputs/control_file.h"

namespace lg {

struct NameMarkers {
  int lten = 0;   // first full stop of the result template (1-based, 0 if none)
  int lbra = 0;   // first blank of the model template
  int lbra2 = 0;  // first blank of the subfault template
};

// Locates the markers; throws InputError naming the control line of a template that has too
// few characters before its marker for the construction.
NameMarkers find_markers(const Control& ctl, const std::string& control_name);

// Throws InputError naming the control line of a station code that holds a control
// character.
void check_station_code(const LineSource& src, int line, const std::string& code);

// The temporary name under which a result file is written before it is renamed into place:
// ".NAME.partial-PID" in the result file's folder.
std::string temporary_result_name(const std::string& final_name);

// All names are returned 80 characters long, blank-padded, as the echo lines show them.
std::string model_file_name(const Control& ctl, const NameMarkers& mk, const std::string& code);
std::string subfault_file_name(const Control& ctl, const NameMarkers& mk, const std::string& code);
std::string result_file_name(const Control& ctl, const NameMarkers& mk, const std::string& code,
                             int number);

// The name used to open a file: the padded name without its trailing blanks.
std::string trimmed(const std::string& name);

}  // namespace lg
