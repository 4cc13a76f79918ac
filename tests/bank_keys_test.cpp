// The keys that `layergreen bank --help` and the manual page list (from the table of
// docs/banks.md) against the configuration reader: every listed key is one it reads.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "bank/bank_config.h"
#include "run/bank_keys.h"
#include "run/command_line.h"

namespace lg {
namespace {

// A complete configuration, one table per entry: its header and its lines.
struct Table {
  std::string header;
  std::vector<std::string> lines;
};

std::vector<Table> complete_configuration() {
  return {
      {"[bank]", {"output = \"bank.h5\""}},
      {"[sampling]",
       {"nfreq = 8", "tl = 10.0", "aw = 1.0", "xl = 200.0", "ikmax = 300", "uconv = 1e-3"}},
      {"[model]", {"layers = [[2.0, 4.5, 2.6, 2.4, 200, 100], [0.0, 6.0, 3.45, 2.7, 400, 200]]"}},
      {"[fault]",
       {"top_center = [1.0, 2.0, 1.0]", "strike = 30.0", "dip = 40.0", "length = 6.0",
        "width = 4.0", "n_strike = 3", "n_dip = 2"}},
      {"[[station]]", {"name = \"NEAR\"", "x = 10.0", "y = 4.0"}}};
}

// The reader's message for the complete configuration with `key = {}` in `table` (replacing
// the key's line when it has one); empty when it reads it.
std::string message_with(const std::string& table, const std::string& key) {
  std::ostringstream text;
  bool found = false;
  for (const Table& t : complete_configuration()) {
    text << t.header << "\n";
    for (const std::string& line : t.lines) {
      if (t.header != table || line.rfind(key + " =", 0) != 0) text << line << "\n";
    }
    if (t.header == table) {
      text << key << " = {}\n";
      found = true;
    }
  }
  EXPECT_TRUE(found) << "no table " << table << " in the test's configuration";
  try {
    parse_bank_config(text.str(), "bank.toml");
  } catch (const BankError& e) {
    return e.what();
  }
  return "";
}

TEST(BankKeys, EveryListedKeyIsReadAndTheHelpListsThem) {
  const std::vector<BankKey> keys = bank_keys();
  ASSERT_GE(keys.size(), 20u);
  const std::string help = *help_text("bank", Program::kSerial);
  int checked = 0;
  for (const BankKey& k : keys) {
    EXPECT_NE(help.find("    " + k.key + " "), std::string::npos) << k.key;
    std::istringstream names(k.key);
    std::string name;
    while (std::getline(names, name, ',')) {
      name.erase(0, name.find_first_not_of(' '));
      EXPECT_EQ(message_with(k.table, name).find("unknown key"), std::string::npos)
          << k.table << " " << name << " is listed but not read";
      // The same key misspelt is refused, in every table: the check above can fail.
      EXPECT_NE(message_with(k.table, name + "_x").find("unknown key \"" + name + "_x\""),
                std::string::npos)
          << k.table << " " << name;
      ++checked;
    }
  }
  EXPECT_GE(checked, 25);
}

}  // namespace
}  // namespace lg
