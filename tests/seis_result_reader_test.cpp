// Reading result files back: every value in its place, long header records that continue on a
// second line, and the bad files that must be refused with the file and line named.
//
// The files are written with the main program's own writers, with a distinct value in every
// slot, so that a reader that mixes up elements, components, real and imaginary parts or
// frequencies is caught.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "kernel/layout.h"
#include "output/result_format.h"
#include "seis/result_reader.h"
#include "seis_scratch.h"
#include "textio/input_error.h"
#include "textio/line_source.h"

namespace {

using lg::seis::ResultFile;

// The value written for frequency k, element e, component c (all from 0).
std::complex<double> slot_value(int k, int e, int c) {
  const double re = (1.0 + k + 0.1 * e + 0.01 * c) * (e % 2 == 0 ? 1e-5 : -1e-7);
  const double im = -(2.0 + k + 0.1 * c + 0.01 * e) * (c == 1 ? 1e-3 : 1e-6);
  return {re, im};
}

struct FileValues {
  int nfreq = 3;
  double tl = 12.8;
  double uconv = 0.0001;
  double xs = 0.0;
  double ys = 0.0;
  double xl = 300.0;
  double zs = 7.5;
};

// A complete result file in the program's layout, with three layers.
std::string result_text(const FileValues& values) {
  lg::HeaderValues h;
  h.nstati = 4;
  h.ndatas = 2;
  h.ns1 = 1;
  h.ns2 = 4;
  h.nw1 = 2;
  h.fault.sazi = 45.0;
  h.fault.dip = 30.0;
  h.params.NC = 3;
  h.params.NFREQ = values.nfreq;
  h.params.TL = values.tl;
  h.params.AW = 2.0;
  h.params.NR = 4;
  h.params.XL = values.xl;
  h.params.IKMAX = 800;
  h.params.UCONV = values.uconv;
  h.params.XS = values.xs;
  h.params.YS = values.ys;
  h.ZS = values.zs;
  const lg::LayerModel layers = lg::testing::layer_model({{2.0, 4.5, 2.6, 2.4, 200.0, 100.0},
                                                          {10.0, 6.0, 3.45, 2.7, 400.0, 200.0},
                                                          {0.0, 7.9, 4.5, 3.3, 800.0, 400.0}});
  std::string s = lg::result_header(h, layers) + lg::receiver_block(12.5, -3.0, 0.25);
  for (int k = 0; k < values.nfreq; ++k) {
    lg::ReceiverSpectra ug{};
    for (int e = 0; e < lg::kElements; ++e) {
      for (int c = 0; c < lg::kComponents; ++c) {
        const std::complex<double> v = slot_value(k, e, c);
        ug[static_cast<std::size_t>(e)][static_cast<std::size_t>(c)] = lg::Cx{v.real(), v.imag()};
      }
    }
    s += lg::frequency_group(k / values.tl, 101 + k, ug);
  }
  return s;
}

ResultFile read_text(const std::string& text, const std::string& name = "green/ABC/ABC.7") {
  lg::LineSource src(name, text);
  return lg::seis::read_result(src);
}

std::string join(const std::vector<std::string>& lines) {
  std::string s;
  for (const std::string& l : lines) s += l + "\n";
  return s;
}

// The message of the InputError that reading `text` raises ("" when it reads).
std::string read_error(const std::string& text) {
  try {
    read_text(text);
  } catch (const lg::InputError& e) {
    return e.what();
  }
  return "";
}

TEST(SeisResultReader, ReadsEveryValueInItsPlace) {
  const FileValues values;
  const ResultFile r = read_text(result_text(values));
  EXPECT_EQ(r.path, "green/ABC/ABC.7");
  EXPECT_EQ(r.nstati, 4);
  EXPECT_EQ(r.ndatas, 2);
  EXPECT_EQ(r.ns1, 1);
  EXPECT_EQ(r.ns2, 4);
  EXPECT_EQ(r.nw1, 2);
  EXPECT_DOUBLE_EQ(r.sazi, 45.0);
  EXPECT_DOUBLE_EQ(r.dip, 30.0);
  EXPECT_EQ(r.NC, 3);
  EXPECT_EQ(r.NFREQ, 3);
  EXPECT_DOUBLE_EQ(r.TL, 12.8);
  EXPECT_DOUBLE_EQ(r.AW, 2.0);
  EXPECT_EQ(r.NR, 4);
  EXPECT_DOUBLE_EQ(r.XL, 300.0);
  EXPECT_EQ(r.IKMAX, 800);
  EXPECT_DOUBLE_EQ(r.UCONV, 0.0001);
  EXPECT_DOUBLE_EQ(r.ZS, 7.5);
  ASSERT_EQ(r.layers.size(), 3u);
  EXPECT_DOUBLE_EQ(r.layers[1].hc, 10.0);
  EXPECT_DOUBLE_EQ(r.layers[1].vs, 3.45);
  EXPECT_DOUBLE_EQ(r.layers[2].vp, 7.9);
  EXPECT_DOUBLE_EQ(r.layers[2].qs, 400.0);
  EXPECT_DOUBLE_EQ(r.xr, 12.5);
  EXPECT_DOUBLE_EQ(r.yr, -3.0);
  EXPECT_DOUBLE_EQ(r.zr, 0.25);
  ASSERT_EQ(r.freq.size(), 3u);
  ASSERT_EQ(r.groups.size(), 3u);
  for (int k = 0; k < 3; ++k) {
    EXPECT_NEAR(r.freq[static_cast<std::size_t>(k)], k / 12.8, 1e-9);
    EXPECT_EQ(r.iter[static_cast<std::size_t>(k)], 101 + k);
    for (int e = 0; e < lg::kElements; ++e) {
      for (int c = 0; c < lg::kComponents; ++c) {
        const std::complex<double> want = slot_value(k, e, c);
        const std::complex<double> got =
            r.groups[static_cast<std::size_t>(k)][static_cast<std::size_t>(e)]
                    [static_cast<std::size_t>(c)];
        // Six significant digits in the file.
        EXPECT_NEAR(got.real(), want.real(), 5e-7 * std::abs(want.real())) << k << e << c;
        EXPECT_NEAR(got.imag(), want.imag(), 5e-7 * std::abs(want.imag())) << k << e << c;
      }
    }
  }
}

// Long values make the free-format parameter record continue on a second line; the reader
// counts values, not lines.
TEST(SeisResultReader, ReadsAParameterRecordThatContinues) {
  FileValues values;
  values.uconv = 1.23456789e-5;
  values.xs = -12345.6789;
  values.ys = 98765.4321;
  values.xl = 300.123456;
  values.zs = 7.56789012;
  const std::string text = result_text(values);
  const std::vector<std::string> lines = lg::testing::split_lines(text);
  ASSERT_TRUE(lines[5].find("hc,vp") == std::string::npos) << "record did not continue:\n" << text;
  const ResultFile r = read_text(text);
  EXPECT_DOUBLE_EQ(r.UCONV, 1.23456789e-5);
  EXPECT_DOUBLE_EQ(r.XS, -12345.6789);
  EXPECT_DOUBLE_EQ(r.XL, 300.123456);
  EXPECT_DOUBLE_EQ(r.YS, 98765.4321);
  EXPECT_DOUBLE_EQ(r.ZS, 7.56789012);
  EXPECT_EQ(r.layers.size(), 3u);
  EXPECT_EQ(r.groups.size(), 3u);
}

TEST(SeisResultReader, ReadsThreeDigitExponentsAndTheBundledExample) {
  // A three-digit exponent drops the letter E.
  std::vector<std::string> lines = lg::testing::split_lines(result_text(FileValues{}));
  const std::size_t first_spectrum = 6 + 3 + 2 + 1;
  lines[first_spectrum].replace(0, 13, " 0.123457+100");
  lines[first_spectrum].replace(13, 13, "-0.500000-120");
  const ResultFile r = read_text(join(lines));
  EXPECT_NEAR(r.groups[0][0][0].real(), 0.123457e100, 1e88);
  EXPECT_NEAR(r.groups[0][0][0].imag(), -0.5e-120, 1e-132);

  // A file the program wrote for the bundled example (station OSK, index 3).
  const ResultFile ex = lg::seis::read_result_file(std::string(LAYERGREEN_TEST_DATA) +
                                                   "/regression/basic/expected/green/OSK/OSK.3");
  EXPECT_EQ(ex.NC, 6);
  EXPECT_EQ(ex.NFREQ, 32);
  EXPECT_DOUBLE_EQ(ex.TL, 25.6);
  EXPECT_DOUBLE_EQ(ex.xr, 25.0);
  EXPECT_DOUBLE_EQ(ex.yr, 8.0);
  EXPECT_EQ(ex.iter[0], 194);
  // freq = 0: elements 1 and 4 of component x, as printed in the file.
  EXPECT_DOUBLE_EQ(ex.groups[0][0][0].real(), 0.278463e-05);
  EXPECT_DOUBLE_EQ(ex.groups[0][0][0].imag(), -0.512091e-08);
  EXPECT_DOUBLE_EQ(ex.groups[0][3][0].real(), -0.405158e-05);
  EXPECT_DOUBLE_EQ(ex.groups[0][5][0].imag(), -0.328627e-08);
}

struct BadCase {
  const char* what;
  std::string text;
  std::string message;  // expected "name:line: ..." prefix and a telling part
  std::string detail;
};

TEST(SeisResultReader, RefusesBadFilesNamingTheLine) {
  const std::string good = result_text(FileValues{});
  const std::vector<std::string> lines = lg::testing::split_lines(good);
  const std::size_t n = lines.size();
  ASSERT_EQ(n, 6u + 3 + 2 + 7 * 3);
  auto with = [&](std::size_t line, const std::string& replacement) {
    std::vector<std::string> v = lines;
    v[line] = replacement;
    return join(v);
  };
  auto first = [&](std::size_t count) {
    return join(std::vector<std::string>(lines.begin(), lines.begin() + static_cast<long>(count)));
  };
  // Lines counted from 0 here, from 1 in the messages.
  std::string nan_line = lines[15];
  nan_line.replace(27, 13, "          NaN");
  std::string stars_line = lines[13];
  stars_line.replace(54, 13, "*************");
  std::string no_freq = lines[0];

  const std::vector<BadCase> cases = {
      {"not a result file", "hello world\n", "green/ABC/ABC.7:1:", "\"hello\""},
      {"empty file", "", "green/ABC/ABC.7:", "empty"},
      {"NFREQ = 0", with(4, " 3 0  12.8  2. 4  300. 800  0.0001  0.  0.  7.5"),
       "green/ABC/ABC.7:5:", "NFREQ = 0"},
      {"AW = 0", with(4, " 3 3  12.8  0. 4  300. 800  0.0001  0.  0.  7.5"),
       "green/ABC/ABC.7:5:", "AW"},
      {"too many layers", with(4, " 25 3  12.8  2. 4  300. 800  0.0001  0.  0.  7.5"),
       "green/ABC/ABC.7:5:", "NC = 25"},
      {"missing layer label", with(5, " hc,vp,vs"), "green/ABC/ABC.7:6:", "hc,vp,vs,rho,qp,qs"},
      {"bad layer field", with(7, "    10.000     6.000     x.450"), "green/ABC/ABC.7:8:", "vs"},
      {"infinite layer value",
       with(7, "    10.000       Inf     3.450     2.700   400.000   200.000"),
       "green/ABC/ABC.7:8:", "not a finite number"},
      {"truncated in the header", first(8), "green/ABC/ABC.7:8:", "unexpected end of file"},
      {"truncated in the spectra", first(n - 2), "green/ABC/ABC.7:" + std::to_string(n - 2) + ":",
       "unexpected end of file"},
      {"truncated spectrum line", with(13, lines[13].substr(0, 60)),
       "green/ABC/ABC.7:14:", "shorter"},
      {"non-finite spectrum value", with(15, nan_line),
       "green/ABC/ABC.7:16:", "real part of element 5, component 2"},
      {"field of asterisks", with(13, stars_line),
       "green/ABC/ABC.7:14:", "real part of element 6, component 1"},
      {"frequency line missing", with(18, lines[19]), "green/ABC/ABC.7:19:", "freq ="},
      {"frequency off the grid", with(18, " freq =  0.1iter = 102"),
       "green/ABC/ABC.7:19:", "frequency 2 is 0.1"},
      {"more groups than NFREQ", good + lines[11] + "\n",
       "green/ABC/ABC.7:" + std::to_string(n + 1) + ":", "after the last"},
  };
  for (const BadCase& c : cases) {
    const std::string msg = read_error(c.text);
    EXPECT_EQ(msg.rfind(c.message, 0), 0u) << c.what << ": " << msg;
    EXPECT_NE(msg.find(c.detail), std::string::npos) << c.what << ": " << msg;
  }
}

TEST(SeisResultReader, RefusesBinaryFilesAndFolders) {
  seis_test::Scratch dir;
  std::string bytes = result_text(FileValues{});
  bytes.insert(bytes.find("xr,yr,zr"), std::string("\0\x01", 2));
  dir.write("bin", bytes);
  try {
    lg::seis::read_result_file(dir.at("bin"));
    ADD_FAILURE() << "binary file read";
  } catch (const lg::InputError& e) {
    EXPECT_EQ(e.line(), 10);
    EXPECT_NE(std::string(e.what()).find("binary"), std::string::npos) << e.what();
  }
  EXPECT_THROW(lg::seis::read_result_file(dir.root().string()), lg::InputError);
  EXPECT_THROW(lg::seis::read_result_file(dir.at("missing")), lg::InputError);
}

}  // namespace
