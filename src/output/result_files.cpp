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
// 3 ms each on the build machine). Returns the errno of each descriptor, 0 when it is synced.
std::vector<int> sync_files(const std::vector<int>& fds) {
  std::vector<int> errs(fds.size(), 0);
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    for (std::size_t i = next++; i < fds.size(); i = next++) {
      errs[i] = ::fsync(fds[i]) == 0 ? 0 : errno;
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
// (rolled back), which leaves the earlier files under the result names. A previous file that
// an earlier version of the program moved aside, and that never got back, is put back.
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

// Writes a small file durably and exclusively under `path`.
int write_durably(const std::string& path, const std::string& text) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return errno;
  int err = 0;
  if (::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
    err = errno != 0 ? errno : EIO;
  } else if (::fsync(fd) != 0) {
    err = errno;
  }
  if (::close(fd) != 0 && err == 0) err = errno;
  if (err != 0) std::remove(path.c_str());
  return err;
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
  const std::size_t slash = final_name.rfind('/');
  const std::string dir =
      slash == std::string::npos ? std::string() : final_name.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? final_name : final_name.substr(slash + 1);
  return dir + "." + base + kPartial + pid_text();
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
  // 1. Every temporary file is complete and on disk (the first failure, in file order, is
  // reported; every file is closed).
  std::vector<int> errs(files_.size(), 0), fds;
  for (std::size_t i = 0; i < files_.size(); ++i) {
    if (std::fflush(files_[i].fp) != 0) errs[i] = errno;
    fds.push_back(::fileno(files_[i].fp));
  }
  const std::vector<int> synced = sync_files(fds);
  for (std::size_t i = 0; i < files_.size(); ++i) {
    if (errs[i] == 0) errs[i] = synced[i];
    if (std::fclose(files_[i].fp) != 0 && errs[i] == 0) errs[i] = errno;
    files_[i].fp = nullptr;
  }
  for (std::size_t i = 0; i < files_.size(); ++i) {
    if (errs[i] != 0) {
      throw OutputError("cannot write result file " + files_[i].final_name + ": " +
                        std::strerror(errs[i]));
    }
  }
  // 2. Every result name can take a file (a folder, a link or another non-file there fails the
  // data set before anything is replaced).
  std::map<std::string, std::vector<std::string>> bases_by_dir;
  for (const File& f : files_) {
    struct stat st;
    if (::lstat(f.final_name.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
      throw OutputError("cannot put result file in place: " + f.final_name +
                        " exists and is not a file");
    }
    const Split s = split(f.final_name);
    bases_by_dir[s.dir].push_back(s.base);
  }
  // 3. The commit point: a journal of the data set's names, made durable with the folder
  // entries of its temporaries. From here on the data set counts as written; a run killed
  // before step 4 ends is completed by the next run in the folder.
  std::vector<std::string> journals;
  auto fail = [&](const std::string& what, int err) {
    for (const std::string& j : journals) std::remove(j.c_str());
    throw OutputError(what + ": " + std::strerror(err));
  };
  for (const auto& [dir, bases] : bases_by_dir) {
    const std::string journal = dir + "/" + kJournal + pid_text();
    const std::string partial = journal + ".partial";
    std::remove(partial.c_str());
    if (const int err = write_durably(partial, journal_text(bases))) {
      fail("cannot write the commit journal of result files in " + dir, err);
    }
    if (const int err = sync_folder(dir)) {
      std::remove(partial.c_str());
      fail("cannot write result files in " + dir, err);
    }
    if (std::rename(partial.c_str(), journal.c_str()) != 0) {
      const int err = errno;
      std::remove(partial.c_str());
      fail("cannot write the commit journal of result files in " + dir, err);
    }
    journals.push_back(journal);
    if (const int err = sync_folder(dir)) fail("cannot write result files in " + dir, err);
  }
  // 4. Each temporary replaces its result name in one step (rename), so that the name holds
  // the earlier complete file or the new one, never none; then the renames are made durable
  // and the journals go.
  for (File& f : files_) {
    if (std::rename(f.temp_name.c_str(), f.final_name.c_str()) != 0) {
      // The journal stays: the next run in the folder finishes the commit.
      const int err = errno;
      for (File& g : files_) g.temp_name.clear();
      files_.clear();
      throw OutputError("cannot move result file into place as " + f.final_name + ": " +
                        std::strerror(err));
    }
    f.temp_name.clear();
  }
  for (const auto& [dir, bases] : bases_by_dir) {
    if (const int err = sync_folder(dir)) {
      files_.clear();
      throw OutputError("cannot write result files in " + dir + ": " + std::strerror(err));
    }
  }
  for (const std::string& j : journals) std::remove(j.c_str());
  files_.clear();
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
