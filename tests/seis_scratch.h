// Scratch folders and program runs for the seismogram tests: a WorkDir whose shell commands run
// as given, with their exit status and standard error captured, and the one-receiver run of the
// main program that several of these tests start from.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

#include "seis/result_reader.h"
#include "test_workdir.h"

namespace seis_test {

namespace fs = std::filesystem;

struct CommandResult {
  int status = -1;
  std::string err;
};

using lg::testing::slurp;

class Scratch : public lg::testing::WorkDir {
 public:
  // Runs a shell command in this folder; standard output is dropped, standard error kept.
  CommandResult run(const std::string& command) const {
    const fs::path err_file = fs::path(root().string() + ".stderr");
    const std::string cmd =
        "cd '" + root().string() + "' && " + command + " >/dev/null 2>'" + err_file.string() + "'";
    const int raw = std::system(cmd.c_str());
    CommandResult r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.err = slurp(err_file);
    std::error_code ec;
    fs::remove(err_file, ec);
    return r;
  }
};

// A result file of the bundled example, by its path under green/ ("OSK/OSK.3").
inline std::string bundled_result(const std::string& name) {
  return slurp(std::string(LAYERGREEN_TEST_DATA) + "/regression/basic/expected/green/" + name);
}

// Runs the main program in `dir` for one station "SRC" with one surface receiver at (x, y) and
// the source at depth zs, and returns its result file. `group` is the namelist group of the
// model file, `layers` its layer lines.
inline lg::seis::ResultFile run_one_receiver(const Scratch& dir, const std::string& group,
                                             const std::string& layers, double zs, double x,
                                             double y) {
  dir.write("quenta4.ctl",
            "1\n1\n1\n1\n1\nmodel/strXXX\ngreen/XXX/XXX.nnn\nzahyo/XXX.dat\n1\nSRC\n");
  dir.write("model/strSRC", group + "\n" + layers);
  char block[200];
  std::snprintf(block, sizeof block, "%4d%4d%7.1f%7.1f\n row 1\n  %.3f\n x y z\n  %.3f %.3f 0.0\n",
                1, 1, 0.0, 90.0, zs, x, y);
  dir.write("zahyo/SRC.dat", block);
  dir.mkdir("green/SRC");
  std::string command = "'";
  command += LAYERGREEN_EXE;
  command += "'";
  const auto run = dir.run(command);
  EXPECT_EQ(run.status, 0) << run.err;
  return lg::seis::read_result_file(dir.at("green/SRC/SRC.1"));
}

}  // namespace seis_test
