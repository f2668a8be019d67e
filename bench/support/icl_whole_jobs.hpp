// The jobs of Boost.ICL: the counterparts of the library's insertion benchmarks and whole jobs
// (ICL builds no input curves, so for W1 and W2 both are the same job). The map type comes
// from support/icl_contender.hpp, so the same code measures the suite's configuration (static
// right-open intervals) in velk_bench and ICL's default one (bounds chosen at run time) in
// velk_bench_icl_default.
//
//   void W1_whole_icl(benchmark::State& state) { velk::bench::icl_w1_whole_job(state); }
#pragma once

#include <cstdint>
#include <vector>

#include <benchmark/benchmark.h>

#include "support/icl_contender.hpp"
#include "support/process.hpp"
#include "support/workload_cache.hpp"

namespace velk::bench {

// The K of the W2 whole jobs.
inline void w2_whole_sizes(benchmark::internal::Benchmark* benchmark) {
  benchmark->ArgName("K");
  for (std::int64_t k : {10000, 100000, 1000000}) benchmark->Arg(k);
}

// Times `insert(map)` on a map made by `make_background()` outside the clock, every
// iteration; reports the costs and returns the summary of the first result.
template <typename MakeBackground, typename Insert>
PartitionSummary time_icl_insertions(benchmark::State& state, MakeBackground const& make_background,
                                     Insert const& insert) {
  PartitionSummary summary;
  bool summarized = false;
  RegionTimer timer;
  for (auto _ : state) {
    IclMap map = make_background();
    timer.start();
    insert(map);
    auto const wall = timer.stop();
    state.SetIterationTime(wall);
    if (!summarized) {
      summary = icl_summarize(map);
      summarized = true;
    }
  }
  report_region_costs(state, timer);
  return summary;
}

// Times `job(map)` on a map made by `make_background()` outside the clock, every iteration;
// reports the costs, the summary of the first result and the size of one interval.
template <typename MakeBackground, typename Job>
void time_icl_whole_job(benchmark::State& state, MakeBackground const& make_background,
                        Job const& job, std::uint64_t items) {
  report_summary(state, time_icl_insertions(state, make_background, job), items);
  state.counters["interval_bytes"] = sizeof(IclInterval);
}

// W1: every input edge added to the map of the background's unit pieces.
inline void icl_w1_whole_job(benchmark::State& state) {
  auto const size = many_curves_size(state.range(0), state.range(1));
  auto const& workload = cached_many_curve_coordinates(size);
  auto const background = icl_unit_chain(size.background_edges);
  time_icl_whole_job(
      state, [&background] { return IclMap{background}; },
      [&workload](IclMap& map) { icl_insert_many_curves(map, workload); },
      workload.nb_input_edges());
}

// W2: the K input edges added to the one-piece background [0, 1).
inline void icl_w2_whole_job(benchmark::State& state) {
  auto const nb_edges = static_cast<std::uint32_t>(state.range(0));
  auto const& xs = cached_long_curve_coordinates(nb_edges);
  time_icl_whole_job(
      state,
      [] {
        IclMap map;
        icl_add(map, 0.0, 1.0, ICL_BACKGROUND_TAG);
        return map;
      },
      [&xs, nb_edges](IclMap& map) {
        for (std::uint32_t e = 0; e < nb_edges; ++e) icl_add(map, xs[e], xs[e + 1], e);
      },
      nb_edges);
}

// W3: the pieces over every input edge of W1, each query's pieces appended to one array (the
// library's all-chains answer has that shape too).
inline void icl_w3_whole_job(benchmark::State& state) {
  auto const size = many_curves_size(state.range(0), state.range(1));
  auto const& workload = cached_many_curve_coordinates(size);
  auto const& map = cached_icl_w1_result(size);
  using Piece = IclMap::const_iterator;
  std::vector<Piece> pieces;
  std::vector<std::size_t> first_piece;
  RegionTimer timer;
  for (auto _ : state) {
    timer.start();
    pieces.clear();
    first_piece.clear();
    for (auto const& xs : workload.curves) {
      for (std::size_t e = 0; e + 1 < xs.size(); ++e) {
        first_piece.push_back(pieces.size());
        auto const range = map.equal_range(IclInterval{xs[e], xs[e + 1]});
        for (auto piece = range.first; piece != range.second; ++piece) pieces.push_back(piece);
      }
    }
    first_piece.push_back(pieces.size());
    auto const wall = timer.stop();
    benchmark::DoNotOptimize(pieces.data());
    state.SetIterationTime(wall);
  }
  report_region_costs(state, timer);
  ChainSummary summary;
  for (std::uint64_t q = 0; q + 1 < first_piece.size(); ++q) {
    if (first_piece[q] == first_piece[q + 1]) ++summary.empty;
    for (auto k = first_piece[q]; k < first_piece[q + 1]; ++k) {
      summary.add_piece(q, k - first_piece[q], pieces[k]->first.lower(), pieces[k]->first.upper());
    }
  }
  report_chains(state, first_piece.size() - 1, summary);
  state.counters["interval_bytes"] = sizeof(IclInterval);
}

}  // namespace velk::bench
