// The one kind of error that bad input raises: it names the file, the line and the fault.
// Its text is fit for a terminal: control bytes are shown escaped and long quoted values cut.
#pragma once

#include <string>
#include <string_view>

#include "common/error.h"

namespace lg {

// s with every control byte shown as an escape: \0 for NUL, \xHH for the others.
std::string escape_controls(std::string_view s);

// s as a message line: control bytes escaped, and each value in double quotes longer than
// 80 characters cut there, with a note of its full length.
std::string message_text(std::string_view s);

class InputError : public Error {
 public:
  // line 0 means "no particular line" (for example a file that cannot be opened).
  InputError(std::string file, int line, std::string detail);

  const std::string& file() const { return file_; }
  int line() const { return line_; }
  const std::string& detail() const { return detail_; }

 private:
  std::string file_;
  int line_;
  std::string detail_;
};

}  // namespace lg
