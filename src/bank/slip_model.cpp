// Readers of FSP, USGS .param and SRF slip models.
#include "bank/slip_model.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <regex>
#include <sstream>
#include <string_view>

#include "bank/bank_config.h"
#include "kernel/constants.h"
#include "textio/list_read.h"

namespace lg {

namespace {

constexpr double kDegree = kPiFull / 180.0;

[[noreturn]] void fail(const std::string& file, int line, const std::string& what) {
  throw BankError(file + ":" + std::to_string(line) + ": " + what);
}

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

std::vector<std::string> words(const std::string& s) {
  std::istringstream in(s);
  std::vector<std::string> v;
  for (std::string w; in >> w;) v.push_back(w);
  return v;
}

// The lines of a text, a byte-order mark skipped.
std::vector<std::string> text_lines(const std::string& text) {
  const std::string_view bom = "\xef\xbb\xbf";
  std::istringstream in(text.rfind(bom, 0) == 0 ? text.substr(bom.size()) : text);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool number(const std::string& s, double& v) {
  return parse_real(s, v);
}

// The numbers of a line, `count` of them when count > 0.
std::vector<double> numbers(const std::string& file, int lineno, const std::string& line,
                            std::size_t count, const std::string& what) {
  const std::vector<std::string> w = words(line);
  if (count > 0 && w.size() != count) {
    fail(file, lineno,
         "expected " + std::to_string(count) + " " + what + ", found " + std::to_string(w.size()));
  }
  std::vector<double> v(w.size());
  for (std::size_t i = 0; i < w.size(); ++i) {
    if (!number(w[i], v[i])) fail(file, lineno, "'" + w[i] + "' is not a number");
  }
  return v;
}

void check_finite(const std::string& file, int lineno, double v, const std::string& what) {
  if (!std::isfinite(v)) fail(file, lineno, what + " is not a finite number");
}

// KEY = number pairs of a header line, keys in capitals.
std::map<std::string, double> pairs(const std::string& text) {
  static const std::regex kPair(
      R"(([A-Za-z][A-Za-z0-9_]*)\s*=\s*([-+]?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?))");
  std::map<std::string, double> out;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), kPair);
       it != std::sregex_iterator(); ++it) {
    double v = 0.0;
    if (number((*it)[2].str(), v)) out.emplace(upper((*it)[1].str()), v);
  }
  return out;
}

// Moves a top-centre half a subfault (of width `width`) down dip.
void move_down_dip(SlipSubfault& s, double width) {
  const double half = width / 2.0;
  s.depth += half * std::sin(s.dip * kDegree);
  if (std::isfinite(s.lat) && std::isfinite(s.lon)) {
    const GeoPoint p = geodesic_destination(GeoPoint{s.lat, s.lon}, s.strike + 90.0,
                                            half * std::cos(s.dip * kDegree));
    s.lat = p.lat;
    s.lon = p.lon;
  }
}

// ---- FSP ----

struct FspSegment {
  int line = 0;
  std::optional<double> strike, dip, dx, dz;
  std::vector<std::vector<double>> rows;
  std::vector<int> lines;
};

std::string fsp_column(const std::string& name) {
  static const std::map<std::string, std::string> kNames = {
      {"LAT", "lat"},   {"LON", "lon"},   {"X==EW", "x_ew"}, {"Y==NS", "y_ns"},
      {"X", "x_ew"},    {"Y", "y_ns"},    {"Z", "z"},        {"SLIP", "slip"},
      {"RAKE", "rake"}, {"TRUP", "trup"}, {"RISE", "rise"},  {"SF_MOMENT", "moment"}};
  const auto it = kNames.find(upper(name));
  return it == kNames.end() ? name : it->second;
}

