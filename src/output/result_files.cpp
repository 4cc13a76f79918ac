#include "output/result_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <system_error>
#include <thread>

#include "inputs/file_names.h"

namespace lg {

namespace {

constexpr const char* kPartial = ".partial-";
constexpr const char* kJournal = ".layergreen-commit-";

struct Split {
  std::string dir;   // "." for a bare name
  std::string base;  // the name within dir
};

Split split(const std::string& name) {
  const std::size_t slash = name.rfind('/');
  if (slash == std::string::npos) return {".", name};
  return {name.substr(0, slash), name.substr(slash + 1)};
}

std::string pid_text() {
  return std::to_string(static_cast<long>(::getpid()));
}

// The process id at the end of an entry's name after `marker`, followed by `tail`; 0 when the
// name has another form.
long pid_after(const std::string& entry, std::size_t at, const std::string& tail) {
  std::size_t digits = 0;
  while (at + digits < entry.size() && entry[at + digits] >= '0' && entry[at + digits] <= '9') {
    ++digits;
  }
  if (digits == 0 || digits > 9 || entry.substr(at + digits) != tail) return 0;
  return std::stol(entry.substr(at, digits));
}

bool process_gone(long pid) {
  return pid != static_cast<long>(::getpid()) && ::kill(static_cast<pid_t>(pid), 0) != 0 &&
         errno == ESRCH;
}

// fsync of every descriptor, several at once: a file system commits syncs that wait together
// in one journal commit and device flush, where one after the other each pays its own (about
// 3 ms each on the build machine). Folders may be among them (EINVAL, a folder that cannot be
// synced, counts as synced). Returns the errno of each descriptor, 0 when it is synced.
std::vector<int> sync_files(const std::vector<int>& fds) {
  std::vector<int> errs(fds.size(), 0);
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    for (std::size_t i = next++; i < fds.size(); i = next++) {
      errs[i] = ::fsync(fds[i]) == 0 ? 0 : errno;
      struct stat st;
      if (errs[i] == EINVAL && ::fstat(fds[i], &st) == 0 && S_ISDIR(st.st_mode)) errs[i] = 0;
    }
  };
  constexpr std::size_t kAtOnce = 32;
  std::vector<std::thread> helpers;
  try {
    for (std::size_t t = 1; t < std::min(fds.size(), kAtOnce); ++t) helpers.emplace_back(work);
  } catch (const std::system_error&) {
    // No more threads: those started and this one sync the rest.
  }
  work();
  for (std::thread& t : helpers) t.join();
  return errs;
}

// Opened folders, for syncing several at once; closed with the object. A folder that cannot be
// opened has descriptor -1 and its errno in `open_errors`.
struct OpenFolders {
  std::vector<int> fds, open_errors;
  explicit OpenFolders(const std::vector<std::string>& dirs) {
    for (const std::string& dir : dirs) {
      fds.push_back(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
      open_errors.push_back(fds.back() < 0 ? errno : 0);
    }
  }
  OpenFolders(const OpenFolders&) = delete;
  OpenFolders& operator=(const OpenFolders&) = delete;
  ~OpenFolders() {
    for (int fd : fds) {
      if (fd >= 0) ::close(fd);
    }
  }
  // Syncs every folder at once; returns the index of the first that failed (size() when none)
  // and its errno in err.
  std::size_t sync(int& err) const {
    std::vector<int> open;
    for (int fd : fds) {
      if (fd >= 0) open.push_back(fd);
    }
    const std::vector<int> errs = sync_files(open);
    std::size_t o = 0;
    for (std::size_t i = 0; i < fds.size(); ++i) {
      err = fds[i] < 0 ? open_errors[i] : errs[o++];
      if (err != 0) return i;
    }
    return fds.size();
  }
};

// Makes the entries of a folder (creations, renames, removals) durable.
int sync_folder(const std::string& dir) {
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  const int err = ::fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
  ::close(fd);
  return err;
}

// A commit journal: the names (within its folder) whose temporaries are to be renamed into
// place, one a line, and a last line "end" that marks it complete.
std::string journal_text(const std::vector<std::string>& bases) {
  std::string s;
  for (const std::string& b : bases) s += b + '\n';
  return s + "end\n";
}

// The names of a complete journal; empty when it is incomplete or unreadable.
std::vector<std::string> journal_names(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> names;
  for (std::string line; std::getline(in, line);) {
    if (line == "end") return names;
    names.push_back(line);
  }
  return {};
}

// Repairs what runs that are gone left in a folder. A complete commit journal means that its
// data set was complete and durable: its renames are finished (rolled forward). Temporaries
// without a journal belong to data sets that never reached their commit: they are removed
// (rolled back), which leaves the earlier files under the result names. A result file left
// aside as ".NAME.partial-PID.previous" by a process that is gone is put back under its name
// when that name is free, else removed.
void repair_folder(const std::string& dir) {
  DIR* d = ::opendir(dir.c_str());
  if (d == nullptr) return;
  std::vector<std::pair<std::string, long>> journals;
  std::vector<std::string> temporaries, partial_journals;
  std::vector<std::pair<std::string, std::string>> previous;  // aside name, result name
  while (const dirent* e = ::readdir(d)) {
    const std::string entry = e->d_name;
    if (entry.empty() || entry[0] != '.') continue;
    if (entry.rfind(kJournal, 0) == 0) {
      const std::size_t at = std::strlen(kJournal);
      if (const long pid = pid_after(entry, at, ""); pid != 0 && process_gone(pid)) {
        journals.emplace_back(entry, pid);
      } else if (const long p2 = pid_after(entry, at, ".partial"); p2 != 0 && process_gone(p2)) {
        partial_journals.push_back(entry);
      }
      continue;
    }
    const std::size_t at = entry.rfind(kPartial);
    if (at == std::string::npos || at < 2) continue;
    const std::size_t from = at + std::strlen(kPartial);
    if (const long pid = pid_after(entry, from, ""); pid != 0 && process_gone(pid)) {
      temporaries.push_back(entry);
    } else if (const long p2 = pid_after(entry, from, ".previous"); p2 != 0 && process_gone(p2)) {
      previous.emplace_back(entry, entry.substr(1, at - 1));
    }
  }
  ::closedir(d);
  const std::string prefix = dir + "/";
  bool changed = false;
  for (const auto& [journal, pid] : journals) {
    for (const std::string& base : journal_names(prefix + journal)) {
      const std::string temp = prefix + "." + base + kPartial + std::to_string(pid);
      if (std::rename(temp.c_str(), (prefix + base).c_str()) == 0) changed = true;
    }
    sync_folder(dir);
    std::remove((prefix + journal).c_str());
    changed = true;
  }
  for (const auto& [aside, base] : previous) {
    struct stat st;
    if (::lstat((prefix + base).c_str(), &st) != 0) {
      std::rename((prefix + aside).c_str(), (prefix + base).c_str());
    } else {
      std::remove((prefix + aside).c_str());
    }
    changed = true;
  }
  for (const std::string& t : temporaries) {
    if (std::remove((prefix + t).c_str()) == 0) changed = true;
  }
  for (const std::string& j : partial_journals) {
    std::remove((prefix + j).c_str());
    changed = true;
  }
  if (changed) sync_folder(dir);
}

// Opens a new temporary file exclusively: never through an existing entry, so a link planted
// at the name cannot redirect the result. A file at our own name can only be a leftover of an
// earlier process with the same id, or planted; it is removed once and the creation retried.
std::FILE* create_exclusively(const std::string& path) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd >= 0) {
      std::FILE* fp = ::fdopen(fd, "wb");
      if (fp == nullptr) ::close(fd);
      return fp;
    }
    if (errno != EEXIST || attempt > 0) return nullptr;
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
      errno = EEXIST;
      return nullptr;
    }
    ::unlink(path.c_str());
  }
  return nullptr;
}

}  // namespace

