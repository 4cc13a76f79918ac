// The keys of a bank's TOML configuration, as `layergreen bank --help` and the manual page list
// them. Their one source is the table of docs/banks.md, which the build turns into the text
// this reads (cmake/bank_keys.cmake).
#pragma once

#include <string>
#include <vector>

namespace lg {

struct BankKey {
  std::string table;    // "[bank]", "[[station]]", ...
  std::string key;      // "output"; several keys of one row as "x, y"
  std::string meaning;  // plain text: no backticks, links as their text
};

// The rows of the table, in its order.
std::vector<BankKey> bank_keys();

// The list for the help text: one heading line, then the keys by table, their meanings wrapped
// to fit 88 columns.
std::string bank_keys_help();

}  // namespace lg