SlipModelData read_fsp(const std::vector<std::string>& lines, const std::string& file) {
  static const std::regex kSlipUnit(R"(SLIP\s+in\s+(cm|m)\b)", std::regex::icase);
  static const std::regex kPairPresent(R"([A-Za-z][A-Za-z0-9_]*\s*=\s*[-+.0-9])");
  SlipModelData m;
  m.format = "fsp";
  std::map<std::string, double> header;
  double slip_scale = 1.0;
  std::vector<std::string> names;
  std::string column_words;
  std::vector<FspSegment> segments;
  bool in_segment = false;
  for (int lineno = 1; lineno <= static_cast<int>(lines.size()); ++lineno) {
    const std::string s = trim(lines[static_cast<std::size_t>(lineno - 1)]);
    if (s.empty()) continue;
    if (s[0] == '%') {
      const std::size_t start = s.find_first_not_of('%');
      const std::string body = start == std::string::npos ? std::string() : trim(s.substr(start));
      const std::string up = upper(body);
      if (up.rfind("SEGMENT", 0) == 0 && up.find('#') != std::string::npos) {
        FspSegment g;
        g.line = lineno;
        std::string b = body;
        std::replace(b.begin(), b.end(), '#', ' ');
        const auto p = pairs(b);
        if (p.count("STRIKE")) g.strike = p.at("STRIKE");
        if (p.count("DIP")) g.dip = p.at("DIP");
        segments.push_back(g);
        in_segment = true;
        continue;
      }
      if (up.find("COORDINATES ARE GIVEN FOR") != std::string::npos) {
        m.top_centre = up.find("TOP-CENT") != std::string::npos ||
                       up.find("TOP CENT") != std::string::npos ||
                       up.find("TOPCENT") != std::string::npos;
      }
      std::smatch unit;
      if (std::regex_search(body, unit, kSlipUnit)) {
        slip_scale = lower(unit[1].str()) == "cm" ? 0.01 : 1.0;
      }
      const std::vector<std::string> w = words(body);
      auto has = [&](const char* k) { return std::find(w.begin(), w.end(), k) != w.end(); };
      if (((has("LAT") && has("LON")) || has("X==EW")) && has("Z") &&
          !std::regex_search(body, kPairPresent)) {
        names.clear();
        column_words.clear();
        for (const std::string& c : w) {
          names.push_back(fsp_column(c));
          column_words += (column_words.empty() ? "" : " ") + c;
        }
        auto named = [&](const char* k) {
          return std::find(names.begin(), names.end(), k) != names.end();
        };
        for (const char* need : {"z", "slip"}) {
          if (!named(need)) fail(file, lineno, "the column names lack " + upper(need));
        }
        if (!(named("lat") && named("lon")) && !(named("x_ew") && named("y_ns"))) {
          fail(file, lineno, "the column names give neither LAT LON nor X==EW Y==NS");
        }
        continue;
      }
      const auto p = pairs(body);
      if (in_segment && segments.back().rows.empty()) {
        if (p.count("DX")) segments.back().dx = p.at("DX");
        if (p.count("DZ")) segments.back().dz = p.at("DZ");
      }
      if (up.rfind("LOC", 0) == 0 && !in_segment) {
        for (const auto& [k, v] : p) header.emplace("HYPO_" + k, v);
      } else {
        for (const auto& [k, v] : p) {
          if (!in_segment || k == "DX" || k == "DZ") header.emplace(k, v);
        }
      }
      continue;
    }
    if (names.empty()) {
      fail(file, lineno,
           "a row of numbers before the column names (a '%' line with LAT LON ... Z SLIP)");
    }
    if (segments.empty()) {
      segments.emplace_back();
      segments.back().line = lineno;
      in_segment = true;
    }
    segments.back().rows.push_back(
        numbers(file, lineno, s, names.size(), "columns (" + column_words + ")"));
    segments.back().lines.push_back(lineno);
  }
  std::erase_if(segments, [](const FspSegment& g) { return g.rows.empty(); });
  if (segments.empty()) {
    fail(file, static_cast<int>(lines.size()),
         "no subfaults (rows of numbers after the column names)");
  }
  auto column = [&](const char* k) -> int {
    const auto it = std::find(names.begin(), names.end(), k);
    return it == names.end() ? -1 : static_cast<int>(it - names.begin());
  };
  auto head = [&](const char* k) -> std::optional<double> {
    const auto it = header.find(k);
    return it == header.end() ? std::nullopt : std::optional<double>(it->second);
  };
  for (std::size_t k = 0; k < segments.size(); ++k) {
    const FspSegment& g = segments[k];
    const std::optional<double> strike = g.strike ? g.strike : head("STRK");
    const std::optional<double> dip = g.dip ? g.dip : head("DIP");
    const std::optional<double> dx = g.dx ? g.dx : head("DX");
    const std::optional<double> dz = g.dz ? g.dz : head("DZ");
    if (!strike) fail(file, g.line, "the header gives no strike (STRK = or SEGMENT STRIKE =)");
    if (!dip)
      fail(file, g.line, "the header gives no dip (DIP = in the Mech line or the segment's)");
    if (!dx) fail(file, g.line, "the header gives no subfault length Dx");
    if (!dz) fail(file, g.line, "the header gives no subfault width Dz");
    if (!(*dx > 0.0 && *dz > 0.0)) fail(file, g.line, "the subfault size Dx, Dz must be positive");
    for (std::size_t r = 0; r < g.rows.size(); ++r) {
      const std::vector<double>& row = g.rows[r];
      const int lineno = g.lines[r];
      auto get = [&](const char* k, const char* label) {
        const int c = column(k);
        if (c < 0) return kNoValue;
        check_finite(file, lineno, row[static_cast<std::size_t>(c)], label);
        return row[static_cast<std::size_t>(c)];
      };
      SlipSubfault s;
      s.slip = get("slip", "SLIP") * slip_scale;
      s.depth = get("z", "Z");
      s.lat = get("lat", "LAT");
      s.lon = get("lon", "LON");
      s.x = get("y_ns", "Y==NS");
      s.y = get("x_ew", "X==EW");
      if (column("rake") >= 0) {
        s.rake = get("rake", "RAKE");
      } else if (head("RAKE")) {
        s.rake = *head("RAKE");
      } else {
        fail(file, g.line, "no RAKE column and no RAKE = in the header");
      }
      if (column("trup") >= 0) s.rupture_time = row[static_cast<std::size_t>(column("trup"))];
      if (column("rise") >= 0) s.rise_time = row[static_cast<std::size_t>(column("rise"))];
      s.strike = *strike;
      s.dip = *dip;
      s.area = *dx * *dz;
      s.segment = static_cast<int>(k);
      s.dz = *dz;
      if (m.top_centre) move_down_dip(s, *dz);
      m.subfaults.push_back(s);
    }
  }
  m.hypo_lat = head("HYPO_LAT").value_or(kNoValue);
  m.hypo_lon = head("HYPO_LON").value_or(kNoValue);
  m.hypo_depth = head("HYPO_DEP").value_or(kNoValue);
  m.hypo_x = 0.0;
  m.hypo_y = 0.0;
  return m;
}

