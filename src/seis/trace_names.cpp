#include "seis/trace_names.h"

#include <array>

namespace lg::seis {

std::string element_label(int element) {
  static const std::array<const char*, kElements> kLabels = {"Mxy",     "Mxz",     "-Myz",
                                                             "Mzz-Mxx", "Mzz-Myy", "Mxx+Myy+Mzz"};
  return kLabels.at(static_cast<std::size_t>(element));
}

char component_letter(int component) {
  return std::array<char, kComponents>{'x', 'y', 'z'}.at(static_cast<std::size_t>(component));
}

std::string trace_code(int element, int component) {
  std::string code(1, 'e');
  code += std::to_string(element + 1);
  code += component_letter(component);
  return code;
}

std::string base_name(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string station_code(const std::string& path) {
  const std::string name = base_name(path);
  const std::size_t dot = name.find('.');
  if (dot == std::string::npos || dot == 0 || dot > 8) return "-";
  return name.substr(0, dot);
}

}  // namespace lg::seis
