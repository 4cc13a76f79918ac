#include "driver/input_error.h"

#include <utility>

namespace lg {

namespace {
std::string compose(const std::string& file, int line, const std::string& detail) {
  std::string s = file;
  if (line > 0) s += ":" + std::to_string(line);
  return s + ": " + detail;
}
}  // namespace

InputError::InputError(std::string file, int line, std::string detail)
    : std::runtime_error(compose(file, line, detail)),
      file_(std::move(file)),
      line_(line),
      detail_(std::move(detail)) {}

}  // namespace lg
