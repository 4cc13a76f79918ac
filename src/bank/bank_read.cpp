// Reads bank files back (HDF5 C API): --verify and the reader of a finished bank.
#include "bank/bank_read.h"

#include <hdf5.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "bank/bank_file.h"
#include "bank/bank_parts.h"
#include "common/error.h"
#include "kernel/layout.h"

namespace lg {

namespace {

// The innermost description on HDF5's error stack ("data error detected by Fletcher32
// checksum", "truncated file: ..."), or "" when it is empty.
herr_t take_innermost(unsigned, const H5E_error2_t* e, void* data) {
  if (e->desc != nullptr && e->desc[0] != '\0') *static_cast<std::string*>(data) = e->desc;
  return 0;
}

std::string hdf5_reason() {
  std::string reason;
  H5Ewalk2(H5E_DEFAULT, H5E_WALK_DOWNWARD, take_innermost, &reason);
  H5Eclear2(H5E_DEFAULT);
  return reason;
}

std::string with_reason(const std::string& what) {
  const std::string reason = hdf5_reason();
  return reason.empty() ? what : what + " (" + reason + ")";
}

// Opens an HDF5 file read-only; on failure, the reason in words.
H5File open_file(const std::string& path, std::string& problem) {
  H5dont_atexit();
  H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
  if (::access(path.c_str(), R_OK) != 0) {
    problem = std::string("cannot open: ") + std::strerror(errno);
    return H5File();
  }
  if (H5Fis_hdf5(path.c_str()) <= 0) {
    const std::string reason = hdf5_reason();
    problem = "not an HDF5 file, or one cut short" + (reason.empty() ? "" : " (" + reason + ")");
    return H5File();
  }
  H5File f(H5Fopen(path.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT));
  if (!f.valid()) problem = with_reason("cannot open it as an HDF5 file (truncated or damaged)");
  return f;
}

// A text attribute of an object ("" when absent or not text).
std::string text_attribute(hid_t where, const char* name) {
  if (H5Aexists(where, name) <= 0) return {};
  const H5Attribute a(H5Aopen(where, name, H5P_DEFAULT));
  const H5Type t(H5Aget_type(a.get()));
  if (!a.valid() || !t.valid() || H5Tget_class(t.get()) != H5T_STRING) return {};
  if (H5Tis_variable_str(t.get()) > 0) {
    const H5Type m(H5Tcopy(t.get()));
    char* p = nullptr;
    if (H5Aread(a.get(), m.get(), &p) < 0 || p == nullptr) return {};
    std::string s(p);
    H5free_memory(p);
    return s;
  }
  std::string s(H5Tget_size(t.get()), '\0');
  if (H5Aread(a.get(), t.get(), s.data()) < 0) return {};
  return s.substr(0, s.find('\0'));
}

// Whether the file's root says it is a bank: "" when so, else the problem.
std::string bank_problem(hid_t file) {
  const std::string format = text_attribute(file, "format");
  if (format.empty()) {
    // Banks written before the format attribute hold these.
    for (const char* name : {"spectra", "iterations", "frequencies", "stations"}) {
      if (H5Lexists(file, name, H5P_DEFAULT) <= 0) {
        return std::string("not a bank file (no format attribute and no /") + name + ")";
      }
    }
    return {};
  }
  if (format != kBankFormat) return "not a bank file (its format is \"" + format + "\")";
  long long version = 0;
  if (H5Aexists(file, "format_version") > 0) {
    const H5Attribute a(H5Aopen(file, "format_version", H5P_DEFAULT));
    if (H5Aread(a.get(), H5T_NATIVE_LLONG, &version) < 0) version = 0;
  }
  if (version < 1) return "the format_version attribute cannot be read";
  if (version > kBankFormatVersion) {
    return "format_version " + std::to_string(version) + " is newer than this program reads (" +
           std::to_string(kBankFormatVersion) + ")";
  }
  return {};
}

herr_t collect_dataset(hid_t group, const char* name, const H5L_info_t*, void* data) {
  const hid_t o = H5Oopen(group, name, H5P_DEFAULT);
  if (o < 0) {
    static_cast<std::vector<std::string>*>(data)->push_back(std::string("!") + name);
    return 0;
  }
  if (H5Iget_type(o) == H5I_DATASET) {
    static_cast<std::vector<std::string>*>(data)->push_back(name);
  }
  H5Oclose(o);
  return 0;
}

std::string offsets_text(const std::vector<hsize_t>& v) {
  std::string s = "[";
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (i > 0) s += ", ";
    s += std::to_string(v[i]);
  }
  return s + "]";
}

// Reads the selection `fs` of a dataset through its filters: "" when it can be read, else
// the reason.
std::string read_selection(hid_t ds, hid_t ftype, hid_t fs, hsize_t points) {
  const bool vlen = H5Tis_variable_str(ftype) > 0 || H5Tget_class(ftype) == H5T_VLEN;
  H5Type mtype(vlen ? H5Tcopy(ftype) : H5Tget_native_type(ftype, H5T_DIR_DEFAULT));
  if (!mtype.valid()) return with_reason("its type cannot be read");
  const hsize_t n[1] = {points};
  const H5Space ms(H5Screate_simple(1, n, nullptr));
  std::vector<unsigned char> buf(static_cast<std::size_t>(points) * H5Tget_size(mtype.get()));
  if (H5Dread(ds, mtype.get(), ms.get(), fs, H5P_DEFAULT, buf.data()) < 0) {
    const std::string reason = hdf5_reason();
    return reason.empty() ? std::string("a read error") : reason;
  }
  if (vlen) H5Dvlen_reclaim(mtype.get(), ms.get(), H5P_DEFAULT, buf.data());
  return {};
}

// Reads every chunk of one dataset into the verification.
void verify_dataset(hid_t file, const std::string& name, BankVerification& v) {
  const H5Dataset ds(H5Dopen2(file, name.c_str(), H5P_DEFAULT));
  if (!ds.valid()) {
    v.problems.push_back("/" + name + ": " + with_reason("cannot open the dataset"));
    ++v.damaged;
    return;
  }
  ++v.datasets;
  const H5Type ftype(H5Dget_type(ds.get()));
  const H5Space fs(H5Dget_space(ds.get()));
  const H5PropertyList dcpl(H5Dget_create_plist(ds.get()));
  const int rank = H5Sget_simple_extent_ndims(fs.get());
  std::vector<hsize_t> dims(static_cast<std::size_t>(std::max(rank, 0)));
  H5Sget_simple_extent_dims(fs.get(), dims.data(), nullptr);
  const hssize_t points = H5Sget_simple_extent_npoints(fs.get());
  if (points <= 0) return;
  if (H5Pget_layout(dcpl.get()) != H5D_CHUNKED) {
    ++v.chunks;
    const std::string reason =
        read_selection(ds.get(), ftype.get(), fs.get(), static_cast<hsize_t>(points));
    if (!reason.empty()) {
      ++v.damaged;
      v.problems.push_back("/" + name + ": cannot be read (" + reason + ")");
    }
    return;
  }
  std::vector<hsize_t> chunk(dims.size());
  H5Pget_chunk(dcpl.get(), rank, chunk.data());
  hsize_t expected = 1;
  for (std::size_t k = 0; k < dims.size(); ++k) expected *= (dims[k] + chunk[k] - 1) / chunk[k];
  hsize_t stored = 0;
  H5Dget_num_chunks(ds.get(), fs.get(), &stored);
  if (stored < expected) {
    v.problems.push_back("/" + name + ": " + std::to_string(expected - stored) + " of " +
                         std::to_string(expected) + " chunks were never written");
    v.damaged += static_cast<std::size_t>(expected - stored);
  }
  std::vector<hsize_t> offset(dims.size()), count(dims.size());
  for (hsize_t i = 0; i < stored; ++i) {
    unsigned mask = 0;
    haddr_t addr = 0;
    hsize_t size = 0;
    ++v.chunks;
    if (H5Dget_chunk_info(ds.get(), fs.get(), i, offset.data(), &mask, &addr, &size) < 0) {
      ++v.damaged;
      v.problems.push_back("/" + name + ": " +
                           with_reason("chunk " + std::to_string(i) + " cannot be located"));
      continue;
    }
    hsize_t n = 1;
    for (std::size_t k = 0; k < dims.size(); ++k) {
      count[k] = std::min(chunk[k], dims[k] - offset[k]);
      n *= count[k];
    }
    const H5Space sel(H5Scopy(fs.get()));
    H5Sselect_hyperslab(sel.get(), H5S_SELECT_SET, offset.data(), nullptr, count.data(), nullptr);
    const std::string reason = read_selection(ds.get(), ftype.get(), sel.get(), n);
    if (!reason.empty()) {
      ++v.damaged;
      v.problems.push_back("/" + name + ": the chunk at " + offsets_text(offset) +
                           " cannot be read (" + reason + ")");
    }
  }
}

// Reads a hyperslab of a dataset (start, count) into `out` as `mem_type`; throws Error.
void read_slab(const std::string& path, hid_t file, const char* name, hid_t mem_type,
               const std::vector<hsize_t>& start, const std::vector<hsize_t>& count, void* out) {
  const H5Dataset ds(H5Dopen2(file, name, H5P_DEFAULT));
  if (!ds.valid()) throw Error(path + ": " + with_reason(std::string("no /") + name));
  const H5Space fs(H5Dget_space(ds.get()));
  if (H5Sget_simple_extent_ndims(fs.get()) != static_cast<int>(start.size()) ||
      H5Sselect_hyperslab(fs.get(), H5S_SELECT_SET, start.data(), nullptr, count.data(), nullptr) <
          0 ||
      H5Sselect_valid(fs.get()) <= 0) {
    throw Error(path + ": /" + name + " does not have the bank's shape");
  }
  const H5Space ms(H5Screate_simple(static_cast<int>(count.size()), count.data(), nullptr));
  if (H5Dread(ds.get(), mem_type, ms.get(), fs.get(), H5P_DEFAULT, out) < 0) {
    throw Error(path + ": /" + name + " at " + offsets_text(start) + " " +
                with_reason("cannot be read; the file is damaged"));
  }
}

}  // namespace

