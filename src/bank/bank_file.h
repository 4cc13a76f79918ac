// The bank file (HDF5): spectra [station, subfault, frequency, element, component] as
// compounds of two float64 (or float32, precision = "single") r, i; frequencies, iteration
// counts, stations, subfaults, geometry, model and the configuration as attributes. Every
// dataset is chunked with a Fletcher-32 checksum per chunk (and shuffled and deflated with
// compression = "gzip"). Written from the plan and the finished data sets into the file named;
// placing it under the output name is the caller's.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "bank/bank_config.h"
#include "bank/bank_journal.h"
#include "bank/bank_parts.h"
#include "bank/bank_plan.h"
#include "bank/bank_statics.h"
#include "bank/hdf5_handle.h"
#include "kernel/complex.h"
#include "run/sums_outcome.h"

namespace lg {

// The root attributes that mark a bank file, and the version of its layout (1: the files
// before these attributes; 2: checksummed chunks, precision, compression, subfault areas and
// rigidities, the outcome counts).
inline constexpr const char* kBankFormat = "layergreen-bank";
inline constexpr int kBankFormatVersion = 2;

// How the bank's datasets are stored.
struct BankStorage {
  bool single = false;  // complex values as two float32
  bool gzip = false;    // shuffle and deflate filters
};

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
  // The counts of what the sums met, as root attributes.
  void write_outcome(const SumsOutcome& o);
  // A dataset of complex values [station, subfault, frequency, inner...] in the bank's
  // precision and storage, one chunk per (station, subfault); for /spectra and any other
  // dataset of spectra.
  H5Dataset pair_dataset(const char* name, const std::vector<hsize_t>& inner);
  // Writes the values of one (station, subfault) of such a dataset from `values` (Cx, in the
  // order of the inner dimensions, frequency first).
  void write_pair(hid_t dataset, const char* name, int station, int subfault, const Cx* values);
  // Writes /force_statics [station, subfault, force, component] likewise (banks with forces).
  void write_force_statics(const std::vector<double>& values,
                           const std::vector<RowStaticSampling>& sampling);
  // Writes the statics of a strain or rotation part (see bank_parts.h), /strain_statics
  // [station, subfault, element, component] and the like, with the rows' sampling.
  void write_derived_statics(const RecordPart& part, const std::vector<double>& values,
                             const std::vector<RowStaticSampling>& sampling);
  // Flushes and closes the file. (Without it, or when a write throws, the handles are closed
  // when the writer goes: the file is left incomplete.)
  void close();

 private:
  // A dataset of static values [station, subfault, source, component] with the rows' sampling.
  void write_statics_dataset(const char* name, std::size_t sources, const char* description,
                             const std::vector<double>& values,
                             const std::vector<RowStaticSampling>& sampling,
                             std::size_t components = kComponents);
  std::string path_;
  const BankPlan& plan_;
  int nfreq_ = 0;
  BankStorage storage_;
  // Closed in the reverse order: the datasets, the types, the file.
  H5File file_;
  H5Type memory_complex_, file_complex_;
  H5Dataset iterations_, spectra_;
  H5Dataset force_spectra_;                           // banks with forces only
  std::array<H5Dataset, kRecordParts.size()> parts_;  // strain, rotation, pressure, as asked for
};

}  // namespace lg
