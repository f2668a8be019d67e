// The background line library as a benchmark contender: building backgrounds and input
// curves from workload coordinates, and reading results back for the agreement checks.
//
//   velk::bench::VelkBackground background{velk::bench::make_chain_curve(xs, "background")};
//   background.inserter().insert_curve(input);
//   auto summary = velk::bench::summarize_partition(background.line(), tags);
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <absl/container/flat_hash_map.h>

#include <velk/background_line.hpp>

#include "support/agreement.hpp"

namespace velk::bench {

// A chain curve through the coordinates: vertex i at xs[i], edge i from vertex i to i + 1.
inline std::unique_ptr<EdgedCurve<1>> make_chain_curve(std::vector<double> const& xs,
                                                       std::string const& name) {
  auto curve = std::make_unique<EdgedCurve<1>>();
  EdgedCurveBuilder<1> builder{*curve};
  builder.set_name(name);
  index_t previous = NO_ID;
  for (auto const x : xs) {
    auto const vertex = builder.create_point(Point<1>{{x}});
    if (previous != NO_ID) builder.create_edge(previous, vertex);
    previous = vertex;
  }
  return curve;
}

// The chain 0, 1, ..., nb_edges of unit edges.
inline std::unique_ptr<EdgedCurve<1>> make_unit_chain(std::uint32_t nb_edges) {
  std::vector<double> xs(nb_edges + 1);
  for (std::uint32_t i = 0; i <= nb_edges; ++i) xs[i] = static_cast<double>(i);
  return make_chain_curve(xs, "background");
}

// A background line with every object that writes it: the library's `internal::LineStack`,
// which makes and tears them down in the order the library requires. Owns the curve.
class VelkBackground {
 public:
  explicit VelkBackground(std::unique_ptr<EdgedCurve<1>> curve) : stack_{std::move(curve)} {}

  // A deep copy through `BackgroundLine::clone()`, with writers of its own.
  VelkBackground clone() const { return VelkBackground{stack_.clone()}; }

  EdgedCurve<1> const& curve() const { return stack_.curve(); }
  internal::BackgroundLine& line() { return stack_.line(); }
  internal::BackgroundLine const& line() const { return stack_.line(); }
  internal::BackgroundLineModifier& modifier() { return stack_.modifier(); }
  internal::BackgroundLineInserter& inserter() { return stack_.inserter(); }

 private:
  explicit VelkBackground(internal::LineStack stack) : stack_{std::move(stack)} {}

  internal::LineStack stack_;
};

// Input curves of one workload, with the map from their uuids to their workload indices.
struct VelkInputs {
  std::vector<std::unique_ptr<EdgedCurve<1>>> curves;
  absl::flat_hash_map<uuid, std::uint32_t> curve_index;
  std::uint32_t edges_per_curve{0};

  void add(std::vector<double> const& xs) {
    curves.push_back(make_chain_curve(xs, "input-" + std::to_string(curve_index.size())));
    remember(*curves.back());
  }

  // Gives `curve` the next index without keeping it (a whole job drops each input curve once
  // it is inserted; its results name it by uuid).
  void remember(EdgedCurve<1> const& curve) {
    curve_index.emplace(curve.id(), static_cast<std::uint32_t>(curve_index.size()));
    edges_per_curve = std::max(edges_per_curve, curve.nb_edges());
  }

  std::uint32_t tag(MeshElement const& element) const {
    return input_edge_tag(curve_index.at(element.mesh_id), element.element_id, edges_per_curve);
  }
};

inline double x_of(EdgedCurve<1> const& curve, index_t vertex) {
  return curve.point(vertex).value(0);
}

// Elementary intervals (live edges), (interval, input edge) pairs and their checksum.
inline PartitionSummary summarize_partition(internal::BackgroundLine const& line,
                                            VelkInputs const& inputs) {
  PartitionSummary summary;
  auto const& curve = line.line();
  std::vector<std::uint32_t> tags;
  for (index_t edge = 0; edge < curve.nb_edges(); ++edge) {
    if (curve.is_edge_detached(edge)) continue;
    auto const& vertices = curve.edge_vertices(edge);
    auto const a = x_of(curve, vertices[0]);
    auto const b = x_of(curve, vertices[1]);
    tags.clear();
    for (auto const element : line.macro_element_view(edge)) tags.push_back(inputs.tag(element));
    std::sort(tags.begin(), tags.end());
    ++summary.intervals;
    summary.pairs += tags.size();
    summary.checksum.add_interval(std::min(a, b), std::max(a, b), tags);
  }
  return summary;
}

// Bytes held by the macro information (as the store counts them: its lists, their entries
// and caches, for edges and vertices, detached edges included), divided by the number of live
// background edges. Allocator overhead is not counted.
inline double macro_bytes_per_live_edge(internal::BackgroundLine const& line) {
  auto const& curve = line.line();
  std::uint64_t live = 0;
  for (index_t edge = 0; edge < curve.nb_edges(); ++edge) {
    if (!curve.is_edge_detached(edge)) ++live;
  }
  return live == 0 ? 0.0 : static_cast<double>(line.memory_bytes()) / static_cast<double>(live);
}

// One macro edge path query: an input edge and the background vertices of its two ends.
using PathQuery = internal::MacroEdgePathQuery;

// One query per input edge, in curve then edge order, its vertices found from the macro
// vertices recorded on the background vertices.
inline std::vector<PathQuery> make_path_queries(internal::BackgroundLine const& line,
                                                VelkInputs const& inputs) {
  auto const& curve = line.line();
  std::vector<std::vector<index_t>> placed(inputs.curves.size());
  for (std::size_t c = 0; c < inputs.curves.size(); ++c) {
    placed[c].assign(inputs.curves[c]->nb_vertices(), NO_ID);
  }
  for (index_t vertex = 0; vertex < curve.nb_vertices(); ++vertex) {
    for (auto const macro_vertex : line.macro_vertex_view(vertex)) {
      placed[inputs.curve_index.at(macro_vertex.mesh_id)][macro_vertex.vertex_id] = vertex;
    }
  }
  std::vector<PathQuery> queries;
  for (std::size_t c = 0; c < inputs.curves.size(); ++c) {
    auto const& input = *inputs.curves[c];
    for (index_t edge = 0; edge < input.nb_edges(); ++edge) {
      auto const& ends = input.edge_vertices(edge);
      queries.push_back(
          PathQuery{{placed[c][ends[0]], placed[c][ends[1]]}, MeshEdge{input.id(), edge}});
    }
  }
  return queries;
}

// Adds the answer to path query `query` to `summary`: `chain` has `size()` and `operator[]`
// (edges of `curve`), and is empty when the query found no chain.
template <typename Chain>
void add_chain(ChainSummary& summary, EdgedCurve<1> const& curve, std::uint64_t query,
               Chain const& chain) {
  if (chain.size() == 0) ++summary.empty;
  for (std::uint64_t k = 0; k < chain.size(); ++k) {
    auto const& vertices = curve.edge_vertices(chain[k]);
    auto const a = x_of(curve, vertices[0]);
    auto const b = x_of(curve, vertices[1]);
    summary.add_piece(query, k, std::min(a, b), std::max(a, b));
  }
}

}  // namespace velk::bench