BankVerification verify_bank_file(const std::string& path) {
  BankVerification v;
  std::string problem;
  const H5File f = open_file(path, problem);
  if (!f.valid()) {
    v.problems.push_back(problem);
    return v;
  }
  problem = bank_problem(f.get());
  if (!problem.empty()) {
    v.problems.push_back(problem);
    return v;
  }
  std::vector<std::string> names;
  if (H5Lvisit(f.get(), H5_INDEX_NAME, H5_ITER_INC, collect_dataset, &names) < 0) {
    v.problems.push_back(with_reason("its groups cannot be read"));
    return v;
  }
  for (const std::string& name : names) {
    if (name.rfind('!', 0) == 0) {
      ++v.damaged;
      std::string line = name;
      line[0] = '/';
      v.problems.push_back(line + ": " + with_reason("cannot be opened"));
    } else {
      verify_dataset(f.get(), name, v);
    }
  }
  v.whole = v.problems.empty() && v.damaged == 0;
  return v;
}

int run_verify(const std::string& path, std::ostream& out, std::ostream& err) {
  const BankVerification v = verify_bank_file(path);
  constexpr std::size_t kListed = 20;
  for (std::size_t i = 0; i < v.problems.size() && i < kListed; ++i) {
    err << "layergreen: " << path << ": " << v.problems[i] << '\n';
  }
  if (v.problems.size() > kListed) {
    err << "layergreen: " << path << ": and " << v.problems.size() - kListed << " more problems\n";
  }
  if (v.whole) {
    out << path << ": whole: " << v.datasets << " datasets, " << v.chunks
        << " chunks read, every checksum holds\n";
    return kExitOk;
  }
  out << path << ": NOT whole";
  if (v.datasets > 0) out << ": " << v.damaged << " of " << v.chunks << " chunks damaged";
  out << '\n';
  return kExitInputError;
}

