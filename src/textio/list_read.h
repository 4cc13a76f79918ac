// Free-format (list-directed) reading: one read statement over one or more lines.
//
// A read starts at the beginning of a new line; values are separated by blanks or commas;
// a value may carry a repeat count (3*0. is three zeros; 3* is three null values); reals take
// E or D exponents; a slash ends the read and leaves the remaining items unchanged, as does
// a null value. Values left on the last line are ignored; a read that needs more values
// continues on the following lines. Character values may be bare or between apostrophes.
#pragma once

#include <cstddef>
#include <string>

#include "textio/line_source.h"

namespace lg {

class ListRead {
 public:
  // Starts the read at the next line of src.
  explicit ListRead(LineSource& src);

  // Each call takes the next value. Throws InputError (file and line of the value) when the
  // value cannot be read as the type asked for, or the file ends first.
  void read(int& v);
  void read(double& v);
  // A character value cut to `len` characters or padded with blanks to `len`.
  void read(std::string& v, std::size_t len);

 private:
  struct Token {
    std::string text;
    bool quoted = false;  // was written between apostrophes (or quotes)
    bool null = false;    // a null value: the item keeps its value
  };
  // The next value of the read into tok; false once a slash has ended the read.
  bool next_value(Token& tok);
  // Scans the next value or separator from the lines.
  bool scan(Token& tok);
  std::string describe(const Token& tok) const;

  LineSource& src_;
  std::string line_;
  std::size_t col_ = 0;
  bool need_sep_ = false;  // a value was taken and its separator not yet passed
  bool ended_ = false;     // a slash was met
  int repeat_left_ = 0;
  Token repeat_;
};

// A free-format read of no values: skips exactly one line.
void skip_line(LineSource& src);

// Number parsing shared by the readers; both return false on anything that is not
// exactly one number (surrounding blanks allowed).
bool parse_int(const std::string& s, int& v);
bool parse_real(const std::string& s, double& v);  // accepts E or D exponents

}  // namespace lg
