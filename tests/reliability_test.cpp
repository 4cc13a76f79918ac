// Hostile input and faults from outside: inputs that are not files, control characters and
// overlong values in messages, impossible geometry, values that do not fit the result header,
// and the commit protocol that keeps every result name holding a complete file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

#include "output/result_files.h"
#include "test_workdir.h"

namespace lg {
namespace {

using testing::ControlText;
using testing::model_text;
using testing::RunOutcome;
using testing::small_group;
using testing::small_layers;
using testing::subfault_text;
using testing::WorkDir;

// Two stations of one data set each; tests spoil one file and look at the answer.
class HostileInput : public ::testing::Test {
 protected:
  void SetUp() override {
    ctl.stations = {"AB1", "CD2"};
    write_all();
  }
  void write_all() {
    w.write("quenta4.ctl", ctl.text());
    for (const char* code : {"AB1", "CD2"}) {
      w.write(std::string("model/str") + code, model_text(small_group(2, 2, 50), small_layers()));
      w.write(std::string("zahyo/") + code + ".dat",
              subfault_text("   2   1   45.0   30.0", {{6.0, {{12, -4, 0}, {18, 2, 0}}}}));
      w.mkdir(std::string("green/") + code);
    }
  }
  // One line on standard error holding `what` (besides the sampling warnings --check gives the
  // small test model), and status 2.
  static void expect_one_line(const RunOutcome& r, const std::string& what) {
    EXPECT_EQ(r.status, 2);
    std::istringstream lines(r.err);
    int others = 0;
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("layergreen: warning: ", 0) != 0) ++others;
    }
    EXPECT_EQ(others, 1) << r.err;
    EXPECT_NE(r.err.find(what), std::string::npos) << r.err;
  }
  ControlText ctl;
  WorkDir w;
};

TEST_F(HostileInput, InputsThatAreNotFilesGetTheUsualMessage) {
  // The second station's subfault file is a folder: the first station is still computed.
  std::filesystem::remove(w.at("zahyo/CD2.dat"));
  w.mkdir("zahyo/CD2.dat");
  RunOutcome r = w.run_program();
  expect_one_line(r, "layergreen: zahyo/CD2.dat: cannot open: it is a folder, not a file");
  EXPECT_EQ(w.entries("green/AB1"), (std::set<std::string>{"AB1.1", "AB1.2"}));
  EXPECT_TRUE(w.entries("green/CD2").empty());
  expect_one_line(w.check(), "zahyo/CD2.dat: cannot open: it is a folder");

  // A FIFO as model file does not block the run.
  std::filesystem::remove(w.at("model/strAB1"));
  ASSERT_EQ(::mkfifo(w.at("model/strAB1").c_str(), 0644), 0);
  expect_one_line(w.run(), "model/strAB1: cannot open: it is a FIFO, not a file");

  // Nor does a folder as control file, in a run and under --check.
  std::filesystem::remove(w.at("quenta4.ctl"));
  w.mkdir("quenta4.ctl");
  expect_one_line(w.run_program(), "layergreen: quenta4.ctl: cannot open: it is a folder");
  expect_one_line(w.check(), "quenta4.ctl: cannot open: it is a folder");
}

TEST_F(HostileInput, ControlCharactersInNamesAreBadInputShownEscaped) {
  struct Case {
    std::string filo1, station, what;
  };
  const Case cases[] = {
      {std::string("gr\0en/XXX/XXX.nnn", 17), "AB1",
       "quenta4.ctl:7: result-file template holds the control character \\0 in column 3"},
      {"green/XXX/XXX.nnn", std::string("AB\0", 3), "quenta4.ctl:10: station code \"AB\\0\""},
      {"green/XXX/XXX.nnn", "A\x1b[", "station code \"A\\x1b[\""},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    ctl.filo1 = k.filo1;
    ctl.stations = {k.station};
    w.write("quenta4.ctl", ctl.text());
    const RunOutcome r = w.run();
    expect_one_line(r, k.what);
    for (const char c : r.err) EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20);
    expect_one_line(w.check(), k.what);
  }
  EXPECT_TRUE(w.entries("green/AB1").empty());
}

