// Reading bank files back: the checks of `layergreen bank --verify` (every chunk of every
// dataset read through its checksum) and the reader of a finished bank's spectra and
// iteration counts that --update builds on.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "bank/bank_journal.h"
#include "bank/hdf5_handle.h"

namespace lg {

// What reading every chunk of a bank file found.
struct BankVerification {
  bool whole = false;
  std::size_t datasets = 0;           // datasets read
  std::size_t chunks = 0;             // chunks read (a dataset without chunks counts as one)
  std::size_t damaged = 0;            // chunks that could not be read
  std::vector<std::string> problems;  // one line each, without the file's name
};

// Opens the file, checks that it is a bank and reads every chunk of every dataset.
BankVerification verify_bank_file(const std::string& path);

// `layergreen bank --verify FILE`: the verification in words on out (a problem a line on
// err); returns 0 when the file is whole, 2 when it is not.
int run_verify(const std::string& path, std::ostream& out, std::ostream& err);

// A finished bank file opened for reading. Every failure throws Error naming the file and
// what is wrong (not a bank, a damaged chunk, ...).
class BankFileReader {
 public:
  explicit BankFileReader(const std::string& path);

  // A text attribute of the file's root ("" when there is none).
  std::string text(const char* name) const;
  // A one-dimensional dataset of numbers ("subfaults/x").
  std::vector<double> numbers(const char* name) const;
  // The station names, in the file's order.
  std::vector<std::string> station_names() const;
  // The spectra and iteration counts of `station`'s data set of a fault row whose subfaults
  // are `subfaults`, as a journal record of that station and row (in double precision,
  // whatever the file's).
  JournalRecord record(int station, int row, const std::vector<int>& subfaults) const;

 private:
  std::string path_;
  H5File file_;
  int nfreq_ = 0;
};

}  // namespace lg
