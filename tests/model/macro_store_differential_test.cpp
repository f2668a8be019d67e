// The shared macro-information store against a model that deep-copies every list: random
// sequences of recordings (as insertions make them), splits, collapses, moves, removals of an
// input mesh, cleans and clones, compared after every step. Lists read before a step must
// still read the same after it when the model says their element's list did not change.
#include <velk/background_line.hpp>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/seeded_cases.hpp"
#include "support/separated_draws.hpp"

namespace {

using velk::index_t;
using velk::MeshElement;
using velk::MeshVertex;
using velk::NO_ID;
using velk::internal::BackgroundLine;

// The lists as plain vectors: every copy is a deep copy.
struct Model {
  std::vector<std::vector<MeshVertex>> vertices;
  std::vector<std::vector<MeshElement>> edges;

  template <typename List>
  static void renumber(std::vector<List>& lists, std::vector<index_t> const& old_to_new,
                       std::size_t new_size) {
    std::vector<List> renumbered(new_size);
    for (std::size_t old = 0; old < lists.size() && old < old_to_new.size(); ++old) {
      if (old_to_new[old] != NO_ID) renumbered[old_to_new[old]] = lists[old];
    }
    lists = std::move(renumbered);
  }
};

// A background line with its writers over a curve it owns (or a clone's curve).
struct Line {
  explicit Line(std::unique_ptr<velk::EdgedCurve<1>> owned,
                std::unique_ptr<BackgroundLine> cloned = nullptr)
      : curve{std::move(owned)},
        curve_builder{std::make_unique<velk::EdgedCurveBuilder<1>>(*curve)},
        line{cloned ? std::move(cloned) : std::make_unique<BackgroundLine>(*curve)},
        builder{std::make_unique<velk::internal::BackgroundLineBuilder>(*line)},
        modifier{std::make_unique<velk::internal::BackgroundLineModifier>(*line, *builder,
                                                                          *curve_builder)} {}

  std::unique_ptr<velk::EdgedCurve<1>> curve;
  std::unique_ptr<velk::EdgedCurveBuilder<1>> curve_builder;
  std::unique_ptr<BackgroundLine> line;
  std::unique_ptr<velk::internal::BackgroundLineBuilder> builder;
  std::unique_ptr<velk::internal::BackgroundLineModifier> modifier;
};

// Draws through SeparatedDraws; coordinates need no separation here.
class Case : velk::test::SeparatedDraws {
 public:
  explicit Case(std::uint64_t seed) : SeparatedDraws{seed, 0.0} {
    velk::BackgroundLineLibrary::initialize();
  }

