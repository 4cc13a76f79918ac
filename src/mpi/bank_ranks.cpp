// The bank on the ranks of an MPI job: rank 0 journals, the other ranks compute sweeps of
// data sets.
#include "mpi/bank_ranks.h"

#include <algorithm>
#include <exception>
#include <sstream>
#include <string>
#include <vector>

#include "bank/bank_classic.h"
#include "mpi/exchange.h"

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
                               static_cast<std::size_t>(shape.nfreq) * 18;
    if (v.size() != 2 * values) throw CodecError("wrong spectra count");
    for (std::size_t i = 0; i < values; ++i) r.spectra.push_back(Cx{v[2 * i], v[2 * i + 1]});
  }
  in.expect_end();
  return records;
}

std::vector<std::size_t> bank_sweeps(std::size_t data_sets, std::size_t sweep, int ranks) {
  if (data_sets == 0) return {};
  const std::size_t per = std::max<std::size_t>(sweep, 1);
  const std::size_t r = static_cast<std::size_t>(std::max(ranks, 1));
  std::size_t k = (data_sets + per - 1) / per;
  k = std::min(data_sets, (k + r - 1) / r * r);
  std::vector<std::size_t> sizes;
  for (std::size_t i = 0; i < k; ++i) sizes.push_back(data_sets / k + (i < data_sets % k ? 1 : 0));
  return sizes;
}

namespace {

// Rank 0 with other ranks: hands out the sweeps of data sets and journals what comes back.
void serve(const BankSetup& s, const BankOptions& o, const std::vector<int>& todo,
           JournalWriter& journal, MPI_Comm comm, int ranks, std::ostream& err) {
  const std::vector<std::size_t> sweeps = bank_sweeps(todo.size(), o.sweep, ranks - 1);
  std::size_t next = 0, first = 0;
  int active = ranks - 1;
  int done = 0;
  BankProgress progress(err, o.progress, static_cast<int>(todo.size()));
  progress.update(0, 0.0, std::string());
  while (active > 0) {
    const MPI_Status st = wait_for_message(comm, MPI_ANY_SOURCE);
    const Bytes b = receive_bytes(comm, st);
    if (!b.empty()) {
      for (const JournalRecord& r : decode_records(b, s.shape)) {
        journal.append(r);
        ++done;
      }
      progress.update(done, 0.0, std::string());
    }
    if (next < sweeps.size()) {
      ByteWriter w;
      w.put_size(sweeps[next]);
      for (std::size_t k = first; k < first + sweeps[next]; ++k) w.put_int(todo[k]);
      first += sweeps[next++];
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

  // Every rank reads the same file, so all of them accept or refuse it alike.
  const std::optional<BankSetup> setup = setup_bank(o.config, msg);
  if (!setup) return kExitInputError;
  if (lead) out << plan_summary(setup->config, setup->plan, o.threads) << std::flush;
  if (o.check) return 0;

  int ok = 1;
  std::unique_ptr<JournalWriter> journal;
  std::vector<int> todo;
  if (lead) {
    try {
      if (!o.classic_dir.empty()) {
        write_classic_inputs(setup->config, setup->plan, o.classic_dir);
        out << "classic inputs written to " << o.classic_dir << "\n";
      } else {
        journal = open_journal(*setup, o.resume, todo);
        if (o.resume) {
          out << "resuming: " << setup->plan.data_sets.size() - todo.size() << " of "
              << setup->plan.data_sets.size() << " data sets already done\n"
              << std::flush;
        }
      }
    } catch (const std::exception& e) {
      err << "layergreen: " << e.what() << '\n';
      ok = 0;
    }
  }
  MPI_Bcast(&ok, 1, MPI_INT, 0, comm);
  if (!ok) return kExitInputError;
  if (!o.classic_dir.empty()) return 0;

  if (!lead) {
    work(*setup, o, comm);
    return 0;
  }
  // A failure while data sets are out ends the job (every rank); finished data sets stay in
  // the journal.
  if (ranks == 1) {
    BankProgress progress(err, o.progress, static_cast<int>(todo.size()));
    std::size_t first = 0;
    for (const std::size_t n : bank_sweeps(todo.size(), o.sweep, 1)) {
      progress.update(static_cast<int>(first), 0.0, std::string());
      const std::vector<int> part(todo.begin() + static_cast<std::ptrdiff_t>(first),
                                  todo.begin() + static_cast<std::ptrdiff_t>(first + n));
      for (const JournalRecord& r : compute_data_sets(*setup, part, o.threads, {})) {
        journal->append(r);
      }
      first += n;
    }
    progress.finish();
  } else {
    serve(*setup, o, todo, *journal, comm, ranks, err);
  }
  journal.reset();
  try {
    finish_bank(*setup, o.threads);
  } catch (const std::exception& e) {
    err << "layergreen: " << e.what() << '\n';
    return kExitInputError;
  }
  out << "bank written: " << setup->config.output << "\n";
  return 0;
}

}  // namespace lg