// ---- USGS .param ----

SlipModelData read_param(const std::vector<std::string>& lines, const std::string& file) {
  static const std::regex kSize(R"((Dx|Dy)\s*=\s*([-+0-9.eE]+))");
  static const std::regex kCount(R"(n[xy]\([^)]*\)\s*=\s*(\d+))");
  static const std::regex kCell(
      R"(cell\s*\(\s*(\d+)\s*,\s*(\d+)\s*\).*?lon\s*:\s*(\S+)\s+lat\s*:\s*(\S+))",
      std::regex::icase);
  struct Segment {
    int line = 0, nx = 0, ny = 0;
    double dx = 0.0, dy = 0.0;
    std::vector<std::vector<double>> rows;
    std::vector<int> lines;
  };
  std::vector<Segment> segments;
  struct Hypo {
    std::size_t segment;
    int i, j;
    double lon, lat;
  };
  std::optional<Hypo> hypo;
  enum class State { kNone, kCorners, kRows } state = State::kNone;
  for (int lineno = 1; lineno <= static_cast<int>(lines.size()); ++lineno) {
    const std::string s = trim(lines[static_cast<std::size_t>(lineno - 1)]);
    if (s.empty()) continue;
    if (s[0] == '#') {
      const std::string low = lower(s);
      if (low.rfind("#fault_segment", 0) == 0) {
        Segment g;
        g.line = lineno;
        bool have_dx = false, have_dy = false;
        for (auto it = std::sregex_iterator(s.begin(), s.end(), kSize);
             it != std::sregex_iterator(); ++it) {
          double v = 0.0;
          if (!number((*it)[2].str(), v)) fail(file, lineno, "Dx or Dy is not a number");
          if (lower((*it)[1].str()) == "dx") {
            g.dx = v;
            have_dx = true;
          } else {
            g.dy = v;
            have_dy = true;
          }
        }
        std::vector<int> n;
        for (auto it = std::sregex_iterator(s.begin(), s.end(), kCount);
             it != std::sregex_iterator(); ++it) {
          n.push_back(std::stoi((*it)[1].str()));
        }
        if (!have_dx || !have_dy || n.size() != 2) {
          fail(file, lineno, "a #Fault_segment line needs nx(...)=, Dx=, ny(...)= and Dy=");
        }
        g.nx = n[0];
        g.ny = n[1];
        segments.push_back(g);
        state = State::kNone;
      } else if (low.rfind("#boundary", 0) == 0) {
        std::smatch c;
        if (std::regex_search(s, c, kCell) && !hypo && !segments.empty()) {
          double lon = 0.0, lat = 0.0;
          if (!number(c[3].str(), lon) || !number(c[4].str(), lat)) {
            fail(file, lineno, "the hypocentre's Lon: and Lat: are not numbers");
          }
          hypo = Hypo{segments.size() - 1, std::stoi(c[1].str()), std::stoi(c[2].str()), lon, lat};
        }
      } else if (low.rfind("#lon", 0) == 0) {
        state = State::kCorners;
      } else if (low.rfind("#lat", 0) == 0) {
        state = State::kRows;
      }
      continue;
    }
    if (segments.empty())
      fail(file, lineno, "a row of numbers before the first #Fault_segment line");
    if (state == State::kRows) {
      segments.back().rows.push_back(
          numbers(file, lineno, s, 11,
                  "columns (lat lon depth slip rake strike dip t_rup t_ris t_fal mo)"));
      segments.back().lines.push_back(lineno);
    } else if (state != State::kCorners) {
      fail(file, lineno, "a row of numbers outside a segment's corners and subfaults");
    }
  }
  if (segments.empty()) {
    fail(file, static_cast<int>(lines.size()), "no #Fault_segment line: not a USGS .param file");
  }
  SlipModelData m;
  m.format = "param";
  static const char* const kNames[] = {"lat", "lon",   "depth", "slip",  "rake", "strike",
                                       "dip", "t_rup", "t_ris", "t_fal", "mo"};
  std::vector<std::size_t> first;
  for (std::size_t k = 0; k < segments.size(); ++k) {
    const Segment& g = segments[k];
    const std::size_t expected = static_cast<std::size_t>(g.nx) * static_cast<std::size_t>(g.ny);
    if (g.rows.size() != expected) {
      fail(file, g.lines.empty() ? g.line : g.lines.back(),
           "segment " + std::to_string(k + 1) + " has " + std::to_string(g.rows.size()) +
               " subfaults, not nx x ny = " + std::to_string(expected));
    }
    if (!(g.dx > 0.0 && g.dy > 0.0)) fail(file, g.line, "Dx and Dy must be positive");
    first.push_back(m.subfaults.size());
    for (std::size_t r = 0; r < g.rows.size(); ++r) {
      const std::vector<double>& v = g.rows[r];
      for (std::size_t c = 0; c < v.size(); ++c) check_finite(file, g.lines[r], v[c], kNames[c]);
      for (std::size_t c = 7; c < 10; ++c) {
        if (v[c] < 0.0) fail(file, g.lines[r], std::string(kNames[c]) + " must not be negative");
      }
      SlipSubfault s;
      s.lat = v[0];
      s.lon = v[1];
      s.depth = v[2];
      s.slip = v[3] / 100.0;
      s.rake = v[4];
      s.strike = v[5];
      s.dip = v[6];
      s.rupture_time = v[7];
      s.rise_time = v[8];
      s.area = g.dx * g.dy;
      s.segment = static_cast<int>(k);
      m.subfaults.push_back(s);
    }
  }
  if (hypo) {
    const Segment& g = segments[hypo->segment];
    m.hypo_lat = hypo->lat;
    m.hypo_lon = hypo->lon;
    if (hypo->i >= 1 && hypo->i <= g.nx && hypo->j >= 1 && hypo->j <= g.ny) {
      m.hypo_depth = m.subfaults[first[hypo->segment] +
                                 static_cast<std::size_t>((hypo->j - 1) * g.nx + hypo->i - 1)]
                         .depth;
    }
  }
  return m;
}

