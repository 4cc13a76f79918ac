#include "run/data_set_run.h"

#include <memory>
#include <vector>

#include "inputs/file_names.h"
#include "textio/free_write.h"
#include "run/frequency_loop.h"
#include "kernel/wavenumber_loop.h"
#include "run/progress.h"
#include "output/result_files.h"
#include "output/result_format.h"
#include "kernel/source_receiver_placement.h"

namespace lg {

namespace {

// Above this size the Bessel values are evaluated in every step instead of tabulated.
constexpr double kMaxBesselTableBytes = 64.0 * 1024 * 1024;

}  // namespace

void run_data_set(const DataSetJob& job, const RunOptions& options, std::ostream& err) {
  const ModelParams& p = job.header.params;
  const int n = static_cast<int>(job.x.size());
  auto cp = std::make_unique<Context>();
  Context& c = *cp;

  ResultFiles files;
  files.create(job.result_names);

  // The receivers read for this data set, packed into slots 1..n.
  c.dim1d.NC = p.NC;
  c.dim1d.NR = n;
  c.dim1e = job.layers;
  c.dim1a.UCONV = p.UCONV;
  c.dim1c.XS = p.XS;
  c.dim1c.YS = p.YS;
  c.dim1c.ZS = job.header.ZS;
  for (int s = 1; s <= n; ++s) {
    c.dim1b.xr[s] = job.x[s - 1];
    c.dim1b.yr[s] = job.y[s - 1];
    c.dim1b.zr[s] = job.z[s - 1];
  }

  const std::string header = result_header(job.header, c.dim1e);
  for (std::size_t f = 0; f < files.size(); ++f) files.write(f, header);

  const double dfreq = 1.0 / p.TL;
  Sampling s;
  s.aw = -(c.dim1a.pi * p.AW) / p.TL;
  s.xl = p.XL;
  s.pil = c.dim1a.pi2 / p.XL;
  s.ikmax = p.IKMAX;

  initda(c);
  for (int slot = 1; slot <= n; ++slot) {
    files.write(static_cast<std::size_t>(slot - 1),
                receiver_block(c.dim1b.xr[slot], c.dim1b.yr[slot], c.dim1b.zr[slot]));
  }

  // Every frequency walks the same wavenumber grid: tabulate its Bessel values once, unless
  // the table would be large (then each step evaluates them).
  BesselTable table;
  const double cells = (static_cast<double>(s.ikmax) + 1.0) * 2.0 * n;
  if (p.NFREQ > 1 && cells * sizeof(double) <= kMaxBesselTableBytes) {
    table = BesselTable(c, s, s.ikmax + 1, options.threads);
  }

  // The frequencies, by repeated addition from zero.
  std::vector<double> freqs(static_cast<std::size_t>(p.NFREQ));
  double freq = -dfreq;
  for (double& f : freqs) f = freq = freq + dfreq;

  int unconverged = 0;
  double highest = 0.0;
  int nonfinite = 0;
  double first_nonfinite = 0.0;
  Progress progress(err, options.progress, trimmed(job.station), job.data_set, job.header.ndatas,
                    p.NFREQ);
  run_frequencies(c, s, &table, freqs, options.threads, [&](std::size_t f, FrequencyResult& r) {
    if (!r.converged) {
      ++unconverged;
      highest = freqs[f];
    }
    if (!r.finite && nonfinite++ == 0) first_nonfinite = freqs[f];
    for (std::size_t slot = 0; slot < r.groups.size(); ++slot) files.write(slot, r.groups[slot]);
    progress.update(static_cast<int>(f) + 1);
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
