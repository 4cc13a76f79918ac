#include "inputs/check_run.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "inputs/control_file.h"
#include "inputs/file_names.h"
#include "inputs/model_file.h"
#include "inputs/subfault_file.h"
#include "textio/input_error.h"

namespace lg {

namespace {

class Checker {
 public:
  Checker(const RunOptions& options, std::ostream& err) : options_(options), err_(err) {}

  void check() {
    Control ctl;
    NameMarkers mk;
    try {
      LineSource src = LineSource::open(options_.control_file);
      ctl = read_control(src, sink_);
      mk = find_markers(ctl, src.name());
    } catch (const InputError& e) {
      problem(e.what());
      return;  // nothing else can be located without the control file
    }
    for (int istat = 1; istat <= ctl.nstat; ++istat) station(ctl, mk, ctl.stname[istat - 1]);
  }

  int problems() const { return problems_; }
  int warnings() const { return warnings_; }

 private:
  void problem(const std::string& what) {
    err_ << "layergreen: " << what << '\n';
    ++problems_;
  }
  void warning(const std::string& what) {
    err_ << "layergreen: warning: " << what << '\n';
    ++warnings_;
  }

  void station(const Control& ctl, const NameMarkers& mk, const std::string& code) {
    const std::string filin = trimmed(model_file_name(ctl, mk, code));
    const std::string fzahyo = trimmed(subfault_file_name(ctl, mk, code));
    const std::string label = "station " + trimmed(code);
    // The model file is read again for every data set; its members keep their values from
    // one read to the next, so one read per station tells its problems.
    LayerModel layers;
    bool model_ok = false;
    try {
      LineSource src = LineSource::open(filin);
      read_model(src, ctl.nstati, params_, layers, sink_);
      model_ok = true;
    } catch (const InputError& e) {
      problem(e.what());
    }

    if (ctl.ndatas >= 1) {
      const std::string first = trimmed(result_file_name(ctl, mk, code, ctl.ns1));
      const std::size_t slash = first.rfind('/');
      const std::string dir = slash == std::string::npos ? "." : first.substr(0, slash);
      struct stat st;
      if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        problem(first + ": the station folder " + dir + " does not exist (create it first)");
      } else if (::access(dir.c_str(), W_OK | X_OK) != 0) {
        problem(first + ": the station folder " + dir + " is not writable");
      }
    }

    const int n = ctl.ns2 - ctl.ns1 + 1;
    try {
      LineSource sub = LineSource::open(fzahyo);
      const SubfaultHeader h = read_subfault_header(sub, sink_);
      if (h.nszahy != n || h.nwzahy != ctl.nw1) {
        problem(fzahyo + ":1: header declares " + std::to_string(h.nszahy) +
                " points along strike and " + std::to_string(h.nwzahy) +
                " rows; the control file asks for " + std::to_string(n) + " and " +
                std::to_string(ctl.nw1) + " (nszahyo.ne.(ns2-ns1+1).or.nwzahy.ne.nw1)");
      }
      std::vector<double> x(n), y(n), z(n);
      for (int i = 1; i <= ctl.ndatas; ++i) {
        double zs = 0.0;
        LineSource block = LineSource::open(fzahyo);
        block.next();  // the header, read above
        read_subfault_block(block, i, n, zs, x.data(), y.data(), z.data(), sink_);
        if (model_ok) sampling(label + ", data set " + std::to_string(i), layers, x, y);
      }
    } catch (const InputError& e) {
      problem(e.what());
    }
  }

  // Warnings about sampling that cannot represent the requested record.
  void sampling(const std::string& where, const LayerModel& layers, const std::vector<double>& x,
                const std::vector<double>& y) {
    const ModelParams& p = params_;
    double vp_max = 0.0;
    double vs_min = INFINITY;
    for (int ic = 1; ic <= p.NC; ++ic) {
      vp_max = std::max(vp_max, layers.vp[ic]);
      vs_min = std::min(vs_min, layers.vs[ic]);
    }
    double r_max = 0.0;
    for (std::size_t s = 0; s < x.size(); ++s) {
      r_max = std::max(r_max, std::hypot(x[s] - p.XS, y[s] - p.YS));
    }
    char buf[400];
    // The discrete wavenumber sum puts images of the source at multiples of XL.
    const double first_image = (p.XL - r_max) / vp_max;
    if (first_image < p.TL) {
      std::snprintf(buf, sizeof buf,
                    "%s: XL = %.9g is too short: periodic images of the source arrive from "
                    "time %.3g on, inside the record length TL = %.9g (XL should exceed "
                    "r + vp*TL = %.4g)",
                    where.c_str(), p.XL, std::max(first_image, 0.0), p.TL, r_max + vp_max * p.TL);
      warning(buf);
    }
    if (p.NFREQ > 1) {
      const double w_max = 6.28318530718 * (p.NFREQ - 1) / p.TL;
      const double k_need = w_max / vs_min;
      const double k_max = (p.IKMAX + 0.258) * 6.28318530718 / p.XL;
      if (k_max < k_need) {
        std::snprintf(buf, sizeof buf,
                      "%s: IKMAX = %d reaches wavenumber %.4g, below %.4g, that of S waves in "
                      "the slowest layer at the highest frequency: the sums cannot converge "
                      "there (IKMAX should be at least %.0f)",
                      where.c_str(), p.IKMAX, k_max, k_need,
                      std::ceil(k_need * p.XL / 6.28318530718));
        warning(buf);
      }
    }
  }

  const RunOptions& options_;
  std::ostream& err_;
  std::ostringstream sink_;  // echo lines are not wanted here
  ModelParams params_;
  int problems_ = 0;
  int warnings_ = 0;
};

}  // namespace

int check_run(const RunOptions& options, std::ostream& out, std::ostream& err) {
  Checker checker(options, err);
  checker.check();
  out << "layergreen --check: " << checker.problems() << " problem"
      << (checker.problems() == 1 ? "" : "s") << ", " << checker.warnings() << " warning"
      << (checker.warnings() == 1 ? "" : "s") << '\n';
  if (checker.problems() > 0) return 2;
  return checker.warnings() > 0 ? 1 : 0;
}

}  // namespace lg
