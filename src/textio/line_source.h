// Line-by-line access to an input text file, with line numbers for messages.
//
// A carriage return at the end of a line is dropped (files edited on other systems), tabs
// count as blanks, and a UTF-8 byte-order mark at the start of the text is skipped.
#pragma once

#include <string>
#include <vector>

namespace lg {

// The whole content of a regular file. Throws InputError(path, 0, ...) when it cannot be
// opened or read, or is not a regular file (a folder, a FIFO, a device).
std::string read_regular_file(const std::string& path);

class LineSource {
 public:
  // Reads the whole file; throws InputError(path, 0, "cannot open: ...") when it cannot.
  static LineSource open(const std::string& path);
  // A source over text held in memory; `name` is used in messages.
  LineSource(std::string name, const std::string& contents);

  // The next line, without its line end. Throws InputError "unexpected end of file" at the end.
  const std::string& next();
  bool at_end() const { return pos_ >= lines_.size(); }
  // Number (from 1) of the line last returned by next(); 0 before the first.
  int line_number() const { return static_cast<int>(pos_); }
  const std::string& name() const { return name_; }

  // Throws InputError naming this file and the line last returned.
  [[noreturn]] void fail(const std::string& detail) const;

 private:
  std::string name_;
  std::vector<std::string> lines_;
  std::size_t pos_ = 0;
};

}  // namespace lg
