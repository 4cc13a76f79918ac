// The input files: the control file and the names built from its templates, the model file
// and the subfault file, and how a run rejects bad input.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "inputs/control_file.h"
#include "inputs/file_names.h"
#include "inputs/model_file.h"
#include "inputs/subfault_file.h"
#include "test_workdir.h"
#include "textio/input_error.h"
#include "textio/line_source.h"
#include "thrown_input_error.h"

namespace lg {
namespace {

using testing::padded80;
using testing::RunOutcome;
using testing::WorkDir;

using testing::input_error;

const char* const kControl =
    "2\n"
    "10\n"
    "3\n"
    "1\n"
    "8\n"
    "model/strXXX    model file of each station\n"
    "green/XXX/XXX.nnn    result files\n"
    "zahyo/XXX.dat\n"
    "3\n"
    "AB1\n"
    "'K B'\n"
    "OSAKA\n";

// Control file ------------------------------------------------------------------------------

// The control file of the given text; `out` gets its echo.
Control control(const std::string& text, std::ostringstream& out) {
  LineSource src("quenta4.ctl", text);
  return read_control(src, out);
}
InputError control_error(const std::string& text, std::ostringstream& out) {
  return input_error([&] { control(text, out); });
}

TEST(ControlFile, ValuesTemplatesAndStationCodes) {
  LineSource src("quenta4.ctl", kControl);
  std::ostringstream out;
  const Control c = read_control(src, out);
  EXPECT_EQ(c.ndatas, 2);
  EXPECT_EQ(c.nstati, 10);
  EXPECT_EQ(c.nw1, 3);
  EXPECT_EQ(c.ns1, 1);
  EXPECT_EQ(c.ns2, 8);
  EXPECT_EQ(c.filin1, padded80("model/strXXX    model file of each station"));
  EXPECT_EQ(c.filo1, padded80("green/XXX/XXX.nnn    result files"));
  EXPECT_EQ(c.fzahy1, padded80("zahyo/XXX.dat"));
  EXPECT_EQ(c.filin1_line, 6);
  EXPECT_EQ(c.filo1_line, 7);
  EXPECT_EQ(c.fzahy1_line, 8);
  EXPECT_EQ(c.nstat, 3);
  // Codes are cut or padded to three characters, bare or quoted.
  EXPECT_EQ(c.stname, (std::vector<std::string>{"AB1", "K B", "OSA"}));
  EXPECT_EQ(out.str(), " ndatas,nstati,nw1,ns1,ns2\n 2 10 3 1 8\n number of stations?\n");
  EXPECT_TRUE(src.at_end());
}

TEST(ControlFile, TemplatesAreTheFirstEightyCharacters) {
  const std::string long_line = "model/strXXX " + std::string(70, 'c') + "TAIL";
  std::ostringstream out;
  const Control c = control("1\n1\n1\n1\n1\n" + long_line + "\nXXX/XXX.n\nXXX.dat\n1\nA\n", out);
  EXPECT_EQ(c.filin1, long_line.substr(0, 80));
  EXPECT_EQ(c.filo1, padded80("XXX/XXX.n"));
  EXPECT_EQ(c.stname, (std::vector<std::string>{"A  "}));
}

TEST(ControlFile, LimitsOfTheDataModelAreAccepted) {
  std::string codes;
  for (int k = 0; k < 40; ++k) codes.append("S").append(std::to_string(10 + k)).append("\n");
  std::ostringstream out;
  const Control c = control(
      "20\n30\n1\n30\n30\nmodel/strXXX\ngreen/XXX/XXX.nnn\nzahyo/XXX.dat\n40\n" + codes, out);
  EXPECT_EQ(c.ndatas, 20);
  EXPECT_EQ(c.nstati, 30);
  EXPECT_EQ(c.ns1, 30);
  EXPECT_EQ(c.ns2, 30);
  EXPECT_EQ(c.nstat, 40);
  EXPECT_EQ(c.stname.back(), "S49");
}

TEST(ControlFile, NoDataSetsOrStationsIsNotAnError) {
  std::ostringstream out;
  const Control c =
      control("0\n2\n1\n1\n2\nmodel/strXXX\ngreen/XXX/XXX.nnn\nzahyo/XXX.dat\n0\n", out);
  EXPECT_EQ(c.ndatas, 0);
  EXPECT_EQ(c.nstat, 0);
  EXPECT_TRUE(c.stname.empty());
}

TEST(ControlFile, ValuesOutsideTheLimitsNameTheirLineBeforeTheEcho) {
  struct Case {
    const char* counts;  // lines 1-5
    int line;
    const char* what;
  };
  const Case cases[] = {
      {"21\n2\n1\n1\n2\n", 1, "ndatas"}, {"1\n0\n1\n1\n2\n", 2, "nstati"},
      {"1\n31\n1\n1\n2\n", 2, "nstati"}, {"1\n2\n1\n0\n2\n", 4, "ns1"},
      {"1\n2\n1\n2\n1\n", 5, "ns2"},     {"1\n30\n1\n1\n31\n", 5, "ns2"},
      {"1\n2\n1\n1\n3\n", 5, "nstati"},  {"1\n-1\n1\n1\n2\n", 2, "nstati"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.counts);
    std::ostringstream out;
    const InputError e = control_error(
        std::string(k.counts) + "model/strXXX\ngreen/XXX/XXX.nnn\nzahyo/XXX.dat\n0\n", out);
    EXPECT_EQ(e.file(), "quenta4.ctl");
    EXPECT_EQ(e.line(), k.line);
    EXPECT_NE(e.detail().find(k.what), std::string::npos) << e.detail();
    EXPECT_EQ(out.str(), "");
  }
}

TEST(ControlFile, MoreThanFortyStations) {
  std::string codes;
  for (int k = 0; k < 41; ++k) codes.append("S").append(std::to_string(10 + k)).append("\n");
  std::ostringstream out;
  const InputError e = control_error(
      "1\n2\n1\n1\n2\nmodel/strXXX\ngreen/XXX/XXX.nnn\nzahyo/XXX.dat\n41\n" + codes, out);
  EXPECT_EQ(e.line(), 9);
  EXPECT_EQ(out.str(), " ndatas,nstati,nw1,ns1,ns2\n 1 2 1 1 2\n number of stations?\n");
}

TEST(ControlFile, UnreadableValuesAndEarlyEnd) {
  std::ostringstream out;
  const InputError e = control_error("1\n2\nthree\n", out);
  EXPECT_EQ(e.line(), 3);
  EXPECT_NE(e.detail().find("three"), std::string::npos) << e.detail();
  // Two stations declared, one given; a file that ends before the result template.
  for (const char* text :
       {"1\n2\n1\n1\n2\nmodel/strXXX\ngreen/XXX/XXX.nnn\nzahyo/XXX.dat\n2\nAB1\n",
        "1\n2\n1\n1\n2\nmodel/strXXX\n"}) {
    SCOPED_TRACE(text);
    const InputError end = control_error(text, out);
    EXPECT_NE(end.detail().find("end of file"), std::string::npos) << end.detail();
  }
}

// File names ------------------------------------------------------------------------------

Control templates(const std::string& filin1, const std::string& filo1, const std::string& fzahy1,
                  int nstati = 10) {
  Control c;
  c.ndatas = 2;
  c.nstati = nstati;
  c.ns1 = 1;
  c.ns2 = nstati;
  c.filin1 = padded80(filin1);
  c.filo1 = padded80(filo1);
  c.fzahy1 = padded80(fzahy1);
  c.filin1_line = 6;
  c.filo1_line = 7;
  c.fzahy1_line = 8;
  return c;
}

TEST(FileNames, StationCodeReplacesTheMarkedCharacters) {
  const Control c = templates("model/strXXX", "green/XXX/XXX.nnn", "zahyo/XXX.dat");
  const NameMarkers mk = find_markers(c, "quenta4.ctl");
  EXPECT_EQ(mk.lbra, 13);
  EXPECT_EQ(mk.lbra2, 14);
  EXPECT_EQ(mk.lten, 14);
  EXPECT_EQ(model_file_name(c, mk, "AB1"), padded80("model/strAB1"));
  EXPECT_EQ(subfault_file_name(c, mk, "AB1"), padded80("zahyo/AB1.dat"));
  EXPECT_EQ(result_file_name(c, mk, "AB1", 7), padded80("green/AB1/AB1.7"));
  EXPECT_EQ(result_file_name(c, mk, "AB1", 123), padded80("green/AB1/AB1.123"));
  // With nstati = 10, data set 2 and index 3 have number 13.
  EXPECT_EQ(result_file_name(c, mk, "AB1", (2 - 1) * c.nstati + 3), padded80("green/AB1/AB1.13"));
  // A number that does not fit three digits.
  EXPECT_EQ(result_file_name(c, mk, "AB1", 1000), padded80("green/AB1/AB1.***"));
  EXPECT_EQ(trimmed(result_file_name(c, mk, "AB1", 7)), "green/AB1/AB1.7");
}

TEST(FileNames, OnlyTheFirstMarkerCountsAndTextAfterItGoes) {
  const Control c = templates("in/mdl.XXX notes", "res/XXX/XXX.out.x", "sub/XXX.txt more");
  const NameMarkers mk = find_markers(c, "quenta4.ctl");
  EXPECT_EQ(model_file_name(c, mk, "Q9Z"), padded80("in/mdl.Q9Z"));
  // Of the seven characters before the blank, the last four remain, and the rest of the line.
  EXPECT_EQ(subfault_file_name(c, mk, "Q9Z"), padded80("sub/Q9Z.txt more"));
  EXPECT_EQ(result_file_name(c, mk, "Q9Z", 42), padded80("res/Q9Z/Q9Z.42"));
}

TEST(FileNames, ShortestTemplatesThatFit) {
  const Control c = templates("XXX", "XXX/XXX.n", "XXX.dat");
  const NameMarkers mk = find_markers(c, "quenta4.ctl");
  EXPECT_EQ(trimmed(model_file_name(c, mk, "AB1")), "AB1");
  EXPECT_EQ(trimmed(subfault_file_name(c, mk, "AB1")), "AB1.dat");
  EXPECT_EQ(trimmed(result_file_name(c, mk, "AB1", 5)), "AB1/AB1.5");
}

TEST(FileNames, TooShortTemplatesNameTheirControlLine) {
  struct Case {
    const char* filin1;
    const char* filo1;
    const char* fzahy1;
    int line;
  };
  const Case cases[] = {
      {"XX", "green/XXX/XXX.nnn", "zahyo/XXX.dat", 6},
      {" model/strXXX", "green/XXX/XXX.nnn", "zahyo/XXX.dat", 6},
      {"model/strXXX", "XX/XXX.n", "zahyo/XXX.dat", 7},
      {"model/strXXX", "green/XXX/XXXnnn", "zahyo/XXX.dat", 7},
      {"model/strXXX", "./green/XXX/XXX.nnn", "zahyo/XXX.dat", 7},
      {"model/strXXX", "green/XXX/XXX.nnn", "XX.dat", 8},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(std::string(k.filin1) + " | " + k.filo1 + " | " + k.fzahy1);
    const Control c = templates(k.filin1, k.filo1, k.fzahy1);
    const InputError e = input_error([&] { find_markers(c, "quenta4.ctl"); });
    EXPECT_EQ(e.file(), "quenta4.ctl");
    EXPECT_EQ(e.line(), k.line);
  }
}

TEST(FileNames, TemplateCheckStopsTheControlFileBeforeThePrompt) {
  std::ostringstream out;
  const InputError e =
      control_error("1\n2\n1\n1\n2\nmodel/strXXX\ngreen/XXX/XXX.nnn\nXX.dat\n1\nAB1\n", out);
  EXPECT_EQ(e.line(), 8);
  EXPECT_EQ(out.str(), " ndatas,nstati,nw1,ns1,ns2\n 1 2 1 1 2\n");
}

// Model file ------------------------------------------------------------------------------

const char* const kModel =
    " Crust under the station\n"
    " &INPUT NC=3, NFREQ=2, TL=25.6, AW=2.0, NR=5,\n"
    "        XL=400.0, IKMAX=15, UCONV=0.0001, XS=1.5, YS=-2.5 /\n"
    "   0.0   3.80   2.10   2.30   150.    75.\n"
    "   3.0   5.80   3.35   2.65   300.   150.  ignored\n"
    "  16.0   6.50\n"
    "         3.75   2.85   500.   250.\n";

// A model file read into p and layers, which keep what earlier reads set; `out` gets the
// messages.
struct ModelRead {
  ModelParams p;
  LayerModel layers;
  std::ostringstream out;
  // Reads `text` for `nstati` grid points; whether the whole text was read.
  bool read(const std::string& text, int nstati, const char* name = "model/strAB1") {
    LineSource src(name, text);
    read_model(src, nstati, p, layers, out);
    return src.at_end();
  }
};

// Reading `text` for two grid points fails on `line` with `what` in the message, after `echo`.
void expect_model_error(const std::string& text, int line, const char* what,
                        const std::string& echo) {
  ModelRead m;
  const InputError e = input_error([&] { m.read(text, 2); });
  EXPECT_EQ(e.file(), "model/strAB1");
  EXPECT_EQ(e.line(), line);
  EXPECT_NE(e.detail().find(what), std::string::npos) << e.detail();
  EXPECT_EQ(m.out.str(), echo);
}

TEST(ModelFile, GroupAndLayers) {
  ModelRead m;
  EXPECT_TRUE(m.read(kModel, 5));
  const ModelParams& p = m.p;
  const LayerModel& layers = m.layers;
  EXPECT_EQ(m.out.str(), "");
  EXPECT_EQ(p.NC, 3);
  EXPECT_EQ(p.NFREQ, 2);
  EXPECT_EQ(p.TL, 25.6);
  EXPECT_EQ(p.AW, 2.0);
  EXPECT_EQ(p.NR, 5);
  EXPECT_EQ(p.XL, 400.0);
  EXPECT_EQ(p.IKMAX, 15);
  EXPECT_EQ(p.UCONV, 0.0001);
  EXPECT_EQ(p.XS, 1.5);
  EXPECT_EQ(p.YS, -2.5);
  // Layer-top depths are stored as read; a layer read may continue on the next line.
  EXPECT_EQ(layers.hc[1], 0.0);
  EXPECT_EQ(layers.hc[2], 3.0);
  EXPECT_EQ(layers.hc[3], 16.0);
  EXPECT_EQ(layers.vp[2], 5.8);
  EXPECT_EQ(layers.vs[3], 3.75);
  EXPECT_EQ(layers.rho[1], 2.3);
  EXPECT_EQ(layers.qp[3], 500.0);
  EXPECT_EQ(layers.qs[2], 150.0);
  EXPECT_EQ(layers.hc[4], 0.0);
}

TEST(ModelFile, NrDifferentFromNstatiIsForcedWithAMessage) {
  ModelRead m;
  m.read(kModel, 8);
  EXPECT_EQ(m.out.str(), " nr.ne.nstati\n");
  EXPECT_EQ(m.p.NR, 8);
}

TEST(ModelFile, OmittedMembersKeepTheirValues) {
  ModelRead m;
  // UCONV omitted on the first read: zero.
  m.read(
      " &INPUT NC=1, NFREQ=2, TL=10., AW=1., NR=1, XL=100., IKMAX=3, XS=0., YS=0. /\n"
      " 2. 6. 3.5 2.7 400. 200.\n",
      1, "m");
  EXPECT_EQ(m.p.UCONV, 0.0);
  EXPECT_EQ(m.p.AW, 1.0);
  // A second file that gives only NC keeps AW, TL and the rest as last read.
  m.read(" &INPUT NC=1 /\n 2. 6. 3.5 2.7 400. 200.\n", 1, "m");
  EXPECT_EQ(m.p.AW, 1.0);
  EXPECT_EQ(m.p.TL, 10.0);
  EXPECT_EQ(m.p.XL, 100.0);
  EXPECT_EQ(m.p.NFREQ, 2);
  EXPECT_EQ(m.p.IKMAX, 3);
  EXPECT_EQ(m.out.str(), "");
}

TEST(ModelFile, GroupValuesThatCannotBeUsedNameTheirLine) {
  struct Case {
    const char* member;  // replaces the default of the same name
    const char* what;
  };
  const Case cases[] = {
      {"NC=21", "NC"},  {"NC=0", "NC"},    {"NFREQ=-1", "NFREQ"}, {"IKMAX=-1", "IKMAX"},
      {"TL=0.", "TL"},  {"TL=-10.", "TL"}, {"XL=0.", "XL"},       {"XL=-1.", "XL"},
      {"AW=0.", "AW"},  {"AW=NaN", "AW"},  {"TL=Inf", "TL"},      {"UCONV=Inf", "UCONV"},
      {"XS=NaN", "XS"}, {"YS=-Inf", "YS"}, {"AW=-1.", "AW"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.member);
    // The member sits on the second line of the group, after the defaults, and overrides them;
    // NR differs from nstati so that a check after the message would show in the output.
    expect_model_error(
        " &INPUT NC=1, NFREQ=2, TL=10., AW=1., NR=3, XL=100., IKMAX=3,\n"
        "  UCONV=0., XS=0., YS=0., " +
            std::string(k.member) + " /\n 2. 6. 3.5 2.7 400. 200.\n",
        2, k.what, "");
  }
}

TEST(ModelFile, SmallPositiveAwAloneIsAccepted) {
  // A small damping factor and zero source coordinates are usable.
  ModelRead m;
  m.read(
      " &INPUT NC=1, NFREQ=0, TL=10., AW=1e-3, NR=1, XL=100., IKMAX=0, UCONV=0., "
      "XS=0., YS=0. /\n 0. 6. 3.5 2.7 400. 200.\n",
      1, "m");
  EXPECT_EQ(m.p.AW, 1e-3);
  EXPECT_EQ(m.p.NFREQ, 0);
}

TEST(ModelFile, LayersWithoutPositiveFiniteValuesNameTheirLine) {
  struct Case {
    const char* layer2;
    const char* what;
  };
  const Case cases[] = {
      {" 0. 6. 0. 2.7 400. 200.", "fluid"}, {" 0. -6. 3.5 2.7 400. 200.", "vp"},
      {" 0. 6. -3.5 2.7 400. 200.", "vs"},  {" 0. 6. 3.5 0. 400. 200.", "rho"},
      {" 0. 6. 3.5 2.7 NaN 200.", "qp"},    {" 0. 6. 3.5 2.7 400. 0.", "qs"},
      {" 0. Inf 3.5 2.7 400. 200.", "vp"},  {" Inf 6. 3.5 2.7 400. 200.", "hc"},
      {" 0. 6. 3.5 2.7 4x0. 200.", "4x0."},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.layer2);
    // The group was fine: its message came before the layers.
    expect_model_error(
        " &INPUT NC=3, NFREQ=2, TL=10., AW=1., NR=3, XL=100., IKMAX=3, UCONV=0., XS=0., YS=0. /\n"
        " 2. 6. 3.5 2.7 400. 200.\n" +
            std::string(k.layer2) + "\n 0. 6. 3.5 2.7 400. 200.\n",
        3, k.what, " nr.ne.nstati\n");
  }
}

TEST(ModelFile, MissingLayerLines) {
  ModelRead m;
  const InputError e = input_error([&] {
    m.read(
        " &INPUT NC=3, NFREQ=2, TL=10., AW=1., NR=1, XL=100., IKMAX=3, UCONV=0., XS=0., "
        "YS=0. /\n 2. 6. 3.5 2.7 400. 200.\n",
        1);
  });
  EXPECT_NE(e.detail().find("end of file"), std::string::npos) << e.detail();
}

// Subfault file ---------------------------------------------------------------------------

TEST(SubfaultFile, HeaderColumnsAndTheirEcho) {
  struct Case {
    const char* line;
    SubfaultHeader h;
    const char* echo;
  };
  // The second: implied decimal digit, blanks inside fields, text after column 22 ignored.
  for (const Case& k :
       {Case{"   8   3   45.0   30.0", {8, 3, 45.0, 30.0}, "   8   3   45.0   30.0"},
        Case{" 1 2   3  45 5   -305 trailing", {12, 3, 45.5, -30.5}, "  12   3   45.5  -30.5"}}) {
    SCOPED_TRACE(k.line);
    LineSource src("zahyo/AB1.dat", std::string(k.line) + "\n");
    std::ostringstream out;
    const SubfaultHeader h = read_subfault_header(src, out);
    EXPECT_EQ(h.nszahy, k.h.nszahy);
    EXPECT_EQ(h.nwzahy, k.h.nwzahy);
    EXPECT_EQ(h.sazi, k.h.sazi);
    EXPECT_EQ(h.dip, k.h.dip);
    EXPECT_EQ(out.str(), std::string(" nszahy,nwzahy,sazi,dip\n") + k.echo + "\n");
  }
}

// A header real typed without a decimal point is read with one implied decimal, as the layout
// says, and noted with the value it was read as; in a run the notes come with the progress
// line (a plain run's streams stay as they were), and --check counts them as warnings.
TEST(SubfaultFile, RealsWithoutADecimalPointAreNoted) {
  {
    LineSource src("zahyo/AB1.dat", "   5   2     20  30.0\n");
    std::ostringstream out;
    std::vector<std::string> notes;
    EXPECT_EQ(read_subfault_header(src, out, &notes).sazi, 2.0);
    EXPECT_EQ(notes, std::vector<std::string>{
                         "zahyo/AB1.dat:1: sazi (columns 9-15) \"20\" has no decimal point and is "
                         "read as 2 (one implied decimal); write 2.0, or 20.0, to say which is "
                         "meant"});
  }
  {
    LineSource src("zahyo/AB1.dat", "   5   2   45.0   -305\n");
    std::ostringstream out;
    std::vector<std::string> notes;
    read_subfault_header(src, out, &notes);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_NE(notes[0].find("dip (columns 16-22) \"-305\" has no decimal point and is read as "
                            "-30.5"),
              std::string::npos)
        << notes[0];
  }

  testing::WorkDir w;
  testing::ControlText ctl;
  w.write("quenta4.ctl", ctl.text());
  w.write("model/strAB1",
          testing::model_text(testing::small_group(2, 2, 150), testing::small_layers()));
  w.write("zahyo/AB1.dat",
          testing::subfault_text("   2   1    450   30.0", {{3.0, {{5, 0, 0}, {9, 4, 0}}}}));
  w.mkdir("green/AB1");
  const std::string note =
      "layergreen: warning: zahyo/AB1.dat:1: sazi (columns 9-15) \"450\" has no decimal point "
      "and is read as 45 (one implied decimal); write 45.0, or 450.0, to say which is meant\n";
  EXPECT_EQ(w.run().err, "");
  RunOptions with_notes;
  with_notes.input_notes = true;
  const testing::RunOutcome r = w.run(with_notes);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, note);
  // The file is the same either way: the note changes nothing that is read.
  EXPECT_NE(w.read("green/AB1/AB1.1").find("   45.0   30.0"), std::string::npos);
  const testing::RunOutcome program = w.run_program();
  EXPECT_EQ(program.err, "");  // no terminal, no --progress

