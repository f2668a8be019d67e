// W3: after W1, the chain of background pieces that carries each input edge.
//
// The library answers `macro_edge_path` between the two background vertices where the input
// edge's ends were placed (found from the macro vertices on the background vertices);
// Boost.ICL answers with the ordered pieces of its map that cover the input edge's
// interval. Both build a fresh list per query. Only the queries are timed; the answers are
// checked afterwards (pieces, and a checksum of every piece's bounds and position).
#include <benchmark/benchmark.h>

#include "support/process.hpp"
#include "support/workload_cache.hpp"

namespace {

using namespace velk::bench;

// Times every query through `answer`, every iteration, and reports the costs;
// `nb_pieces(chain)` counts the pieces of one answer.
template <typename Queries, typename Answer, typename NbPieces>
void time_queries(benchmark::State& state, Queries const& queries, Answer const& answer,
                  NbPieces const& nb_pieces) {
  RegionTimer timer;
  for (auto _ : state) {
    std::uint64_t pieces = 0;
    timer.start();
    for (auto const& query : queries) {
      auto chain = answer(query);
      pieces += nb_pieces(chain);
      benchmark::DoNotOptimize(chain);
    }
    auto const wall = timer.stop();
    benchmark::DoNotOptimize(pieces);
    state.SetIterationTime(wall);
  }
  report_region_costs(state, timer);
}

void W3_path_query_velk(benchmark::State& state) {
  install_counting_log_handler();
  auto const size = many_curves_size(state.range(0), state.range(1));
  auto const& w1 = cached_many_curves(size);
  auto const& background = cached_w1_result(size, true);
  auto const& line = background.line();
  auto const queries = make_path_queries(line, w1.inputs);
  time_queries(
      state, queries,
      [&line](auto const& query) { return line.macro_edge_path(query.vertices, query.macro_edge); },
      [](auto const& chain) -> std::uint64_t { return chain ? chain->size() : 0; });
  // The answers once more, read back for the agreement check.
  ChainSummary summary;
  for (std::uint64_t q = 0; q < queries.size(); ++q) {
    auto const chain = line.macro_edge_path(queries[q].vertices, queries[q].macro_edge);
    add_chain(summary, background.curve(), q, chain.value_or(std::vector<velk::index_t>{}));
  }
  report_chains(state, queries.size(), summary);
}

void W3_path_query_icl(benchmark::State& state) {
  auto const size = many_curves_size(state.range(0), state.range(1));
  auto const& workload = cached_many_curves(size).workload;
  auto const& map = cached_icl_w1_result(size);
  std::vector<IclInterval> queries;
  for (auto const& xs : workload.curves) {
    for (std::size_t e = 0; e + 1 < xs.size(); ++e) queries.emplace_back(xs[e], xs[e + 1]);
  }
  using Piece = IclMap::const_iterator;
  auto const answer = [&map](IclInterval const& query) {
    std::vector<Piece> pieces;
    auto const range = map.equal_range(query);
    for (auto piece = range.first; piece != range.second; ++piece) pieces.push_back(piece);
    return pieces;
  };
  time_queries(state, queries, answer,
               [](std::vector<Piece> const& chain) -> std::uint64_t { return chain.size(); });
  ChainSummary summary;
  for (std::uint64_t q = 0; q < queries.size(); ++q) {
    auto const chain = answer(queries[q]);
    if (chain.empty()) ++summary.empty;
    for (std::uint64_t k = 0; k < chain.size(); ++k) {
      summary.add_piece(q, k, chain[k]->first.lower(), chain[k]->first.upper());
    }
  }
  report_chains(state, queries.size(), summary);
}

BENCHMARK(W3_path_query_velk)->Apply(w1_sizes)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(W3_path_query_icl)->Apply(w1_sizes)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
