// Curve insertion, the background line library against Boost.ICL on the same data.
//
// W1: 1 000 curves of 100 edges into a chain of 100 000 unit edges, then a clean.
// W2: one curve of K edges into the one-edge background [0, 1].
//
// Only the insertion (and, for the library in W1, the clean) is timed: building the
// background before and reading the result after are not. Every benchmark reports the
// counts and content checksum of its result, which scripts/bench compares between the two
// contenders, and its process's peak resident memory.
#include <benchmark/benchmark.h>

#include "support/icl_whole_jobs.hpp"
#include "support/process.hpp"
#include "support/workload_cache.hpp"

namespace {

using namespace velk::bench;

// W1 with the library: every curve through `insert_curve`, then `clean_edges` and
// `clean_vertices`.
void W1_insert_clean_velk(benchmark::State& state) {
  install_counting_log_handler();
  auto const size = many_curves_size(state.range(0), state.range(1));
  auto const& w1 = cached_many_curves(size);
  PartitionSummary summary;
  double macro_bytes = 0;
  std::uint64_t log_lines = 0;
  bool summarized = false;
  RegionTimer timer;
  for (auto _ : state) {
    VelkBackground background{make_unit_chain(size.background_edges)};
    auto const lines_before = log_line_count();
    timer.start();
    insert_many_curves(background, w1.inputs);
    clean(background);
    auto const wall = timer.stop();
    state.SetIterationTime(wall);
    log_lines = log_line_count() - lines_before;
    if (!summarized) {
      summary = summarize_partition(background.line(), w1.inputs);
      macro_bytes = macro_bytes_per_live_edge(background.line());
      summarized = true;
    }
  }
  report_region_costs(state, timer);
  report_summary(state, summary, w1.workload.nb_input_edges());
  state.counters["macro_bytes_per_edge"] = macro_bytes;
  state.counters["log_lines"] = static_cast<double>(log_lines);
}

// W1 and W2 with Boost.ICL: the background's pieces are in the map before the clock starts.
void W1_insert_icl(benchmark::State& state) { icl_w1_whole_job(state); }
void W2_insert_icl(benchmark::State& state) { icl_w2_whole_job(state); }

// W2 with the library: one `insert_curve` of the whole curve.
void W2_insert_velk(benchmark::State& state) {
  install_counting_log_handler();
  auto const nb_edges = static_cast<std::uint32_t>(state.range(0));
  auto const& w2 = cached_long_curve(nb_edges);
  PartitionSummary summary;
  double macro_bytes = 0;
  bool summarized = false;
  RegionTimer timer;
  for (auto _ : state) {
    VelkBackground background{make_chain_curve({0.0, 1.0}, "background")};
    timer.start();
    background.inserter().insert_curve(*w2.inputs.curves.front());
    auto const wall = timer.stop();
    state.SetIterationTime(wall);
    if (!summarized) {
      summary = summarize_partition(background.line(), w2.inputs);
      macro_bytes = macro_bytes_per_live_edge(background.line());
      summarized = true;
    }
  }
  report_region_costs(state, timer);
  report_summary(state, summary, nb_edges);
  state.counters["macro_bytes_per_edge"] = macro_bytes;
}

// The peak memory of a process that builds nothing: the floor under every other figure.
void process_baseline(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(state.iterations());
  state.counters["peak_rss_MiB"] = peak_rss_mib();
}

void w2_sizes(benchmark::internal::Benchmark* benchmark) {
  benchmark->ArgName("K");
  for (std::int64_t k : {1000, 10000, 100000, 1000000}) benchmark->Arg(k);
}

BENCHMARK(W1_insert_clean_velk)->Apply(w1_sizes)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(W1_insert_icl)->Apply(w1_sizes)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(W2_insert_velk)->Apply(w2_sizes)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(W2_insert_icl)->Apply(w2_sizes)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(process_baseline)->Iterations(1);

}  // namespace
