// W4: edits of the W1 result with the library: `clone`, `clone_line`, a full clean
// (`clean_edges` then `clean_vertices`) of the uncleaned insertion result, and random
// split/collapse pairs through `BackgroundLineModifier`.
//
// Only the operation is timed; copies it works on are made, and results it returns are
// destroyed, outside the clock.
#include <benchmark/benchmark.h>

#include "support/process.hpp"
#include "support/workload_cache.hpp"

namespace {

using namespace velk::bench;

// Times `copy_of(line)` on the cleaned W1 result; the copy is destroyed outside the clock.
template <typename CopyOf>
void time_copies(benchmark::State& state, CopyOf const& copy_of) {
  install_counting_log_handler();
  auto const size = many_curves_size(state.range(0), state.range(1));
  auto const& line = cached_w1_result(size, true).line();
  RegionTimer timer;
  for (auto _ : state) {
    timer.start();
    auto copy = copy_of(line);
    auto const wall = timer.stop();
    benchmark::DoNotOptimize(copy);
    state.SetIterationTime(wall);
  }
  report_region_costs(state, timer);
  state.counters["items"] = line.line().nb_edges();
  state.counters["peak_rss_MiB"] = peak_rss_mib();
}

void W4_clone_velk(benchmark::State& state) {
  time_copies(state, [](auto const& line) { return line.clone(); });
}

void W4_clone_line_velk(benchmark::State& state) {
  time_copies(state, [](auto const& line) { return line.clone_line(); });
}

void W4_clean_velk(benchmark::State& state) {
  install_counting_log_handler();
  auto const size = many_curves_size(state.range(0), state.range(1));
  auto const& uncleaned = cached_w1_result(size, false);
  auto const edges_before = uncleaned.curve().nb_edges();
  velk::index_t edges_after = 0;
  RegionTimer timer;
  for (auto _ : state) {
    auto copy = uncleaned.clone();
    timer.start();
    clean(copy);
    auto const wall = timer.stop();
    state.SetIterationTime(wall);
    edges_after = copy.curve().nb_edges();
  }
  report_region_costs(state, timer);
  state.counters["items"] = edges_before;
  state.counters["edges_after"] = edges_after;
  state.counters["peak_rss_MiB"] = peak_rss_mib();
}

void W4_split_collapse_velk(benchmark::State& state) {
  install_counting_log_handler();
  auto const size = many_curves_size(state.range(0), state.range(1));
  auto const nb_pairs = static_cast<std::uint32_t>(state.range(2));
  auto const& w1 = cached_many_curves(size);
  auto const& original = cached_w1_result(size, true);
  auto const pairs = make_split_collapse_pairs(nb_pairs);
  auto const before = summarize_partition(original.line(), w1.inputs);
  double unchanged = 0;
  RegionTimer timer;
  for (auto _ : state) {
    auto copy = original.clone();
    auto const& curve = copy.curve();
    std::vector<velk::index_t> live(curve.nb_edges());
    for (velk::index_t edge = 0; edge < curve.nb_edges(); ++edge) live[edge] = edge;
    auto& modifier = copy.modifier();
    timer.start();
    for (auto const& pair : pairs) {
      auto& slot = live[static_cast<std::size_t>(pair.slot * static_cast<double>(live.size()))];
      auto const vertices = curve.edge_vertices(slot);
      auto const first = x_of(curve, vertices[0]);
      auto const second = x_of(curve, vertices[1]);
      auto const split =
          modifier.split_edge(slot, velk::Point<1>{{first + pair.fraction * (second - first)}});
      modifier.collapse_edge(split.new_edges[0], velk::Point<1>{{first}});
      slot = split.new_edges[1];
    }
    auto const wall = timer.stop();
    state.SetIterationTime(wall);
    // Each pair leaves the same pieces with the same input edges behind.
    auto const after = summarize_partition(copy.line(), w1.inputs);
    unchanged = after.intervals == before.intervals && after.pairs == before.pairs &&
                        after.checksum.value() == before.checksum.value()
                    ? 1
                    : 0;
  }
  report_region_costs(state, timer);
  state.counters["items"] = nb_pairs;
  state.counters["partition_unchanged"] = unchanged;
  state.counters["peak_rss_MiB"] = peak_rss_mib();
}

void pair_sizes(benchmark::internal::Benchmark* benchmark) {
  benchmark->ArgNames({"N", "curves", "pairs"});
  benchmark->Args({10000, 100, 10000});     // quick
  benchmark->Args({100000, 1000, 100000});  // full
}

BENCHMARK(W4_clone_velk)->Apply(w1_sizes)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(W4_clone_line_velk)->Apply(w1_sizes)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(W4_clean_velk)->Apply(w1_sizes)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(W4_split_collapse_velk)
    ->Apply(pair_sizes)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
