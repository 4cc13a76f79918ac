// The bank on the ranks of an MPI job: rank 0 journals, the other ranks compute sweeps of
// data sets.
#include "mpi/bank_ranks.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "bank/bank_classic.h"
#include "bank/bank_parts.h"
#include "bank/bank_update.h"
#include "kernel/layout.h"
#include "mpi/exchange.h"
#include "run/run_lock.h"
#include "run/unit_plan.h"
#include "run/unit_schedule.h"

namespace lg {

Bytes encode_records(const std::vector<JournalRecord>& records) {
  ByteWriter w;
  w.put_size(records.size());
  for (const JournalRecord& r : records) {
    w.put_int(r.station);
    w.put_int(r.row);
    w.put_size(r.iterations.size());
    for (int it : r.iterations) w.put_int(it);
    std::vector<double> v;
    v.reserve(2 * r.spectra.size());
    for (const Cx& z : r.spectra) {
      v.push_back(z.re);
      v.push_back(z.im);
    }
    w.put_doubles(v);
    // A bank with forces, strain or rotation: those spectra after the moment tensor's.
    for (const RecordPart& part : kRecordParts) {
      const std::vector<Cx>& values = r.*part.values;
      if (values.empty()) continue;
      v.clear();
      for (const Cx& z : values) {
        v.push_back(z.re);
        v.push_back(z.im);
      }
      w.put_doubles(v);
    }
  }
  return w.take();
}

std::vector<JournalRecord> decode_records(const Bytes& bytes, const JournalShape& shape) {
  ByteReader in(bytes);
  // A record takes at least its station, row and two counts.
  std::vector<JournalRecord> records(static_cast<std::size_t>(in.get_size(24)));
  for (JournalRecord& r : records) {
    r.station = in.get_int();
    r.row = in.get_int();
    if (r.station < 0 || r.station >= shape.stations || r.row < 0 ||
        r.row >= static_cast<int>(shape.row_sizes.size())) {
      throw CodecError("data set out of range");
    }
    const std::uint64_t n = in.get_size(4);
    if (n != static_cast<std::uint64_t>(shape.nfreq)) throw CodecError("wrong frequency count");
    for (std::uint64_t i = 0; i < n; ++i) r.iterations.push_back(in.get_int());
    const std::vector<double> v = in.get_doubles();
    const std::size_t values = shape.row_sizes[static_cast<std::size_t>(r.row)] *
                               static_cast<std::size_t>(shape.nfreq) * kElementComponents;
    if (v.size() != 2 * values) throw CodecError("wrong spectra count");
    for (std::size_t i = 0; i < values; ++i) r.spectra.push_back(Cx{v[2 * i], v[2 * i + 1]});
    for (const RecordPart& part : kRecordParts) {
      if (!part.in(shape)) continue;
      const std::vector<double> f = in.get_doubles();
      const std::size_t n = values / kElementComponents * part.per_receiver();
      if (f.size() != 2 * n) throw CodecError(std::string("wrong ") + part.name + " count");
      std::vector<Cx>& to = r.*part.values;
      for (std::size_t i = 0; i < n; ++i) to.push_back(Cx{f[2 * i], f[2 * i + 1]});
    }
  }
  in.expect_end();
  return records;
}

namespace {

// Rank 0 with other ranks: hands out the sweeps of data sets and journals what comes back.
void serve(const BankSetup& s, const BankOptions& o, const std::vector<int>& todo,
           JournalWriter& journal, MPI_Comm comm, int ranks, std::ostream& err) {
  const std::vector<std::size_t> sweeps =
      equal_sweeps(todo.size(), bank_sweep_size(s, o), ranks - 1);
  std::vector<std::size_t> first(sweeps.size(), 0);
  for (std::size_t u = 1; u < sweeps.size(); ++u) first[u] = first[u - 1] + sweeps[u - 1];
  UnitSchedule schedule(sweeps);
  std::vector<std::optional<std::size_t>> held(static_cast<std::size_t>(ranks));  // by rank
  int active = ranks - 1;
  Progress progress(err, o.progress, progress_items(s, todo), "the bank");
  progress.show_on_ranks(ranks - 1);
  while (active > 0) {
    const MPI_Status st = wait_for_message(comm, MPI_ANY_SOURCE);
    const Bytes b = receive_bytes(comm, st);
    std::optional<std::size_t>& unit = held.at(static_cast<std::size_t>(st.MPI_SOURCE));
    if (!b.empty()) {
      if (!unit) throw CodecError("data sets from a rank that was given none");
      for (const JournalRecord& r : decode_records(b, s.shape)) journal.append(r);
      UnitReport report;
      report.unit = unit;
      schedule.record(report);
      progress.complete_items(first[*unit], sweeps[*unit]);
      progress.show_on_ranks(ranks - 1);
    }
    unit = schedule.next();
    if (unit) {
      ByteWriter w;
      w.put_size(sweeps[*unit]);
      for (std::size_t k = first[*unit]; k < first[*unit] + sweeps[*unit]; ++k) w.put_int(todo[k]);
      send_bytes(comm, st.MPI_SOURCE, kJobTag, w.bytes());
    } else {
      send_bytes(comm, st.MPI_SOURCE, kStopTag, Bytes{});
      --active;
    }
  }
  progress.finish();
}

// Any other rank: asks for sweeps of data sets and returns them computed until told to stop.
void work(const BankSetup& s, const BankOptions& o, MPI_Comm comm) {
  send_bytes(comm, 0, kReportTag, Bytes{});
  for (;;) {
    const MPI_Status st = wait_for_message(comm, 0);
    const Bytes b = receive_bytes(comm, st);
    if (st.MPI_TAG == kStopTag) return;
    ByteReader in(b);
    std::vector<int> indices(static_cast<std::size_t>(in.get_size(4)));
    for (int& index : indices) {
      index = in.get_int();
      if (index < 0 || index >= static_cast<int>(s.plan.data_sets.size())) {
        throw CodecError("data set out of range");
      }
    }
    in.expect_end();
    if (indices.empty()) throw CodecError("a sweep without data sets");
    send_bytes(comm, 0, kReportTag, encode_records(compute_data_sets(s, indices, o.threads, {})));
  }
}

}  // namespace

int run_bank_ranks(const BankOptions& o, MPI_Comm comm, std::ostream& out, std::ostream& err) {
  int rank = 0, ranks = 1;
  MPI_Comm_rank(comm, &rank);
  MPI_Comm_size(comm, &ranks);
  const bool lead = rank == 0;
  std::ostringstream elsewhere;  // the other ranks' copies of rank 0's messages
  std::ostream& msg = lead ? err : elsewhere;

  const auto started = std::chrono::steady_clock::now();
  // Every rank reads the same file, so all of them accept or refuse it alike.
  const std::optional<BankSetup> setup = setup_bank(o.config, msg);
  if (!setup) return kExitInputError;
  if (lead) out << plan_summary(setup->config, setup->plan, o.threads) << std::flush;
  const int warnings = o.classic_dir.empty() ? warn_sampling(*setup, msg) : 0;
  if (o.check) return warnings > 0 ? kExitWarnings : kExitOk;
  if (o.strict && warnings > 0) {
    msg << "layergreen: " << setup->config.path << ": --strict: the sampling breaks " << warnings
        << (warnings == 1 ? " rule" : " rules")
        << " (warned above); nothing is computed. Give the values the warnings name, or run "
           "without --strict\n";
    return kExitInputError;
  }

  int ok = 1, nothing = 0;
  std::optional<RunLock> lock;  // one run at a time per bank, held by rank 0
  std::unique_ptr<JournalWriter> journal;
  std::vector<int> todo;
  if (lead) {
    try {
      if (!o.classic_dir.empty()) {
        write_classic_inputs(setup->config, setup->plan, o.classic_dir);
        out << "classic inputs written to " << o.classic_dir << "\n";
      } else {
        lock.emplace(lock_path(setup->config.output), "this bank");
        std::string said;
        journal = o.update ? open_update_journal(*setup, todo, said)
                           : open_journal(*setup, o.resume, todo);
        if (o.resume) {
          said = "resuming: " + std::to_string(setup->plan.data_sets.size() - todo.size()) +
                 " of " + std::to_string(setup->plan.data_sets.size()) + " data sets already done";
        }
        if (!said.empty()) out << said << '\n' << std::flush;
        if (!journal) nothing = 1;
      }
    } catch (const std::exception& e) {
      err << "layergreen: " << e.what() << '\n';
      ok = 0;
    }
  }
  MPI_Bcast(&ok, 1, MPI_INT, 0, comm);
  if (!ok) return kExitInputError;
  MPI_Bcast(&nothing, 1, MPI_INT, 0, comm);
  if (nothing) return kExitOk;  // --update with every station in the bank already
  if (!o.classic_dir.empty()) return 0;

  if (!lead) {
    work(*setup, o, comm);
    return 0;
  }
  // A failure while data sets are out ends the job (every rank); finished data sets stay in
  // the journal.
  if (ranks == 1) {
    compute_in_sweeps(*setup, o, todo, *journal, err);
  } else {
    serve(*setup, o, todo, *journal, comm, ranks, err);
  }
  journal.reset();
  try {
    const BankOutcome outcome = finish_bank(*setup, o.threads);
    warn_outcome(*setup, outcome, err);
    if (o.progress) summarize_bank(*setup, todo.size(), outcome, started, err);
  } catch (const std::exception& e) {
    err << "layergreen: " << e.what() << '\n';
    return kExitInputError;
  }
  out << "bank written: " << setup->config.output << "\n";
  return 0;
}

}  // namespace lg