  std::string run() {
    auto curve = std::make_unique<velk::EdgedCurve<1>>();
    velk::EdgedCurveBuilder<1> builder{*curve};
    auto const nb_vertices = draw(2, 8);
    for (int v = 0; v < nb_vertices; ++v) builder.create_point(velk::Point<1>{{10.0 * v}});
    for (index_t v = 0; v + 1 < static_cast<index_t>(nb_vertices); ++v)
      builder.create_edge(v, v + 1);
    auto line = std::make_unique<Line>(std::move(curve));
    Model model{std::vector<std::vector<MeshVertex>>(static_cast<std::size_t>(nb_vertices)),
                std::vector<std::vector<MeshElement>>(static_cast<std::size_t>(nb_vertices - 1))};
    // A clone set aside, with the model it must keep matching whatever happens to the line.
    std::unique_ptr<Line> set_aside;
    Model set_aside_model;

    for (int step = 0; step < 40; ++step) {
      auto read_before = read(*line->line);
      auto const operation = draw(0, 9);
      std::string what;
      if (operation <= 2) {
        what = record(*line, model);
      } else if (operation <= 4) {
        what = split(*line, model);
      } else if (operation == 5) {
        what = collapse(*line, model);
      } else if (operation == 6 && line->curve->nb_vertices() > 0) {
        auto const vertex =
            static_cast<index_t>(draw(0, static_cast<int>(line->curve->nb_vertices()) - 1));
        line->modifier->move_point(vertex, velk::Point<1>{{uniform(0.0, 80.0)}});
        what = "move";
      } else if (operation == 6) {
        what = "no move";
      } else if (operation == 7) {
        auto const& mesh = meshes_[static_cast<std::size_t>(draw(0, 2))];
        auto removal = line->builder->remove_macro_mesh(mesh);
        auto expected_vertices = remove(model.vertices, mesh);
        auto expected_edges = remove(model.edges, mesh);
        std::sort(removal.vertices.begin(), removal.vertices.end());
        std::sort(removal.edges.begin(), removal.edges.end());
        if (removal.vertices != expected_vertices || removal.edges != expected_edges) {
          return "step " + std::to_string(step) + " (remove): other counts than the model's";
        }
        what = "remove";
      } else if (operation == 8) {
        auto const edges = line->modifier->clean_edges();
        Model::renumber(model.edges, edges, line->curve->nb_edges());
        auto const vertices = line->modifier->clean_vertices();
        Model::renumber(model.vertices, vertices, line->curve->nb_vertices());
        read_before = {};  // elements renumbered: nothing to hold to
        what = "clean";
      } else {
        auto copy = line->line->clone();
        auto cloned =
            std::make_unique<Line>(std::move(std::get<0>(copy)), std::move(std::get<1>(copy)));
        // Go on with the clone or the original; the other is set aside and must not change.
        if (chance(0.5)) std::swap(line, cloned);
        set_aside = std::move(cloned);
        set_aside_model = model;
        read_before = {};
        what = "clone";
      }
      if (auto problem = compare(*line->line, model); !problem.empty()) {
        return "step " + std::to_string(step) + " (" + what + "): " + problem;
      }
      if (auto problem = still_readable(read_before, model); !problem.empty()) {
        return "step " + std::to_string(step) + " (" + what + "): " + problem;
      }
      if (set_aside) {
        if (auto problem = compare(*set_aside->line, set_aside_model); !problem.empty()) {
          return "step " + std::to_string(step) + " (" + what +
                 "), the clone set aside: " + problem;
        }
      }
    }
    return {};
  }

 private:
  // References to every edge list as read now, with the model's list at that time.
  struct Read {
    std::vector<std::vector<MeshElement> const*> lists;
    std::vector<std::vector<MeshElement>> expected;
  };

  Read read(BackgroundLine const& line) {
    Read result;
    for (index_t edge = 0; edge < line.line().nb_edges(); ++edge) {
      if (!chance(0.5)) {
        result.lists.push_back(nullptr);
        result.expected.emplace_back();
        continue;
      }
      result.lists.push_back(&line.macro_elements(edge));
      result.expected.push_back(*result.lists.back());
    }
    return result;
  }

  // A list read before the step whose element's list did not change must read the same.
  static std::string still_readable(Read const& before, Model const& model) {
    for (std::size_t edge = 0; edge < before.lists.size(); ++edge) {
      if (before.lists[edge] == nullptr || edge >= model.edges.size() ||
          model.edges[edge] != before.expected[edge]) {
        continue;
      }
      if (*before.lists[edge] != before.expected[edge]) {
        return "the list of edge " + std::to_string(edge) + " read before changed";
      }
    }
    return {};
  }

  std::string record(Line& line, Model& model) {
    if (line.curve->nb_edges() == 0) return "nothing to record on";
    for (auto count = draw(1, 6); count > 0; --count) {
      auto const& mesh = meshes_[static_cast<std::size_t>(draw(0, 2))];
      auto const index = static_cast<index_t>(draw(0, 3));
      if (chance(0.4)) {
        auto const vertex =
            static_cast<index_t>(draw(0, static_cast<int>(line.curve->nb_vertices()) - 1));
        line.builder->add_macro_vertex_info({mesh, index}, vertex);
        model.vertices[vertex].push_back({mesh, index});
      } else {
        auto const edge =
            static_cast<index_t>(draw(0, static_cast<int>(line.curve->nb_edges()) - 1));
        line.builder->add_macro_element_info({mesh, index}, edge);
        model.edges[edge].push_back({mesh, index});
      }
    }
    return "record";
  }

  std::optional<index_t> live_edge(Line const& line) {
    for (int attempt = 0; attempt < 10 && line.curve->nb_edges() > 0; ++attempt) {
      auto const edge = static_cast<index_t>(draw(0, static_cast<int>(line.curve->nb_edges()) - 1));
      if (!line.curve->is_edge_detached(edge)) return edge;
    }
    return std::nullopt;
  }