std::string ResultFiles::temporary_name(const std::string& final_name) {
  return temporary_result_name(final_name);
}

void ResultFiles::abandon(const std::vector<std::string>& final_names) {
  std::set<std::string> dirs;
  for (const std::string& name : final_names) dirs.insert(split(name).dir);
  for (const std::string& dir : dirs) {
    const std::string journal = dir + "/" + kJournal + pid_text();
    struct stat st;
    if (::lstat(journal.c_str(), &st) == 0 || ::lstat((journal + ".partial").c_str(), &st) == 0) {
      return;
    }
  }
  for (const std::string& name : final_names) std::remove(temporary_name(name).c_str());
}

ResultFiles::~ResultFiles() {
  discard();
}

void ResultFiles::create(const std::vector<std::string>& final_names) {
  discard();
  std::set<std::string> dirs;
  for (const std::string& name : final_names) dirs.insert(split(name).dir);
  for (const std::string& dir : dirs) repair_folder(dir);
  for (const std::string& name : final_names) {
    File f;
    f.final_name = name;
    f.temp_name = temporary_name(name);
    f.fp = create_exclusively(f.temp_name);
    if (f.fp == nullptr) {
      const int err = errno;
      throw OutputError("cannot create result file " + name + " (temporary " + f.temp_name +
                        "): " + std::strerror(err));
    }
    files_.push_back(f);
  }
}

