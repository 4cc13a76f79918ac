// Scratch working directories for tests that run the program on small input files.
//
// Every WorkDir is a fresh, empty folder under the system's temporary directory, removed when
// the test ends. Runs made through it enter the folder only for the duration of the run and
// return to the previous working directory afterwards, so other tests never see it.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "inputs/check_run.h"
#include "kernel/records.h"
#include "run/run.h"

namespace lg::testing {

namespace fs = std::filesystem;

// The bytes of a file ("" when it cannot be read).
inline std::string slurp(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

// Lines of a text (without their line ends).
inline std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> v;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) v.push_back(l);
  return v;
}

struct RunOutcome {
  int status = -1;
  std::string out;
  std::string err;
};

class WorkDir {
 public:
  WorkDir() {
    static std::atomic<int> serial{0};
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string tag = info != nullptr ? std::string(info->name()) : std::string("any");
    std::replace(tag.begin(), tag.end(), '/', '_');
    root_ = fs::temp_directory_path() / ("layergreen-test-" + std::to_string(::getpid()) + "-" +
                                         std::to_string(serial++) + "-" + tag);
    fs::remove_all(root_);
    fs::create_directories(root_);
  }
  ~WorkDir() {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  WorkDir(const WorkDir&) = delete;
  WorkDir& operator=(const WorkDir&) = delete;

  const fs::path& root() const { return root_; }
  fs::path at(const std::string& rel) const { return root_ / rel; }

  // Writes a file (creating its folders) with exactly the given text.
  void write(const std::string& rel, const std::string& text) const {
    const fs::path p = at(rel);
    fs::create_directories(p.parent_path());
    std::ofstream f(p, std::ios::binary);
    f << text;
    ASSERT_TRUE(f.good()) << p;
  }
  void mkdir(const std::string& rel) const { fs::create_directories(at(rel)); }

  bool exists(const std::string& rel) const { return fs::exists(at(rel)); }

  std::string read(const std::string& rel) const {
    EXPECT_TRUE(std::ifstream(at(rel), std::ios::binary).good()) << "cannot read " << at(rel);
    return slurp(at(rel));
  }
  std::vector<std::string> lines(const std::string& rel) const { return split_lines(read(rel)); }

  // Names of all entries of a folder, hidden ones included, sorted.
  std::set<std::string> entries(const std::string& rel) const {
    std::set<std::string> s;
    for (const auto& e : fs::directory_iterator(at(rel))) s.insert(e.path().filename().string());
    return s;
  }

  // Calls f(out, err), which returns a status, with this folder (or its subfolder rel) as
  // working directory.
  template <class F>
  RunOutcome inside(F f, const std::string& rel = ".") const {
    struct Enter {
      fs::path before = fs::current_path();
      explicit Enter(const fs::path& p) { fs::current_path(p); }
      ~Enter() { fs::current_path(before); }
    } enter(at(rel));
    std::ostringstream out, err;
    RunOutcome r;
    r.status = f(out, err);
    r.out = out.str();
    r.err = err.str();
    return r;
  }

  // Runs the driver in-process in this folder, as a run or as --check.
  RunOutcome run(const lg::RunOptions& options = lg::RunOptions{}) const {
    return inside([&](std::ostream& o, std::ostream& e) { return lg::run(options, o, e); });
  }
  RunOutcome check(const lg::RunOptions& options = lg::RunOptions{}) const {
    return inside([&](std::ostream& o, std::ostream& e) { return lg::check_run(options, o, e); });
  }

  // Runs a shell script in this folder, $LG being the program; its output is kept outside the
  // folder so that listings of the folder show only what the program wrote.
  RunOutcome shell(const std::string& script) const {
    const fs::path out_file = fs::path(root_.string() + ".stdout");
    const fs::path err_file = fs::path(root_.string() + ".stderr");
    const std::string cmd = "cd '" + root_.string() + "' && LG='" + std::string(LAYERGREEN_EXE) +
                            "' /bin/sh -c '" + script + "' >'" + out_file.string() + "' 2>'" +
                            err_file.string() + "'";
    const int raw = std::system(cmd.c_str());
    RunOutcome r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = slurp(out_file);
    r.err = slurp(err_file);
    std::error_code ec;
    fs::remove(out_file, ec);
    fs::remove(err_file, ec);
    return r;
  }
  // Runs the program binary in this folder, without OMP_NUM_THREADS.
  RunOutcome run_program() const { return shell("exec env -u OMP_NUM_THREADS \"$LG\""); }

 private:
  fs::path root_;
};

// An 80-character name as the echo lines show it: the name padded with blanks.
inline std::string padded80(const std::string& name) {
  std::string s = name;
  s.resize(80, ' ');
  return s;
}

// Input files of a run ------------------------------------------------------------------

struct ControlText {
  int ndatas = 1;
  int nstati = 2;
  int nw1 = 1;
  int ns1 = 1;
  int ns2 = 2;
  std::string filin1 = "model/strXXX";
  std::string filo1 = "green/XXX/XXX.nnn";
  std::string fzahy1 = "zahyo/XXX.dat";
  std::vector<std::string> stations = {"AB1"};

