// Writes the HDF5 bank file (C API) from the plan and the journal's records.
#include "bank/bank_file.h"

#include <hdf5.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

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

H5Dataset create_dataset(hid_t where, const char* name, hid_t type, const H5Space& sp) {
  const H5PropertyList dcpl = untimed(H5P_DATASET_CREATE);
  return H5Dataset(H5Dcreate2(where, name, type, sp.get(), H5P_DEFAULT, dcpl.get(), H5P_DEFAULT));
}

H5Space space(std::initializer_list<hsize_t> dims) {
  const std::vector<hsize_t> d(dims);
  return H5Space(H5Screate_simple(static_cast<int>(d.size()), d.data(), nullptr));
}

// A new dataset from a new dataspace of the given dimensions (closed once the dataset is
// created).
H5Dataset new_dataset(hid_t where, const std::string& path, const char* name, hid_t type,
                      std::initializer_list<hsize_t> dims) {
  H5Dataset ds;
  {
    const H5Space sp = check(space(dims), path, name);
    ds = create_dataset(where, name, type, sp);
  }
  return check(std::move(ds), path, name);
}

void put(hid_t where, const std::string& path, const char* name, hid_t type, hid_t mem_type,
         std::initializer_list<hsize_t> dims, const void* data) {
  H5Dataset ds = new_dataset(where, path, name, type, dims);
  const herr_t s = H5Dwrite(ds.get(), mem_type, H5S_ALL, H5S_ALL, H5P_DEFAULT, data);
  ds.close();
  check_status(s, path, name);
}

void put_doubles(hid_t where, const std::string& path, const char* name,
                 const std::vector<double>& v, std::initializer_list<hsize_t> dims) {
  put(where, path, name, H5T_IEEE_F64LE, H5T_NATIVE_DOUBLE, dims, v.data());
}

void put_ints(hid_t where, const std::string& path, const char* name, const std::vector<int>& v) {
  put(where, path, name, H5T_STD_I32LE, H5T_NATIVE_INT, {v.size()}, v.data());
}

H5Type string_type() {
  H5Type t(H5Tcopy(H5T_C_S1));
  H5Tset_size(t.get(), H5T_VARIABLE);
  H5Tset_cset(t.get(), H5T_CSET_UTF8);
  return t;
}

void put_strings(hid_t where, const std::string& path, const char* name,
                 const std::vector<std::string>& v) {
  std::vector<const char*> p;
  for (const std::string& s : v) p.push_back(s.c_str());
  const H5Type t = string_type();
  put(where, path, name, t.get(), t.get(), {v.size()}, p.data());
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

}  // namespace

BankFileWriter::BankFileWriter(const std::string& path, const BankConfig& c, const BankPlan& p)
    : path_(path), plan_(p), nfreq_(c.nfreq) {
  // No clean-up of HDF5's at exit: a file whose last flush failed (a full disk) would be
  // flushed again there and crash the program after its message. The temporary is removed
  // by the caller.
  H5dont_atexit();
  H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
  file_ = check(H5File(H5Fcreate(path.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT)), path,
                "cannot create the file");
  {
    const hid_t f = file_.get();
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
    put_doubles(f, path, "frequencies", freq, {freq.size()});
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
      put_strings(g, path, "name", names);
      put_doubles(g, path, "x", x, {ns});
      put_doubles(g, path, "y", y, {ns});
      if (geo) {
        put_doubles(g, path, "lat", lat, {ns});
        put_doubles(g, path, "lon", lon, {ns});
      }
      // Stations below the free surface (sea-floor stations); none: at the surface.
      if (below) put_doubles(g, path, "depth", depth, {ns});
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
      put_doubles(g, path, "x", x, {nf});
      put_doubles(g, path, "y", y, {nf});
      put_doubles(g, path, "depth", depth, {nf});
      put_ints(g, path, "row", row);
      put_ints(g, path, "along_strike", along);
      if (p.fault.oriented) {
        put_doubles(g, path, "strike", strike, {nf});
        put_doubles(g, path, "dip", dip, {nf});
      }
    }
    {
      const H5Group group_id = group(f, path, "geometry");
      const hid_t g = group_id.get();
      put_doubles(g, path, "distance", p.distance, {ns, nf});
      put_doubles(g, path, "azimuth", p.azimuth, {ns, nf});
      put_doubles(g, path, "offset_x", p.dx, {ns, nf});
      put_doubles(g, path, "offset_y", p.dy, {ns, nf});
    }
    {
      const H5Group group_id = group(f, path, "model");
      const hid_t g = group_id.get();
      std::vector<double> v;
      for (const LayerRow& l : c.layers) {
        for (double d : {l.thickness, l.vp, l.vs, l.rho, l.qp, l.qs}) v.push_back(d);
      }
      put_doubles(g, path, "layers", v, {c.layers.size(), 6});
      const H5Dataset layers = open_dataset(g, path, "layers");
      const hid_t ds = layers.get();
      attr_text(ds, path, "q_law", c.q_law == QLaw::kClassic ? "classic" : "constant-q");
      if (c.q_law == QLaw::kConstantQ) attr_double(ds, path, "q_reference_hz", c.q_reference_hz);
      attr_text(ds, path, "columns", "thickness, vp, vs, rho, qp, qs");
      attr_double(ds, path, "xl", p.xl);
      attr_double(ds, path, "ikmax", p.ikmax);
      attr_double(ds, path, "uconv", c.uconv);
    }

    complex_ = check(H5Type(H5Tcreate(H5T_COMPOUND, sizeof(Cx))), path, "complex type");
    H5Tinsert(complex_.get(), "r", HOFFSET(Cx, re), H5T_NATIVE_DOUBLE);
    H5Tinsert(complex_.get(), "i", HOFFSET(Cx, im), H5T_NATIVE_DOUBLE);
    const auto nq = static_cast<hsize_t>(c.nfreq);
    spectra_ =
        new_dataset(f, path, "spectra", complex_.get(), {ns, nf, nq, kElements, kComponents});
    iterations_ = new_dataset(f, path, "iterations", H5T_STD_I32LE, {ns, p.row_count(), nq});
  }
}