void ResultFiles::write(std::size_t n, const std::string& text) {
  File& f = files_.at(n);
  if (std::fwrite(text.data(), 1, text.size(), f.fp) != text.size()) {
    const int err = errno;
    throw OutputError("cannot write result file " + f.final_name + ": " + std::strerror(err));
  }
}

void ResultFiles::commit() {
  std::size_t committed = 0;
  commit_all({this}, committed);
}

namespace {

// The commit journals of a group of data sets, one per folder, written under their
// temporary names (not yet synced).
struct Journals {
  std::map<std::string, std::vector<std::string>> bases_by_dir;
  std::vector<std::string> dirs, partials, finals;
  std::vector<int> fds;  // the open temporaries, in the order of dirs

  // Closes and removes every journal: the temporaries and those already renamed into place.
  void remove_all() {
    close_all();
    for (const std::string& p : partials) std::remove(p.c_str());
    for (const std::string& j : finals) std::remove(j.c_str());
  }
  void close_all() {
    for (int& fd : fds) {
      if (fd >= 0) ::close(fd);
      fd = -1;
    }
  }
};

// Writes (without syncing) the journals of the given result names, grouped by folder. Throws
// OutputError, with nothing left behind, when one cannot be written.
void begin_journals(Journals& j) {
  for (const auto& [dir, bases] : j.bases_by_dir) {
    const std::string journal = dir + "/" + kJournal + pid_text();
    const std::string partial = journal + ".partial";
    std::remove(partial.c_str());
    j.dirs.push_back(dir);
    j.finals.push_back(journal);
    const int fd =
        ::open(partial.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    int err = fd < 0 ? errno : 0;
    if (fd >= 0) {
      j.partials.push_back(partial);
      j.fds.push_back(fd);
      const std::string text = journal_text(bases);
      if (::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
        err = errno != 0 ? errno : EIO;
      }
    }
    if (err != 0) {
      j.finals.clear();
      j.remove_all();
      throw OutputError("cannot write the commit journal of result files in " + dir + ": " +
                        std::strerror(err));
    }
  }
}

// Puts each journal in place (the commit point: from here on the data sets count as written;
// a run killed before the renames end is completed by the next run in the folder). Throws
// OutputError, with every journal removed, when one cannot be renamed.
void put_journals_in_place(Journals& j) {
  j.close_all();
  for (std::size_t k = 0; k < j.dirs.size(); ++k) {
    if (std::rename(j.partials[k].c_str(), j.finals[k].c_str()) != 0) {
      const int err = errno;
      j.finals.resize(k);
      j.remove_all();
      throw OutputError("cannot write the commit journal of result files in " + j.dirs[k] + ": " +
                        std::strerror(err));
    }
  }
  j.partials.clear();
}

// Syncs the folders of the journals; throws OutputError naming the first that fails.
void sync_folders(const OpenFolders& folders, const Journals& j) {
  int err = 0;
  if (const std::size_t k = folders.sync(err); k < j.dirs.size()) {
    throw OutputError("cannot write result files in " + j.dirs[k] + ": " + std::strerror(err));
  }
}

}  // namespace

// The commit of a group of data sets, phase by phase: the result files flushed (1), the
// result names checked (2), the files, the journals and their folders made durable (1 and
// 3), then, in commit_all, the journals put in place and the files renamed (4).
class ResultFiles::GroupCommit {
 public:
  explicit GroupCommit(const std::vector<ResultFiles*>& sets)
      : sets_(sets), first_bad_(sets.size()), errs_(sets.size()) {}

