// One walk over the inputs of a run, shared by the run plan and --check: the control file,
// then for every station its file names (with their echo lines) and for every data set the
// model file, the station folder and the subfault file, in the order of the run. What is read
// goes to the caller as one DataSetJob per data set; echo lines go to the given stream.
#pragma once

#include <functional>
#include <ostream>
#include <string>

#include "common/error.h"
#include "common/run_options.h"
#include "inputs/data_set_job.h"

namespace lg {

enum class WalkMode {
  run,    // every data set reads its files again; the first fault ends the walk (thrown)
  check,  // each file is judged once per station; faults are reported and the walk goes on
};

// Thrown in a run when a subfault header does not match the control file (after its echo
// line); the message names the file and the numbers that disagree.
class SubfaultHeaderMismatch : public Error {
 public:
  explicit SubfaultHeaderMismatch(const std::string& what) : Error(what, kExitHeaderMismatch) {}
};

struct WalkSink {
  // A data set read completely; model_ok is false when (in --check) its model file failed.
  std::function<void(const DataSetJob& job, bool model_ok)> data_set;
  // A fault found in --check, as the text of its message.
  std::function<void(const std::string& what)> problem;
  // Something read that works but is likely not what was meant (once per station).
  std::function<void(const std::string& what)> warning;
};

// Walks the inputs. In a run an InputError, an OutputError (station folder that cannot take
// files) or SubfaultHeaderMismatch ends the walk and is passed on.
void walk_inputs(const RunOptions& options, WalkMode mode, std::ostream& echo,
                 const WalkSink& sink);

}  // namespace lg