TEST_F(HostileInput, QuotedValuesAreCutInMessages) {
  w.write("quenta4.ctl", std::string(100000, '1') + "\n");
  const RunOutcome r = w.run();
  expect_one_line(r, "quenta4.ctl:1: cannot read \"" + std::string(80, '1') +
                         "...\" (cut, 100000 characters in all) as an integer");
  EXPECT_LT(r.err.size(), 200u);
}

TEST_F(HostileInput, UnclearControlValuesGetAClearAnswer) {
  // A byte-order mark is skipped, in the control file and in a model file.
  w.write("quenta4.ctl", "\xEF\xBB\xBF" + ctl.text());
  w.write("model/strAB1", "\xEF\xBB\xBF" + model_text(small_group(2, 2, 50), small_layers()));
  EXPECT_EQ(w.run().status, 0);
  EXPECT_EQ(w.entries("green/AB1"), (std::set<std::string>{"AB1.1", "AB1.2"}));

  ctl.ndatas = -1;
  w.write("quenta4.ctl", ctl.text());
  expect_one_line(w.run(), "quenta4.ctl:1: ndatas (number of data sets) = -1 is out of range");
  ctl.ndatas = 1;
  std::string text = ctl.text();
  text.replace(text.find("\n2\nAB1"), 3, "\n-2\n");
  w.write("quenta4.ctl", text);
  expect_one_line(w.run(), "quenta4.ctl:9: number of stations = -2 is out of range");

  ctl.filin1 = std::string(80, 'm') + " comment";
  w.write("quenta4.ctl", ctl.text());
  expect_one_line(w.run(), "quenta4.ctl:6: model-file template has no blank in its first 80");
}

