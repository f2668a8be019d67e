// All chains at once (`BackgroundLine::macro_edge_paths`) against one `macro_edge_path` per
// query, on random backgrounds: paths walked in any vertex order, with branches, loops and
// repeated edges here and there, macro elements recorded in runs, twice and out of order,
// lists shared by splits, and small step limits.
#include <velk/background_line.hpp>

#include <cmath>
#include <cstdint>
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
using velk::MeshEdge;
using velk::internal::MacroEdgePathQuery;

// Draws through SeparatedDraws; coordinates need no separation here.
class Case : velk::test::SeparatedDraws {
 public:
  explicit Case(std::uint64_t seed) : SeparatedDraws{seed, 0.0} {
    velk::BackgroundLineLibrary::initialize();
    auto const nb_vertices = draw(1, 14);
    for (int v = 0; v < nb_vertices; ++v)
      builder_.create_point(velk::Point<1>{{uniform(0.0, 100.0)}});
    // A path through the vertices in a random order, cut into pieces, then a few edges more.
    std::vector<index_t> order(static_cast<std::size_t>(nb_vertices));
    for (index_t v = 0; v < order.size(); ++v) order[v] = v;
    std::shuffle(order.begin(), order.end(), random_);
    for (std::size_t k = 1; k < order.size(); ++k) {
      if (!chance(0.1)) builder_.create_edge(order[k - 1], order[k]);
    }
    for (auto extra = draw(0, 3); extra > 0; --extra) {
      if (chance(0.6)) continue;
      builder_.create_edge(static_cast<index_t>(draw(0, nb_vertices - 1)),
                           static_cast<index_t>(draw(0, nb_vertices - 1)));
    }
  }

  // Records macro edges, splits and queries; returns the first disagreement, or nothing.
  std::string run() {
    velk::internal::BackgroundLine line{curve_};
    velk::internal::BackgroundLineBuilder line_builder{line};
    velk::internal::BackgroundLineModifier modifier{line, line_builder, builder_};
    std::vector<MeshEdge> const macro_edges{{inputs_[0], 0}, {inputs_[0], 1}, {inputs_[1], 0}};
    for (auto round = draw(1, 3); round > 0; --round) {
      for (index_t edge = 0; edge < curve_.nb_edges(); ++edge) {
        for (auto const& macro : macro_edges) {
          if (chance(0.45))
            line_builder.add_macro_element_info({macro.mesh_id, macro.edge_id}, edge);
        }
      }
      // Splits share lists, which later records then copy.
      for (auto splits = draw(0, 3); splits > 0 && curve_.nb_edges() > 0; --splits) {
        auto const edge = static_cast<index_t>(draw(0, static_cast<int>(curve_.nb_edges()) - 1));
        auto const& ends = curve_.edge_vertices(edge);
        auto const a = curve_.point(ends[0]).value(0);
        auto const b = curve_.point(ends[1]).value(0);
        if (curve_.is_edge_detached(edge) || std::abs(b - a) < 1.0) continue;
        modifier.split_edge(edge, velk::Point<1>{{a + (b - a) * uniform(0.25, 0.75)}});
      }
    }
    if (chance(0.5)) {
      modifier.clean_edges();
      modifier.clean_vertices();
    }

    std::vector<MacroEdgePathQuery> queries;
    std::vector<MeshEdge> askable = macro_edges;
    askable.push_back({velk::uuid{}, 0});  // never recorded
    auto const nb_vertices = static_cast<int>(curve_.nb_vertices());
    for (auto count = draw(1, 25); count > 0; --count) {
      auto const vertex = [&] {
        return static_cast<index_t>(draw(0, nb_vertices - (chance(0.03) ? 0 : 1)));
      };
      queries.push_back({{vertex(), vertex()}, askable[static_cast<std::size_t>(draw(0, 3))]});
    }
    index_t const limits[] = {1, 2, 3, 5, velk::internal::BackgroundLine::DEFAULT_PATH_STEP_LIMIT};
    auto const limit = limits[draw(0, 4)];

    // One query at a time: the answers up to the first that throws.
    std::vector<std::optional<std::vector<index_t>>> expected;
    std::optional<std::string> expected_error;
    for (auto const& query : queries) {
      try {
        expected.push_back(line.macro_edge_path(query.vertices, query.macro_edge, limit));
      } catch (velk::LumoraException const& error) {
        expected_error = error.what();
        break;
      }
    }
    std::ostringstream problem;
    try {
      auto const paths = line.macro_edge_paths(queries, limit);
      if (expected_error)
        return "all at once answered where query " + std::to_string(expected.size()) + " throws " +
               *expected_error;
      for (std::size_t q = 0; q < queries.size(); ++q) {
        auto const chain = paths.chain(q);
        std::optional<std::vector<index_t>> const got =
            paths.found(q) ? std::optional{chain.to_vector()} : std::nullopt;
        if (got != expected[q]) {
          problem << "query " << q << " from " << queries[q].vertices[0] << " to "
                  << queries[q].vertices[1] << " with limit " << limit << ": " << text(got)
                  << " all at once, " << text(expected[q]) << " alone";
          return problem.str();
        }
      }
    } catch (velk::LumoraException const& error) {
      if (!expected_error) return std::string{"all at once throws "} + error.what();
      if (*expected_error != error.what()) {
        return "all at once throws " + std::string{error.what()} + " where alone " +
               *expected_error;
      }
    }
    return {};
  }

 private:
  static std::string text(std::optional<std::vector<index_t>> const& chain) {
    if (!chain) return "none";
    std::string result = "[";
    for (auto const edge : *chain) result += " " + std::to_string(edge);
    return result + " ]";
  }

  velk::EdgedCurve<1> curve_;
  velk::EdgedCurveBuilder<1> builder_{curve_};
  velk::uuid const inputs_[2]{};
};

TEST(BackgroundLineMacroEdgePaths, AgreeWithOneQueryAtATime) {
  auto const ran = velk::test::run_seeded_cases(
      {"VELK_PATHS", 2000, 300}, 1, [](std::uint64_t seed) { return Case{seed}.run(); });
  EXPECT_GT(ran, 0U);
}

}  // namespace
