// Cost of one split when every split point is first looked up from a stale edge: the
// one-edge curve [0, 1] is split at increasing points, each time at the edge that
// `detail::find_containing_edge` finds from the original (long detached) edge 0. The time
// per split should stay flat as the curve grows (compare the two sizes).
//
//   velk_bench --benchmark_filter=SplitFromStaleEdge --benchmark_repetitions=5
#include <chrono>
#include <ctime>

#include <benchmark/benchmark.h>

#include <mesh/edged_curve.hpp>
#include <mesh/edged_curve_builder.hpp>
#include <modifier/detection.hpp>
#include <modifier/edged_curve_modifier.hpp>

namespace {

void BM_SplitFromStaleEdge(benchmark::State& state) {
  auto const nb_splits = static_cast<velk::index_t>(state.range(0));
  double seconds = 0;
  double cpu_seconds = 0;  // steadier than wall time on a shared machine
  for (auto _ : state) {
    velk::EdgedCurve<1> curve;
    velk::EdgedCurveBuilder<1> builder{curve};
    builder.create_edge(builder.create_point(velk::Point<1>{{0.0}}),
                        builder.create_point(velk::Point<1>{{1.0}}));
    velk::EdgedCurveModifier<1> modifier{curve, builder};

    auto const start = std::chrono::steady_clock::now();
    auto const cpu_start = std::clock();
    for (velk::index_t split = 1; split <= nb_splits; ++split) {
      velk::Point<1> const point{{static_cast<double>(split) / (nb_splits + 1)}};
      auto const edge = velk::detail::find_containing_edge(point, curve, modifier, 0);
      if (!edge) {
        state.SkipWithError("no edge contains the split point");
        return;
      }
      benchmark::DoNotOptimize(modifier.split_edge(*edge, point));
    }
    cpu_seconds += static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC;
    std::chrono::duration<double> const elapsed = std::chrono::steady_clock::now() - start;
    state.SetIterationTime(elapsed.count());
    seconds += elapsed.count();
    // The curve (2 n + 1 edges) is destroyed outside the timed loop.
  }
  state.counters["ns_per_split"] =
      benchmark::Counter(seconds * 1e9 / nb_splits, benchmark::Counter::kAvgIterations);
  state.counters["cpu_ns_per_split"] =
      benchmark::Counter(cpu_seconds * 1e9 / nb_splits, benchmark::Counter::kAvgIterations);
}

BENCHMARK(BM_SplitFromStaleEdge)
    ->Arg(10'000)
    ->Arg(100'000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
