// The pressure of a bank's stations in the water: each data set with the pressure is computed
// alone (a sweep of one), as layergreen.greens computes it, besides or instead of the shared
// sweep of the displacement.
#include "bank/bank_pressure.h"

#include <memory>
#include <stdexcept>
#include <string>

#include "bank/bank_run.h"
#include "kernel/layout.h"
#include "run/data_set_spectra.h"

namespace lg {

double sea_floor_depth(const std::vector<LayerRow>& layers) {
  double water = 0.0;
  for (std::size_t k = 0; k + 1 < layers.size() && layers[k].vs == 0.0; ++k) {
    water += layers[k].thickness;
  }
  return water;
}

void check_pressure(const BankConfig& c) {
  if (!c.pressure) return;
  const std::string at = c.path + ":" + std::to_string(c.quantities_line) + ": quantities: ";
  if (c.layers.size() < 2 || c.layers.front().vs != 0.0) {
    throw BankError(at +
                    "the pressure is computed in the water: it needs fluid layers (vs = 0) at "
                    "the top of [model] layers; leave out \"pressure\"");
  }
  if (c.force) {
    throw BankError(at +
                    "the pressure is computed for the moment tensor only; give sources = "
                    "[\"moment\"], or leave out \"pressure\"");
  }
}

std::vector<JournalRecord> compute_with_pressure(const BankSetup& s,
                                                 const std::vector<int>& indices, int threads,
                                                 const std::function<void(int)>& on_frequency,
                                                 const RecordSweep& sweep) {
  const BankConfig& c = s.config;
  const BankPlan& p = s.plan;
  const double floor = sea_floor_depth(c.layers);
  const auto data_set = [&](int index) -> const BankDataSet& {
    return p.data_sets[static_cast<std::size_t>(index)];
  };
  const auto in_water = [&](int index) {
    return p.stations[static_cast<std::size_t>(data_set(index).station)].depth < floor;
  };
  std::vector<int> at_floor;
  for (const int index : indices) {
    if (!in_water(index)) at_floor.push_back(index);
  }
  // Progress over every pass: the shared sweep, then one per data set.
  const int nfreq = c.nfreq;
  const int passes = static_cast<int>(indices.size()) + (at_floor.empty() ? 0 : 1);
  int pass = 0;
  const auto report = [&](int f) {
    if (on_frequency)
      on_frequency(static_cast<int>((static_cast<long long>(pass) * nfreq + f) / passes));
  };
  std::vector<JournalRecord> swept;
  if (!at_floor.empty()) {
    swept = sweep(at_floor, report);
    ++pass;
  }
  const auto nq = static_cast<std::size_t>(nfreq);
  std::vector<JournalRecord> records;
  records.reserve(indices.size());
  std::size_t next = 0;
  for (const int index : indices) {
    const BankDataSet& d = data_set(index);
    SpectraRequest q = data_set_request(c, p, d);
    q.pressure = true;
    const std::size_t receivers = q.x.size();
    const bool water = in_water(index);
    JournalRecord r;
    if (water) {
      r.station = d.station;
      r.row = d.row;
      r.iterations.assign(nq, 0);
      r.spectra.assign(receivers * nq * kElementComponents, Cx{});
    } else {
      r = std::move(swept[next++]);
    }
    r.pressure_spectra.assign(receivers * nq * kElements, Cx{});
    std::unique_ptr<DataSetSpectra> run;
    try {
      run = std::make_unique<DataSetSpectra>(q, threads);
    } catch (const std::invalid_argument& e) {
      throw Error(c.path + ": station " + p.stations[static_cast<std::size_t>(d.station)].name +
                  ", row " + std::to_string(d.row + 1) + ": " + e.what());
    }
    const std::vector<int>& slot_receiver = run->slot_receiver();
    run->run(threads, {}, [&](FrequencySpectra& fr) {
      for (std::size_t slot = 0; slot < fr.pressure.size(); ++slot) {
        const auto k = static_cast<std::size_t>(slot_receiver[slot]);
        Cx* to = r.pressure_spectra.data() + (k * nq + fr.index) * kElements;
        for (std::size_t e = 0; e < fr.pressure[slot].size(); ++e) to[e] = fr.pressure[slot][e];
        // In the water the displacement is the water's, computed here.
        if (water) {
          copy_flat(fr.spectra[slot], r.spectra.data() + (k * nq + fr.index) * kElementComponents);
        }
      }
      if (water) r.iterations[fr.index] = fr.iterations;
      report(static_cast<int>(fr.index) + 1);
    });
    ++pass;
    records.push_back(std::move(r));
  }
  return records;
}

}  // namespace lg
