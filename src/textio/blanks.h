// Blank trimming and ASCII upper case, shared by every reader of input text (namelist and
// list-directed reading, file names, result files).
#pragma once

#include <string>
#include <string_view>

namespace lg {

// s without its leading and trailing blanks.
inline std::string trim_blanks(std::string_view s) {
  const std::size_t a = s.find_first_not_of(' ');
  if (a == std::string_view::npos) return {};
  const std::size_t b = s.find_last_not_of(' ');
  return std::string(s.substr(a, b - a + 1));
}

// s without its trailing blanks.
inline std::string trim_trailing_blanks(std::string_view s) {
  const std::size_t end = s.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string() : std::string(s.substr(0, end + 1));
}

// s with its letters a-z in upper case (names in input files are case-blind).
inline std::string upper_case(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

}  // namespace lg
