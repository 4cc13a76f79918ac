// The layout of the spectra, declared once as data: the source kinds (the elementary sources
// whose fields are computed) and the output quantities (what is computed of each field at a
// receiver). A receiver's spectra at one frequency are values [element][component]: the
// elements of the run's source kind by the components of its quantity. The kernel's records,
// the result text, layergreen-seis, the bank's datasets and the Python arrays take their
// sizes and labels from here; only the kernel's terms know what an element is physically.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

namespace lg {

// Parameters of a source at most (a symmetric tensor's six).
inline constexpr int kMaxSourceParameters = 6;

// One elementary source of a source kind.
struct SourceElement {
  std::string_view label;        // "Mxy": SAC event name, Python's ELEMENTS, help texts
  std::string_view combination;  // "xy": the element in the bank's conventions text
  std::string_view code;         // "e1": file and column names, before the component's code
  // The element as a source: its parameters, in the order of SourceKind::parameters.
  std::array<double, kMaxSourceParameters> source{};
  // Its weight in the field of a source p: (sum over j of weight[j] p[j]) / divisor, the terms
  // added in the order of j. Elements times weights give back the source exactly.
  std::array<int, kMaxSourceParameters> weight{};
  int divisor = 1;
};

struct SourceKind {
  std::string_view name;         // "moment tensor"
  std::string_view description;  // "six moment-tensor elements", for help texts
  std::string_view frame;        // the axes the parameters are given in
  std::span<const std::string_view> parameters;
  std::span<const SourceElement> elements;

  constexpr int count() const { return static_cast<int>(elements.size()); }
};

// One component of an output quantity.
struct OutputComponent {
  std::string_view code;  // "x": file and column names, after the element's code
  // SAC's component azimuth and inclination (degrees; x north, y east).
  double sac_azimuth = 0.0;
  double sac_inclination = 0.0;
};

struct Quantity {
  std::string_view name;         // "displacement"
  std::string_view description;  // "three components (x, y, vertical positive upwards)"
  std::string_view frame;        // how the components point, after their codes
  std::span<const OutputComponent> components;

