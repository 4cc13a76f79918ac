#include "textio/input_error.h"

#include <cstdio>
#include <utility>

namespace lg {

namespace {

// Longest value quoted in a message before it is cut.
constexpr std::size_t kQuotedMax = 80;

std::string compose(const std::string& file, int line, const std::string& detail) {
  std::string s = file;
  if (line > 0) {
    s.push_back(':');
    s.append(std::to_string(line));
  }
  s.append(": ");
  s.append(detail);
  return message_text(s);
}

}  // namespace

std::string escape_controls(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (const char c : s) {
    const auto u = static_cast<unsigned char>(c);
    if (u == 0) {
      out += "\\0";
    } else if (u < 0x20 || u == 0x7f) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", static_cast<unsigned>(u));
      out += buf;
    } else {
      out += c;
    }
  }
  return out;
}

std::string message_text(std::string_view s) {
  // Quoted values longer than kQuotedMax are cut, and marked as cut.
  std::string cut;
  std::size_t pos = 0;
  for (;;) {
    const std::size_t open = s.find('"', pos);
    const std::size_t close = open == std::string_view::npos ? open : s.find('"', open + 1);
    if (close == std::string_view::npos) break;
    const std::size_t len = close - open - 1;
    if (len > kQuotedMax) {
      cut.append(s.substr(pos, open + 1 + kQuotedMax - pos));
      cut.append("...\" (cut, " + std::to_string(len) + " characters in all)");
    } else {
      cut.append(s.substr(pos, close + 1 - pos));
    }
    pos = close + 1;
  }
  cut.append(s.substr(pos));
  return escape_controls(cut);
}

InputError::InputError(std::string file, int line, std::string detail)
    : Error(compose(file, line, detail)),
      file_(std::move(file)),
      line_(line),
      detail_(std::move(detail)) {}

}  // namespace lg