// ---- SRF ----

class Tokens {
 public:
  Tokens(const std::vector<std::string>& lines, std::size_t start, std::string file)
      : file_(std::move(file)) {
    for (std::size_t i = start; i < lines.size(); ++i) {
      const std::string t = trim(lines[i]);
      if (!t.empty() && t[0] == '#') continue;
      for (const std::string& w : words(lines[i])) items_.emplace_back(w, static_cast<int>(i + 1));
    }
  }
  int line() const {
    if (items_.empty()) return 1;
    return items_[std::min(at_, items_.size() - 1)].second;
  }
  bool done() const { return at_ >= items_.size(); }
  std::string word(const std::string& what) {
    if (done()) fail(file_, line(), "the file ends where " + what + " should follow");
    return items_[at_++].first;
  }
  double real(const std::string& what) {
    const int l = line();
    const std::string w = word(what);
    double v = 0.0;
    if (!number(w, v)) fail(file_, l, what + ": '" + w + "' is not a number");
    return v;
  }
  int count(const std::string& what) {
    const int l = line();
    const double v = real(what);
    if (!(v >= 0.0) || v != std::floor(v) || v > 1e9) {
      fail(file_, l, what + " must be a whole number");
    }
    return static_cast<int>(v);
  }

 private:
  std::string file_;
  std::vector<std::pair<std::string, int>> items_;
  std::size_t at_ = 0;
};

