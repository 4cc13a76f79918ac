// Runs that go wrong from outside: interrupted and killed runs, a full disk, a read-only
// station folder, numeric faults, and the --check mode that reports every problem at once.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "run/thread_count.h"
#include "test_workdir.h"

extern char** environ;

namespace lg {
namespace {

using testing::ControlText;
using testing::model_text;
using testing::Receiver;
using testing::subfault_text;
using testing::WorkDir;

// A station with two data sets of two receivers; `nfreq` and `ikmax` set the cost.
void write_run(const WorkDir& w, int nfreq, int ikmax) {
  w.write("quenta4.ctl", ControlText{.ndatas = 2}.text());
  w.write("model/strAB1", model_text(" &INPUT NC=2, NFREQ=" + std::to_string(nfreq) +
                                         ", TL=20., AW=1., NR=2, XL=200., IKMAX=" +
                                         std::to_string(ikmax) + ", UCONV=0., XS=0., YS=0. /",
                                     testing::small_layers()));
  w.write("zahyo/AB1.dat",
          subfault_text("   2   1   45.0   30.0",
                        {{3.0, {{5, 0, 0}, {9, 4, 0}}}, {5.0, {{6, 1, 0}, {10, 3, 0}}}}));
  w.mkdir("green/AB1");
}

pid_t spawn_program(const WorkDir& w) {
  const std::string cmd = "cd '" + w.root().string() + "' && exec '" + LAYERGREEN_EXE +
                          "' --threads 1 --sweep 1 >/dev/null 2>'" + w.root().string() + ".err'";
  const char* argv[] = {"/bin/sh", "-c", cmd.c_str(), nullptr};
  pid_t pid = 0;
  EXPECT_EQ(posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ), 0);
  return pid;
}

// Kills a run with `sig` once the first data set is complete, in the middle of the second
// (one data set per sweep).
void interrupt_second_data_set(int sig) {
  WorkDir w;
  write_run(w, 300, 2000);
  const pid_t pid = spawn_program(w);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!w.exists("green/AB1/AB1.2") && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ASSERT_TRUE(w.exists("green/AB1/AB1.2")) << "the first data set never completed";
  ::kill(pid, sig);
  int raw = 0;
  ASSERT_EQ(::waitpid(pid, &raw, 0), pid);
  // Ended by the signal itself, the way a shell reports it (130 / 143 / 137).
  ASSERT_TRUE(WIFSIGNALED(raw)) << "the run finished before it could be interrupted";
  EXPECT_EQ(WTERMSIG(raw), sig);

  // The first data set is complete; nothing of the second stands under a result name.
  const int lines = 6 + 2 + 2 + 7 * 300;
  EXPECT_EQ(static_cast<int>(w.lines("green/AB1/AB1.1").size()), lines);
  EXPECT_EQ(static_cast<int>(w.lines("green/AB1/AB1.2").size()), lines);
  EXPECT_FALSE(w.exists("green/AB1/AB1.3"));
  EXPECT_FALSE(w.exists("green/AB1/AB1.4"));
  int temporaries = 0;
  for (const std::string& e : w.entries("green/AB1")) temporaries += e[0] == '.' ? 1 : 0;
  // A caught signal removes its temporaries; SIGKILL cannot be caught.
  if (sig != SIGKILL) {
    EXPECT_EQ(temporaries, 0);
  }
  const std::string first = w.read("green/AB1/AB1.1");

  // A rerun completes normally and clears what a killed run left.
  write_run(w, 300, 2000);
  const testing::RunOutcome again = w.run_program();
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(static_cast<int>(w.lines("green/AB1/AB1.4").size()), lines);
  EXPECT_EQ(w.read("green/AB1/AB1.1"), first);
  EXPECT_EQ(w.entries("green/AB1"), (std::set<std::string>{"AB1.1", "AB1.2", "AB1.3", "AB1.4"}));
}

TEST(InterruptedRun, SigtermRemovesTheTemporaries) {
  interrupt_second_data_set(SIGTERM);
}
TEST(InterruptedRun, SigintRemovesTheTemporaries) {
  interrupt_second_data_set(SIGINT);
}
TEST(InterruptedRun, SigkillLeavesNoResultAndTheRerunCleansUp) {
  interrupt_second_data_set(SIGKILL);
}

// Mounts a small tmpfs on `dir` (only root can); unmounted at the end of the scope.
class SmallDisk {
 public:
  SmallDisk(const std::filesystem::path& dir, const char* options) : dir_(dir) {
    mounted_ = ::geteuid() == 0 && ::mount("tmpfs", dir.c_str(), "tmpfs", 0, options) == 0;
  }
  ~SmallDisk() {
    if (mounted_) ::umount2(dir_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }
  void read_only() { ::mount("tmpfs", dir_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr); }

 private:
  std::filesystem::path dir_;
  bool mounted_ = false;
};

TEST(ResourceFaults, FullDiskFailsCleanlyAndKeepsEarlierResults) {
  WorkDir w;
  write_run(w, 40, 10);
  SmallDisk disk(w.at("green/AB1"), "size=48k");
  if (!disk.mounted()) GTEST_SKIP() << "needs root to mount a small file system";
  // An earlier complete result stands in the folder.
  w.write("green/AB1/AB1.1", "an earlier complete result\n");
  const testing::RunOutcome r = w.run_program();
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("green/AB1/AB1."), std::string::npos) << r.err;
  EXPECT_EQ(w.read("green/AB1/AB1.1"), "an earlier complete result\n");
  // The files (about 20 kB each) do not all fit; nothing partial or temporary is left.
  for (const std::string& e : w.entries("green/AB1")) {
    EXPECT_EQ(e[0] == '.', false) << e;
    if (e != "AB1.1") {
      EXPECT_EQ(static_cast<int>(w.lines("green/AB1/" + e).size()), 6 + 2 + 2 + 7 * 40) << e;
    }
  }
}

TEST(ResourceFaults, ReadOnlyStationFolder) {
  WorkDir w;
  write_run(w, 2, 3);
  SmallDisk disk(w.at("green/AB1"), "size=64k");
  if (!disk.mounted()) GTEST_SKIP() << "needs root to mount a file system";
  w.write("green/AB1/AB1.3", "kept\n");
  disk.read_only();
  const testing::RunOutcome r = w.run_program();
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("cannot create result file green/AB1/AB1.1"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Read-only file system"), std::string::npos) << r.err;
  EXPECT_EQ(w.entries("green/AB1"), std::set<std::string>{"AB1.3"});
  EXPECT_EQ(w.read("green/AB1/AB1.3"), "kept\n");
}

TEST(NumericFaults, DispersionFactorThatVanishesIsRejected) {
  WorkDir w;
  write_run(w, 2, 3);
  w.write("model/strAB1", model_text(" &INPUT NC=2, NFREQ=40, TL=1., AW=1., NR=2, XL=200., "
                                     "IKMAX=3, UCONV=0., XS=0., YS=0. /",
                                     {"  2.0  4.50  2.60  2.40  1.2  100.",
                                      "  0.0  6.00  3.45  2.70  400.  200."}));
  const testing::RunOutcome r = w.run_program();
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("model/strAB1:2: layer 1: qp = 1.2 is too small"), std::string::npos)
      << r.err;
  EXPECT_TRUE(w.entries("green/AB1").empty());
}

TEST(NumericFaults, NonFiniteSpectraAreReported) {
  // A source deep in a half-space: the wave amplitudes are referred to the top of the layer,
  // and at large wavenumbers their phase factors underflow.
  WorkDir w;
  w.write("quenta4.ctl", ControlText{}.text());
  w.write("model/strAB1", model_text(" &INPUT NC=1, NFREQ=2, TL=10., AW=1., NR=2, XL=300., "
                                     "IKMAX=3000, UCONV=0., XS=0., YS=0. /",
                                     {"  0.0  6.00  3.50  2.80  300.  150."}));
  w.write("zahyo/AB1.dat",
          subfault_text("   2   1   45.0   30.0", {{60.0, {{5, 0, 58}, {0, 6, 62}}}}));
  w.mkdir("green/AB1");
  const testing::RunOutcome r = w.run_program();
  EXPECT_EQ(r.status, 0);
  ASSERT_NE(r.err.find("station AB1, data set 1: the spectra of 2 of 2 frequencies are not "
                       "finite numbers (first at frequency 0.)"),
            std::string::npos)
      << r.err;
  EXPECT_NE(w.read("green/AB1/AB1.1").find("NaN"), std::string::npos);
}

TEST(CheckMode, ReportsEveryProblemAndWritesNothing) {
  WorkDir w;
  w.write("quenta4.ctl", ControlText{.ndatas = 2, .stations = {"AB1", "CD2", "EF3"}}.text());
  // AB1: a bad layer; CD2: a header that does not match, no station folder; EF3: fine (IKMAX
  // 150 is what the sampling rules ask for).
  w.write("model/strAB1",
          model_text(testing::small_group(2, 2, 150),
                     {"  2.0  4.50  0.  2.40  200.  100.", "  0.0  6.00  3.45  2.70  400.  200."}));
  w.write("model/strCD2", model_text(testing::small_group(2, 2, 150), testing::small_layers()));
  w.write("model/strEF3", model_text(testing::small_group(2, 2, 150), testing::small_layers()));
  const std::string rows = subfault_text(
      "   2   1   45.0   30.0", {{3.0, {{5, 0, 0}, {9, 4, 0}}}, {5.0, {{6, 1, 0}, {10, 3, 0}}}});
  w.write("zahyo/AB1.dat", rows);
  w.write("zahyo/CD2.dat", "   3   1   45.0   30.0\n" + rows.substr(rows.find('\n') + 1));
  w.write("zahyo/EF3.dat", rows);
  w.mkdir("green/AB1");
  w.mkdir("green/EF3");
  const testing::RunOutcome r = w.check();
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "layergreen --check: 3 problems, 0 warnings\n");
  const std::string& e = r.err;
  EXPECT_NE(e.find("model/strAB1:2: layer 1: vs = 0: fluid layers"), std::string::npos) << e;
  EXPECT_NE(e.find("green/CD2/CD2.1: the station folder green/CD2 does not exist"),
            std::string::npos)
      << e;
  EXPECT_NE(e.find("zahyo/CD2.dat:1: the header does not match the control file: it declares "
                   "3 points along strike (columns 1-4) where the control file asks for "
                   "ns2-ns1+1 = 2 (nszahyo.ne.(ns2-ns1+1).or.nwzahy.ne.nw1)"),
            std::string::npos)
      << e;
  EXPECT_EQ(e.find("EF3"), std::string::npos) << e;
  EXPECT_TRUE(w.entries("green/AB1").empty());
  EXPECT_TRUE(w.entries("green/EF3").empty());
}

