// The lock that lets one run at a time write results from a working folder: an fcntl lock on
// the file .layergreen.lock there, which the system releases when its process ends, however
// it ends. A second run refuses at once, naming the process that holds the lock.
#pragma once

#include <string>

#include "common/error.h"

namespace lg {

// The lock file, in the working folder.
inline constexpr const char* kRunLockFile = ".layergreen.lock";

// Another live run holds the lock; the text names it.
class LockRefused : public Error {
 public:
  using Error::Error;
};

class RunLock {
 public:
  // Takes the lock on `path`, creating the file. Throws LockRefused when another process
  // holds it. A folder where the file cannot be created (read-only) is run without a lock.
  // `place` names what the lock guards in the messages ("this folder", "this bank").
  explicit RunLock(std::string path, std::string place = "this folder");
  ~RunLock();
  RunLock(const RunLock&) = delete;
  RunLock& operator=(const RunLock&) = delete;

  // Removes the file and gives the lock up (also done by the destructor).
  void release();

 private:
  std::string path_;
  std::string place_;
  int fd_ = -1;
};

}  // namespace lg