TEST_F(HostileInput, ImpossibleGeometryNamesFileAndLine) {
  struct Case {
    std::string file, text, what;
  };
  const std::string group = small_group(2, 2, 50) + "\n";
  const std::string header = "   2   1   45.0   30.0\n row 1\n";
  const Case cases[] = {
      {"model/strAB1", group + " -2. 4.5 2.6 2.4 200. 100.\n 0. 6. 3.45 2.7 400. 200.\n",
       "model/strAB1:2: layer 1: thickness hc = -2 is negative"},
      {"model/strAB1",
       group + " 0. 4.5 2.6 2.4 200. 100.\n 5. 5.5 3.1 2.6 300. 150.\n 4. 6. 3.45 2.7 400. 200.\n",
       "model/strAB1:4: layer 3: top depth hc = 4 is above the top of layer 2 (5)"},
      {"zahyo/AB1.dat", header + " -1.\n rec\n 12. -4. 0.\n 18. 2. 0.\n",
       "zahyo/AB1.dat:3: source depth ZS = -1 is above the free surface"},
      {"zahyo/AB1.dat", header + " 6.\n rec\n 12. -4. 0.\n 18. 2. -0.5\n",
       "zahyo/AB1.dat:6: receiver depth = -0.5 is above the free surface"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    write_all();
    std::string text = k.text;
    if (k.what.find("layer 3") != std::string::npos) text.replace(text.find("NC=2"), 4, "NC=3");
    w.write(k.file, text);
    expect_one_line(w.run(), k.what);
    expect_one_line(w.check(), k.what);
  }
  // A zero-thickness layer and equal layer tops stay valid.
  write_all();
  w.write("model/strAB1", model_text(" &INPUT NC=3, NFREQ=2, TL=10., AW=1., NR=2, XL=100., "
                                     "IKMAX=50, UCONV=0., XS=0., YS=0. /",
                                     {" 0. 4.5 2.6 2.4 200. 100.", " 3. 5.5 3.1 2.6 300. 150.",
                                      " 3. 6. 3.45 2.7 400. 200."}));
  EXPECT_EQ(w.run().status, 0);
}

TEST_F(HostileInput, ValuesThatWorkButLookWrongAreWarnedAbout) {
  // Quality factors too wide for the header's columns, a negative UCONV and a half-space
  // thickness that the computation never uses.
  w.write("model/strAB1",
          model_text(small_group(2, 2, 50, ", UCONV=-1."),
                     {"  2.0  4.50  2.60  2.40  1e7  1e7", "  1e7  6.00  3.45  2.70  400.  200."}));
  const RunOutcome r = w.run();
  EXPECT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> lines = testing::split_lines(r.err);
  ASSERT_EQ(lines.size(), 4u) << r.err;
  EXPECT_EQ(lines[0],
            "layergreen: warning: model/strAB1:1: UCONV = -1 is negative: every "
            "frequency runs to IKMAX, as with 0");
  EXPECT_EQ(lines[1],
            "layergreen: warning: model/strAB1:2: layer 1: qp = 10000000 does not fit "
            "its 10 columns of the result header, which shows it as asterisks");
  EXPECT_NE(lines[3].find("model/strAB1:3: layer 2: hc = 10000000"), std::string::npos);
  // --check gives the same four warnings (besides those of the sampling rules).
  const RunOutcome c = w.check();
  EXPECT_EQ(c.status, 1);
  EXPECT_EQ(c.out.rfind("layergreen --check: 0 problems, ", 0), 0u) << c.out;
  int about_values = 0;
  for (const std::string& l : testing::split_lines(c.err)) {
    about_values += l.find("layergreen: warning: model/strAB1:") == 0 ? 1 : 0;
  }
  EXPECT_EQ(about_values, 4) << c.err;
}

// Commit protocol ---------------------------------------------------------------------------

// The id of a process that has ended.
long gone_pid() {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(0);
  int raw = 0;
  ::waitpid(pid, &raw, 0);
  return static_cast<long>(pid);
}

class CommitProtocol : public ::testing::Test {
 protected:
  std::string at(const std::string& rel) const { return w.at(rel).string(); }
  // Commits one data set of the given names with the text "new <name>".
  void commit(const std::vector<std::string>& rel) const {
    ResultFiles files;
    std::vector<std::string> names;
    for (const std::string& r : rel) names.push_back(at(r));
    files.create(names);
    for (std::size_t n = 0; n < rel.size(); ++n) files.write(n, "new " + rel[n] + "\n");
    files.commit();
  }
  WorkDir w;
};

TEST_F(CommitProtocol, TemporariesAreNeverOpenedThroughALink) {
  w.write("outside", "not to be touched\n");
  w.mkdir("g");
  const std::string temp = ResultFiles::temporary_name(at("g/A.2"));
  std::filesystem::create_symlink(at("outside"), temp);
  commit({"g/A.1", "g/A.2"});
  EXPECT_EQ(w.read("outside"), "not to be touched\n");
  EXPECT_FALSE(std::filesystem::is_symlink(at("g/A.2")));
  EXPECT_EQ(w.read("g/A.2"), "new g/A.2\n");
  EXPECT_EQ(w.entries("g"), (std::set<std::string>{"A.1", "A.2"}));
}

TEST_F(CommitProtocol, NextRunRepairsWhatKilledRunsLeft) {
  const std::string dead = std::to_string(gone_pid());
  // A run killed after its commit point: A.1 already renamed, A.2 still under its temporary
  // name. The data set is rolled forward.
  w.write("g/A.1", "killed run 1\n");
  w.write("g/A.2", "earlier run 2\n");
  w.write("g/.A.2.partial-" + dead, "killed run 2\n");
  w.write("g/.layergreen-commit-" + dead, "A.1\nA.2\nend\n");
  // A run killed before its commit point: its temporaries go, the earlier file stays.
  w.write("g/B.1", "earlier run B\n");
  w.write("g/.B.1.partial-" + dead, "half of a file");
  w.write("g/.layergreen-commit-" + dead + ".partial", "B.1\n");
  // An earlier file left aside by an older version of the program comes back.
  w.write("g/.C.1.partial-" + dead + ".previous", "earlier run C\n");
  commit({"g/D.1"});
  EXPECT_EQ(w.entries("g"), (std::set<std::string>{"A.1", "A.2", "B.1", "C.1", "D.1"}));
  EXPECT_EQ(w.read("g/A.2"), "killed run 2\n");
  EXPECT_EQ(w.read("g/B.1"), "earlier run B\n");
  EXPECT_EQ(w.read("g/C.1"), "earlier run C\n");
}

TEST_F(CommitProtocol, CommitLeavesOnlyTheResultNames) {
  w.write("g/A.1", "earlier\n");
  commit({"g/A.1", "g/A.2"});
  EXPECT_EQ(w.entries("g"), (std::set<std::string>{"A.1", "A.2"}));
  EXPECT_EQ(w.read("g/A.1"), "new g/A.1\n");
}

TEST_F(CommitProtocol, DataSetsCommittedTogetherEndAsOneAfterTheOther) {
  // Three data sets, two in one folder; the second's result name is taken by a folder.
  w.write("g/C.1", "earlier C\n");
  w.mkdir("h/B.1");
  const std::vector<std::vector<std::string>> names = {{"g/A.1", "g/A.2"}, {"h/B.1"}, {"g/C.1"}};
  for (const bool blocked : {true, false}) {
    SCOPED_TRACE(blocked);
    if (!blocked) std::filesystem::remove(at("h/B.1"));
    std::vector<std::unique_ptr<ResultFiles>> sets;
    std::vector<ResultFiles*> all;
    for (const auto& rel : names) {
      sets.push_back(std::make_unique<ResultFiles>());
      std::vector<std::string> full;
      for (const std::string& r : rel) full.push_back(at(r));
      sets.back()->create(full);
      for (std::size_t n = 0; n < rel.size(); ++n) sets.back()->write(n, "new " + rel[n] + "\n");
      all.push_back(sets.back().get());
    }
    std::size_t committed = 99;
    if (blocked) {
      try {
        ResultFiles::commit_all(all, committed);
        ADD_FAILURE() << "no error";
      } catch (const OutputError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "cannot put result file in place: " + at("h/B.1") + " exists and is not a file");
      }
      EXPECT_EQ(committed, 1u);
      for (std::size_t d = committed; d < sets.size(); ++d) sets[d]->discard();
      EXPECT_EQ(w.read("g/C.1"), "earlier C\n");
    } else {
      ResultFiles::commit_all(all, committed);
      EXPECT_EQ(committed, 3u);
      EXPECT_EQ(w.read("h/B.1"), "new h/B.1\n");
      EXPECT_EQ(w.read("g/C.1"), "new g/C.1\n");
    }
    EXPECT_EQ(w.read("g/A.2"), "new g/A.2\n");
    EXPECT_EQ(w.entries("g"), (std::set<std::string>{"A.1", "A.2", "C.1"}));
    EXPECT_EQ(w.entries("h"), (std::set<std::string>{"B.1"}));
  }
}