SlipModelData read_srf(const std::vector<std::string>& lines, const std::string& file) {
  std::size_t first = 0;
  while (first < lines.size() && trim(lines[first]).empty()) ++first;
  const std::string version = first < lines.size() ? trim(lines[first]) : std::string();
  if (version != "1.0" && version != "2.0") {
    fail(file, static_cast<int>(std::min(first, lines.size() - 1) + 1),
         "an SRF file starts with its version, 1.0 or 2.0");
  }
  Tokens tok(lines, first + 1, file);
  struct Plane {
    double elon, elat, stk, dip, dtop, shyp, dhyp;
  };
  std::vector<Plane> planes;
  std::string w = tok.word("PLANE or POINTS");
  if (upper(w) == "PLANE") {
    const int n = tok.count("the number of planes");
    for (int i = 0; i < n; ++i) {
      Plane p{};
      p.elon = tok.real("the plane's ELON");
      p.elat = tok.real("the plane's ELAT");
      for (const char* k : {"NSTK", "NDIP", "LEN", "WID"})
        tok.real(std::string("the plane's ") + k);
      p.stk = tok.real("the plane's STK");
      p.dip = tok.real("the plane's DIP");
      p.dtop = tok.real("the plane's DTOP");
      p.shyp = tok.real("the plane's SHYP");
      p.dhyp = tok.real("the plane's DHYP");
      planes.push_back(p);
    }
    w = tok.word("POINTS");
  }
  if (upper(w) != "POINTS") fail(file, tok.line(), "expected POINTS, found '" + w + "'");
  const int n = tok.count("the number of points");
  SlipModelData m;
  m.format = "srf";
  for (int i = 0; i < n; ++i) {
    const std::string p = "point " + std::to_string(i + 1) + "'s ";
    const int lineno = tok.line();
    SlipSubfault s;
    s.lon = tok.real(p + "LON");
    s.lat = tok.real(p + "LAT");
    s.depth = tok.real(p + "DEP");
    s.strike = tok.real(p + "STK");
    s.dip = tok.real(p + "DIP");
    const double area_cm2 = tok.real(p + "AREA");
    s.rupture_time = tok.real(p + "TINIT");
    const double dt = tok.real(p + "DT");
    if (version == "2.0") {
      tok.real(p + "VS");
      tok.real(p + "DEN");
    }
    s.rake = tok.real(p + "RAKE");
    double slip[3];
    int nt[3];
    for (int j = 0; j < 3; ++j) {
      slip[j] = tok.real(p + "SLIP" + std::to_string(j + 1));
      nt[j] = tok.count(p + "NT" + std::to_string(j + 1));
    }
    for (int j = 0; j < 3; ++j) {
      for (int k = 0; k < nt[j]; ++k) tok.real(p + "slip rate " + std::to_string(j + 1));
    }
    if (slip[1] != 0.0 || slip[2] != 0.0 || nt[1] != 0 || nt[2] != 0) {
      fail(file, lineno,
           "point " + std::to_string(i + 1) +
               " slips in the second or third direction (SLIP2, SLIP3): only slip along the "
               "rake (SLIP1) is read");
    }
    for (const double v :
         {s.lon, s.lat, s.depth, s.strike, s.dip, area_cm2, s.rupture_time, dt, s.rake, slip[0]}) {
      check_finite(file, lineno, v, p + "value");
    }
    if (!(area_cm2 > 0.0)) fail(file, lineno, p + "AREA must be positive");
    if (s.rupture_time < 0.0) fail(file, lineno, p + "TINIT must not be negative");
    s.area = area_cm2 * 1e-10;
    s.slip = slip[0] / 100.0;
    s.rise_time = nt[0] * dt;
    m.subfaults.push_back(s);
  }
  if (!tok.done()) fail(file, tok.line(), "numbers follow the last of the POINTS");
  if (!planes.empty()) {
    const Plane& p = planes.front();
    const GeoPoint along = geodesic_destination(GeoPoint{p.elat, p.elon}, p.stk, p.shyp);
    const GeoPoint h =
        geodesic_destination(along, p.stk + 90.0, p.dhyp * std::cos(p.dip * kDegree));
    m.hypo_lat = h.lat;
    m.hypo_lon = h.lon;
    m.hypo_depth = p.dtop + p.dhyp * std::sin(p.dip * kDegree);
  }
  return m;
}

}  // namespace

