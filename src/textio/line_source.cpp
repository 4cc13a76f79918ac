#include "textio/line_source.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <utility>

#include "textio/input_error.h"

namespace lg {

LineSource LineSource::open(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw InputError(path, 0, std::string("cannot open: ") + std::strerror(errno));
  std::string contents((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw InputError(path, 0, "read error");
  return LineSource(path, contents);
}

LineSource::LineSource(std::string name, const std::string& contents) : name_(std::move(name)) {
  std::size_t start = 0;
  while (start < contents.size()) {
    std::size_t end = contents.find('\n', start);
    if (end == std::string::npos) end = contents.size();
    std::string line = contents.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    for (char& c : line) {
      if (c == '\t') c = ' ';
    }
    lines_.push_back(std::move(line));
    start = end + 1;
  }
}

const std::string& LineSource::next() {
  if (at_end()) fail("unexpected end of file");
  return lines_[pos_++];
}

void LineSource::fail(const std::string& detail) const {
  throw InputError(name_, line_number(), detail);
}

}  // namespace lg
