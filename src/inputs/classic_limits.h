// The limits of the classic input files: the sizes their layouts and numbering allow.
#pragma once

namespace lg {

inline constexpr int kClassicMaxLayers = 20;     // NC, the half-space included
inline constexpr int kClassicMaxReceivers = 30;  // nstati, grid points along strike
inline constexpr int kMaxStations = 40;
inline constexpr int kMaxDataSets = 20;

}  // namespace lg
