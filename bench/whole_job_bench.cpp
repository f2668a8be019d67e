// Whole jobs, timed as a host pays them, the background line library against Boost.ICL.
//
// W1: from the coordinates of 1 000 curves of 100 edges to the cleaned line over a chain of
//     100 000 unit edges: each input curve built with `EdgedCurveBuilder<1>`, inserted with
//     `insert_curve` and dropped, then `clean_edges` and `clean_vertices`.
// W2: the same for one curve of K edges into the one-edge background [0, 1].
// W3: after W1, the chain of every input edge: the background vertices of its two ends read
//     from the macro vertices, then all chains at once (`BackgroundLine::macro_edge_paths`).
//
// The background (our line with its builders, ICL's map of background pieces) is made outside
// the clock, as in the insertion benchmarks; everything after is timed. ICL's counterparts are
// in support/icl_whole_jobs.hpp; bench/icl_default/ runs them again with ICL's default
// interval type.
#include <benchmark/benchmark.h>

#include "support/icl_whole_jobs.hpp"
#include "support/process.hpp"
#include "support/workload_cache.hpp"

namespace {

using namespace velk::bench;

// Builds the input curve through `xs` with the kernel's builder, inserts it and drops it;
// `inputs` remembers its uuid.
void build_and_insert(VelkBackground& background, std::vector<double> const& xs,
                      VelkInputs& inputs) {
  auto const curve = make_chain_curve(xs, "input-" + std::to_string(inputs.curve_index.size()));
  inputs.remember(*curve);
  background.inserter().insert_curve(*curve);
}

// Times `job(background, inputs)` on a background made by `make_background()` outside the
// clock, every iteration; reports the costs, the summary of the first result and its macro
// bytes per edge.
template <typename MakeBackground, typename Job>
void time_velk_whole_job(benchmark::State& state, MakeBackground const& make_background,
                         Job const& job, std::uint64_t items) {
  install_counting_log_handler();
  PartitionSummary summary;
  double macro_bytes = 0;
  bool summarized = false;
  RegionTimer timer;
  for (auto _ : state) {
    VelkBackground background{make_background()};
    VelkInputs inputs;
    timer.start();
    job(background, inputs);
    auto const wall = timer.stop();
    state.SetIterationTime(wall);
    if (!summarized) {
      summary = summarize_partition(background.line(), inputs);
      macro_bytes = macro_bytes_per_live_edge(background.line());
      summarized = true;
    }
  }
  report_region_costs(state, timer);
  report_summary(state, summary, items);
  state.counters["macro_bytes_per_edge"] = macro_bytes;
}

void W1_whole_velk(benchmark::State& state) {
  auto const size = many_curves_size(state.range(0), state.range(1));
  auto const& workload = cached_many_curve_coordinates(size);
  time_velk_whole_job(
      state, [&size] { return make_unit_chain(size.background_edges); },
      [&workload](VelkBackground& background, VelkInputs& inputs) {
        for (auto const& xs : workload.curves) build_and_insert(background, xs, inputs);
        clean(background);
      },
      workload.nb_input_edges());
}

void W2_whole_velk(benchmark::State& state) {
  auto const nb_edges = static_cast<std::uint32_t>(state.range(0));
  auto const& xs = cached_long_curve_coordinates(nb_edges);
  time_velk_whole_job(
      state,
      [] {
        return make_chain_curve({0.0, 1.0}, "background");
      },
      [&xs](VelkBackground& background, VelkInputs& inputs) {
        build_and_insert(background, xs, inputs);
        clean(background);
      },
      nb_edges);
}

// W3 on the cleaned W1 result: the background vertices of every input edge's ends, read
// from the macro vertices, then every chain at once.
void W3_whole_velk(benchmark::State& state) {
  install_counting_log_handler();
  auto const size = many_curves_size(state.range(0), state.range(1));
  auto const& w1 = cached_many_curves(size);
  auto const& background = cached_w1_result(size, true);
  auto const& line = background.line();
  std::size_t nb_queries = 0;
  velk::internal::MacroEdgePaths paths;
  RegionTimer timer;
  for (auto _ : state) {
    timer.start();
    auto const queries = make_path_queries(line, w1.inputs);
    paths = line.macro_edge_paths(queries);
    auto const wall = timer.stop();
    nb_queries = queries.size();
    state.SetIterationTime(wall);
  }
  report_region_costs(state, timer);
  ChainSummary summary;
  for (std::size_t q = 0; q < nb_queries; ++q)
    add_chain(summary, background.curve(), q, paths.chain(q));
  report_chains(state, nb_queries, summary);
}

void W1_whole_icl(benchmark::State& state) { icl_w1_whole_job(state); }
void W2_whole_icl(benchmark::State& state) { icl_w2_whole_job(state); }
void W3_whole_icl(benchmark::State& state) { icl_w3_whole_job(state); }

BENCHMARK(W1_whole_velk)->Apply(w1_sizes)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(W1_whole_icl)->Apply(w1_sizes)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(W2_whole_velk)->Apply(w2_whole_sizes)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(W2_whole_icl)->Apply(w2_whole_sizes)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(W3_whole_velk)->Apply(w1_sizes)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(W3_whole_icl)->Apply(w1_sizes)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