  constexpr int count() const { return static_cast<int>(components.size()); }
};

namespace layout_tables {

// Moment tensors in x north, y east, z down, as (Mxx, Myy, Mzz, Mxy, Mxz, Myz). The elements
// are Mxy, Mxz, -Myz, Mzz - Mxx, Mzz - Myy and the isotropic Mxx + Myy + Mzz.
inline constexpr std::array<std::string_view, 6> kMomentTensorParameters = {"Mxx", "Myy", "Mzz",
                                                                            "Mxy", "Mxz", "Myz"};
inline constexpr std::array<SourceElement, 6> kMomentTensorElements = {{
    {"Mxy", "xy", "e1", {0, 0, 0, 1, 0, 0}, {0, 0, 0, 1, 0, 0}, 1},
    {"Mxz", "xz", "e2", {0, 0, 0, 0, 1, 0}, {0, 0, 0, 0, 1, 0}, 1},
    {"-Myz", "-yz", "e3", {0, 0, 0, 0, 0, -1}, {0, 0, 0, 0, 0, -1}, 1},
    {"Mzz-Mxx", "zz-xx", "e4", {-1, 0, 1, 0, 0, 0}, {-2, 1, 1, 0, 0, 0}, 3},
    {"Mzz-Myy", "zz-yy", "e5", {0, -1, 1, 0, 0, 0}, {1, -2, 1, 0, 0, 0}, 3},
    {"Mxx+Myy+Mzz", "xx+yy+zz", "e6", {1, 1, 1, 0, 0, 0}, {1, 1, 1, 0, 0, 0}, 3},
}};

// Point forces in x north, y east, z down, as (Fx, Fy, Fz): one element per direction.
inline constexpr std::array<std::string_view, 3> kForceParameters = {"Fx", "Fy", "Fz"};
inline constexpr std::array<SourceElement, 3> kForceElements = {{
    {"Fx", "x", "f1", {1, 0, 0}, {1, 0, 0}, 1},
    {"Fy", "y", "f2", {0, 1, 0}, {0, 1, 0}, 1},
    {"Fz", "z", "f3", {0, 0, 1}, {0, 0, 1}, 1},
}};

// Displacement: x north, y east (horizontal), z up.
inline constexpr std::array<OutputComponent, 3> kDisplacementComponents = {{
    {"x", 0.0, 90.0},
    {"y", 90.0, 90.0},
    {"z", 0.0, 0.0},
}};

// Strain: the symmetric tensor (du_i/dx_j + du_j/dx_i) / 2 in x north, y east, z up, as xx, yy,
// zz, xy, xz, yz (tensor components, not engineering shear).
inline constexpr std::array<OutputComponent, 6> kStrainComponents = {{
    {"xx", 0.0, 90.0},
    {"yy", 90.0, 90.0},
    {"zz", 0.0, 0.0},
    {"xy", 0.0, 0.0},
    {"xz", 0.0, 0.0},
    {"yz", 0.0, 0.0},
}};

// Rotation: half the curl of the displacement, the physical rotation vector by its components
// along north, east and up (the angles are those axes').
inline constexpr std::array<OutputComponent, 3> kRotationComponents = {{
    {"x", 0.0, 90.0},
    {"y", 90.0, 90.0},
    {"z", 0.0, 0.0},
}};

// Pressure in the water: one scalar component, positive in compression.
inline constexpr std::array<OutputComponent, 1> kPressureComponents = {{
    {"p", 0.0, 0.0},
}};

}  // namespace layout_tables

inline constexpr SourceKind kMomentTensor{
    "moment tensor", "six moment-tensor elements", "moment tensor in x north, y east, z down",
    layout_tables::kMomentTensorParameters, layout_tables::kMomentTensorElements};

inline constexpr SourceKind kForce{"force", "three point-force directions",
                                   "force in x north, y east, z down",
                                   layout_tables::kForceParameters, layout_tables::kForceElements};

inline constexpr Quantity kDisplacement{"displacement",
                                        "three components (x, y, vertical positive upwards)",
                                        "z positive up", layout_tables::kDisplacementComponents};

inline constexpr Quantity kStrain{"strain", "six strain-tensor components (xx, yy, zz, xy, xz, yz)",
                                  "x north, y east, z up; tensor components",
                                  layout_tables::kStrainComponents};

inline constexpr Quantity kRotation{
    "rotation", "three rotation components (north, east, up)",
    "half the curl, physical: omega_z positive anticlockwise from above",
    layout_tables::kRotationComponents};

inline constexpr Quantity kPressure{"pressure", "the pressure in the water (one component)",
                                    "positive in compression", layout_tables::kPressureComponents};

// Every source kind and quantity the program knows. Strain and rotation come from the
// displacement gradient (kernel/gradient_spectra.h), the pressure from the fluid layers' own
// sums (kernel/fluid_layers.h); a run's files hold displacement.
inline constexpr std::array<const SourceKind*, 2> kSourceKinds = {&kMomentTensor, &kForce};
inline constexpr std::array<const Quantity*, 4> kQuantities = {&kDisplacement, &kStrain, &kRotation,
                                                               &kPressure};

// What a run computes: moment-tensor elements, displacement. Their counts are compile-time
// constants, the bounds of the kernel's fixed-size records.
inline constexpr const SourceKind& kSourceKind = kMomentTensor;
inline constexpr const Quantity& kQuantity = kDisplacement;
inline constexpr int kElements = kSourceKind.count();
inline constexpr int kComponents = kQuantity.count();
// Values of one receiver at one frequency.
inline constexpr int kElementComponents = kElements * kComponents;

// Values of one receiver at one frequency, [element][component] counted from 0.
template <class T>
using ElementValues = std::array<std::array<T, kComponents>, kElements>;

// Forces, computed besides (or instead of) the moment tensor when asked for: their values of
// one receiver at one frequency, [force][component] counted from 0.
inline constexpr int kForceCount = kForce.count();
inline constexpr int kForceComponents = kForceCount * kComponents;
template <class T>
using ForceValues = std::array<std::array<T, kComponents>, kForceCount>;

// Copies u into out[element * kComponents + component], each value through convert.
// (ForceValues alike.)
template <class T, std::size_t N, class Out, class Convert>
void copy_flat(const std::array<std::array<T, kComponents>, N>& u, Out* out, Convert convert) {
  for (std::size_t e = 0; e < N; ++e) {
    for (std::size_t c = 0; c < kComponents; ++c) out[e * kComponents + c] = convert(u[e][c]);
  }
}
template <class T, std::size_t N, class Out>
void copy_flat(const std::array<std::array<T, kComponents>, N>& u, Out* out) {
  copy_flat(u, out, [](const T& v) { return v; });
}

// The consistency of the tables: weights and elements are dual (an element's weights for
// another element's source are 0, for its own 1).
constexpr bool dual(const SourceKind& k) {
  for (const SourceElement& a : k.elements) {
    for (const SourceElement& b : k.elements) {
      double s = 0.0;
      for (std::size_t j = 0; j < k.parameters.size(); ++j) s += a.weight[j] * b.source[j];
      if (s != (&a == &b ? a.divisor : 0)) return false;
    }
  }
  return k.parameters.size() <= kMaxSourceParameters;
}
static_assert(dual(kMomentTensor));
static_assert(dual(kForce));

}  // namespace lg
