#include "output/result_format.h"

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

std::string frequency_group(double freq, int ik, const ReceiverSpectra& u) {
  std::string s = FreeLine().t("freq =").r(freq).t("iter =").i(ik).str();
  s.reserve(s.size() + 6 * 82);
  for (const auto component : {0, 1, 2}) {
    for (std::size_t half = 0; half < 2; ++half) {
      for (std::size_t e = 3 * half; e < 3 + 3 * half; ++e) {
        append_fixed_e(s, u[e][component].re, 13, 6);
        append_fixed_e(s, u[e][component].im, 13, 6);
        s += ' ';
      }
      s += '\n';
    }
  }
  return s;
}

}  // namespace lg
