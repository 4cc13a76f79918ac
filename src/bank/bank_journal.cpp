// The resume journal: finished data sets appended and synced to disk, read back in order.
#include "bank/bank_journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "bank/bank_parts.h"
#include "kernel/layout.h"

namespace lg {

namespace {

// Version 1: magic and key; version 2 adds the configuration's text (its length, then the
// bytes).
constexpr char kMagic1[8] = {'L', 'G', 'B', 'A', 'N', 'K', 'J', '1'};
constexpr char kMagic[8] = {'L', 'G', 'B', 'A', 'N', 'K', 'J', '2'};
constexpr std::uint32_t kRecordMark = 0x52444746u;  // "FGDR"
constexpr std::size_t kHeaderBytes = 16;

constexpr std::uint64_t kSumStart = 1469598103934665603ull;

std::uint64_t fnv(const void* data, std::size_t n, std::uint64_t h = kSumStart) {
  const auto* p = static_cast<const unsigned char*>(data);
  for (std::size_t i = 0; i < n; ++i) {
    h ^= p[i];
    h *= 1099511628211ull;
  }
  return h;
}

// The checksum of a record: FNV-1a over 64-bit words (the records' parts are whole words but
// for a 4-byte tail, taken byte by byte), with the high half folded in at every word so that
// every bit reaches every other.
std::uint64_t record_sum(const void* data, std::size_t n, std::uint64_t h) {
  const auto* p = static_cast<const unsigned char*>(data);
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t w = 0;
    std::memcpy(&w, p + i, 8);
    h = (h ^ w) * 1099511628211ull;
    h ^= h >> 32;
  }
  return fnv(p + i, n - i, h);
}

Error sys_error(const std::string& path, const std::string& what) {
  return Error(path + ": " + what + ": " + std::strerror(errno));
}

void write_all(int fd, const void* data, std::size_t n, const std::string& path) {
  const auto* p = static_cast<const char*>(data);
  while (n > 0) {
    const ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      throw sys_error(path, "cannot write the journal");
    }
    p += w;
    n -= static_cast<std::size_t>(w);
  }
}

// Reads exactly n bytes; false at the end of the file or a short read.
bool read_all(int fd, void* data, std::size_t n) {
  auto* p = static_cast<char*>(data);
  while (n > 0) {
    const ssize_t r = ::read(fd, p, n);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    p += r;
    n -= static_cast<std::size_t>(r);
  }
  return true;
}

std::size_t spectra_values(const JournalShape& s, int row) {
  return s.row_sizes[static_cast<std::size_t>(row)] * static_cast<std::size_t>(s.nfreq) *
         kElementComponents;
}

// The values of part `part` in a record of `row` (none unless the bank holds the part).
std::size_t part_values(const JournalShape& s, int row, const RecordPart& part) {
  return part.in(s) ? s.row_sizes[static_cast<std::size_t>(row)] *
                          static_cast<std::size_t>(s.nfreq) * part.per_receiver()
                    : 0;
}

// Reads a journal's header; false when it is not a whole one. `bytes` gets its length.
bool read_head(int fd, JournalHead& h, off_t& bytes) {
  char head[kHeaderBytes];
  if (!read_all(fd, head, sizeof head)) return false;
  std::memcpy(&h.key, head + 8, sizeof h.key);
  bytes = static_cast<off_t>(kHeaderBytes);
  if (std::memcmp(head, kMagic1, sizeof kMagic1) == 0) return true;
  if (std::memcmp(head, kMagic, sizeof kMagic) != 0) return false;
  std::uint64_t n = 0;
  if (!read_all(fd, &n, sizeof n) || n > (std::uint64_t{1} << 32)) return false;
  h.text.resize(static_cast<std::size_t>(n));
  if (!read_all(fd, h.text.data(), h.text.size())) return false;
  bytes += static_cast<off_t>(sizeof n + n);
  return true;
}

