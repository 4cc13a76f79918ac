// Writes the HDF5 bank file (C API) from the plan and the journal's records.
#include "bank/bank_file.h"

#include <hdf5.h>

#include <cmath>
#include <stdexcept>
#include <vector>

namespace lg {

namespace {

constexpr const char* kConventions =
    "Green's functions of a layered half-space: displacement spectra U(w) = integral of u(t) "
    "exp(-i w t) dt at the complex angular frequency w = 2 pi f + i omega_imag, omega_imag = "
    "-pi aw / tl, for a moment history M(t) = delta(t) (impulse response). spectra[station, "
    "subfault, frequency, element, component]: elements xy, xz, -yz, zz-xx, zz-yy, xx+yy+zz "
    "(moment tensor in x north, y east, z down); components x, y, z with z positive up. Source "
    "at the subfault, station at the surface at the horizontal offset station - subfault. "
    "Azimuths in degrees from x towards y (clockwise from north).";
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

using Hid = hid_t;

[[noreturn]] void fail(const std::string& path, const std::string& what) {
  throw Error("cannot write bank file " + path + ": " + what);
}

Hid check(Hid id, const std::string& path, const char* what) {
  if (id < 0) fail(path, what);
  return id;
}

void check_status(herr_t s, const std::string& path, const char* what) {
  if (s < 0) fail(path, what);
}

// Creation properties without modification times, so that the same bank gives the same
// bytes.
Hid untimed(Hid cls) {
  const Hid p = H5Pcreate(cls);
  H5Pset_obj_track_times(p, 0);
  return p;
}

Hid create_dataset(Hid where, const char* name, Hid type, Hid sp) {
  const Hid dcpl = untimed(H5P_DATASET_CREATE);
  const Hid ds = H5Dcreate2(where, name, type, sp, H5P_DEFAULT, dcpl, H5P_DEFAULT);
  H5Pclose(dcpl);
  return ds;
}

Hid space(std::initializer_list<hsize_t> dims) {
  const std::vector<hsize_t> d(dims);
  return H5Screate_simple(static_cast<int>(d.size()), d.data(), nullptr);
}

void put(Hid where, const std::string& path, const char* name, Hid type, Hid mem_type,
         std::initializer_list<hsize_t> dims, const void* data) {
  const Hid sp = check(space(dims), path, name);
  const Hid ds = create_dataset(where, name, type, sp);
  H5Sclose(sp);
  check(ds, path, name);
  const herr_t s = H5Dwrite(ds, mem_type, H5S_ALL, H5S_ALL, H5P_DEFAULT, data);
  H5Dclose(ds);
  check_status(s, path, name);
}

void put_doubles(Hid where, const std::string& path, const char* name, const std::vector<double>& v,
                 std::initializer_list<hsize_t> dims) {
  put(where, path, name, H5T_IEEE_F64LE, H5T_NATIVE_DOUBLE, dims, v.data());
}

void put_ints(Hid where, const std::string& path, const char* name, const std::vector<int>& v) {
  put(where, path, name, H5T_STD_I32LE, H5T_NATIVE_INT, {v.size()}, v.data());
}

Hid string_type() {
  const Hid t = H5Tcopy(H5T_C_S1);
  H5Tset_size(t, H5T_VARIABLE);
  H5Tset_cset(t, H5T_CSET_UTF8);
  return t;
}

void put_strings(Hid where, const std::string& path, const char* name,
                 const std::vector<std::string>& v) {
  std::vector<const char*> p;
  for (const std::string& s : v) p.push_back(s.c_str());
  const Hid t = string_type();
  put(where, path, name, t, t, {v.size()}, p.data());
  H5Tclose(t);
}

void attr_double(Hid where, const std::string& path, const char* name, double v) {
  const Hid sp = H5Screate(H5S_SCALAR);
  const Hid a = H5Acreate2(where, name, H5T_IEEE_F64LE, sp, H5P_DEFAULT, H5P_DEFAULT);
  H5Sclose(sp);
  check(a, path, name);
  const herr_t s = H5Awrite(a, H5T_NATIVE_DOUBLE, &v);
  H5Aclose(a);
  check_status(s, path, name);
}

void attr_doubles(Hid where, const std::string& path, const char* name,
                  const std::vector<double>& v) {
  const Hid sp = check(space({v.size()}), path, name);
  const Hid a = H5Acreate2(where, name, H5T_IEEE_F64LE, sp, H5P_DEFAULT, H5P_DEFAULT);
  H5Sclose(sp);
  check(a, path, name);
  const herr_t s = H5Awrite(a, H5T_NATIVE_DOUBLE, v.data());
  H5Aclose(a);
  check_status(s, path, name);
}

void attr_text(Hid where, const std::string& path, const char* name, const std::string& v) {
  const Hid t = string_type();
  const Hid sp = H5Screate(H5S_SCALAR);
  const Hid a = H5Acreate2(where, name, t, sp, H5P_DEFAULT, H5P_DEFAULT);
  H5Sclose(sp);
  if (a < 0) H5Tclose(t);
  check(a, path, name);
  const char* p = v.c_str();
  const herr_t s = H5Awrite(a, t, &p);
  H5Aclose(a);
  H5Tclose(t);
  check_status(s, path, name);
}

Hid group(Hid file, const std::string& path, const char* name) {
  const Hid gcpl = untimed(H5P_GROUP_CREATE);
  const Hid g = H5Gcreate2(file, name, H5P_DEFAULT, gcpl, H5P_DEFAULT);
  H5Pclose(gcpl);
  return check(g, path, name);
}

}  // namespace

BankFileWriter::BankFileWriter(const std::string& path, const BankConfig& c, const BankPlan& p)
    : path_(path), plan_(p), nfreq_(c.nfreq) {
  H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
  file_ = check(H5Fcreate(path.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT), path,
                "cannot create the file");
  try {
    const Hid f = file_;
    attr_text(f, path, "configuration", c.text);
    attr_text(f, path, "program_version", std::string("layergreen ") + LAYERGREEN_VERSION);
    attr_text(f, path, "conventions", kConventions);
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
      const Hid ds = check(H5Dopen2(f, "frequencies", H5P_DEFAULT), path, "frequencies");
      attr_double(ds, path, "tl", c.tl);
      attr_double(ds, path, "aw", c.aw);
      attr_double(ds, path, "omega_imag", -(3.14159265358979323846 * c.aw) / c.tl);
      H5Dclose(ds);
    }

    const std::size_t ns = p.stations.size(), nf = p.subfault_count();
    {
      const Hid g = group(f, path, "stations");
      std::vector<std::string> names;
      std::vector<double> x, y, lat, lon;
      bool geo = false;
      for (const StationPlace& s : p.stations) {
        names.push_back(s.name);
        x.push_back(s.x);
        y.push_back(s.y);
        lat.push_back(s.geo ? s.lat : std::nan(""));
        lon.push_back(s.geo ? s.lon : std::nan(""));
        geo = geo || s.geo;
      }
      put_strings(g, path, "name", names);
      put_doubles(g, path, "x", x, {ns});
      put_doubles(g, path, "y", y, {ns});
      if (geo) {
        put_doubles(g, path, "lat", lat, {ns});
        put_doubles(g, path, "lon", lon, {ns});
      }
      H5Gclose(g);
    }
    {
      const Hid g = group(f, path, "subfaults");
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
      H5Gclose(g);
    }
    {
      const Hid g = group(f, path, "geometry");
      put_doubles(g, path, "distance", p.distance, {ns, nf});
      put_doubles(g, path, "azimuth", p.azimuth, {ns, nf});
      put_doubles(g, path, "offset_x", p.dx, {ns, nf});
      put_doubles(g, path, "offset_y", p.dy, {ns, nf});
      H5Gclose(g);
    }
    {
      const Hid g = group(f, path, "model");
      std::vector<double> v;
      for (const LayerRow& l : c.layers) {
        for (double d : {l.thickness, l.vp, l.vs, l.rho, l.qp, l.qs}) v.push_back(d);
      }
      put_doubles(g, path, "layers", v, {c.layers.size(), 6});
      const Hid ds = check(H5Dopen2(g, "layers", H5P_DEFAULT), path, "layers");
      attr_text(ds, path, "q_law", c.q_law == QLaw::kClassic ? "classic" : "constant-q");
      if (c.q_law == QLaw::kConstantQ) attr_double(ds, path, "q_reference_hz", c.q_reference_hz);
      attr_text(ds, path, "columns", "thickness, vp, vs, rho, qp, qs");
      attr_double(ds, path, "xl", p.xl);
      attr_double(ds, path, "ikmax", p.ikmax);
      attr_double(ds, path, "uconv", c.uconv);
      H5Dclose(ds);
      H5Gclose(g);
    }

    complex_ = check(H5Tcreate(H5T_COMPOUND, sizeof(Cx)), path, "complex type");
    H5Tinsert(complex_, "r", HOFFSET(Cx, re), H5T_NATIVE_DOUBLE);
    H5Tinsert(complex_, "i", HOFFSET(Cx, im), H5T_NATIVE_DOUBLE);
    const auto nq = static_cast<hsize_t>(c.nfreq);
    const Hid sp = check(space({ns, nf, nq, 6, 3}), path, "spectra");
    spectra_ = create_dataset(f, "spectra", complex_, sp);
    H5Sclose(sp);
    check(spectra_, path, "spectra");
    const Hid sp2 = check(space({ns, p.row_count(), nq}), path, "iterations");
    iterations_ = create_dataset(f, "iterations", H5T_STD_I32LE, sp2);
    H5Sclose(sp2);
    check(iterations_, path, "iterations");
  } catch (...) {
    release();
    throw;
  }
}

