#include "seis/seis_options.h"

#include <cmath>
#include <string>

#include "seis/trace_names.h"

namespace lg::seis {

namespace {

constexpr const char* kUsage =
    "usage: layergreen-seis [-o DIR] [--format sac|columns] [--source SOURCE]\n"
    "                       [--lowpass FC] [--poles N] [--taper W | --no-taper] FILE...\n";

// The help text; the words for the elements and traces come from the layout.
std::string help_text() {
  const std::string values = std::to_string(kElementComponents);
  std::string components;
  for (const OutputComponent& c : kQuantity.components) {
    if (!components.empty()) components += ", ";
    components += c.code;
  }
  return std::string(kUsage) +
         "\n"
         "Turns result files of layergreen into seismograms: for each FILE, the time series of\n"
         "the " +
         std::string(kSourceKind.description) + " " + element_labels_text() + " and\n" +
         std::string(kQuantity.description) +
         ", 2*NFREQ samples at TL/(2*NFREQ)\n"
         "from the source origin time. The damping of the spectra (-pi*AW/TL) is undone.\n"
         "\n"
         "Options:\n"
         "  -o, --output DIR   write into DIR (created when missing); default: the folder of\n"
         "                     each input file\n"
         "  --format sac       " +
         values + " binary SAC files per input, " + trace_range_text("NAME", ".sac") +
         "\n"
         "                     (element 1-" +
         std::to_string(kElements) + ", component " + components +
         "); the default\n"
         "  --format columns   one text file per input, NAME.txt: the time and " +
         values +
         " columns\n"
         "  --source SOURCE    moment history M(t) to convolve with:\n"
         "                       impulse      M = delta(t): the impulse response as stored,\n"
         "                                    i.e. ground velocity for a step in moment\n"
         "                                    (the default)\n"
         "                       step         displacement for a step in moment\n"
         "                       triangle:D   displacement for a moment rate that is a\n"
         "                                    triangle of duration D (final moment 1)\n"
         "                       ramp:D       displacement for a smoothed ramp of rise time D,\n"
         "                                    M = (1 - cos(pi t/D))/2 (final moment 1)\n"
         "  --lowpass FC       causal Butterworth low-pass with corner frequency FC (cycles\n"
         "                     per time unit of the model)\n"
         "  --poles N          number of poles of the low-pass, 1 to 12 (default 4)\n"
         "  --taper W          let the spectra fall smoothly over the top fraction W of the\n"
         "                     band, 0 < W <= 0.9 (default 0.7): from 0.99 at (1-W)*fN as\n"
         "                     exp(-c (f/fN)^m), to zero at fN = NFREQ/TL. Without it the cut\n"
         "                     of the spectra at fN rings, and the damping correction raises\n"
         "                     that ringing towards the end of the record (up to exp(pi*AW)).\n"
         "                     Causal (minimum phase); applied after the source and low-pass\n"
         "  --no-taper         no taper (--taper 0): the spectra exactly as stored\n"
         "  --help             show this help and exit\n"
         "  --version          show the version and exit\n"
         "\n"
         "Every output of a FILE is written under a temporary name and renamed when all are\n"
         "complete; a bad FILE gets one message naming the file and line, and no output.\n"
         "Exit status: 0 when every FILE was converted, 2 on a usage error or when any FILE\n"
         "could not be read or its outputs written (the others are still converted).\n";
}

double positive_number(const std::string& option, const std::string& text) {
  std::size_t used = 0;
  double v = 0.0;
  try {
    v = std::stod(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used == 0 || used != text.size() || !std::isfinite(v) || !(v > 0.0)) {
    throw UsageError(option + " needs a positive number, not \"" + text + "\"");
  }
  return v;
}

double taper_width(const std::string& text) {
  std::size_t used = 0;
  double v = -1.0;
  try {
    v = std::stod(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used == 0 || used != text.size() || !(v >= 0.0 && v <= kMaxTaperWidth)) {
    throw UsageError("--taper needs a fraction of the band from 0 to 0.9, not \"" + text + "\"");
  }
  return v;
}

}  // namespace

const char* seis_usage() {
  return kUsage;
}
const char* seis_help() {
  static const std::string text = help_text();
  return text.c_str();
}

SeisOptions parse_seis_options(const std::vector<std::string>& args) {
  SeisOptions o;
  o.processing.taper.width = kDefaultTaperWidth;
  bool options_done = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (options_done || a.empty() || a[0] != '-' || a == "-") {
      o.files.push_back(a);
      continue;
    }
    if (a == "--") {
      options_done = true;
      continue;
    }
    if (a == "--help" || a == "-h") {
      o.help = true;
      continue;
    }
    if (a == "--no-taper") {
      o.processing.taper.width = 0.0;
      continue;
    }
    if (a == "--version") {
      o.version = true;
      continue;
    }
    // Options with a value, as "--name VALUE" or "--name=VALUE".
    std::string name = a;
    std::optional<std::string> value;
    const std::size_t eq = a.find('=');
    if (a.rfind("--", 0) == 0 && eq != std::string::npos) {
      name = a.substr(0, eq);
      value = a.substr(eq + 1);
    }
    const bool takes_value = name == "-o" || name == "--output" || name == "--format" ||
                             name == "--source" || name == "--lowpass" || name == "--poles" ||
                             name == "--taper";
    if (!takes_value) throw UsageError("unknown option " + a);
    if (!value) {
      if (i + 1 >= args.size()) throw UsageError(name + " needs a value");
      value = args[++i];
    }
    if (name == "-o" || name == "--output") {
      if (value->empty()) throw UsageError(name + " needs a folder name");
      o.output_dir = *value;
    } else if (name == "--format") {
      if (*value == "sac") {
        o.format = OutputFormat::kSac;
      } else if (*value == "columns") {
        o.format = OutputFormat::kColumns;
      } else {
        throw UsageError("--format must be sac or columns, not \"" + *value + "\"");
      }
    } else if (name == "--source") {
      try {
        o.processing.source = parse_source(*value);
      } catch (const std::invalid_argument& e) {
        throw UsageError(std::string("--source: ") + e.what());
      }
    } else if (name == "--lowpass") {
      o.processing.lowpass.corner = positive_number(name, *value);
    } else if (name == "--taper") {
      o.processing.taper.width = taper_width(*value);
    } else {  // --poles
      const double n = positive_number(name, *value);
      if (n != std::floor(n) || n > 12) {
        throw UsageError("--poles must be a whole number from 1 to 12, not \"" + *value + "\"");
      }
      o.processing.lowpass.poles = static_cast<int>(n);
    }
  }
  if (!o.help && !o.version && o.files.empty()) throw UsageError("no result file given");
  return o;
}

}  // namespace lg::seis
