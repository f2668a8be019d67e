// Workloads and prepared results kept for the life of the benchmark process, so that
// repetitions and iterations reuse them. Each benchmark runs in a process of its own (see
// scripts/bench), so only its own workload is ever built.
//
//   auto const& w1 = velk::bench::cached_many_curves(size);     // coordinates + input curves
//   auto& result = velk::bench::cached_w1_result(size, true);    // inserted and cleaned
#pragma once

#include <map>
#include <memory>
#include <tuple>
#include <vector>

#include <benchmark/benchmark.h>

#include <velk/background_line.hpp>

#include "support/icl_contender.hpp"
#include "support/process.hpp"
#include "support/velk_contender.hpp"
#include "support/workloads.hpp"

namespace velk::bench {

inline void initialize_library() {
  static bool const initialized = [] {
    BackgroundLineLibrary::initialize();
    return true;
  }();
  (void)initialized;
}

// W1 coordinates with the input curves built from them.
struct ManyCurvesInputs {
  ManyCurves workload;
  VelkInputs inputs;
};

inline ManyCurvesSize many_curves_size(std::int64_t background_edges, std::int64_t nb_curves) {
  ManyCurvesSize size;
  size.background_edges = static_cast<std::uint32_t>(background_edges);
  size.nb_curves = static_cast<std::uint32_t>(nb_curves);
  return size;
}

// The W1 sizes, as the arguments `many_curves_size(state.range(0), state.range(1))` reads.
inline void w1_sizes(benchmark::internal::Benchmark* benchmark) {
  benchmark->ArgNames({"N", "curves"});
  benchmark->Args({10000, 100});    // quick
  benchmark->Args({100000, 1000});  // full
}

// W1 coordinates alone: the whole-job benchmarks build the input curves inside the clock.
inline ManyCurves const& cached_many_curve_coordinates(ManyCurvesSize const& size) {
  static std::map<std::tuple<std::uint32_t, std::uint32_t>, std::unique_ptr<ManyCurves>> cache;
  auto& entry = cache[{size.background_edges, size.nb_curves}];
  if (!entry) {
    initialize_library();
    entry = std::make_unique<ManyCurves>(make_many_curves(size));
  }
  return *entry;
}

inline ManyCurvesInputs const& cached_many_curves(ManyCurvesSize const& size) {
  static std::map<std::tuple<std::uint32_t, std::uint32_t>, std::unique_ptr<ManyCurvesInputs>>
      cache;
  auto& entry = cache[{size.background_edges, size.nb_curves}];
  if (!entry) {
    entry = std::make_unique<ManyCurvesInputs>();
    entry->workload = cached_many_curve_coordinates(size);
    for (auto const& xs : entry->workload.curves) entry->inputs.add(xs);
  }
  return *entry;
}

// Every W1 input curve inserted into the unit chain with the library; cleaned or not.
inline void insert_many_curves(VelkBackground& background, VelkInputs const& inputs) {
  for (auto const& curve : inputs.curves) background.inserter().insert_curve(*curve);
}

inline void clean(VelkBackground& background) {
  background.modifier().clean_edges();
  background.modifier().clean_vertices();
}

inline VelkBackground& cached_w1_result(ManyCurvesSize const& size, bool cleaned) {
  static std::map<std::tuple<std::uint32_t, std::uint32_t, bool>, std::unique_ptr<VelkBackground>>
      cache;
  auto& entry = cache[{size.background_edges, size.nb_curves, cleaned}];
  if (!entry) {
    auto const& w1 = cached_many_curves(size);
    entry = std::make_unique<VelkBackground>(make_unit_chain(size.background_edges));
    insert_many_curves(*entry, w1.inputs);
    if (cleaned) clean(*entry);
  }
  return *entry;
}

// The same W1 insertion with Boost.ICL.
inline void icl_insert_many_curves(IclMap& map, ManyCurves const& workload) {
  auto const per_curve = workload.size.edges_per_curve;
  for (std::uint32_t c = 0; c < workload.curves.size(); ++c) {
    auto const& xs = workload.curves[c];
    for (std::uint32_t e = 0; e + 1 < xs.size(); ++e) {
      icl_add(map, xs[e], xs[e + 1], input_edge_tag(c, e, per_curve));
    }
  }
}

inline IclMap const& cached_icl_w1_result(ManyCurvesSize const& size) {
  static std::map<std::tuple<std::uint32_t, std::uint32_t>, std::unique_ptr<IclMap>> cache;
  auto& entry = cache[{size.background_edges, size.nb_curves}];
  if (!entry) {
    entry = std::make_unique<IclMap>(icl_unit_chain(size.background_edges));
    icl_insert_many_curves(*entry, cached_many_curves(size).workload);
  }
  return *entry;
}

// W2: the long curve's coordinates and the input curve built from them.
struct LongCurveInputs {
  std::vector<double> xs;
  VelkInputs inputs;
};

// W2 coordinates alone, for the whole-job benchmarks.
inline std::vector<double> const& cached_long_curve_coordinates(std::uint32_t nb_edges) {
  static std::map<std::uint32_t, std::unique_ptr<std::vector<double>>> cache;
  auto& entry = cache[nb_edges];
  if (!entry) {
    initialize_library();
    entry = std::make_unique<std::vector<double>>(make_long_curve(nb_edges));
  }
  return *entry;
}

inline LongCurveInputs const& cached_long_curve(std::uint32_t nb_edges) {
  static std::map<std::uint32_t, std::unique_ptr<LongCurveInputs>> cache;
  auto& entry = cache[nb_edges];
  if (!entry) {
    initialize_library();
    entry = std::make_unique<LongCurveInputs>();
    entry->xs = cached_long_curve_coordinates(nb_edges);
    entry->inputs.add(entry->xs);
  }
  return *entry;
}

// The counters every shared workload reports, which the summary compares between the
// contenders: the item count, the partition's size and checksum, and the peak memory.
inline void report_summary(benchmark::State& state, PartitionSummary const& summary,
                           std::uint64_t items) {
  state.counters["items"] = static_cast<double>(items);
  state.counters["intervals"] = static_cast<double>(summary.intervals);
  state.counters["pairs"] = static_cast<double>(summary.pairs);
  state.counters["checksum"] = summary.checksum.value();
  state.counters["peak_rss_MiB"] = peak_rss_mib();
}

// The counters of path query answers, which the summary compares between the contenders.
inline void report_chains(benchmark::State& state, std::uint64_t queries,
                          ChainSummary const& summary) {
  state.counters["items"] = static_cast<double>(queries);
  state.counters["pieces"] = static_cast<double>(summary.pieces);
  state.counters["empty_answers"] = static_cast<double>(summary.empty);
  state.counters["checksum"] = summary.checksum.value();
  state.counters["peak_rss_MiB"] = peak_rss_mib();
}

}  // namespace velk::bench
