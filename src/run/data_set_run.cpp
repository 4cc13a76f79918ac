#include "run/data_set_run.h"

#include <memory>
#include <vector>

#include "inputs/file_names.h"
#include "kernel/source_receiver_placement.h"
#include "output/result_files.h"
#include "output/result_format.h"
#include "run/data_set_spectra.h"
#include "run/progress.h"
#include "textio/free_write.h"

namespace lg {

void run_data_set(const DataSetJob& job, const RunOptions& options, std::ostream& err) {
  const ModelParams& p = job.header.params;
  const int n = static_cast<int>(job.x.size());

  ResultFiles files;
  files.create(job.result_names);
  const std::string header = result_header(job.header, job.layers);
  for (std::size_t f = 0; f < files.size(); ++f) files.write(f, header);

  // The request in the kernel's terms: thicknesses, and receivers relative to the source.
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
  for (int i = 0; i < n; ++i) {
    q.x.push_back(job.x[static_cast<std::size_t>(i)] - p.XS);
    q.y.push_back(job.y[static_cast<std::size_t>(i)] - p.YS);
    q.depth.push_back(job.z[static_cast<std::size_t>(i)]);
  }
  const DataSetSpectra spectra(q, options.threads);
  const std::vector<int>& order = spectra.slot_receiver();
  for (std::size_t slot = 0; slot < order.size(); ++slot) {
    const auto i = static_cast<std::size_t>(order[slot]);
    files.write(slot, receiver_block(job.x[i], job.y[i], job.z[i]));
  }

  int unconverged = 0;
  double highest = 0.0;
  int nonfinite = 0;
  double first_nonfinite = 0.0;
  Progress progress(err, options.progress, trimmed(job.station), job.data_set, job.header.ndatas,
                    p.NFREQ);
  // The text of each frequency is formed on the worker that computed it.
  auto format = [](FrequencySpectra& r) {
    for (const ReceiverSpectra& u : r.spectra)
      r.text.push_back(frequency_group(r.freq, r.iterations, u));
  };
  spectra.run(options.threads, format, [&](FrequencySpectra& r) {
    if (!r.converged) {
      ++unconverged;
      highest = r.freq;
    }
    if (!r.finite && nonfinite++ == 0) first_nonfinite = r.freq;
    for (std::size_t slot = 0; slot < r.text.size(); ++slot) files.write(slot, r.text[slot]);
    progress.update(static_cast<int>(r.index) + 1);
  });
  progress.finish();
  files.commit();

  if (nonfinite > 0) {
    err << "layergreen: warning: station " << trimmed(job.station) << ", data set " << job.data_set
        << ": the spectra of " << nonfinite << " of " << p.NFREQ
        << " frequencies are not finite numbers (first at frequency "
        << free_real(first_nonfinite).substr(2)
        << "); the model or the sampling leaves the computation without a finite result there\n";
  }
  if (p.UCONV > 0.0 && unconverged > 0) {
    err << "layergreen: warning: station " << trimmed(job.station) << ", data set " << job.data_set
        << ": " << unconverged << " of " << p.NFREQ << " frequencies reached IKMAX = " << p.IKMAX
        << " without converging (highest frequency " << free_real(highest).substr(2) << ")\n";
  }
}

}  // namespace lg