  std::string split(Line& line, Model& model) {
    auto const edge = live_edge(line);
    if (!edge) return "no split";
    auto const& ends = line.curve->edge_vertices(*edge);
    auto const a = line.curve->point(ends[0]).value(0);
    auto const b = line.curve->point(ends[1]).value(0);
    auto const info =
        line.modifier->split_edge(*edge, velk::Point<1>{{a + (b - a) * uniform(0.3, 0.7)}});
    model.vertices.resize(line.curve->nb_vertices());
    model.edges.resize(line.curve->nb_edges());
    for (auto const new_edge : info.new_edges) model.edges[new_edge] = model.edges[*edge];
    return "split";
  }

  std::string collapse(Line& line, Model& model) {
    auto const edge = live_edge(line);
    if (!edge) return "no collapse";
    auto const info = line.modifier->collapse_edge(*edge, velk::Point<1>{{uniform(0.0, 80.0)}});
    std::vector<MeshVertex> merged;
    auto const add = [&merged](std::vector<MeshVertex> const& list) {
      for (auto const& entry : list) {
        if (std::find(merged.begin(), merged.end(), entry) == merged.end()) merged.push_back(entry);
      }
    };
    add(model.vertices[info.vertex_mapping.first]);
    for (auto const vertex : info.vertex_mapping.second) add(model.vertices[vertex]);
    model.vertices[info.vertex_mapping.first] = merged;
    return "collapse";
  }

  // Removes the entries of `mesh`; returns each element that lost some, with how many.
  template <typename List>
  static std::vector<std::pair<index_t, index_t>> remove(std::vector<List>& lists,
                                                         velk::uuid const& mesh) {
    std::vector<std::pair<index_t, index_t>> removed;
    for (std::size_t element = 0; element < lists.size(); ++element) {
      auto& list = lists[element];
      auto const end = std::remove_if(list.begin(), list.end(),
                                      [&mesh](auto const& entry) { return entry.mesh_id == mesh; });
      if (end != list.end()) {
        removed.emplace_back(static_cast<index_t>(element), static_cast<index_t>(list.end() - end));
      }
      list.erase(end, list.end());
    }
    return removed;
  }

  static std::string compare(BackgroundLine const& line, Model const& model) {
    auto const& curve = line.line();
    if (curve.nb_vertices() != model.vertices.size() || curve.nb_edges() != model.edges.size()) {
      return "element counts differ";
    }
    for (index_t vertex = 0; vertex < curve.nb_vertices(); ++vertex) {
      auto const view = line.macro_vertex_view(vertex);
      if (line.macro_vertices(vertex) != model.vertices[vertex] ||
          std::vector<MeshVertex>(view.begin(), view.end()) != model.vertices[vertex]) {
        return "the macro vertices of vertex " + std::to_string(vertex) + " differ";
      }
    }
    for (index_t edge = 0; edge < curve.nb_edges(); ++edge) {
      auto const view = line.macro_element_view(edge);
      if (line.macro_elements(edge) != model.edges[edge] ||
          std::vector<MeshElement>(view.begin(), view.end()) != model.edges[edge]) {
        return "the macro elements of edge " + std::to_string(edge) + " differ";
      }
      for (index_t other = 0; other < curve.nb_edges(); ++other) {
        auto const same = std::is_permutation(model.edges[edge].begin(), model.edges[edge].end(),
                                              model.edges[other].begin(), model.edges[other].end());
        if (line.same_macro_elements(edge, other) != same) {
          return "same_macro_elements of edges " + std::to_string(edge) + " and " +
                 std::to_string(other) + " is wrong";
        }
      }
    }
    return {};
  }

  velk::uuid const meshes_[3]{};
};

TEST(MacroStore, SharedListsMatchDeepCopies) {
  auto const ran = velk::test::run_seeded_cases(
      {"VELK_STORE", 1000, 150}, 1, [](std::uint64_t seed) { return Case{seed}.run(); });
  EXPECT_GT(ran, 0U);
}

}  // namespace
