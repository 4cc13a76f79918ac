// The records the stages of the kernel read and write, and the workspace that holds one of
// each for one worker.
//
// Arrays are sized one past their bound and indexed from 1, as in the notation of the method
// (element 0 is never used). Receivers are slots 1 ... nr in order of depth; layers are
// 1 ... nc with layer nc the half-space. Short names inside the records are the usual symbols
// of the method and are explained where they are declared.
#pragma once

#include <array>
#include <vector>

#include "kernel/complex.h"
#include "kernel/layout.h"  // kElements, kComponents

namespace lg {

// The spectra of one receiver at one frequency, [element][component] as in layout.h:
// elements xy, xz, -yz, zz-xx, zz-yy, xx+yy+zz; components x, y, z (up).
using ReceiverSpectra = ElementValues<Cx>;
// The same of the forces along x, y and z (down).
using ForceSpectra = ForceValues<Cx>;

// Layers a workspace holds, the half-space included. Receivers are not limited.
inline constexpr int kMaxLayers = 128;
inline constexpr int kSums = 11;
// The wavenumber sums of the forces, numbered kSums + 1 ... kSums + kForceSums after the
// moment tensor's.
inline constexpr int kForceSums = 5;

// The source kinds a data set computes: the moment tensor (the default), forces, or both.
// With `gradient`, the displacement gradient of each kind is computed too (strain, rotation):
// its sums follow the displacement's and end with their kind.
struct SourceSet {
  bool moment = true;
  bool force = false;
  bool gradient = false;
};

// The sums of the displacement gradient, after the moment tensor's and the forces' sums: for
// the moment tensor its kSums sums with the Bessel factors' derivatives in distance, then with
// the depth terms' derivatives in depth; the same of the forces' kForceSums sums.
inline constexpr int kGradientBase = kSums + kForceSums;
inline constexpr int kMomentRadialSums = kGradientBase;                // + 1 ... kSums
inline constexpr int kMomentDepthSums = kMomentRadialSums + kSums;     // + 1 ... kSums
inline constexpr int kForceRadialSums = kMomentDepthSums + kSums;      // + 1 ... kForceSums
inline constexpr int kForceDepthSums = kForceRadialSums + kForceSums;  // + 1 ... kForceSums
inline constexpr int kAllSums = kForceDepthSums + kForceSums;

// The displacement gradient du_i/dx_j of one element at one receiver, [3 * i + j], i, j = x
// (north), y (east), z (up).
using Gradient = std::array<Cx, 9>;

// 1-based array of N entries.
template <class T, int N>
using Arr = std::array<T, N + 1>;

template <class T>
using PerLayer = Arr<T, kMaxLayers>;
// 1-based array over the receivers of a data set, sized nr + 1 when they are placed.
template <class T>
using PerReceiver = std::vector<T>;

// 2x2 P-SV matrix; element (i, j) is outgoing wave type i per unit incoming type j
// (1 = P, 2 = SV). Of one frequency (M2), or of four in lanes (C the lane type).
template <class C>
struct Matrix2 {
  C m11, m12, m21, m22;
};
using M2 = Matrix2<Cx>;

// The layered model: hc the thickness of each layer (or, as read, the depth of its top when
// hc[1] is zero), P and S velocities, density and quality factors.
struct LayerModel {
  int nc = 0;  // layers, the half-space included
  PerLayer<double> hc{}, vp{}, vs{}, rho{}, qp{}, qs{};
};

// Source position.
struct SourcePosition {
  double x = 0.0, y = 0.0, z = 0.0;
};

// Receiver positions (z positive down) and the cosine and sine of each receiver's azimuth
// from the source, counted from x towards y.
struct ReceiverPositions {
  int nr = 0;
  PerReceiver<double> xr, yr, zr, caz, saz;

