#include "seis/seis_run.h"

#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "seis/column_writer.h"
#include "seis/output_files.h"
#include "seis/receiver_geometry.h"
#include "seis/result_reader.h"
#include "seis/sac_traces.h"
#include "seis/seismograms.h"
#include "seis/trace_names.h"
#include "textio/input_error.h"

namespace lg::seis {

namespace {

namespace fs = std::filesystem;

std::string number(double v) {
  std::ostringstream s;
  s.precision(9);
  s << v;
  return s.str();
}

std::vector<OutputFile> column_file(const ResultFile& r, const Seismograms& s, const Processing& p,
                                    const std::string& stem) {
  const ReceiverGeometry g = receiver_geometry(r);
  std::vector<std::string> comments = {
      "layergreen-seis seismograms of " + r.path,
      "station = " + station_code(r.path),
      "distance = " + number(g.distance),
      "azimuth = " + (g.azimuth ? number(*g.azimuth) : std::string("none")),
      "source = " + number(r.XS) + " " + number(r.YS) + " " + number(r.ZS),
      "receiver = " + number(r.xr) + " " + number(r.yr) + " " + number(r.zr),
      "dt = " + number(s.dt),
      "npts = " + std::to_string(s.npts),
      "source_time_function = " + p.source.describe(),
      "lowpass = " + (p.lowpass.active() ? number(p.lowpass.corner) + " Hz, " +
                                               std::to_string(p.lowpass.poles) + " poles"
                                         : std::string("none")),
      "taper = " +
          (p.taper.active() ? number(p.taper.width) + " of the band" : std::string("none")),
      std::string("quantity = ") +
          (p.source.gives_displacement() ? "displacement" : "velocity for a step in moment"),
  };
  return {{stem + ".txt", columns_text(s, comments)}};
}

std::string output_folder(const SeisOptions& o, const std::string& input) {
  if (o.output_dir) return *o.output_dir;
  const std::size_t slash = input.rfind('/');
  return slash == std::string::npos ? std::string(".") : input.substr(0, slash + 1);
}

// Converts one input file. Throws an Error naming the file when it cannot be read
// (InputError), converted or written (WriteError); the other files are converted all the same.
void convert(const SeisOptions& o, const std::string& input, std::set<std::string>& stems,
             std::ostream& err) {
  const ResultFile r = read_result_file(input);
  int unconverged = 0;
  for (const int it : r.iter) {
    if (it > r.IKMAX) ++unconverged;
  }
  // Only after step 100 can a sum end early; with UCONV = 0 none is meant to.
  if (r.UCONV > 0.0 && r.IKMAX > 100 && unconverged > 0) {
    err << "layergreen-seis: " << input << ": note: " << unconverged << " of " << r.NFREQ
        << " frequencies ran to IKMAX = " << r.IKMAX << " without converging\n";
  }

  const Seismograms s = make_seismograms(r, o.processing);
  // Samples must survive the conversion to single precision (SAC) and to text.
  if (auto problem = overflow_problem(s, r.AW)) {
    // A value that overflows even before the damping correction is to blame itself.
    if (r.largest * 2.0 * r.NFREQ > std::numeric_limits<float>::max()) {
      throw Error(r.path + ":" + std::to_string(r.largest_line) + ": the value " + r.largest_text +
                  " is too large: the time series overflow single precision");
    }
    throw Error(r.path + ": " + *problem);
  }

  const std::string folder = output_folder(o, input);
  std::string stem = folder;
  if (!stem.empty() && stem.back() != '/') stem += '/';
  stem += base_name(input);
  const std::string key = fs::absolute(fs::path(stem)).lexically_normal().string();
  if (!stems.insert(key).second) {
    throw Error(input +
                ": its outputs would replace those of an earlier file of the same name; convert "
                "it into another folder (-o)");
  }
  if (o.output_dir) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) throw Error("cannot create the output folder " + folder + ": " + ec.message());
  }

  const std::vector<OutputFile> files = o.format == OutputFormat::kSac
                                            ? sac_files(trace_site(r), s, o.processing, stem)
                                            : column_file(r, s, o.processing, stem);
  write_all_or_nothing(files);
}

}  // namespace

int run_seis(const SeisOptions& options, std::ostream& err) {
  int status = kExitOk;
  std::set<std::string> stems;
  for (const std::string& input : options.files) {
    try {
      convert(options, input, stems, err);
    } catch (const Error& e) {
      err << "layergreen-seis: " << e.what() << '\n';
      status = e.exit_status();
    }
  }
  return status;
}

}  // namespace lg::seis
