// Binary SAC files (header version 6): a 632-byte header, then the samples as 32-bit floats.
//
// The header holds 70 floats, 40 integers (integers, enumerations and logicals) and 24
// character fields; every number is written little-endian.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace lg::seis {

// The header values this program fills; every other field is written as undefined (-12345,
// "-12345").
struct SacTrace {
  double delta = 0.0;                         // DELTA
  double b = 0.0;                             // B; E follows from B, DELTA and NPTS
  std::optional<double> o;                    // O, the origin time
  std::optional<double> dist, az, baz;        // DIST, AZ, BAZ
  std::optional<double> cmpaz, cmpinc;        // CMPAZ, CMPINC
  std::optional<double> user0, user1, user2;  // USER0-2
  int idep = 5;                               // IDEP: 5 unknown, 6 displacement, 7 velocity
  std::optional<int> iztype;                  // IZTYPE, e.g. 11 (origin time)
  std::string kstnm;                          // KSTNM, at most 8 characters
  std::string kcmpnm;                         // KCMPNM, at most 8
  std::string kevnm;                          // KEVNM, at most 16
  std::vector<double> data;                   // written as 32-bit floats; DEPMIN, DEPMAX, DEPMEN
                                              // are those of the written values
};

// The bytes of a SAC file. Throws std::invalid_argument when a text does not fit its field,
// there are no samples, or a value is not finite.
std::string sac_bytes(const SacTrace& t);

// Enumerated values used in the header.
inline constexpr int kSacItime = 1;
inline constexpr int kSacIunkn = 5;
inline constexpr int kSacIdisp = 6;
inline constexpr int kSacIvel = 7;
inline constexpr int kSacIo = 11;

}  // namespace lg::seis
