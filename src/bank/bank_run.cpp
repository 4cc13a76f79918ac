#include "bank/bank_run.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "bank/bank_classic.h"
#include "bank/bank_config.h"
#include "bank/bank_file.h"
#include "bank/bank_journal.h"
#include "bank/bank_plan.h"
#include "run/data_set_spectra.h"
#include "run/interrupt.h"
#include "run/progress.h"

namespace lg {

namespace {

namespace fs = std::filesystem;

// The progress of the whole bank: data sets done of those to compute, time left.
class BankProgress {
 public:
  BankProgress(std::ostream& err, bool enabled, int total)
      : err_(err),
        enabled_(enabled && total > 0),
        total_(total),
        start_(std::chrono::steady_clock::now()),
        last_(start_ - std::chrono::seconds(1)) {}
  // `done` data sets and `fraction` of the next are finished.
  void update(int done, double fraction, const std::string& what) {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    if (fraction > 0.0 && now - last_ < std::chrono::milliseconds(400)) return;
    last_ = now;
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    const long long scale = 1000;
    const auto units = static_cast<long long>((done + fraction) * scale);
    rewrite_line(err_,
                 "layergreen: bank: " + std::to_string(done) + "/" + std::to_string(total_) +
                     " data sets done, " + what + time_left(elapsed, units, total_ * scale),
                 width_);
    shown_ = true;
  }
  void finish() {
    if (shown_) err_ << '\n' << std::flush;
    shown_ = false;
  }

 private:
  std::ostream& err_;
  bool enabled_;
  int total_;
  bool shown_ = false;
  std::size_t width_ = 0;
  std::chrono::steady_clock::time_point start_, last_;
};

JournalShape journal_shape(const BankConfig& c, const BankPlan& p) {
  JournalShape s;
  // The key ties the journal to the configuration text, the program and the sampling.
  s.key = text_key(c.text + "\n" + LAYERGREEN_VERSION + "\n" + std::to_string(p.xl) + " " +
                   std::to_string(p.ikmax));
  s.stations = static_cast<int>(p.stations.size());
  s.nfreq = c.nfreq;
  for (const std::vector<int>& row : p.fault.rows) s.row_sizes.push_back(row.size());
  return s;
}

// Computes one data set into a journal record.
JournalRecord compute_data_set(const BankConfig& c, const BankPlan& p, const BankDataSet& d,
                               int threads, const std::function<void(int)>& on_frequency) {
  const SpectraRequest q = data_set_request(c, p, d);
  const DataSetSpectra spectra(q, threads);
  const std::vector<int>& slot_receiver = spectra.slot_receiver();
  JournalRecord r;
  r.station = d.station;
  r.row = d.row;
  const std::size_t nq = static_cast<std::size_t>(c.nfreq);
  r.iterations.assign(nq, 0);
  r.spectra.assign(q.x.size() * nq * 18, Cx{});
  spectra.run(threads, nullptr, [&](FrequencySpectra& fr) {
    r.iterations[fr.index] = fr.iterations;
    for (std::size_t slot = 0; slot < fr.spectra.size(); ++slot) {
      const auto k = static_cast<std::size_t>(slot_receiver[slot]);
      Cx* out = r.spectra.data() + (k * nq + fr.index) * 18;
      for (std::size_t e = 0; e < 6; ++e) {
        for (std::size_t m = 0; m < 3; ++m) out[e * 3 + m] = fr.spectra[slot][e][m];
      }
    }
    on_frequency(static_cast<int>(fr.index) + 1);
  });
  return r;
}

void sync_path(const std::string& path, int flags) {
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

std::string folder_of(const std::string& path) {
  const fs::path dir = fs::path(path).parent_path();
  return dir.empty() ? std::string(".") : dir.string();
}

// ".NAME.partial-": the prefix of the temporaries of an output file.
std::string temporary_prefix(const fs::path& out) {
  std::string s(1, '.');
  s += out.filename().string();
  s += ".partial-";
  return s;
}

// Writes the bank file from the journal under a temporary name, then renames it into place.
void write_bank_file(const BankConfig& c, const BankPlan& p, const JournalShape& shape) {
  const fs::path out(c.output);
  const std::string temp =
      (out.parent_path() / (temporary_prefix(out) + std::to_string(::getpid()))).string();
  try {
    BankFileWriter w(temp, c, p);
    read_journal(journal_path(c.output), shape, [&](const JournalRecord& r) { w.write(r); });
    w.close();
    sync_path(temp, O_RDONLY);
    check_interrupt();
    if (std::rename(temp.c_str(), c.output.c_str()) != 0) {
      throw std::runtime_error("cannot rename " + temp + " to " + c.output + ": " +
                               std::strerror(errno));
    }
  } catch (...) {
    std::error_code ec;
    fs::remove(temp, ec);
    throw;
  }
  sync_path(folder_of(c.output), O_RDONLY | O_DIRECTORY);
}

// Temporaries of bank files of earlier, killed runs.
void remove_stale_temporaries(const std::string& output) {
  const fs::path out(output);
  const std::string prefix = temporary_prefix(out);
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder_of(output), ec)) {
    if (e.path().filename().string().rfind(prefix, 0) == 0) fs::remove(e.path(), ec);
  }
}

}  // namespace

