// What a run is asked to do, as its command line gives it: read by the inputs (the control
// file's name, whether to note questionable input) and by the run (threads, sweeps, progress).
#pragma once

#include <cstddef>
#include <string>

namespace lg {

// Data sets computed together in one sweep by default: a classic run takes up to 64
// consecutive data sets (bounded further by open files and memory); a bank (0: chosen) as many
// as keep a sweep's spectra and Bessel tables within kBankSweepBytes.
inline constexpr std::size_t kMaxSweepDataSets = 64;
inline constexpr std::size_t kBankSweepDataSets = 0;
inline constexpr double kBankSweepBytes = 1024.0 * 1024.0 * 1024.0;

struct RunOptions {
  std::string control_file = "quenta4.ctl";
  int threads = 1;        // worker threads for the frequencies of a data set
  bool progress = false;  // a progress line on the error stream
  std::size_t sweep_data_sets = kMaxSweepDataSets;  // at most this many data sets per sweep
  // Warnings about inputs that read as the layout says but perhaps not as meant (header reals
  // without a decimal point); the program shows them with the progress line only, so that a
  // plain run's standard error holds no notes.
  bool input_notes = false;
};

}  // namespace lg
