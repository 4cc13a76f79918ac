#include "mpi/byte_buffer.h"

#include <bit>

namespace lg {

void ByteWriter::put_u64(std::uint64_t v) {
  for (int b = 0; b < 8; ++b) bytes_.push_back(static_cast<unsigned char>(v >> (8 * b)));
}

void ByteWriter::put_int(std::int32_t v) {
  const auto u = static_cast<std::uint32_t>(v);
  for (int b = 0; b < 4; ++b) bytes_.push_back(static_cast<unsigned char>(u >> (8 * b)));
}

void ByteWriter::put_size(std::uint64_t v) {
  put_u64(v);
}

void ByteWriter::put_double(double v) {
  put_u64(std::bit_cast<std::uint64_t>(v));
}

void ByteWriter::put_string(const std::string& s) {
  put_u64(s.size());
  bytes_.insert(bytes_.end(), s.begin(), s.end());
}

void ByteWriter::put_doubles(const std::vector<double>& v) {
  put_u64(v.size());
  for (double d : v) put_double(d);
}

void ByteReader::need(std::size_t n) const {
  if (bytes_.size() - pos_ < n) {
    throw CodecError("message ends early: " + std::to_string(n) + " more bytes needed at byte " +
                     std::to_string(pos_) + " of " + std::to_string(bytes_.size()));
  }
}

std::uint64_t ByteReader::get_u64() {
  need(8);
  std::uint64_t v = 0;
  for (int b = 0; b < 8; ++b) v |= static_cast<std::uint64_t>(bytes_[pos_++]) << (8 * b);
  return v;
}

std::int32_t ByteReader::get_int() {
  need(4);
  std::uint32_t u = 0;
  for (int b = 0; b < 4; ++b) u |= static_cast<std::uint32_t>(bytes_[pos_++]) << (8 * b);
  return static_cast<std::int32_t>(u);
}

std::uint64_t ByteReader::get_size(std::size_t unit) {
  const std::uint64_t n = get_u64();
  const std::size_t left = bytes_.size() - pos_;
  if (unit > 0 && n > left / unit) {
    throw CodecError("message holds a count of " + std::to_string(n) + " with only " +
                     std::to_string(left) + " bytes left");
  }
  return n;
}

double ByteReader::get_double() {
  return std::bit_cast<double>(get_u64());
}

std::string ByteReader::get_string() {
  const std::size_t n = static_cast<std::size_t>(get_size(1));
  const auto first = bytes_.begin() + static_cast<std::ptrdiff_t>(pos_);
  std::string s(first, first + static_cast<std::ptrdiff_t>(n));
  pos_ += n;
  return s;
}

std::vector<double> ByteReader::get_doubles() {
  const std::size_t n = static_cast<std::size_t>(get_size(8));
  std::vector<double> v(n);
  for (double& d : v) d = get_double();
  return v;
}

void ByteReader::expect_end() const {
  if (pos_ != bytes_.size()) {
    throw CodecError("message has " + std::to_string(bytes_.size() - pos_) +
                     " unexpected bytes at its end");
  }
}

}  // namespace lg
