// The property that defines `remove_curve`: insert a random set of curves, remove a random
// subset of them in random order, clean; the line must equal the line made by inserting
// only the remaining curves (the same points, bit for bit; on each edge, by its geometry,
// the same macro elements as a multiset; on each point the same macro vertices as a
// multiset). Each edge is also checked against Boost.ICL: an `interval_map` that adds the
// interval of every inserted input edge and then `subtract`s those of the removed curves.
//
// Cases are drawn from seeds: a background of one chain or of two chains apart in x
// (vertices and edges created in random order and orientation), input curves of chains with
// random orientation plus stray edges (loops, and edges from one chain to the other, whose
// walks stop), inserted whole or edge by edge with repeats, some inserted twice; the
// caller's own splits, cleans and clones (work goes on on the clone) between the steps.
//
// Where the property cannot hold, the generator keeps away, and the comparison stays exact:
// - Snapping to a removed curve's vertex. A point within the tolerance of (but not at) a
//   vertex that another curve created snaps onto that vertex; inserted without that curve
//   it makes a vertex of its own a little apart. So points of different curves are either
//   equal or at least 1e-5 apart; points within the tolerance of a point are drawn only
//   around vertices of the caller's background, which are there in both lines.
// - Branching backgrounds. A walk takes the first edge listed around a vertex, and splits
//   reorder those lists, so with three or more edges at a vertex the path an edge takes may
//   depend on the other curves. Backgrounds here are lines (at most two edges per vertex).
// - Moves. A vertex moved after a removed curve split next to it has no counterpart in the
//   other line; moves are covered by the insertion differential test, not here.
// Vertices that a removed curve created and that another curve also needed (a point of it,
// or the end of one of its edges) stay, as in the other line; they are drawn often.
//
// A failure prints its seed; VELK_REMOVAL_SEED replays one case, VELK_REMOVAL_CASES sets the
// count.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <boost/icl/interval_map.hpp>

#include <velk/background_line.hpp>

#include "reliability/curve_invariants.hpp"
#include "support/log_capture.hpp"
#include "support/seeded_cases.hpp"
#include "support/separated_draws.hpp"

namespace {

using velk::EdgedCurve;
using velk::EdgedCurveBuilder;
using velk::index_t;
using velk::MeshElement;
using velk::MeshVertex;
using velk::Point;
using velk::uuid;
using velk::internal::BackgroundLine;
using velk::internal::BackgroundLineBuilder;
using velk::internal::BackgroundLineInserter;
using velk::internal::BackgroundLineModifier;
using velk::internal::ElementRemovalInfo;

// The oracle's value over a stretch: the input edges covering it, with multiplicity.
// Subtracting takes one occurrence of each element off.
struct Carried {
  std::vector<MeshElement> elements;

  Carried& operator+=(Carried const& other) {
    elements.insert(elements.end(), other.elements.begin(), other.elements.end());
    return *this;
  }
  Carried& operator-=(Carried const& other) {
    for (auto const& element : other.elements) {
      auto const found = std::find(elements.begin(), elements.end(), element);
      if (found != elements.end()) elements.erase(found);
    }
    return *this;
  }
  friend bool operator==(Carried const& lhs, Carried const& rhs) {
    return lhs.elements == rhs.elements;
  }
};

using Oracle = boost::icl::interval_map<double, Carried>;
using Interval = boost::icl::interval<double>;

bool element_before(MeshElement const& a, MeshElement const& b) {
  return std::tie(a.mesh_id, a.element_id) < std::tie(b.mesh_id, b.element_id);
}
bool vertex_before(MeshVertex const& a, MeshVertex const& b) {
  return std::tie(a.mesh_id, a.vertex_id) < std::tie(b.mesh_id, b.vertex_id);
}

std::vector<MeshElement> sorted(std::vector<MeshElement> list) {
  std::sort(list.begin(), list.end(), element_before);
  return list;
}
std::vector<MeshVertex> sorted(std::vector<MeshVertex> list) {
  std::sort(list.begin(), list.end(), vertex_before);
  return list;
}

constexpr double SEPARATION = 1e-5;
constexpr double NEAR_OFFSET = 0.4 * velk::GEOMETRIC_TOLERANCE;

// A background line with every writer, over a curve it owns (or a clone's).
struct Line {
  explicit Line(std::unique_ptr<EdgedCurve<1>> curve_in,
                std::unique_ptr<BackgroundLine> line_in = nullptr)
      : curve{std::move(curve_in)},
        curve_builder{*curve},
        line{line_in ? std::move(line_in) : std::make_unique<BackgroundLine>(*curve)},
        builder{*line},
        modifier{*line, builder, curve_builder},
        inserter{{*line, modifier}, builder} {}

