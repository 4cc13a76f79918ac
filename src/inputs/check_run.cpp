#include "inputs/check_run.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "inputs/file_names.h"
#include "inputs/input_walk.h"
#include "inputs/model_file.h"
#include "inputs/sampling_rules.h"

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
                 job.layers, job);
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

  // Warnings about sampling that cannot represent the requested record (the README's rules).
  void sampling(const std::string& where, const LayerModel& layers, const DataSetJob& job) {
    const SamplingGeometry g{job.header.ZS, job.x, job.y, job.z};
    for (const SamplingWarning& w : sampling_warnings(job.header.params, layers, g)) {
      warning(where + ": " + w.text);
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
  if (checker.problems() > 0) return kExitInputError;
  return checker.warnings() > 0 ? kExitWarnings : kExitOk;
}

}  // namespace lg
