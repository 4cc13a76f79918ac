#include "textio/free_write.h"

#include <cmath>
#include <cstdio>

namespace lg {

namespace {

// Lines are ended before an item that would make them reach this column.
constexpr std::size_t kLineLimit = 80;

}  // namespace

std::string free_real(double v) {
  if (std::isnan(v)) return "  NaN";
  std::string s = " ";
  s += std::signbit(v) && v != 0.0 ? '-' : ' ';
  if (std::isinf(v)) return s + "Inf";
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.9G", std::fabs(v));
  std::string mag = buf;
  if (mag.find('.') == std::string::npos) {
    const std::size_t e = mag.find('E');
    mag.insert(e == std::string::npos ? mag.size() : e, 1, '.');
  }
  return s + mag;
}

FreeLine& FreeLine::i(long long v) {
  std::string item(1, ' ');
  item += std::to_string(v);
  put(item, false);
  return *this;
}

FreeLine& FreeLine::r(double v) {
  put(free_real(v), false);
  return *this;
}

FreeLine& FreeLine::t(std::string_view s) {
  put(std::string(s), true);
  return *this;
}

void FreeLine::put(const std::string& item, bool is_text) {
  // A number carries its own leading blank, which serves as the line's leading blank; a text
  // needs one only when it starts the line.
  if (!line_.empty() && line_.size() + item.size() >= kLineLimit) {
    done_ += line_;
    done_ += '\n';
    line_.clear();
  }
  if (line_.empty() && is_text) line_.push_back(' ');
  line_ += item;
}

std::string FreeLine::str() const {
  return done_ + (line_.empty() ? " " : line_) + "\n";
}

}  // namespace lg
