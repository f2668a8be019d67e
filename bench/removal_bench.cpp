// Curve removal on W1, the library against Boost.ICL on the same data: every W1 curve is
// inserted, then removed again one by one, in insertion order.
//
// The library's removal is timed (manual time); its insertion in the same iteration is timed
// too, outside the manual time, so that the time per removed input edge can be set against
// the time per inserted one of the same run. The clean after the removals is not timed. ICL
// subtracts each curve's intervals from the W1 map built outside the clock. Both report the
// counts and checksum of the final partition, which must be the bare background again.
#include <benchmark/benchmark.h>

#include <cmath>

#include "support/process.hpp"
#include "support/workload_cache.hpp"

namespace {

using namespace velk::bench;

// Whether the cleaned line is the unit chain 0, 1, ..., N again, with no macro information.
bool is_bare_unit_chain(velk::internal::BackgroundLine const& line, std::uint32_t nb_edges) {
  auto const& curve = line.line();
  if (curve.nb_vertices() != nb_edges + 1 || curve.nb_edges() != nb_edges) return false;
  std::vector<bool> seen(nb_edges + 1, false);
  for (velk::index_t vertex = 0; vertex < curve.nb_vertices(); ++vertex) {
    auto const x = x_of(curve, vertex);
    if (!(x >= 0.0 && x <= nb_edges) || x != std::floor(x) || seen[static_cast<std::size_t>(x)]) {
      return false;
    }
    seen[static_cast<std::size_t>(x)] = true;
    if (!line.macro_vertex_view(vertex).empty()) return false;
  }
  for (velk::index_t edge = 0; edge < curve.nb_edges(); ++edge) {
    auto const& ends = curve.edge_vertices(edge);
    if (curve.is_edge_detached(edge) ||
        std::abs(x_of(curve, ends[0]) - x_of(curve, ends[1])) != 1.0 ||
        !line.macro_element_view(edge).empty()) {
      return false;
    }
  }
  return true;
}

void W1_remove_velk(benchmark::State& state) {
  install_counting_log_handler();
  auto const size = many_curves_size(state.range(0), state.range(1));
  auto const& w1 = cached_many_curves(size);
  auto const nb_input_edges = w1.workload.nb_input_edges();
  PartitionSummary summary;
  bool restored = true;
  double merged = 0;
  double insertion_seconds = 0;
  RegionTimer insertion_timer;
  RegionTimer removal_timer;
  for (auto _ : state) {
    VelkBackground background{make_unit_chain(size.background_edges)};
    insertion_timer.start();
    insert_many_curves(background, w1.inputs);
    insertion_seconds += insertion_timer.stop();
    merged = 0;
    removal_timer.start();
    for (auto const& curve : w1.inputs.curves) {
      merged += static_cast<double>(background.inserter().remove_curve(*curve).vertices_merged);
    }
    auto const wall = removal_timer.stop();
    state.SetIterationTime(wall);
    clean(background);
    restored = restored && is_bare_unit_chain(background.line(), size.background_edges);
    summary = summarize_partition(background.line(), w1.inputs);
  }
  report_region_costs(state, removal_timer);
  report_summary(state, summary, nb_input_edges);
  auto const iterations = static_cast<double>(state.iterations());
  state.counters["insertion_ns_per_edge"] =
      1e9 * insertion_seconds / iterations / static_cast<double>(nb_input_edges);
  state.counters["insertion_cpu_ms"] = insertion_timer.cpu_ms_per_region(state.iterations());
  state.counters["vertices_merged"] = merged;
  state.counters["back_to_background"] = restored ? 1 : 0;
}

void W1_remove_icl(benchmark::State& state) {
  auto const size = many_curves_size(state.range(0), state.range(1));
  auto const& w1 = cached_many_curves(size);
  auto const& inserted = cached_icl_w1_result(size);
  auto const per_curve = w1.workload.size.edges_per_curve;
  PartitionSummary summary;
  RegionTimer timer;
  for (auto _ : state) {
    IclMap map{inserted};
    timer.start();
    for (std::uint32_t c = 0; c < w1.workload.curves.size(); ++c) {
      auto const& xs = w1.workload.curves[c];
      for (std::uint32_t e = 0; e + 1 < xs.size(); ++e) {
        map.subtract(std::make_pair(IclInterval{xs[e], xs[e + 1]},
                                    IclTags{input_edge_tag(c, e, per_curve)}));
      }
    }
    auto const wall = timer.stop();
    state.SetIterationTime(wall);
    summary = icl_summarize(map);
  }
  report_region_costs(state, timer);
  report_summary(state, summary, w1.workload.nb_input_edges());
}

BENCHMARK(W1_remove_velk)->Apply(w1_sizes)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(W1_remove_icl)->Apply(w1_sizes)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
