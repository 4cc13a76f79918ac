// Subfaults of a bank: the centres of a rectangular fault's grid (from the [fault] table) or
// the lines of a subfault list (CSV), grouped into rows of equal depth.
#pragma once

#include <string>
#include <vector>

#include "bank/bank_config.h"

namespace lg {

struct Subfault {
  double x = 0.0, y = 0.0, depth = 0.0;  // x north, y east, depth down
  double strike = 0.0, dip = 0.0;        // degrees
  double area = 0.0;                     // model length squared (when the grid has areas)
  int row = 0;                           // from 1, rows by ascending depth
  int along_strike = 0;                  // from 1 within the row
};

struct FaultGrid {
  std::vector<Subfault> subfaults;     // in subfault-number order
  std::vector<std::vector<int>> rows;  // subfault indices of each row, along-strike order
  bool oriented = false;               // strike and dip known for every subfault
  bool has_area = false;               // area known for every subfault
};

// The subfaults of a slip model, in its order: centres about its hypocentre (see
// slip_model_centres), strike, dip and area; rows by depth as for a list.
FaultGrid slip_model_subfaults(const std::string& text, const std::string& file);

// Centres of the rectangle's n_strike x n_dip subfaults, number s = (j-1)*n_strike + i.
FaultGrid rectangle_subfaults(const FaultSpec& f);

// The subfaults of a CSV text: a header naming x, y, depth and optionally strike, dip, area
// (any order), then one subfault a line. Rows are the distinct depths, ascending; within a row the
// order of the file. `file` names the list in messages. Throws BankError.
FaultGrid listed_subfaults(const std::string& text, const std::string& file);

// The fault of a configuration: the rectangle, or the list read from its file. A list that
// cannot be read is reported with `config`'s line and key that name it (when given).
FaultGrid fault_subfaults(const FaultSpec& f, const std::string& config = {});

}  // namespace lg
