// A unit's report (run/unit_schedule.h) as the bytes a rank sends the coordinator; with no
// unit, a rank's request for its first one.
#pragma once

#include "mpi/byte_buffer.h"
#include "run/unit_schedule.h"

namespace lg {

Bytes encode_report(const UnitReport& r);

// The inverse of encode_report; throws CodecError for a buffer it cannot have produced.
UnitReport decode_report(const Bytes& bytes);

}  // namespace lg
