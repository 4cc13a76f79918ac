#include "seis/source_time_function.h"

#include <cmath>
#include <numbers>
#include <sstream>
#include <stdexcept>

namespace lg::seis {

namespace {

using Cx = std::complex<double>;
constexpr Cx kI{0.0, 1.0};

// (1 - exp(-x))/x, with its series near x = 0.
Cx one_minus_exp_over(Cx x) {
  if (std::abs(x) < 1e-4) return 1.0 - x / 2.0 + x * x / 6.0;
  return (1.0 - std::exp(-x)) / x;
}

// Transform of a moment rate (pi/(2D)) sin(pi t/D) on [0, D]. Its singularities at w = +-pi/D
// are removable and lie on the real axis, which the damped frequencies never reach.
Cx half_sine_rate(Cx w, double d) {
  const double a = std::numbers::pi / d;
  return a * a * (1.0 + std::exp(-kI * w * d)) / (2.0 * (a * a - w * w));
}

}  // namespace

Cx SourceTimeFunction::transfer(Cx w) const {
  const Cx iw = kI * w;
  switch (kind) {
    case Kind::kImpulse:
      return 1.0;
    case Kind::kStep:
      return 1.0 / iw;
    case Kind::kTriangle: {
      // Two boxes of half the duration and unit area in a row.
      const Cx box = one_minus_exp_over(iw * (duration / 2.0));
      return box * box / iw;
    }
    case Kind::kRamp:
      return half_sine_rate(w, duration) / iw;
  }
  return 1.0;
}

std::string SourceTimeFunction::describe() const {
  std::ostringstream s;
  switch (kind) {
    case Kind::kImpulse:
      return "impulse";
    case Kind::kStep:
      return "step";
    case Kind::kTriangle:
      s << "triangle:" << duration;
      return s.str();
    case Kind::kRamp:
      s << "ramp:" << duration;
      return s.str();
  }
  return "impulse";
}

SourceTimeFunction parse_source(const std::string& text) {
  SourceTimeFunction f;
  if (text == "impulse") return f;
  if (text == "step") {
    f.kind = SourceTimeFunction::Kind::kStep;
    return f;
  }
  const std::size_t colon = text.find(':');
  const std::string name = text.substr(0, colon);
  if ((name == "triangle" || name == "ramp") && colon != std::string::npos) {
    const std::string value = text.substr(colon + 1);
    std::size_t used = 0;
    double d = 0.0;
    try {
      d = std::stod(value, &used);
    } catch (const std::exception&) {
      used = 0;
    }
    if (used == 0 || used != value.size() || !std::isfinite(d) || !(d > 0.0)) {
      throw std::invalid_argument("the duration of \"" + text + "\" must be a positive number");
    }
    f.kind =
        name == "triangle" ? SourceTimeFunction::Kind::kTriangle : SourceTimeFunction::Kind::kRamp;
    f.duration = d;
    return f;
  }
  throw std::invalid_argument("unknown source time function \"" + text +
                              "\" (use impulse, step, triangle:DURATION or ramp:DURATION)");
}

}  // namespace lg::seis
