// Reading the namelist group of the model file.
#include <gtest/gtest.h>

#include <string>

#include "textio/input_error.h"
#include "textio/line_source.h"
#include "textio/namelist.h"
#include "thrown_input_error.h"

namespace lg {
namespace {

using testing::input_error;

// The members of the model file's group, bound to a Namelist.
struct Input {
  int NC = 0, NFREQ = 0, NR = 0, IKMAX = 0;
  double TL = 0, AW = 0, XL = 0, UCONV = 0, XS = 0, YS = 0;
  Namelist nml{"INPUT"};
  Input() {
    nml.add("NC", &NC);
    nml.add("NFREQ", &NFREQ);
    nml.add("TL", &TL);
    nml.add("AW", &AW);
    nml.add("NR", &NR);
    nml.add("XL", &XL);
    nml.add("IKMAX", &IKMAX);
    nml.add("UCONV", &UCONV);
    nml.add("XS", &XS);
    nml.add("YS", &YS);
  }
};

TEST(Namelist, WholeGroupOnOneLine) {
  LineSource src("model",
                 " &INPUT NC=6, NFREQ=512, TL=20., AW=1., NR=8, XL=100., IKMAX=2000, "
                 "UCONV=0.001, XS=1.5, YS=-2.5 /\n"
                 "  0. 5.5 3.2 2.7 600. 300.\n");
  Input in;
  in.nml.read(src);
  EXPECT_EQ(in.NC, 6);
  EXPECT_EQ(in.NFREQ, 512);
  EXPECT_EQ(in.TL, 20.0);
  EXPECT_EQ(in.AW, 1.0);
  EXPECT_EQ(in.NR, 8);
  EXPECT_EQ(in.XL, 100.0);
  EXPECT_EQ(in.IKMAX, 2000);
  EXPECT_EQ(in.UCONV, 0.001);
  EXPECT_EQ(in.XS, 1.5);
  EXPECT_EQ(in.YS, -2.5);
  EXPECT_EQ(src.next(), "  0. 5.5 3.2 2.7 600. 300.");
}

TEST(Namelist, GroupOverSeveralLinesInAnyOrderAndCase) {
  LineSource src("model",
                 "&input\n"
                 "  ikmax = 50 , nc=3\tTl=10.\n"
                 "  Uconv=1.0D-3,,XS= 4 YS =5.\r\n"
                 "&end\n"
                 "after\n");
  Input in;
  in.nml.read(src);
  EXPECT_EQ(in.IKMAX, 50);
  EXPECT_EQ(in.NC, 3);
  EXPECT_EQ(in.TL, 10.0);
  EXPECT_EQ(in.UCONV, 0.001);
  EXPECT_EQ(in.XS, 4.0);
  EXPECT_EQ(in.YS, 5.0);
  EXPECT_EQ(src.next(), "after");
  EXPECT_EQ(in.nml.line_of("nc"), 2);
  EXPECT_EQ(in.nml.line_of("UCONV"), 3);
}

TEST(Namelist, DollarMarkersAndTerminatorAfterLastMember) {
  LineSource src("model", "$INPUT NC=2\n AW=0.5$END\nnext\n");
  Input in;
  in.nml.read(src);
  EXPECT_EQ(in.NC, 2);
  EXPECT_EQ(in.AW, 0.5);
  EXPECT_EQ(src.next(), "next");

  LineSource s2("model", "&INPUT XL=250./ trailing words are ignored\nnext\n");
  in.nml.read(s2);
  EXPECT_EQ(in.XL, 250.0);
  EXPECT_EQ(s2.next(), "next");

  LineSource s3("model", "&INPUT NR=4 $end\n");
  in.nml.read(s3);
  EXPECT_EQ(in.NR, 4);
  EXPECT_TRUE(s3.at_end());
}

TEST(Namelist, LinesBeforeTheGroupAreSkipped) {
  LineSource src("model",
                 "model of the crust near AB1\n"
                 "\n"
                 "&OTHER NC=9 /\n"
                 "&INPUTS NC=8 /\n"
                 "   &INPUT NC=7 /\n");
  Input in;
  in.nml.read(src);
  EXPECT_EQ(in.NC, 7);
  EXPECT_EQ(in.nml.line_of("NC"), 5);
}

TEST(Namelist, MissingMembersKeepTheirValues) {
  LineSource src("model", "&INPUT NC=6 TL=20. /\n&INPUT NFREQ=16 /\n&INPUT /\n");
  Input in;
  in.UCONV = 0.25;
  in.nml.read(src);
  EXPECT_EQ(in.NC, 6);
  EXPECT_EQ(in.TL, 20.0);
  EXPECT_EQ(in.UCONV, 0.25);
  EXPECT_EQ(in.nml.line_of("UCONV"), 0);
  EXPECT_EQ(in.nml.line_of("NC"), 1);

  // A second group changes only what it names; line_of reports the latest group only.
  in.nml.read(src);
  EXPECT_EQ(in.NC, 6);
  EXPECT_EQ(in.NFREQ, 16);
  EXPECT_EQ(in.TL, 20.0);
  EXPECT_EQ(in.nml.line_of("NC"), 0);
  EXPECT_EQ(in.nml.line_of("NFREQ"), 2);

  in.nml.read(src);  // an empty group
  EXPECT_EQ(in.NFREQ, 16);
  EXPECT_EQ(in.nml.line_of("NFREQ"), 0);
}

TEST(Namelist, NullValueAndCommentLeaveMembersAlone) {
  LineSource src("model", "&INPUT NC=, NR=3 ! receivers\n ! NFREQ=9\n XS=2. /\n");
  Input in;
  in.NC = 5;
  in.nml.read(src);
  EXPECT_EQ(in.NC, 5);
  EXPECT_EQ(in.NR, 3);
  EXPECT_EQ(in.NFREQ, 0);
  EXPECT_EQ(in.XS, 2.0);
}

TEST(Namelist, UnknownMemberNamesTheLine) {
  LineSource src("model/strAB1", "&INPUT NC=6,\n  FOO=1 /\n");
  Input in;
  const InputError e = input_error([&] { in.nml.read(src); });
  EXPECT_EQ(e.file(), "model/strAB1");
  EXPECT_EQ(e.line(), 2);
  EXPECT_EQ(e.detail(), "unknown member \"FOO\" in namelist group INPUT");
}

TEST(Namelist, WrongTypesAndMalformedAssignmentsNameTheirLine) {
  struct Case {
    const char* text;
    int line;
    const char* detail;  // before " in namelist group INPUT"
  };
  for (const Case& c : {
           // A value of the wrong type.
           Case{"\n&INPUT NC=6.5 /\n", 2, "cannot read \"6.5\" as an integer for member NC"},
           Case{"\n&INPUT NC=abc /\n", 2, "cannot read \"abc\" as an integer for member NC"},
           Case{"\n&INPUT TL=x /\n", 2, "cannot read \"x\" as a real for member TL"},
           Case{"\n&INPUT tl=1.5e /\n", 2, "cannot read \"1.5e\" as a real for member TL"},
           // Malformed assignments.
           Case{"&INPUT NC 6 /\n", 1, "missing '=' after \"NC\""},
           Case{"&INPUT NC=6 NR /\n", 1, "missing '=' after \"NR\""},
           Case{"&INPUT NC=6 7 /\n", 1, "unexpected \"7\""},
           Case{"&INPUT =6 /\n", 1, "unexpected \"=\""},
           Case{"&INPUT NC=6 &FIN\n", 1, "unexpected \"&FIN\""},
       }) {
    SCOPED_TRACE(c.text);
    LineSource src("model", c.text);
    Input in;
    const InputError e = input_error([&] { in.nml.read(src); });
    EXPECT_EQ(e.line(), c.line);
    EXPECT_EQ(e.detail(), std::string(c.detail) + " in namelist group INPUT");
  }
}

TEST(Namelist, EndOfFileInsideOrBeforeTheGroup) {
  LineSource src("model", "&INPUT NC=6\n TL=20.\n");
  Input in;
  InputError e = input_error([&] { in.nml.read(src); });
  EXPECT_EQ(e.line(), 2);
  EXPECT_EQ(e.detail(), "unexpected end of file in namelist group INPUT");

  LineSource none("model", "no group\nhere\n");
  e = input_error([&] { in.nml.read(none); });
  EXPECT_EQ(e.file(), "model");
  EXPECT_EQ(e.detail(), "namelist group &INPUT not found");

  LineSource empty("model", "");
  e = input_error([&] { in.nml.read(empty); });
  EXPECT_EQ(e.detail(), "namelist group &INPUT not found");
}

}  // namespace
}  // namespace lg
