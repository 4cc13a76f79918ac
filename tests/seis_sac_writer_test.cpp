// The SAC writer against an independent reader of the published header layout: every field we
// fill reads back where SAC looks for it, the rest as undefined, the samples after it.

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>

#include "seis/sac_writer.h"
#include "seis_sac_reader.h"

namespace {

lg::seis::SacTrace example_trace() {
  lg::seis::SacTrace t;
  t.delta = 0.05;
  t.b = 0.0;
  t.o = 0.0;
  t.iztype = lg::seis::kSacIo;
  t.dist = 26.2488;
  t.az = 17.74;
  t.baz = 197.74;
  t.cmpaz = 90.0;
  t.cmpinc = 90.0;
  t.user0 = 6.0;
  t.user1 = 0.5;
  t.idep = lg::seis::kSacIdisp;
  t.kstnm = "OSK";
  t.kcmpnm = "e2y";
  t.kevnm = "Mxx+Myy+Mzz";
  t.data = {0.0, 1.5e-6, -2.5e-6, 3.0e-6, 0.5e-6};
  return t;
}

TEST(SeisSacWriter, HeaderAndSamplesReadBack) {
  const std::string bytes = lg::seis::sac_bytes(example_trace());
  ASSERT_EQ(bytes.size(), 632u + 4 * 5);
  const seis_test::SacFile s = seis_test::parse_sac(bytes);
  ASSERT_TRUE(s.ok);

  // Required fields.
  EXPECT_EQ(s.nvhdr(), 6);
  EXPECT_EQ(s.npts(), 5);
  EXPECT_EQ(s.iftype(), 1);  // ITIME
  EXPECT_EQ(s.leven(), 1);
  EXPECT_FLOAT_EQ(s.delta(), 0.05F);
  EXPECT_FLOAT_EQ(s.b(), 0.0F);
  EXPECT_FLOAT_EQ(s.e(), 0.2F);  // B + (NPTS - 1) DELTA

  // What a user looks for.
  EXPECT_FLOAT_EQ(s.o(), 0.0F);
  EXPECT_EQ(s.iztype(), 11);  // IO
  EXPECT_EQ(s.idep(), 6);     // IDISP
  EXPECT_FLOAT_EQ(s.dist(), 26.2488F);
  EXPECT_FLOAT_EQ(s.az(), 17.74F);
  EXPECT_FLOAT_EQ(s.baz(), 197.74F);
  EXPECT_FLOAT_EQ(s.cmpaz(), 90.0F);
  EXPECT_FLOAT_EQ(s.cmpinc(), 90.0F);
  EXPECT_FLOAT_EQ(s.user0(), 6.0F);
  EXPECT_FLOAT_EQ(s.user1(), 0.5F);
  EXPECT_EQ(s.lcalda(), 0);
  EXPECT_EQ(s.kstnm(), "OSK     ");
  EXPECT_EQ(s.kcmpnm(), "e2y     ");
  EXPECT_EQ(s.kevnm(), "Mxx+Myy+Mzz     ");

  // Extremes and mean of the samples as written.
  EXPECT_FLOAT_EQ(s.depmin(), -2.5e-6F);
  EXPECT_FLOAT_EQ(s.depmax(), 3.0e-6F);
  EXPECT_FLOAT_EQ(s.depmen(), 0.5e-6F);
  ASSERT_EQ(s.data.size(), 5u);
  EXPECT_FLOAT_EQ(s.data[1], 1.5e-6F);
  EXPECT_FLOAT_EQ(s.data[2], -2.5e-6F);
  EXPECT_FLOAT_EQ(s.data[4], 0.5e-6F);

  // Fields not filled are undefined: floats and integers -12345, texts "-12345".
  EXPECT_FLOAT_EQ(s.f[3], -12345.0F);   // SCALE
  EXPECT_FLOAT_EQ(s.f[8], -12345.0F);   // A
  EXPECT_FLOAT_EQ(s.f[31], -12345.0F);  // STLA
  EXPECT_FLOAT_EQ(s.f[38], -12345.0F);  // EVDP
  EXPECT_FLOAT_EQ(s.f[53], -12345.0F);  // GCARC
  EXPECT_FLOAT_EQ(s.f[69], -12345.0F);  // last float word
  EXPECT_EQ(s.i[0], -12345);            // NZYEAR
  EXPECT_EQ(s.i[14], -12345);           // last integer word
  EXPECT_EQ(s.i[34], -12345);           // last enumeration word
  EXPECT_EQ(s.knetwk(), "-12345  ");
  EXPECT_EQ(s.text.substr(184, 8), "-12345  ");  // KINST, the last field

  // The byte order is fixed: NVHDR = 6 is stored least significant byte first.
  EXPECT_EQ(bytes.substr(4 * 76, 4), std::string("\x06\0\0\0", 4));
}

TEST(SeisSacWriter, UndefinedAzimuthAndOtherVariants) {
  lg::seis::SacTrace t = example_trace();
  t.az.reset();
  t.baz.reset();
  t.o.reset();
  t.iztype.reset();
  t.idep = lg::seis::kSacIvel;
  t.kstnm = std::string(1, '-');
  t.kevnm = std::string("-Myz");
  t.data = {-1.0};
  const seis_test::SacFile s = seis_test::parse_sac(lg::seis::sac_bytes(t));
  ASSERT_TRUE(s.ok);
  EXPECT_FLOAT_EQ(s.az(), -12345.0F);
  EXPECT_FLOAT_EQ(s.baz(), -12345.0F);
  EXPECT_FLOAT_EQ(s.o(), -12345.0F);
  EXPECT_EQ(s.iztype(), -12345);
  EXPECT_EQ(s.idep(), 7);
  EXPECT_EQ(s.kstnm(), "-       ");
  EXPECT_EQ(s.kevnm(), "-Myz            ");
  EXPECT_EQ(s.npts(), 1);
  EXPECT_FLOAT_EQ(s.e(), s.b());
  EXPECT_FLOAT_EQ(s.depmin(), -1.0F);
  EXPECT_FLOAT_EQ(s.depmax(), -1.0F);
}

TEST(SeisSacWriter, RefusesWhatTheFormatCannotHold) {
  lg::seis::SacTrace t = example_trace();
  t.kstnm = "TOOLONGNAME";
  EXPECT_THROW(lg::seis::sac_bytes(t), std::invalid_argument);
  t = example_trace();
  t.kevnm = std::string(17, 'x');
  EXPECT_THROW(lg::seis::sac_bytes(t), std::invalid_argument);
  t = example_trace();
  t.data.clear();
  EXPECT_THROW(lg::seis::sac_bytes(t), std::invalid_argument);
  t = example_trace();
  t.data[2] = 1e300;  // beyond single precision
  EXPECT_THROW(lg::seis::sac_bytes(t), std::invalid_argument);
  t = example_trace();
  t.data[0] = std::nan("");
  EXPECT_THROW(lg::seis::sac_bytes(t), std::invalid_argument);
}

}  // namespace
