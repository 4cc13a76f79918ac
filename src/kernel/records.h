// The records through which the driver and the computing stages exchange every value.
//
// One Context holds all of them; each stage receives the context and reads what earlier
// stages of the same step left there. Arrays are sized one past their bound and indexed from
// 1, as everywhere in the model's notation (element 0 is never used). Receivers are the
// along-strike slots 1 ... NR, layers 1 ... NC with layer NC the half-space.
#pragma once

#include <array>

#include "kernel/complex.h"

namespace lg {

inline constexpr int kMaxLayers = 20;
inline constexpr int kMaxReceivers = 30;
inline constexpr int kMaxStations = 40;
inline constexpr int kMaxDataSets = 20;
inline constexpr int kSums = 11;
inline constexpr int kElements = 6;
inline constexpr int kComponents = 3;

// 1-based array of N entries.
template <class T, int N>
using Arr = std::array<T, N + 1>;

template <class T>
using PerLayer = Arr<T, kMaxLayers>;
template <class T>
using PerReceiver = Arr<T, kMaxReceivers>;

// 2x2 P-SV matrix; element (i, j) is outgoing wave type i per unit incoming type j
// (1 = P, 2 = SV).
struct M2 {
  Cx m11, m12, m21, m22;
};

// Constants and the current frequency and wavenumber.
struct Dim1a {
  Cx ai{0.0, 1.0};
  double pi = 3.14159265359;
  double pi2 = 6.28318530718;
  Cx omega{};
  Cx omega2{};
  Cx cnorm{};
  double ak = 0.0;
  double ak2 = 0.0;
  double UCONV = 0.0;
  double xlnw = 0.0;
  bool iconv = false;
};

// Receiver positions and azimuths.
struct Dim1b {
  PerReceiver<double> xr{}, yr{}, zr{}, caz{}, saz{};
};

// Source position.
struct Dim1c {
  double XS = 0.0, YS = 0.0, ZS = 0.0;
};

// Model size and the placement of source and receivers in the layers.
struct Dim1d {
  PerReceiver<double> zrl{}, rr{};
  int NC = 0;
  int NR = 0;
  int nrup = 0;
  int ls = 0;
  double zsl = 0.0;
  PerReceiver<int> lr{};
};

// The layered model.
struct Dim1e {
  PerLayer<double> hc{}, vp{}, vs{}, rho{}, qp{}, qs{};
};

// Spectra of the current frequency: ug[ir][is][k], element is = 1..6, component k = 1..3.
struct Dim1f {
  PerReceiver<Arr<Arr<Cx, kComponents>, kElements>> ug{};
};

// Per-layer wavenumbers of the current step.
struct Dim2a {
  PerLayer<Cx> cka{}, ckb{}, cka2{}, ckb2{}, cnu{}, cgam{}, ckig{}, crho{};
};

// Bessel-function factors of each receiver at the current wavenumber.
struct Dim2b {
  PerReceiver<double> bj0{}, bj1{}, bkj0{}, bkj2{}, bj1r{}, dkj2{}, bkj2r{}, dj1{};
};

// Interface coefficients (interface k is the top of layer k) and layer phase factors.
struct Dim2c {
  PerLayer<M2> rd{}, ru{}, td{}, tu{};
  PerLayer<Cx> rdsh{}, rush{}, tdsh{}, tush{};
  PerLayer<Cx> enuh{}, egamh{};
};

// Reflection responses of the stack above and below the top of each layer.
struct Dim2d {
  PerLayer<M2> crdo{}, crup{};
  PerLayer<Cx> crdosh{}, crupsh{};
};

// Layer transfer matrices.
struct Dim2e {
  PerLayer<M2> ctdo{}, ctup{};
  PerLayer<Cx> ctupsh{}, ctdosh{};
};

// Unit-source amplitudes at the top of the source layer (20 entries).
struct Dim2f {
  Arr<Cx, 20> cud{};
};

// Wavenumber sums of the current frequency: usum[ir][m], m = 1..11.
struct Dim2g {
  PerReceiver<Arr<Cx, kSums>> usum{};
};

// Everything one computation sees. Independent contexts can run on separate threads.
struct Context {
  Dim1a dim1a;
  Dim1b dim1b;
  Dim1c dim1c;
  Dim1d dim1d;
  Dim1e dim1e;
  Dim1f dim1f;
  Dim2a dim2a;
  Dim2b dim2b;
  Dim2c dim2c;
  Dim2d dim2d;
  Dim2e dim2e;
  Dim2f dim2f;
  Dim2g dim2g;

  // Not part of the records: false tells the last kernel stage that the driver will ignore the
  // convergence flag of this step, so the tests need not be made.
  bool test_convergence = true;
};

}  // namespace lg
