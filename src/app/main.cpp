// layergreen: Green's functions of a layered half-space for the subfaults of a fault.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "bank/bank_run.h"
#include "inputs/check_run.h"
#include "run/interrupt.h"
#include "run/run.h"
#include "run/run_lock.h"
#include "run/thread_count.h"

namespace {

constexpr const char* kUsage =
    "usage: layergreen [--threads N] [--sweep N] [--progress] [--check] [--help] [--version]\n"
    "       layergreen bank CONFIG.toml [--threads N] [--sweep N] [--progress] [--check]\n"
    "                                   [--resume] [--classic DIR]\n";

constexpr const char* kHelp =
    "usage: layergreen [--threads N] [--sweep N] [--progress] [--check] [--help] [--version]\n"
    "\n"
    "Computes frequency-domain Green's functions of a horizontally layered, anelastic\n"
    "half-space for the grid of subfaults of a rectangular fault, at many stations.\n"
    "\n"
    "Run it in the working directory that holds the control file quenta4.ctl. The control\n"
    "file names, through templates, each station's model file and subfault file and the\n"
    "result files, which are written into one existing folder per station. The inputs are\n"
    "echoed on standard output; messages go to standard error.\n"
    "\n"
    "Options:\n"
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
    "                README's sampling rules, naming the value that would satisfy the\n"
    "                rule; computes and writes nothing. Exit status 0 when all is\n"
    "                well, 1 with warnings only, 2 with problems\n"
    "  --help        show this help and exit\n"
    "  --version     show the version and exit\n"
    "\n"
    "layergreen bank CONFIG.toml computes a Green's-function bank from a TOML configuration\n"
    "(sampling, model, fault, stations) into one HDF5 file (see the README, Banks):\n"
    "  --threads N, --progress   as above (the progress line covers the whole bank)\n"
    "  --check       validate the configuration and print the plan (data sets, steps, time\n"
    "                and size estimates) without computing\n"
    "  --sweep N     data sets computed together in one shared sweep (default 8)\n"
    "  --resume      continue an interrupted bank from its journal (OUTPUT.journal)\n"
    "  --classic DIR write the equivalent classic input files into DIR instead\n"
    "\n"
    "Exit status: 0 on success, 1 when a subfault-file header does not match the control\n"
    "file, 2 on bad input, a result file or standard output that cannot be written,\n"
    "another run working in the same folder, memory or threads running out, or a usage\n"
    "error.\n";

int usage_error(const std::string& what) {
  std::cerr << "layergreen: " << what << '\n' << kUsage;
  return lg::kExitUsage;
}

// The run under the lock of the working folder. Running out of memory or threads ends it
// with one message; the temporaries of the data set in progress are removed on the way out.
int run_locked(const lg::RunOptions& options) {
  lg::install_interrupt_handlers();
  std::optional<lg::RunLock> lock;
  try {
    lock.emplace(lg::kRunLockFile);
    return lg::run(options, std::cout, std::cerr);
  } catch (const lg::LockRefused& e) {
    std::cerr << "layergreen: " << e.what() << '\n';
  } catch (const lg::Interrupted& e) {
    // The temporaries of the data set in progress are gone; complete files stay.
    std::cout.flush();
    std::cerr << "layergreen: interrupted; the data set in progress was not written\n";
    if (lock) lock->release();
    lg::die_of(e.signal_number());
  } catch (const std::bad_alloc&) {
    std::cerr << "layergreen: out of memory; the data set in progress was not written\n";
  } catch (const std::system_error& e) {
    std::cerr << "layergreen: cannot start a thread: " << e.code().message()
              << "; the data set in progress was not written\n";
  }
  return lg::kExitInputError;
}

// Parses --threads' value; a usage error message when it is not usable.
std::optional<std::string> thread_option(int argc, char** argv, int& i,
                                         std::optional<int>& threads) {
  const std::string arg = argv[i];
  std::string value;
  if (arg == "--threads") {
    if (i + 1 >= argc) return std::string("--threads needs a value");
    value = argv[++i];
  } else {
    value = arg.substr(10);
  }
  threads = lg::parse_thread_count(value);
  if (!threads) return "--threads takes a whole number from 1 to 1024, not '" + value + "'";
  return std::nullopt;
}

int bank_main(int argc, char** argv) {
  std::optional<int> threads;
  lg::BankOptions o;
  o.progress = ::isatty(STDERR_FILENO) != 0;
  const std::string error =
      lg::parse_bank_arguments(std::vector<std::string>(argv + 2, argv + argc), o, threads);
  if (!error.empty()) return usage_error(error);
  std::ios::sync_with_stdio(false);
  o.threads = lg::choose_thread_count(threads, std::getenv("OMP_NUM_THREADS"), std::cerr);
  lg::install_interrupt_handlers();
  try {
    return lg::run_bank(o, std::cout, std::cerr);
  } catch (const lg::Interrupted& e) {
    std::cout.flush();
    std::cerr << (o.progress ? "\n" : "")
              << "layergreen: interrupted; finished data sets are kept in the journal "
                 "(continue with --resume)\n";
    lg::die_of(e.signal_number());
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "bank") return bank_main(argc, argv);
  std::optional<int> threads;
  bool progress = ::isatty(STDERR_FILENO) != 0;
  bool check = false;
  std::size_t sweep = lg::kMaxSweepDataSets;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kHelp;
      return 0;
    }
    if (arg == "--version") {
      std::cout << "layergreen " << LAYERGREEN_VERSION << '\n';
      return 0;
    }
    if (arg == "--check") {
      check = true;
      continue;
    }
    if (arg == "--progress") {
      progress = true;
      continue;
    }
    if (arg == "--threads" || arg.rfind("--threads=", 0) == 0) {
      if (auto e = thread_option(argc, argv, i, threads)) return usage_error(*e);
      continue;
    }
    if (arg == "--sweep" || arg.rfind("--sweep=", 0) == 0) {
      std::string value;
      if (arg == "--sweep") {
        if (i + 1 >= argc) return usage_error("--sweep needs a value");
        value = argv[++i];
      } else {
        value = arg.substr(8);
      }
      const std::optional<int> n = lg::parse_thread_count(value);
      if (!n)
        return usage_error("--sweep takes a whole number from 1 to 1024, not '" + value + "'");
      sweep = static_cast<std::size_t>(*n);
      continue;
    }
    return usage_error("unknown option or argument '" + arg + "'");
  }
  // A closed standard output or error would hand its descriptor to the next file opened, and
  // the echo would land in it: such streams go to /dev/null, and a closed standard output is
  // reported as the write error it is.
  const bool stdout_closed = ::fcntl(STDOUT_FILENO, F_GETFD) < 0;
  for (const int fd : {STDOUT_FILENO, STDERR_FILENO}) {
    if (::fcntl(fd, F_GETFD) < 0) {
      const int null = ::open("/dev/null", O_WRONLY);
      if (null >= 0 && null != fd) {
        ::dup2(null, fd);
        ::close(null);
      }
    }
  }
  // Beyond a file-size limit writes fail with EFBIG and are reported, instead of SIGXFSZ.
  std::signal(SIGXFSZ, SIG_IGN);
  std::ios::sync_with_stdio(false);
  lg::RunOptions options;
  options.threads = lg::choose_thread_count(threads, std::getenv("OMP_NUM_THREADS"), std::cerr);
  options.progress = progress;
  options.sweep_data_sets = sweep;
  options.input_notes = progress;
  const int status = check ? lg::check_run(options, std::cout, std::cerr) : run_locked(options);
  std::cout.flush();
  if (stdout_closed || !std::cout) {
    // Once failed, the stream writes no more; one more attempt at what it holds tells why.
    errno = 0;
    std::cout.clear();
    std::cout.flush();
    const int err = stdout_closed ? EBADF : errno;
    std::cerr << "layergreen: cannot write to standard output: "
              << (err != 0 ? std::strerror(err) : "write error")
              << "; the echo of the inputs is incomplete\n";
    return lg::kExitInputError;
  }
  return status;
}
