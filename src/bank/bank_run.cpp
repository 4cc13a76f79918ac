// The bank run: configuration, journal, data sets through DataSetSpectra, the bank file.
#include "bank/bank_run.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <new>
#include <stdexcept>
#include <thread>
#include <tuple>

#include "bank/bank_classic.h"
#include "bank/bank_config.h"
#include "bank/bank_file.h"
#include "bank/bank_journal.h"
#include "bank/bank_parts.h"
#include "bank/bank_plan.h"
#include "bank/bank_pressure.h"
#include "bank/bank_read.h"
#include "bank/bank_statics.h"
#include "bank/bank_update.h"
#include "kernel/gradient_spectra.h"
#include "kernel/layout.h"
#include "run/data_set_spectra.h"
#include "run/interrupt.h"
#include "run/progress.h"
#include "run/run_lock.h"
#include "run/thread_count.h"
#include "run/unit_plan.h"
#include "run/unit_schedule.h"

namespace lg {

namespace {

namespace fs = std::filesystem;

// Values per receiver and frequency in a journal record: elements x components.
constexpr auto kSpectraPerReceiver = static_cast<std::size_t>(kElementComponents);

}  // namespace

JournalShape journal_shape(const BankConfig& c, const BankPlan& p) {
  JournalShape s;
  // The key ties the journal to the configuration text, the program and the sampling.
  std::string identity = c.text + "\n" + LAYERGREEN_VERSION + "\n" + std::to_string(p.xl) + " " +
                         std::to_string(p.ikmax);
  // A subfault list is another file: its subfaults, as read, belong to the identity too.
  if (!c.fault.rectangle) {
    char buf[80];
    for (const Subfault& f : p.fault.subfaults) {
      std::snprintf(buf, sizeof buf, "\n%.17g %.17g %.17g", f.x, f.y, f.depth);
      identity += buf;
    }
  }
  s.key = text_key(identity);
  s.stations = static_cast<int>(p.stations.size());
  s.nfreq = c.nfreq;
  s.text = c.text;
  s.force = c.force;
  s.strain = c.strain;
  s.rotation = c.rotation;
  s.pressure = c.pressure;
  for (const std::vector<int>& row : p.fault.rows) s.row_sizes.push_back(row.size());
  return s;
}

namespace {

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

// What the sums of a journalled data set met. With uconv > 0 a sum ends at the first
// converged step, so one that took ikmax + 1 steps ran out without converging.
SumsOutcome record_outcome(const BankConfig& c, const BankPlan& p, const JournalRecord& r) {
  SumsOutcome o;
  const std::size_t nq = r.iterations.size();
  const std::size_t per = nq * kSpectraPerReceiver;
  for (std::size_t f = 0; f < nq; ++f) {
    bool finite = true;
    for (std::size_t at = f * kSpectraPerReceiver; at < r.spectra.size() && finite; at += per) {
      for (std::size_t v = at; v < at + kSpectraPerReceiver; ++v) {
        if (!std::isfinite(r.spectra[v].re) || !std::isfinite(r.spectra[v].im)) finite = false;
      }
    }
    for (const RecordPart& part : kRecordParts) {
      const std::vector<Cx>& values = r.*part.values;
      const std::size_t n = part.per_receiver();
      for (std::size_t at = f * n; at < values.size() && finite; at += nq * n) {
        for (std::size_t v = at; v < at + n; ++v) {
          if (!std::isfinite(values[v].re) || !std::isfinite(values[v].im)) finite = false;
        }
      }
    }
    const bool converged = !(c.uconv > 0.0) || r.iterations[f] <= p.ikmax;
    o.add(static_cast<double>(f) / c.tl, converged, finite);
  }
  return o;
}

// "N of M sums (data set x frequency) in K of L data sets"
std::string sums_in(std::int64_t n, std::int64_t data_sets, const SumsOutcome& o) {
  return std::to_string(n) + " of " + std::to_string(o.sums) + " sums (data set x frequency) in " +
         std::to_string(data_sets) + " of " + std::to_string(o.data_sets) + " data sets";
}

// Writes the bank file from the journal (and the static displacements when asked for) under a
// temporary name, then renames it into place.
// With `held`, the records are those (every data set of the bank) instead of the journal's, and
// `before_rename` runs before the file is put in place.
BankOutcome write_bank_file(const BankConfig& c, const BankPlan& p, const JournalShape& shape,
                            int threads, const std::vector<JournalRecord>* held = nullptr,
                            const std::function<void()>& before_rename = {}) {
  const fs::path out(c.output);
  const std::string temp =
      (out.parent_path() / (temporary_prefix(out) + std::to_string(::getpid()))).string();
  BankOutcome outcome;
  try {
    BankFileWriter w(temp, c, p);
    // In (station, row) order, so that the file's bytes do not depend on the order the data
    // sets finished in.
    const auto each = [&](const JournalRecord& r) {
      w.write(r);
      const SumsOutcome o = record_outcome(c, p, r);
      outcome.total.add_data_set(o);
      if ((c.uconv > 0.0 && o.unconverged > 0) || o.nonfinite > 0) {
        outcome.marked.push_back(
            {r.station, r.row, c.uconv > 0.0 ? o.unconverged : 0, o.nonfinite});
      }
    };
    if (held != nullptr) {
      std::vector<const JournalRecord*> order;
      for (const JournalRecord& r : *held) order.push_back(&r);
      std::sort(order.begin(), order.end(), [](const JournalRecord* a, const JournalRecord* b) {
        return std::tie(a->station, a->row) < std::tie(b->station, b->row);
      });
      for (const JournalRecord* r : order) each(*r);
    } else {
      read_journal(journal_path(c.output), shape, each, true);
    }

    if (c.statics) w.write_statics(bank_statics(c, p, threads), plan_statics(c, p));
    if (c.statics && c.force) {
      w.write_force_statics(bank_statics(c, p, threads, true), plan_statics(c, p));
    }
    for (const RecordPart& part : kRecordParts) {
      if (!c.statics || !part.from_gradients() || !part.in(shape)) continue;
      w.write_derived_statics(part, bank_statics(c, p, threads, part.force, *part.quantity),
                              plan_statics(c, p));
    }
    SumsOutcome counted = outcome.total;
    if (!(c.uconv > 0.0)) counted.unconverged = counted.data_sets_unconverged = 0;
    w.write_outcome(counted);
    w.close();
    sync_path(temp, O_RDONLY);
    if (before_rename) before_rename();
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
  return outcome;
}

}  // namespace

void sync_folder_of(const std::string& path) {
  sync_path(folder_of(path), O_RDONLY | O_DIRECTORY);
}

namespace {

// Temporaries of bank files of earlier, killed runs.
void remove_stale_temporaries(const std::string& output) {
  const fs::path out(output);
  const std::string prefix = temporary_prefix(out);
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder_of(output), ec)) {
    if (e.path().filename().string().rfind(prefix, 0) == 0) fs::remove(e.path(), ec);
  }
}

// Whether two paths name the same file (or would, once created).
bool same_file(const std::string& a, const std::string& b) {
  std::error_code ec;
  if (fs::equivalent(a, b, ec) && !ec) return true;
  const fs::path ca = fs::weakly_canonical(a, ec);
  if (ec) return false;
  const fs::path cb = fs::weakly_canonical(b, ec);
  return !ec && ca == cb;
}

// An output that is one of the bank's inputs would destroy it: refused before anything is
// written.
void refuse_output_over_inputs(const BankConfig& c) {
  std::vector<std::pair<std::string, std::string>> inputs = {{c.path, "the configuration file"}};
  if (!c.fault.subfaults_file.empty())
    inputs.push_back({c.fault.subfaults_file, "the subfault list"});
  if (!c.fault.slip_model_file.empty())
    inputs.push_back({c.fault.slip_model_file, "the slip model"});
  for (const std::string& out : {c.output, journal_path(c.output), lock_path(c.output)}) {
    for (const auto& [in, what] : inputs) {
      if (same_file(out, in)) {
        throw BankError(c.path + ": output = \"" + c.output + "\" would overwrite " + what + " " +
                        in + "; choose another output");
      }
    }
  }
}

}  // namespace

