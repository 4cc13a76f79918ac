#include "output/result_files.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <set>

namespace lg {

std::string ResultFiles::temporary_name(const std::string& final_name) {
  const std::size_t slash = final_name.rfind('/');
  const std::string dir =
      slash == std::string::npos ? std::string() : final_name.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? final_name : final_name.substr(slash + 1);
  return dir + "." + base + ".partial-" + std::to_string(static_cast<long>(::getpid()));
}

ResultFiles::~ResultFiles() {
  discard();
}

namespace {

// Removes temporaries of the given result files left by runs that were killed (their
// processes are gone). Each folder is listed once.
void remove_stale_temporaries(const std::vector<std::string>& final_names) {
  std::map<std::string, std::set<std::string>> bases_by_dir;
  for (const std::string& name : final_names) {
    const std::size_t slash = name.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : name.substr(0, slash);
    bases_by_dir[dir].insert(slash == std::string::npos ? name : name.substr(slash + 1));
  }
  const std::string marker = ".partial-";
  for (const auto& [dir, bases] : bases_by_dir) {
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr) continue;
    std::vector<std::string> stale;
    while (const dirent* e = ::readdir(d)) {
      const std::string entry = e->d_name;
      // .BASE.partial-PID or .BASE.partial-PID.previous
      const std::size_t at = entry.rfind(marker);
      if (entry.empty() || entry[0] != '.' || at == std::string::npos || at < 2) continue;
      if (bases.count(entry.substr(1, at - 1)) == 0) continue;
      const std::string rest = entry.substr(at + marker.size());
      std::size_t digits = 0;
      while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9') ++digits;
      if (digits == 0 || digits > 9) continue;
      const std::string tail = rest.substr(digits);
      if (!tail.empty() && tail != ".previous") continue;
      const long pid = std::stol(rest.substr(0, digits));
      if (pid == static_cast<long>(::getpid())) continue;
      if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;  // still running
      stale.push_back(dir + "/" + entry);
    }
    ::closedir(d);
    for (const std::string& f : stale) std::remove(f.c_str());
  }
}

}  // namespace

void ResultFiles::create(const std::vector<std::string>& final_names) {
  discard();
  remove_stale_temporaries(final_names);
  for (const std::string& name : final_names) {
    File f;
    f.final_name = name;
    f.temp_name = temporary_name(name);
    f.fp = std::fopen(f.temp_name.c_str(), "wb");
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
  for (File& f : files_) {
    std::FILE* fp = f.fp;
    f.fp = nullptr;
    if (std::fclose(fp) != 0) {
      const int err = errno;
      throw OutputError("cannot write result file " + f.final_name + ": " + std::strerror(err));
    }
  }
  // All or nothing: earlier files under the final names are first moved aside, and put back
  // if any new file cannot take its place.
  std::vector<std::string> aside(files_.size());
  std::size_t placed = 0;
  std::string failure;
  for (std::size_t n = 0; n < files_.size() && failure.empty(); ++n) {
    const File& f = files_[n];
    struct stat st;
    if (::lstat(f.final_name.c_str(), &st) == 0) {
      if (!S_ISREG(st.st_mode)) {
        failure = "cannot put result file in place: " + f.final_name + " exists and is not a file";
        break;
      }
      aside[n] = f.temp_name + ".previous";
      if (std::rename(f.final_name.c_str(), aside[n].c_str()) != 0) {
        failure = "cannot replace result file " + f.final_name + ": " + std::strerror(errno);
        aside[n].clear();
        break;
      }
    }
    if (std::rename(f.temp_name.c_str(), f.final_name.c_str()) != 0) {
      failure =
          "cannot move result file into place as " + f.final_name + ": " + std::strerror(errno);
      break;
    }
    placed = n + 1;
  }
  if (!failure.empty()) {
    for (std::size_t n = 0; n < placed; ++n) std::remove(files_[n].final_name.c_str());
    for (std::size_t n = 0; n < files_.size(); ++n) {
      if (!aside[n].empty()) std::rename(aside[n].c_str(), files_[n].final_name.c_str());
    }
    throw OutputError(failure);
  }
  for (std::size_t n = 0; n < files_.size(); ++n) {
    if (!aside[n].empty()) std::remove(aside[n].c_str());
    files_[n].temp_name.clear();
  }
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