  const testing::RunOutcome checked = w.check();
  EXPECT_EQ(checked.status, 1);
  EXPECT_EQ(checked.out, "layergreen --check: 0 problems, 1 warning\n");
  EXPECT_EQ(checked.err, note);
}

TEST(SubfaultFile, BadHeaderFieldsNameLineOne) {
  for (const char* header : {"  x1   2   45.0   30.0", "   1 2.5   45.0   30.0",
                             "   1   2   4a.0   30.0", "   1   2   45.0    Inf"}) {
    SCOPED_TRACE(header);
    LineSource src("zahyo/AB1.dat", std::string(header) + "\n");
    std::ostringstream out;
    const InputError e = input_error([&] { read_subfault_header(src, out); });
    EXPECT_EQ(e.file(), "zahyo/AB1.dat");
    EXPECT_EQ(e.line(), 1);
    EXPECT_EQ(out.str(), "");
  }
}

TEST(SubfaultFile, DataSetThreeSkipsTwoBlocksOfSevenLines) {
  // ns1 = 2, ns2 = 5: blocks of 4 + 3 lines; data set 3 starts after 14 lines.
  std::string text = "   4   3   45.0   30.0\n";
  for (int l = 1; l <= 14; ++l) text += "not a number " + std::to_string(l) + "\n";
  text += " row 3\n";
  text += "  7.5  extra values ignored\n";
  text += " x y z\n";
  text += "  1. 2. 3.\n  4., 5., 6.\n  -7 -8\n 9\n  10. 11. 12. 99.\n";
  text += "  13. 14. 15.\n";
  LineSource src("zahyo/AB1.dat", text);
  std::ostringstream out;
  read_subfault_header(src, out);
  out.str("");
  double zs = 0.0;
  double x[4] = {}, y[4] = {}, z[4] = {};
  read_subfault_block(src, 3, 4, zs, x, y, z, out);
  EXPECT_EQ(zs, 7.5);
  EXPECT_EQ(x[0], 1.0);
  EXPECT_EQ(z[1], 6.0);
  // A receiver read may continue on the next line.
  EXPECT_EQ(x[2], -7.0);
  EXPECT_EQ(y[2], -8.0);
  EXPECT_EQ(z[2], 9.0);
  EXPECT_EQ(z[3], 12.0);
  EXPECT_EQ(src.line_number(), 23);
  EXPECT_EQ(out.str(), "  7.5\n  1.  2.  3.\n  4.  5.  6.\n -7. -8.  9.\n  10.  11.  12.\n");
}

