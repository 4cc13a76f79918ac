#include "inputs/input_walk.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "inputs/control_file.h"
#include "inputs/file_names.h"
#include "inputs/model_file.h"
#include "inputs/subfault_file.h"
#include "textio/free_write.h"
#include "textio/input_error.h"

namespace lg {

namespace {

// Why the folder of a result file cannot take new files: 0 when it can, else an errno value.
// `exists` tells whether the folder is there at all.
int folder_fault(const std::string& dir, bool& exists) {
  struct stat st;
  exists = false;
  if (::stat(dir.c_str(), &st) != 0) return errno;
  if (!S_ISDIR(st.st_mode)) return ENOTDIR;
  exists = true;
  return ::access(dir.c_str(), W_OK | X_OK) != 0 ? errno : 0;
}

class Walker {
 public:
  Walker(const RunOptions& options, WalkMode mode, std::ostream& echo, const WalkSink& sink)
      : options_(options), check_(mode == WalkMode::check), echo_(echo), sink_(sink) {}

  void walk() {
    // Nothing else can be located without the control file.
    const bool ok = attempt([&] {
      LineSource src = LineSource::open(options_.control_file);
      ctl_ = read_control(src, echo_);
      markers_ = find_markers(ctl_, src.name());
    });
    if (!ok) return;
    for (int istat = 1; istat <= ctl_.nstat; ++istat) station(ctl_.stname[istat - 1]);
  }

 private:
  // Runs a step of the walk. In a run a fault ends the walk; in --check it is reported and
  // the step counts as failed.
  template <class Step>
  bool attempt(Step&& step) {
    if (!check_) {
      step();
      return true;
    }
    try {
      step();
      return true;
    } catch (const InputError& e) {
      sink_.problem(e.what());
      return false;
    }
  }

  void station(const std::string& code) {
    const std::string filin = model_file_name(ctl_, markers_, code);
    const std::string fzahyo = subfault_file_name(ctl_, markers_, code);
    echo_ << FreeLine().t("filin=").t(filin).str();
    echo_ << FreeLine().t("fzahyo=").t(fzahyo).str();
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
    echo_ << FreeLine().t("filot(1,1)=").t(first).str();

    // A run reads the model and subfault files again for every data set; --check judges each
    // once per station (the model's members keep their values from one read to the next), and
    // reads the model and the subfault header even when there are no data sets.
    const int rounds = check_ ? std::max(ctl_.ndatas, 1) : ctl_.ndatas;
    bool model_ok = true;
    for (int i = 1; i <= rounds; ++i) {
      const bool judge = !check_ || i == 1;  // this round reads the model, probes the folder
      if (judge) model_ok = attempt([&] { read_model_file(trimmed(filin), i == 1); });
      DataSetJob job;
      job.station = code;
      job.data_set = i;
      if (i <= ctl_.ndatas) {
        for (const std::string& name : filot[i]) job.result_names.push_back(trimmed(name));
        // The station folder must take new files now, before the subfault file is read.
        if (judge) probe_folder(job.result_names.front());
      }
      const bool read = attempt([&] { read_subfault(trimmed(fzahyo), judge, job); });
      if (!read) return;  // nothing more of this station can be read
      if (i <= ctl_.ndatas) sink_.data_set(job, model_ok);
    }
  }

  void read_model_file(const std::string& name, bool warn) {
    LineSource src = LineSource::open(name);
    const std::vector<std::string> warnings = read_model(src, ctl_.nstati, params_, layers_, echo_);
    if (warn && sink_.warning) {
      for (const std::string& w : warnings) sink_.warning(w);
    }
  }

  void probe_folder(const std::string& first) {
    const std::size_t slash = first.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : first.substr(0, slash);
    bool exists = false;
    const int err = folder_fault(dir, exists);
    if (err == 0) return;
    if (!check_) {
      throw Error("cannot create result file " + first + " (temporary " +
                  temporary_result_name(first) + "): " + std::strerror(err));
    }
    sink_.problem(first + ": the station folder " + dir +
                  (exists ? " is not writable" : " does not exist (create it first)"));
  }

  // Reads the header of the subfault file and, for a data set of the run, its block.
  void read_subfault(const std::string& name, bool judge_header, DataSetJob& job) {
    const int n = ctl_.ns2 - ctl_.ns1 + 1;
    LineSource sub = LineSource::open(name);
    // Header reals without a decimal point are noted once per station: always under --check,
    // in a run when the caller asks (with the progress line).
    std::vector<std::string> notes;
    const bool note = job.data_set == 1 && (check_ || options_.input_notes);
    const SubfaultHeader fault = read_subfault_header(sub, echo_, note ? &notes : nullptr);
    for (const std::string& n : notes) sink_.warning(n);
    if (judge_header && (fault.nszahy != n || fault.nwzahy != ctl_.nw1)) {
      if (!check_) {
        echo_ << FreeLine().t("nszahyo.ne.(ns2-ns1+1).or.nwzahy.ne.nw1").str();
        throw SubfaultHeaderMismatch(header_mismatch(name, fault, n, ctl_.nw1));
      }
      sink_.problem(header_mismatch(name, fault, n, ctl_.nw1) +
                    " (nszahyo.ne.(ns2-ns1+1).or.nwzahy.ne.nw1)");
    }
    if (job.data_set > ctl_.ndatas) return;
    double zs = 0.0;
    job.x.resize(n);
    job.y.resize(n);
    job.z.resize(n);
    read_subfault_block(sub, job.data_set, n, zs, job.x.data(), job.y.data(), job.z.data(), echo_);
    job.layers = layers_;
    HeaderValues& hv = job.header;
    hv.nstati = ctl_.nstati;
    hv.ndatas = ctl_.ndatas;
    hv.ns1 = ctl_.ns1;
    hv.ns2 = ctl_.ns2;
    hv.nw1 = ctl_.nw1;
    hv.fault = fault;
    hv.params = params_;
    hv.ZS = zs;
  }

  const RunOptions& options_;
  const bool check_;
  std::ostream& echo_;
  const WalkSink& sink_;
  Control ctl_;
  NameMarkers markers_;
  ModelParams params_;  // members keep their values from one model file to the next
  LayerModel layers_;   // so do layer entries
};

}  // namespace

void walk_inputs(const RunOptions& options, WalkMode mode, std::ostream& echo,
                 const WalkSink& sink) {
  Walker(options, mode, echo, sink).walk();
}

}  // namespace lg
