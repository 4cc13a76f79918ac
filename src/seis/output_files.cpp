#include "seis/output_files.h"

#include <sys/stat.h>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace lg::seis {

namespace {

void remove_all(const std::vector<std::string>& names) {
  for (const std::string& n : names) std::remove(n.c_str());
}

}  // namespace

std::string partial_name(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  return dir + "." + base + ".partial-" + std::to_string(static_cast<long>(::getpid()));
}

void write_all_or_nothing(const std::vector<OutputFile>& files) {
  std::vector<std::string> temps;
  for (const OutputFile& f : files) {
    const std::string temp = partial_name(f.path);
    std::FILE* fp = std::fopen(temp.c_str(), "wb");
    if (fp == nullptr) {
      const int err = errno;
      remove_all(temps);
      throw WriteError("cannot create " + f.path + ": " + std::strerror(err));
    }
    temps.push_back(temp);
    const bool written = std::fwrite(f.bytes.data(), 1, f.bytes.size(), fp) == f.bytes.size();
    int err = errno;
    const bool closed = std::fclose(fp) == 0;
    if (!closed) err = errno;
    if (!written || !closed) {
      remove_all(temps);
      throw WriteError("cannot write " + f.path + ": " + std::strerror(err));
    }
  }
  // A folder under one of the names would stop the renames midway, leaving some files of this
  // set and some of an earlier one: it stops them before the first.
  for (const OutputFile& f : files) {
    struct stat st {};
    if (::lstat(f.path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      remove_all(temps);
      throw WriteError("cannot write " + f.path + ": it is a folder");
    }
  }
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (std::rename(temps[i].c_str(), files[i].path.c_str()) != 0) {
      const int err = errno;
      remove_all(
          std::vector<std::string>(temps.begin() + static_cast<std::ptrdiff_t>(i), temps.end()));
      throw WriteError("cannot move " + files[i].path + " into place: " + std::strerror(err));
    }
  }
}

}  // namespace lg::seis
