#include "textio/line_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>
#include <utility>

#include "textio/input_error.h"

namespace lg {

namespace {

// What a file that is not a regular file is, for messages.
const char* kind_of(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

// The byte-order mark some editors put at the start of UTF-8 text.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

}  // namespace

std::string read_regular_file(const std::string& path) {
  // Opened without blocking, so that a FIFO with no writer cannot hold the run, and judged
  // before anything is read from it.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) throw InputError(path, 0, std::string("cannot open: ") + std::strerror(errno));
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    throw InputError(path, 0, std::string("cannot open: ") + std::strerror(errno));
  }
  if (!S_ISREG(st.st_mode)) {
    throw InputError(path, 0,
                     std::string("cannot open: it is ") + kind_of(st.st_mode) + ", not a file");
  }
  std::string contents;
  char buf[65536];
  for (;;) {
    const ssize_t got = ::read(fd, buf, sizeof buf);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      throw InputError(path, 0, std::string("read error: ") + std::strerror(errno));
    }
    contents.append(buf, static_cast<std::size_t>(got));
  }
  return contents;
}

LineSource LineSource::open(const std::string& path) {
  return LineSource(path, read_regular_file(path));
}

LineSource::LineSource(std::string name, const std::string& contents) : name_(std::move(name)) {
  std::size_t start = 0;
  if (std::string_view(contents).substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    start = kByteOrderMark.size();
  }
  while (start < contents.size()) {
    std::size_t end = contents.find('\n', start);
    if (end == std::string::npos) end = contents.size();
    std::string line = contents.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    for (char& c : line) {
      if (c == '\t') c = ' ';
    }
    lines_.push_back(std::move(line));
    start = end + 1;
  }
}

const std::string& LineSource::next() {
  if (at_end()) fail("unexpected end of file");
  return lines_[pos_++];
}

void LineSource::fail(const std::string& detail) const {
  throw InputError(name_, line_number(), detail);
}

}  // namespace lg
