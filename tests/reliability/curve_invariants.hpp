// Structural checks of a background line, shared by the differential tests and the fuzz
// target. Each returns an empty string when the invariant holds, otherwise a description of
// the first violation found, so that a test can print it and a fuzzer can abort with it.
//
//   EXPECT_EQ(velk::reliability::curve_consistency(curve), "");
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <absl/container/flat_hash_set.h>
#include <absl/strings/str_cat.h>

#include <velk/background_line.hpp>

namespace velk::reliability {

// Every live edge names two existing vertices and is listed, with its local index, around
// both (a loop edge twice around its vertex); every entry around a vertex names a live edge
// whose end at that local index is that vertex; a detached edge is listed around no vertex.
inline std::string curve_consistency(EdgedCurve<1> const& curve) {
  std::size_t listed = 0;
  for (index_t vertex = 0; vertex < curve.nb_vertices(); ++vertex) {
    for (auto const& around : curve.edges_around_vertex(vertex)) {
      ++listed;
      if (around.edge_id >= curve.nb_edges() || around.vertex_id > 1) {
        return absl::StrCat("vertex ", vertex, " lists edge ", around.edge_id, " end ",
                            around.vertex_id, " of ", curve.nb_edges(), " edges");
      }
      if (curve.is_edge_detached(around.edge_id)) {
        return absl::StrCat("vertex ", vertex, " lists detached edge ", around.edge_id);
      }
      if (curve.edge_vertex(around) != vertex) {
        return absl::StrCat("vertex ", vertex, " lists edge ", around.edge_id, " end ",
                            around.vertex_id, " which is vertex ", curve.edge_vertex(around));
      }
    }
  }
  std::size_t live_ends = 0;
  for (index_t edge = 0; edge < curve.nb_edges(); ++edge) {
    if (curve.is_edge_detached(edge)) continue;
    live_ends += 2;
    auto const vertices = curve.edge_vertices(edge);
    for (local_index_t local = 0; local < 2; ++local) {
      auto const vertex = vertices[local];
      if (vertex >= curve.nb_vertices()) {
        return absl::StrCat("live edge ", edge, " names vertex ", vertex, " of ",
                            curve.nb_vertices());
      }
      bool found = false;
      for (auto const& around : curve.edges_around_vertex(vertex)) {
        if (around == EdgeVertex{edge, local}) found = true;
      }
      if (!found) {
        return absl::StrCat("live edge ", edge, " end ", local, " is not listed around vertex ",
                            vertex);
      }
    }
  }
  if (listed != live_ends) {
    return absl::StrCat(listed, " entries around vertices for ", live_ends, " ends of live edges");
  }
  return {};
}

// The macro-information store answers for every vertex and edge index of the curve and
// refuses the first index past them with a `LumoraException`.
inline std::string macro_store_coverage(internal::BackgroundLine const& line) {
  auto const& curve = line.line();
  try {
    for (index_t vertex = 0; vertex < curve.nb_vertices(); ++vertex) line.macro_vertices(vertex);
    for (index_t edge = 0; edge < curve.nb_edges(); ++edge) line.macro_elements(edge);
  } catch (LumoraException const& error) {
    return absl::StrCat("macro store refuses an index in range: ", error.what());
  }
  bool refused_vertex = false;
  try {
    line.macro_vertices(curve.nb_vertices());
  } catch (LumoraException const&) {
    refused_vertex = true;
  }
  bool refused_edge = false;
  try {
    line.macro_elements(curve.nb_edges());
  } catch (LumoraException const&) {
    refused_edge = true;
  }
  if (!refused_vertex || !refused_edge) {
    return "macro store answers for an index past the curve's elements";
  }
  return {};
}

// Whether `edge` carries `macro_edge`: its macro elements name the same curve and edge.
inline bool carries(internal::BackgroundLine const& line, index_t edge,
                    MeshEdge const& macro_edge) {
  for (auto const& element : line.macro_elements(edge)) {
    if (element == macro_edge) return true;
  }
  return false;
}

// A chain returned by `macro_edge_path`: not empty, at most 1000 edges, each live, each
// carrying `macro_edge`, each once, leaving `vertices[0]`, each next one continuing from
// where the one before ended, the last one arriving at `vertices[1]`.
inline std::string chain_validity(internal::BackgroundLine const& line,
                                  std::array<index_t, 2> const& vertices,
                                  MeshEdge const& macro_edge, std::vector<index_t> const& chain) {
  auto const& curve = line.line();
  if (chain.empty()) return "an engaged chain is empty";
  if (chain.size() > 1000) return absl::StrCat("a chain of ", chain.size(), " edges");
  absl::flat_hash_set<index_t> seen;
  auto at = vertices[0];
  for (auto const edge : chain) {
    if (edge >= curve.nb_edges()) return absl::StrCat("chain edge ", edge, " out of range");
    if (curve.is_edge_detached(edge)) return absl::StrCat("chain edge ", edge, " is detached");
    if (!seen.insert(edge).second) return absl::StrCat("chain edge ", edge, " repeated");
    if (!carries(line, edge, macro_edge)) {
      return absl::StrCat("chain edge ", edge, " does not carry the macro edge");
    }
    auto const ends = curve.edge_vertices(edge);
    if (ends[0] == at) {
      at = ends[1];
    } else if (ends[1] == at) {
      at = ends[0];
    } else {
      return absl::StrCat("chain edge ", edge, " does not touch vertex ", at);
    }
  }
  if (at != vertices[1]) {
    return absl::StrCat("chain ends at vertex ", at, " instead of ", vertices[1]);
  }
  return {};
}

// Everything an operation may change (points compared bit for bit, so that NaN equals
// itself), to compare a line before and after.
struct Snapshot {
  index_t nb_vertices{0};
  index_t nb_edges{0};
  std::vector<std::uint64_t> point_bits;
  std::vector<std::array<index_t, 2>> edges;
  std::vector<bool> detached;
  std::vector<std::vector<EdgeVertex>> around;
  std::vector<std::vector<MeshVertex>> macro_vertices;
  std::vector<std::vector<MeshElement>> macro_elements;
};

// The snapshot of `line` and its curve.
inline Snapshot take_snapshot(internal::BackgroundLine const& line) {
  auto const& curve = line.line();
  Snapshot snapshot;
  snapshot.nb_vertices = curve.nb_vertices();
  snapshot.nb_edges = curve.nb_edges();
  for (index_t vertex = 0; vertex < curve.nb_vertices(); ++vertex) {
    std::uint64_t bits = 0;
    auto const x = curve.point(vertex).value(0);
    std::memcpy(&bits, &x, sizeof bits);
    snapshot.point_bits.push_back(bits);
    auto const& around = curve.edges_around_vertex(vertex);
    snapshot.around.emplace_back(around.begin(), around.end());
    snapshot.macro_vertices.push_back(line.macro_vertices(vertex));
  }
  for (index_t edge = 0; edge < curve.nb_edges(); ++edge) {
    snapshot.edges.push_back(curve.edge_vertices(edge));
    snapshot.detached.push_back(curve.is_edge_detached(edge));
    snapshot.macro_elements.push_back(line.macro_elements(edge));
  }
  return snapshot;
}

// Whether nothing differs between two snapshots.
inline bool same(Snapshot const& lhs, Snapshot const& rhs) {
  return lhs.nb_vertices == rhs.nb_vertices && lhs.nb_edges == rhs.nb_edges &&
         lhs.point_bits == rhs.point_bits && lhs.edges == rhs.edges &&
         lhs.detached == rhs.detached && lhs.around == rhs.around &&
         lhs.macro_vertices == rhs.macro_vertices && lhs.macro_elements == rhs.macro_elements;
}

}  // namespace velk::reliability
