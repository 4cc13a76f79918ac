#include "inputs/check_run.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "inputs/file_names.h"
#include "inputs/input_walk.h"
#include "inputs/model_file.h"

namespace lg {

namespace {

class Checker {
 public:
  Checker(const RunOptions& options, std::ostream& err) : options_(options), err_(err) {}

  void check() {
    WalkSink sink;
    sink.problem = [&](const std::string& what) { problem(what); };
    sink.warning = [&](const std::string& what) { warning(what); };
    sink.data_set = [&](const DataSetJob& job, bool model_ok) {
      if (model_ok) {
        sampling("station " + trimmed(job.station) + ", data set " + std::to_string(job.data_set),
                 job.header.params, job.layers, job.x, job.y);
      }
    };
    walk_inputs(options_, WalkMode::check, sink_, sink);
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

  // Warnings about sampling that cannot represent the requested record.
  void sampling(const std::string& where, const ModelParams& p, const LayerModel& layers,
                const std::vector<double>& x, const std::vector<double>& y) {
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