BankFileWriter::~BankFileWriter() = default;

void BankFileWriter::write(const JournalRecord& r) {
  const auto nq = static_cast<hsize_t>(nfreq_);
  {
    H5Space fs(H5Dget_space(iterations_.get()));
    const hsize_t start[3] = {static_cast<hsize_t>(r.station), static_cast<hsize_t>(r.row), 0};
    const hsize_t count[3] = {1, 1, nq};
    H5Sselect_hyperslab(fs.get(), H5S_SELECT_SET, start, nullptr, count, nullptr);
    H5Space ms = space({nq});
    const herr_t s = H5Dwrite(iterations_.get(), H5T_NATIVE_INT, ms.get(), fs.get(), H5P_DEFAULT,
                              r.iterations.data());
    ms.close();
    fs.close();
    check_status(s, path_, "iterations");
  }
  const std::vector<int>& row = plan_.fault.rows[static_cast<std::size_t>(r.row)];
  const std::size_t per = static_cast<std::size_t>(nfreq_) * kElementComponents;
  for (std::size_t k = 0; k < row.size(); ++k) {
    H5Space fs(H5Dget_space(spectra_.get()));
    const hsize_t start[5] = {static_cast<hsize_t>(r.station), static_cast<hsize_t>(row[k]), 0, 0,
                              0};
    const hsize_t count[5] = {1, 1, nq, kElements, kComponents};
    H5Sselect_hyperslab(fs.get(), H5S_SELECT_SET, start, nullptr, count, nullptr);
    H5Space ms = space({nq, kElements, kComponents});
    const herr_t s = H5Dwrite(spectra_.get(), complex_.get(), ms.get(), fs.get(), H5P_DEFAULT,
                              r.spectra.data() + k * per);
    ms.close();
    fs.close();
    check_status(s, path_, "spectra");
  }
}

void BankFileWriter::write_statics(const std::vector<double>& values,
                                   const std::vector<RowStaticSampling>& sampling) {
  const std::size_t ns = plan_.stations.size(), nf = plan_.subfault_count();
  put_doubles(file_.get(), path_, "statics", values, {ns, nf, kElements, kComponents});
  const H5Dataset statics = open_dataset(file_.get(), path_, "statics");
  const hid_t ds = statics.get();
  std::vector<double> xl, kmax, samples;
  for (const RowStaticSampling& s : sampling) {
    xl.push_back(2.0 * kPiFull / s.sampling.dk);
    kmax.push_back(s.sampling.kmax);
    samples.push_back(static_cast<double>(s.samples));
  }
  attr_text(ds, path_, "description", kStatics);
  attr_doubles(ds, path_, "row_xl", xl);
  attr_doubles(ds, path_, "row_kmax", kmax);
  attr_doubles(ds, path_, "row_samples", samples);
}

void BankFileWriter::close() {
  if (file_.valid()) check_status(H5Fflush(file_.get(), H5F_SCOPE_GLOBAL), path_, "flush");
  const bool spectra_closed = spectra_.close();
  const bool iterations_closed = iterations_.close();
  complex_.close();
  const bool file_closed = file_.close();
  if (!spectra_closed || !iterations_closed || !file_closed) fail(path_, "cannot close the file");
}

}  // namespace lg
