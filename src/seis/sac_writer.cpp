#include "seis/sac_writer.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <stdexcept>

namespace lg::seis {

namespace {

constexpr std::size_t kWords =
    158;  // 70 floats, 15 integers, 20 enumerations, 5 logicals, 48 words of text
constexpr std::size_t kIntStart = 70;
constexpr std::size_t kTextStart = 110;
constexpr float kUndefF = -12345.0F;
constexpr std::int32_t kUndefI = -12345;

// Word numbers (from 0) of the header fields we fill: floats,
constexpr std::size_t kDelta = 0, kDepmin = 1, kDepmax = 2, kB = 5, kE = 6, kO = 7;
constexpr std::size_t kUser0 = 40, kUser1 = 41, kUser2 = 42;
constexpr std::size_t kDist = 50, kAz = 51, kBaz = 52, kDepmen = 56, kCmpaz = 57, kCmpinc = 58;
// integers and enumerations,
constexpr std::size_t kNvhdr = 76, kNpts = 79, kIftype = 85, kIdep = 86, kIztype = 87;
// logicals.
constexpr std::size_t kLeven = 105, kLpspol = 106, kLovrok = 107, kLcalda = 108;
constexpr std::size_t kUnusedLogical = 109;
// Byte offsets of the character fields.
constexpr std::size_t kKstnm = 440, kKevnm = 448, kKcmpnm = 600, kTextEnd = 632;

// Four bytes, least significant first, whatever the machine's byte order.
void put32(std::string& out, std::size_t at, std::uint32_t v) {
  for (std::size_t i = 0; i < 4; ++i) out[at + i] = static_cast<char>((v >> (8 * i)) & 0xFFU);
}

void put_float(std::string& out, std::size_t word, float v) {
  put32(out, 4 * word, std::bit_cast<std::uint32_t>(v));
}

void put_int(std::string& out, std::size_t word, std::int32_t v) {
  put32(out, 4 * word, static_cast<std::uint32_t>(v));
}

float finite_float(double v, const char* what) {
  const auto f = static_cast<float>(v);
  if (!std::isfinite(f)) throw std::invalid_argument(std::string("SAC ") + what + " is not finite");
  return f;
}

void put_optional(std::string& out, std::size_t word, const std::optional<double>& v,
                  const char* what) {
  if (v) put_float(out, word, finite_float(*v, what));
}

// A text field of `width` characters, blank-padded.
void put_text(std::string& out, std::size_t at, std::size_t width, const std::string& s,
              const char* what) {
  if (s.size() > width) {
    throw std::invalid_argument(std::string("SAC ") + what + " \"" + s + "\" is longer than " +
                                std::to_string(width) + " characters");
  }
  std::string field = s;
  field.resize(width, ' ');
  out.replace(at, width, field);
}

}  // namespace

std::string sac_bytes(const SacTrace& t) {
  if (t.data.empty()) throw std::invalid_argument("SAC file without samples");
  std::string out(4 * kWords, '\0');

  // Everything undefined first.
  for (std::size_t w = 0; w < kIntStart; ++w) put_float(out, w, kUndefF);
  for (std::size_t w = kIntStart; w < kLeven; ++w) put_int(out, w, kUndefI);
  for (std::size_t w = kLeven; w < kTextStart; ++w) put_int(out, w, 0);
  for (std::size_t at = 4 * kTextStart; at < kTextEnd; at += 8) out.replace(at, 8, "-12345  ");
  out.replace(kKevnm, 16, "-12345          ");

  // The samples as written, and their extremes and mean.
  std::string samples(4 * t.data.size(), '\0');
  float lo = 0.0F, hi = 0.0F;
  double sum = 0.0;
  for (std::size_t i = 0; i < t.data.size(); ++i) {
    const float v = finite_float(t.data[i], "sample");
    put32(samples, 4 * i, std::bit_cast<std::uint32_t>(v));
    lo = i == 0 ? v : std::min(lo, v);
    hi = i == 0 ? v : std::max(hi, v);
    sum += v;
  }
  const auto npts = static_cast<std::int32_t>(t.data.size());

  const float delta = finite_float(t.delta, "DELTA");
  const float b = finite_float(t.b, "B");
  put_float(out, kDelta, delta);
  put_float(out, kDepmin, lo);
  put_float(out, kDepmax, hi);
  put_float(out, kDepmen, static_cast<float>(sum / static_cast<double>(npts)));
  put_float(out, kB, b);
  put_float(out, kE, finite_float(t.b + (npts - 1) * t.delta, "E"));
  put_optional(out, kO, t.o, "O");
  put_optional(out, kUser0, t.user0, "USER0");
  put_optional(out, kUser1, t.user1, "USER1");
  put_optional(out, kUser2, t.user2, "USER2");
  put_optional(out, kDist, t.dist, "DIST");
  put_optional(out, kAz, t.az, "AZ");
  put_optional(out, kBaz, t.baz, "BAZ");
  put_optional(out, kCmpaz, t.cmpaz, "CMPAZ");
  put_optional(out, kCmpinc, t.cmpinc, "CMPINC");

  put_int(out, kNvhdr, 6);
  put_int(out, kNpts, npts);
  put_int(out, kIftype, kSacItime);
  put_int(out, kIdep, t.idep);
  if (t.iztype) put_int(out, kIztype, *t.iztype);
  put_int(out, kLeven, 1);
  put_int(out, kLpspol, 1);
  put_int(out, kLovrok, 1);
  put_int(out, kLcalda, 0);  // distances are Cartesian: SAC must not recompute them
  put_int(out, kUnusedLogical, 0);

  put_text(out, kKstnm, 8, t.kstnm, "KSTNM");
  put_text(out, kKevnm, 16, t.kevnm, "KEVNM");
  put_text(out, kKcmpnm, 8, t.kcmpnm, "KCMPNM");

  return out + samples;
}

}  // namespace lg::seis
