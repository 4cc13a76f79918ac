// Reads a bank's TOML configuration (toml++) into a BankConfig; every error names file, line, key.
#include "bank/bank_config.h"

#include <sys/stat.h>
#include <toml++/toml.h>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <sstream>

#include "bank/slip_model.h"
#include "inputs/checks.h"
#include "inputs/model_file.h"
#include "kernel/records.h"

namespace lg {

namespace {

namespace fs = std::filesystem;

int line_of(const toml::node& n) {
  return static_cast<int>(n.source().begin.line);
}

// Reads the keys of one table: every key must be known, and each value of the right kind.
class Section {
 public:
  Section(const std::string& file, const toml::table& t, std::string context, int line,
          std::set<std::string> known)
      : file_(file), t_(t), context_(std::move(context)), line_(line) {
    for (auto&& [k, v] : t_) {
      if (known.count(std::string(k.str())) == 0) {
        const int l =
            k.source().begin.line > 0 ? static_cast<int>(k.source().begin.line) : line_of(v);
        fail(l, "unknown key \"" + std::string(k.str()) + "\"");
      }
    }
  }

  [[noreturn]] void fail(int line, const std::string& what) const {
    throw BankError(file_ + ":" + std::to_string(line) + ": " + context_ + ": " + what);
  }
  [[noreturn]] void fail(const std::string& key, const std::string& what) const {
    fail(line(key), key + " " + what);
  }

  bool has(const std::string& key) const { return t_.contains(key); }
  const toml::node* node(const std::string& key) const { return t_.get(key); }
  int line(const std::string& key) const {
    const toml::node* n = t_.get(key);
    return n != nullptr && n->source().begin.line > 0 ? line_of(*n) : line_;
  }

  double real(const std::string& key) const {
    const toml::node* n = required(key);
    const std::optional<double> v = n->value<double>();
    if (!n->is_number() || !v || !std::isfinite(*v)) fail(key, "must be a finite number");
    return *v;
  }
  double real(const std::string& key, double fallback) const {
    return has(key) ? real(key) : fallback;
  }
  double positive(const std::string& key) const {
    const double v = real(key);
    if (!(v > 0.0)) fail(key, "must be positive");
    return v;
  }
  long long integer(const std::string& key) const {
    const toml::node* n = required(key);
    if (!n->is_integer()) fail(key, "must be a whole number");
    return *n->value<long long>();
  }
  bool boolean(const std::string& key, bool fallback) const {
    if (!has(key)) return fallback;
    const toml::node* n = required(key);
    if (!n->is_boolean()) fail(key, "must be true or false");
    return *n->value<bool>();
  }
  std::string text(const std::string& key) const {
    const toml::node* n = required(key);
    if (!n->is_string()) fail(key, "must be a string");
    return *n->value<std::string>();
  }
  // A list of `count` numbers.
  std::vector<double> numbers(const std::string& key, std::size_t count) const {
    const toml::node* n = required(key);
    const toml::array* a = n->as_array();
    if (a == nullptr || a->size() != count) {
      fail(key, "must be a list of " + std::to_string(count) + " numbers");
    }
    std::vector<double> v;
    for (const toml::node& e : *a) {
      const std::optional<double> d = e.value<double>();
      if (!e.is_number() || !d || !std::isfinite(*d)) {
        fail(key, "must be a list of " + std::to_string(count) + " numbers");
      }
      v.push_back(*d);
    }
    return v;
  }

 private:
  const toml::node* required(const std::string& key) const {
    const toml::node* n = t_.get(key);
    if (n == nullptr) fail(line_, key + " is missing");
    return n;
  }