TEST(CheckMode, WarnsAboutSamplingAndPassesGoodInput) {
  WorkDir w;
  write_run(w, 64, 2000);
  const testing::RunOutcome ok = w.check();
  EXPECT_EQ(ok.status, 0) << ok.err;
  EXPECT_EQ(ok.out, "layergreen --check: 0 problems, 0 warnings\n");
  // A short XL (images of the source inside the record) and an IKMAX that stops short.
  w.write("model/strAB1", model_text(" &INPUT NC=2, NFREQ=64, TL=20., AW=1., NR=2, XL=60., "
                                     "IKMAX=20, UCONV=0., XS=0., YS=0. /",
                                     testing::small_layers()));
  const testing::RunOutcome r = w.check();
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "layergreen --check: 0 problems, 4 warnings\n");
  EXPECT_NE(r.err.find("station AB1, data set 2: XL = 60 is too short"), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("IKMAX = 20 reaches wavenumber"), std::string::npos) << r.err;
}

TEST(ThreadCount, OptionThenEnvironmentThenHardware) {
  EXPECT_EQ(parse_thread_count("4"), 4);
  for (const char* bad : {"0", "-2", "x", "", "1025", "2.5", "4 "}) {
    EXPECT_FALSE(parse_thread_count(bad).has_value()) << bad;
  }
  std::ostringstream err;
  EXPECT_EQ(choose_thread_count(3, "7", err), 3);
  EXPECT_EQ(choose_thread_count(std::nullopt, "4,2", err), 4);
  EXPECT_EQ(choose_thread_count(std::nullopt, " 5 ", err), 5);
  EXPECT_TRUE(err.str().empty());
  const int hw = choose_thread_count(std::nullopt, nullptr, err);
  EXPECT_GE(hw, 1);
  EXPECT_EQ(choose_thread_count(std::nullopt, "lots", err), hw);
  EXPECT_NE(err.str().find("ignoring OMP_NUM_THREADS=\"lots\""), std::string::npos);
}

}  // namespace
}  // namespace lg
