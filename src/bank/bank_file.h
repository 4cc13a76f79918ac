// The bank file (HDF5): spectra [station, subfault, frequency, element, component] as
// compounds of two float64 r, i; frequencies, iteration counts, stations, subfaults,
// geometry, model and the configuration as attributes. Written from the plan and the
// finished data sets into the file named; placing it under the output name is the caller's.
#pragma once

#include <string>
#include <vector>

#include "bank/bank_config.h"
#include "bank/bank_journal.h"
#include "bank/bank_plan.h"
#include "bank/bank_statics.h"
#include "bank/hdf5_handle.h"

namespace lg {

class BankFileWriter {
 public:
  // Creates the file (replacing one of the same name) and writes everything but the spectra
  // and iteration counts. Throws Error.
  BankFileWriter(const std::string& path, const BankConfig& c, const BankPlan& p);
  ~BankFileWriter();
  BankFileWriter(const BankFileWriter&) = delete;
  BankFileWriter& operator=(const BankFileWriter&) = delete;

  // Writes the spectra and iteration counts of one data set.
  void write(const JournalRecord& r);
  // Writes /statics [station, subfault, element, component] (float64) from the values in that
  // order, with the sampling of each row as attributes.
  void write_statics(const std::vector<double>& values,
                     const std::vector<RowStaticSampling>& sampling);
  // Writes /force_statics [station, subfault, force, component] likewise (banks with forces).
  void write_force_statics(const std::vector<double>& values,
                           const std::vector<RowStaticSampling>& sampling);
  // Flushes and closes the file. (Without it, or when a write throws, the handles are closed
  // when the writer goes: the file is left incomplete.)
  void close();

 private:
  std::string path_;
  const BankPlan& plan_;
  int nfreq_ = 0;
  // Closed in the reverse order: the datasets, the type, the file.
  H5File file_;
  H5Type complex_;
  H5Dataset iterations_, spectra_;
  H5Dataset force_spectra_;  // banks with forces only
};

}  // namespace lg
