#include "textio/namelist.h"

#include "textio/blanks.h"
#include "textio/input_error.h"
#include "textio/list_read.h"

namespace lg {

namespace {

bool is_name_char(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

bool is_letter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The name that starts at s[i], letters, digits and underscores; advances i past it.
std::string take_name(const std::string& s, std::size_t& i) {
  std::size_t start = i;
  while (i < s.size() && is_name_char(s[i])) ++i;
  return s.substr(start, i - start);
}

// The position after "&NAME" or "$NAME" when the line opens the group `group` (upper case),
// or npos when it does not.
std::size_t group_opening(const std::string& line, const std::string& group) {
  std::size_t i = line.find_first_not_of(' ');
  if (i == std::string::npos || (line[i] != '&' && line[i] != '$')) return std::string::npos;
  ++i;
  if (upper_case(take_name(line, i)) != group) return std::string::npos;
  return i;
}

}  // namespace

void Namelist::add(const std::string& name, int* target) {
  Member m;
  m.name = upper_case(name);
  m.ival = target;
  members_.push_back(m);
}

void Namelist::add(const std::string& name, double* target) {
  Member m;
  m.name = upper_case(name);
  m.rval = target;
  members_.push_back(m);
}

int Namelist::line_of(const std::string& name) const {
  const std::string key = upper_case(name);
  for (const Member& m : members_) {
    if (m.name == key) return m.line;
  }
  return 0;
}

void Namelist::read(LineSource& src) {
  const std::string group = upper_case(group_);
  for (Member& m : members_) m.line = 0;

  std::string line;
  std::size_t i = std::string::npos;
  while (i == std::string::npos) {
    if (src.at_end()) throw InputError(src.name(), 0, "namelist group &" + group + " not found");
    line = src.next();
    i = group_opening(line, group);
  }

  const std::string where = " in namelist group " + group;
  for (;;) {
    // Members are separated by blanks and commas; the group may go on over several lines.
    while (i < line.size() && (line[i] == ' ' || line[i] == ',')) ++i;
    if (i >= line.size() || line[i] == '!') {  // '!' starts a comment that ends the line
      if (src.at_end()) src.fail("unexpected end of file" + where);
      line = src.next();
      i = 0;
      continue;
    }
    const char c = line[i];
    if (c == '/') return;
    if (c == '&' || c == '$') {
      ++i;
      const std::string word = take_name(line, i);
      if (upper_case(word) == "END") return;
      src.fail("unexpected \"" + std::string(1, c) + word + "\"" + where);
    }
    if (!is_letter(c)) src.fail("unexpected \"" + std::string(1, c) + "\"" + where);

    const std::string name = upper_case(take_name(line, i));
    Member* member = nullptr;
    for (Member& m : members_) {
      if (m.name == name) member = &m;
    }
    if (member == nullptr) src.fail("unknown member \"" + name + "\"" + where);
    while (i < line.size() && line[i] == ' ') ++i;
    if (i >= line.size() || line[i] != '=') src.fail("missing '=' after \"" + name + "\"" + where);
    ++i;
    while (i < line.size() && line[i] == ' ') ++i;

    std::size_t end = i;
    while (end < line.size() && line[end] != ' ' && line[end] != ',' && line[end] != '/' &&
           line[end] != '&' && line[end] != '$' && line[end] != '!') {
      ++end;
    }
    const std::string value = line.substr(i, end - i);
    i = end;
    if (value.empty()) continue;  // a null value leaves the member as it was
    if (member->ival != nullptr) {
      int v = 0;
      if (!parse_int(value, v)) {
        src.fail("cannot read \"" + value + "\" as an integer for member " + name + where);
      }
      *member->ival = v;
    } else {
      double v = 0.0;
      if (!parse_real(value, v)) {
        src.fail("cannot read \"" + value + "\" as a real for member " + name + where);
      }
      *member->rval = v;
    }
    member->line = src.line_number();
  }
}

}  // namespace lg
