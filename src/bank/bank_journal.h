// The resume journal of a bank: a side file next to the output that holds every finished data
// set (iteration counts and spectra), appended and synced to disk one data set at a time, so
// that a killed run loses none of them. The bank file is written from it at the end.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/error.h"
#include "kernel/complex.h"

namespace lg {

// One finished data set.
struct JournalRecord {
  int station = 0, row = 0;       // from 0
  std::vector<int> iterations;    // [frequency]
  std::vector<Cx> spectra;        // [subfault of the row][frequency][element][component]
  std::vector<Cx> force_spectra;  // [subfault of the row][frequency][force][component], or none
  // With the bank's quantities: [subfault of the row][frequency][element or force][component]
  // of the strain (six components) and rotation (three); see bank_parts.h.
  std::vector<Cx> strain_spectra, rotation_spectra;
  std::vector<Cx> force_strain_spectra, force_rotation_spectra;
  // With "pressure" in the quantities: [subfault of the row][frequency][element] of the
  // pressure in the water.
  std::vector<Cx> pressure_spectra;
};

// What records must look like to belong to the bank.
struct JournalShape {
  std::uint64_t key = 0;  // identifies the configuration and program
  int stations = 0;
  int nfreq = 0;
  std::vector<std::size_t> row_sizes;     // subfaults per row
  std::string text;                       // the configuration's text, kept in the journal's header
  bool force = false;                     // records hold force spectra too
  bool strain = false, rotation = false;  // and the strain and rotation spectra
  bool pressure = false;                  // and the pressure spectra
};

// The header of a journal: its key and the configuration's text (empty for journals of
// earlier versions, which do not keep it), and whether finished data sets follow it.
struct JournalHead {
  std::uint64_t key = 0;
  std::string text;
  bool has_records = false;
};
// Reads the header of the journal at `path`; nothing when there is no file or no whole
// header.
std::optional<JournalHead> read_journal_head(const std::string& path);

// The journal's name for an output file: OUTPUT.journal.
std::string journal_path(const std::string& output);

// A 64-bit FNV-1a hash of a text (for the journal's key).
std::uint64_t text_key(const std::string& text);

class JournalWriter {
 public:
  // Opens the journal: fresh (any old content discarded) or, when `resume`, keeping its
  // complete records (a torn last record is cut off). Throws Error with a message
  // line when the file cannot be used or belongs to another configuration.
  JournalWriter(const std::string& path, const JournalShape& shape, bool resume);
  ~JournalWriter();
  JournalWriter(const JournalWriter&) = delete;
  JournalWriter& operator=(const JournalWriter&) = delete;

  // Data sets already recorded, [station * rows + row].
  const std::vector<bool>& done() const { return done_; }
  // Appends a record and syncs it to disk.
  void append(const JournalRecord& r);
  // Appends the records of a sweep and syncs them to disk together (a kill before the sync
  // leaves whole records or a torn last one, which a resumed run cuts off).
  void append(const std::vector<JournalRecord>& rs);

 private:
  void write_record(const JournalRecord& r);
  void mark_done(const JournalRecord& r);
  std::string path_;
  JournalShape shape_;
  int fd_ = -1;
  std::vector<bool> done_;
};

// Reads the complete records of a journal in the order they were appended, or `sorted` by
// station and row (the order does not depend on the order the data sets finished in: by
// several ranks, or carried over by --update). Throws Error.
void read_journal(const std::string& path, const JournalShape& shape,
                  const std::function<void(const JournalRecord&)>& each, bool sorted = false);

}  // namespace lg