BankFileWriter::~BankFileWriter() {
  release();
}

void BankFileWriter::release() {
  if (spectra_ >= 0) H5Dclose(spectra_);
  if (iterations_ >= 0) H5Dclose(iterations_);
  if (complex_ >= 0) H5Tclose(complex_);
  if (file_ >= 0) H5Fclose(file_);
  spectra_ = iterations_ = complex_ = file_ = -1;
}

void BankFileWriter::write(const JournalRecord& r) {
  const auto nq = static_cast<hsize_t>(nfreq_);
  {
    const Hid fs = H5Dget_space(iterations_);
    const hsize_t start[3] = {static_cast<hsize_t>(r.station), static_cast<hsize_t>(r.row), 0};
    const hsize_t count[3] = {1, 1, nq};
    H5Sselect_hyperslab(fs, H5S_SELECT_SET, start, nullptr, count, nullptr);
    const Hid ms = space({nq});
    const herr_t s =
        H5Dwrite(iterations_, H5T_NATIVE_INT, ms, fs, H5P_DEFAULT, r.iterations.data());
    H5Sclose(ms);
    H5Sclose(fs);
    check_status(s, path_, "iterations");
  }
  const std::vector<int>& row = plan_.fault.rows[static_cast<std::size_t>(r.row)];
  const std::size_t per = static_cast<std::size_t>(nfreq_) * 18;
  for (std::size_t k = 0; k < row.size(); ++k) {
    const Hid fs = H5Dget_space(spectra_);
    const hsize_t start[5] = {static_cast<hsize_t>(r.station), static_cast<hsize_t>(row[k]), 0, 0,
                              0};
    const hsize_t count[5] = {1, 1, nq, 6, 3};
    H5Sselect_hyperslab(fs, H5S_SELECT_SET, start, nullptr, count, nullptr);
    const Hid ms = space({nq, 6, 3});
    const herr_t s = H5Dwrite(spectra_, complex_, ms, fs, H5P_DEFAULT, r.spectra.data() + k * per);
    H5Sclose(ms);
    H5Sclose(fs);
    check_status(s, path_, "spectra");
  }
}

