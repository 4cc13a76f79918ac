#include "run/thread_count.h"

#include <thread>

namespace lg {

std::optional<int> parse_thread_count(const std::string& text) {
  if (text.empty() || text.size() > 4) return std::nullopt;
  int v = 0;
  for (char ch : text) {
    if (ch < '0' || ch > '9') return std::nullopt;
    v = v * 10 + (ch - '0');
  }
  if (v < 1 || v > 1024) return std::nullopt;
  return v;
}

int choose_thread_count(std::optional<int> option, const char* omp, std::ostream& err) {
  if (option) return *option;
  if (omp != nullptr) {
    std::string first(omp);
    first = first.substr(0, first.find(','));
    const std::size_t b = first.find_first_not_of(" \t");
    const std::size_t e = first.find_last_not_of(" \t");
    first = b == std::string::npos ? std::string() : first.substr(b, e - b + 1);
    if (const auto n = parse_thread_count(first)) return *n;
    err << "layergreen: warning: ignoring OMP_NUM_THREADS=\"" << omp
        << "\" (not a thread count from 1 to 1024)\n";
  }
  const unsigned hw = std::thread::hardware_concurrency();
  return hw == 0 ? 1 : static_cast<int>(std::min(hw, 1024u));
}

}  // namespace lg
