#include "inputs/file_names.h"

#include <unistd.h>

#include "textio/blanks.h"
#include "textio/fixed_format.h"
#include "textio/input_error.h"

namespace lg {

namespace {

int first_of(const std::string& s, char ch) {
  const std::size_t p = s.find(ch);
  return p == std::string::npos ? 0 : static_cast<int>(p) + 1;
}

// Characters from..to (1-based, inclusive) of s; empty when to < from.
std::string cols(const std::string& s, int from, int to) {
  if (to < from) return std::string();
  return s.substr(static_cast<std::size_t>(from - 1), static_cast<std::size_t>(to - from + 1));
}

std::string pad80(std::string s) {
  s.resize(80, ' ');
  return s;
}

// Throws when the first `used` characters of a template hold a control character, which
// would end up in a file name (a NUL cuts it short, others garble a terminal).
void check_controls(const std::string& control_name, int line, const char* what,
                    const std::string& text, int used) {
  for (int i = 0; i < used; ++i) {
    const auto u = static_cast<unsigned char>(text[static_cast<std::size_t>(i)]);
    if (u < 0x20 || u == 0x7f) {
      throw InputError(control_name, line,
                       std::string(what) + " holds the control character " +
                           escape_controls(text.substr(static_cast<std::size_t>(i), 1)) +
                           " in column " + std::to_string(i + 1) +
                           ": file names cannot contain control characters");
    }
  }
}

}  // namespace

void check_station_code(const LineSource& src, int line, const std::string& code) {
  for (const char c : code) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7f) {
      throw InputError(src.name(), line,
                       "station code \"" + code +
                           "\" holds a control character: file names cannot contain control "
                           "characters");
    }
  }
}

NameMarkers find_markers(const Control& ctl, const std::string& control_name) {
  NameMarkers mk;
  mk.lten = first_of(ctl.filo1, '.');
  mk.lbra = first_of(ctl.filin1, ' ');
  mk.lbra2 = first_of(ctl.fzahy1, ' ');
  // The parts of the templates that go into names: before the marker (the whole line when
  // there is none); all of the subfault template.
  check_controls(control_name, ctl.filin1_line, "model-file template", ctl.filin1,
                 mk.lbra == 0 ? 80 : mk.lbra - 1);
  check_controls(control_name, ctl.filo1_line, "result-file template", ctl.filo1,
                 mk.lten == 0 ? 80 : mk.lten - 1);
  check_controls(control_name, ctl.fzahy1_line, "subfault-file template", ctl.fzahy1, 80);
  if (mk.lbra < 4) {
    throw InputError(control_name, ctl.filin1_line,
                     mk.lbra == 0
                         ? "model-file template has no blank in its first 80 columns (the 3 "
                           "characters before the first blank become the station code)"
                         : "model-file template needs at least 3 characters before its first "
                           "blank");
  }
  if (mk.lbra2 < 8) {
    throw InputError(control_name, ctl.fzahy1_line,
                     mk.lbra2 == 0
                         ? "subfault-file template has no blank in its first 80 columns (the 7 "
                           "characters before the first blank locate the station code)"
                         : "subfault-file template needs at least 7 characters before its "
                           "first blank");
  }
  if (mk.lten < 8) {
    throw InputError(control_name, ctl.filo1_line,
                     mk.lten == 0 ? "result-file template has no full stop"
                                  : "result-file template needs at least 7 characters before "
                                    "its first full stop");
  }
  return mk;
}

std::string model_file_name(const Control& ctl, const NameMarkers& mk, const std::string& code) {
  return pad80(cols(ctl.filin1, 1, mk.lbra - 4) + code);
}

std::string subfault_file_name(const Control& ctl, const NameMarkers& mk, const std::string& code) {
  return pad80(cols(ctl.fzahy1, 1, mk.lbra2 - 8) + code + cols(ctl.fzahy1, mk.lbra2 - 4, 80));
}

std::string result_file_name(const Control& ctl, const NameMarkers& mk, const std::string& code,
                             int number) {
  std::string num = fixed_i(number, 3);
  num.erase(0, num.find_first_not_of(' '));
  return pad80(cols(ctl.filo1, 1, mk.lten - 8) + code + "/" + code + "." + num);
}

std::string trimmed(const std::string& name) {
  return trim_trailing_blanks(name);
}

std::string temporary_result_name(const std::string& final_name) {
  const std::size_t slash = final_name.rfind('/');
  const std::string dir =
      slash == std::string::npos ? std::string() : final_name.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? final_name : final_name.substr(slash + 1);
  return dir + "." + base + ".partial-" + std::to_string(static_cast<long>(::getpid()));
}

}  // namespace lg
