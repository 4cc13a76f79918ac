// tools/plot, run as users run it (Debian's python3): a panel and a record section of result
// files become PNG pictures; a bad file gives a message naming it and no picture.

#include <gtest/gtest.h>

#include <string>

#include "seis_scratch.h"

namespace {

using seis_test::Scratch;

// The command that runs the plot tool with this build's layergreen-seis.
std::string plot_command(const std::string& args) {
  return std::string("/usr/bin/python3 '") + LAYERGREEN_PLOT + "' --seis '" + LAYERGREEN_SEIS_EXE +
         "' " + args;
}

// Width and height of a PNG picture from its IHDR chunk; zero when it is not a PNG.
std::pair<unsigned, unsigned> png_size(const std::string& bytes) {
  if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 ||
      bytes.compare(12, 4, "IHDR") != 0) {
    return {0, 0};
  }
  auto be32 = [&](std::size_t at) {
    unsigned v = 0;
    for (std::size_t k = 0; k < 4; ++k) v = (v << 8) | static_cast<unsigned char>(bytes[at + k]);
    return v;
  };
  return {be32(16), be32(20)};
}

TEST(SeisPlot, DrawsPanelAndRecordSection) {
  Scratch dir;
  for (const char* n : {"OSK/OSK.1", "OSK/OSK.2", "OSK/OSK.3"})
    dir.write(n, seis_test::bundled_result(n));

  const auto panel =
      dir.run(plot_command("-o panel.png --source triangle:1 --lowpass 0.5 OSK/OSK.3"));
  ASSERT_EQ(panel.status, 0) << panel.err;
  EXPECT_EQ(png_size(dir.read("panel.png")), std::make_pair(1100u, 1200u));

  const auto sect =
      dir.run(plot_command("--section --element 2 -o section.png --source step OSK/OSK.1 OSK/OSK.2 "
                           "OSK/OSK.3"));
  ASSERT_EQ(sect.status, 0) << sect.err;
  EXPECT_EQ(png_size(dir.read("section.png")), std::make_pair(1200u, 700u));
  // The other components, scalings and reduced time (their helpers: plot_section_test.py).
  const auto reduced = dir.run(plot_command(
      "--section --components xyz --scale distance:0.5 --reduce 6 -o section.png OSK/OSK.1 "
      "OSK/OSK.2 OSK/OSK.3"));
  ASSERT_EQ(reduced.status, 0) << reduced.err;
  EXPECT_EQ(png_size(dir.read("section.png")), std::make_pair(1200u, 700u));
  for (const char* bad : {"--reduce 0", "--scale loud", "--components abc"}) {
    const auto r = dir.run(plot_command(std::string("--section ") + bad + " -o bad.png OSK/OSK.1"));
    EXPECT_EQ(r.status, 2) << bad;
  }
  // Only the pictures were added: no seismogram files or temporary files are left behind.
  EXPECT_EQ(dir.entries("."), (std::set<std::string>{"OSK", "panel.png", "section.png"}));
  EXPECT_EQ(dir.entries("OSK"), (std::set<std::string>{"OSK.1", "OSK.2", "OSK.3"}));
}

TEST(SeisPlot, BadFileGivesMessageAndNoPicture) {
  Scratch dir;
  dir.write("OSK.3", seis_test::bundled_result("OSK/OSK.3"));
  dir.write("broken", "1 2 total area grid number\n");
  const auto r = dir.run(plot_command("-o out.png OSK.3 broken"));
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("layergreen-seis: broken:1: unexpected end of file"), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("plot: no picture"), std::string::npos) << r.err;
  EXPECT_EQ(dir.entries("."), (std::set<std::string>{"OSK.3", "broken"}));
}

}  // namespace
