#include "driver/result_files.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace lg {

std::string ResultFiles::temporary_name(const std::string& final_name) {
  const std::size_t slash = final_name.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : final_name.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? final_name : final_name.substr(slash + 1);
  return dir + "." + base + ".partial-" + std::to_string(static_cast<long>(::getpid()));
}

ResultFiles::~ResultFiles() { discard(); }

void ResultFiles::create(const std::vector<std::string>& final_names) {
  discard();
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
  for (File& f : files_) {
    if (std::rename(f.temp_name.c_str(), f.final_name.c_str()) != 0) {
      const int err = errno;
      throw OutputError("cannot move result file into place as " + f.final_name + ": " +
                        std::strerror(err));
    }
    f.temp_name.clear();
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
