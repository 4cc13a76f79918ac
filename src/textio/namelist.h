// Reading of one namelist group, such as &INPUT NC=6, TL=20. /
//
// The group is introduced by &NAME or $NAME and ended by /, &END or $END. Members are
// NAME = value, separated by commas or blanks, in any order; names are case-insensitive.
// A member missing from the group keeps its previous value. Lines before the group are
// skipped; the next read of the source starts at the line after the one that ends the group.
#pragma once

#include <string>
#include <vector>

#include "textio/line_source.h"

namespace lg {

class Namelist {
 public:
  explicit Namelist(std::string group) : group_(std::move(group)) {}

  void add(const std::string& name, int* target);
  void add(const std::string& name, double* target);

  // Reads the group. Throws InputError (with the line) on an unknown member, a value that
  // does not fit its member's type, a malformed assignment, or an end of file before the
  // group ends.
  void read(LineSource& src);

  // Line on which `name` was last assigned by read(); 0 when the last group omitted it.
  int line_of(const std::string& name) const;

 private:
  struct Member {
    std::string name;  // upper case
    int* ival = nullptr;
    double* rval = nullptr;
    int line = 0;
  };
  std::string group_;
  std::vector<Member> members_;
};

}  // namespace lg
