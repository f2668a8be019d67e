// Differential test of vertex placement at the tolerance's edge, against an exact oracle of
// the placement rule: a point within the tolerance of one or more background vertices lands
// on the nearest of them (of two equally near, on the one at the smaller coordinate);
// otherwise it splits the edge that holds it strictly between its ends.
//
// Each job is drawn from a seed: grid sites k * h from a base (0, small, or up to 1e6, so
// that rounding differs from job to job; h from one unit down to two tolerances, so that
// points of neighbouring sites compete), a background chain through some sites and input
// curves through any, every point offset from its site by 0, +-0.5, +-1 or +-1.5
// tolerances. The oracle works on the exact values of the doubles (scaled integers): no
// rounding decides a tie or the tolerance's edge for it. After every insertion call the
// background must be the oracle's chain, in order, every vertex with the input vertices the
// oracle placed on it and every edge with the input edges it carries; at the end, every
// chain that `macro_edge_path` gives must walk from the first placed vertex to the second
// over the background's edges in order. No walk may stop or warn.
//
// VELK_TOLERANCE_EDGE_CASES sets the number of jobs (2000 by default: about 0.2 s in an
// optimised build), VELK_TOLERANCE_EDGE_SEED replays one.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <velk/background_line.hpp>

#include "reliability/curve_invariants.hpp"
#include "support/background_fixture.hpp"
#include "support/log_capture.hpp"
#include "support/seeded_cases.hpp"
#include "support/separated_draws.hpp"

namespace {

using velk::GEOMETRIC_TOLERANCE;
using velk::index_t;
using velk::MeshEdge;
using velk::MeshElement;
using velk::MeshVertex;
using velk::Point;
using velk::internal::BackgroundLineInserter;
using Status = velk::internal::ElementInsertionInfo::INSERTION_STATUS;

// Exact values: a double times 2^SCALE, as a 128-bit integer. Every coordinate of a job is
// a multiple of 2^-SCALE below 2^(126 - SCALE) in magnitude (others are redrawn), so sums
// and differences of them are exact.
// (`__extension__`: a GCC and Clang type that -Wpedantic would flag.)
__extension__ typedef __int128 Exact;
constexpr int SCALE = 90;

std::optional<Exact> exact(double x) {
  auto const scaled = std::ldexp(x, SCALE);
  if (!std::isfinite(scaled) || std::abs(scaled) >= std::ldexp(1.0, 125) ||
      scaled != std::trunc(scaled)) {
    return std::nullopt;
  }
  return static_cast<Exact>(scaled);
}

Exact magnitude(Exact value) { return value < 0 ? -value : value; }

Exact const EXACT_TOLERANCE = *exact(GEOMETRIC_TOLERANCE);

// Offsets of a point from its site, in tolerances.
constexpr double OFFSETS[] = {0.0, 0.5, -0.5, 1.0, -1.0, 1.5, -1.5};

struct Statistics {
  std::size_t jobs{0};
  std::size_t placements{0};
  std::size_t snaps{0};
  std::size_t splits{0};
  std::size_t contested{0};  // placements with two or more vertices within the tolerance
  std::size_t paths{0};
};

class Job : velk::test::SeparatedDraws {
 public:
  Job(std::uint64_t seed, Statistics& statistics)
      : SeparatedDraws{seed, 0.0}, statistics_{statistics} {}

  std::string run() {
    try {
      if (!build()) return {};  // no usable grid drawn: nothing to test
      for (int curve = draw(1, 6); curve > 0; --curve) {
        if (auto problem = insert_one(); !problem.empty()) return problem;
        if (auto problem = compare(); !problem.empty()) return "after " + history_ + ": " + problem;
      }
      return compare_paths();
    } catch (std::exception const& error) {
      return "after " + history_ + ": exception: " + error.what();
    }
  }

