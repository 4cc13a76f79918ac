// An independent reader of binary SAC files for the tests, written from the published layout.
//
// 70 floats, 15 integers, 20 enumerations, 5 logicals (4 bytes each), then 8-character text
// fields (KEVNM 16) up to byte 632, then the samples; little-endian.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace seis_test {

struct SacFile {
  std::array<float, 70> f{};         // DELTA, DEPMIN, DEPMAX, SCALE, ODELTA, B, E, O, A, ...
  std::array<std::int32_t, 40> i{};  // NZYEAR ... (word 70 on), IFTYPE is i[15], LEVEN i[35]
  std::string text;                  // bytes 440-631
  std::vector<float> data;
  bool ok = false;

  // Header fields by name (the ones the tests look at).
  float delta() const { return f[0]; }
  float depmin() const { return f[1]; }
  float depmax() const { return f[2]; }
  float b() const { return f[5]; }
  float e() const { return f[6]; }
  float o() const { return f[7]; }
  float user0() const { return f[40]; }
  float user1() const { return f[41]; }
  float dist() const { return f[50]; }
  float az() const { return f[51]; }
  float baz() const { return f[52]; }
  float depmen() const { return f[56]; }
  float cmpaz() const { return f[57]; }
  float cmpinc() const { return f[58]; }
  std::int32_t nvhdr() const { return i[6]; }
  std::int32_t npts() const { return i[9]; }
  std::int32_t iftype() const { return i[15]; }
  std::int32_t idep() const { return i[16]; }
  std::int32_t iztype() const { return i[17]; }
  std::int32_t leven() const { return i[35]; }
  std::int32_t lcalda() const { return i[38]; }
  std::string kstnm() const { return text.substr(0, 8); }
  std::string kevnm() const { return text.substr(8, 16); }
  std::string kcmpnm() const { return text.substr(160, 8); }  // byte 600
  std::string knetwk() const { return text.substr(168, 8); }  // byte 608
};

inline std::uint32_t le32(const std::string& b, std::size_t at) {
  std::uint32_t v = 0;
  for (int k = 3; k >= 0; --k) v = (v << 8) | static_cast<unsigned char>(b[at + k]);
  return v;
}

inline SacFile parse_sac(const std::string& bytes) {
  SacFile s;
  if (bytes.size() < 632) return s;
  for (std::size_t w = 0; w < 70; ++w) {
    const std::uint32_t u = le32(bytes, 4 * w);
    std::memcpy(&s.f[w], &u, 4);
  }
  for (std::size_t w = 0; w < 40; ++w) s.i[w] = static_cast<std::int32_t>(le32(bytes, 280 + 4 * w));
  s.text = bytes.substr(440, 192);
  const std::int32_t n = s.i[9];
  if (n < 0 || bytes.size() != 632 + 4 * static_cast<std::size_t>(n)) return s;
  for (std::int32_t k = 0; k < n; ++k) {
    const std::uint32_t u = le32(bytes, 632 + 4 * static_cast<std::size_t>(k));
    float v = 0.0F;
    std::memcpy(&v, &u, 4);
    s.data.push_back(v);
  }
  s.ok = true;
  return s;
}

}  // namespace seis_test
