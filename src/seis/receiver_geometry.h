// The receiver's horizontal distance and azimuth from the source, as the header of a result file
// gives them.
#pragma once

#include <optional>

#include "seis/result_file.h"

namespace lg::seis {

struct ReceiverGeometry {
  double distance = 0.0;          // horizontal source-receiver distance
  std::optional<double> azimuth;  // degrees from x towards y, [0, 360); none at zero distance
  std::optional<double> back_azimuth;
};
ReceiverGeometry receiver_geometry(const ResultFile& r);

}  // namespace lg::seis
