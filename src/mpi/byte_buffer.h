// Flat byte buffers for the messages between the ranks of a run: integers, doubles and
// strings in a fixed little-endian layout that does not depend on the host, doubles by their
// bit pattern so that every value (signed zeros, NaN payloads, subnormals) arrives unchanged.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/error.h"

namespace lg {

using Bytes = std::vector<unsigned char>;

// A buffer that is too short, too long or holds an impossible value.
class CodecError : public Error {
 public:
  using Error::Error;
};

class ByteWriter {
 public:
  void put_int(std::int32_t v);
  void put_size(std::uint64_t v);
  void put_double(double v);
  void put_string(const std::string& s);
  void put_doubles(const std::vector<double>& v);

  const Bytes& bytes() const { return bytes_; }
  Bytes take() { return std::move(bytes_); }

 private:
  void put_u64(std::uint64_t v);
  Bytes bytes_;
};

class ByteReader {
 public:
  // The reader refers to `bytes`, which must outlive it.
  explicit ByteReader(const Bytes& bytes) : bytes_(bytes) {}

  std::int32_t get_int();
  // A count or length; throws CodecError when it exceeds what the rest of the buffer could
  // hold with `unit` bytes per element.
  std::uint64_t get_size(std::size_t unit);
  double get_double();
  std::string get_string();
  std::vector<double> get_doubles();

  // Throws CodecError unless every byte has been read.
  void expect_end() const;

 private:
  std::uint64_t get_u64();
  void need(std::size_t n) const;
  const Bytes& bytes_;
  std::size_t pos_ = 0;
};

}  // namespace lg