std::string lock_path(const std::string& output) {
  return output + ".lock";
}

BankOptions bank_options(const CommandLine& c) {
  BankOptions o;
  o.config = c.config;
  o.progress = c.progress;
  o.check = c.check;
  o.resume = c.resume;
  o.update = c.update;
  o.strict = c.strict;
  o.verify = c.verify;
  o.classic_dir = c.classic_dir;
  o.sweep = c.sweep;
  return o;
}

std::optional<BankSetup> setup_bank(const std::string& config_path, std::ostream& err) {
  try {
    BankSetup s;
    s.config = read_bank_config(config_path);
    refuse_output_over_inputs(s.config);
    s.plan = plan_bank(s.config);
    check_quantities(s.config, s.plan);
    check_pressure(s.config);
    if (s.config.statics) plan_statics(s.config, s.plan);  // a pair it cannot take fails now
    s.shape = journal_shape(s.config, s.plan);
    return s;
  } catch (const BankError& e) {
    for (const std::string& line : e.lines()) err << "layergreen: " << line << '\n';
    return std::nullopt;
  } catch (const std::bad_alloc&) {
    err << "layergreen: " << config_path << ": out of memory while planning the bank\n";
    return std::nullopt;
  }
}

std::unique_ptr<JournalWriter> open_journal(const BankSetup& s, bool resume,
                                            std::vector<int>& todo) {
  const std::string jpath = journal_path(s.config.output);
  // A journal without any finished data set (only its header) holds nothing to lose.
  const std::optional<JournalHead> head = read_journal_head(jpath);
  if (!resume && head && head->has_records) {
    if (head->key == s.shape.key) {
      throw Error(jpath +
                  ": a journal of an unfinished run of this bank exists; continue it "
                  "with --resume, or remove it to start afresh");
    }
    throw Error(jpath +
                ": a journal of an unfinished run of this bank with another configuration "
                "exists; when only [[station]] tables were added, continue it with --update, "
                "else remove it to start afresh");
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

namespace {

// The records of the data sets `indices` computed together in one shared sweep.
std::vector<JournalRecord> sweep_records(const BankSetup& s, const std::vector<int>& indices,
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
    records[i].spectra.assign(requests[i].x.size() * nq * kElementComponents, Cx{});
    for (const RecordPart& part : kRecordParts) {
      if (part.in(s.shape)) {
        (records[i].*part.values).assign(requests[i].x.size() * nq * part.per_receiver(), Cx{});
      }
    }
  }
  sweep.run(threads, nullptr, [&](std::vector<FrequencySpectra>& frs) {
    for (std::size_t i = 0; i < frs.size(); ++i) {
      const FrequencySpectra& fr = frs[i];
      JournalRecord& r = records[i];
      r.iterations[fr.index] = fr.iterations;
      const std::vector<int>& slot_receiver = sweep.slot_receiver(i);
      for (std::size_t slot = 0; slot < fr.spectra.size(); ++slot) {
        const auto k = static_cast<std::size_t>(slot_receiver[slot]);
        copy_flat(fr.spectra[slot], r.spectra.data() + (k * nq + fr.index) * kElementComponents);
      }
      for (std::size_t slot = 0; slot < fr.force_spectra.size(); ++slot) {
        const auto k = static_cast<std::size_t>(slot_receiver[slot]);
        copy_flat(fr.force_spectra[slot],
                  r.force_spectra.data() + (k * nq + fr.index) * kForceComponents);
      }
      // Strain and rotation from the displacement gradients, as layergreen.greens forms them.
      for (const RecordPart& part : kRecordParts) {
        if (!part.from_gradients() || !part.in(s.shape)) continue;
        const std::size_t n = part.per_receiver(), nc = part.components();
        Cx* to = (r.*part.values).data();
        for (std::size_t slot = 0; slot < slot_receiver.size(); ++slot) {
          const auto k = static_cast<std::size_t>(slot_receiver[slot]);
          for (std::size_t e = 0; e < part.sources(); ++e) {
            const Gradient& g = part.force ? fr.force_gradients[slot][e] : fr.gradients[slot][e];
            gradient_quantity(*part.quantity, g, to + (k * nq + fr.index) * n + e * nc);
          }
        }
      }
    }
    if (on_frequency && !frs.empty()) on_frequency(static_cast<int>(frs.front().index) + 1);
  });
  return records;
}

}  // namespace

std::vector<JournalRecord> compute_data_sets(const BankSetup& s, const std::vector<int>& indices,
                                             int threads,
                                             const std::function<void(int)>& on_frequency) {
  if (!s.shape.pressure) return sweep_records(s, indices, threads, on_frequency);
  return compute_with_pressure(
      s, indices, threads, on_frequency,
      [&](const std::vector<int>& part, const std::function<void(int)>& report) {
        return sweep_records(s, part, threads, report);
      });
}

JournalRecord compute_data_set(const BankSetup& s, int index, int threads,
                               const std::function<void(int)>& on_frequency) {
  return std::move(compute_data_sets(s, {index}, threads, on_frequency).front());
}

std::size_t bank_sweep_size(const BankSetup& s, const BankOptions& o) {
  if (o.sweep != 0) return o.sweep;
  std::size_t values = kElementComponents;  // per receiver and frequency
  for (const RecordPart& part : kRecordParts) {
    if (part.in(s.shape)) values += part.per_receiver();
  }
  std::size_t largest = 1;
  for (const std::size_t n : s.shape.row_sizes) largest = std::max(largest, n);
  const double per_receiver = static_cast<double>(s.config.nfreq) * static_cast<double>(values) *
                                  static_cast<double>(sizeof(Cx)) +
                              (static_cast<double>(s.plan.ikmax) + 1.0) * 2.0 * sizeof(double);
  const double per_data_set = per_receiver * static_cast<double>(largest);
  return static_cast<std::size_t>(std::max(1.0, std::floor(kBankSweepBytes / per_data_set)));
}

void compute_in_sweeps(const BankSetup& s, const BankOptions& o, const std::vector<int>& todo,
                       JournalWriter& journal, std::ostream& err,
                       std::vector<JournalRecord>* held) {
  const std::vector<std::size_t> sweeps = equal_sweeps(todo.size(), bank_sweep_size(s, o), 1);
  std::vector<std::size_t> first(sweeps.size(), 0);
  for (std::size_t u = 1; u < sweeps.size(); ++u) first[u] = first[u - 1] + sweeps[u - 1];
  UnitSchedule schedule(sweeps);
  Progress progress(err, o.progress, progress_items(s, todo), "the bank");
  while (const std::optional<std::size_t> unit = schedule.next()) {
    check_interrupt();
    const auto from = todo.begin() + static_cast<std::ptrdiff_t>(first[*unit]);
    const std::vector<int> part(from, from + static_cast<std::ptrdiff_t>(sweeps[*unit]));
    progress.start(first[*unit], part.size());
    std::vector<JournalRecord> records =
        compute_data_sets(s, part, o.threads, [&](int f) { progress.update(f); });
    if (held != nullptr && sweeps.size() == 1 && todo.size() == s.plan.data_sets.size()) {
      *held = std::move(records);
    } else {
      journal.append(records);
    }
    UnitReport report;
    report.unit = unit;
    schedule.record(report);
    progress.complete();
  }
  progress.finish();
}

BankOutcome finish_bank(const BankSetup& s, int threads, JournalWriter* journal,
                        std::vector<JournalRecord>* held) {
  BankOutcome outcome;
  if (journal != nullptr && held != nullptr && !held->empty()) {
    // The records are journalled on a thread of their own while the file is written from
    // them; the file is put in place only when the journal holds them all, so that a kill at
    // any moment leaves either the journal or the file.
    std::exception_ptr failed;
    std::thread journalling([&]() {
      try {
        journal->append(*held);
      } catch (...) {
        failed = std::current_exception();
      }
    });
    struct Join {
      std::thread& t;
      ~Join() {
        if (t.joinable()) t.join();
      }
    } join{journalling};
    outcome = write_bank_file(s.config, s.plan, s.shape, threads, held, [&]() {
      journalling.join();
      if (failed) std::rethrow_exception(failed);
    });
  } else {
    outcome = write_bank_file(s.config, s.plan, s.shape, threads);
  }
  std::error_code ec;
  fs::remove(journal_path(s.config.output), ec);
  sync_path(folder_of(s.config.output), O_RDONLY | O_DIRECTORY);
  return outcome;
}

namespace {

// Where a rule is broken, when not at every (station, row) of the bank: "; broken at FAR
// (every row), NEAR row 1" (the first kListed stations).
std::string where_broken(const BankSetup& s, const std::string& member) {
  const BankConfig& c = s.config;
  const BankPlan& p = s.plan;
  const SamplingValues v = sampling_values(c, p);
  std::vector<std::string> places;
  std::size_t broken = 0;
  for (std::size_t st = 0; st < p.stations.size(); ++st) {
    std::vector<int> rows;
    for (std::size_t r = 0; r < p.row_count(); ++r) {
      SamplingBounds b;
      for (const LayerRow& l : c.layers) b.add_layer(l.vp, l.vs);
      for (const int f : p.fault.rows[r]) {
        const std::size_t i = p.at(static_cast<int>(st), f);
        b.add_receiver(p.dx[i], p.dy[i], p.fault.subfaults[static_cast<std::size_t>(f)].depth);
      }
      for (const SamplingWarning& w : sampling_warnings(b, v)) {
        if (w.member == member) rows.push_back(static_cast<int>(r) + 1);
      }
    }
    broken += rows.size();
    if (rows.empty()) continue;
    std::string place = p.stations[st].name;
    if (rows.size() == p.row_count()) {
      place += " (every row)";
    } else {
      place += rows.size() == 1 ? " row " : " rows ";
      for (std::size_t k = 0; k < rows.size(); ++k) {
        if (k > 0) place += ", ";
        place += std::to_string(rows[k]);
      }
    }
    places.push_back(place);
  }
  if (broken == p.data_sets.size() || places.empty()) return {};
  constexpr std::size_t kListed = 8;
  std::string text = "; broken at ";
  for (std::size_t k = 0; k < places.size() && k < kListed; ++k) {
    if (k > 0) text += ", ";
    text += places[k];
  }
  if (places.size() > kListed) {
    text += " and " + std::to_string(places.size() - kListed) + " more stations";
  }
  text +=
      " (" + std::to_string(broken) + " of " + std::to_string(p.data_sets.size()) + " data sets)";
  return text;
}

}  // namespace

int warn_sampling(const BankSetup& s, std::ostream& err) {
  const std::vector<SamplingWarning> w =
      sampling_warnings(sampling_bounds(s.config, s.plan), sampling_values(s.config, s.plan));
  for (const SamplingWarning& x : w) {
    err << "layergreen: warning: " << s.config.path << ": sampling: " << x.text
        << where_broken(s, x.member) << '\n';
  }
  return static_cast<int>(w.size());
}

namespace {

// "; by station and row: NEAR row 1: 4, ..." for the data sets with a count, the largest
// first when there are more than kListed.
std::string by_station_and_row(const BankSetup& s, const BankOutcome& o,
                               std::int64_t BankOutcome::DataSet::*count) {
  constexpr std::size_t kListed = 12;
  std::vector<BankOutcome::DataSet> sets;
  for (const BankOutcome::DataSet& d : o.marked) {
    if (d.*count > 0) sets.push_back(d);
  }
  if (sets.size() > kListed) {
    std::stable_sort(sets.begin(), sets.end(),
                     [&](const auto& a, const auto& b) { return a.*count > b.*count; });
  }
  std::string text = "; by station and row: ";
  for (std::size_t i = 0; i < sets.size() && i < kListed; ++i) {
    text += (i == 0 ? "" : ", ") + s.plan.stations[static_cast<std::size_t>(sets[i].station)].name +
            " row " + std::to_string(sets[i].row + 1) + ": " + std::to_string(sets[i].*count);
  }
  if (sets.size() > kListed) text += " and " + std::to_string(sets.size() - kListed) + " more";
  return text;
}

}  // namespace

void warn_outcome(const BankSetup& s, const BankOutcome& outcome, std::ostream& err) {
  const BankConfig& c = s.config;
  const SumsOutcome& o = outcome.total;
  char freq[64];
  if (o.nonfinite > 0) {
    std::snprintf(freq, sizeof freq, "%.6g", o.first_nonfinite);
    err << "layergreen: warning: " << c.output << ": the spectra of "
        << sums_in(o.nonfinite, o.data_sets_nonfinite, o)
        << " are not finite numbers (first at frequency " << freq
        << "); the model or the sampling leaves the computation without a finite result there"
        << by_station_and_row(s, outcome, &BankOutcome::DataSet::nonfinite) << '\n';
  }
  if (c.uconv > 0.0 && o.unconverged > 0) {
    std::snprintf(freq, sizeof freq, "%.6g", o.highest_unconverged);
    err << "layergreen: warning: " << c.output << ": "
        << sums_in(o.unconverged, o.data_sets_unconverged, o) << " reached ikmax = " << s.plan.ikmax
        << " without converging (highest frequency " << freq << ")";
    const double needed = ikmax_needed(sampling_bounds(c, s.plan), sampling_values(c, s.plan));
    if (needed > s.plan.ikmax) err << "; the sampling rules ask for ikmax >= " << needed;
    err << by_station_and_row(s, outcome, &BankOutcome::DataSet::unconverged) << '\n';
  }
}

// The last line of --progress: what was computed, what the sums met, the file and the time.
void summarize_bank(const BankSetup& s, std::size_t computed, const BankOutcome& o,
                    std::chrono::steady_clock::time_point started, std::ostream& err) {
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::error_code ec;
  const auto size = fs::file_size(s.config.output, ec);
  char line[160];
  std::snprintf(line, sizeof line, "%.1f MB in %.1f s", ec ? 0.0 : static_cast<double>(size) / 1e6,
                seconds);
  err << "layergreen: bank " << s.config.output << ": " << computed << " of "
      << s.plan.data_sets.size() << " data sets computed, " << o.total.sums << " sums ("
      << o.total.unconverged << " unconverged, " << o.total.nonfinite << " not finite), " << line
      << '\n';
}

std::vector<ProgressItem> progress_items(const BankSetup& s, const std::vector<int>& todo) {
  std::vector<ProgressItem> items;
  const std::string rows = std::to_string(s.plan.row_count());
  for (const int k : todo) {
    const BankDataSet& d = s.plan.data_sets[static_cast<std::size_t>(k)];
    const std::size_t receivers = s.plan.fault.rows[static_cast<std::size_t>(d.row)].size();
    items.push_back({s.plan.stations[static_cast<std::size_t>(d.station)].name, "row", d.row + 1,
                     rows, s.config.nfreq,
                     static_cast<long long>(receivers) * (s.plan.ikmax + 1LL)});
  }
  return items;
}

namespace {

int refuse_strict(const BankSetup& s, int warnings, std::ostream& err) {
  err << "layergreen: " << s.config.path << ": --strict: the sampling breaks " << warnings
      << (warnings == 1 ? " rule" : " rules")
      << " (warned above); nothing is computed. Give the values the warnings name, or run "
         "without --strict\n";
  return kExitInputError;
}

}  // namespace

int run_bank(const BankOptions& o, std::ostream& out, std::ostream& err) {
  if (!o.verify.empty()) return run_verify(o.verify, out, err);
  const auto started = std::chrono::steady_clock::now();
  const std::optional<BankSetup> setup = setup_bank(o.config, err);
  if (!setup) return kExitInputError;
  const BankConfig& c = setup->config;
  const BankPlan& p = setup->plan;
  out << plan_summary(c, p, o.threads) << std::flush;
  if (o.classic_dir.empty()) {
    const int warnings = warn_sampling(*setup, err);
    if (o.check) return warnings > 0 ? kExitWarnings : kExitOk;
    if (o.strict && warnings > 0) return refuse_strict(*setup, warnings, err);
  } else if (o.check) {
    return 0;
  }
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
    // One run at a time per bank: a second one would write over the first one's journal.
    const RunLock lock(lock_path(c.output), "this bank");
    std::vector<int> todo;
    std::string said;
    const std::unique_ptr<JournalWriter> journal =
        o.update ? open_update_journal(*setup, todo, said) : open_journal(*setup, o.resume, todo);
    if (o.resume) {
      said = "resuming: " + std::to_string(p.data_sets.size() - todo.size()) + " of " +
             std::to_string(p.data_sets.size()) + " data sets already done";
    }
    if (!said.empty()) out << said << '\n' << std::flush;
    if (!journal) return kExitOk;  // --update with nothing to add
    std::vector<JournalRecord> held;
    compute_in_sweeps(*setup, o, todo, *journal, err, &held);
    const BankOutcome outcome = finish_bank(*setup, o.threads, journal.get(), &held);
    warn_outcome(*setup, outcome, err);
    if (o.progress) summarize_bank(*setup, todo.size(), outcome, started, err);
  } catch (const Interrupted&) {
    throw;
  } catch (const std::bad_alloc&) {
    err << "layergreen: out of memory; finished data sets are kept in the journal (continue "
           "with --resume)\n";
    return kExitInputError;
  } catch (const std::exception& e) {
    err << "layergreen: " << e.what() << '\n';
    return kExitInputError;
  }
  out << "bank written: " << c.output << "\n";
  return 0;
}

}  // namespace lg
