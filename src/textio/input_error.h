// The one kind of error that bad input raises: it names the file, the line and the fault.
#pragma once

#include <stdexcept>
#include <string>

namespace lg {

class InputError : public std::runtime_error {
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
