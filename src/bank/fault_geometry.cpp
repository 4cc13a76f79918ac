// Subfault centres of a rectangular fault or a CSV list, grouped into rows by depth.
#include "bank/fault_geometry.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string_view>

#include "bank/slip_model.h"
#include "kernel/constants.h"
#include "textio/list_read.h"

namespace lg {

namespace {

constexpr double kDegree = kPiFull / 180.0;

// Assigns rows (distinct depths, ascending) and along-strike numbers (file order).
void group_rows(FaultGrid& g) {
  std::map<double, std::vector<int>> by_depth;
  for (std::size_t s = 0; s < g.subfaults.size(); ++s) {
    by_depth[g.subfaults[s].depth].push_back(static_cast<int>(s));
  }
  g.rows.clear();
  for (auto& [depth, members] : by_depth) {
    g.rows.push_back(members);
    for (std::size_t i = 0; i < members.size(); ++i) {
      Subfault& sf = g.subfaults[static_cast<std::size_t>(members[i])];
      sf.row = static_cast<int>(g.rows.size());
      sf.along_strike = static_cast<int>(i) + 1;
    }
  }
}

std::vector<std::string> csv_fields(const std::string& line) {
  std::vector<std::string> v;
  std::string cell;
  std::istringstream in(line);
  while (std::getline(in, cell, ',')) {
    const auto b = cell.find_first_not_of(" \t\r");
    const auto e = cell.find_last_not_of(" \t\r");
    v.push_back(b == std::string::npos ? std::string() : cell.substr(b, e - b + 1));
  }
  if (!line.empty() && line.back() == ',') v.emplace_back();
  return v;
}

}  // namespace

FaultGrid rectangle_subfaults(const FaultSpec& f) {
  FaultGrid g;
  g.oriented = true;
  g.has_area = true;
  const double phi = f.strike * kDegree;
  const double delta = f.dip * kDegree;
  const double s[3] = {std::cos(phi), std::sin(phi), 0.0};
  const double d[3] = {-std::sin(phi) * std::cos(delta), std::cos(phi) * std::cos(delta),
                       std::sin(delta)};
  const double ds = f.length / f.n_strike;
  const double dd = f.width / f.n_dip;
  for (int j = 1; j <= f.n_dip; ++j) {
    for (int i = 1; i <= f.n_strike; ++i) {
      const double a = (i - 0.5 - f.n_strike / 2.0) * ds;
      const double b = (j - 0.5) * dd;
      Subfault sf;
      sf.x = f.top_center[0] + a * s[0] + b * d[0];
      sf.y = f.top_center[1] + a * s[1] + b * d[1];
      sf.depth = f.top_center[2] + a * s[2] + b * d[2];
      sf.strike = f.strike;
      sf.dip = f.dip;
      sf.area = ds * dd;
      g.subfaults.push_back(sf);
    }
  }
  // The rows are the down-dip indices (one depth each), along strike in index order.
  for (int j = 1; j <= f.n_dip; ++j) {
    std::vector<int> row;
    for (int i = 1; i <= f.n_strike; ++i) {
      const int n = (j - 1) * f.n_strike + i - 1;
      row.push_back(n);
      g.subfaults[static_cast<std::size_t>(n)].row = j;
      g.subfaults[static_cast<std::size_t>(n)].along_strike = i;
    }
    g.rows.push_back(row);
  }
  return g;
}

FaultGrid listed_subfaults(const std::string& text, const std::string& file) {
  FaultGrid g;
  // A byte-order mark, as spreadsheets write it, is not part of the first column's name.
  const std::string_view bom = "\xef\xbb\xbf";
  std::istringstream in(text.rfind(bom, 0) == 0 ? text.substr(bom.size()) : text);
  std::string line;
  int lineno = 0;
  auto fail = [&](const std::string& what) {
    throw BankError(file + ":" + std::to_string(lineno) + ": " + what);
  };
  std::map<std::string, std::size_t> column;
  std::size_t ncols = 0;
  while (std::getline(in, line)) {
    ++lineno;
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    const std::vector<std::string> f = csv_fields(line);
    if (column.empty()) {
      for (std::size_t i = 0; i < f.size(); ++i) {
        static const char* const kKnown[] = {"x", "y", "depth", "strike", "dip", "area"};
        if (std::find(std::begin(kKnown), std::end(kKnown), f[i]) == std::end(kKnown)) {
          fail("unknown column \"" + f[i] +
               "\" (the header names x, y, depth, and optionally "
               "strike, dip, area)");
        }
        if (!column.emplace(f[i], i).second) fail("column \"" + f[i] + "\" is named twice");
      }
      for (const char* k : {"x", "y", "depth"}) {
        if (column.count(k) == 0) fail(std::string("the header has no column ") + k);
      }
      if ((column.count("strike") == 0) != (column.count("dip") == 0)) {
        fail("strike and dip columns go together");
      }
      ncols = f.size();
      g.oriented = column.count("strike") != 0;
      g.has_area = column.count("area") != 0;
      continue;
    }
    if (f.size() != ncols) {
      fail(std::to_string(f.size()) + " values where the header names " + std::to_string(ncols));
    }
    auto value = [&](const char* key) {
      double v = 0.0;
      const std::string& cell = f[column.at(key)];
      if (!parse_real(cell, v) || !std::isfinite(v)) {
        fail(std::string(key) + ": cannot read \"" + cell + "\" as a number");
      }
      return v;
    };
    Subfault sf;
    sf.x = value("x");
    sf.y = value("y");
    sf.depth = value("depth");
    if (sf.depth < 0.0) fail("depth is negative");
    if (g.oriented) {
      sf.strike = value("strike");
      sf.dip = value("dip");
    }
    if (g.has_area) {
      sf.area = value("area");
      if (!(sf.area > 0.0)) fail("area must be positive");
    }
    g.subfaults.push_back(sf);
  }
  if (column.empty()) fail("the list is empty (no header line)");
  if (g.subfaults.empty()) fail("the list has no subfaults");
  group_rows(g);
  return g;
}

FaultGrid slip_model_subfaults(const std::string& text, const std::string& file) {
  const SlipModelData m = read_slip_model(text, file);
  const std::vector<LocalPoint> centres = slip_model_centres(m);
  FaultGrid g;
  g.oriented = true;
  g.has_area = true;
  for (std::size_t i = 0; i < m.subfaults.size(); ++i) {
    Subfault sf;
    sf.x = centres[i].x;
    sf.y = centres[i].y;
    sf.depth = m.subfaults[i].depth;
    sf.strike = m.subfaults[i].strike;
    sf.dip = m.subfaults[i].dip;
    sf.area = m.subfaults[i].area;
    g.subfaults.push_back(sf);
  }
  group_rows(g);
  return g;
}

FaultGrid fault_subfaults(const FaultSpec& f, const std::string& config) {
  if (f.rectangle) return rectangle_subfaults(f);
  const bool slip_model = !f.slip_model_file.empty();
  const std::string& file = slip_model ? f.slip_model_file : f.subfaults_file;
  std::string text;
  try {
    text = read_input_file(file);
  } catch (const BankError& e) {
    if (config.empty()) throw;
    throw BankError(config + ":" + std::to_string(f.subfaults_line) + ": fault: " +
                    (slip_model ? "slip_model" : "subfaults") + " = \"" + file + "\": " + e.what());
  }
  return slip_model ? slip_model_subfaults(text, file) : listed_subfaults(text, file);
}

}  // namespace lg
