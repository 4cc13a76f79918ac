#include "inputs/run_plan.h"

#include <algorithm>

#include "inputs/control_file.h"
#include "inputs/file_names.h"
#include "inputs/model_file.h"
#include "inputs/subfault_file.h"
#include "output/result_files.h"
#include "textio/free_write.h"
#include "textio/input_error.h"

namespace lg {

namespace {

class HeaderMismatch {};

class Planner {
 public:
  Planner(const RunOptions& options, std::ostream& out) : options_(options), out_(out) {}

  void plan(RunPlan& p) {
    LineSource ctl_src = LineSource::open(options_.control_file);
    ctl_ = read_control(ctl_src, out_);
    markers_ = find_markers(ctl_, ctl_src.name());
    for (int istat = 1; istat <= ctl_.nstat; ++istat) station(ctl_.stname[istat - 1], p);
  }

 private:
  void station(const std::string& code, RunPlan& p) {
    const std::string filin = model_file_name(ctl_, markers_, code);
    const std::string fzahyo = subfault_file_name(ctl_, markers_, code);
    out_ << FreeLine().t("filin=").t(filin).str();
    out_ << FreeLine().t("fzahyo=").t(fzahyo).str();
    std::vector<std::vector<std::string>> filot(static_cast<std::size_t>(std::max(ctl_.ndatas, 0)) +
                                                1);
    for (int i = 1; i <= ctl_.ndatas; ++i) {
      for (int j = ctl_.ns1; j <= ctl_.ns2; ++j) {
        filot[i].push_back(result_file_name(ctl_, markers_, code, (i - 1) * ctl_.nstati + j));
      }
    }
    // filot(1,1) exists only when data set 1 and index 1 are part of the run.
    const std::string first =
        (ctl_.ndatas >= 1 && ctl_.ns1 == 1) ? filot[1][0] : std::string(80, ' ');
    out_ << FreeLine().t("filot(1,1)=").t(first).str();
    for (int i = 1; i <= ctl_.ndatas; ++i) {
      p.jobs.push_back(data_set(code, i, trimmed(filin), trimmed(fzahyo), filot[i]));
    }
  }

  DataSetJob data_set(const std::string& code, int i, const std::string& filin,
                      const std::string& fzahyo, const std::vector<std::string>& filot) {
    DataSetJob job;
    job.station = code;
    job.data_set = i;
    const int n = ctl_.ns2 - ctl_.ns1 + 1;

    LineSource model = LineSource::open(filin);
    read_model(model, ctl_.nstati, params_, layers_, out_);
    job.layers = layers_;

    // The result files are opened here in the run's order; the station folder must exist and
    // take new files now, before the subfault file is read.
    for (const std::string& name : filot) job.result_names.push_back(trimmed(name));
    {
      ResultFiles probe;
      probe.create({job.result_names.front()});
    }

    LineSource sub = LineSource::open(fzahyo);
    const SubfaultHeader fault = read_subfault_header(sub, out_);
    if (fault.nszahy != n || fault.nwzahy != ctl_.nw1) {
      out_ << FreeLine().t("nszahyo.ne.(ns2-ns1+1).or.nwzahy.ne.nw1").str();
      throw HeaderMismatch();
    }
    double zs = 0.0;
    job.x.resize(n);
    job.y.resize(n);
    job.z.resize(n);
    read_subfault_block(sub, i, n, zs, job.x.data(), job.y.data(), job.z.data(), out_);

    HeaderValues& hv = job.header;
    hv.nstati = ctl_.nstati;
    hv.ndatas = ctl_.ndatas;
    hv.ns1 = ctl_.ns1;
    hv.ns2 = ctl_.ns2;
    hv.nw1 = ctl_.nw1;
    hv.fault = fault;
    hv.params = params_;
    hv.ZS = zs;
    return job;
  }

  const RunOptions& options_;
  std::ostream& out_;
  Control ctl_;
  NameMarkers markers_;
  ModelParams params_;  // members keep their values from one model file to the next
  LayerModel layers_;   // so do layer entries
};

}  // namespace

RunPlan plan_run(const RunOptions& options, std::ostream& out) {
  RunPlan p;
  Planner planner(options, out);
  try {
    planner.plan(p);
  } catch (const HeaderMismatch&) {
    p.status = kExitHeaderMismatch;
  } catch (const InputError& e) {
    p.status = kExitInputError;
    p.message = e.what();
  } catch (const OutputError& e) {
    p.status = kExitInputError;
    p.message = e.what();
  }
  out.flush();
  return p;
}

}  // namespace lg
