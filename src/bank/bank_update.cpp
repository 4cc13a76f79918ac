// --update: a bank grown by new stations, the data sets of the others taken from the finished
// bank or from the journal of its unfinished run.
#include "bank/bank_update.h"

#include <cstdio>
#include <filesystem>
#include <optional>

#include "bank/bank_read.h"
#include "common/error.h"

namespace lg {

namespace {

namespace fs = std::filesystem;

std::string num(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

std::string optional_text(const std::optional<double>& v) {
  return v ? num(*v) : std::string("\"auto\"");
}

// The differences found, in words.
class Differences {
 public:
  void add(const std::string& what, const std::string& was, const std::string& now) {
    if (was != now) list_.push_back(what + ": " + was + " in the bank, " + now + " now");
  }
  void add(const std::string& what, double was, double now) {
    if (!(was == now)) add(what, num(was), num(now));
  }
  void note(const std::string& text) { list_.push_back(text); }
  bool empty() const { return list_.empty(); }
  std::string text() const {
    constexpr std::size_t kListed = 4;
    std::string s;
    for (std::size_t i = 0; i < list_.size() && i < kListed; ++i) {
      s += (i == 0 ? "" : "; ") + list_[i];
    }
    if (list_.size() > kListed) s += "; and " + std::to_string(list_.size() - kListed) + " more";
    return s;
  }

 private:
  std::vector<std::string> list_;
};

// The new index of each station of `was` in `now` (by name).
std::vector<int> station_map(const BankConfig& was, const BankConfig& now) {
  std::vector<int> map;
  for (const StationSpec& a : was.stations) {
    int j = -1;
    for (std::size_t k = 0; k < now.stations.size(); ++k) {
      if (now.stations[k].name == a.name) j = static_cast<int>(k);
    }
    map.push_back(j);
  }
  return map;
}

struct Earlier {
  BankConfig config;
  BankPlan plan;
};

// The configuration of the bank (or journal) `where`, read from its text and planned with the
// files it names as they are now.
Earlier earlier(const std::string& text, const BankSetup& s, const std::string& where) {
  Earlier e;
  try {
    e.config = parse_bank_config(text, s.config.path);
    e.plan = plan_bank(e.config);
  } catch (const BankError& x) {
    throw Error(where +
                ": --update: the configuration it was computed with cannot be planned "
                "any more: " +
                x.what());
  }
  return e;
}

void refuse_differences(const std::string& where, const BankSetup& s, const Differences& d) {
  throw Error(where + ": --update: " + s.config.path +
              " differs from the configuration the bank was computed with by more than "
              "added [[station]] tables: " +
              d.text() + "; compute the bank afresh (without --update)");
}

// The data sets of plan `p` whose journal entry is not done.
void list_todo(const BankPlan& p, const JournalWriter& journal, std::vector<int>& todo) {
  todo.clear();
  for (std::size_t k = 0; k < p.data_sets.size(); ++k) {
    const BankDataSet& d = p.data_sets[k];
    const std::size_t i =
        static_cast<std::size_t>(d.station) * p.row_count() + static_cast<std::size_t>(d.row);
    if (!journal.done()[i]) todo.push_back(static_cast<int>(k));
  }
}

std::string added_names(const BankSetup& s, const std::vector<int>& map) {
  std::string names;
  for (std::size_t j = 0; j < s.config.stations.size(); ++j) {
    bool old = false;
    for (const int m : map) old = old || m == static_cast<int>(j);
    if (!old) names += (names.empty() ? "" : ", ") + s.config.stations[j].name;
  }
  return names;
}

}  // namespace

std::string update_difference(const BankConfig& was, const BankPlan& was_plan,
                              const BankConfig& now, const BankPlan& now_plan) {
  Differences d;
  d.add("[bank] statics", was.statics ? "true" : "false", now.statics ? "true" : "false");
  d.add("[bank] sources", was.force ? "[\"moment\", \"force\"]" : "[\"moment\"]",
        now.force ? "[\"moment\", \"force\"]" : "[\"moment\"]");
  const auto quantities = [](const BankConfig& c) {
    return std::string("[\"displacement\"") + (c.strain ? ", \"strain\"" : "") +
           (c.rotation ? ", \"rotation\"" : "") + (c.pressure ? ", \"pressure\"" : "") + "]";
  };
  d.add("[bank] quantities", quantities(was), quantities(now));
  d.add("[bank] precision", was.single ? "\"single\"" : "\"double\"",
        now.single ? "\"single\"" : "\"double\"");
  d.add("[bank] compression", was.gzip ? "\"gzip\"" : "\"none\"",
        now.gzip ? "\"gzip\"" : "\"none\"");
  d.add("[sampling] nfreq", was.nfreq, now.nfreq);
  d.add("[sampling] tl", was.tl, now.tl);
  d.add("[sampling] aw", was.aw, now.aw);
  d.add("[sampling] uconv", was.uconv, now.uconv);
  d.add("[sampling] xl", optional_text(was.xl), optional_text(now.xl));
  d.add("[sampling] ikmax", was.ikmax ? std::to_string(*was.ikmax) : "\"auto\"",
        now.ikmax ? std::to_string(*now.ikmax) : "\"auto\"");
  if (d.empty()) {
    // "auto" values chosen for the farther stations change every spectrum.
    if (!was.xl) {
      d.add("the automatic xl (give xl = " + num(was_plan.xl) + " to keep the bank's)", was_plan.xl,
            now_plan.xl);
    }
    if (!was.ikmax) {
      d.add("the automatic ikmax (give ikmax = " + std::to_string(was_plan.ikmax) +
                " to keep the bank's)",
            was_plan.ikmax, now_plan.ikmax);
    }
  }
  d.add("[model] q_law", was.q_law == QLaw::kClassic ? "\"classic\"" : "\"constant-q\"",
        now.q_law == QLaw::kClassic ? "\"classic\"" : "\"constant-q\"");
  d.add("[model] q_reference_hz", was.q_reference_hz, now.q_reference_hz);
  d.add("[model] layers (count)", static_cast<double>(was.layers.size()),
        static_cast<double>(now.layers.size()));
  for (std::size_t i = 0; i < was.layers.size() && i < now.layers.size(); ++i) {
    const LayerRow& a = was.layers[i];
    const LayerRow& b = now.layers[i];
    const std::string layer = "[model] layer " + std::to_string(i + 1);
    d.add(layer + " thickness", a.thickness, b.thickness);
    d.add(layer + " vp", a.vp, b.vp);
    d.add(layer + " vs", a.vs, b.vs);
    d.add(layer + " rho", a.rho, b.rho);
    d.add(layer + " qp", a.qp, b.qp);
    d.add(layer + " qs", a.qs, b.qs);
  }
  const FaultSpec& fa = was.fault;
  const FaultSpec& fb = now.fault;
  d.add("[fault] subfaults", fa.rectangle ? "(a rectangle)" : "\"" + fa.subfaults_file + "\"",
        fb.rectangle ? "(a rectangle)" : "\"" + fb.subfaults_file + "\"");
  d.add("[fault] top_center_geo", fa.geo ? "given" : "not given", fb.geo ? "given" : "not given");
  d.add("[fault] origin latitude", fa.origin_lat, fb.origin_lat);
  d.add("[fault] origin longitude", fa.origin_lon, fb.origin_lon);
  for (int k = 0; k < 3; ++k) {
    d.add("[fault] top_center[" + std::to_string(k) + "]", fa.top_center[k], fb.top_center[k]);
  }
  d.add("[fault] strike", fa.strike, fb.strike);
  d.add("[fault] dip", fa.dip, fb.dip);
  d.add("[fault] length", fa.length, fb.length);
  d.add("[fault] width", fa.width, fb.width);
  d.add("[fault] n_strike", fa.n_strike, fb.n_strike);
  d.add("[fault] n_dip", fa.n_dip, fb.n_dip);
  d.add("the subfaults (count)", static_cast<double>(was_plan.subfault_count()),
        static_cast<double>(now_plan.subfault_count()));
  const std::vector<int> map = station_map(was, now);
  for (std::size_t i = 0; i < map.size(); ++i) {
    const StationSpec& a = was.stations[i];
    if (map[i] < 0) {
      d.note("station \"" + a.name + "\" is no longer given");
      continue;
    }
    const StationSpec& b = now.stations[static_cast<std::size_t>(map[i])];
    const std::string st = "station \"" + a.name + "\"";
    if (a.geo != b.geo) d.note(st + " is given by " + (b.geo ? "lat/lon" : "x/y") + " now");
    d.add(st + (a.geo ? " lat" : " x"), a.geo ? a.lat : a.x, b.geo ? b.lat : b.x);
    d.add(st + (a.geo ? " lon" : " y"), a.geo ? a.lon : a.y, b.geo ? b.lon : b.y);
    d.add(st + " depth", a.depth, b.depth);
  }
  return d.text();
}

std::unique_ptr<JournalWriter> open_update_journal(const BankSetup& s, std::vector<int>& todo,
                                                   std::string& said) {
  const BankConfig& c = s.config;
  const std::string jpath = journal_path(c.output);
  const std::optional<JournalHead> head = read_journal_head(jpath);
  const std::size_t rows = s.plan.row_count();
  const auto count = [&](const std::vector<int>& t) {
    return std::to_string(s.plan.data_sets.size() - t.size()) + " of " +
           std::to_string(s.plan.data_sets.size()) + " data sets";
  };

  // A journal of this configuration (an update or a run that was interrupted): continued.
  if (head && head->has_records && head->key == s.shape.key) {
    std::unique_ptr<JournalWriter> journal = open_journal(s, true, todo);
    said = "updating: continuing " + jpath + ": " + count(todo) + " already done";
    return journal;
  }

  // A journal of the configuration without the new stations: its data sets are carried over.
  if (head && head->has_records) {
    if (head->text.empty()) {
      throw Error(jpath +
                  ": --update: the journal does not keep the configuration it belongs to (a "
                  "journal of an earlier version); finish it with --resume and that "
                  "configuration, then --update");
    }
    const Earlier was = earlier(head->text, s, jpath);
    const JournalShape was_shape = journal_shape(was.config, was.plan);
    if (was_shape.key != head->key) {
      throw Error(jpath +
                  ": --update: the journal's subfault list or the program changed since it was "
                  "written; remove it to start the bank afresh");
    }
    Differences none;
    const std::string diff = update_difference(was.config, was.plan, c, s.plan);
    if (!diff.empty()) {
      none.note(diff);
      refuse_differences(jpath, s, none);
    }
    const std::vector<int> map = station_map(was.config, c);
    // The carried-over journal is written beside the old one and then takes its name.
    const std::string fresh = jpath + ".update";
    std::error_code ec;
    fs::remove(fresh, ec);
    auto journal = std::make_unique<JournalWriter>(fresh, s.shape, false);
    read_journal(jpath, was_shape, [&](const JournalRecord& r) {
      JournalRecord moved = r;
      moved.station = map[static_cast<std::size_t>(r.station)];
      journal->append(moved);
    });
    if (std::rename(fresh.c_str(), jpath.c_str()) != 0) {
      throw Error("cannot rename " + fresh + " to " + jpath);
    }
    sync_folder_of(jpath);
    list_todo(s.plan, *journal, todo);
    said = "updating: " + count(todo) + " taken from " + jpath +
           "; computing the rest (new: " + added_names(s, map) + ")";
    return journal;
  }

  // A finished bank: its data sets are copied into a fresh journal.
  std::error_code ec;
  if (!fs::exists(c.output, ec)) {
    throw Error(c.path + ": --update needs the finished bank " + c.output +
                " or the journal of its unfinished run; there is neither (compute the bank "
                "without --update)");
  }
  const BankFileReader file(c.output);
  const std::string text = file.text("configuration");
  if (text.empty()) throw Error(c.output + ": --update: the bank keeps no configuration");
  const std::string version = std::string("layergreen ") + LAYERGREEN_VERSION;
  Differences d;
  d.add("the program", file.text("program_version"), version);
  const Earlier was = earlier(text, s, c.output);
  const std::string diff = update_difference(was.config, was.plan, c, s.plan);
  if (!diff.empty()) d.note(diff);
  if (d.empty()) {
    // The subfaults the bank holds against those planned now (a subfault list may change).
    const std::vector<double> x = file.numbers("subfaults/x");
    const std::vector<double> y = file.numbers("subfaults/y");
    const std::vector<double> z = file.numbers("subfaults/depth");
    bool same = x.size() == s.plan.subfault_count() && y.size() == x.size() && z.size() == x.size();
    for (std::size_t k = 0; same && k < x.size(); ++k) {
      const Subfault& f = s.plan.fault.subfaults[k];
      same = x[k] == f.x && y[k] == f.y && z[k] == f.depth;
    }
    if (!same) d.note("the subfaults of " + c.fault.subfaults_file + " are not those of the bank");
  }
  if (!d.empty()) refuse_differences(c.output, s, d);
  const std::vector<int> map = station_map(was.config, c);
  if (file.station_names().size() != map.size()) {
    throw Error(c.output + ": --update: its stations are not those of its configuration");
  }
  if (map.size() == c.stations.size()) {
    said = c.output + " already holds every station of " + c.path + "; nothing to update";
    return nullptr;
  }
  std::unique_ptr<JournalWriter> journal = open_journal(s, false, todo);
  for (std::size_t i = 0; i < map.size(); ++i) {
    for (std::size_t r = 0; r < rows; ++r) {
      JournalRecord rec =
          file.record(static_cast<int>(i), static_cast<int>(r), was.plan.fault.rows[r]);
      rec.station = map[i];
      journal->append(rec);
    }
  }
  list_todo(s.plan, *journal, todo);
  said = "updating: " + count(todo) + " taken from " + c.output +
         "; computing the rest (new: " + added_names(s, map) + ")";
  return journal;
}

}  // namespace lg
