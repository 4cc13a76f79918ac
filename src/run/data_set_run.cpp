#include "run/data_set_run.h"

#include <exception>
#include <memory>
#include <vector>

#include "inputs/file_names.h"
#include "kernel/source_receiver_placement.h"
#include "output/result_files.h"
#include "output/result_format.h"
#include "run/data_set_spectra.h"
#include "run/progress.h"
#include "run/sums_outcome.h"
#include "textio/free_write.h"

namespace lg {

SpectraRequest classic_request(const DataSetJob& job) {
  const ModelParams& p = job.header.params;
  SpectraRequest q;
  LayerModel as_read = job.layers;
  as_read.nc = p.NC;
  const LayerModel thick = layer_thicknesses(as_read);
  for (int ic = 1; ic <= p.NC; ++ic) {
    q.layers.push_back(LayerRow{thick.hc[ic], thick.vp[ic], thick.vs[ic], thick.rho[ic],
                                thick.qp[ic], thick.qs[ic]});
  }
  q.nfreq = p.NFREQ;
  q.tl = p.TL;
  q.aw = p.AW;
  q.xl = p.XL;
  q.ikmax = p.IKMAX;
  q.uconv = p.UCONV;
  q.source_depth = job.header.ZS;
  for (std::size_t i = 0; i < job.x.size(); ++i) {
    q.x.push_back(job.x[i] - p.XS);
    q.y.push_back(job.y[i] - p.YS);
    q.depth.push_back(job.z[i]);
  }
  return q;
}

void run_data_set(const DataSetJob& job, const RunOptions& options, std::ostream& err) {
  run_data_sets({&job}, options, err);
}

namespace {

// The warnings after a data set's files, from what its frequencies met.
void warn(const DataSetJob& job, const SumsOutcome& t, std::ostream& err) {
  const ModelParams& p = job.header.params;
  if (t.nonfinite > 0) {
    err << "layergreen: warning: station " << trimmed(job.station) << ", data set " << job.data_set
        << ": the spectra of " << t.nonfinite << " of " << p.NFREQ
        << " frequencies are not finite numbers (first at frequency "
        << free_real(t.first_nonfinite).substr(2)
        << "); the model or the sampling leaves the computation without a finite result there\n";
  }
  if (p.UCONV > 0.0 && t.unconverged > 0) {
    err << "layergreen: warning: station " << trimmed(job.station) << ", data set " << job.data_set
        << ": " << t.unconverged << " of " << p.NFREQ << " frequencies reached IKMAX = " << p.IKMAX
        << " without converging (highest frequency " << free_real(t.highest_unconverged).substr(2)
        << ")\n";
  }
}

}  // namespace

void run_data_sets(const std::vector<const DataSetJob*>& all, const RunOptions& options,
                   std::ostream& err, Progress* progress) {
  // The files of each data set, created and begun in order. A failure ends the list there:
  // the data sets before it are still computed, and the failure is passed on at the end.
  std::vector<std::unique_ptr<ResultFiles>> files;
  std::exception_ptr failure;
  std::vector<SpectraRequest> requests;
  for (const DataSetJob* job : all) {
    try {
      auto f = std::make_unique<ResultFiles>();
      f->create(job->result_names);
      const std::string header = result_header(job->header, job->layers);
      for (std::size_t n = 0; n < f->size(); ++n) f->write(n, header);
      files.push_back(std::move(f));
      requests.push_back(classic_request(*job));
    } catch (const OutputError&) {
      failure = std::current_exception();
      break;
    }
  }
  std::size_t live = files.size();  // data sets 0 .. live-1 are still being written
  if (live == 0) std::rethrow_exception(failure);

  const SharedSweep sweep(requests, options.threads);
  // The receiver blocks, in computing order (by depth).
  auto drop_from = [&](std::size_t d) {
    for (std::size_t e = d; e < live; ++e) files[e]->discard();
    live = d;
  };
  for (std::size_t d = 0; d < live; ++d) {
    const DataSetJob& job = *all[d];
    const std::vector<int>& order = sweep.slot_receiver(d);
    try {
      for (std::size_t slot = 0; slot < order.size(); ++slot) {
        const auto i = static_cast<std::size_t>(order[slot]);
        files[d]->write(slot, receiver_block(job.x[i], job.y[i], job.z[i]));
      }
    } catch (const OutputError&) {
      failure = std::current_exception();
      drop_from(d);
    }
  }

  std::vector<SumsOutcome> tally(live);
  // The text of each frequency is formed on the worker that computed it.
  auto format = [&](std::vector<FrequencySpectra>& r) {
    for (std::size_t d = 0; d < r.size(); ++d) {
      for (const ReceiverSpectra& u : r[d].spectra) {
        r[d].text.push_back(frequency_group(r[d].freq, r[d].iterations, u));
      }
    }
  };
  // Each frequency goes to the files of the data sets still written; computing stops when
  // none is left.
  auto write = [&](std::vector<FrequencySpectra>& r) {
    for (std::size_t d = 0; d < live; ++d) {
      const FrequencySpectra& fs = r[d];
      tally[d].add(fs.freq, fs.converged, fs.finite);
      try {
        for (std::size_t slot = 0; slot < fs.text.size(); ++slot)
          files[d]->write(slot, fs.text[slot]);
      } catch (const OutputError&) {
        failure = std::current_exception();
        drop_from(d);
      }
    }
    if (live > 0 && progress != nullptr) progress->update(static_cast<int>(r.front().index) + 1);
  };
  if (live > 0) sweep.run(options.threads, format, write, [&] { return live == 0; });
  if (progress != nullptr) progress->clear();
  // The data sets are committed together, as if one after the other: those before the first
  // that fails are in place.
  std::vector<ResultFiles*> sets;
  for (std::size_t d = 0; d < live; ++d) sets.push_back(files[d].get());
  std::size_t committed = 0;
  try {
    ResultFiles::commit_all(sets, committed);
  } catch (const OutputError&) {
    failure = std::current_exception();
    drop_from(committed);
  }
  for (std::size_t d = 0; d < committed; ++d) warn(*all[d], tally[d], err);
  if (failure) std::rethrow_exception(failure);
}

}  // namespace lg