// Reads the record at the file's position into r; its length in bytes, or 0 when there is no
// complete, intact record there.
std::size_t read_record(int fd, const JournalShape& shape, JournalRecord& r) {
  std::uint32_t h[5];
  if (!read_all(fd, h, sizeof h)) return 0;
  const int rows = static_cast<int>(shape.row_sizes.size());
  if (h[0] != kRecordMark || h[1] >= static_cast<std::uint32_t>(shape.stations) ||
      h[2] >= static_cast<std::uint32_t>(rows) || h[3] != shape.row_sizes[h[2]] ||
      h[4] != static_cast<std::uint32_t>(shape.nfreq)) {
    return 0;
  }
  r.station = static_cast<int>(h[1]);
  r.row = static_cast<int>(h[2]);
  r.iterations.resize(static_cast<std::size_t>(shape.nfreq));
  r.spectra.resize(spectra_values(shape, r.row));
  std::uint64_t sum = 0;
  if (!read_all(fd, r.iterations.data(), r.iterations.size() * sizeof(int)) ||
      !read_all(fd, r.spectra.data(), r.spectra.size() * sizeof(Cx))) {
    return 0;
  }
  std::uint64_t check = record_sum(h, sizeof h, kSumStart);
  check = record_sum(r.iterations.data(), r.iterations.size() * sizeof(int), check);
  check = record_sum(r.spectra.data(), r.spectra.size() * sizeof(Cx), check);
  std::size_t values = r.spectra.size();
  // The other parts after the moment tensor's displacement, inside the checksum.
  for (const RecordPart& part : kRecordParts) {
    std::vector<Cx>& v = r.*part.values;
    v.resize(part_values(shape, r.row, part));
    if (!read_all(fd, v.data(), v.size() * sizeof(Cx))) return 0;
    check = record_sum(v.data(), v.size() * sizeof(Cx), check);
    values += v.size();
  }
  if (!read_all(fd, &sum, sizeof sum) || check != sum) return 0;
  return sizeof h + r.iterations.size() * sizeof(int) + values * sizeof(Cx) + sizeof sum;
}

// Reads the header and then each complete record, with its offset in the file; returns the
// length of the valid part.
off_t scan(int fd, const std::string& path, const JournalShape& shape,
           const std::function<void(const JournalRecord&, off_t)>& each) {
  JournalHead head;
  off_t valid = 0;
  if (!read_head(fd, head, valid)) throw Error(path + ": not a bank journal");
  if (head.key != shape.key) {
    throw Error(path +
                ": the journal belongs to another configuration or program version; when "
                "only [[station]] tables were added, continue it with --update, else remove it "
                "to start the bank afresh");
  }
  for (;;) {
    JournalRecord r;
    const std::size_t bytes = read_record(fd, shape, r);
    if (bytes == 0) break;
    each(r, valid);
    valid += static_cast<off_t>(bytes);
  }
  return valid;
}

}  // namespace

std::optional<JournalHead> read_journal_head(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  JournalHead h;
  off_t bytes = 0;
  const bool ok = read_head(fd, h, bytes);
  struct stat st {};
  const bool sized = ::fstat(fd, &st) == 0;
  ::close(fd);
  if (!ok) {
    // A torn header holds nothing; another, longer file under the journal's name is kept as
    // if it held data sets (and refused where it is read).
    if (sized && st.st_size <= static_cast<off_t>(kHeaderBytes)) return std::nullopt;
    h = JournalHead{};
    h.has_records = true;
    return h;
  }
  h.has_records = sized && st.st_size > bytes;
  return h;
}

std::string journal_path(const std::string& output) {
  return output + ".journal";
}

std::uint64_t text_key(const std::string& text) {
  return fnv(text.data(), text.size());
}

JournalWriter::JournalWriter(const std::string& path, const JournalShape& shape, bool resume)
    : path_(path), shape_(shape) {
  done_.assign(static_cast<std::size_t>(shape.stations) * shape.row_sizes.size(), false);
  // The journal is never reached through a link: a planted one would have it write elsewhere.
  struct stat st {};
  const bool exists = ::lstat(path.c_str(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) {
    throw Error(path + ": cannot use it as the journal: not a regular file" +
                (S_ISLNK(st.st_mode) ? std::string(" (a symbolic link)") : std::string()));
  }
  // A journal too short to hold a finished data set has nothing to lose: resumed or not, the
  // run starts afresh over it (a torn header included).
  if (resume && exists && read_journal_head(path).value_or(JournalHead{}).has_records) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd_ < 0) throw sys_error(path, "cannot open the journal");
  }
  if (fd_ >= 0) {
    try {
      const std::size_t rows = shape.row_sizes.size();
      const off_t valid = scan(fd_, path, shape, [&](const JournalRecord& r, off_t) {
        done_[static_cast<std::size_t>(r.station) * rows + static_cast<std::size_t>(r.row)] = true;
      });
      if (::ftruncate(fd_, valid) != 0 || ::lseek(fd_, valid, SEEK_SET) != valid) {
        throw sys_error(path, "cannot cut the journal to its complete records");
      }
    } catch (...) {
      ::close(fd_);
      throw;
    }
    return;
  }
  // A fresh journal replaces one without finished data sets (the caller refuses others).
  if (exists && ::unlink(path.c_str()) != 0) throw sys_error(path, "cannot replace the journal");
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd_ < 0) throw sys_error(path, "cannot create the journal");
  char head[kHeaderBytes];
  std::memcpy(head, kMagic, sizeof kMagic);
  std::memcpy(head + 8, &shape.key, sizeof shape.key);
  write_all(fd_, head, sizeof head, path);
  const std::uint64_t n = shape.text.size();
  write_all(fd_, &n, sizeof n, path);
  write_all(fd_, shape.text.data(), shape.text.size(), path);
  if (::fsync(fd_) != 0) throw sys_error(path, "cannot sync the journal");
}