TEST(SubfaultFile, BadBlockValuesNameTheirLineAfterTheEchoOfWhatCameBefore) {
  struct Case {
    const char* block;
    int line;
    const char* echoed;
  };
  const Case cases[] = {
      {" row\n abc\n xyz\n 1. 2. 3.\n", 3, ""},
      {" row\n NaN\n xyz\n 1. 2. 3.\n", 3, ""},
      {" row\n 6.\n xyz\n 1. 2. Inf\n", 5, "  6.\n"},
      {" row\n 6.\n xyz\n 1. 2. 3.\n 4. 5.. 6.\n", 6, "  6.\n  1.  2.  3.\n"},
      {" row\n 6.\n xyz\n 1. 2. 3.\n 4. 5.\n", 6, "  6.\n  1.  2.  3.\n"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.block);
    LineSource src("zahyo/AB1.dat", std::string("   2   1   45.0   30.0\n") + k.block);
    std::ostringstream out;
    read_subfault_header(src, out);
    out.str("");
    double zs = 0.0;
    double x[2] = {}, y[2] = {}, z[2] = {};
    const InputError e = input_error([&] { read_subfault_block(src, 1, 2, zs, x, y, z, out); });
    EXPECT_EQ(e.file(), "zahyo/AB1.dat");
    EXPECT_EQ(e.line(), k.line);
    EXPECT_EQ(out.str(), k.echoed);
  }
}