BankFileReader::BankFileReader(const std::string& path) : path_(path) {
  std::string problem;
  file_ = open_file(path, problem);
  if (!file_.valid()) throw Error(path + ": " + problem);
  problem = bank_problem(file_.get());
  if (!problem.empty()) throw Error(path + ": " + problem);
  const H5Dataset freq(H5Dopen2(file_.get(), "frequencies", H5P_DEFAULT));
  const H5Space fs(H5Dget_space(freq.get()));
  const hssize_t n = freq.valid() ? H5Sget_simple_extent_npoints(fs.get()) : -1;
  if (n <= 0) throw Error(path + ": " + with_reason("/frequencies cannot be read"));
  nfreq_ = static_cast<int>(n);
}

std::string BankFileReader::text(const char* name) const {
  return text_attribute(file_.get(), name);
}

std::vector<double> BankFileReader::numbers(const char* name) const {
  const H5Dataset ds(H5Dopen2(file_.get(), name, H5P_DEFAULT));
  const H5Space fs(H5Dget_space(ds.get()));
  const hssize_t n = ds.valid() ? H5Sget_simple_extent_npoints(fs.get()) : -1;
  if (n < 0) throw Error(path_ + ": " + with_reason(std::string("/") + name + " cannot be read"));
  std::vector<double> v(static_cast<std::size_t>(n));
  if (H5Dread(ds.get(), H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, v.data()) < 0) {
    throw Error(path_ + ": /" + name + " " + with_reason("cannot be read; the file is damaged"));
  }
  return v;
}