bool SlipModelData::geographic() const {
  return std::all_of(subfaults.begin(), subfaults.end(), [](const SlipSubfault& s) {
    return std::isfinite(s.lat) && std::isfinite(s.lon);
  });
}

std::string slip_model_format(const std::string& text, const std::string& file) {
  for (const std::string& line : text_lines(text)) {
    const std::string s = trim(line);
    if (s.empty()) continue;
    if (s[0] == '%') return "fsp";
    if (s[0] == '#' && lower(s).find("fault_segment") != std::string::npos) return "param";
    if (s == "1.0" || s == "2.0") return "srf";
    break;
  }
  fail(file, 1,
       "not a slip model in a known format (FSP starts with '%' header lines, USGS .param "
       "with '#Total number of fault_segments', SRF with its version 1.0 or 2.0)");
}

SlipModelData read_slip_model(const std::string& text, const std::string& file,
                              const std::string& format) {
  const std::string f = format.empty() ? slip_model_format(text, file) : format;
  const std::vector<std::string> lines = text_lines(text);
  SlipModelData m;
  if (f == "fsp") {
    m = read_fsp(lines, file);
  } else if (f == "param") {
    m = read_param(lines, file);
  } else if (f == "srf") {
    m = read_srf(lines, file);
  } else {
    throw BankError(file + ": unknown slip model format \"" + f + "\" (use fsp, param, srf)");
  }
  if (m.subfaults.empty()) fail(file, static_cast<int>(lines.size()), "the model has no subfaults");
  // What the file does not say of its hypocentre is that of the first subfault to rupture
  // (else of the first subfault).
  std::size_t first = 0;
  for (std::size_t i = 0; i < m.subfaults.size(); ++i) {
    if (m.subfaults[i].rupture_time < m.subfaults[first].rupture_time) first = i;
  }
  const SlipSubfault& h = m.subfaults[first];
  if (!std::isfinite(m.hypo_lat) || !std::isfinite(m.hypo_lon)) {
    m.hypo_lat = h.lat;
    m.hypo_lon = h.lon;
  }
  if (!std::isfinite(m.hypo_depth)) m.hypo_depth = h.depth;
  for (const SlipSubfault& s : m.subfaults) {
    if (s.depth < 0.0) {
      throw BankError(file + ": subfault " + std::to_string(&s - m.subfaults.data() + 1) +
                      " lies above the surface (depth " + std::to_string(s.depth) + " km)");
    }
  }
  return m;
}

std::vector<LocalPoint> slip_model_centres(const SlipModelData& m) {
  std::vector<LocalPoint> out;
  if (m.geographic()) {
    const GeoPoint origin{m.hypo_lat, m.hypo_lon};
    for (const SlipSubfault& s : m.subfaults)
      out.push_back(to_local(origin, GeoPoint{s.lat, s.lon}));
    return out;
  }
  const double x0 = std::isfinite(m.hypo_x) ? m.hypo_x : 0.0;
  const double y0 = std::isfinite(m.hypo_y) ? m.hypo_y : 0.0;
  for (const SlipSubfault& s : m.subfaults) {
    LocalPoint p{s.x - x0, s.y - y0};
    if (m.top_centre) {
      const double half = 0.5 * s.dz * std::cos(s.dip * kDegree);
      p.x += half * std::cos((s.strike + 90.0) * kDegree);
      p.y += half * std::sin((s.strike + 90.0) * kDegree);
    }
    out.push_back(p);
  }
  return out;
}

}  // namespace lg
