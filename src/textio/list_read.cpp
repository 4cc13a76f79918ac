#include "textio/list_read.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "textio/blanks.h"

namespace lg {

namespace {

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

bool is_separator(char c) {
  return c == ' ' || c == ',' || c == '/';
}

// Appends the digits of s from i on to out; returns how many there were.
std::size_t take_digits(const std::string& s, std::size_t& i, std::string& out) {
  std::size_t start = i;
  while (i < s.size() && is_digit(s[i])) out += s[i++];
  return i - start;
}

}  // namespace

bool parse_int(const std::string& s, int& v) {
  const std::string t = trim_blanks(s);
  std::size_t i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
  if (i == t.size()) return false;
  long long x = 0;
  for (; i < t.size(); ++i) {
    if (!is_digit(t[i])) return false;
    x = x * 10 + (t[i] - '0');
    if (x > static_cast<long long>(std::numeric_limits<int>::max()) + 1) return false;
  }
  if (negative) x = -x;
  if (x < std::numeric_limits<int>::min() || x > std::numeric_limits<int>::max()) return false;
  v = static_cast<int>(x);
  return true;
}

bool parse_real(const std::string& s, double& v) {
  const std::string t = trim_blanks(s);
  std::size_t i = 0;
  std::string norm;
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
    negative = t[i] == '-';
    if (negative) norm += '-';
    ++i;
  }
  const std::string word = upper_case(t.substr(i));
  if (word == "INF" || word == "INFINITY") {
    v = negative ? -std::numeric_limits<double>::infinity()
                 : std::numeric_limits<double>::infinity();
    return true;
  }
  if (word == "NAN") {
    v = std::numeric_limits<double>::quiet_NaN();
    return true;
  }

  std::size_t digits = take_digits(t, i, norm);
  if (i < t.size() && t[i] == '.') {
    norm += t[i++];
    digits += take_digits(t, i, norm);
  }
  if (digits == 0) return false;
  if (i < t.size()) {
    // Exponent: a letter E or D with an optional sign, or a sign alone.
    const char c = t[i];
    if (c == 'E' || c == 'e' || c == 'D' || c == 'd') {
      ++i;
    } else if (c != '+' && c != '-') {
      return false;
    }
    norm += 'e';
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) norm += t[i++];
    if (take_digits(t, i, norm) == 0 || i != t.size()) return false;
  }
  const double x = std::strtod(norm.c_str(), nullptr);
  if (std::isinf(x)) return false;  // beyond the largest double
  v = x;
  return true;
}

ListRead::ListRead(LineSource& src) : src_(src) {
  line_ = src_.next();
}

bool ListRead::next_value(Token& tok) {
  if (ended_) return false;
  if (repeat_left_ > 0) {
    --repeat_left_;
    tok = repeat_;
    return true;
  }
  return scan(tok);
}

bool ListRead::scan(Token& tok) {
  for (;;) {
    while (col_ < line_.size() && line_[col_] == ' ') ++col_;
    if (col_ >= line_.size()) {
      // The end of a line separates values like a blank; the read goes on with the next line.
      line_ = src_.next();
      col_ = 0;
      continue;
    }
    const char c = line_[col_];
    if (c == ',') {
      ++col_;
      if (need_sep_) {
        need_sep_ = false;
        continue;
      }
      tok = Token{{}, false, true};  // two commas in a row, or a comma first
      return true;
    }
    if (c == '/') {
      ended_ = true;
      return false;
    }
    break;
  }
  need_sep_ = true;

  const std::size_t n = line_.size();
  int count = 1;
  std::size_t j = col_;
  while (j < n && is_digit(line_[j])) ++j;
  if (j > col_ && j < n && line_[j] == '*') {
    const std::string r = line_.substr(col_, j - col_);
    if (!parse_int(r, count) || count < 1) src_.fail("invalid repeat count \"" + r + "\"");
    col_ = j + 1;
    if (col_ >= n || is_separator(line_[col_])) {
      tok = Token{{}, false, true};
      repeat_ = tok;
      repeat_left_ = count - 1;
      return true;
    }
  }

  const char q = line_[col_];
  if (q == '\'' || q == '"') {
    std::string text;
    std::size_t k = col_ + 1;
    for (;;) {
      if (k >= n) src_.fail("character value without its closing " + std::string(1, q));
      if (line_[k] == q) {
        if (k + 1 < n && line_[k + 1] == q) {  // a doubled delimiter stands for itself
          text += q;
          k += 2;
          continue;
        }
        ++k;
        break;
      }
      text += line_[k++];
    }
    if (k < n && !is_separator(line_[k])) {
      src_.fail("unexpected \"" + line_.substr(k, 1) + "\" after character value");
    }
    col_ = k;
    tok = Token{text, true, false};
  } else {
    std::size_t k = col_;
    while (k < n && !is_separator(line_[k])) ++k;
    tok = Token{line_.substr(col_, k - col_), false, false};
    col_ = k;
  }
  if (count > 1) {
    repeat_ = tok;
    repeat_left_ = count - 1;
  }
  return true;
}

std::string ListRead::describe(const Token& tok) const {
  return tok.quoted ? "\"'" + tok.text + "'\"" : "\"" + tok.text + "\"";
}

void ListRead::read(int& v) {
  Token tok;
  if (!next_value(tok) || tok.null) return;
  int x = 0;
  if (tok.quoted || !parse_int(tok.text, x)) {
    src_.fail("cannot read " + describe(tok) + " as an integer");
  }
  v = x;
}

void ListRead::read(double& v) {
  Token tok;
  if (!next_value(tok) || tok.null) return;
  double x = 0.0;
  if (tok.quoted || !parse_real(tok.text, x))
    src_.fail("cannot read " + describe(tok) + " as a real");
  v = x;
}

void ListRead::read(std::string& v, std::size_t len) {
  Token tok;
  if (!next_value(tok) || tok.null) return;
  v = tok.text;
  v.resize(len, ' ');
}

void skip_line(LineSource& src) {
  src.next();
}

}  // namespace lg
