// Everything the computation of one data set (one station, one fault row) needs, as read
// from the input files: the unit of work of a run.
#pragma once

#include <string>
#include <vector>

#include "inputs/model_file.h"
#include "inputs/subfault_file.h"
#include "kernel/records.h"

namespace lg {

// The run parameters of a data set as read, for the header of its result files.
struct HeaderValues {
  int nstati = 0;
  int ndatas = 0;
  int ns1 = 0;
  int ns2 = 0;
  int nw1 = 0;
  SubfaultHeader fault;
  ModelParams params;  // as read (AW unconverted, NR forced to nstati)
  double ZS = 0.0;
};

struct DataSetJob {
  std::string station;                    // station code, 3 characters
  int data_set = 0;                       // row number, from 1
  std::vector<std::string> result_names;  // file of each receiver slot, in slot order
  HeaderValues header;                    // run parameters as read (AW unconverted)
  LayerModel layers;                      // the model as read (hc not yet converted)
  std::vector<double> x, y, z;            // the receivers read, in index order
};

}  // namespace lg