// Rejected input in a whole run ------------------------------------------------------------

struct Inputs {
  std::string control = "1\n2\n1\n1\n2\nmodel/strXXX\ngreen/XXX/XXX.nnn\nzahyo/XXX.dat\n1\nAB1\n";
  std::string model =
      " &INPUT NC=2, NFREQ=2, TL=10., AW=1., NR=2, XL=100., IKMAX=3, UCONV=0., XS=0., YS=0. /\n"
      "  2.0  4.50  2.60  2.40  200.  100.\n"
      "  0.0  6.00  3.45  2.70  400.  200.\n";
  std::string subfault =
      "   2   1   45.0   30.0\n row 1\n  6.\n receivers\n  12. -4. 0.\n  18.5 2. 0.\n";
  bool write_control = true, write_model = true, write_subfault = true, make_folder = true;
};

void replace(std::string& s, const std::string& from, const std::string& to) {
  const std::size_t p = s.find(from);
  ASSERT_NE(p, std::string::npos) << from;
  s.replace(p, from.size(), to);
}

struct Rejection {
  const char* name;
  std::function<void(Inputs&)> edit;
  std::string where;     // "file:line:" or the file alone when there is no line
  std::string what;      // a word of the message
  std::string last_out;  // last line on standard output, "" for none
};

