// Fuzz target: the control file and the file names it gives.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_inputs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  lg::fuzz::feed_control(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
