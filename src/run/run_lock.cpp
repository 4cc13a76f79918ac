#include "run/run_lock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace lg {

RunLock::RunLock(std::string path, std::string place)
    : path_(std::move(path)), place_(std::move(place)) {
  for (;;) {
    const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
      if (errno == EACCES || errno == EROFS || errno == EPERM) return;
      throw LockRefused(path_ + ": cannot take the lock of " + place_ + ": " +
                        std::strerror(errno));
    }
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    if (::fcntl(fd, F_SETLK, &fl) != 0) {
      const int err = errno;
      struct flock held {};
      held.l_type = F_WRLCK;
      held.l_whence = SEEK_SET;
      const bool known = ::fcntl(fd, F_GETLK, &held) == 0 && held.l_type != F_UNLCK;
      ::close(fd);
      if (err != EAGAIN && err != EACCES) {
        throw LockRefused(path_ + ": cannot take the lock of " + place_ + ": " +
                          std::strerror(err));
      }
      if (!known) continue;  // released in the meantime
      throw LockRefused(path_ + ": another run (process " + std::to_string(held.l_pid) +
                        ") is working " + (place_ == "this folder" ? "in " : "on ") + place_ +
                        "; wait until it ends");
    }
    // The holder before us may have removed the file after we opened it: then the lock is on
    // a file nobody else can find, and we start again.
    struct stat ours, named;
    if (::fstat(fd, &ours) == 0 && ::stat(path_.c_str(), &named) == 0 &&
        ours.st_dev == named.st_dev && ours.st_ino == named.st_ino) {
      fd_ = fd;
      return;
    }
    ::close(fd);
  }
}

RunLock::~RunLock() {
  release();
}

void RunLock::release() {
  if (fd_ < 0) return;
  ::unlink(path_.c_str());  // while still locked, so that no one locks the removed file
  ::close(fd_);
  fd_ = -1;
}

}  // namespace lg
