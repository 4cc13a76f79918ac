#include "run/bank_keys.h"

#include <cstddef>
#include <sstream>

namespace lg {

namespace {

constexpr const char* kTable =
#include "bank_keys.inc"
    ;

std::string trim(const std::string& s) {
  const std::size_t a = s.find_first_not_of(' ');
  if (a == std::string::npos) return "";
  return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

// Markdown to plain text: code spans lose their backticks, links keep their text.
std::string plain(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '`') continue;
    if (s[i] == '[') {
      const std::size_t close = s.find("](", i);
      const std::size_t end = close == std::string::npos ? close : s.find(')', close);
      if (end != std::string::npos && s.find('[', i + 1) > close) {
        out += plain(s.substr(i + 1, close - i - 1));
        i = end;
        continue;
      }
    }
    out += s[i];
  }
  return out;
}

}  // namespace

std::vector<BankKey> bank_keys() {
  std::vector<BankKey> keys;
  std::istringstream in(kTable);
  std::string line;
  std::string table;
  bool header = true;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] != '|') continue;
    std::vector<std::string> cells;
    std::size_t start = 1;
    for (std::size_t bar = line.find('|', start); bar != std::string::npos;
         bar = line.find('|', start)) {
      cells.push_back(trim(line.substr(start, bar - start)));
      start = bar + 1;
    }
    if (cells.size() != 3) continue;
    if (header || cells[0].rfind("---", 0) == 0) {  // the column names and the rule below them
      header = false;
      continue;
    }
    if (!cells[0].empty()) table = plain(cells[0]);
    keys.push_back({table, plain(cells[1]), plain(cells[2])});
  }
  return keys;
}

std::string bank_keys_help() {
  constexpr std::size_t kIndent = 22;
  constexpr std::size_t kWidth = 88;
  std::string out =
      "Configuration keys (any other key is an error; docs/banks.md explains them):\n";
  std::string table;
  for (const BankKey& k : bank_keys()) {
    if (k.table != table) {
      table = k.table;
      out += "  " + table + "\n";
    }
    std::string line = "    " + k.key;
    line += std::string(line.size() + 1 < kIndent ? kIndent - line.size() : 1, ' ');
    if (line.size() > kIndent) {
      out += "    " + k.key + "\n";
      line = std::string(kIndent, ' ');
    }
    std::istringstream words(k.meaning);
    std::string word;
    bool first = true;
    while (words >> word) {
      if (!first && line.size() + 1 + word.size() > kWidth) {
        out += line + "\n";
        line = std::string(kIndent, ' ');
        first = true;
      }
      if (!first) line += ' ';
      line += word;
      first = false;
    }
    out += line + "\n";
  }
  return out;
}

}  // namespace lg