 private:
  // A vertex of the oracle's background, in axis order.
  struct ModelVertex {
    double x;
    Exact exact;
    std::vector<MeshVertex> macro_vertices;
  };
  // An inserted input edge: the model vertices (their exact values) its ends landed on.
  struct Placed {
    MeshEdge edge;
    Exact first;
    Exact last;
  };

  // A point at a random site with a random offset; empty when its value is not exact.
  std::optional<double> grid_point() {
    auto const site = base_ + step_ * draw(0, nb_sites_ - 1);
    auto const x = site + OFFSETS[draw(0, 6)] * GEOMETRIC_TOLERANCE;
    if (!exact(x)) return std::nullopt;
    return x;
  }

  bool build() {
    auto const magnitude_kind = draw(0, 3);
    base_ = magnitude_kind == 0   ? 0.0
            : magnitude_kind == 1 ? uniform(-10.0, 10.0)
            : magnitude_kind == 2 ? uniform(-1e3, 1e3)
                                  : uniform(1e5, 1e6);
    double const steps[] = {1.0, 1e-3, 4 * GEOMETRIC_TOLERANCE, 2.5 * GEOMETRIC_TOLERANCE,
                            2 * GEOMETRIC_TOLERANCE};
    step_ = steps[draw(0, 4)];
    nb_sites_ = draw(3, 10);
    std::vector<double> points;
    for (int attempt = 0; attempt < 40 && points.size() < 12; ++attempt) {
      if (auto const x = grid_point()) points.push_back(*x);
    }
    std::sort(points.begin(), points.end());
    points.erase(std::unique(points.begin(), points.end()), points.end());
    if (points.size() < 2) return false;
    points.resize(std::min<std::size_t>(points.size(), draw(2, 8)));

    for (auto const x : points) model_.push_back({x, *exact(x), {}});
    carried_.assign(points.size() - 1, {});
    line_ = std::make_unique<Line>(points);
    return true;
  }

  // Where the oracle places `x`: the model vertex it lands on, splitting an edge (and
  // copying its list of carried edges to both halves) when it lands on none; empty when
  // the point lies on no edge.
  std::optional<std::size_t> place(double x, Exact at, bool apply) {
    std::optional<std::size_t> best;
    std::size_t near = 0;
    for (std::size_t v = 0; v < model_.size(); ++v) {
      auto const gap = magnitude(at - model_[v].exact);
      if (gap > EXACT_TOLERANCE) continue;
      ++near;
      // Nearer first, then the smaller coordinate: vertices are in axis order.
      if (!best || gap < magnitude(at - model_[*best].exact)) best = v;
    }
    if (best) {
      if (apply) {
        ++statistics_.snaps;
        statistics_.contested += near > 1 ? 1 : 0;
      }
      return best;
    }
    for (std::size_t v = 0; v + 1 < model_.size(); ++v) {
      if (model_[v].exact < at && at < model_[v + 1].exact) {
        if (apply) {
          ++statistics_.splits;
          model_.insert(model_.begin() + static_cast<std::ptrdiff_t>(v) + 1, {x, at, {}});
          carried_.insert(carried_.begin() + static_cast<std::ptrdiff_t>(v) + 1, carried_[v]);
        }
        return v + 1;
      }
    }
    return std::nullopt;
  }

  std::size_t index_of(Exact at) const {
    return static_cast<std::size_t>(
        std::find_if(model_.begin(), model_.end(), [at](auto const& v) { return v.exact == at; }) -
        model_.begin());
  }