int run_bank(const BankOptions& o, std::ostream& out, std::ostream& err) {
  BankConfig c;
  BankPlan p;
  try {
    c = read_bank_config(o.config);
    p = plan_bank(c);
  } catch (const BankError& e) {
    err << "layergreen: " << e.what() << '\n';
    return 2;
  }
  out << plan_summary(c, p, o.threads) << std::flush;
  if (o.check) return 0;
  if (!o.classic_dir.empty()) {
    try {
      write_classic_inputs(c, p, o.classic_dir);
    } catch (const std::exception& e) {
      err << "layergreen: " << e.what() << '\n';
      return 2;
    }
    out << "classic inputs written to " << o.classic_dir << " (station codes in " << o.classic_dir
        << "/stations.txt)\n";
    return 0;
  }

  const JournalShape shape = journal_shape(c, p);
  const std::string jpath = journal_path(c.output);
  if (!o.resume && fs::exists(jpath)) {
    err << "layergreen: " << jpath
        << ": a journal of an unfinished run of this bank exists; continue it with --resume, "
           "or remove it to start afresh\n";
    return 2;
  }
  try {
    remove_stale_temporaries(c.output);
    JournalWriter journal(jpath, shape, o.resume);
    sync_path(folder_of(c.output), O_RDONLY | O_DIRECTORY);
    const std::size_t rows = p.row_count();
    std::vector<BankDataSet> todo;
    for (const BankDataSet& d : p.data_sets) {
      const std::size_t i =
          static_cast<std::size_t>(d.station) * rows + static_cast<std::size_t>(d.row);
      if (!journal.done()[i]) todo.push_back(d);
    }
    if (o.resume) {
      out << "resuming: " << p.data_sets.size() - todo.size() << " of " << p.data_sets.size()
          << " data sets already done\n"
          << std::flush;
    }
    BankProgress progress(err, o.progress, static_cast<int>(todo.size()));
    for (std::size_t k = 0; k < todo.size(); ++k) {
      check_interrupt();
      const BankDataSet& d = todo[k];
      const std::string what = "station " + p.stations[static_cast<std::size_t>(d.station)].name +
                               ", row " + std::to_string(d.row + 1);
      progress.update(static_cast<int>(k), 0.0, what);
      const JournalRecord r = compute_data_set(c, p, d, o.threads, [&](int f) {
        progress.update(static_cast<int>(k), static_cast<double>(f) / c.nfreq, what);
      });
      journal.append(r);
    }
    progress.finish();
  } catch (const Interrupted&) {
    throw;
  } catch (const std::exception& e) {
    err << "layergreen: " << e.what() << '\n';
    return 2;
  }
  try {
    write_bank_file(c, p, shape);
  } catch (const Interrupted&) {
    throw;
  } catch (const std::exception& e) {
    err << "layergreen: " << e.what() << '\n';
    return 2;
  }
  std::error_code ec;
  fs::remove(jpath, ec);
  out << "bank written: " << c.output << "\n";
  return 0;
}

}  // namespace lg