std::vector<std::string> BankFileReader::station_names() const {
  const H5Dataset ds(H5Dopen2(file_.get(), "stations/name", H5P_DEFAULT));
  const H5Space fs(H5Dget_space(ds.get()));
  const hssize_t n = ds.valid() ? H5Sget_simple_extent_npoints(fs.get()) : -1;
  if (n < 0) throw Error(path_ + ": " + with_reason("/stations/name cannot be read"));
  const H5Type t(H5Tcopy(H5T_C_S1));
  H5Tset_size(t.get(), H5T_VARIABLE);
  H5Tset_cset(t.get(), H5T_CSET_UTF8);
  std::vector<char*> p(static_cast<std::size_t>(n), nullptr);
  if (H5Dread(ds.get(), t.get(), H5S_ALL, H5S_ALL, H5P_DEFAULT, p.data()) < 0) {
    throw Error(path_ + ": " + with_reason("/stations/name cannot be read; the file is damaged"));
  }
  std::vector<std::string> names;
  for (char* s : p) names.emplace_back(s != nullptr ? s : "");
  H5Dvlen_reclaim(t.get(), fs.get(), H5P_DEFAULT, p.data());
  return names;
}

JournalRecord BankFileReader::record(int station, int row,
                                     const std::vector<int>& subfaults) const {
  JournalRecord r;
  r.station = station;
  r.row = row;
  const auto nq = static_cast<hsize_t>(nfreq_);
  const auto st = static_cast<hsize_t>(station);
  r.iterations.resize(nq);
  read_slab(path_, file_.get(), "iterations", H5T_NATIVE_INT, {st, static_cast<hsize_t>(row), 0},
            {1, 1, nq}, r.iterations.data());
  H5Type cx(H5Tcreate(H5T_COMPOUND, sizeof(Cx)));
  H5Tinsert(cx.get(), "r", HOFFSET(Cx, re), H5T_NATIVE_DOUBLE);
  H5Tinsert(cx.get(), "i", HOFFSET(Cx, im), H5T_NATIVE_DOUBLE);
  const std::size_t per = static_cast<std::size_t>(nq) * kElementComponents;
  r.spectra.resize(subfaults.size() * per);
  for (std::size_t k = 0; k < subfaults.size(); ++k) {
    read_slab(path_, file_.get(), "spectra", cx.get(),
              {st, static_cast<hsize_t>(subfaults[k]), 0, 0, 0}, {1, 1, nq, kElements, kComponents},
              r.spectra.data() + k * per);
  }
  // Forces, strain and rotation, where the bank holds them.
  for (const RecordPart& part : kRecordParts) {
    if (H5Lexists(file_.get(), part.name, H5P_DEFAULT) <= 0) continue;
    std::vector<Cx>& v = r.*part.values;
    const std::size_t n = static_cast<std::size_t>(nq) * part.per_receiver();
    v.resize(subfaults.size() * n);
    for (std::size_t k = 0; k < subfaults.size(); ++k) {
      read_slab(path_, file_.get(), part.name, cx.get(),
                {st, static_cast<hsize_t>(subfaults[k]), 0, 0, 0},
                {1, 1, nq, part.sources(), part.components()}, v.data() + k * n);
    }
  }
  return r;
}

}  // namespace lg