void BankFileWriter::write_statics(const std::vector<double>& values,
                                   const std::vector<RowStaticSampling>& sampling) {
  const std::size_t ns = plan_.stations.size(), nf = plan_.subfault_count();
  put_doubles(file_, path_, "statics", values, {ns, nf, 6, 3});
  const Hid ds = check(H5Dopen2(file_, "statics", H5P_DEFAULT), path_, "statics");
  std::vector<double> xl, kmax, samples;
  for (const RowStaticSampling& s : sampling) {
    xl.push_back(2.0 * 3.14159265358979323846 / s.sampling.dk);
    kmax.push_back(s.sampling.kmax);
    samples.push_back(static_cast<double>(s.samples));
  }
  try {
    attr_text(ds, path_, "description", kStatics);
    attr_doubles(ds, path_, "row_xl", xl);
    attr_doubles(ds, path_, "row_kmax", kmax);
    attr_doubles(ds, path_, "row_samples", samples);
  } catch (...) {
    H5Dclose(ds);
    throw;
  }
  H5Dclose(ds);
}

void BankFileWriter::close() {
  if (file_ >= 0) check_status(H5Fflush(file_, H5F_SCOPE_GLOBAL), path_, "flush");
  const bool ok = H5Dclose(spectra_) >= 0 && H5Dclose(iterations_) >= 0;
  spectra_ = iterations_ = -1;
  H5Tclose(complex_);
  complex_ = -1;
  const bool closed = H5Fclose(file_) >= 0;
  file_ = -1;
  if (!ok || !closed) fail(path_, "cannot close the file");
}

}  // namespace lg