  explicit ReceiverPositions(int n = 0);
};

// Where source and receivers sit in the layers.
struct Placement {
  int nc = 0;                       // layers
  int nr = 0;                       // receivers
  int nrup = 0;                     // receivers 1 ... nrup lie strictly above the source
  int ls = 0;                       // layer of the source
  double zsl = 0.0;                 // depth of the source below the top of its layer
  PerReceiver<int> lr{};            // layer of each receiver
  PerReceiver<double> zrl{}, rr{};  // depth below the top of its layer; horizontal distance
  // Receivers exactly on the interface at the bottom of their layer (lr < nc): their
  // displacement is that of the layer's bottom, their gradient that of the layer below.
  PerReceiver<char> on_interface{};
};

// The anelastic law of the complex velocities: the classic law of the result files (one
// damping factor 1/(qp+qs), dispersion referred to 1 rad per time unit), or the constant-Q law
// (P with qp, S with qs) with the tabulated velocities those at angular frequency omega_ref.
struct AnelasticLaw {
  bool constant_q = false;
  double omega_ref = 0.0;
};

// The complex angular frequency and the values that follow from it alone.
struct FrequencyTerms {
  Cx omega{};         // 2 pi f + i omega_I, rounded to single precision
  Cx omega2{};        // omega^2
  Cx cnorm{};         // 1 / (2 omega^2 XL): the scale of the wavenumber sums
  double xlnw = 0.0;  // ln|omega| / pi, the argument of the velocity dispersion
};

// The horizontal wavenumber of the current step.
struct Wavenumber {
  double ak = 0.0;   // k
  double ak2 = 0.0;  // k^2
};

// Per-layer values of the current frequency: P and S wavenumbers omega/alpha and
// omega/beta (cka, ckb) and their squares, and crho = cnorm / rho.
// nfluid: the number of fluid layers (vs = 0) at the top, whose ckb and ckb2 are zero.
struct LayerMedium {
  PerLayer<Cx> cka{}, ckb{}, cka2{}, ckb2{}, crho{};
  int nfluid = 0;
};

// Per-layer vertical wavenumbers of the current step: cnu for P, cgam for S (imaginary
// part <= 0), and ckig = k^2 / (i cnu).
struct LayerWavenumbers {
  PerLayer<Cx> cnu{}, cgam{}, ckig{};
};

// Bessel-function factors of each receiver at the current wavenumber (r its distance):
// bj0 = J0(kr), bj1 = J1(kr), bkj0 = k J0, bj1r = J1 / r, bkj2 = k J0 - 2 J1/r (= -k J2),
// bkj2r = bkj2 / r, dkj2 = -(k^2 J1 + 2 bkj2r), dj1 = k J0 - J1/r (= dJ1/dr).
struct BesselFactors {
  PerReceiver<double> bj0{}, bj1{}, bkj0{}, bkj2{}, bj1r{}, dkj2{}, bkj2r{}, dj1{};
};

// Plane-wave coefficients of interface k (the top of layer k; 1 is the free surface):
// reflection rd/ru and transmission td/tu for waves arriving from above (d) and from below
// (u), P-SV as matrices and SH as scalars; enuh/egamh the one-way P and S phase factors
// across layer k.
struct InterfaceCoefficients {
  PerLayer<M2> rd{}, ru{}, td{}, tu{};
  PerLayer<Cx> rdsh{}, rush{}, tdsh{}, tush{};
  PerLayer<Cx> enuh{}, egamh{};
};

// Reflection responses at the top of each layer: crdo of everything above it (for waves
// going up), crup of the layer and everything below it (for waves going down).
struct StackResponses {
  PerLayer<M2> crdo{}, crup{};
  PerLayer<Cx> crdosh{}, crupsh{};
};

// Transfer of waves across each layer with all reverberations: ctup from the top of layer
// k + 1 to the top of layer k, ctdo from the top of layer k - 1 to the top of layer k.
struct LayerTransfers {
  PerLayer<M2> ctdo{}, ctup{};
  PerLayer<Cx> ctupsh{}, ctdosh{};
};

inline ReceiverPositions::ReceiverPositions(int n)
    : nr(n),
      xr(static_cast<std::size_t>(n + 1)),
      yr(static_cast<std::size_t>(n + 1)),
      zr(static_cast<std::size_t>(n + 1)),
      caz(static_cast<std::size_t>(n + 1)),
      saz(static_cast<std::size_t>(n + 1)) {}

// Up- and downgoing amplitudes at the top of the source layer for the four P-SV and two SH
// elementary sources: cud[4t-3 .. 4t] for P-SV case t (up P, up SV, down P, down SV),
// cud[17 .. 20] for the SH cases (up, down of case 1, then of case 2).
struct SourceLayerAmplitudes {
  Arr<Cx, 20> cud{};
};

// The eleven wavenumber sums of each receiver, sum m of receiver ir at(ir, m), m = 1 .. 11.
// Kept as real and imaginary parts, receivers fastest, so that the receiver loops read and
// write them in whole vectors.
struct WavenumberSums {
  int slots = 0;               // receivers + 1
  std::vector<double> re, im;  // [m * slots + ir]

  // Sized for receivers 1 ... nr and sums 1 ... count, every sum zero.
  void reset(int nr, int count = kSums) {
    slots = nr + 1;
    const auto n = static_cast<std::size_t>(slots * (count + 1));
    re.assign(n, 0.0);
    im.assign(n, 0.0);
  }
  std::size_t index(int ir, int m) const { return static_cast<std::size_t>(m * slots + ir); }
  Cx at(int ir, int m) const { return Cx{re[index(ir, m)], im[index(ir, m)]}; }
};

// Spectra of one frequency: ug[ir][is][k], element is = 1 .. kElements, component
// k = 1 .. kComponents (see kernel/layout.h).
// fg[ir][is][k] the same for the forces (is = 1 .. kForceCount), when computed.
struct Spectra {
  PerReceiver<Arr<Arr<Cx, kComponents>, kElements>> ug{};
  PerReceiver<Arr<Arr<Cx, kComponents>, kForceCount>> fg{};
  // The displacement gradients of the elements and of the forces, when asked for.
  PerReceiver<Arr<Gradient, kElements>> gg{};
  PerReceiver<Arr<Gradient, kForceCount>> fgg{};
};

// One worker's records: the data set's model and geometry, and the values of the current
// frequency and wavenumber. Independent workspaces can run on separate threads.
struct Workspace {
  LayerModel model;
  AnelasticLaw law;
  SourceSet sources;
  SourcePosition source;
  ReceiverPositions receivers;
  Placement placement;
  FrequencyTerms frequency;
  Wavenumber wavenumber;
  LayerMedium medium;
  LayerWavenumbers vertical;
  BesselFactors bessel;
  InterfaceCoefficients interfaces;
  StackResponses stacks;
  LayerTransfers transfers;
  SourceLayerAmplitudes source_amplitudes;
  WavenumberSums sums;
  Spectra spectra;
};

}  // namespace lg