const std::string kAfterCounts = " 1 2 1 1 2";
const std::string kAfterPrompt = " number of stations?";
const std::string kAfterNames = std::string(" ").append(padded80("green/AB1/AB1.1"));
const std::string kAfterHeader = "   2   1   45.0   30.0";

std::vector<Rejection> rejections() {
  auto ctl = [](const char* from, const char* to) {
    return [=](Inputs& in) { replace(in.control, from, to); };
  };
  auto mdl = [](const char* from, const char* to) {
    return [=](Inputs& in) { replace(in.model, from, to); };
  };
  auto sub = [](const char* from, const char* to) {
    return [=](Inputs& in) { replace(in.subfault, from, to); };
  };
  return {
      {"MissingControlFile", [](Inputs& in) { in.write_control = false; },
       "quenta4.ctl: ", "cannot open", ""},
      {"TooManyDataSets", ctl("1\n2\n1\n", "21\n2\n1\n"), "quenta4.ctl:1:", "ndatas", ""},
      {"UnreadableDataSets", ctl("1\n2\n1\n", "one\n2\n1\n"), "quenta4.ctl:1:", "one", ""},
      {"NoGridPoints", ctl("1\n2\n1\n1\n2\n", "1\n0\n1\n1\n2\n"), "quenta4.ctl:2:", "nstati", ""},
      {"FirstIndexZero", ctl("1\n2\n1\n1\n2\n", "1\n2\n1\n0\n2\n"), "quenta4.ctl:4:", "ns1", ""},
      {"LastIndexBeyondGrid", ctl("1\n2\n1\n1\n2\n", "1\n2\n1\n1\n3\n"), "quenta4.ctl:5:", "nstati",
       ""},
      {"ShortModelTemplate", ctl("model/strXXX", "XX"), "quenta4.ctl:6:", "template", kAfterCounts},
      {"TooManyStations", ctl("\n1\nAB1\n", "\n41\nAB1\n"), "quenta4.ctl:9:", "stations",
       kAfterPrompt},
      {"StationCodeMissing", ctl("\n1\nAB1\n", "\n2\nAB1\n"), "quenta4.ctl:", "end of file",
       kAfterPrompt},
      {"MissingModelFile", [](Inputs& in) { in.write_model = false; },
       "model/strAB1: ", "cannot open", kAfterNames},
      {"TooManyLayers", mdl("NC=2", "NC=21"), "model/strAB1:1:", "NC", kAfterNames},
      {"LayerCheckBeforeNrMessage",
       [](Inputs& in) {
         replace(in.model, "NC=2", "NC=0");
         replace(in.model, "NR=2", "NR=3");
       },
       "model/strAB1:1:", "NC", kAfterNames},
      {"NegativeNfreq", mdl("NFREQ=2", "NFREQ=-1"), "model/strAB1:1:", "NFREQ", kAfterNames},
      {"ZeroAw", mdl("AW=1.", "AW=0."), "model/strAB1:1:", "AW", kAfterNames},
      {"UnknownMember", mdl("YS=0.", "YS=0., ZS=3."), "model/strAB1:1:", "ZS", kAfterNames},
      {"UnreadableMember", mdl("IKMAX=3", "IKMAX=3.5"), "model/strAB1:1:", "3.5", kAfterNames},
      {"GroupNeverEnds",
       [](Inputs& in) {
         in.model = " &INPUT NC=2, NFREQ=2, TL=10., AW=1., NR=2,\n XL=100., IKMAX=3\n";
       },
       "model/strAB1:", "end of file", kAfterNames},
      {"MalformedGroup", mdl("YS=0. /", "YS=0."), "model/strAB1:2:", "unexpected", kAfterNames},
      {"FluidLayer",
       [](Inputs& in) {
         replace(in.model, "NR=2", "NR=5");
         replace(in.model, "6.00  3.45", "6.00  0.0");
       },
       "model/strAB1:3:", "fluid", " nr.ne.nstati"},
      {"MissingLayer", mdl("  0.0  6.00  3.45  2.70  400.  200.\n", ""),
       "model/strAB1:", "end of file", kAfterNames},
      {"MissingStationFolder", [](Inputs& in) { in.make_folder = false; }, "green/AB1/AB1.1",
       "No such file", kAfterNames},
      {"MissingSubfaultFile", [](Inputs& in) { in.write_subfault = false; },
       "zahyo/AB1.dat: ", "cannot open", kAfterNames},
      {"BadHeaderField", sub("   2   1", "   2   x"), "zahyo/AB1.dat:1:", "nwzahy", kAfterNames},
      {"UnreadableSourceDepth", sub("  6.\n", "  six\n"), "zahyo/AB1.dat:3:", "six", kAfterHeader},
      {"InfiniteReceiverDepth", sub("18.5 2. 0.", "18.5 2. -Inf"), "zahyo/AB1.dat:6:", "depth",
       "  12. -4.  0."},
      {"FileEndsInReceivers", sub("  18.5 2. 0.\n", ""), "zahyo/AB1.dat:", "end of file",
       "  12. -4.  0."},
  };
}

