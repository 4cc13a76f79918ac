// Micro-benchmarks of one wavenumber step (refle0 ... refle4) on a 6-layer model, with 1 and
// 30 receivers at the surface, at the wavenumbers of a realistic summation.
#include <benchmark/benchmark.h>

#include <memory>

#include "kernel/wavenumber_loop.h"
#include "kernel/interface_coefficients.h"
#include "kernel/stack_responses.h"
#include "kernel/source_layer_amplitudes.h"
#include "kernel/receiver_increments.h"
#include "kernel/records.h"
#include "kernel/source_receiver_placement.h"
#include "kernel/layer_wavenumbers.h"

namespace {

std::unique_ptr<lg::Context> workload_context(int receivers) {
  auto c = std::make_unique<lg::Context>();
  const double layers[6][6] = {{1.5, 3.8, 2.1, 2.3, 150, 75},  {3.5, 5.5, 3.15, 2.6, 300, 150},
                               {6.0, 6.0, 3.45, 2.7, 400, 200}, {10.0, 6.4, 3.65, 2.8, 500, 250},
                               {9.0, 6.8, 3.9, 2.95, 550, 275}, {0.0, 7.9, 4.5, 3.3, 800, 400}};
  c->dim1d.NC = 6;
  for (int ic = 1; ic <= 6; ++ic) {
    c->dim1e.hc[ic] = layers[ic - 1][0];
    c->dim1e.vp[ic] = layers[ic - 1][1];
    c->dim1e.vs[ic] = layers[ic - 1][2];
    c->dim1e.rho[ic] = layers[ic - 1][3];
    c->dim1e.qp[ic] = layers[ic - 1][4];
    c->dim1e.qs[ic] = layers[ic - 1][5];
  }
  c->dim1d.NR = receivers;
  for (int ir = 1; ir <= receivers; ++ir) {
    const double d = 5.0 + (ir - 1) * (95.0 / 29);
    c->dim1b.xr[ir] = d;
    c->dim1b.yr[ir] = 0.3 * d;
    c->dim1b.zr[ir] = 0.0;
  }
  c->dim1c.ZS = 10.0;
  c->dim1a.UCONV = 0.0;
  lg::initda(*c);
  return c;
}

lg::Sampling workload_sampling() {
  lg::Sampling s;
  s.aw = -(3.14159265359 * 2.0) / 51.2;
  s.xl = 800.0;
  s.pil = 6.28318530718 / 800.0;
  s.ikmax = 2000;
  return s;
}

// One wavenumber step as the driver runs it (Bessel values from the table), cycling through
// the wavenumbers 0 ... 2000 at one frequency.
void WavenumberStep(benchmark::State& state) {
  const int receivers = static_cast<int>(state.range(0));
  auto c = workload_context(receivers);
  const lg::Sampling s = workload_sampling();
  const lg::BesselTable table(*c, s, s.ikmax + 1);
  lg::set_frequency(*c, 0.5, s);
  lg::refle0_frequency(*c);
  int ik = 0;
  for (auto _ : state) {
    c->dim1a.ak = lg::wavenumber(ik, s.pil);
    c->dim1a.ak2 = c->dim1a.ak * c->dim1a.ak;
    c->dim1a.iconv = true;
    c->test_convergence = ik > lg::kIkMin;
    lg::refle0_bessel(*c, table.row(ik));
    lg::refle0_wavenumber(*c);
    lg::refle1(*c);
    lg::refle2(*c);
    lg::refle3(*c);
    lg::refle4(*c);
    benchmark::DoNotOptimize(c->dim2g.usum[1][1]);
    ik = ik == s.ikmax ? 0 : ik + 1;
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["ns_per_step_receiver"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * receivers,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(WavenumberStep)->Arg(1)->Arg(30);

// The same step with the reference stages exactly as specified (Bessel functions evaluated
// in the step, every frequency-only value recomputed).
void WavenumberStepUntabulated(benchmark::State& state) {
  const int receivers = static_cast<int>(state.range(0));
  auto c = workload_context(receivers);
  const lg::Sampling s = workload_sampling();
  lg::set_frequency(*c, 0.5, s);
  int ik = 0;
  for (auto _ : state) {
    c->dim1a.ak = lg::wavenumber(ik, s.pil);
    c->dim1a.ak2 = c->dim1a.ak * c->dim1a.ak;
    c->dim1a.iconv = true;
    lg::refle0(*c);
    lg::refle1(*c);
    lg::refle2(*c);
    lg::refle3(*c);
    lg::refle4(*c);
    benchmark::DoNotOptimize(c->dim2g.usum[1][1]);
    ik = ik == s.ikmax ? 0 : ik + 1;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(WavenumberStepUntabulated)->Arg(1)->Arg(30);

}  // namespace

BENCHMARK_MAIN();
