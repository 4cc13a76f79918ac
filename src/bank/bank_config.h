// The configuration of a bank: reads one TOML file (sampling, model, fault, stations) into a
// BankConfig, checking every value and rejecting unknown keys. Errors are one line naming the
// file, the line and the key.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "common/error.h"
#include "run/data_set_spectra.h"
#include "textio/input_error.h"

namespace lg {

// A configuration or geometry problem: the message is the whole line ("bank.toml:14: station
// 3: x is missing").
// A configuration or input of a bank that cannot be used. Its text is fit for a terminal, as
// an InputError's: control bytes escaped, long quoted values cut.
class BankError : public Error {
 public:
  explicit BankError(const std::string& what) : Error(message_text(what)) {}
  // Several problems found together, one line each as other BankErrors' lines() gave them;
  // what() is the first.
  explicit BankError(std::vector<std::string> lines)
      : Error(lines.front()), lines_(std::move(lines)) {}
  // Every problem, one line each (what() alone when there is one).
  std::vector<std::string> lines() const {
    return lines_.empty() ? std::vector<std::string>{what()} : lines_;
  }

 private:
  std::vector<std::string> lines_;
};

struct FaultSpec {
  // Either a rectangle ...
  bool rectangle = true;
  std::array<double, 3> top_center{};  // x (north), y (east), depth of the top edge's midpoint
  bool geo = false;                    // top_center_geo given: the local frame's origin
  double origin_lat = 0.0, origin_lon = 0.0;
  double strike = 0.0, dip = 0.0;  // degrees
  double length = 0.0, width = 0.0;
  int n_strike = 0, n_dip = 0;
  // ... or a list of subfaults (path resolved against the configuration's folder) ...
  std::string subfaults_file;
  int subfaults_line = 0;  // line of the subfaults or slip_model key
  // ... or a slip model's subfaults (FSP, USGS .param, SRF; path resolved likewise). Its
  // hypocentre is the local frame's origin (geo, origin_lat, origin_lon) when it gives
  // latitudes and longitudes.
  std::string slip_model_file;
  int line = 0;  // line of the [fault] table
};

struct StationSpec {
  std::string name;
  bool geo = false;  // given by lat/lon instead of x/y
  double x = 0.0, y = 0.0;
  double lat = 0.0, lon = 0.0;
  double depth = 0.0;  // below the free surface (a sea-floor station: at or below the sea floor)
  int line = 0;        // line of its [[station]] header
};

struct BankConfig {
  std::string path;      // as given
  std::string text;      // the file's text
  std::string output;    // resolved against the configuration's folder
  int output_line = 0;   // line of the output key
  bool statics = false;  // also the static displacements (/statics)
  bool single = false;   // precision = "single": spectra stored as complex64
  bool gzip = false;     // compression = "gzip": the data sets shuffled and deflated
  bool force = false;    // sources = ["moment", "force"]: also /force_spectra (/force_statics)
  // quantities = ["displacement", "strain", "rotation"]: also /strain_spectra, /rotation_spectra
  // (their statics; with forces, /force_strain_spectra, /force_rotation_spectra)
  bool strain = false, rotation = false;
  // "pressure" in the quantities: also /pressure_spectra of stations in the water or at the
  // sea floor (models with fluid layers at the top)
  bool pressure = false;
  int quantities_line = 0;  // line of the quantities key
  int nfreq = 0;
  double tl = 0.0, aw = 0.0, uconv = 0.0;
  std::optional<double> xl;  // empty: "auto"
  std::optional<int> ikmax;  // empty: "auto"
  QLaw q_law = QLaw::kClassic;
  double q_reference_hz = 1.0;
  std::vector<LayerRow> layers;
  FaultSpec fault;
  std::vector<StationSpec> stations;
};

// Reads and checks the configuration file at `path`. Throws BankError.
BankConfig read_bank_config(const std::string& path);

// The whole text of an input file of a bank (the configuration, a subfault list). Throws
// BankError naming the file when it cannot be opened or is not a regular file (a folder, a
// device or a pipe, which would fail or block when read).
std::string read_input_file(const std::string& path);

// The same from text (path only names the file in messages and anchors relative paths).
BankConfig parse_bank_config(const std::string& text, const std::string& path);

}  // namespace lg