  std::string insert_one() {
    // A curve of 2 to 6 points, each on the background as it is now (a point the oracle
    // finds on no edge is drawn again), joined in order.
    std::vector<double> points;
    auto const count = draw(2, 6);
    for (int attempt = 0; attempt < 50 && static_cast<int>(points.size()) < count; ++attempt) {
      auto const x = grid_point();
      if (x && place(*x, *exact(*x), false)) points.push_back(*x);
    }
    if (points.size() < 2) return {};
    inputs_.push_back(std::make_unique<velk::test::ChainWithBuilder>(
        points, "input-" + std::to_string(inputs_.size())));
    auto const& input = inputs_.back()->curve;
    history_ += "insert_curve [";
    for (auto const x : points) history_ += " " + Point<1>{{x}}.string();
    history_ += " ]";

    // The oracle, edge by edge: both ends placed, then the edge recorded on every model
    // edge between them. Points placed later never split a point placed before.
    for (index_t edge = 0; edge + 1 < points.size(); ++edge) {
      std::array<Exact, 2> landed{};
      for (index_t end = 0; end < 2; ++end) {
        auto const x = points[edge + end];
        auto const v = *place(x, *exact(x), true);
        ++statistics_.placements;
        model_[v].macro_vertices.push_back(MeshVertex{input.id(), edge + end});
        landed[end] = model_[v].exact;
      }
      auto const a = index_of(landed[0]);
      auto const b = index_of(landed[1]);
      for (auto v = std::min(a, b); v < std::max(a, b); ++v) {
        carried_[v].push_back(MeshElement{input.id(), edge});
      }
      placed_.push_back({MeshEdge{input.id(), edge}, landed[0], landed[1]});
    }

    auto const report = line_->inserter.insert_curve(input);
    for (index_t entry = 0; entry < report.size(); ++entry) {
      if (report.status(entry) != Status::inserted) {
        return history_ + ": input edge " + std::to_string(report.element(entry)) +
               " was not inserted";
      }
    }
    if (!log_.lines().empty()) return history_ + ": the library warned: " + log_.texts().front();
    history_ += "; ";
    return {};
  }

  // The live vertex at each coordinate of the line, with the line's edges in axis order.
  std::string compare() const {
    if (auto problem = velk::reliability::curve_consistency(line_->curve); !problem.empty()) {
      return problem;
    }
    // The line's live vertices in axis order, each an end of a live edge.
    std::vector<index_t> live;
    for (index_t v = 0; v < line_->curve.nb_vertices(); ++v) {
      if (!line_->curve.edges_around_vertex(v).empty()) live.push_back(v);
    }
    std::sort(live.begin(), live.end(), [this](index_t a, index_t b) {
      return line_->curve.point(a).value(0) < line_->curve.point(b).value(0);
    });
    if (live.size() != model_.size()) {
      return std::to_string(live.size()) + " live vertices, the oracle " +
             std::to_string(model_.size());
    }
    std::size_t nb_live_edges = 0;
    for (index_t e = 0; e < line_->curve.nb_edges(); ++e) {
      nb_live_edges += line_->curve.is_edge_detached(e) ? 0 : 1;
    }
    if (nb_live_edges + 1 != model_.size()) {
      return std::to_string(nb_live_edges) + " live edges for " + std::to_string(model_.size()) +
             " vertices: the line is not one chain";
    }
    for (std::size_t rank = 0; rank < live.size(); ++rank) {
      auto const x = line_->curve.point(live[rank]).value(0);
      if (x != model_[rank].x) {
        return "vertex " + std::to_string(rank) + " in axis order is at " + Point<1>{{x}}.string() +
               ", the oracle's at " + Point<1>{{model_[rank].x}}.string();
      }
      if (line_->line.macro_vertices(live[rank]) != model_[rank].macro_vertices) {
        return "the input vertices on the vertex at " + Point<1>{{x}}.string() +
               " differ from the oracle's";
      }
      if (rank == 0) continue;
      auto const edge = edge_between(live[rank - 1], live[rank]);
      if (!edge) {
        return "no edge from " + Point<1>{{model_[rank - 1].x}}.string() + " to its neighbour " +
               Point<1>{{x}}.string() + ": the background is out of order";
      }
      if (line_->line.macro_elements(*edge) != carried_[rank - 1]) {
        return "the input edges carried by the edge from " +
               Point<1>{{model_[rank - 1].x}}.string() + " to " + Point<1>{{x}}.string() +
               " differ from the oracle's";
      }
    }
    return {};
  }

