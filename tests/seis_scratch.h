// Scratch folders and program runs for the seismogram tests: a fresh folder per test, removed
// at its end, and commands run with their exit status and standard error captured.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

namespace seis_test {

namespace fs = std::filesystem;

struct CommandResult {
  int status = -1;
  std::string err;
};

inline std::string slurp(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

class Scratch {
 public:
  Scratch() {
    static std::atomic<int> serial{0};
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string tag = info != nullptr ? std::string(info->name()) : std::string("any");
    root_ = fs::temp_directory_path() / ("layergreen-seis-test-" + std::to_string(::getpid()) +
                                         "-" + std::to_string(serial++) + "-" + tag);
    fs::remove_all(root_);
    fs::create_directories(root_);
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  const fs::path& root() const { return root_; }
  std::string at(const std::string& rel) const { return (root_ / rel).string(); }

  void write(const std::string& rel, const std::string& text) const {
    const fs::path p = root_ / rel;
    fs::create_directories(p.parent_path());
    std::ofstream f(p, std::ios::binary);
    f << text;
    ASSERT_TRUE(f.good()) << p;
  }
  std::string read(const std::string& rel) const { return slurp(root_ / rel); }

  // Names of the entries of a folder (hidden ones included).
  std::set<std::string> entries(const std::string& rel) const {
    std::set<std::string> s;
    for (const auto& e : fs::directory_iterator(root_ / rel)) s.insert(e.path().filename());
    return s;
  }

  // Runs a shell command in this folder; standard output is dropped, standard error kept.
  CommandResult run(const std::string& command) const {
    const fs::path err_file = fs::path(root_.string() + ".stderr");
    const std::string cmd =
        "cd '" + root_.string() + "' && " + command + " >/dev/null 2>'" + err_file.string() + "'";
    const int raw = std::system(cmd.c_str());
    CommandResult r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.err = slurp(err_file);
    std::error_code ec;
    fs::remove(err_file, ec);
    return r;
  }

 private:
  fs::path root_;
};

}  // namespace seis_test