void PrintTo(const Rejection& r, std::ostream* os) {
  *os << r.name;
}

// A run of the one-station inputs `in`, edited by each test before write_inputs().
class InputRun : public ::testing::Test {
 protected:
  void write_inputs() const {
    if (in.write_control) w.write("quenta4.ctl", in.control);
    if (in.write_model) w.write("model/strAB1", in.model);
    if (in.write_subfault) w.write("zahyo/AB1.dat", in.subfault);
    if (in.make_folder) w.mkdir("green/AB1");
  }
  Inputs in;
  WorkDir w;
};

class RejectedInput : public InputRun, public ::testing::WithParamInterface<Rejection> {};
class RejectedInputProgram : public InputRun {};
class RejectedInputLater : public InputRun {};

TEST_P(RejectedInput, OneMessageStatusTwoAndNoResultFiles) {
  const Rejection& k = GetParam();
  k.edit(in);
  write_inputs();
  const RunOutcome r = w.run();
  EXPECT_EQ(r.status, 2);
  // One line: the file, the line where there is one, and what is wrong.
  ASSERT_FALSE(r.err.empty());
  EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
  EXPECT_NE(r.err.find(k.where), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(k.what), std::string::npos) << r.err;
  // The check comes before the echo line that would follow the value.
  const std::vector<std::string> out = testing::split_lines(r.out);
  if (k.last_out.empty()) {
    EXPECT_EQ(r.out, "");
  } else {
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.back(), k.last_out);
  }
  // Nothing of the data set's result files is left, not even a temporary file.
  if (in.make_folder) {
    EXPECT_TRUE(w.entries("green/AB1").empty());
  }
  for (const std::string& e : w.entries(".")) {
    EXPECT_NE(e.front(), '.') << e;
  }
}