  std::optional<index_t> edge_between(index_t a, index_t b) const {
    for (auto const& around : line_->curve.edges_around_vertex(a)) {
      if (line_->curve.edge_vertex(around.opposite()) == b) return around.edge_id;
    }
    return std::nullopt;
  }

  // Every chain, from the first placed vertex to the second over the edges between them.
  std::string compare_paths() {
    auto live_at = [this](Exact at) {
      auto const x = model_[index_of(at)].x;
      for (index_t v = 0; v < line_->curve.nb_vertices(); ++v) {
        if (!line_->curve.edges_around_vertex(v).empty() && line_->curve.point(v).value(0) == x) {
          return v;
        }
      }
      return velk::NO_ID;
    };
    for (auto const& placed : placed_) {
      std::array<index_t, 2> const ends{live_at(placed.first), live_at(placed.last)};
      auto a = index_of(placed.first);
      auto const b = index_of(placed.last);
      std::vector<index_t> expected;
      while (a != b) {
        auto const next = a < b ? a + 1 : a - 1;
        expected.push_back(*edge_between(live_at(model_[a].exact), live_at(model_[next].exact)));
        a = next;
      }
      auto const chain = line_->line.macro_edge_path(ends, placed.edge);
      ++statistics_.paths;
      if (expected.empty()) {
        if (chain && !chain->empty()) return "an edge whose ends share a vertex has a chain";
        continue;
      }
      if (!chain) return "input edge " + std::to_string(placed.edge.edge_id) + " has no chain";
      if (auto problem = velk::reliability::chain_validity(line_->line, ends, placed.edge, *chain);
          !problem.empty()) {
        return problem;
      }
      if (*chain != expected) {
        return "the chain of input edge " + std::to_string(placed.edge.edge_id) +
               " is not the edges between its placed vertices, in order";
      }
    }
    return {};
  }

  Statistics& statistics_;
  std::string history_;
  velk::test::LogCapture log_{velk::Logger::LEVEL::warn};
  double base_{0};
  double step_{1};
  int nb_sites_{0};

  // The background chain through the job's points, and its inserter.
  struct Line : velk::test::EditableBackground {
    using EditableBackground::EditableBackground;
    BackgroundLineInserter inserter{{line, modifier}, line_builder};
  };
  std::unique_ptr<Line> line_;
  std::vector<std::unique_ptr<velk::test::ChainWithBuilder>> inputs_;

  std::vector<ModelVertex> model_;                 // the oracle's background, in axis order
  std::vector<std::vector<MeshElement>> carried_;  // carried_[v]: edge from vertex v to v + 1
  std::vector<Placed> placed_;
};

TEST(PlacementAtTheToleranceEdge, AgreesWithAnExactOracleOnGridJobs) {
  velk::BackgroundLineLibrary::initialize();
  Statistics statistics;
  auto const ran = velk::test::run_seeded_cases({"VELK_TOLERANCE_EDGE", 2000, 2000}, 7'000'000,
                                                [&](std::uint64_t seed) {
                                                  ++statistics.jobs;
                                                  return Job{seed, statistics}.run();
                                                });
  std::printf(
      "%zu jobs: %zu placements (%zu snapped, %zu of them with two or more vertices within the "
      "tolerance, %zu splits), %zu chains compared\n",
      ran, statistics.placements, statistics.snaps, statistics.contested, statistics.splits,
      statistics.paths);
  // The jobs exercised what they are for.
  if (ran >= 100) {
    EXPECT_GT(statistics.contested, ran);
    EXPECT_GT(statistics.splits, ran);
    EXPECT_GT(statistics.paths, 3 * ran);
  }
}

}  // namespace
