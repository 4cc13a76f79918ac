// The plan of a bank: station positions, subfaults, the offset, distance and azimuth of every
// station from every subfault, the data sets (one station x one fault row each), the sampling
// (xl and ikmax chosen when "auto") and the estimates of work, time and file size.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "bank/bank_config.h"
#include "bank/fault_geometry.h"
#include "inputs/sampling_rules.h"
#include "run/data_set_spectra.h"

namespace lg {

struct StationPlace {
  std::string name;
  double x = 0.0, y = 0.0;  // in the fault's frame (x north, y east)
  bool geo = false;
  double lat = 0.0, lon = 0.0;
  double depth = 0.0;  // below the free surface
};

// One data set: a station and a fault row; the row's subfaults are its receivers.
struct BankDataSet {
  int station = 0;  // from 0
  int row = 0;      // from 0
};

struct BankPlan {
  std::vector<StationPlace> stations;
  FaultGrid fault;
  // [station * subfaults + subfault]: the station's horizontal offset from the subfault
  // (station - subfault), its length and its azimuth (degrees from x towards y; on the
  // ellipsoid for stations given by lat/lon).
  std::vector<double> dx, dy, distance, azimuth;
  // The subfault seen from the station (degrees clockwise from north): on the ellipsoid for
  // stations given by lat/lon, else azimuth + 180.
  std::vector<double> back_azimuth;
  std::vector<BankDataSet> data_sets;  // station by station, rows in depth order
  double xl = 0.0;
  int ikmax = 0;
  std::vector<std::string> choices;  // how "auto" values were chosen
  double steps = 0.0;                // wavenumber steps x receivers, every frequency to ikmax

  std::size_t subfault_count() const { return fault.subfaults.size(); }
  std::size_t row_count() const { return fault.rows.size(); }
  std::size_t at(int station, int subfault) const {
    return static_cast<std::size_t>(station) * subfault_count() +
           static_cast<std::size_t>(subfault);
  }
};

// Builds the plan. Throws BankError for a fault or sampling that cannot be used.
BankPlan plan_bank(const BankConfig& c);

// What the sampling rules read of the bank (every station and subfault), and its sampling.
SamplingBounds sampling_bounds(const BankConfig& c, const BankPlan& p);
SamplingValues sampling_values(const BankConfig& c, const BankPlan& p);

// The spectra request of one data set: the row's subfaults as receivers at the surface,
// at the station's offsets from them, the source at the row's depth.
SpectraRequest data_set_request(const BankConfig& c, const BankPlan& p, const BankDataSet& d);

// The rigidity rho * vs^2 of the layer that holds each subfault's centre (GPa for g/cm^3 and
// km/s); a centre on an interface takes the layer below. `on_interface` (when given) gets the
// number of such centres.
std::vector<double> subfault_rigidity(const BankConfig& c, const BankPlan& p,
                                      std::size_t* on_interface = nullptr);

// Bytes of the bank file (spectra and iteration counts; the rest is small).
double bank_file_bytes(const BankConfig& c, const BankPlan& p);

// The plan in words: counts, sampling, data sets, steps, time and size estimates.
std::string plan_summary(const BankConfig& c, const BankPlan& p, int threads);

}  // namespace lg