// Faults from outside the program: a second run, standard output, limits -----------------

class ProgramFaults : public HostileInput {
 protected:
  void model(int nfreq, int ikmax) const {
    w.write("model/strAB1", model_text(small_group(2, nfreq, ikmax), small_layers()));
  }
  bool no_temporaries() const {
    for (const std::string& e : w.entries("green/AB1")) {
      if (e[0] == '.') return false;
    }
    return true;
  }
};

TEST_F(ProgramFaults, SecondRunInAFolderInUseRefusesAtOnce) {
  model(4000, 2000);
  // The first run holds the folder; the second names it; once it is killed, runs go on.
  const RunOutcome r = w.shell(
      "\"$LG\" --threads 1 >/dev/null 2>&1 & first=$!; "
      "while [ ! -e .layergreen.lock ]; do sleep 0.01; done; sleep 0.2; "
      "echo $first; \"$LG\" --threads 1 >/dev/null; status=$?; kill -9 $first; wait $first "
      "2>/dev/null; "
      "exit $status");
  const std::string first = testing::split_lines(r.out).at(0);
  expect_one_line(r, "layergreen: .layergreen.lock: another run (process " + first +
                         ") is working in this folder");
  model(2, 50);
  EXPECT_EQ(w.run_program().status, 0);
  EXPECT_EQ(w.entries("green/CD2"), (std::set<std::string>{"CD2.1", "CD2.2"}));
  EXPECT_FALSE(w.exists(".layergreen.lock"));
}

#ifndef LAYERGREEN_HAVE_BANK
TEST_F(ProgramFaults, BankRefusedByABuildWithoutBanks) {
  w.write("bank.toml", "");
  expect_one_line(w.shell("exec \"$LG\" bank bank.toml"),
                  "layergreen: this build has no bank support (rebuild with -DLAYERGREEN_BANK=ON)");
  EXPECT_TRUE(w.entries("green/AB1").empty());
}
#endif

