// The bank run: configuration, journal, data sets through DataSetSpectra, the bank file.
#include "bank/bank_run.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
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
#include "bank/bank_statics.h"
#include "run/data_set_spectra.h"
#include "run/interrupt.h"
#include "run/progress.h"
#include "run/thread_count.h"

namespace lg {

namespace {

namespace fs = std::filesystem;

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

// Writes the bank file from the journal (and the static displacements when asked for) under a
// temporary name, then renames it into place.
void write_bank_file(const BankConfig& c, const BankPlan& p, const JournalShape& shape,
                     int threads) {
  const fs::path out(c.output);
  const std::string temp =
      (out.parent_path() / (temporary_prefix(out) + std::to_string(::getpid()))).string();
  try {
    BankFileWriter w(temp, c, p);
    read_journal(journal_path(c.output), shape, [&](const JournalRecord& r) { w.write(r); });
    if (c.statics) w.write_statics(bank_statics(c, p, threads), plan_statics(c, p));
    w.close();
    sync_path(temp, O_RDONLY);
    check_interrupt();
    if (std::rename(temp.c_str(), c.output.c_str()) != 0) {
      throw Error("cannot rename " + temp + " to " + c.output + ": " + std::strerror(errno));
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

std::string parse_bank_arguments(const std::vector<std::string>& args, BankOptions& o,
                                 std::optional<int>& threads) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--check") {
      o.check = true;
    } else if (arg == "--progress") {
      o.progress = true;
    } else if (arg == "--resume") {
      o.resume = true;
    } else if (arg == "--sweep") {
      if (i + 1 >= args.size()) return "--sweep needs a value";
      const std::optional<int> n = parse_thread_count(args[++i]);
      if (!n) return "--sweep takes a whole number from 1 to 1024, not '" + args[i] + "'";
      o.sweep = static_cast<std::size_t>(*n);
    } else if (arg == "--classic") {
      if (i + 1 >= args.size()) return "--classic needs a folder";
      o.classic_dir = args[++i];
    } else if (arg == "--threads" || arg.rfind("--threads=", 0) == 0) {
      std::string value;
      if (arg == "--threads") {
        if (i + 1 >= args.size()) return "--threads needs a value";
        value = args[++i];
      } else {
        value = arg.substr(10);
      }
      threads = parse_thread_count(value);
      if (!threads) return "--threads takes a whole number from 1 to 1024, not '" + value + "'";
    } else if (!arg.empty() && arg[0] != '-' && o.config.empty()) {
      o.config = arg;
    } else {
      return "unknown option or argument '" + arg + "'";
    }
  }
  if (o.config.empty()) return "bank needs a configuration file";
  return std::string();
}

std::optional<BankSetup> setup_bank(const std::string& config_path, std::ostream& err) {
  try {
    BankSetup s;
    s.config = read_bank_config(config_path);
    s.plan = plan_bank(s.config);
    if (s.config.statics) plan_statics(s.config, s.plan);  // a pair it cannot take fails now
    s.shape = journal_shape(s.config, s.plan);
    return s;
  } catch (const BankError& e) {
    err << "layergreen: " << e.what() << '\n';
    return std::nullopt;
  }
}

std::unique_ptr<JournalWriter> open_journal(const BankSetup& s, bool resume,
                                            std::vector<int>& todo) {
  const std::string jpath = journal_path(s.config.output);
  // A journal without any finished data set (only its 16-byte header) holds nothing to lose.
  std::error_code ec;
  const auto size = fs::file_size(jpath, ec);
  if (!resume && !ec && size > 16) {
    throw Error(jpath +
                ": a journal of an unfinished run of this bank exists; continue it "
                "with --resume, or remove it to start afresh");
  }
  remove_stale_temporaries(s.config.output);
  auto journal = std::make_unique<JournalWriter>(jpath, s.shape, resume);
  sync_path(folder_of(s.config.output), O_RDONLY | O_DIRECTORY);
  const std::size_t rows = s.plan.row_count();
  todo.clear();
  for (std::size_t k = 0; k < s.plan.data_sets.size(); ++k) {
    const BankDataSet& d = s.plan.data_sets[k];
    const std::size_t i =
        static_cast<std::size_t>(d.station) * rows + static_cast<std::size_t>(d.row);
    if (!journal->done()[i]) todo.push_back(static_cast<int>(k));
  }
  return journal;
}

std::vector<JournalRecord> compute_data_sets(const BankSetup& s, const std::vector<int>& indices,
                                             int threads,
                                             const std::function<void(int)>& on_frequency) {
  std::vector<SpectraRequest> requests;
  for (int index : indices) {
    requests.push_back(
        data_set_request(s.config, s.plan, s.plan.data_sets[static_cast<std::size_t>(index)]));
  }
  std::unique_ptr<SharedSweep> prepared;
  try {
    prepared = std::make_unique<SharedSweep>(requests, threads);
  } catch (const std::invalid_argument& e) {
    const BankDataSet& d = s.plan.data_sets[static_cast<std::size_t>(indices.front())];
    throw Error(s.config.path + ": station " +
                s.plan.stations[static_cast<std::size_t>(d.station)].name + ", row " +
                std::to_string(d.row + 1) + ": " + e.what());
  }
  const SharedSweep& sweep = *prepared;
  const std::size_t nq = static_cast<std::size_t>(s.config.nfreq);
  std::vector<JournalRecord> records(indices.size());
  for (std::size_t i = 0; i < indices.size(); ++i) {
    const BankDataSet& d = s.plan.data_sets[static_cast<std::size_t>(indices[i])];
    records[i].station = d.station;
    records[i].row = d.row;
    records[i].iterations.assign(nq, 0);
    records[i].spectra.assign(requests[i].x.size() * nq * 18, Cx{});
  }
  sweep.run(threads, nullptr, [&](std::vector<FrequencySpectra>& frs) {
    for (std::size_t i = 0; i < frs.size(); ++i) {
      const FrequencySpectra& fr = frs[i];
      JournalRecord& r = records[i];
      r.iterations[fr.index] = fr.iterations;
      const std::vector<int>& slot_receiver = sweep.slot_receiver(i);
      for (std::size_t slot = 0; slot < fr.spectra.size(); ++slot) {
        const auto k = static_cast<std::size_t>(slot_receiver[slot]);
        Cx* out = r.spectra.data() + (k * nq + fr.index) * 18;
        for (std::size_t e = 0; e < 6; ++e) {
          for (std::size_t m = 0; m < 3; ++m) out[e * 3 + m] = fr.spectra[slot][e][m];
        }
      }
    }
    if (on_frequency && !frs.empty()) on_frequency(static_cast<int>(frs.front().index) + 1);
  });
  return records;
}

JournalRecord compute_data_set(const BankSetup& s, int index, int threads,
                               const std::function<void(int)>& on_frequency) {
  return std::move(compute_data_sets(s, {index}, threads, on_frequency).front());
}

void finish_bank(const BankSetup& s, int threads) {
  write_bank_file(s.config, s.plan, s.shape, threads);
  std::error_code ec;
  fs::remove(journal_path(s.config.output), ec);
  sync_path(folder_of(s.config.output), O_RDONLY | O_DIRECTORY);
}

BankProgress::BankProgress(std::ostream& err, bool enabled, int total)
    : err_(err),
      enabled_(enabled && total > 0),
      total_(total),
      start_(std::chrono::steady_clock::now()),
      last_(start_ - std::chrono::seconds(1)) {}

void BankProgress::update(int done, double fraction, const std::string& what) {
  if (!enabled_) return;
  const auto now = std::chrono::steady_clock::now();
  if (fraction > 0.0 && now - last_ < std::chrono::milliseconds(400)) return;
  last_ = now;
  const double elapsed = std::chrono::duration<double>(now - start_).count();
  const long long scale = 1000;
  const auto units = static_cast<long long>((done + fraction) * scale);
  rewrite_line(err_,
               "layergreen: bank: " + std::to_string(done) + "/" + std::to_string(total_) +
                   " data sets done" + (what.empty() ? "" : ", " + what) +
                   time_left(elapsed, units, total_ * scale),
               width_);
  shown_ = true;
}

void BankProgress::finish() {
  if (shown_) err_ << '\n' << std::flush;
  shown_ = false;
}

int run_bank(const BankOptions& o, std::ostream& out, std::ostream& err) {
  const std::optional<BankSetup> setup = setup_bank(o.config, err);
  if (!setup) return kExitInputError;
  const BankConfig& c = setup->config;
  const BankPlan& p = setup->plan;
  out << plan_summary(c, p, o.threads) << std::flush;
  if (o.check) return 0;
  if (!o.classic_dir.empty()) {
    try {
      write_classic_inputs(c, p, o.classic_dir);
    } catch (const std::exception& e) {
      err << "layergreen: " << e.what() << '\n';
      return kExitInputError;
    }
    out << "classic inputs written to " << o.classic_dir << " (station codes in " << o.classic_dir
        << "/stations.txt)\n";
    return 0;
  }
  try {
    std::vector<int> todo;
    const std::unique_ptr<JournalWriter> journal = open_journal(*setup, o.resume, todo);
    if (o.resume) {
      out << "resuming: " << p.data_sets.size() - todo.size() << " of " << p.data_sets.size()
          << " data sets already done\n"
          << std::flush;
    }
    BankProgress progress(err, o.progress, static_cast<int>(todo.size()));
    // Data sets share the model and the sampling, so they are computed in sweeps of up to
    // o.sweep; each sweep's data sets go to the journal when it ends.
    for (std::size_t k = 0; k < todo.size(); k += o.sweep) {
      check_interrupt();
      const std::vector<int> part(
          todo.begin() + static_cast<std::ptrdiff_t>(k),
          todo.begin() + static_cast<std::ptrdiff_t>(std::min(todo.size(), k + o.sweep)));
      const BankDataSet& d = p.data_sets[static_cast<std::size_t>(part.front())];
      const std::string what = "station " + p.stations[static_cast<std::size_t>(d.station)].name +
                               ", row " + std::to_string(d.row + 1);
      progress.update(static_cast<int>(k), 0.0, what);
      const double n = static_cast<double>(part.size());
      for (const JournalRecord& r : compute_data_sets(*setup, part, o.threads, [&](int f) {
             progress.update(static_cast<int>(k), n * f / c.nfreq, what);
           })) {
        journal->append(r);
      }
    }
    progress.finish();
    finish_bank(*setup, o.threads);
  } catch (const Interrupted&) {
    throw;
  } catch (const std::exception& e) {
    err << "layergreen: " << e.what() << '\n';
    return kExitInputError;
  }
  out << "bank written: " << c.output << "\n";
  return 0;
}

}  // namespace lg
