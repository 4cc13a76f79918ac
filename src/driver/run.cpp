#include "driver/run.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "driver/control_file.h"
#include "driver/file_names.h"
#include "driver/free_write.h"
#include "driver/frequency_loop.h"
#include "driver/frequency_step.h"
#include "driver/progress.h"
#include "driver/input_error.h"
#include "driver/model_file.h"
#include "driver/result_files.h"
#include "driver/result_format.h"
#include "driver/subfault_file.h"
#include "model/records.h"
#include "prep/initda.h"

namespace lg {

namespace {

class HeaderMismatch {};

constexpr double kMaxBesselTableBytes = 64.0 * 1024 * 1024;

struct Station {
  std::string code;
  std::string filin;   // 80 characters
  std::string fzahyo;  // 80 characters
  // Result names by data set (1-based) and along-strike index ns1..ns2 (0-based from ns1).
  std::vector<std::vector<std::string>> filot;
};

class Runner {
 public:
  Runner(const RunOptions& options, std::ostream& out, std::ostream& err)
      : options_(options), out_(out), err_(err), c_(new Context) {}

  void run() {
    LineSource ctl_src = LineSource::open(options_.control_file);
    ctl_ = read_control(ctl_src, out_);
    markers_ = find_markers(ctl_, ctl_src.name());
    for (int istat = 1; istat <= ctl_.nstat; ++istat) station(ctl_.stname[istat - 1]);
  }

 private:
  int receivers() const { return ctl_.ns2 - ctl_.ns1 + 1; }

  void station(const std::string& code) {
    Station st;
    st.code = code;
    st.filin = model_file_name(ctl_, markers_, code);
    st.fzahyo = subfault_file_name(ctl_, markers_, code);
    out_ << FreeLine().t("filin=").t(st.filin).str();
    out_ << FreeLine().t("fzahyo=").t(st.fzahyo).str();
    st.filot.resize(static_cast<std::size_t>(std::max(ctl_.ndatas, 0)) + 1);
    for (int i = 1; i <= ctl_.ndatas; ++i) {
      for (int j = ctl_.ns1; j <= ctl_.ns2; ++j) {
        st.filot[i].push_back(result_file_name(ctl_, markers_, code, (i - 1) * ctl_.nstati + j));
      }
    }
    // filot(1,1) exists only when data set 1 and index 1 are part of the run.
    const std::string first =
        (ctl_.ndatas >= 1 && ctl_.ns1 == 1) ? st.filot[1][0] : std::string(80, ' ');
    out_ << FreeLine().t("filot(1,1)=").t(first).str();
    for (int i = 1; i <= ctl_.ndatas; ++i) data_set(st, i);
  }