JournalWriter::~JournalWriter() {
  if (fd_ >= 0) ::close(fd_);
}

void JournalWriter::write_record(const JournalRecord& r) {
  const std::uint32_t h[5] = {
      kRecordMark, static_cast<std::uint32_t>(r.station), static_cast<std::uint32_t>(r.row),
      static_cast<std::uint32_t>(shape_.row_sizes[static_cast<std::size_t>(r.row)]),
      static_cast<std::uint32_t>(shape_.nfreq)};
  bool sized = r.iterations.size() == static_cast<std::size_t>(shape_.nfreq) &&
               r.spectra.size() == spectra_values(shape_, r.row);
  for (const RecordPart& part : kRecordParts) {
    sized = sized && (r.*part.values).size() == part_values(shape_, r.row, part);
  }
  if (!sized) throw std::logic_error("journal record of the wrong size");
  std::uint64_t sum = record_sum(h, sizeof h, kSumStart);
  sum = record_sum(r.iterations.data(), r.iterations.size() * sizeof(int), sum);
  sum = record_sum(r.spectra.data(), r.spectra.size() * sizeof(Cx), sum);
  for (const RecordPart& part : kRecordParts) {
    const std::vector<Cx>& v = r.*part.values;
    sum = record_sum(v.data(), v.size() * sizeof(Cx), sum);
  }
  write_all(fd_, h, sizeof h, path_);
  write_all(fd_, r.iterations.data(), r.iterations.size() * sizeof(int), path_);
  write_all(fd_, r.spectra.data(), r.spectra.size() * sizeof(Cx), path_);
  for (const RecordPart& part : kRecordParts) {
    const std::vector<Cx>& v = r.*part.values;
    write_all(fd_, v.data(), v.size() * sizeof(Cx), path_);
  }
  write_all(fd_, &sum, sizeof sum, path_);
}

void JournalWriter::mark_done(const JournalRecord& r) {
  done_[static_cast<std::size_t>(r.station) * shape_.row_sizes.size() +
        static_cast<std::size_t>(r.row)] = true;
}

void JournalWriter::append(const JournalRecord& r) {
  write_record(r);
  if (::fsync(fd_) != 0) throw sys_error(path_, "cannot sync the journal");
  mark_done(r);
}

void JournalWriter::append(const std::vector<JournalRecord>& rs) {
  for (const JournalRecord& r : rs) write_record(r);
  if (::fsync(fd_) != 0) throw sys_error(path_, "cannot sync the journal");
  for (const JournalRecord& r : rs) mark_done(r);
}

void read_journal(const std::string& path, const JournalShape& shape,
                  const std::function<void(const JournalRecord&)>& each, bool sorted) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw sys_error(path, "cannot open the journal");
  try {
    if (!sorted) {
      scan(fd, path, shape, [&](const JournalRecord& r, off_t) { each(r); });
    } else {
      // The records' places first, then the records in (station, row) order.
      struct Place {
        int station, row;
        off_t offset;
      };
      std::vector<Place> places;
      scan(fd, path, shape, [&](const JournalRecord& r, off_t at) {
        places.push_back({r.station, r.row, at});
      });
      std::stable_sort(places.begin(), places.end(), [](const Place& a, const Place& b) {
        return std::pair(a.station, a.row) < std::pair(b.station, b.row);
      });
      for (const Place& p : places) {
        JournalRecord r;
        if (::lseek(fd, p.offset, SEEK_SET) != p.offset || read_record(fd, shape, r) == 0) {
          throw Error(path + ": the journal changed while it was read");
        }
        each(r);
      }
    }
  } catch (...) {
    ::close(fd);
    throw;
  }
  ::close(fd);
}

}  // namespace lg
