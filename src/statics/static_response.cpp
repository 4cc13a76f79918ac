// Static wavenumber kernels at the receiver depths (see static_response.h): generalized
// reflection matrices from the half-space up and from the free surface down, the source jump
// solved at the source level, coefficients carried to every sub-layer.
#include "statics/static_response.h"

#include <cmath>

namespace lg::statics {

namespace {

// Carries the coefficients of the solutions e^(-kz), kz e^(-kz) referred to a sub-layer's top
// to its bottom (down), and those of e^(kz), kz e^(kz) referred to its bottom to its top (up).
Mat2 carry_down(double k, double h) {
  const double e = std::exp(-k * h);
  return Mat2{{{e, -k * h * e}, {0.0, e}}};
}
Mat2 carry_up(double k, double h) {
  const double e = std::exp(-k * h);
  return Mat2{{{e, k * h * e}, {0.0, e}}};
}

}  // namespace

DepthPlace depth_place(const StaticStack& s, double depth) {
  DepthPlace p;
  p.layer = receiver_layer(s, depth);
  const SubLayer& l = s.layers[static_cast<std::size_t>(p.layer)];
  p.below_top = depth - l.top;
  p.above_bottom = depth - (l.top + l.thickness);
  return p;
}

StaticRecursion::StaticRecursion(const StaticStack& s) : s_(s) {
  const std::size_t n = s.layers.size();
  for (auto* v : {&r_top_, &r_bot_, &t_down_, &ru_top_, &ru_bot_, &t_up_}) v->resize(n);
  for (auto* v :
       {&sr_top_, &sr_bot_, &st_down_, &sru_top_, &sru_bot_, &st_up_, &sd_top_, &su_bot_}) {
    v->resize(n);
  }
  d_top_.resize(n);
  u_bot_.resize(n);
}

void StaticRecursion::kernels(double k, const std::vector<DepthPlace>& places,
                              std::vector<DepthKernels>& out, bool force,
                              std::vector<DepthKernels>* slope) {
  const int n = static_cast<int>(s_.layers.size());
  const int src = s_.source;
  auto h = [&](int l) { return s_.layers[static_cast<std::size_t>(l)].thickness; };
  auto idx = [](int l) { return static_cast<std::size_t>(l); };

  // Below the source: up = R d at each sub-layer's top and bottom; the half-space sends nothing
  // up.
  r_top_[idx(n - 1)] = Mat2{};
  sr_top_[idx(n - 1)] = 0.0;
  for (int l = n - 2; l >= src; --l) {
    const Mat4& q = s_.q_down[idx(l)];
    const Mat2& below = r_top_[idx(l + 1)];
    const Mat2 md = block(q, 0, 0) + block(q, 0, 2) * below;
    const Mat2 mu = block(q, 2, 0) + block(q, 2, 2) * below;
    t_down_[idx(l)] = inverse(md);
    r_bot_[idx(l)] = mu * t_down_[idx(l)];
    r_top_[idx(l)] = carry_up(k, h(l)) * r_bot_[idx(l)] * carry_down(k, h(l));

    const Mat2& qs = s_.sh_down[idx(l)];
    const double sd = qs[0][0] + qs[0][1] * sr_top_[idx(l + 1)];
    const double su = qs[1][0] + qs[1][1] * sr_top_[idx(l + 1)];
    st_down_[idx(l)] = 1.0 / sd;
    sr_bot_[idx(l)] = su / sd;
    sr_top_[idx(l)] = std::exp(-2.0 * k * h(l)) * sr_bot_[idx(l)];
  }

  // Above the source: down = R up, from the free surface down to the source level.
  ru_top_[0] = s_.free_surface;
  ru_bot_[0] = carry_down(k, h(0)) * s_.free_surface * carry_up(k, h(0));
  sru_top_[0] = s_.sh_free_surface;
  sru_bot_[0] = std::exp(-2.0 * k * h(0)) * s_.sh_free_surface;
  for (int l = 0; l + 1 < src; ++l) {
    const Mat4& q = s_.q_up[idx(l)];
    const Mat2& above = ru_bot_[idx(l)];
    const Mat2 nd = block(q, 0, 0) * above + block(q, 0, 2);
    const Mat2 nu = block(q, 2, 0) * above + block(q, 2, 2);
    t_up_[idx(l)] = inverse(nu);
    ru_top_[idx(l + 1)] = nd * t_up_[idx(l)];
    ru_bot_[idx(l + 1)] = carry_down(k, h(l + 1)) * ru_top_[idx(l + 1)] * carry_up(k, h(l + 1));

    const Mat2& qs = s_.sh_up[idx(l)];
    const double sd = qs[0][0] * sru_bot_[idx(l)] + qs[0][1];
    const double su = qs[1][0] * sru_bot_[idx(l)] + qs[1][1];
    st_up_[idx(l)] = 1.0 / su;
    sru_top_[idx(l + 1)] = sd / su;
    sru_bot_[idx(l + 1)] = std::exp(-2.0 * k * h(l + 1)) * sru_top_[idx(l + 1)];
  }

  // The jump at the source level: [d_b; R_b d_b] - [R_a u_a; u_a] = E0^-1 (jump).
  const Mat2& ra = ru_bot_[idx(src - 1)];
  const Mat2& rb = r_top_[idx(src)];
  const Mat2 reverb = inverse(identity2() - ra * rb);
  const StaticMedium& med = s_.layers[idx(src)].medium;

  const std::size_t np = places.size();
  out.resize(np);
  if (slope != nullptr) slope->resize(np);
  // P-SV: the unit jumps of U, V, R/k and S/k are the columns 0 ... 3 of E0^-1.
  for (int j : {0, 1, 2, 3}) {
    if (j == 2 && !force) continue;
    const Vec2 sd{med.e0_inv[0][j], med.e0_inv[1][j]};
    const Vec2 su{med.e0_inv[2][j], med.e0_inv[3][j]};
    d_top_[idx(src)] = reverb * (sd - ra * su);
    u_bot_[idx(src - 1)] = rb * d_top_[idx(src)] - su;
    for (int l = src; l < n; ++l) {
      const Vec2 d_bot = carry_down(k, h(l)) * d_top_[idx(l)];
      if (l + 1 < n) {
        u_bot_[idx(l)] = r_bot_[idx(l)] * d_bot;
        d_top_[idx(l + 1)] = t_down_[idx(l)] * d_bot;
      } else {
        u_bot_[idx(l)] = Vec2{0.0, 0.0};
      }
    }
    for (int l = src - 1; l >= 0; --l) {
      const Vec2 u_top = carry_up(k, h(l)) * u_bot_[idx(l)];
      d_top_[idx(l)] = ru_top_[idx(l)] * u_top;
      if (l > 0) u_bot_[idx(l - 1)] = t_up_[idx(l - 1)] * u_top;
    }
    for (std::size_t i = 0; i < np; ++i) {
      const DepthPlace& p = places[i];
      const StaticMedium& m = s_.layers[idx(p.layer)].medium;
      const Vec2& d = d_top_[idx(p.layer)];
      const double ed = std::exp(-k * p.below_top);
      const double xd = k * p.below_top;
      double u = ed * (-d[0] + (m.inv_delta + xd) * d[1]);
      double v = ed * (d[0] - xd * d[1]);
      // Their derivatives in depth: e^(-kz) gives -k, kz gives k.
      double du = -k * u + k * ed * d[1];
      double dv = -k * v - k * ed * d[1];
      if (p.layer + 1 < n) {
        const Vec2& w = u_bot_[idx(p.layer)];
        const double eu = std::exp(k * p.above_bottom);
        const double xu = k * p.above_bottom;
        const double uu = eu * (w[0] + (m.inv_delta - xu) * w[1]);
        const double vu = eu * (w[0] - xu * w[1]);
        u += uu;
        v += vu;
        du += k * uu - k * eu * w[1];
        dv += k * vu - k * eu * w[1];
      }
      if (slope != nullptr) {
        DepthKernels& z = (*slope)[i];
        (j == 0 ? z.u_u : j == 1 ? z.u_v : j == 2 ? z.u_r : z.u_s) = du;
        (j == 0 ? z.v_u : j == 1 ? z.v_v : j == 2 ? z.v_r : z.v_s) = dv;
      }
      DepthKernels& o = out[i];
      if (j == 0) {
        o.u_u = u;
        o.v_u = v;
      } else if (j == 1) {
        o.u_v = u;
        o.v_v = v;
      } else if (j == 2) {
        o.u_r = u;
        o.v_r = v;
      } else {
        o.u_s = u;
        o.v_s = v;
      }
    }
  }

  // SH: unit jumps of W and T/k.
  for (int j : {0, 1}) {
    const double sd = med.sh0_inv[0][j];
    const double su = med.sh0_inv[1][j];
    const double sra = sru_bot_[idx(src - 1)];
    const double srb = sr_top_[idx(src)];
    sd_top_[idx(src)] = (sd - sra * su) / (1.0 - sra * srb);
    su_bot_[idx(src - 1)] = srb * sd_top_[idx(src)] - su;
    for (int l = src; l < n; ++l) {
      const double d_bot = std::exp(-k * h(l)) * sd_top_[idx(l)];
      if (l + 1 < n) {
        su_bot_[idx(l)] = sr_bot_[idx(l)] * d_bot;
        sd_top_[idx(l + 1)] = st_down_[idx(l)] * d_bot;
      } else {
        su_bot_[idx(l)] = 0.0;
      }
    }
    for (int l = src - 1; l >= 0; --l) {
      const double u_top = std::exp(-k * h(l)) * su_bot_[idx(l)];
      sd_top_[idx(l)] = sru_top_[idx(l)] * u_top;
      if (l > 0) su_bot_[idx(l - 1)] = st_up_[idx(l - 1)] * u_top;
    }
    for (std::size_t i = 0; i < np; ++i) {
      const DepthPlace& p = places[i];
      const double wd = std::exp(-k * p.below_top) * sd_top_[idx(p.layer)];
      double w = wd;
      double dw = -k * wd;
      if (p.layer + 1 < n) {
        const double wu = std::exp(k * p.above_bottom) * su_bot_[idx(p.layer)];
        w += wu;
        dw += k * wu;
      }
      (j == 0 ? out[i].w_w : out[i].w_t) = w;
      if (slope != nullptr) (j == 0 ? (*slope)[i].w_w : (*slope)[i].w_t) = dw;
    }
  }
}

}  // namespace lg::statics