  void clean() {
    modifier.clean_edges();
    modifier.clean_vertices();
  }

  // Splits the edge holding `x` at `x`, as a caller would.
  void split_at(double x) {
    auto const edge = modifier.containing_edge(Point<1>{{x}}, velk::NO_ID);
    if (!edge) throw velk::LumoraException{"[removal differential] split point off the line"};
    modifier.split_edge(*edge, Point<1>{{x}});
  }

  std::unique_ptr<EdgedCurve<1>> curve;
  EdgedCurveBuilder<1> curve_builder;
  std::unique_ptr<BackgroundLine> line;
  BackgroundLineBuilder builder;
  BackgroundLineModifier modifier;
  BackgroundLineInserter inserter;
};

// A cleaned line read by geometry: macro vertices by point, macro elements by edge extent,
// both sorted.
struct Picture {
  std::map<double, std::vector<MeshVertex>> points;
  std::map<std::pair<double, double>, std::vector<MeshElement>> edges;
};

Picture picture(Line const& line) {
  Picture result;
  auto const& curve = *line.curve;
  for (index_t vertex = 0; vertex < curve.nb_vertices(); ++vertex) {
    result.points[curve.point(vertex).value(0)] = sorted(line.line->macro_vertices(vertex));
  }
  for (index_t edge = 0; edge < curve.nb_edges(); ++edge) {
    if (curve.is_edge_detached(edge)) continue;
    auto const ends = curve.edge_vertices(edge);
    auto const a = curve.point(ends[0]).value(0);
    auto const b = curve.point(ends[1]).value(0);
    result.edges[{std::min(a, b), std::max(a, b)}] = sorted(line.line->macro_elements(edge));
  }
  return result;
}

std::string describe(std::pair<double, double> const& extent) {
  return "[" + std::to_string(extent.first) + ", " + std::to_string(extent.second) + "]";
}

struct Statistics {
  std::size_t cases{0};
  std::size_t removed_curves{0};
  std::size_t merged{0};
  std::size_t edges_compared{0};
};

class Case : velk::test::SeparatedDraws {
 public:
  Case(std::uint64_t seed, bool two_chains, Statistics& statistics)
      : SeparatedDraws{seed, SEPARATION}, two_chains_{two_chains}, statistics_{statistics} {}

  std::string run() {
    try {
      build_background();
      draw_curves();
      return play();
    } catch (std::exception const& error) {
      return std::string{"exception: "} + error.what() + " after [" + history_ + "]";
    }
  }

 private:
  struct Insertion {
    std::size_t curve;
    bool whole;
    std::vector<index_t> edges;
  };