TEST_F(ProgramFaults, LostStandardOutputIsAnError) {
  for (const char* script : {"exec \"$LG\" >/dev/full", "exec \"$LG\" --check >/dev/full"}) {
    SCOPED_TRACE(script);
    expect_one_line(w.shell(script),
                    "layergreen: cannot write to standard output: No space left on device");
  }
  expect_one_line(w.shell("exec \"$LG\" >&-"),
                  "layergreen: cannot write to standard output: Bad file descriptor");
  // The result files were completed all the same.
  EXPECT_EQ(w.lines("green/CD2/CD2.2").size(), 24u);
}

TEST_F(ProgramFaults, FileSizeLimitIsAWriteError) {
  expect_one_line(w.shell("ulimit -f 1; exec \"$LG\" --threads 1 >/dev/null"),
                  "layergreen: cannot write result file green/AB1/AB1.1: File too large");
  EXPECT_TRUE(no_temporaries());
}

// AddressSanitizer reserves more address space than these limits allow.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

TEST_F(ProgramFaults, MemoryLimitsEndTheRunWithAMessageAndNoGrowthWithNfreq) {
  if (kAddressSanitizer) GTEST_SKIP() << "address-space limits do not work with AddressSanitizer";
  // A table of Bessel values that does not fit.
  model(2, 2000000);
  expect_one_line(w.shell("ulimit -v 50000; exec \"$LG\" --threads 1 >/dev/null"),
                  "layergreen: out of memory; the data set in progress was not written");
  EXPECT_TRUE(no_temporaries());
  // A billion frequencies in 400 MB: memory does not grow with NFREQ, the run goes on until
  // it is stopped.
  model(1000000000, 3);
  const RunOutcome r = w.shell(
      "ulimit -v 400000; \"$LG\" --threads 2 >/dev/null & p=$!; sleep 1; kill -TERM $p; "
      "wait $p 2>/dev/null");
  EXPECT_EQ(r.status, 143) << r.err;
  EXPECT_EQ(r.err, "layergreen: interrupted; the data set in progress was not written\n");
  EXPECT_TRUE(no_temporaries());
}

#ifdef LAYERGREEN_HAVE_BANK
// A bank file that does not fit under the file-size limit (as on a full disk), while its
// journal does: one line with the reason, status 2, no crash after it, the journal kept for
// --resume and no temporary left.
TEST_F(ProgramFaults, BankFileThatDoesNotFitIsOneLine) {
  // The file holds the configuration's text, the journal does not: 30 kB of comment keep the
  // journal well below the limit (in 512-byte blocks) that stops the file.
  std::string comment;
  for (int i = 0; i < 300; ++i) comment += "# " + std::string(97, 'c') + "\n";
  w.write("bank.toml",
          comment +
              "[bank]\noutput = \"bank.h5\"\n[sampling]\nnfreq = 64\ntl = 20.0\naw = 1.0\n"
              "xl = 200.0\nikmax = 500\nuconv = 1e-3\n[model]\nlayers = [[2.0, 4.5, 2.6, 2.4, 200, "
              "100], [0.0, 6.0, 3.45, 2.7, 400, 200]]\n[fault]\ntop_center = [1.0, 2.0, 1.0]\n"
              "strike = 30.0\ndip = 40.0\nlength = 6.0\nwidth = 4.0\nn_strike = 3\nn_dip = 2\n"
              "[[station]]\nname = \"NEAR\"\nx = 10.0\ny = 4.0\n");
  expect_one_line(w.shell("\"$LG\" bank bank.toml >/dev/null && s=$(stat -c %s bank.h5) && "
                          "rm bank.h5 && ulimit -f $((s / 512 - 40)) && "
                          "exec \"$LG\" bank bank.toml >/dev/null"),
                  ": spectra (File too large)");
  EXPECT_TRUE(w.exists("bank.h5.journal"));
  EXPECT_FALSE(w.exists("bank.h5"));
  for (const std::string& e : w.entries(".")) EXPECT_NE(e.rfind(".bank.h5.partial", 0), 0u) << e;
}

