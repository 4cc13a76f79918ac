#include "run/command_line.h"

#include <array>
#include <cmath>
#include <stdexcept>
#include <utility>

#include "run/bank_keys.h"
#include "run/thread_count.h"

namespace lg {

namespace {

// ---- The texts ----

constexpr const char* kUsage =
    "usage: layergreen [run] [--threads N] [--sweep N] [--progress] [--check] [--help]\n"
    "                  [--version]\n"
    "       layergreen bank CONFIG.toml [--threads N] [--sweep N] [--progress] [--check]\n"
    "                                   [--strict] [--resume | --update] [--classic DIR]\n"
    "                                   [--help]\n"
    "       layergreen bank --verify FILE\n"
    "       layergreen forward BANK.h5 SLIP_MODEL -o DIR [--source S] [--lowpass FC]\n"
    "                                   [--components zne|zrt] [--help]\n"
    "       layergreen help [run | bank | forward | exit-status]\n";

constexpr const char* kMpiUsage =
    "usage: mpirun -np N layergreen-mpi [run] [--threads N] [--sweep N] [--progress] [--help]\n"
    "                                   [--version]\n"
    "       mpirun -np N layergreen-mpi bank CONFIG.toml [--threads N] [--sweep N] [--progress]\n"
    "                                        [--check] [--strict] [--resume | --update]\n"
    "                                        [--help]\n"
    "       layergreen-mpi help [run | bank | exit-status]\n";

constexpr const char* kExitStatus =
    "Exit status: 0 on success, 1 when a subfault-file header does not match the control\n"
    "file (and for --check, when there are warnings only), 2 on bad input, a result file or\n"
    "standard output that cannot be written, another run working in the same folder, memory\n"
    "or threads running out, or a usage error.\n";

constexpr const char* kRunHelp =
    "Computes frequency-domain Green's functions of a horizontally layered, anelastic\n"
    "half-space for the grid of subfaults of a rectangular fault, at many stations.\n"
    "\n"
    "Commands:\n"
    "  run (the default)  the classic run in the working directory (below)\n"
    "  bank CONFIG.toml   a Green's-function bank from a TOML configuration into one HDF5\n"
    "                     file (layergreen help bank)\n"
    "  forward BANK.h5 SLIP_MODEL -o DIR\n"
    "                     seismograms and static offsets of a slip model from a bank\n"
    "                     (layergreen help forward)\n"
    "  help [TOPIC]       this help, or that of run, bank or exit-status\n"
    "\n"
    "Run it in the working directory that holds the control file quenta4.ctl. The control\n"
    "file names, through templates, each station's model file and subfault file and the\n"
    "result files, which are written into one existing folder per station. The inputs are\n"
    "echoed on standard output; messages go to standard error.\n"
    "\n"
    "Options (each also as --option=value):\n"
    "  --threads N   compute the frequencies of a data set on N threads (default: the\n"
    "                value of OMP_NUM_THREADS, else every hardware thread); the results\n"
    "                are the same for every N\n"
    "  --sweep N     compute at most N consecutive data sets that share the model and the\n"
    "                sampling together (default 64; 1: one after the other). The results\n"
    "                are the same for every N; a sweep's files are put in place when all\n"
    "                its data sets are complete\n"
    "  --progress    show a progress line of the whole run on standard error: data sets\n"
    "                complete out of all, the data sets in progress and the time left for\n"
    "                the run (shown anyway when standard error is a terminal)\n"
    "  --check       read and check every input file and report every problem found,\n"
    "                with a warning for each data set whose TL, XL or IKMAX breaks the\n"
    "                sampling rules (docs/classic.md), naming the value that would\n"
    "                satisfy the rule; computes and writes nothing. Exit status 0 when all is\n"
    "                well, 1 with warnings only, 2 with problems\n"
    "  -h, --help    show this help and exit\n"
    "  --version     show the version and exit\n"
    "\n";

constexpr const char* kBankHelp =
    "Computes a Green's-function bank from a TOML configuration (sampling, model, fault,\n"
    "stations) into one HDF5 file (see docs/banks.md). The plan (data sets, sampling,\n"
    "steps, time and size estimates) goes to standard output; warnings and errors to\n"
    "standard error. The sampling rules of the classic --check are applied to the bank: a\n"
    "warning for each rule its tl, xl or ikmax breaks, before anything is computed; after\n"
    "the run, one warning counts the sums that reached ikmax without converging and one\n"
    "the spectra that are not finite numbers.\n"
    "\n"
    "Options (each also as --option=value):\n"
    "  --threads N   compute the frequencies of a data set on N threads (default: the\n"
    "                value of OMP_NUM_THREADS, else every hardware thread)\n"
    "  --sweep N     data sets computed together in one shared sweep (default: as many\n"
    "                as about 1 GiB of spectra and Bessel tables allows; every data set\n"
    "                of an ordinary bank)\n"
    "  --progress    a progress line of the whole bank on standard error\n"
    "  --check       validate the configuration, print the plan and the warnings of the\n"
    "                sampling rules without computing; exit status 0 when all is well,\n"
    "                1 with warnings only, 2 with problems\n"
    "  --strict      refuse to start a bank whose sampling breaks a rule (status 2)\n"
    "  --resume      continue an interrupted bank from its journal (OUTPUT.journal)\n"
    "  --update      add the stations of new [[station]] tables to a finished bank (or to\n"
    "                its journal), computing only theirs; any other change is refused\n"
    "  --classic DIR write the equivalent classic input files into DIR instead\n"
    "  --verify FILE read every chunk of a bank file and say whether it is whole (its\n"
    "                checksums hold); exit status 0 when whole, 2 otherwise\n"
    "  -h, --help    show this help and exit\n"
    "\n"
    "Exit status: 0 on success, 1 for --check with warnings only, 2 on a bad configuration,\n"
    "a file that cannot be written or a usage error.\n";

constexpr const char* kForwardHelp =
    "Sums a kinematic slip model (FSP, USGS .param or SRF) over the subfaults of a bank\n"
    "whose subfaults are the slip model's (a bank made with [fault] slip_model = FILE, see\n"
    "docs/forward.md): the displacement seismograms and the static offsets at every station.\n"
    "Each subfault's moment is mu x area x slip, its mechanism its strike, dip and rake, its\n"
    "moment-rate function (unit area) delayed by its rupture time. It runs the Python\n"
    "package's Bank.forward with /usr/bin/python3 (the package must be built).\n"
    "\n"
    "Writes into DIR one SAC file per station and component (NAME.Z.sac, NAME.N.sac,\n"
    "NAME.E.sac, or .Z .R .T; displacement in metres) and static.csv (station, lat, lon or\n"
    "x, y, then north, east, up in metres), all or none; a line per station on standard\n"
    "output.\n"
    "\n"
    "Options (each also as --option=value):\n"
    "  -o, --output DIR       the folder of the SAC files and static.csv (made if missing)\n"
    "  --source S             the moment-rate function: triangle (default; isosceles, the\n"
    "                         rise time long), cosine, asymmetric-cosine (.param rise and\n"
    "                         fall times), sampled (SRF slip rates) or file (the file's own)\n"
    "  --lowpass FC           causal 4-pole Butterworth low-pass at FC Hz\n"
    "  --components C         zne (default: up, north, east) or zrt (up, radial, transverse\n"
    "                         seen from the epicentre)\n"
    "  -h, --help             show this help and exit\n"
    "\n"
    "Exit status: 0 on success, 2 on bad input (a slip model that is not the bank's, a\n"
    "file that cannot be read or written), a missing Python package or a usage error.\n";

constexpr const char* kMpiRunHelp =
    "Computes the Green's functions of a layergreen run on the N ranks of an MPI job. Rank 0\n"
    "reads the control, model and subfault files and prints the echo of the inputs; the\n"
    "sweeps of layergreen (consecutive data sets that share the model and the sampling,\n"
    "computed together) are then handed out one at a time to the ranks as they become\n"
    "free, cut into parts when there are fewer sweeps than ranks, and each rank computes\n"
    "its sweeps on its own threads. The result files, the echo, the messages and the exit\n"
    "status are those of layergreen, for every number of ranks, threads and sweep sizes.\n"
    "\n"
    "Run it in the working directory that holds the control file quenta4.ctl; every rank\n"
    "must see that folder (on a cluster, a shared file system).\n"
    "\n"
    "Options (each also as --option=value):\n"
    "  --threads N   compute the frequencies of a data set on N threads on every rank\n"
    "                (default: the value of OMP_NUM_THREADS, else the hardware threads of\n"
    "                the node shared out among the ranks on that node)\n"
    "  --sweep N     compute at most N consecutive data sets that share the model and the\n"
    "                sampling together (default 64; 1: each data set on its own)\n"
    "  --progress    show a progress line of the whole run on standard error\n"
    "  -h, --help    show this help and exit\n"
    "  --version     show the version and exit\n"
    "\n"
    "layergreen-mpi bank CONFIG.toml computes the bank of layergreen bank (same options, same\n"
    "file, same warnings): rank 0 keeps the journal and hands the data sets to the other\n"
    "ranks in sweeps of near-equal size (at most --sweep data sets, and as many sweeps as\n"
    "make equal rounds for the ranks), and writes the bank file; with one rank, rank 0\n"
    "computes them itself.\n"
    "\n"
    "Exit status: 0 on success, 1 when a subfault-file header does not match the control\n"
    "file, 2 on bad input, a result file that cannot be written, or a usage error. A rank\n"
    "that dies ends the whole run with a non-zero status from mpirun.\n";

// ---- The options ----

enum Commands : unsigned { kRun = 1, kBank = 2, kAll = 3, kForward = 4 };

struct OptionRule {
  const char* name;
  const char* missing;  // the message when its value is missing; null for a flag
  unsigned serial;      // the commands of layergreen that take it
  unsigned mpi;         // those of layergreen-mpi
};

constexpr std::array<OptionRule, 15> kOptions{{
    {"--threads", "needs a value", kAll, kAll},
    {"--sweep", "needs a value", kAll, kAll},
    {"--progress", nullptr, kAll, kAll},
    {"--check", nullptr, kAll, kBank},
    {"--resume", nullptr, kBank, kBank},
    {"--update", nullptr, kBank, kBank},
    {"--strict", nullptr, kBank, kBank},
    {"--verify", "needs a bank file", kBank, 0},
    {"--classic", "needs a folder", kBank, kBank},
    {"--help", nullptr, kAll | kForward, kAll},
    {"--output", "needs a folder", kForward, 0},
    {"--source", "needs a value", kForward, 0},
    {"--lowpass", "needs a value", kForward, 0},
    {"--components", "needs a value", kForward, 0},
    {"--version", nullptr, kAll, kAll},
}};

CommandLine usage_error(std::string what) {
  CommandLine c;
  c.action = CommandLine::Action::kUsageError;
  c.error = std::move(what);
  return c;
}

// A whole number from 1 to 1024, for --threads and --sweep.
std::optional<int> count_value(const std::string& option, const std::string& value,
                               std::string& error) {
  const std::optional<int> n = parse_thread_count(value);
  if (!n) error = option + " takes a whole number from 1 to 1024, not '" + value + "'";
  return n;
}

}  // namespace

const char* usage_text(Program program) {
  return program == Program::kMpi ? kMpiUsage : kUsage;
}

std::optional<std::string> help_text(const std::string& topic, Program program) {
  const std::string usage = usage_text(program);
  if (program == Program::kMpi && (topic.empty() || topic == "run")) {
    return usage + "\n" + kMpiRunHelp;
  }
  // The program's help (and its manual page) holds every command's.
  if (topic.empty()) {
    return usage + "\n" + kRunHelp + kExitStatus + "\nlayergreen bank CONFIG.toml\n\n" + kBankHelp +
           "\n" + bank_keys_help() + "\nlayergreen forward BANK.h5 SLIP_MODEL -o DIR\n\n" +
           kForwardHelp;
  }
  if (topic == "run") return usage + "\n" + kRunHelp + kExitStatus;
  if (topic == "bank") return usage + "\n" + kBankHelp + "\n" + bank_keys_help();
  if (topic == "forward" && program == Program::kSerial) return usage + "\n" + kForwardHelp;
  if (topic == "exit-status") return std::string(kExitStatus);
  return std::nullopt;
}

CommandLine parse_command_line(const std::vector<std::string>& args, bool progress,
                               Program program) {
  CommandLine c;
  c.progress = progress;
  std::size_t i = 0;
  unsigned command = kRun;
  if (!args.empty() && args[0] == "help") {
    c.action = CommandLine::Action::kHelp;
    c.command = args.size() > 1 ? args[1] : std::string();
    if (args.size() > 2) return usage_error("help takes one topic, not '" + args[2] + "'");
    if (!c.command.empty() && !help_text(c.command, program)) {
      return usage_error("no help on '" + c.command + "'; the topics are run, bank" +
                         (program == Program::kSerial ? ", forward" : "") + " and exit-status");
    }
    return c;
  }
  if (!args.empty() && (args[0] == "run" || args[0] == "bank" ||
                        (args[0] == "forward" && program == Program::kSerial))) {
    c.command = args[0];
    command = args[0] == "bank" ? kBank : args[0] == "forward" ? kForward : kRun;
    i = 1;
  }
  c.sweep = command == kBank ? kBankSweepDataSets : kMaxSweepDataSets;
  for (; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const std::size_t eq = arg.rfind("--", 0) == 0 ? arg.find('=') : std::string::npos;
    std::string name = arg.substr(0, eq);
    if (name == "-h") name = "--help";
    if (name == "-o" && command == kForward) name = "--output";
    const OptionRule* known = nullptr;
    for (const OptionRule& o : kOptions) {
      if (name == o.name && ((program == Program::kMpi ? o.mpi : o.serial) & command) != 0) {
        known = &o;
      }
    }
    if (known == nullptr) {
      if (command == kBank && !arg.empty() && arg[0] != '-' && c.config.empty()) {
        c.config = arg;
        continue;
      }
      if (command == kForward && !arg.empty() && arg[0] != '-' && c.inputs.size() < 2) {
        c.inputs.push_back(arg);
        continue;
      }
      return usage_error("unknown option or argument '" + arg + "'");
    }
    std::string value;
    if (known->missing != nullptr) {
      if (eq != std::string::npos) {
        value = arg.substr(eq + 1);
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        return usage_error(name + " " + known->missing);
      }
    } else if (eq != std::string::npos) {
      return usage_error(name + " takes no value");
    }
    std::string error;
    if (name == "--help") {
      c.action = CommandLine::Action::kHelp;
      return c;
    } else if (name == "--version") {
      c.action = CommandLine::Action::kVersion;
      return c;
    } else if (name == "--threads") {
      c.threads = count_value(name, value, error);
    } else if (name == "--sweep") {
      if (const std::optional<int> n = count_value(name, value, error)) {
        c.sweep = static_cast<std::size_t>(*n);
      }
    } else if (name == "--progress") {
      c.progress = true;
    } else if (name == "--check") {
      c.check = true;
    } else if (name == "--resume") {
      c.resume = true;
    } else if (name == "--update") {
      c.update = true;
    } else if (name == "--strict") {
      c.strict = true;
    } else if (name == "--verify") {
      c.verify = value;
    } else if (name == "--classic") {
      c.classic_dir = value;
    } else if (name == "--output") {
      c.output_dir = value;
    } else if (name == "--source") {
      if (value != "triangle" && value != "cosine" && value != "asymmetric-cosine" &&
          value != "sampled" && value != "file") {
        error = "--source takes triangle, cosine, asymmetric-cosine, sampled or file, not '" +
                value + "'";
      }
      c.source = value;
    } else if (name == "--lowpass") {
      double fc = 0.0;
      std::size_t used = 0;
      try {
        fc = std::stod(value, &used);
      } catch (const std::exception&) {
        used = 0;
      }
      if (used == 0 || used != value.size() || !std::isfinite(fc) || !(fc > 0.0)) {
        error = "--lowpass takes a positive corner frequency in Hz, not '" + value + "'";
      }
      c.lowpass = value;
    } else if (name == "--components") {
      if (value != "zne" && value != "zrt") {
        error = "--components takes zne or zrt, not '" + value + "'";
      }
      c.components = value;
    }
    if (!error.empty()) return usage_error(error);
  }
  if (command == kBank && !c.verify.empty()) {
    if (!c.config.empty()) return usage_error("--verify takes a bank file, not a configuration");
    return c;
  }
  if (c.resume && c.update) return usage_error("--resume and --update exclude each other");
  if (command == kBank && c.config.empty()) return usage_error("bank needs a configuration file");
  if (command == kForward && c.inputs.size() < 2) {
    return usage_error("forward needs a bank file and a slip model");
  }
  if (command == kForward && c.output_dir.empty()) {
    return usage_error("forward needs -o DIR, the folder of its files");
  }
  return c;
}

}  // namespace lg