  std::string text() const {
    std::ostringstream s;
    s << ndatas << "\n"
      << nstati << "\n"
      << nw1 << "\n"
      << ns1 << "\n"
      << ns2 << "\n"
      << filin1 << "\n"
      << filo1 << "\n"
      << fzahy1 << "\n"
      << stations.size() << "\n";
    for (const std::string& st : stations) s << st << "\n";
    return s.str();
  }
};

// A model file: the namelist group (as given) and the layer lines.
inline std::string model_text(const std::string& group, const std::vector<std::string>& layers) {
  std::string s = group + "\n";
  for (const std::string& l : layers) s += l + "\n";
  return s;
}

// The usual small model: two layers over nothing else, two frequencies, four wavenumbers.
inline std::string small_group(int nr = 2, int nfreq = 2, int ikmax = 3,
                               const std::string& extra = "") {
  return " &INPUT NC=2, NFREQ=" + std::to_string(nfreq) +
         ", TL=10., AW=1., NR=" + std::to_string(nr) + ", XL=100., IKMAX=" + std::to_string(ikmax) +
         ", UCONV=0., XS=0., YS=0." + extra + " /";
}
inline const std::vector<std::string>& small_layers() {
  static const std::vector<std::string> v = {"  2.0  4.50  2.60  2.40  200.  100.",
                                             "  0.0  6.00  3.45  2.70  400.  200."};
  return v;
}

// A layer table from rows of hc, vp, vs, rho, qp and qs, layer 1 first.
inline LayerModel layer_model(const std::vector<std::array<double, 6>>& rows) {
  LayerModel m;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const auto l = static_cast<int>(i) + 1;
    m.hc[l] = rows[i][0];
    m.vp[l] = rows[i][1];
    m.vs[l] = rows[i][2];
    m.rho[l] = rows[i][3];
    m.qp[l] = rows[i][4];
    m.qs[l] = rows[i][5];
  }
  return m;
}

struct Receiver {
  double x, y, z;
};

// A subfault file: the header line, then one block per data set with its source depth and
// receivers.
inline std::string subfault_text(
    const std::string& header, const std::vector<std::pair<double, std::vector<Receiver>>>& rows) {
  std::ostringstream s;
  s.precision(15);
  s << header << "\n";
  int i = 0;
  for (const auto& [zs, recs] : rows) {
    ++i;
    s << " row " << i << ": source depth\n";
    s << "  " << zs << "\n";
    s << " x, y, depth of the receivers\n";
    for (const Receiver& r : recs) s << "  " << r.x << "  " << r.y << "  " << r.z << "\n";
  }
  return s.str();
}

}  // namespace lg::testing
