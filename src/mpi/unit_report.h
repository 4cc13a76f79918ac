// What a rank tells the coordinator after computing a data set (and, with no unit, that it is
// ready for its first one): the standard-error text of the unit and, when its result files
// could not be written, the error.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "mpi/byte_buffer.h"

namespace lg {

struct UnitReport {
  std::optional<std::size_t> unit;  // the job computed; nothing in a rank's first request
  bool failed = false;              // the result files could not be written
  std::string error;                // what went wrong, when failed (without the program prefix)
  std::string warnings;             // the unit's warning lines, as the serial run prints them
};

Bytes encode_report(const UnitReport& r);

// The inverse of encode_report; throws CodecError for a buffer it cannot have produced.
UnitReport decode_report(const Bytes& bytes);

}  // namespace lg
