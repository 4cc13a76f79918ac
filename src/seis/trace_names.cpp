#include "seis/trace_names.h"

namespace lg::seis {

std::string element_label(int element) {
  return std::string(kSourceKind.elements[static_cast<std::size_t>(element)].label);
}

std::string trace_code(int element, int component) {
  std::string code(kSourceKind.elements[static_cast<std::size_t>(element)].code);
  code += kQuantity.components[static_cast<std::size_t>(component)].code;
  return code;
}

std::string element_labels_text() {
  std::string s = "(";
  for (const SourceElement& e : kSourceKind.elements) {
    if (s.size() > 1) s += ", ";
    s += e.label;
  }
  return s + ")";
}

std::string trace_range_text(const std::string& stem, const std::string& suffix) {
  return stem + "." + trace_code(0, 0) + suffix + " ... " + stem + "." +
         trace_code(kElements - 1, kComponents - 1) + suffix;
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