  const std::string& file_;
  const toml::table& t_;
  std::string context_;
  int line_;
};

// The table under `key` of the root (which must be a table), or nullptr when absent.
const toml::table* sub_table(const std::string& file, const toml::table& root,
                             const std::string& key) {
  const toml::node* n = root.get(key);
  if (n == nullptr) return nullptr;
  if (!n->is_table()) {
    throw BankError(file + ":" + std::to_string(line_of(*n)) + ": [" + key + "] must be a table");
  }
  return n->as_table();
}

const toml::table& required_table(const std::string& file, const toml::table& root,
                                  const std::string& key) {
  const toml::table* t = sub_table(file, root, key);
  if (t == nullptr) throw BankError(file + ":1: the table [" + key + "] is missing");
  return *t;
}

int table_line(const toml::table& t) {
  return t.source().begin.line > 0 ? line_of(t) : 1;
}

std::string resolve(const std::string& config_path, const std::string& name) {
  const fs::path p(name);
  if (p.is_absolute()) return name;
  const fs::path dir = fs::path(config_path).parent_path();
  return dir.empty() ? name : (dir / p).string();
}

void read_sampling(const std::string& file, const toml::table& root, BankConfig& c) {
  const toml::table& t = required_table(file, root, "sampling");
  const Section s(file, t, "sampling", table_line(t),
                  {"nfreq", "tl", "aw", "xl", "ikmax", "uconv"});
  const long long nfreq = s.integer("nfreq");
  if (nfreq < 1 || nfreq > 1000000) s.fail("nfreq", "must be from 1 to 1000000");
  c.nfreq = static_cast<int>(nfreq);
  c.tl = s.positive("tl");
  c.aw = s.real("aw");
  if (c.aw == 0.0) {
    s.fail("aw",
           "= 0 gives a zero complex frequency at frequency 0; use a damping different "
           "from zero");
  }
  c.uconv = s.real("uconv", 0.0);
  if (c.uconv < 0.0) s.fail("uconv", "must not be negative");
  auto is_auto = [&](const std::string& key) {
    const toml::node* n = s.node(key);
    if (n == nullptr) s.fail(s.line(key), key + " is missing");
    if (!n->is_string()) return false;
    if (*n->value<std::string>() != "auto") s.fail(key, "must be a number or \"auto\"");
    return true;
  };
  if (!is_auto("xl")) c.xl = s.positive("xl");
  if (!is_auto("ikmax")) {
    const long long k = s.integer("ikmax");
    if (k < 1 || k > 100000000) s.fail("ikmax", "must be from 1 to 100000000");
    c.ikmax = static_cast<int>(k);
  }
}

void read_model(const std::string& file, const toml::table& root, BankConfig& c,
                bool sampling_read) {
  const toml::table& t = required_table(file, root, "model");
  const Section s(file, t, "model", table_line(t), {"q_law", "q_reference_hz", "layers"});
  if (s.has("q_law")) {
    const std::string law = s.text("q_law");
    if (law == "classic") {
      c.q_law = QLaw::kClassic;
    } else if (law == "constant-q") {
      c.q_law = QLaw::kConstantQ;
    } else {
      s.fail("q_law", "must be \"classic\" or \"constant-q\", not \"" + law + "\"");
    }
  }
  // Read (and checked) with either law, so that switching the law is a one-line change; only
  // the constant-Q law uses it.
  if (s.has("q_reference_hz")) c.q_reference_hz = s.positive("q_reference_hz");
  if (!s.has("layers")) s.fail(table_line(t), "layers is missing");
  const toml::array* rows = s.node("layers")->as_array();
  if (rows == nullptr || rows->empty()) s.fail("layers", "must be a list of layers");
  if (rows->size() > static_cast<std::size_t>(kMaxLayers)) {
    s.fail("layers", "has " + std::to_string(rows->size()) + " layers; a bank takes at most " +
                         std::to_string(kMaxLayers));
  }
  static const char* const kNames[6] = {"thickness", "vp", "vs", "rho", "qp", "qs"};
  int i = 0;
  for (const toml::node& row : *rows) {
    ++i;
    const int line = row.source().begin.line > 0 ? line_of(row) : s.line("layers");
    const toml::array* a = row.as_array();
    std::array<double, 6> v{};
    bool ok = a != nullptr && a->size() == 6;
    for (std::size_t k = 0; ok && k < 6; ++k) {
      const toml::node& e = *a->get(k);
      const std::optional<double> d = e.value<double>();
      ok = e.is_number() && d && std::isfinite(*d);
      if (ok) v[k] = *d;
    }
    if (!ok) {
      s.fail(line,
             "layer " + std::to_string(i) + ": must be 6 numbers: thickness, vp, vs, rho, qp, qs");
    }
    const bool half_space = i == static_cast<int>(rows->size());
    if (!half_space && !(v[0] > 0.0)) {
      s.fail(line, "layer " + std::to_string(i) + ": thickness = " + std::to_string(v[0]) +
                       " must be positive (only the half-space's, last, is ignored)");
    }
    // Fluid layers (vs = 0, an ocean) lie at the top, over a solid.
    if (v[2] == 0.0) {
      if (half_space)
        s.fail(line, "layer " + std::to_string(i) +
                         ": vs = 0 in the half-space: a fluid half-space is not supported");
      if (!c.layers.empty() && c.layers.back().vs != 0.0) {
        s.fail(line, "layer " + std::to_string(i) +
                         ": vs = 0 below a solid layer: fluid layers are supported only at the top "
                         "of the model (an ocean)");
      }
    }
    for (std::size_t k = 1; k < 6; ++k) {
      if (k == 2 && v[2] == 0.0) continue;
      if (!(v[k] > 0.0)) {
        s.fail(line, "layer " + std::to_string(i) + ": " + kNames[k] + " must be positive" +
                         (k == 2 ? " (or 0 for a fluid layer at the top: an ocean)" : ""));
      }
    }
    // The quality factors must keep the classic law's velocity dispersion finite up to the
    // highest frequency, as in a model file.
    if (c.q_law == QLaw::kClassic && sampling_read) {
      ModelParams p;
      p.NFREQ = c.nfreq;
      p.TL = c.tl;
      p.AW = c.aw;
      if (auto problem = layer_problem_with_fluid(i, {0.0, v[1], v[2], v[3], v[4], v[5]}, p)) {
        s.fail(line, *problem);
      }
    }
    c.layers.push_back(LayerRow{half_space ? 0.0 : v[0], v[1], v[2], v[3], v[4], v[5]});
  }
}

void read_fault(const std::string& file, const toml::table& root, BankConfig& c) {
  const toml::table& t = required_table(file, root, "fault");
  FaultSpec& f = c.fault;
  f.line = table_line(t);
  const Section s(file, t, "fault", f.line,
                  {"top_center", "top_center_geo", "strike", "dip", "length", "width", "n_strike",
                   "n_dip", "subfaults", "slip_model"});
  if (s.has("slip_model")) {
    for (const char* k : {"top_center", "top_center_geo", "strike", "dip", "length", "width",
                          "n_strike", "n_dip", "subfaults"}) {
      if (s.has(k)) s.fail(k, "does not go with slip_model (the slip model's subfaults)");
    }
    f.rectangle = false;
    f.slip_model_file = resolve(c.path, s.text("slip_model"));
    f.subfaults_line = s.line("slip_model");
    // The stations given by lat/lon are placed about the slip model's hypocentre.
    std::string text;
    try {
      text = read_input_file(f.slip_model_file);
    } catch (const BankError& e) {
      throw BankError(file + ":" + std::to_string(f.subfaults_line) + ": fault: slip_model = \"" +
                      f.slip_model_file + "\": " + e.what());
    }
    const SlipModelData m = read_slip_model(text, f.slip_model_file);
    if (m.geographic() && std::isfinite(m.hypo_lat) && std::isfinite(m.hypo_lon)) {
      f.geo = true;
      f.origin_lat = m.hypo_lat;
      f.origin_lon = m.hypo_lon;
    }
    return;
  }
  if (s.has("top_center_geo")) {
    const std::vector<double> g = s.numbers("top_center_geo", 3);
    if (std::fabs(g[0]) > 90.0) s.fail("top_center_geo", "latitude must be within [-90, 90]");
    f.geo = true;
    f.origin_lat = g[0];
    f.origin_lon = g[1];
    f.top_center = {0.0, 0.0, g[2]};
    if (s.has("top_center")) s.fail("top_center", "and top_center_geo exclude each other");
  }
  if (s.has("subfaults")) {
    for (const char* k : {"top_center", "strike", "dip", "length", "width", "n_strike", "n_dip"}) {
      if (s.has(k)) s.fail(k, "does not go with subfaults (a list of subfaults)");
    }
    f.rectangle = false;
    f.subfaults_file = resolve(c.path, s.text("subfaults"));
    f.subfaults_line = s.line("subfaults");
    return;
  }
  if (!f.geo) {
    const std::vector<double> v = s.numbers("top_center", 3);
    f.top_center = {v[0], v[1], v[2]};
  }
  if (f.top_center[2] < 0.0) s.fail(f.geo ? "top_center_geo" : "top_center", "depth is negative");
  f.strike = s.real("strike");
  f.dip = s.real("dip");
  if (f.dip < 0.0 || f.dip > 90.0) s.fail("dip", "must be from 0 to 90 degrees");
  f.length = s.positive("length");
  f.width = s.positive("width");
  const long long ns = s.integer("n_strike");
  const long long nd = s.integer("n_dip");
  if (ns < 1 || ns > 100000) s.fail("n_strike", "must be from 1 to 100000");
  if (nd < 1 || nd > 100000) s.fail("n_dip", "must be from 1 to 100000");
  if (ns * nd > 10000000) s.fail("n_dip", "x n_strike exceeds 10000000 subfaults");
  f.n_strike = static_cast<int>(ns);
  f.n_dip = static_cast<int>(nd);
}

void read_station(const std::string& file, const toml::table& t, int i, BankConfig& c,
                  bool fault_read, std::set<std::string>& names);

// Each station's problems are collected in `problems`, so that one bad station does not hide
// the next; `fault_read` is false when the [fault] table had problems of its own.
void read_stations(const std::string& file, const toml::table& root, BankConfig& c, bool fault_read,
                   std::vector<std::string>& problems) {
  const toml::node* n = root.get("station");
  if (n == nullptr) throw BankError(file + ":1: no [[station]] is given");
  const toml::array* a = n->as_array();
  if (a == nullptr || !a->is_array_of_tables()) {
    throw BankError(file + ":" + std::to_string(line_of(*n)) +
                    ": station must be given as [[station]] tables");
  }
  std::set<std::string> names;
  int i = 0;
  for (const toml::node& e : *a) {
    ++i;
    try {
      read_station(file, *e.as_table(), i, c, fault_read, names);
    } catch (const BankError& err) {
      for (const std::string& l : err.lines()) problems.push_back(l);
    }
  }
}

void read_station(const std::string& file, const toml::table& t, int i, BankConfig& c,
                  bool fault_read, std::set<std::string>& names) {
  StationSpec st;
  st.line = table_line(t);
  const Section s(file, t, "station " + std::to_string(i), st.line,
                  {"name", "x", "y", "lat", "lon", "depth"});
  st.name = s.text("name");
  if (st.name.empty()) s.fail("name", "is empty");
  // Names become file names (SAC files, classic inputs) and dataset entries: no control
  // characters (a NUL would cut them), no path separators, not "." or "..".
  for (const char ch : st.name) {
    const auto u = static_cast<unsigned char>(ch);
    if (u < 0x20 || u == 0x7f) s.fail("name", "holds a control character");
    if (ch == '/' || ch == '\\') {
      s.fail("name", "\"" + st.name + "\" holds a path separator (names become file names)");
    }
  }
  if (st.name == "." || st.name == "..") {
    s.fail("name", "\"" + st.name + "\" cannot be a file name");
  }
  if (!names.insert(st.name).second) s.fail("name", "\"" + st.name + "\" is used twice");
  st.geo = s.has("lat") || s.has("lon");
  if (st.geo) {
    if (s.has("x")) s.fail("x", "and lat/lon exclude each other");
    if (s.has("y")) s.fail("y", "and lat/lon exclude each other");
    st.lat = s.real("lat");
    st.lon = s.real("lon");
    if (std::fabs(st.lat) > 90.0) s.fail("lat", "must be within [-90, 90]");
    if (!c.fault.geo && fault_read) {
      s.fail(s.line("lat"), "lat/lon need [fault] top_center_geo = [lat, lon, depth]");
    }
  } else {
    st.x = s.real("x");
    st.y = s.real("y");
  }
  if (s.has("depth")) {
    st.depth = s.real("depth");
    if (!(st.depth >= 0.0)) s.fail("depth", "must not be negative (depths are positive down)");
    double water = 0.0;
    for (std::size_t k = 0; k + 1 < c.layers.size() && c.layers[k].vs == 0.0; ++k) {
      water += c.layers[k].thickness;
    }
    if (st.depth < water && !c.pressure) {
      s.fail("depth", "= " + show_real(st.depth) + " lies in the water (the sea floor is at " +
                          show_real(water) +
                          "): a station records the displacement of the solid, at or below the "
                          "sea floor (or, with \"pressure\" in [bank] quantities, the water's)");
    }
    const bool fluid = c.layers.size() > 1 && c.layers.front().vs == 0.0;
    if (st.depth > water && c.pressure && fluid) {
      s.fail("depth", "= " + show_real(st.depth) + " lies below the sea floor (at " +
                          show_real(water) +
                          "): the pressure of [bank] quantities is computed in the water, so "
                          "every station must lie in the water or at the sea floor");
    }
  }
  c.stations.push_back(st);
}

// The source kinds of [bank] sources: whether forces are asked for besides the moment tensor.
bool read_sources(const Section& b) {
  if (!b.has("sources")) return false;
  const char* what = "must be a list of source kinds: [\"moment\"] or [\"moment\", \"force\"]";
  const toml::array* a = b.node("sources")->as_array();
  if (a == nullptr || a->empty()) b.fail("sources", what);
  bool moment = false, force = false;
  for (const toml::node& e : *a) {
    const std::optional<std::string> v = e.value<std::string>();
    if (!e.is_string() || (*v != "moment" && *v != "force")) b.fail("sources", what);
    bool& seen = *v == "moment" ? moment : force;
    if (seen) b.fail("sources", "names \"" + *v + "\" twice");
    seen = true;
  }
  if (!moment) {
    b.fail("sources",
           "must include \"moment\": a bank holds the moment tensor's spectra, and the "
           "forces' besides them");
  }
  return force;
}

// The quantities of [bank] quantities: whether the strain and the rotation are stored besides
// the displacement.
void read_quantities(const Section& b, BankConfig& c) {
  if (!b.has("quantities")) return;
  c.quantities_line = b.line("quantities");
  const char* what =
      "must be a list of quantities from \"displacement\", \"strain\", \"rotation\" and "
      "\"pressure\"";
  const toml::array* a = b.node("quantities")->as_array();
  if (a == nullptr || a->empty()) b.fail("quantities", what);
  bool displacement = false;
  for (const toml::node& e : *a) {
    const std::optional<std::string> v = e.value<std::string>();
    if (!e.is_string() ||
        (*v != "displacement" && *v != "strain" && *v != "rotation" && *v != "pressure")) {
      b.fail("quantities", what);
    }
    bool& seen = *v == "displacement" ? displacement
                 : *v == "strain"     ? c.strain
                 : *v == "rotation"   ? c.rotation
                                      : c.pressure;
    if (seen) b.fail("quantities", "names \"" + *v + "\" twice");
    seen = true;
  }
  if (!displacement) {
    b.fail("quantities",
           "must include \"displacement\": a bank holds the displacement's spectra, and the "
           "others' besides them");
  }
}

// The [bank] table: the output file (whose folder must exist), statics, source kinds,
// precision and compression of the stored data sets.
void read_bank_table(const std::string& path, const toml::table& root, BankConfig& c) {
  const toml::table& bank = required_table(path, root, "bank");
  const Section b(path, bank, "bank", table_line(bank),
                  {"output", "statics", "precision", "compression", "sources", "quantities"});
  const std::string output = b.text("output");
  if (output.empty() || output.back() == '/') b.fail("output", "must name a file");
  c.output = resolve(path, output);
  c.output_line = b.line("output");
  const fs::path folder = fs::path(c.output).lexically_normal().parent_path();
  std::error_code ec;
  if (!folder.empty() && !fs::is_directory(folder, ec)) {
    b.fail("output", "= \"" + output + "\": the folder " + folder.string() + " does not exist");
  }
  c.statics = b.boolean("statics", false);
  c.force = read_sources(b);
  read_quantities(b, c);
  if (b.has("precision")) {
    const std::string v = b.text("precision");
    if (v != "double" && v != "single") {
      b.fail("precision", "must be \"double\" or \"single\", not \"" + v + "\"");
    }
    c.single = v == "single";
  }
  if (b.has("compression")) {
    const std::string v = b.text("compression");
    if (v != "none" && v != "gzip") {
      b.fail("compression", "must be \"none\" or \"gzip\", not \"" + v + "\"");
    }
    c.gzip = v == "gzip";
  }
}

}  // namespace

BankConfig parse_bank_config(const std::string& text, const std::string& path) {
  toml::table root;
  try {
    root = toml::parse(text, path);
  } catch (const toml::parse_error& e) {
    throw BankError(path + ":" + std::to_string(e.source().begin.line) + ": " +
                    std::string(e.description()));
  }
  BankConfig c;
  c.path = path;
  c.text = text;
  // Every table is read, also after another's problem, so that one pass reports them all.
  std::vector<std::string> problems;
  const auto attempt = [&](const std::function<void()>& read) {
    try {
      read();
      return true;
    } catch (const BankError& e) {
      for (const std::string& l : e.lines()) problems.push_back(l);
      return false;
    }
  };
  for (auto&& [k, v] : root) {
    static const std::set<std::string> kKnown = {"bank", "sampling", "model", "fault", "station"};
    if (kKnown.count(std::string(k.str())) == 0) {
      problems.push_back(message_text(path + ":" + std::to_string(k.source().begin.line) +
                                      ": unknown table or key \"" + std::string(k.str()) + "\""));
    }
  }
  attempt([&] { read_bank_table(path, root, c); });
  const bool sampling_read = attempt([&] { read_sampling(path, root, c); });
  attempt([&] { read_model(path, root, c, sampling_read); });
  const bool fault_read = attempt([&] { read_fault(path, root, c); });
  attempt([&] { read_stations(path, root, c, fault_read, problems); });
  if (!problems.empty()) throw BankError(problems);
  return c;
}

std::string read_input_file(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0)
    throw BankError(path + ": cannot open: " + std::strerror(errno));
  if (!S_ISREG(st.st_mode)) {
    throw BankError(path + ": cannot open: not a regular file (" +
                    (S_ISDIR(st.st_mode) ? "a folder" : "a device, pipe or socket") + ")");
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) throw BankError(path + ": cannot open: " + std::strerror(errno));
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw BankError(path + ": cannot read: " + std::strerror(errno));
  return text;
}

BankConfig read_bank_config(const std::string& path) {
  return parse_bank_config(read_input_file(path), path);
}

}  // namespace lg
