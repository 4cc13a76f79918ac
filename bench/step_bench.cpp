// Micro-benchmarks of one wavenumber step (Bessel factors to receiver increments) on a 6-layer
// model, with 1 and 30 receivers at the surface, at the wavenumbers of a realistic summation.
#include <benchmark/benchmark.h>

#include <memory>

#include "kernel/interface_coefficients.h"
#include "kernel/lanes.h"
#include "kernel/records.h"
#include "kernel/source_receiver_placement.h"
#include "kernel/stack_responses.h"
#include "kernel/vertical_wavenumbers.h"
#include "kernel/wavenumber_loop.h"

namespace {

std::unique_ptr<lg::Workspace> workload_context(int receivers) {
  auto c = std::make_unique<lg::Workspace>();
  const double layers[6][6] = {{1.5, 3.8, 2.1, 2.3, 150, 75},   {3.5, 5.5, 3.15, 2.6, 300, 150},
                               {6.0, 6.0, 3.45, 2.7, 400, 200}, {10.0, 6.4, 3.65, 2.8, 500, 250},
                               {9.0, 6.8, 3.9, 2.95, 550, 275}, {0.0, 7.9, 4.5, 3.3, 800, 400}};
  c->model.nc = 6;
  for (int ic = 1; ic <= 6; ++ic) {
    c->model.hc[ic] = layers[ic - 1][0];
    c->model.vp[ic] = layers[ic - 1][1];
    c->model.vs[ic] = layers[ic - 1][2];
    c->model.rho[ic] = layers[ic - 1][3];
    c->model.qp[ic] = layers[ic - 1][4];
    c->model.qs[ic] = layers[ic - 1][5];
  }
  lg::ReceiverPositions given(receivers);
  for (int ir = 1; ir <= receivers; ++ir) {
    const double d = 5.0 + (ir - 1) * (95.0 / 29);
    given.xr[ir] = d;
    given.yr[ir] = 0.3 * d;
    given.zr[ir] = 0.0;
  }
  c->source.z = 10.0;
  lg::place_source_and_receivers(c->model, c->source, given, c->receivers, c->placement);
  return c;
}

lg::Sampling workload_sampling() {
  return lg::make_sampling(51.2, 2.0, 800.0, 2000, 0.0);
}

// One wavenumber step as the wavenumber loop runs it, cycling through the wavenumbers
// 0 ... 2000 at one frequency; with the Bessel values from the table, or evaluated in the
// step.
void step(benchmark::State& state, bool tabulated) {
  const int receivers = static_cast<int>(state.range(0));
  auto c = workload_context(receivers);
  const lg::Sampling s = workload_sampling();
  const lg::BesselTable table(c->placement, s, s.ikmax + 1);
  for (int ik = 0; ik <= s.ikmax; ++ik) benchmark::DoNotOptimize(table.row(ik));
  lg::start_frequency(*c, 0.5, s);
  int ik = 0;
  for (auto _ : state) {
    const double* row = tabulated ? table.row(ik) : nullptr;
    benchmark::DoNotOptimize(lg::wavenumber_step(*c, ik, s, row, ik > lg::kIkMin));
    benchmark::DoNotOptimize(c->sums.re[0]);
    ik = ik == s.ikmax ? 0 : ik + 1;
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["ns_per_step_receiver"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * receivers,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void WavenumberStep(benchmark::State& state) {
  step(state, true);
}
BENCHMARK(WavenumberStep)->Arg(1)->Arg(30);

void WavenumberStepUntabulated(benchmark::State& state) {
  step(state, false);
}
BENCHMARK(WavenumberStepUntabulated)->Arg(1)->Arg(30);

// The layer part of a step alone (vertical wavenumbers, interface coefficients, stack
// responses), on the scalar path (0) and in AVX2 lanes (1) where the processor has them.
void LayerRecursion(benchmark::State& state) {
  const lg::Lanes lanes = state.range(0) == 0 ? lg::Lanes::scalar : lg::Lanes::avx2;
  if (lanes == lg::Lanes::avx2 && lg::best_lanes() != lg::Lanes::avx2) {
    state.SkipWithError("no AVX2 on this processor");
    return;
  }
  auto c = workload_context(30);
  const lg::Sampling s = workload_sampling();
  lg::start_frequency(*c, 0.5, s);
  int ik = 0;
  for (auto _ : state) {
    c->wavenumber.ak = lg::wavenumber_of_step(ik, s.pil);
    c->wavenumber.ak2 = c->wavenumber.ak * c->wavenumber.ak;
    lg::vertical_wavenumbers(c->model.nc, c->wavenumber, c->medium, c->vertical);
    lg::interface_coefficients(c->model, c->wavenumber, c->medium, c->vertical, c->interfaces,
                               lanes);
    lg::stack_responses(c->model.nc, c->interfaces, c->stacks, c->transfers, lanes);
    benchmark::DoNotOptimize(c->stacks.crup[1].m11);
    ik = ik == s.ikmax ? 0 : ik + 1;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(LayerRecursion)->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
