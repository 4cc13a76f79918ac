// Everything the computation of one data set (one station, one fault row) needs, as read
// from the input files: the unit of work of a run.
#pragma once

#include <string>
#include <vector>

#include "kernel/records.h"
#include "output/result_format.h"

namespace lg {

struct DataSetJob {
  std::string station;                    // station code, 3 characters
  int data_set = 0;                       // row number, from 1
  std::vector<std::string> result_names;  // file of each receiver slot, in slot order
  HeaderValues header;                    // run parameters as read (AW unconverted)
  LayerModel layers;                      // the model as read (hc not yet converted)
  std::vector<double> x, y, z;            // the receivers read, in index order
};

}  // namespace lg