  // The data sets before the first that cannot be committed (all when all can).
  std::size_t committable() const { return first_bad_; }

  // 1. The buffered text of every file is handed to the system; each file's error noted.
  void flush_files() {
    for (std::size_t d = 0; d < sets_.size(); ++d) {
      errs_[d].assign(sets_[d]->files_.size(), 0);
      for (std::size_t i = 0; i < errs_[d].size(); ++i) {
        if (std::fflush(sets_[d]->files_[i].fp) != 0) errs_[d][i] = errno;
      }
    }
  }

  // 2. Every result name can take a file (a folder, a link or another non-file there fails
  // the data set before anything is replaced). A data set's write error comes first.
  void check_result_names() {
    for (std::size_t d = 0; d < sets_.size() && first_bad_ == sets_.size(); ++d) {
      if (first_error(d)) break;
      for (const File& f : sets_[d]->files_) {
        struct stat st;
        if (::lstat(f.final_name.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
          fails(d,
                "cannot put result file in place: " + f.final_name + " exists and is not a file");
          break;
        }
      }
    }
  }

  // 1 and 3. Every temporary file of the data sets to commit is made durable, and the journal
  // of their names in each folder written and synced with the folder (which makes the
  // temporaries' entries durable), all at once. The files of the first data set that fails
  // are synced too: a sync error of its own comes before a result name in its way. Returns the
  // journals of the data sets that can be committed (none when no data set can); throws
  // OutputError, with the journals removed, when a journal or a folder cannot be synced.
  Journals write_durably() {
    const std::size_t synced = std::min(first_bad_ + 1, sets_.size());
    bool files_pending = true;  // the files are synced in the first round only
    Journals j;
    for (;;) {
      j = Journals{};
      for (std::size_t d = 0; d < first_bad_; ++d) {
        for (const File& f : sets_[d]->files_) {
          const Split s = split(f.final_name);
          j.bases_by_dir[s.dir].push_back(s.base);
        }
      }
      begin_journals(j);
      std::vector<int> fds;
      if (files_pending) {
        for (std::size_t d = 0; d < synced; ++d) {
          for (const File& f : sets_[d]->files_) fds.push_back(::fileno(f.fp));
        }
      }
      const std::size_t files = fds.size();
      fds.insert(fds.end(), j.fds.begin(), j.fds.end());
      const OpenFolders folders(j.dirs);
      for (int fd : folders.fds) {
        if (fd >= 0) fds.push_back(fd);
      }
      const std::vector<int> done = sync_files(fds);
      const std::size_t bad_before = first_bad_;
      if (files_pending) {
        close_files(synced, done);
        files_pending = false;
      }
      if (first_bad_ != bad_before) {
        // A data set could not be made durable: the journals name too much. Written again
        // for the data sets before it.
        j.remove_all();
        continue;
      }
      for (std::size_t k = 0; k < j.fds.size(); ++k) {
        if (const int err = done[files + k]) {
          const std::string dir = j.dirs[k];
          j.remove_all();
          throw OutputError("cannot write the commit journal of result files in " + dir + ": " +
                            std::strerror(err));
        }
      }
      std::size_t o = files + j.fds.size();
      for (std::size_t k = 0; k < folders.fds.size(); ++k) {
        const int err = folders.fds[k] < 0 ? folders.open_errors[k] : done[o++];
        if (err != 0) {
          j.remove_all();
          throw OutputError("cannot write result files in " + j.dirs[k] + ": " +
                            std::strerror(err));
        }
      }
      return j;
    }
  }

  // 4. Each temporary of the committable data sets replaces its result name in one step
  // (rename), so that the name holds the earlier complete file or the new one, never none.
  // Throws OutputError when one cannot be renamed; the journals stay, and the next run in the
  // folder finishes the commit.
  void rename_files() {
    for (std::size_t d = 0; d < first_bad_; ++d) {
      for (File& f : sets_[d]->files_) {
        if (std::rename(f.temp_name.c_str(), f.final_name.c_str()) != 0) {
          const int e = errno;
          for (std::size_t c = 0; c < first_bad_; ++c) sets_[c]->files_.clear();
          throw OutputError("cannot move result file into place as " + f.final_name + ": " +
                            std::strerror(e));
        }
      }
      sets_[d]->files_.clear();
    }
  }

  // The error of the first data set that cannot be committed, if any.
  void throw_first_error() const {
    if (first_bad_ < sets_.size()) throw OutputError(why_);
  }

 private:
  void fails(std::size_t d, std::string what) {
    if (d <= first_bad_) {
      first_bad_ = d;
      why_ = std::move(what);
    }
  }

  // Notes the first error of data set d's files, in file order; false when there is none.
  bool first_error(std::size_t d) {
    for (std::size_t i = 0; i < errs_[d].size(); ++i) {
      if (errs_[d][i] != 0) {
        fails(d, "cannot write result file " + sets_[d]->files_[i].final_name + ": " +
                     std::strerror(errs_[d][i]));
        return true;
      }
    }
    return false;
  }

  // Closes the files of the first `synced` data sets, given the outcome of their syncs (in
  // the same order), and notes the first data set with an error.
  void close_files(std::size_t synced, const std::vector<int>& done) {
    std::size_t k = 0;
    for (std::size_t d = 0; d < synced; ++d) {
      for (std::size_t i = 0; i < sets_[d]->files_.size(); ++i, ++k) {
        File& f = sets_[d]->files_[i];
        if (errs_[d][i] == 0) errs_[d][i] = done[k];
        if (std::fclose(f.fp) != 0 && errs_[d][i] == 0) errs_[d][i] = errno;
        f.fp = nullptr;
      }
    }
    for (std::size_t d = 0; d < synced; ++d) {
      if (first_error(d)) break;
    }
  }

  const std::vector<ResultFiles*>& sets_;
  std::size_t first_bad_;               // the first data set that cannot be committed
  std::string why_;                     // and its error
  std::vector<std::vector<int>> errs_;  // the error of each file, in data set and file order
};

void ResultFiles::commit_all(const std::vector<ResultFiles*>& sets, std::size_t& committed) {
  committed = 0;
  GroupCommit c(sets);
  c.flush_files();
  c.check_result_names();
  Journals j = c.write_durably();
  if (c.committable() > 0) {
    put_journals_in_place(j);
    const OpenFolders folders(j.dirs);
    try {
      sync_folders(folders, j);
    } catch (const OutputError&) {
      j.remove_all();
      throw;
    }
    committed = c.committable();
    c.rename_files();
    // The renames made durable; the journals go.
    sync_folders(folders, j);
    for (const std::string& journal : j.finals) std::remove(journal.c_str());
  }
  c.throw_first_error();
}

void ResultFiles::discard() {
  for (File& f : files_) {
    if (f.fp != nullptr) std::fclose(f.fp);
    f.fp = nullptr;
    if (!f.temp_name.empty()) std::remove(f.temp_name.c_str());
  }
  files_.clear();
}

}  // namespace lg
