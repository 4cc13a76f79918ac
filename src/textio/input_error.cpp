#include "textio/input_error.h"

#include <utility>

namespace lg {

namespace {
std::string compose(const std::string& file, int line, const std::string& detail) {
  std::string s = file;
  if (line > 0) {
    s.push_back(':');
    s.append(std::to_string(line));
  }
  s.append(": ");
  s.append(detail);
  return s;
}
}  // namespace

InputError::InputError(std::string file, int line, std::string detail)
    : std::runtime_error(compose(file, line, detail)),
      file_(std::move(file)),
      line_(line),
      detail_(std::move(detail)) {}

}  // namespace lg
