// Fuzz target: the result-file reader of layergreen-seis.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "result_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  lg::fuzz::feed_result(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
