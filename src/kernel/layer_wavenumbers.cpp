#include "kernel/layer_wavenumbers.h"

#include "special/bessel_j0_y0.h"
#include "special/bessel_j1_y1.h"

namespace lg {

namespace {

// Square root with non-positive imaginary part, so that exp(-i*root*z) decays with z.
Cx vertical_root(Cx cc) {
  Cx r = csqrt(cc);
  if (r.im > 0.0) r = -r;
  return r;
}

// The factors derived from J0 and J1 at distance r.
inline void kernels(Dim2b& b, int ir, double r, double ak, double ak2) {
  b.bkj0[ir] = ak * b.bj0[ir];
  if (r == 0.0) {
    b.bkj2[ir] = 0.0;
    b.bj1r[ir] = ak / 2.0;
    b.dkj2[ir] = 0.0;
    b.bkj2r[ir] = 0.0;
  } else {
    b.bj1r[ir] = b.bj1[ir] / r;
    b.bkj2[ir] = b.bkj0[ir] - 2.0 * b.bj1r[ir];
    b.bkj2r[ir] = b.bkj2[ir] / r;
    b.dkj2[ir] = -(ak2 * b.bj1[ir] + 2.0 * b.bkj2r[ir]);
  }
  b.dj1[ir] = b.bkj0[ir] - b.bj1r[ir];
}

}  // namespace

void bessel_row(const Context& c, double ak, double* j01) {
  double vy = 0.0;  // second-kind values are not asked for
  for (int ir = 1; ir <= c.dim1d.NR; ++ir) {
    const double arg = c.dim1d.rr[ir] * ak;
    ff01ad(j01[2 * (ir - 1)], vy, arg, 0);
    ff02ad(j01[2 * (ir - 1) + 1], vy, arg, 0);
  }
}

void refle0_bessel(Context& c) {
  const double ak = c.dim1a.ak;
  Dim2b& b = c.dim2b;
  double vy = 0.0;
  for (int ir = 1; ir <= c.dim1d.NR; ++ir) {
    const double arg = c.dim1d.rr[ir] * ak;
    ff01ad(b.bj0[ir], vy, arg, 0);
    ff02ad(b.bj1[ir], vy, arg, 0);
    kernels(b, ir, c.dim1d.rr[ir], ak, c.dim1a.ak2);
  }
}

void refle0_bessel(Context& c, const double* j01) {
  Dim2b& b = c.dim2b;
  for (int ir = 1; ir <= c.dim1d.NR; ++ir) {
    b.bj0[ir] = j01[2 * (ir - 1)];
    b.bj1[ir] = j01[2 * (ir - 1) + 1];
    kernels(b, ir, c.dim1d.rr[ir], c.dim1a.ak, c.dim1a.ak2);
  }
}

void refle0_frequency(Context& c) {
  const Dim1a& f = c.dim1a;
  const Dim1e& m = c.dim1e;
  Dim2a& w = c.dim2a;
  const Cx one = cx(1.0);
  for (int ic = 1; ic <= c.dim1d.NC; ++ic) {
    const double qp = m.qp[ic];
    const double qs = m.qs[ic];
    // One damping factor, from the sum of the two quality factors, serves both wave types;
    // the last factor is the logarithmic dispersion referred to 1 rad per time unit.
    const Cx ccv = one + f.ai / cx(qp + qs);
    const Cx cvp = cx(m.vp[ic]) * ccv / cx(1.0 + 0.25 / (qp * qp)) / cx(1.0 - f.xlnw / qp);
    const Cx cvs = cx(m.vs[ic]) * ccv / cx(1.0 + 0.25 / (qs * qs)) / cx(1.0 - f.xlnw / qs);
    w.cka[ic] = f.omega / cvp;
    w.ckb[ic] = f.omega / cvs;
    w.ckb2[ic] = w.ckb[ic] * w.ckb[ic];
    w.cka2[ic] = w.cka[ic] * w.cka[ic];
    w.crho[ic] = f.cnorm / cx(m.rho[ic]);
  }
}

void refle0_wavenumber(Context& c) {
  const Dim1a& f = c.dim1a;
  Dim2a& w = c.dim2a;
  const Cx k2 = cx(f.ak * f.ak) / f.ai;
  for (int ic = 1; ic <= c.dim1d.NC; ++ic) {
    w.cnu[ic] = vertical_root(w.cka2[ic] - cx(f.ak2));
    w.cgam[ic] = vertical_root(w.ckb2[ic] - cx(f.ak2));
    w.ckig[ic] = k2 / w.cnu[ic];
  }
}

void refle0(Context& c) {
  refle0_bessel(c);
  refle0_frequency(c);
  refle0_wavenumber(c);
}

}  // namespace lg
