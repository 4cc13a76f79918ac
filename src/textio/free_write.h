// Free-format (list-directed) writing of one output statement.
//
// Every line begins with a blank. An integer is a blank, a minus sign when negative, and its
// digits. A real is a blank, a minus sign or a blank, and its magnitude as C's %.9G gives it,
// with a decimal point added where it has none (1., 1.E-05); negative zero has no sign; NaN is
// written NaN, infinities Inf. A text is written as given, preceded by the line's leading blank
// only when it starts a line. Before an item that would make the line reach 80 columns the
// line is ended and the item starts a new line (which again begins with a blank).
#pragma once

#include <string>
#include <string_view>

namespace lg {

class FreeLine {
 public:
  FreeLine& i(long long v);
  FreeLine& r(double v);
  FreeLine& t(std::string_view s);
  // The written lines, each ended by '\n'. An empty statement writes one line " ".
  std::string str() const;

 private:
  void put(const std::string& item, bool is_text);
  std::string done_;
  std::string line_;
};

// The characters one real occupies in a free-format line, including its leading blank and
// sign position, e.g. "  0.1", " -20.".
std::string free_real(double v);

}  // namespace lg
