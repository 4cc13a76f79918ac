#include "output/result_format.h"

#include <bit>
#include <cstdint>

#include "textio/fixed_format.h"
#include "textio/free_write.h"

namespace lg {

std::string result_header(const HeaderValues& h, const LayerModel& layers) {
  const ModelParams& p = h.params;
  std::string s;
  s += FreeLine().i(h.nstati).i(h.ndatas).t("   total area grid number").str();
  s += FreeLine().i(h.ns1).i(h.ns2).t("  subfault area ns1,ns2 along strike").str();
  s += FreeLine().i(h.nw1).t("      subfault area nw1 along dip").str();
  s += fixed_f(h.fault.sazi, 7, 1) + fixed_f(h.fault.dip, 7, 1) + "       sazi,dip\n";
  s += FreeLine()
           .i(p.NC)
           .i(p.NFREQ)
           .r(p.TL)
           .r(p.AW)
           .i(p.NR)
           .r(p.XL)
           .i(p.IKMAX)
           .r(p.UCONV)
           .r(p.XS)
           .r(p.YS)
           .r(h.ZS)
           .str();
  s += FreeLine().t("hc,vp,vs,rho,qp,qs").str();
  for (int ic = 1; ic <= p.NC; ++ic) {
    for (double v : {layers.hc[ic], layers.vp[ic], layers.vs[ic], layers.rho[ic], layers.qp[ic],
                     layers.qs[ic]}) {
      s += fixed_f(v, 10, 3);
    }
    s += '\n';
  }
  return s;
}

std::string receiver_block(double x, double y, double z) {
  return FreeLine().t("xr,yr,zr").str() + FreeLine().r(x).r(y).r(z).str();
}

namespace {

// 5^p for p = 0 ... 27 (each below 2^63).
constexpr std::uint64_t kPow5[28] = {1ULL,
                                     5ULL,
                                     25ULL,
                                     125ULL,
                                     625ULL,
                                     3125ULL,
                                     15625ULL,
                                     78125ULL,
                                     390625ULL,
                                     1953125ULL,
                                     9765625ULL,
                                     48828125ULL,
                                     244140625ULL,
                                     1220703125ULL,
                                     6103515625ULL,
                                     30517578125ULL,
                                     152587890625ULL,
                                     762939453125ULL,
                                     3814697265625ULL,
                                     19073486328125ULL,
                                     95367431640625ULL,
                                     476837158203125ULL,
                                     2384185791015625ULL,
                                     11920928955078125ULL,
                                     59604644775390625ULL,
                                     298023223876953125ULL,
                                     1490116119384765625ULL,
                                     7450580596923828125ULL};

// floor(m * 2^e * 10^p) and whether the rest is below, at or above one half (-1, 0, 1), for
// m < 2^53 and 0 <= p <= 27, exactly; false when the product needs more than 128 bits or is
// not below 2^64.
bool scaled(std::uint64_t m, int e, int p, std::uint64_t& whole, int& rest) {
  using U = unsigned __int128;
  const U big = static_cast<U>(m) * kPow5[p];  // below 2^116
  const int s = e + p;                         // m * 10^p * 2^e = big * 2^s
  if (s >= 0 || s <= -116) return false;
  const int sh = -s;
  const U w = big >> sh;
  if (w >> 64 != 0) return false;
  const U r = big - (w << sh);
  const U half = static_cast<U>(1) << (sh - 1);
  whole = static_cast<std::uint64_t>(w);
  rest = r < half ? -1 : (r == half ? 0 : 1);
  return true;
}

// The six significant digits of a (finite, positive) rounded to nearest with ties to even, as
// the integer n (10^5 <= n < 10^6) and the exponent x with a ~ 0.n * 10^x; false when a is
// out of the range handled here.
bool six_digits(double a, std::uint64_t& n, int& x) {
  const auto bits = std::bit_cast<std::uint64_t>(a);
  const int biased = static_cast<int>(bits >> 52);
  if (biased == 0 || biased >= 0x7ff) return false;  // subnormal, or not finite
  const std::uint64_t m = (bits & ((1ULL << 52) - 1)) | (1ULL << 52);
  const int e = biased - 1075;  // a = m * 2^e, 2^52 <= m < 2^53
  // A first guess of floor(log10(a)), at most one too small.
  int k = ((e + 52) * 78913) >> 18;
  for (int tries = 0; tries < 3; ++tries) {
    const int p = 5 - k;  // n = a * 10^p rounded
    if (p < 0 || p > 27) return false;
    std::uint64_t whole = 0;
    int rest = 0;
    if (!scaled(m, e, p, whole, rest)) return false;
    if (whole >= 1000000) {
      ++k;
      continue;
    }
    if (whole < 100000) {
      --k;
      continue;
    }
    if (rest > 0 || (rest == 0 && (whole & 1) != 0)) ++whole;
    if (whole == 1000000) {
      whole = 100000;
      ++k;
    }
    n = whole;
    x = k + 1;
    return true;
  }
  return false;
}

}  // namespace

void append_spectrum_value(std::string& out, double v) {
  std::uint64_t n = 0;
  int x = 0;
  const double a = v < 0 ? -v : v;
  if (!six_digits(a, n, x) || x < -99 || x > 99) {
    append_fixed_e(out, v, 13, 6);
    return;
  }
  char t[13];
  t[0] = v < 0 ? '-' : ' ';
  t[1] = '0';
  t[2] = '.';
  for (int i = 8; i >= 3; --i) {
    t[i] = static_cast<char>('0' + n % 10);
    n /= 10;
  }
  const int ax = x < 0 ? -x : x;
  t[9] = 'E';
  t[10] = x < 0 ? '-' : '+';
  t[11] = static_cast<char>('0' + ax / 10);
  t[12] = static_cast<char>('0' + ax % 10);
  out.append(t, 13);
}

std::string frequency_group(double freq, int ik, const ReceiverSpectra& u) {
  std::string s = FreeLine().t("freq =").r(freq).t("iter =").i(ik).str();
  s.reserve(s.size() + kComponents * (kElements / kElementsPerLine) * (kSpectrumLineColumns + 1));
  for (std::size_t component = 0; component < kComponents; ++component) {
    for (std::size_t first = 0; first < kElements; first += kElementsPerLine) {
      for (std::size_t e = first; e < first + kElementsPerLine; ++e) {
        append_spectrum_value(s, u[e][component].re);
        append_spectrum_value(s, u[e][component].im);
        s += ' ';
      }
      s += '\n';
    }
  }
  return s;
}

}  // namespace lg