INSTANTIATE_TEST_SUITE_P(Run, RejectedInput, ::testing::ValuesIn(rejections()),
                         [](const ::testing::TestParamInfo<Rejection>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(RejectedInputProgram, ExitStatusTwoAndOneLineOnStandardError) {
  replace(in.model, "TL=10.", "TL=0.");
  write_inputs();
  const RunOutcome r = w.run_program();
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
  EXPECT_NE(r.err.find("model/strAB1:1:"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("TL"), std::string::npos) << r.err;
  EXPECT_TRUE(w.entries("green/AB1").empty());
}

TEST_F(RejectedInputLater, EarlierDataSetsStayCompleteAndOldFilesUntouched) {
  // Data set 2 has an unreadable receiver; data set 1 is complete by then.
  replace(in.control, "1\n2\n1\n1\n2\n", "2\n2\n1\n1\n2\n");
  in.subfault += " row 2\n  11.\n receivers\n  14. -6. 1.\n  20.5 0. bad\n";
  write_inputs();
  w.write("green/AB1/AB1.4", "complete file of an earlier run\n");
  const RunOutcome r = w.run();
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("zahyo/AB1.dat:11:"), std::string::npos) << r.err;
  EXPECT_EQ(w.entries("green/AB1"), (std::set<std::string>{"AB1.1", "AB1.2", "AB1.4"}));
  EXPECT_EQ(w.lines("green/AB1/AB1.1").size(), 24u);
  EXPECT_EQ(w.lines("green/AB1/AB1.2").size(), 24u);
  EXPECT_EQ(w.read("green/AB1/AB1.4"), "complete file of an earlier run\n");
}

TEST_F(RejectedInputLater, MissingBlockOfTheSecondDataSet) {
  // nstati = 10 and index 3 only: data set 1 is file 3, data set 2 file 13.
  in.control = "2\n10\n1\n3\n3\nmodel/strXXX\ngreen/XXX/XXX.nnn\nzahyo/XXX.dat\n1\nAB1\n";
  replace(in.model, "NR=2", "NR=10");
  in.subfault = "   1   1   45.0   30.0\n row 1\n  6.\n receivers\n  12. -4. 0.\n";
  write_inputs();
  const RunOutcome r = w.run();
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("zahyo/AB1.dat"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("end of file"), std::string::npos) << r.err;
  EXPECT_EQ(w.entries("green/AB1"), (std::set<std::string>{"AB1.3"}));
  EXPECT_EQ(w.lines("green/AB1/AB1.3").at(0), " 10 2   total area grid number");

  // With the block in place the second data set is file 13.
  w.write("zahyo/AB1.dat", in.subfault + " row 2\n  11.\n receivers\n  14. -6. 1.\n");
  const RunOutcome again = w.run();
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(w.entries("green/AB1"), (std::set<std::string>{"AB1.3", "AB1.13"}));
  EXPECT_EQ(w.lines("green/AB1/AB1.13").at(9), "  14. -6.  1.");
}

}  // namespace
}  // namespace lg