  void build_background() {
    std::vector<std::pair<int, double>> points;  // (chain, x)
    for (int chain = 0; chain < (two_chains_ ? 2 : 1); ++chain) {
      auto const low = two_chains_ && chain == 1 ? 55.0 : 0.0;
      auto const high = two_chains_ && chain == 0 ? 45.0 : 100.0;
      auto x = low + uniform(0.5, 5.0);
      for (int count = draw(2, 12); count > 0 && x < high - 0.5; --count) {
        points.emplace_back(chain, x);
        x += uniform(0.5, 8.0);
      }
      points.emplace_back(chain, high - 0.25);
      extents_.emplace_back(low + 100.0, high);
    }
    for (auto const& [chain, x] : points) {
      extents_[chain].first = std::min(extents_[chain].first, x);
      extents_[chain].second = x;  // points go up within a chain
      background_xs_.push_back(x);
      known_.insert(x);
    }
    std::vector<std::size_t> order(points.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::shuffle(order.begin(), order.end(), random_);
    std::vector<index_t> index_of(points.size());
    for (index_t rank = 0; rank < order.size(); ++rank) index_of[order[rank]] = rank;
    for (auto const i : order) background_points_.push_back(points[i].second);
    for (std::size_t i = 1; i < points.size(); ++i) {
      if (points[i].first != points[i - 1].first) continue;
      background_edges_.emplace_back(index_of[i - 1], index_of[i]);
      if (chance(0.5)) std::swap(background_edges_.back().first, background_edges_.back().second);
    }
    std::shuffle(background_edges_.begin(), background_edges_.end(), random_);
  }

  std::unique_ptr<EdgedCurve<1>> make_background() const {
    auto curve = std::make_unique<EdgedCurve<1>>();
    EdgedCurveBuilder<1> builder{*curve};
    builder.set_name("background");
    for (auto const x : background_points_) builder.create_point(Point<1>{{x}});
    for (auto const& [first, second] : background_edges_) builder.create_edge(first, second);
    return curve;
  }

  // Where the line places `x`: on the background vertex within the tolerance, else at `x`
  // (points of different curves are equal or far apart).
  double site(double x) const {
    for (auto const vertex_x : background_xs_) {
      if (std::abs(x - vertex_x) <= velk::GEOMETRIC_TOLERANCE) return vertex_x;
    }
    return x;
  }
  int chain_of(double x) const {
    for (int chain = 0; chain < static_cast<int>(extents_.size()); ++chain) {
      if (x >= extents_[chain].first - velk::GEOMETRIC_TOLERANCE &&
          x <= extents_[chain].second + velk::GEOMETRIC_TOLERANCE) {
        return chain;
      }
    }
    return -1;
  }

  double input_point(int chain) {
    auto const [low, high] = extents_[chain];
    auto const kind = draw(0, 99);
    if (kind < 35) {
      // On or near a background vertex of the chain.
      std::vector<double> own;
      for (auto const x : background_xs_) {
        if (chain_of(x) == chain) own.push_back(x);
      }
      auto const x = own[draw(0, static_cast<int>(own.size()) - 1)];
      return kind < 20 ? x : x + (chance(0.5) ? 1 : -1) * uniform(0.1, 1.0) * NEAR_OFFSET;
    }
    if (kind < 60 && !shared_.empty()) {
      // Exactly a point of another curve: a vertex that both need.
      auto const x = shared_[draw(0, static_cast<int>(shared_.size()) - 1)];
      if (chain_of(x) == chain) return x;
    }
    if (auto const x = fresh(low, high)) {
      shared_.push_back(*x);
      return *x;
    }
    return low;
  }

  void draw_curves() {
    auto const count = draw(2, 6);
    for (int index = 0; index < count; ++index) {
      auto curve = std::make_unique<EdgedCurve<1>>();
      EdgedCurveBuilder<1> builder{*curve};
      builder.set_name("curve-" + std::to_string(index));
      auto const chain = draw(0, static_cast<int>(extents_.size()) - 1);
      auto const nb_points = draw(2, 8);
      for (int point = 0; point < nb_points; ++point) {
        auto const own_chain = two_chains_ && chance(0.1) ? 1 - chain : chain;
        builder.create_point(Point<1>{{input_point(own_chain)}});
      }
      for (index_t vertex = 1; vertex < curve->nb_vertices(); ++vertex) {
        if (chance(0.7)) {
          builder.create_edge(vertex - 1, vertex);
        } else {
          builder.create_edge(vertex, vertex - 1);
        }
      }
      if (chance(0.3)) {
        auto const first = static_cast<index_t>(draw(0, nb_points - 1));
        auto const second = chance(0.3) ? first : static_cast<index_t>(draw(0, nb_points - 1));
        builder.create_edge(first, second);
      }
      curves_.push_back(std::move(curve));
    }
    // The insertions: each curve once or twice, whole or some of its edges (repeats
    // included), in random order.
    for (std::size_t curve = 0; curve < curves_.size(); ++curve) {
      for (int times = chance(0.2) ? 2 : 1; times > 0; --times) {
        Insertion insertion{curve, chance(0.6), {}};
        auto const nb_edges = curves_[curve]->nb_edges();
        if (insertion.whole) {
          for (index_t edge = 0; edge < nb_edges; ++edge) insertion.edges.push_back(edge);
        } else {
          for (int count = draw(1, 6); count > 0; --count) {
            insertion.edges.push_back(
                static_cast<index_t>(draw(0, static_cast<int>(nb_edges) - 1)));
          }
        }
        insertions_.push_back(std::move(insertion));
      }
    }
    std::shuffle(insertions_.begin(), insertions_.end(), random_);
    for (auto const& curve : curves_) removable_.push_back(curve.get());
  }

  void insert(Line& line, Insertion const& insertion) {
    auto const& input = *curves_[insertion.curve];
    if (insertion.whole) {
      line.inserter.insert_curve(input);
    } else {
      line.inserter.insert_curve_edges(input, insertion.edges);
    }
  }

  // Adds (or subtracts) the intervals of one insertion to the oracle.
  void account(Insertion const& insertion, bool add) {
    auto const& input = *curves_[insertion.curve];
    for (auto const edge : insertion.edges) {
      auto const ends = input.edge_vertices(edge);
      auto const a = site(input.point(ends[0]).value(0));
      auto const b = site(input.point(ends[1]).value(0));
      if (a == b || chain_of(a) != chain_of(b)) continue;  // nothing tagged
      auto const interval = Interval::right_open(std::min(a, b), std::max(a, b));
      Carried const carried{{MeshElement{input.id(), edge}}};
      if (add) {
        oracle_ += std::make_pair(interval, carried);
      } else {
        oracle_ -= std::make_pair(interval, carried);
      }
    }
  }

  // Now and then, between two steps: a clean, or work going on on a clone.
  void maybe_edit(std::unique_ptr<Line>& line) {
    auto const kind = draw(0, 99);
    if (kind < 15) {
      line->clean();
      history_ += "clean; ";
    } else if (kind < 25) {
      auto cloned = line->line->clone();
      line = std::make_unique<Line>(std::move(std::get<0>(cloned)), std::move(std::get<1>(cloned)));
      history_ += "clone; ";
    }
  }

  std::string play() {
    velk::test::LogCapture silence{velk::Logger::LEVEL::warn};
    auto line = std::make_unique<Line>(make_background());
    // The caller's own splits, before and between insertions: never merged.
    std::vector<double> splits;
    auto const split = [&](Line& target) {
      auto const chain = draw(0, static_cast<int>(extents_.size()) - 1);
      if (auto const x = fresh(extents_[chain].first, extents_[chain].second)) {
        target.split_at(*x);
        splits.push_back(*x);
        history_ += "split; ";
      }
    };
    for (auto const& insertion : insertions_) {
      if (chance(0.2)) split(*line);
      insert(*line, insertion);
      account(insertion, true);
      history_ += "insert " + std::to_string(insertion.curve) + "; ";
      maybe_edit(line);
    }
    // Remove a random subset, in random order; then a curve that was never inserted.
    std::shuffle(removable_.begin(), removable_.end(), random_);
    auto const nb_removed = draw(1, static_cast<int>(removable_.size()));
    std::set<std::size_t> removed;
    for (int rank = 0; rank < nb_removed; ++rank) {
      auto const& input = *removable_[rank];
      std::size_t curve = 0;
      while (curves_[curve].get() != &input) ++curve;
      removed.insert(curve);
      if (auto problem = remove(*line, input, curve); !problem.empty()) return problem;
      history_ += "remove " + std::to_string(curve) + "; ";
      if (chance(0.2)) split(*line);
      maybe_edit(line);
    }
    if (line->inserter.remove_curve(uuid{}) != ElementRemovalInfo{}) {
      return "removing an unknown curve reported something";
    }
    line->clean();

    // The other line: the caller's splits, then only the remaining curves.
    Line reference{make_background()};
    for (auto const x : splits) reference.split_at(x);
    for (auto const& insertion : insertions_) {
      if (removed.count(insertion.curve) == 0) insert(reference, insertion);
    }
    reference.clean();
    return compare(*line, reference);
  }

  // Removes one curve, checking the counts against the line as it was.
  std::string remove(Line& line, EdgedCurve<1> const& input, std::size_t curve) {
    auto const& background = *line.curve;
    std::size_t expected_vertices = 0;
    for (auto const& insertion : insertions_) {
      if (insertion.curve == curve) expected_vertices += 2 * insertion.edges.size();
    }
    std::size_t expected_elements = 0;
    for (index_t edge = 0; edge < background.nb_edges(); ++edge) {
      if (background.is_edge_detached(edge)) continue;
      for (auto const& element : line.line->macro_elements(edge)) {
        expected_elements += element.mesh_id == input.id() ? 1 : 0;
      }
    }
    auto const vertices_before = background.nb_vertices();
    auto const report =
        chance(0.5) ? line.inserter.remove_curve(input) : line.inserter.remove_curve(input.id());
    ++statistics_.removed_curves;
    statistics_.merged += report.vertices_merged;
    if (report.macro_vertices_removed != expected_vertices ||
        report.macro_elements_removed != expected_elements) {
      return "removing curve " + std::to_string(curve) + " reported " +
             std::to_string(report.macro_vertices_removed) + " macro vertices and " +
             std::to_string(report.macro_elements_removed) + " macro elements, expected " +
             std::to_string(expected_vertices) + " and " + std::to_string(expected_elements);
    }
    if (background.nb_vertices() != vertices_before) return "a removal created vertices";
    // Nothing anywhere names the curve any more, detached elements included.
    for (index_t vertex = 0; vertex < background.nb_vertices(); ++vertex) {
      for (auto const& macro_vertex : line.line->macro_vertices(vertex)) {
        if (macro_vertex.mesh_id == input.id()) return "a macro vertex of the curve is left";
      }
    }
    for (index_t edge = 0; edge < background.nb_edges(); ++edge) {
      for (auto const& element : line.line->macro_elements(edge)) {
        if (element.mesh_id == input.id()) return "a macro element of the curve is left";
      }
    }
    if (auto problem = velk::reliability::curve_consistency(background); !problem.empty()) {
      return "after removal: " + problem;
    }
    for (auto const& insertion : insertions_) {
      if (insertion.curve == curve) account(insertion, false);
    }
    return {};
  }

  std::string compare(Line const& line, Line const& reference) {
    auto const got = picture(line);
    auto const expected = picture(reference);
    if (got.points.size() != expected.points.size()) {
      return "the line has " + std::to_string(got.points.size()) + " points, inserting only the " +
             "remaining curves gives " + std::to_string(expected.points.size()) + " [" + history_ +
             "]";
    }
    for (auto const& [x, macro_vertices] : expected.points) {
      auto const found = got.points.find(x);
      if (found == got.points.end()) {
        return "no point at " + std::to_string(x) + " [" + history_ + "]";
      }
      if (found->second != macro_vertices) {
        return "other macro vertices at " + std::to_string(x) + " [" + history_ + "]";
      }
    }
    if (got.edges.size() != expected.edges.size()) return "another number of edges";
    for (auto const& [extent, elements] : expected.edges) {
      auto const found = got.edges.find(extent);
      if (found == got.edges.end()) return "no edge over " + describe(extent);
      if (found->second != elements) {
        return "edge " + describe(extent) +
               " carries other macro elements than inserting only "
               "the remaining curves gives [" +
               history_ + "]";
      }
      auto const oracle = oracle_.find((extent.first + extent.second) / 2);
      auto const from_oracle =
          oracle == oracle_.end() ? std::vector<MeshElement>{} : sorted(oracle->second.elements);
      if (found->second != from_oracle) {
        return "edge " + describe(extent) + " carries " + std::to_string(found->second.size()) +
               " macro elements, Boost.ICL after subtract " + std::to_string(from_oracle.size());
      }
      statistics_.edges_compared += elements.empty() ? 0 : 1;
    }
    return {};
  }

  bool two_chains_;
  Statistics& statistics_;
  std::string history_;
  std::vector<double> background_points_;  // in vertex order
  std::vector<std::pair<index_t, index_t>> background_edges_;
  std::vector<double> background_xs_;
  std::vector<std::pair<double, double>> extents_;  // of each chain
  std::vector<double> shared_;  // fresh points drawn so far: other curves may reuse them
  std::vector<std::unique_ptr<EdgedCurve<1>>> curves_;
  std::vector<EdgedCurve<1> const*> removable_;
  std::vector<Insertion> insertions_;
  Oracle oracle_;
};

Statistics run_cases(std::uint64_t first_seed, bool two_chains) {
  velk::BackgroundLineLibrary::initialize();
  Statistics statistics;
  velk::test::run_seeded_cases({"VELK_REMOVAL", 3000, 600}, first_seed, [&](std::uint64_t seed) {
    ++statistics.cases;
    return Case{seed, two_chains, statistics}.run();
  });
  std::printf("%zu cases: %zu curves removed, %zu vertices merged, %zu carrying edges compared\n",
              statistics.cases, statistics.removed_curves, statistics.merged,
              statistics.edges_compared);
  return statistics;
}

void expect_exercised(Statistics const& statistics) {
  if (statistics.cases < 100) return;
  EXPECT_GT(statistics.removed_curves, statistics.cases);
  EXPECT_GT(statistics.merged, statistics.cases);
  EXPECT_GT(statistics.edges_compared, 3 * statistics.cases);
}

TEST(RemoveCurveDifferential, OneChainEqualsInsertingOnlyTheRemainingCurves) {
  expect_exercised(run_cases(4'000'000, false));
}

TEST(RemoveCurveDifferential, TwoChainsEqualInsertingOnlyTheRemainingCurves) {
  expect_exercised(run_cases(5'000'000, true));
}

}  // namespace
