// layergreen: Green's functions of a layered half-space for the subfaults of a fault.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#ifdef LAYERGREEN_HAVE_BANK
#include "bank/bank_run.h"
#endif
#include "inputs/check_run.h"
#include "run/command_line.h"
#include "run/interrupt.h"
#include "run/run.h"
#include "run/run_lock.h"
#include "run/thread_count.h"

namespace {

int usage_error(const std::string& what) {
  std::cerr << "layergreen: " << what << '\n' << lg::usage_text(lg::Program::kSerial);
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

#ifdef LAYERGREEN_HAVE_BANK
int bank_main(const lg::CommandLine& cl) {
  lg::BankOptions o = lg::bank_options(cl);
  std::ios::sync_with_stdio(false);
  o.threads = lg::choose_thread_count(cl.threads, std::getenv("OMP_NUM_THREADS"), std::cerr);
  lg::install_interrupt_handlers();
  try {
    return lg::run_bank(o, std::cout, std::cerr);
  } catch (const lg::Interrupted& e) {
    std::cout.flush();
    // The progress line, if shown, was ended on the way out.
    std::cerr << "layergreen: interrupted; finished data sets are kept in the journal "
                 "(continue with --resume)\n";
    lg::die_of(e.signal_number());
  }
}
#else
int bank_main(const lg::CommandLine&) {
  std::cerr << "layergreen: this build has no bank support (rebuild with -DLAYERGREEN_BANK=ON)\n";
  return lg::kExitUsage;
}
#endif

// layergreen forward: the Python package's Bank.forward, run by /usr/bin/python3 with the
// package of this build (its build tree, or the installed one) first on PYTHONPATH.
int forward_main(const lg::CommandLine& cl) {
#ifdef LAYERGREEN_PYTHON_FORWARD
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path exe = fs::canonical("/proc/self/exe", ec);
  const fs::path build = fs::weakly_canonical(LAYERGREEN_BUILD_DIR, ec);
  const std::string exe_text = exe.string();
  std::string build_text = build.string();
  build_text.push_back('/');
  // The build tree's package for a program that runs from there; else the installed one,
  // beside the program (PREFIX/bin/layergreen, PREFIX/SITE/layergreen) or under the prefix it
  // was configured with.
  std::vector<std::string> candidates;
  if (!exe_text.empty() && exe_text.rfind(build_text, 0) == 0) {
    candidates.push_back(LAYERGREEN_PYTHON_BUILD_PATH);
  } else {
    if (!exe.empty()) {
      candidates.push_back((exe.parent_path().parent_path() / LAYERGREEN_PYTHON_SITE).string());
    }
    candidates.push_back(LAYERGREEN_PYTHON_INSTALL_PATH);
  }
  std::string package;
  for (const std::string& c : candidates) {
    if (fs::exists(fs::path(c) / "layergreen" / "_forward_cli.py", ec)) {
      package = c;
      break;
    }
  }
  if (package.empty()) {
    std::cerr << "layergreen forward: the Python package is not at " << candidates.front()
              << " (build it, or install layergreen)\n";
    return lg::kExitInputError;
  }
  std::string path = package;
  if (const char* old = std::getenv("PYTHONPATH"); old != nullptr && *old != '\0') {
    path.push_back(':');
    path.append(old);
  }
  ::setenv("PYTHONPATH", path.c_str(), 1);
  std::vector<std::string> args = {"/usr/bin/python3", "-m", "layergreen._forward_cli"};
  args.insert(args.end(), cl.inputs.begin(), cl.inputs.end());
  args.insert(args.end(),
              {"--output", cl.output_dir, "--source", cl.source, "--components", cl.components});
  if (!cl.lowpass.empty()) args.insert(args.end(), {"--lowpass", cl.lowpass});
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::cout.flush();
  ::execv(argv[0], argv.data());
  std::cerr << "layergreen forward: cannot run /usr/bin/python3: " << std::strerror(errno) << '\n';
  return lg::kExitInputError;
#else
  (void)cl;
  std::cerr << "layergreen forward: this build has no Python package (it needs pybind11, "
               "Python's headers and FFTW: scripts/setup installs them)\n";
  return lg::kExitUsage;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  const lg::CommandLine cl = lg::parse_command_line(std::vector<std::string>(argv + 1, argv + argc),
                                                    ::isatty(STDERR_FILENO) != 0);
  switch (cl.action) {
    case lg::CommandLine::Action::kUsageError:
      return usage_error(cl.error);
    case lg::CommandLine::Action::kHelp:
      std::cout << *lg::help_text(cl.command, lg::Program::kSerial);
      return lg::kExitOk;
    case lg::CommandLine::Action::kVersion:
      std::cout << "layergreen " << LAYERGREEN_VERSION << '\n';
      return lg::kExitOk;
    case lg::CommandLine::Action::kRun:
      break;
  }
  // Beyond a file-size limit writes fail with EFBIG and are reported, instead of SIGXFSZ.
  std::signal(SIGXFSZ, SIG_IGN);
  if (cl.command == "bank") return bank_main(cl);
  if (cl.command == "forward") return forward_main(cl);
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
  std::ios::sync_with_stdio(false);
  lg::RunOptions options;
  options.threads = lg::choose_thread_count(cl.threads, std::getenv("OMP_NUM_THREADS"), std::cerr);
  options.progress = cl.progress;
  options.sweep_data_sets = cl.sweep;
  options.input_notes = cl.progress;
  const int status = cl.check ? lg::check_run(options, std::cout, std::cerr) : run_locked(options);
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
