// Writes the classic input files (control, model, subfault files) equivalent to a bank.
#include "bank/bank_classic.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

#include "inputs/classic_limits.h"

namespace lg {

namespace {

namespace fs = std::filesystem;

// A real that reads back to the same double, always with a full stop or an exponent.
std::string exact(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  std::string s = buf;
  if (s.find_first_of(".eEni") == std::string::npos) s += ".";
  return s;
}

void write_file(const fs::path& p, const std::string& text) {
  std::ofstream f(p, std::ios::binary);
  f << text;
  f.close();
  if (!f) throw Error(p.string() + ": cannot write: " + std::strerror(errno));
}

// Three-character station codes: the names themselves when all fit, else S01, S02, ...
std::vector<std::string> station_codes(const BankPlan& p) {
  std::vector<std::string> codes;
  std::set<std::string> seen;
  bool fit = true;
  for (const StationPlace& s : p.stations) {
    fit = fit && s.name.size() == 3 && s.name.find_first_of(" /,.\t") == std::string::npos &&
          seen.insert(s.name).second;
  }
  for (std::size_t i = 0; i < p.stations.size(); ++i) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "S%02zu", i + 1);
    codes.push_back(fit ? p.stations[i].name : std::string(buf));
  }
  return codes;
}

}  // namespace

std::string write_classic_inputs(const BankConfig& c, const BankPlan& p, const std::string& dir) {
  auto refuse = [&](const std::string& why) { throw BankError(c.path + ": --classic: " + why); };
  const std::size_t nstati = p.fault.rows.front().size();
  for (const std::vector<int>& row : p.fault.rows) {
    if (row.size() != nstati) refuse("the rows hold different numbers of subfaults");
  }
  if (p.row_count() > static_cast<std::size_t>(kMaxDataSets)) {
    refuse(std::to_string(p.row_count()) + " rows exceed the classic limit of " +
           std::to_string(kMaxDataSets));
  }
  if (nstati > static_cast<std::size_t>(kClassicMaxReceivers)) {
    refuse(std::to_string(nstati) + " subfaults per row exceed the classic limit of " +
           std::to_string(kClassicMaxReceivers));
  }
  if (p.stations.size() > static_cast<std::size_t>(kMaxStations)) {
    refuse(std::to_string(p.stations.size()) + " stations exceed the classic limit of " +
           std::to_string(kMaxStations));
  }
  if (c.layers.size() > static_cast<std::size_t>(kClassicMaxLayers)) {
    refuse(std::to_string(c.layers.size()) + " layers exceed the classic limit of " +
           std::to_string(kClassicMaxLayers));
  }
  if (c.q_law != QLaw::kClassic) refuse("the classic run has only q_law = \"classic\"");

  const fs::path root(dir);
  std::error_code ec;
  fs::create_directories(root / "model", ec);
  fs::create_directories(root / "zahyo", ec);
  const std::vector<std::string> codes = station_codes(p);

  std::ostringstream ctl;
  ctl << p.row_count() << "\n"
      << nstati << "\n"
      << p.row_count() << "\n1\n"
      << nstati << "\n"
      << "model/strXXX\ngreen/XXX/XXX.nnn\nzahyo/XXX.dat\n"
      << codes.size() << "\n";
  for (const std::string& code : codes) ctl << code << "\n";

  std::ostringstream model;
  model << " &INPUT NC=" << c.layers.size() << ", NFREQ=" << c.nfreq << ", TL=" << exact(c.tl)
        << ", AW=" << exact(c.aw) << ", NR=" << nstati << ", XL=" << exact(p.xl)
        << ", IKMAX=" << p.ikmax << ", UCONV=" << exact(c.uconv) << ", XS=0., YS=0. /\n";
  for (const LayerRow& l : c.layers) {
    // The first thickness must not be 0 (that would mean depths): only a lone half-space has
    // one, and its thickness is not used.
    const double hc = (c.layers.size() == 1) ? 1.0 : l.thickness;
    model << " " << exact(hc) << " " << exact(l.vp) << " " << exact(l.vs) << " " << exact(l.rho)
          << " " << exact(l.qp) << " " << exact(l.qs) << "\n";
  }

  std::ostringstream table;
  for (std::size_t s = 0; s < p.stations.size(); ++s) {
    table << codes[s] << " " << p.stations[s].name << "\n";
    fs::create_directories(root / "green" / codes[s], ec);
    if (ec) {
      throw Error((root / "green" / codes[s]).string() + ": cannot create: " + ec.message());
    }
    write_file(root / "model" / ("str" + codes[s]), model.str());
    const Subfault& first = p.fault.subfaults.front();
    char head[64];
    std::snprintf(head, sizeof head, "%4zu%4zu%7.1f%7.1f\n", nstati, p.row_count(), first.strike,
                  first.dip);
    std::ostringstream sub;
    sub << head;
    for (std::size_t r = 0; r < p.row_count(); ++r) {
      const std::vector<int>& row = p.fault.rows[r];
      sub << " row " << r + 1 << ": source depth\n"
          << " " << exact(p.fault.subfaults[static_cast<std::size_t>(row.front())].depth) << "\n"
          << " offsets x, y of station " << p.stations[s].name << " from each subfault, depth\n";
      for (int f : row) {
        const std::size_t i = p.at(static_cast<int>(s), f);
        sub << " " << exact(p.dx[i]) << " " << exact(p.dy[i]) << " 0.\n";
      }
    }
    write_file(root / "zahyo" / (codes[s] + ".dat"), sub.str());
  }
  write_file(root / "quenta4.ctl", ctl.str());
  write_file(root / "stations.txt", table.str());
  return table.str();
}

}  // namespace lg
