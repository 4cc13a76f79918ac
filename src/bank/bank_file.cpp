// Writes the HDF5 bank file (C API) from the plan and the journal's records.
#include "bank/bank_file.h"

#include <hdf5.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "bank/geodesy.h"
#include "kernel/constants.h"
#include "kernel/layout.h"

namespace lg {

namespace {

// The conventions attribute; the elements and components are named from the layout.
std::string conventions() {
  std::string elements, components;
  for (const SourceElement& e : kSourceKind.elements) {
    elements += (elements.empty() ? "" : ", ") + std::string(e.combination);
  }
  for (const OutputComponent& c : kQuantity.components) {
    components += (components.empty() ? "" : ", ") + std::string(c.code);
  }
  return "Green's functions of a layered half-space: " + std::string(kQuantity.name) +
         " spectra U(w) = integral of u(t) exp(-i w t) dt at the complex angular frequency w = 2 "
         "pi f + i omega_imag, omega_imag = -pi aw / tl, for a moment history M(t) = delta(t) "
         "(impulse response). spectra[station, subfault, frequency, element, component]: "
         "elements " +
         elements + " (" + std::string(kSourceKind.frame) + "); components " + components +
         " with " + std::string(kQuantity.frame) +
         ". Source at the subfault, station at the surface at the horizontal offset station - "
         "subfault. Azimuths in degrees from x towards y (clockwise from north).";
}
constexpr const char* kUnits =
    "Lengths, velocities, densities and times in the units of the configuration (for example "
    "km, km/s, g/cm3, s); with those, a spectrum value times 1e-15 is in metres per "
    "newton-metre per hertz. Frequencies in 1/time unit; lat, lon in degrees (WGS84).";

constexpr const char* kStatics =
    "Static displacements (t -> infinity after a step in moment; elastic moduli from vp, vs, "
    "rho; qp, qs play no part): statics[station, subfault, element, component], elements and "
    "components as in /spectra (z up), in model length per unit moment (with km, km/s, g/cm3: "
    "times 1e-15 is in metres per newton-metre). Wavenumber sum with Simpson weights on k = n "
    "dk, dk = 2 pi / row_xl, up to row_kmax, per fault row.";

constexpr const char* kRigidity =
    "rho * vs^2 of the layer that holds the subfault's centre (GPa for g/cm3 and km/s); a "
    "centre on a layer interface takes the layer below it";

constexpr const char* kForceSpectra =
    "Spectra of point forces: force_spectra[station, subfault, frequency, force, component], "
    "forces along x (north), y (east) and z (down) at the subfault, a force history F(t) = "
    "delta(t); frequencies and components as in /spectra (z up); in model length per unit force "
    "(with km, km/s, g/cm3: a value times 1e-12 is in metres per newton per hertz).";

constexpr const char* kForceStatics =
    "Static displacements after a step in force: force_statics[station, subfault, force, "
    "component], forces and components as in /force_spectra, in model length per unit force "
    "(with km, km/s, g/cm3: times 1e-12 is in metres per newton); sampling as in /statics.";

// "strain_statics" for "strain_spectra".
std::string statics_name(const RecordPart& part) {
  std::string name = part.name;
  return name.replace(name.find("_spectra"), 8, "_statics");
}

// The description of a strain or rotation dataset of the moment tensor or the forces.
std::string derived_description(const RecordPart& part, bool statics) {
  const bool strain = part.quantity == &kStrain;
  std::string text =
      std::string(statics ? "Static " : "Spectra of the ") + (strain ? "strain" : "rotation") +
      (statics ? " after a step in " : " of ") +
      (part.force ? "point forces" : "the moment tensor") + ": " + statics_name(part) +
      "[station, subfault, " + (statics ? "" : "frequency, ") + (part.force ? "force" : "element") +
      ", component], " + (part.force ? "forces as in /force_spectra" : "elements as in /spectra") +
      "; components " +
      (strain ? "xx, yy, zz, xy, xz, yz of the strain tensor (du_i/dx_j + du_j/dx_i) "
                "/ 2 (tensor, not engineering, shear)"
              : "x, y, z of the rotation, half the curl of the displacement") +
      ", x north, y east, z up, at the station (below the surface at "
      "/stations/depth); per unit " +
      (part.force ? "force" : "moment") +
      " and model length (with km, km/s, "
      "g/cm3: a value times " +
      (part.force ? "1e-15" : "1e-18") + " is per newton" + (part.force ? "" : "-metre") +
      (statics ? "" : " per hertz") + ").";
  return text;
}

constexpr const char* kPressureSpectra =
    "Spectra of the pressure in the water: pressure_spectra[station, subfault, frequency, "
    "element, 1], elements and frequencies as in /spectra, positive in compression, at the "
    "station's depth (/stations/depth) in the water; a station at the sea floor has the "
    "pressure of the water just above it (its /spectra are those of the solid beneath), one at "
    "the sea surface zero; in model units of density x velocity^2 per unit moment (with km, "
    "km/s, g/cm3: a value times 1e-9 is in pascals per newton-metre per hertz).";

// The system's reason for the innermost failure on HDF5's error stack ("File too large"), or
// "" when it gives none.
herr_t take_reason(unsigned, const H5E_error2_t* e, void* data) {
  const std::string desc = e->desc != nullptr ? e->desc : "";
  const std::string mark = "error message = '";
  const std::size_t at = desc.find(mark);
  if (at != std::string::npos) {
    const std::size_t from = at + mark.size();
    *static_cast<std::string*>(data) = desc.substr(from, desc.find('\'', from) - from);
  }
  return 0;
}

[[noreturn]] void fail(const std::string& path, const std::string& what) {
  std::string reason;
  H5Ewalk2(H5E_DEFAULT, H5E_WALK_DOWNWARD, take_reason, &reason);
  throw Error("cannot write bank file " + path + ": " + what +
              (reason.empty() ? std::string() : " (" + reason + ")"));
}

// The handle when it holds an identifier; else fails naming `what`.
template <herr_t (*Close)(hid_t)>
H5Handle<Close> check(H5Handle<Close> h, const std::string& path, const char* what) {
  if (!h.valid()) fail(path, what);
  return h;
}

void check_status(herr_t s, const std::string& path, const char* what) {
  if (s < 0) fail(path, what);
}

// Creation properties without modification times, so that the same bank gives the same
// bytes.
H5PropertyList untimed(hid_t cls) {
  H5PropertyList p(H5Pcreate(cls));
  H5Pset_obj_track_times(p.get(), 0);
  return p;
}

// Chunks of at most about this many bytes, unless one row of the last dimensions is larger.
constexpr std::size_t kChunkBytes = 1u << 20;

// The chunk of a dataset of `dims` (values of `size` bytes) with the leading dimensions cut,
// or `chunk` when given.
std::vector<hsize_t> chunk_of(const std::vector<hsize_t>& dims, std::size_t size,
                              std::vector<hsize_t> chunk) {
  if (!chunk.empty()) return chunk;
  chunk = dims;
  for (hsize_t& c : chunk) c = std::max<hsize_t>(c, 1);
  for (std::size_t i = 0; i < chunk.size(); ++i) {
    hsize_t rest = size;
    for (std::size_t k = i + 1; k < chunk.size(); ++k) rest *= chunk[k];
    if (rest * chunk[i] <= kChunkBytes) break;
    chunk[i] = std::max<hsize_t>(1, kChunkBytes / rest);
  }
  return chunk;
}

H5Dataset create_dataset(hid_t where, const char* name, hid_t type, const H5Space& sp,
                         const BankStorage& storage, const std::vector<hsize_t>& chunk) {
  const H5PropertyList dcpl = untimed(H5P_DATASET_CREATE);
  // Every dataset of numbers is chunked with a checksum of each chunk, so that a damaged chunk
  // is refused when read rather than read as wrong numbers. (HDF5 filters no text of variable
  // length: the station names are stored as they are.)
  if (H5Tis_variable_str(type) > 0) {
    return H5Dataset(H5Dcreate2(where, name, type, sp.get(), H5P_DEFAULT, dcpl.get(), H5P_DEFAULT));
  }
  if (H5Pset_chunk(dcpl.get(), static_cast<int>(chunk.size()), chunk.data()) < 0) {
    return H5Dataset();
  }
  if (storage.gzip) {
    H5Pset_shuffle(dcpl.get());
    H5Pset_deflate(dcpl.get(), 4);
  }
  H5Pset_fletcher32(dcpl.get());
  // Each chunk is written whole and once: straight to the file, without a chunk cache.
  const H5PropertyList dapl(H5Pcreate(H5P_DATASET_ACCESS));
  H5Pset_chunk_cache(dapl.get(), 0, 0, 1.0);
  return H5Dataset(H5Dcreate2(where, name, type, sp.get(), H5P_DEFAULT, dcpl.get(), dapl.get()));
}

H5Space space(const std::vector<hsize_t>& d) {
  return H5Space(H5Screate_simple(static_cast<int>(d.size()), d.data(), nullptr));
}

// A new dataset from a new dataspace of the given dimensions (closed once the dataset is
// created), chunked as `chunk` (by default the whole, cut to about kChunkBytes).
H5Dataset new_dataset(hid_t where, const std::string& path, const char* name, hid_t type,
                      const std::vector<hsize_t>& dims, const BankStorage& storage,
                      const std::vector<hsize_t>& chunk = {}) {
  H5Dataset ds;
  {
    const H5Space sp = check(space(dims), path, name);
    ds = create_dataset(where, name, type, sp, storage, chunk_of(dims, H5Tget_size(type), chunk));
  }
  return check(std::move(ds), path, name);
}

void put(hid_t where, const std::string& path, const char* name, hid_t type, hid_t mem_type,
         const std::vector<hsize_t>& dims, const void* data, const BankStorage& storage) {
  H5Dataset ds = new_dataset(where, path, name, type, dims, storage);
  check_status(H5Dwrite(ds.get(), mem_type, H5S_ALL, H5S_ALL, H5P_DEFAULT, data), path, name);
}

void put_doubles(hid_t where, const std::string& path, const char* name,
                 const std::vector<double>& v, const std::vector<hsize_t>& dims,
                 const BankStorage& storage) {
  put(where, path, name, H5T_IEEE_F64LE, H5T_NATIVE_DOUBLE, dims, v.data(), storage);
}

void put_ints(hid_t where, const std::string& path, const char* name, const std::vector<int>& v,
              const BankStorage& storage) {
  put(where, path, name, H5T_STD_I32LE, H5T_NATIVE_INT, {v.size()}, v.data(), storage);
}

H5Type string_type() {
  H5Type t(H5Tcopy(H5T_C_S1));
  H5Tset_size(t.get(), H5T_VARIABLE);
  H5Tset_cset(t.get(), H5T_CSET_UTF8);
  return t;
}

void put_strings(hid_t where, const std::string& path, const char* name,
                 const std::vector<std::string>& v, const BankStorage& storage) {
  std::vector<const char*> p;
  for (const std::string& s : v) p.push_back(s.c_str());
  const H5Type t = string_type();
  put(where, path, name, t.get(), t.get(), {v.size()}, p.data(), storage);
}

// Writes an attribute of the given type and dataspace from `data`.
void put_attribute(hid_t where, const std::string& path, const char* name, hid_t type,
                   hid_t mem_type, H5Space sp, const void* data) {
  H5Attribute a(H5Acreate2(where, name, type, sp.get(), H5P_DEFAULT, H5P_DEFAULT));
  sp.close();
  a = check(std::move(a), path, name);
  const herr_t s = H5Awrite(a.get(), mem_type, data);
  a.close();
  check_status(s, path, name);
}

void attr_double(hid_t where, const std::string& path, const char* name, double v) {
  put_attribute(where, path, name, H5T_IEEE_F64LE, H5T_NATIVE_DOUBLE,
                H5Space(H5Screate(H5S_SCALAR)), &v);
}

void attr_int(hid_t where, const std::string& path, const char* name, long long v) {
  put_attribute(where, path, name, H5T_STD_I64LE, H5T_NATIVE_LLONG, H5Space(H5Screate(H5S_SCALAR)),
                &v);
}

void attr_doubles(hid_t where, const std::string& path, const char* name,
                  const std::vector<double>& v) {
  put_attribute(where, path, name, H5T_IEEE_F64LE, H5T_NATIVE_DOUBLE,
                check(space({v.size()}), path, name), v.data());
}

void attr_text(hid_t where, const std::string& path, const char* name, const std::string& v) {
  H5Type t = string_type();
  const char* p = v.c_str();
  put_attribute(where, path, name, t.get(), t.get(), H5Space(H5Screate(H5S_SCALAR)), &p);
  t.close();
}

H5Group group(hid_t file, const std::string& path, const char* name) {
  H5Group g;
  {
    const H5PropertyList gcpl = untimed(H5P_GROUP_CREATE);
    g = H5Group(H5Gcreate2(file, name, H5P_DEFAULT, gcpl.get(), H5P_DEFAULT));
  }
  return check(std::move(g), path, name);
}

H5Dataset open_dataset(hid_t where, const std::string& path, const char* name) {
  return check(H5Dataset(H5Dopen2(where, name, H5P_DEFAULT)), path, name);
}

// The complex type of the file: two float64 (or float32 for single precision) r, i.
H5Type complex_type(bool single) {
  H5Type t(H5Tcreate(H5T_COMPOUND, single ? 2 * sizeof(float) : sizeof(Cx)));
  const hid_t part = single ? H5T_NATIVE_FLOAT : H5T_NATIVE_DOUBLE;
  const std::size_t half = single ? sizeof(float) : sizeof(double);
  if (t.valid()) {
    H5Tinsert(t.get(), "r", 0, part);
    H5Tinsert(t.get(), "i", half, part);
  }
  return t;
}

}  // namespace

BankFileWriter::BankFileWriter(const std::string& path, const BankConfig& c, const BankPlan& p)
    : path_(path), plan_(p), nfreq_(c.nfreq), storage_{c.single, c.gzip} {
  // No clean-up of HDF5's at exit: a file whose last flush failed (a full disk) would be
  // flushed again there and crash the program after its message. The temporary is removed
  // by the caller.
  H5dont_atexit();
  H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
  file_ = check(H5File(H5Fcreate(path.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT)), path,
                "cannot create the file");
  {
    const hid_t f = file_.get();
    attr_text(f, path, "format", kBankFormat);
    attr_int(f, path, "format_version", kBankFormatVersion);
    attr_text(f, path, "precision", storage_.single ? "single" : "double");
    attr_text(f, path, "compression", storage_.gzip ? "gzip" : "none");
    attr_text(f, path, "configuration", c.text);
    attr_text(f, path, "program_version", std::string("layergreen ") + LAYERGREEN_VERSION);
    attr_text(f, path, "conventions", conventions());
    attr_text(f, path, "units", kUnits);

    // Frequencies by repeated addition from zero, as the spectra were computed.
    std::vector<double> freq;
    double fr = 0.0;
    for (int i = 0; i < c.nfreq; ++i) {
      freq.push_back(fr);
      fr += 1.0 / c.tl;
    }
    put_doubles(f, path, "frequencies", freq, {freq.size()}, storage_);
    {
      const H5Dataset ds = open_dataset(f, path, "frequencies");
      attr_double(ds.get(), path, "tl", c.tl);
      attr_double(ds.get(), path, "aw", c.aw);
      attr_double(ds.get(), path, "omega_imag", -(kPiFull * c.aw) / c.tl);
    }

    const std::size_t ns = p.stations.size(), nf = p.subfault_count();
    {
      const H5Group group_id = group(f, path, "stations");
      const hid_t g = group_id.get();
      std::vector<std::string> names;
      std::vector<double> x, y, lat, lon, depth;
      bool geo = false;
      bool below = false;
      for (const StationPlace& s : p.stations) {
        names.push_back(s.name);
        x.push_back(s.x);
        y.push_back(s.y);
        lat.push_back(s.geo ? s.lat : std::nan(""));
        lon.push_back(s.geo ? s.lon : std::nan(""));
        geo = geo || s.geo;
        depth.push_back(s.depth);
        below = below || s.depth != 0.0;
      }
      put_strings(g, path, "name", names, storage_);
      put_doubles(g, path, "x", x, {ns}, storage_);
      put_doubles(g, path, "y", y, {ns}, storage_);
      if (geo) {
        put_doubles(g, path, "lat", lat, {ns}, storage_);
        put_doubles(g, path, "lon", lon, {ns}, storage_);
      }
      // Stations below the free surface (sea-floor stations); none: at the surface.
      if (below) put_doubles(g, path, "depth", depth, {ns}, storage_);
    }
    {
      const H5Group group_id = group(f, path, "subfaults");
      const hid_t g = group_id.get();
      std::vector<double> x, y, depth, strike, dip;
      std::vector<int> row, along;
      for (const Subfault& s : p.fault.subfaults) {
        x.push_back(s.x);
        y.push_back(s.y);
        depth.push_back(s.depth);
        strike.push_back(s.strike);
        dip.push_back(s.dip);
        row.push_back(s.row);
        along.push_back(s.along_strike);
      }
      put_doubles(g, path, "x", x, {nf}, storage_);
      put_doubles(g, path, "y", y, {nf}, storage_);
      put_doubles(g, path, "depth", depth, {nf}, storage_);
      put_ints(g, path, "row", row, storage_);
      put_ints(g, path, "along_strike", along, storage_);
      if (p.fault.oriented) {
        put_doubles(g, path, "strike", strike, {nf}, storage_);
        put_doubles(g, path, "dip", dip, {nf}, storage_);
      }
      // What a moment needs: the area and the rigidity at the centre.
      if (p.fault.has_area) {
        std::vector<double> area;
        for (const Subfault& s : p.fault.subfaults) area.push_back(s.area);
        put_doubles(g, path, "area", area, {nf}, storage_);
        const H5Dataset ds = open_dataset(g, path, "area");
        attr_text(ds.get(), path, "units", "model length squared (km^2 for km)");
      }
      put_doubles(g, path, "mu", subfault_rigidity(c, p), {nf}, storage_);
      {
        const H5Dataset ds = open_dataset(g, path, "mu");
        attr_text(ds.get(), path, "description", kRigidity);
      }
      if (c.fault.geo) {
        std::vector<double> lat, lon;
        for (const Subfault& s : p.fault.subfaults) {
          const GeoPoint at =
              to_geo(GeoPoint{c.fault.origin_lat, c.fault.origin_lon}, LocalPoint{s.x, s.y});
          lat.push_back(at.lat);
          lon.push_back(at.lon);
        }
        put_doubles(g, path, "lat", lat, {nf}, storage_);
        put_doubles(g, path, "lon", lon, {nf}, storage_);
      }
    }
    {
      const H5Group group_id = group(f, path, "geometry");
      const hid_t g = group_id.get();
      put_doubles(g, path, "distance", p.distance, {ns, nf}, storage_);
      put_doubles(g, path, "azimuth", p.azimuth, {ns, nf}, storage_);
      put_doubles(g, path, "back_azimuth", p.back_azimuth, {ns, nf}, storage_);
      put_doubles(g, path, "offset_x", p.dx, {ns, nf}, storage_);
      put_doubles(g, path, "offset_y", p.dy, {ns, nf}, storage_);
    }
    {
      const H5Group group_id = group(f, path, "model");
      const hid_t g = group_id.get();
      std::vector<double> v;
      for (const LayerRow& l : c.layers) {
        for (double d : {l.thickness, l.vp, l.vs, l.rho, l.qp, l.qs}) v.push_back(d);
      }
      put_doubles(g, path, "layers", v, {c.layers.size(), 6}, storage_);
      const H5Dataset layers = open_dataset(g, path, "layers");
      const hid_t ds = layers.get();
      attr_text(ds, path, "q_law", c.q_law == QLaw::kClassic ? "classic" : "constant-q");
      if (c.q_law == QLaw::kConstantQ) attr_double(ds, path, "q_reference_hz", c.q_reference_hz);
      attr_text(ds, path, "columns", "thickness, vp, vs, rho, qp, qs");
      attr_double(ds, path, "xl", p.xl);
      attr_double(ds, path, "ikmax", p.ikmax);
      attr_double(ds, path, "uconv", c.uconv);
    }

    memory_complex_ = check(complex_type(false), path, "complex type");
    file_complex_ = check(complex_type(storage_.single), path, "complex type");
    spectra_ = pair_dataset("spectra", {kElements, kComponents});
    const auto nq = static_cast<hsize_t>(c.nfreq);
    iterations_ = new_dataset(f, path, "iterations", H5T_STD_I32LE, {ns, p.row_count(), nq},
                              storage_, {1, 1, nq});
    if (c.force) {
      force_spectra_ = pair_dataset("force_spectra", {kForceCount, kComponents});
      attr_text(force_spectra_.get(), path, "description", kForceSpectra);
    }
    // Strain, rotation and pressure, after the displacement's datasets.
    JournalShape held;
    held.force = c.force;
    held.strain = c.strain;
    held.rotation = c.rotation;
    held.pressure = c.pressure;
    for (std::size_t i = 0; i < kRecordParts.size(); ++i) {
      const RecordPart& part = kRecordParts[i];
      if (part.quantity == &kDisplacement || !part.in(held)) continue;
      parts_[i] = pair_dataset(part.name, {part.sources(), part.components()});
      attr_text(parts_[i].get(), path, "description",
                part.from_gradients() ? derived_description(part, false) : kPressureSpectra);
    }
  }
}

BankFileWriter::~BankFileWriter() = default;

H5Dataset BankFileWriter::pair_dataset(const char* name, const std::vector<hsize_t>& inner) {
  std::vector<hsize_t> dims = {plan_.stations.size(), plan_.subfault_count(),
                               static_cast<hsize_t>(nfreq_)};
  dims.insert(dims.end(), inner.begin(), inner.end());
  std::vector<hsize_t> chunk = dims;
  chunk[0] = chunk[1] = 1;
  return new_dataset(file_.get(), path_, name, file_complex_.get(), dims, storage_, chunk);
}

void BankFileWriter::write_pair(hid_t dataset, const char* name, int station, int subfault,
                                const Cx* values) {
  H5Space fs(H5Dget_space(dataset));
  const int rank = H5Sget_simple_extent_ndims(fs.get());
  std::vector<hsize_t> start(static_cast<std::size_t>(std::max(rank, 2)), 0);
  std::vector<hsize_t> count(start.size(), 0);
  if (rank < 2 || H5Sget_simple_extent_dims(fs.get(), count.data(), nullptr) < 0) {
    fail(path_, name);
  }
  start[0] = static_cast<hsize_t>(station);
  start[1] = static_cast<hsize_t>(subfault);
  count[0] = count[1] = 1;
  H5Sselect_hyperslab(fs.get(), H5S_SELECT_SET, start.data(), nullptr, count.data(), nullptr);
  H5Space ms = space(std::vector<hsize_t>(count.begin() + 2, count.end()));
  // Checked before the spaces are closed, which would clear HDF5's reason for a failure.
  check_status(H5Dwrite(dataset, memory_complex_.get(), ms.get(), fs.get(), H5P_DEFAULT, values),
               path_, name);
}

void BankFileWriter::write(const JournalRecord& r) {
  const auto nq = static_cast<hsize_t>(nfreq_);
  {
    H5Space fs(H5Dget_space(iterations_.get()));
    const hsize_t start[3] = {static_cast<hsize_t>(r.station), static_cast<hsize_t>(r.row), 0};
    const hsize_t count[3] = {1, 1, nq};
    H5Sselect_hyperslab(fs.get(), H5S_SELECT_SET, start, nullptr, count, nullptr);
    H5Space ms = space({nq});
    check_status(H5Dwrite(iterations_.get(), H5T_NATIVE_INT, ms.get(), fs.get(), H5P_DEFAULT,
                          r.iterations.data()),
                 path_, "iterations");
  }
  const std::vector<int>& row = plan_.fault.rows[static_cast<std::size_t>(r.row)];
  const std::size_t per = static_cast<std::size_t>(nfreq_) * kElementComponents;
  for (std::size_t k = 0; k < row.size(); ++k) {
    write_pair(spectra_.get(), "spectra", r.station, row[k], r.spectra.data() + k * per);
  }
  const std::size_t fper = static_cast<std::size_t>(nfreq_) * kForceComponents;
  for (std::size_t k = 0; k < row.size() && !r.force_spectra.empty(); ++k) {
    write_pair(force_spectra_.get(), "force_spectra", r.station, row[k],
               r.force_spectra.data() + k * fper);
  }
  for (std::size_t i = 0; i < kRecordParts.size(); ++i) {
    const RecordPart& part = kRecordParts[i];
    const std::vector<Cx>& values = r.*part.values;
    if (!parts_[i].valid() || values.empty()) continue;
    const std::size_t n = static_cast<std::size_t>(nfreq_) * part.per_receiver();
    for (std::size_t k = 0; k < row.size(); ++k) {
      write_pair(parts_[i].get(), part.name, r.station, row[k], values.data() + k * n);
    }
  }
}

void BankFileWriter::write_derived_statics(const RecordPart& part,
                                           const std::vector<double>& values,
                                           const std::vector<RowStaticSampling>& sampling) {
  write_statics_dataset(statics_name(part).c_str(), part.sources(),
                        derived_description(part, true).c_str(), values, sampling,
                        part.components());
}

void BankFileWriter::write_force_statics(const std::vector<double>& values,
                                         const std::vector<RowStaticSampling>& sampling) {
  write_statics_dataset("force_statics", kForceCount, kForceStatics, values, sampling);
}

void BankFileWriter::write_statics(const std::vector<double>& values,
                                   const std::vector<RowStaticSampling>& sampling) {
  write_statics_dataset("statics", kElements, kStatics, values, sampling);
}

void BankFileWriter::write_statics_dataset(const char* name, std::size_t sources,
                                           const char* description,
                                           const std::vector<double>& values,
                                           const std::vector<RowStaticSampling>& sampling,
                                           std::size_t components) {
  const std::size_t ns = plan_.stations.size(), nf = plan_.subfault_count();
  put_doubles(file_.get(), path_, name, values, {ns, nf, sources, components}, storage_);
  const H5Dataset statics = open_dataset(file_.get(), path_, name);
  const hid_t ds = statics.get();
  std::vector<double> xl, kmax, samples;
  for (const RowStaticSampling& s : sampling) {
    xl.push_back(2.0 * kPiFull / s.sampling.dk);
    kmax.push_back(s.sampling.kmax);
    samples.push_back(static_cast<double>(s.samples));
  }
  attr_text(ds, path_, "description", description);
  attr_doubles(ds, path_, "row_xl", xl);
  attr_doubles(ds, path_, "row_kmax", kmax);
  attr_doubles(ds, path_, "row_samples", samples);
}

void BankFileWriter::write_outcome(const SumsOutcome& o) {
  const hid_t f = file_.get();
  attr_int(f, path_, "sums", o.sums);
  attr_int(f, path_, "sums_unconverged", o.unconverged);
  attr_int(f, path_, "sums_nonfinite", o.nonfinite);
  attr_int(f, path_, "data_sets", o.data_sets);
  attr_int(f, path_, "data_sets_unconverged", o.data_sets_unconverged);
  attr_int(f, path_, "data_sets_nonfinite", o.data_sets_nonfinite);
}

void BankFileWriter::close() {
  if (file_.valid()) check_status(H5Fflush(file_.get(), H5F_SCOPE_GLOBAL), path_, "flush");
  bool force_closed = force_spectra_.close();
  for (H5Dataset& d : parts_) force_closed = d.close() && force_closed;
  const bool spectra_closed = spectra_.close() && force_closed;
  const bool iterations_closed = iterations_.close();
  file_complex_.close();
  memory_complex_.close();
  const bool file_closed = file_.close();
  if (!spectra_closed || !iterations_closed || !file_closed) fail(path_, "cannot close the file");
}

}  // namespace lg