  void data_set(const Station& st, int i) {
    Context& c = *c_;
    const int n = receivers();

    LineSource model = LineSource::open(trimmed(st.filin));
    read_model(model, ctl_.nstati, params_, c.dim1e, out_);

    std::vector<std::string> names;
    for (const std::string& name : st.filot[i]) names.push_back(trimmed(name));
    ResultFiles files;
    files.create(names);

    LineSource sub = LineSource::open(trimmed(st.fzahyo));
    const SubfaultHeader fault = read_subfault_header(sub, out_);
    if (fault.nszahy != n || fault.nwzahy != ctl_.nw1) {
      out_ << FreeLine().t("nszahyo.ne.(ns2-ns1+1).or.nwzahy.ne.nw1").str();
      files.discard();
      throw HeaderMismatch();
    }
    double zs = 0.0;
    std::vector<double> x(n), y(n), z(n);
    read_subfault_block(sub, i, n, zs, x.data(), y.data(), z.data(), out_);

    // The receivers read for this data set, packed into slots 1..n.
    c.dim1d.NC = params_.NC;
    c.dim1d.NR = n;
    c.dim1a.UCONV = params_.UCONV;
    c.dim1c.XS = params_.XS;
    c.dim1c.YS = params_.YS;
    c.dim1c.ZS = zs;
    for (int s = 1; s <= n; ++s) {
      c.dim1b.xr[s] = x[s - 1];
      c.dim1b.yr[s] = y[s - 1];
      c.dim1b.zr[s] = z[s - 1];
    }

    HeaderValues hv;
    hv.nstati = ctl_.nstati;
    hv.ndatas = ctl_.ndatas;
    hv.ns1 = ctl_.ns1;
    hv.ns2 = ctl_.ns2;
    hv.nw1 = ctl_.nw1;
    hv.fault = fault;
    hv.params = params_;
    hv.ZS = zs;
    const std::string header = result_header(hv, c.dim1e);
    for (std::size_t f = 0; f < files.size(); ++f) files.write(f, header);

    const double dfreq = 1.0 / params_.TL;
    Sampling s;
    s.aw = -(c.dim1a.pi * params_.AW) / params_.TL;
    s.xl = params_.XL;
    s.pil = c.dim1a.pi2 / params_.XL;
    s.ikmax = params_.IKMAX;

    initda(c);
    for (int slot = 1; slot <= n; ++slot) {
      files.write(static_cast<std::size_t>(slot - 1),
                  receiver_block(c.dim1b.xr[slot], c.dim1b.yr[slot], c.dim1b.zr[slot]));
    }

    // Every frequency walks the same wavenumber grid: tabulate its Bessel values once, unless
    // the table would be large (then each step evaluates them).
    BesselTable table;
    const double cells = (static_cast<double>(s.ikmax) + 1.0) * 2.0 * n;
    if (params_.NFREQ > 1 && cells * sizeof(double) <= kMaxBesselTableBytes) {
      table = BesselTable(c, s, s.ikmax + 1, options_.threads);
    }

    // The frequencies, by repeated addition from zero.
    std::vector<double> freqs(static_cast<std::size_t>(params_.NFREQ));
    double freq = -dfreq;
    for (double& f : freqs) f = freq = freq + dfreq;

    int unconverged = 0;
    double highest = 0.0;
    Progress progress(err_, options_.progress, trimmed(st.code), i, ctl_.ndatas, params_.NFREQ);
    run_frequencies(c, s, &table, freqs, options_.threads,
                    [&](std::size_t f, FrequencyResult& r) {
                      if (!r.converged) {
                        ++unconverged;
                        highest = freqs[f];
                      }
                      for (std::size_t slot = 0; slot < r.groups.size(); ++slot) {
                        files.write(slot, r.groups[slot]);
                      }
                      progress.update(static_cast<int>(f) + 1);
                    });
    progress.finish();
    files.commit();

    if (params_.UCONV > 0.0 && unconverged > 0) {
      err_ << "layergreen: warning: station " << trimmed(st.code) << ", data set " << i << ": "
           << unconverged << " of " << params_.NFREQ
           << " frequencies reached IKMAX = " << params_.IKMAX
           << " without converging (highest frequency " << free_real(highest).substr(2) << ")\n";
    }
  }

  RunOptions options_;
  std::ostream& out_;
  std::ostream& err_;
  std::unique_ptr<Context> c_;
  Control ctl_;
  NameMarkers markers_;
  ModelParams params_;
};

}  // namespace

int run(const RunOptions& options, std::ostream& out, std::ostream& err) {
  Runner runner(options, out, err);
  try {
    runner.run();
  } catch (const HeaderMismatch&) {
    out.flush();
    return kExitHeaderMismatch;
  } catch (const InputError& e) {
    out.flush();
    err << "layergreen: " << e.what() << '\n';
    return kExitInputError;
  } catch (const OutputError& e) {
    out.flush();
    err << "layergreen: " << e.what() << '\n';
    return kExitInputError;
  }
  out.flush();
  return kExitOk;
}

}  // namespace lg