// A bank of ten million subfaults does not fit in 500 MB: one line while planning, status 2.
TEST_F(ProgramFaults, BankOutOfMemoryWhilePlanningIsOneLine) {
  if (kAddressSanitizer) GTEST_SKIP() << "address-space limits do not work with AddressSanitizer";
  w.write("bank.toml",
          "[bank]\noutput = \"bank.h5\"\n[sampling]\nnfreq = 8\ntl = 10.0\naw = 1.0\n"
          "xl = 200.0\nikmax = 300\n[model]\nlayers = [[0.0, 6.0, 3.45, 2.7, 400, 200]]\n"
          "[fault]\ntop_center = [0.0, 0.0, 1.0]\nstrike = 0.0\ndip = 45.0\nlength = 100.0\n"
          "width = 10.0\nn_strike = 100000\nn_dip = 100\n[[station]]\nname = \"A\"\nx = 1.0\n"
          "y = 2.0\n");
  expect_one_line(w.shell("ulimit -v 500000; exec \"$LG\" bank bank.toml >/dev/null"),
                  "layergreen: bank.toml: out of memory while planning the bank");
  EXPECT_FALSE(w.exists("bank.h5.journal"));
}
#endif

#ifdef LAYERGREEN_SEIS_EXE
TEST_F(ProgramFaults, SeismogramsFromHeadersWithAsterisksAndHugeValues) {
  // qp and qs too wide for the header: the file converts all the same.
  w.write("model/strAB1",
          model_text(small_group(2, 2, 50),
                     {"  2.0  4.50  2.60  2.40  1e7  1e7", "  0.0  6.00  3.45  2.70  400.  200."}));
  ASSERT_EQ(w.run().status, 0);
  ASSERT_NE(w.read("green/AB1/AB1.1").find("**********"), std::string::npos);
  const std::string seis = std::string("exec '") + LAYERGREEN_SEIS_EXE + "' -o seis ";
  RunOutcome r = w.shell(seis + "green/AB1/AB1.1");
  EXPECT_EQ(r.status, 0) << r.err;
  // A value that overflows single precision by itself is named with its line.
  std::vector<std::string> lines = w.lines("green/AB1/AB1.1");
  lines.at(12).replace(0, 13, "  0.999999E99");
  std::string text;
  for (const std::string& l : lines) text += l + "\n";
  w.write("green/AB1/AB1.1", text);
  r = w.shell(seis + "green/AB1/AB1.1");
  expect_one_line(r, "green/AB1/AB1.1:13: the value 0.999999E99 is too large");
}
#endif

TEST_F(ProgramFaults, CommitMakesFilesAndFolderDurableAroundTheRenames) {
  if (std::system("strace -V >/dev/null 2>&1") != 0) GTEST_SKIP() << "needs strace";
  // LeakSanitizer cannot inspect a process that strace already traces: no leak check here.
  const RunOutcome r = w.shell(
      "ASAN_OPTIONS=detect_leaks=0 strace -f -y -e trace=fsync,rename,unlink -o trace.txt "
      "\"$LG\" --threads 1 >/dev/null");
  ASSERT_EQ(r.status, 0) << r.err;
  // The calls in the first data set's folder, in order: fsync of its two temporaries, of the
  // journal and of the folder (at once), the journal's rename, fsync, the two renames, fsync,
  // the journal's removal. (-y shows the path of each descriptor.)
  std::string calls;
  for (const std::string& l : w.lines("trace.txt")) {
    if (l.find("AB1") == std::string::npos) continue;
    if (l.find("fsync(") != std::string::npos) calls += "F";
    if (l.find("rename(\"green/AB1/.layergreen-commit-") != std::string::npos) calls += "J";
    if (l.find("rename(\"green/AB1/.AB1.") != std::string::npos) calls += "R";
    if (l.find("unlink(\"green/AB1/.layergreen-commit-") != std::string::npos &&
        l.find(".partial") == std::string::npos) {
      calls += "U";
    }
  }
  EXPECT_EQ(calls.substr(0, calls.find('U') + 1), "FFFFJFRRFU") << calls;
}

}  // namespace
}  // namespace lg
