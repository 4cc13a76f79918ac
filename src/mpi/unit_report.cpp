#include "mpi/unit_report.h"

namespace lg {

namespace {

constexpr std::int32_t kLayout = 0x4c475231;  // "LGR1"

}  // namespace

Bytes encode_report(const UnitReport& r) {
  ByteWriter w;
  w.put_int(kLayout);
  w.put_int(r.unit ? 1 : 0);
  w.put_size(r.unit.value_or(0));
  w.put_int(r.failed ? 1 : 0);
  w.put_string(r.error);
  w.put_string(r.warnings);
  return w.take();
}

UnitReport decode_report(const Bytes& bytes) {
  ByteReader rd(bytes);
  if (rd.get_int() != kLayout) throw CodecError("not a unit report");
  UnitReport r;
  const std::int32_t has_unit = rd.get_int();
  const std::uint64_t unit = rd.get_size(0);
  if (has_unit != 0 && has_unit != 1) throw CodecError("bad unit flag in a unit report");
  if (has_unit == 1) r.unit = static_cast<std::size_t>(unit);
  const std::int32_t failed = rd.get_int();
  if (failed != 0 && failed != 1) throw CodecError("bad failure flag in a unit report");
  r.failed = failed == 1;
  r.error = rd.get_string();
  r.warnings = rd.get_string();
  rd.expect_end();
  return r;
}

}  // namespace lg
