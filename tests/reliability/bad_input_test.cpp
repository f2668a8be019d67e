// Bad input, tried as a new user would: what each call does with it (the exact message of
// its `LumoraException`, or its defined result), and that nothing already recorded on the
// line was lost or corrupted. docs/robustness.md lists these cases with the test of each.
#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <velk/background_line.hpp>

#include "reliability/curve_invariants.hpp"
#include "support/chain_curve.hpp"
#include "support/log_capture.hpp"

namespace {

using velk::EdgedCurve;
using velk::EdgedCurveBuilder;
using velk::index_t;
using velk::LumoraException;
using velk::MeshEdge;
using velk::MeshElement;
using velk::MeshVertex;
using velk::Point;
using velk::internal::BackgroundLine;
using velk::internal::BackgroundLineBuilder;
using velk::internal::BackgroundLineInserter;
using velk::internal::BackgroundLineModifier;
using velk::internal::ElementInsertionInfo;
using Status = ElementInsertionInfo::INSERTION_STATUS;

constexpr double NOT_A_NUMBER = std::numeric_limits<double>::quiet_NaN();
constexpr double INFINITE = std::numeric_limits<double>::infinity();

// The message of the `LumoraException` that `call` throws, or a note that it threw none.
std::string error_of(std::function<void()> const& call) {
  try {
    call();
  } catch (LumoraException const& error) {
    return error.what();
  }
  return "(no exception)";
}

// An input curve: one vertex per coordinate, joined in a chain.
std::unique_ptr<EdgedCurve<1>> make_input(std::initializer_list<double> coordinates,
                                          std::string_view name = "input") {
  auto input = std::make_unique<EdgedCurve<1>>();
  EdgedCurveBuilder<1> builder{*input};
  builder.set_name(name);
  velk::test::build_chain(builder, coordinates);
  return input;
}

// A background line over a caller-built curve, with every writer, and one input curve
// already inserted so that there is recorded information to lose.
class BackgroundLineBadInput : public testing::Test {
 protected:
  BackgroundLineBadInput() { velk::BackgroundLineLibrary::initialize(); }

  // Sets the line up over the chain `coordinates` and inserts `recorded_` (0.5 to 2.5).
  void start(std::initializer_list<double> coordinates) {
    velk::test::build_chain(curve_builder_, coordinates);
    open_line();
    auto const report = inserter_->insert_curve(*recorded_);
    ASSERT_EQ(report.size(), 1u);
    ASSERT_EQ(report.status(0), Status::inserted);
    before_ = velk::reliability::take_snapshot(*line_);
  }

  void open_line() {
    line_ = std::make_unique<BackgroundLine>(background_);
    line_builder_ = std::make_unique<BackgroundLineBuilder>(*line_);
    modifier_ = std::make_unique<BackgroundLineModifier>(*line_, *line_builder_, curve_builder_);
    inserter_ = std::make_unique<BackgroundLineInserter>(
        velk::internal::ModifiableObject<BackgroundLine>{*line_, *modifier_}, *line_builder_);
  }

  // The line is exactly as it was after `start`.
  void expect_unchanged() const {
    EXPECT_TRUE(velk::reliability::same(before_, velk::reliability::take_snapshot(*line_)));
    EXPECT_EQ(velk::reliability::curve_consistency(background_), "");
  }

  // The background vertex at `x` (exactly), or NO_ID.
  index_t vertex_at(double x) const {
    for (index_t vertex = 0; vertex < background_.nb_vertices(); ++vertex) {
      if (background_.point(vertex).value(0) == x) return vertex;
    }
    return velk::NO_ID;
  }

  // The live edge between the vertices at `a` and `b`, or NO_ID.
  index_t edge_between(double a, double b) const {
    auto const first = vertex_at(a);
    auto const second = vertex_at(b);
    if (first == velk::NO_ID || second == velk::NO_ID) return velk::NO_ID;
    for (auto const& around : background_.edges_around_vertex(first)) {
      if (background_.edge_vertex(around.opposite()) == second) return around.edge_id;
    }
    return velk::NO_ID;
  }

  // What the recorded curve's one edge left: every live edge between 0.5 and 2.5 carries
  // it (however later insertions split them), the edges outside do not, and the vertices at
  // 0.5 and 2.5 record its vertices. Checks it is still all there.
  void expect_recorded_intact() const {
    MeshElement const element{recorded_->id(), 0};
    std::size_t carrying = 0;
    for (index_t edge = 0; edge < background_.nb_edges(); ++edge) {
      if (background_.is_edge_detached(edge)) continue;
      auto const ends = background_.edge_vertices(edge);
      auto const a = background_.point(ends[0]).value(0);
      auto const b = background_.point(ends[1]).value(0);
      auto const& elements = line_->macro_elements(edge);
      auto const carries = std::find(elements.begin(), elements.end(), element) != elements.end();
      auto const inside = std::min(a, b) >= 0.5 && std::max(a, b) <= 2.5 && a != b;
      EXPECT_EQ(carries, inside) << "edge " << edge << " from " << a << " to " << b;
      carrying += carries ? 1 : 0;
    }
    EXPECT_GE(carrying, 3u);
    EXPECT_EQ(line_->macro_vertices(vertex_at(0.5)),
              (std::vector<MeshVertex>{MeshVertex{recorded_->id(), 0}}));
    EXPECT_EQ(line_->macro_vertices(vertex_at(2.5)),
              (std::vector<MeshVertex>{MeshVertex{recorded_->id(), 1}}));
    EXPECT_EQ(velk::reliability::curve_consistency(background_), "");
  }

  velk::test::LogCapture log_{velk::Logger::LEVEL::warn};
  EdgedCurve<1> background_;
  EdgedCurveBuilder<1> curve_builder_{background_};
  std::unique_ptr<BackgroundLine> line_;
  std::unique_ptr<BackgroundLineBuilder> line_builder_;
  std::unique_ptr<BackgroundLineModifier> modifier_;
  std::unique_ptr<BackgroundLineInserter> inserter_;
  std::unique_ptr<EdgedCurve<1>> recorded_ = make_input({0.5, 2.5}, "recorded");
  velk::reliability::Snapshot before_;
};

constexpr char const* FAILED_TO_INSERT =
    "[BackgroundLineInserter::insert_curve] Failed to insert vertex.";

TEST_F(BackgroundLineBadInput, NotFiniteInputPointsAreRefusedBeforeAnythingChanges) {
  start({0.0, 1.0, 2.0, 3.0, 4.0});
  for (auto const x : {NOT_A_NUMBER, INFINITE, -INFINITE}) {
    auto const input = make_input({x, 1.5});
    EXPECT_EQ(error_of([&] { inserter_->insert_curve(*input); }), FAILED_TO_INSERT) << x;
    std::vector<index_t> const edges{0};
    EXPECT_EQ(error_of([&] { inserter_->insert_curve_edges(*input, edges); }), FAILED_TO_INSERT)
        << x;
    expect_unchanged();
  }
}

TEST_F(BackgroundLineBadInput, PointsOutsideTheLineAreRefusedAndThoseWithinTheToleranceSnap) {
  start({0.0, 1.0, 2.0, 3.0, 4.0});
  for (auto const x : {-1.0, -2e-8, 4.0 + 2e-8, 5.5, 1e300}) {
    auto const outside = make_input({x, 1.5});
    EXPECT_EQ(error_of([&] { inserter_->insert_curve(*outside); }), FAILED_TO_INSERT) << x;
    expect_unchanged();
  }
  // Within the tolerance past an end: placed on the end vertex, which does not move.
  auto const near_end = make_input({4.0 + 0.5e-8, -0.5e-8});
  auto const report = inserter_->insert_curve(*near_end);
  EXPECT_EQ(report.status(0), Status::inserted);
  EXPECT_EQ(background_.nb_vertices(), before_.nb_vertices);
  EXPECT_EQ(line_->macro_vertices(vertex_at(4.0)),
            (std::vector<MeshVertex>{MeshVertex{near_end->id(), 0}}));
  EXPECT_EQ(line_->macro_vertices(vertex_at(0.0)),
            (std::vector<MeshVertex>{MeshVertex{near_end->id(), 1}}));
  expect_recorded_intact();
}

// A fault found by the differential tests: the inserter's search tree is rebuilt only when
// a clean renumbers, so after an end vertex moved outward a point beyond the old end, on
// the line now, was refused as if it were outside.
TEST_F(BackgroundLineBadInput, PointBeyondAnEndMovedOutwardSinceTheLastInsertionIsPlaced) {
  start({0.0, 1.0, 2.0, 3.0, 4.0});
  modifier_->move_point(vertex_at(4.0), Point<1>{{6.0}});
  auto const input = make_input({5.0, 3.5});
  auto const report = inserter_->insert_curve(*input);
  ASSERT_EQ(report.size(), 1u);
  EXPECT_EQ(report.status(0), Status::inserted);
  EXPECT_EQ(line_->macro_elements(edge_between(3.5, 5.0)),
            (std::vector<MeshElement>{MeshElement{input->id(), 0}}));
  EXPECT_EQ(line_->macro_vertices(vertex_at(5.0)),
            (std::vector<MeshVertex>{MeshVertex{input->id(), 0}}));
  expect_recorded_intact();
}

TEST_F(BackgroundLineBadInput, NotANumberOnTheBackgroundTakesNoPointButTheRestStillWorks) {
  start({0.0, 1.0, 2.0, 3.0, NOT_A_NUMBER, 5.0});
  // The edges around the NaN vertex contain no point.
  auto const beside = make_input({3.5, 1.5});
  EXPECT_EQ(error_of([&] { inserter_->insert_curve(*beside); }), FAILED_TO_INSERT);
  expect_unchanged();
  // The modifier refuses to split an edge with a NaN end at any point.
  auto const nan_edge = [&] {
    for (auto const& around : background_.edges_around_vertex(vertex_at(3.0))) {
      auto const far = background_.edge_vertex(around.opposite());
      if (std::isnan(background_.point(far).value(0))) return around.edge_id;
    }
    return velk::NO_ID;
  }();
  ASSERT_NE(nan_edge, velk::NO_ID);
  EXPECT_EQ(error_of([&] { modifier_->split_edge(nan_edge, Point<1>{{3.5}}); }),
            "[EdgedCurveModifier::split_edge] point 3.5 is not on edge " +
                std::to_string(nan_edge) + " [3, nan]");
  expect_unchanged();
  // Elsewhere the line works as usual.
  auto const elsewhere = make_input({0.25, 1.75});
  EXPECT_EQ(inserter_->insert_curve(*elsewhere).status(0), Status::inserted);
  expect_recorded_intact();
}

TEST_F(BackgroundLineBadInput, AnInfiniteBackgroundEndHoldsEveryPointBeyondItsFiniteEnd) {
  start({0.0, 1.0, 2.0, 3.0, INFINITE});
  auto const input = make_input({3.5, 1e6});
  auto const report = inserter_->insert_curve(*input);
  EXPECT_EQ(report.status(0), Status::inserted);
  EXPECT_EQ(line_->macro_elements(edge_between(3.5, 1e6)),
            (std::vector<MeshElement>{MeshElement{input->id(), 0}}));
  expect_recorded_intact();
}

TEST_F(BackgroundLineBadInput, ZeroLengthInputEdgesRecordTheirVerticesAndTagNoEdge) {
  start({0.0, 1.0, 2.0, 3.0, 4.0});
  // Two vertices at one point, and a loop edge from a vertex to itself.
  auto input = make_input({1.5, 1.5});
  EdgedCurveBuilder<1>{*input}.create_edge(0, 0);
  auto const report = inserter_->insert_curve(*input);
  ASSERT_EQ(report.size(), 2u);
  EXPECT_EQ(report.status(0), Status::inserted);
  EXPECT_EQ(report.status(1), Status::inserted);
  auto const at = vertex_at(1.5);
  ASSERT_NE(at, velk::NO_ID);
  EXPECT_EQ(line_->macro_vertices(at),
            (std::vector<MeshVertex>{MeshVertex{input->id(), 0}, MeshVertex{input->id(), 1},
                                     MeshVertex{input->id(), 0}, MeshVertex{input->id(), 0}}));
  for (index_t edge = 0; edge < background_.nb_edges(); ++edge) {
    for (auto const& element : line_->macro_elements(edge)) EXPECT_NE(element.mesh_id, input->id());
  }
  EXPECT_EQ(line_->macro_edge_path({at, at}, MeshEdge{input->id(), 0}), std::nullopt);
  expect_recorded_intact();
}

TEST_F(BackgroundLineBadInput, ZeroLengthBackgroundEdgesAreCarriedLikeAnyOther) {
  start({0.0, 1.0, 2.0, 2.0, 3.0});
  // The recorded curve (0.5 to 2.5) runs over the zero-length edge between vertices 2 and 3.
  MeshEdge const recorded{recorded_->id(), 0};
  auto const zero_length = [&] {
    for (auto const& around : background_.edges_around_vertex(2)) {
      if (background_.edge_vertex(around.opposite()) == 3) return around.edge_id;
    }
    return velk::NO_ID;
  }();
  ASSERT_NE(zero_length, velk::NO_ID);
  EXPECT_EQ(line_->macro_elements(zero_length), (std::vector<MeshElement>{{recorded_->id(), 0}}));
  auto const path = line_->macro_edge_path({vertex_at(0.5), vertex_at(2.5)}, recorded);
  ASSERT_TRUE(path.has_value());
  EXPECT_EQ(path->size(), 4u);
  EXPECT_EQ(
      velk::reliability::chain_validity(*line_, {vertex_at(0.5), vertex_at(2.5)}, recorded, *path),
      "");
  // A point at the shared position lands on the first of the two vertices.
  auto const at_two = make_input({2.0, 0.25});
  inserter_->insert_curve(*at_two);
  EXPECT_EQ(line_->macro_vertices(2), (std::vector<MeshVertex>{{at_two->id(), 0}}));
  EXPECT_TRUE(line_->macro_vertices(3).empty());
}

TEST_F(BackgroundLineBadInput, MacroInformationQueriesRefuseIndicesPastTheEnd) {
  start({0.0, 1.0, 2.0, 3.0, 4.0});
  auto const edges = background_.nb_edges();
  auto const vertices = background_.nb_vertices();
  EXPECT_EQ(error_of([&] { line_->macro_elements(edges); }),
            "[MacroInfo::macro_elements] edge index " + std::to_string(edges) +
                " is out of range (" + std::to_string(edges) + " edges)");
  EXPECT_EQ(error_of([&] { line_->macro_vertices(vertices); }),
            "[MacroInfo::macro_vertices] vertex index " + std::to_string(vertices) +
                " is out of range (" + std::to_string(vertices) + " vertices)");
  expect_unchanged();
}

// A second fault: the query only compared its target vertex, so one past the curve's end
// gave an empty result, as if no chain carried the edge, instead of the documented error.
TEST_F(BackgroundLineBadInput, MacroEdgePathRefusesOutOfRangeVertices) {
  start({0.0, 1.0, 2.0, 3.0, 4.0});
  MeshEdge const recorded{recorded_->id(), 0};
  auto const count = background_.nb_vertices();
  auto const message = "[BackgroundLine::macro_edge_path] vertex index " + std::to_string(count) +
                       " is out of range (" + std::to_string(count) + " vertices)";
  EXPECT_EQ(error_of([&] { line_->macro_edge_path({count, vertex_at(2.5)}, recorded); }), message);
  EXPECT_EQ(error_of([&] { line_->macro_edge_path({vertex_at(0.5), count}, recorded); }), message);
  EXPECT_EQ(error_of([&] {
              line_->macro_edge_path({velk::NO_ID, 0}, recorded);
            }),
            "[BackgroundLine::macro_edge_path] vertex index 4294967295 is out of range (" +
                std::to_string(count) + " vertices)");
  // Equal vertices give no chain before anything else is looked at.
  EXPECT_EQ(line_->macro_edge_path({count, count}, recorded), std::nullopt);
  expect_unchanged();
}

TEST_F(BackgroundLineBadInput, BuilderRefusesOutOfRangeIndicesAndChangesNothing) {
  start({0.0, 1.0, 2.0, 3.0, 4.0});
  auto const edges = std::to_string(background_.nb_edges());
  auto const vertices = std::to_string(background_.nb_vertices());
  auto const past_edge = background_.nb_edges();
  auto const past_vertex = background_.nb_vertices();
  MeshVertex const macro_vertex{recorded_->id(), 0};
  MeshElement const macro_element{recorded_->id(), 0};
  auto& builder = *line_builder_;
  EXPECT_EQ(error_of([&] { builder.add_macro_vertex_info(macro_vertex, past_vertex); }),
            "[MacroInfoBuilder::add_macro_vertex_info] vertex index " + vertices +
                " is out of range (" + vertices + " vertices)");
  EXPECT_EQ(error_of([&] { builder.add_macro_element_info(macro_element, past_edge); }),
            "[MacroInfoBuilder::add_macro_element_info] edge index " + edges +
                " is out of range (" + edges + " edges)");
  EXPECT_EQ(error_of([&] {
              builder.update_element({past_edge, 0});
            }),
            "[MacroInfoBuilder::update_element] edge index " + edges + " is out of range (" +
                edges + " edges)");
  EXPECT_EQ(error_of([&] {
              builder.update_element({0, past_edge});
            }),
            "[MacroInfoBuilder::update_element] edge index " + edges + " is out of range (" +
                edges + " edges)");
  EXPECT_EQ(error_of([&] {
              builder.update_vertex({0, {0, past_vertex}});
            }),
            "[MacroInfoBuilder::update_vertex] vertex index " + vertices + " is out of range (" +
                vertices + " vertices)");
  EXPECT_EQ(error_of([&] {
              builder.update_information(velk::GraphModifier::SplitEdgeInfo{{past_edge, 0}, 0, 0});
            }),
            "[MacroInfoBuilder::update_element] edge index " + edges + " is out of range (" +
                edges + " edges)");
  EXPECT_EQ(error_of([&] {
              builder.update_information(
                  velk::GraphModifier::CollapseEdgeInfo{{past_vertex, {past_vertex}}, 0});
            }),
            "[MacroInfoBuilder::update_vertex] vertex index " + vertices + " is out of range (" +
                vertices + " vertices)");
  expect_unchanged();
}

TEST_F(BackgroundLineBadInput, ModifierRefusesBadIndicesDetachedEdgesAndNotFinitePoints) {
  start({0.0, 1.0, 2.0, 3.0, 4.0});
  auto const edges = std::to_string(background_.nb_edges());
  auto const vertices = std::to_string(background_.nb_vertices());
  auto const past_edge = background_.nb_edges();
  auto const past_vertex = background_.nb_vertices();
  // Edge 0 (0 to 1) was split at 0.5 by the recorded insertion: it is detached.
  ASSERT_TRUE(background_.is_edge_detached(0));
  auto const live = edge_between(1.0, 2.0);
  auto& modifier = *modifier_;
  for (auto const* operation : {"split_edge", "collapse_edge"}) {
    auto const call = [&](index_t edge, double x) {
      if (std::string{operation} == "split_edge") {
        modifier.split_edge(edge, Point<1>{{x}});
      } else {
        modifier.collapse_edge(edge, Point<1>{{x}});
      }
    };
    auto const tag = std::string{"[EdgedCurveModifier::"} + operation + "] ";
    EXPECT_EQ(error_of([&] { call(past_edge, 1.5); }),
              tag + "edge index " + edges + " is out of range (" + edges + " edges)");
    EXPECT_EQ(error_of([&] { call(0, 0.25); }), tag + "edge 0 is detached");
    EXPECT_EQ(error_of([&] { call(live, NOT_A_NUMBER); }), tag + "point nan is not finite");
    EXPECT_EQ(error_of([&] { call(live, INFINITE); }), tag + "point inf is not finite");
  }
  EXPECT_EQ(error_of([&] { modifier.split_edge(live, Point<1>{{2.5}}); }),
            "[EdgedCurveModifier::split_edge] point 2.5 is not on edge " + std::to_string(live) +
                " [1, 2]");
  EXPECT_EQ(error_of([&] { modifier.move_point(past_vertex, Point<1>{{1.5}}); }),
            "[EdgedCurveModifier::move_point] vertex index " + vertices + " is out of range (" +
                vertices + " vertices)");
  EXPECT_EQ(error_of([&] { modifier.move_point(0, Point<1>{{-INFINITE}}); }),
            "[EdgedCurveModifier::move_point] point -inf is not finite");
  expect_unchanged();
}

TEST_F(BackgroundLineBadInput, OutOfRangeInputEdgeStopsTheCallAfterTheEdgesBeforeIt) {
  start({0.0, 1.0, 2.0, 3.0, 4.0});
  auto const input = make_input({1.5, 3.5});
  std::vector<index_t> const edges{0, 7, 0};
  EXPECT_EQ(error_of([&] { inserter_->insert_curve_edges(*input, edges); }),
            "[Graph::edge_vertices] edge index 7 is out of range (1 edges)");
  // Edge 0, listed before, stays inserted; the one after was never reached.
  EXPECT_EQ(line_->macro_elements(edge_between(2.0, 2.5)),
            (std::vector<MeshElement>{{recorded_->id(), 0}, {input->id(), 0}}));
  EXPECT_EQ(line_->macro_vertices(vertex_at(1.5)), (std::vector<MeshVertex>{{input->id(), 0}}));
  expect_recorded_intact();
}

TEST_F(BackgroundLineBadInput, ReportRefusesEntriesPastItsEnd) {
  start({0.0, 1.0, 2.0, 3.0, 4.0});
  auto const report = inserter_->insert_curve(*make_input({1.5, 3.5}));
  EXPECT_EQ(error_of([&] { report.status(1); }),
            "[ElementInsertionInfo::status] entry index 1 is out of range (1 entries)");
  EXPECT_EQ(error_of([&] { report.element(1); }),
            "[ElementInsertionInfo::element] entry index 1 is out of range (1 entries)");
}

TEST_F(BackgroundLineBadInput, CurveInsertedTwiceIsCarriedTwice) {
  start({0.0, 1.0, 2.0, 3.0, 4.0});
  auto const again = inserter_->insert_curve(*recorded_);
  EXPECT_EQ(again.status(0), Status::inserted);
  EXPECT_EQ(background_.nb_vertices(), before_.nb_vertices);
  MeshElement const element{recorded_->id(), 0};
  for (auto const& [a, b] : {std::pair{0.5, 1.0}, std::pair{1.0, 2.0}, std::pair{2.0, 2.5}}) {
    EXPECT_EQ(line_->macro_elements(edge_between(a, b)),
              (std::vector<MeshElement>{element, element}));
  }
  EXPECT_EQ(line_->macro_elements(edge_between(0.0, 0.5)), std::vector<MeshElement>{});
  EXPECT_EQ(line_->macro_vertices(vertex_at(0.5)),
            (std::vector<MeshVertex>{{recorded_->id(), 0}, {recorded_->id(), 0}}));
  auto const path =
      line_->macro_edge_path({vertex_at(0.5), vertex_at(2.5)}, MeshEdge{recorded_->id(), 0});
  EXPECT_EQ(path, (std::vector<index_t>{edge_between(0.5, 1.0), edge_between(1.0, 2.0),
                                        edge_between(2.0, 2.5)}));
}

TEST_F(BackgroundLineBadInput, BackgroundWithoutEdgesRefusesEveryPoint) {
  // No vertex at all, then vertices but no edge.
  open_line();
  auto const input = make_input({0.0, 1.0});
  EXPECT_EQ(error_of([&] { inserter_->insert_curve(*input); }), FAILED_TO_INSERT);
  curve_builder_.create_point(Point<1>{{0.0}});
  curve_builder_.create_point(Point<1>{{1.0}});
  before_ = velk::reliability::take_snapshot(*line_);
  EXPECT_EQ(error_of([&] { inserter_->insert_curve(*input); }), FAILED_TO_INSERT);
  expect_unchanged();
  // An input without edges inserts nothing and is no error.
  EXPECT_EQ(inserter_->insert_curve(*make_input({0.5})).size(), 0u);
  expect_unchanged();
}

TEST_F(BackgroundLineBadInput, WritersOfAnotherCurveAreRefused) {
  start({0.0, 1.0, 2.0, 3.0, 4.0});
  EdgedCurve<1> other_curve;
  EdgedCurveBuilder<1> other_builder{other_curve};
  velk::test::build_chain(other_builder, {0.0, 1.0});
  EXPECT_EQ(error_of([&] {
              BackgroundLineModifier{*line_, *line_builder_, other_builder};
            }),
            "[EdgedCurveModifier::EdgedCurveModifier] the builder writes another curve than the "
            "one to modify");
  BackgroundLine other_line{other_curve};
  BackgroundLineBuilder other_line_builder{other_line};
  BackgroundLineModifier other_modifier{other_line, other_line_builder, other_builder};
  EXPECT_EQ(error_of([&] {
              BackgroundLineInserter{
                  velk::internal::ModifiableObject<BackgroundLine>{*line_, other_modifier},
                  *line_builder_};
            }),
            "[BackgroundLineInserter::BackgroundLineInserter] the modifier edits another curve "
            "than the background line's");
  expect_unchanged();
}

TEST_F(BackgroundLineBadInput, StaleIndicesAfterCleanEdgesAreRefusedOrFollowTheCurrentEdges) {
  start({0.0, 1.0, 2.0, 3.0, 4.0});
  // A clean through another modifier of the same line leaves this inserter's stamp alone:
  // its search tree still names the edges as they were numbered before, yet points land
  // on the right edges.
  BackgroundLineModifier other{*line_, *line_builder_, curve_builder_};
  other.split_edge(edge_between(3.0, 4.0), Point<1>{{3.5}});
  other.clean_edges();
  auto const input = make_input({3.25, 3.75});
  auto const report = inserter_->insert_curve(*input);
  EXPECT_EQ(report.status(0), Status::inserted);
  EXPECT_EQ(line_->macro_elements(edge_between(3.25, 3.5)),
            (std::vector<MeshElement>{{input->id(), 0}}));
  EXPECT_EQ(line_->macro_elements(edge_between(3.5, 3.75)),
            (std::vector<MeshElement>{{input->id(), 0}}));
  EXPECT_EQ(line_->macro_elements(edge_between(3.0, 3.25)), std::vector<MeshElement>{});
  EXPECT_EQ(line_->macro_elements(edge_between(3.75, 4.0)), std::vector<MeshElement>{});
  // After a clean through the inserter's own modifier, the edges past the new count are
  // gone: their old indices are refused.
  auto const old_count = background_.nb_edges();
  modifier_->clean_edges();
  ASSERT_LT(background_.nb_edges(), old_count);
  EXPECT_EQ(error_of([&] { modifier_->split_edge(old_count - 1, Point<1>{{2.25}}); }),
            "[EdgedCurveModifier::split_edge] edge index " + std::to_string(old_count - 1) +
                " is out of range (" + std::to_string(background_.nb_edges()) + " edges)");
  expect_recorded_intact();
}

TEST_F(BackgroundLineBadInput, MergesAreForgottenAfterCleanVertices) {
  start({0.0, 1.0, 2.0, 3.0, 4.0});
  // Collapse 3-4 onto 3: vertex 4 is absorbed, then removed by clean_vertices.
  auto const absorbed = vertex_at(4.0);
  auto const info = modifier_->collapse_edge(edge_between(3.0, 4.0), Point<1>{{3.0}});
  EXPECT_EQ(modifier_->updated_vertex(absorbed), info.vertex_mapping.first);
  modifier_->clean_edges();
  modifier_->clean_vertices();
  // The absorbed vertex is gone and its index now names the next vertex.
  EXPECT_EQ(background_.nb_vertices(), before_.nb_vertices - 1);
  EXPECT_EQ(modifier_->updated_vertex(absorbed), absorbed);
  expect_recorded_intact();
}

TEST_F(BackgroundLineBadInput, StepLimitThrowsPastOneThousandEdgesAndChangesNothing) {
  // Chains of 1000 and of 1001 edges, each carrying one input edge from end to end.
  std::vector<double> coordinates;
  for (int vertex = 0; vertex <= 1001; ++vertex) coordinates.push_back(vertex);
  index_t previous = velk::NO_ID;
  for (auto const x : coordinates) {
    auto const vertex = curve_builder_.create_point(Point<1>{{x}});
    if (previous != velk::NO_ID) curve_builder_.create_edge(previous, vertex);
    previous = vertex;
  }
  open_line();
  auto const thousand = make_input({0.0, 1000.0});
  auto const thousand_and_one = make_input({0.0, 1001.0});
  inserter_->insert_curve(*thousand);
  inserter_->insert_curve(*thousand_and_one);
  before_ = velk::reliability::take_snapshot(*line_);
  auto const path = line_->macro_edge_path({0, 1000}, MeshEdge{thousand->id(), 0});
  ASSERT_TRUE(path.has_value());
  EXPECT_EQ(path->size(), 1000u);
  EXPECT_EQ(error_of([&] {
              line_->macro_edge_path({0, 1001}, MeshEdge{thousand_and_one->id(), 0});
            }),
            "[BackgroundSolid::macro_edge_path] Too many steps while propagating on macro edge.");
  expect_unchanged();
}

TEST_F(BackgroundLineBadInput, WalkToAnotherChainStopsRecordsNothingAndSaysSo) {
  // Two chains, 0-1-2 and 5-6, with no edge between them.
  velk::test::build_chain(curve_builder_, {0.0, 1.0, 2.0});
  velk::test::build_chain(curve_builder_, {5.0, 6.0});
  open_line();
  auto const input = make_input({0.5, 5.5}, "across");
  auto const report = inserter_->insert_curve(*input);
  ASSERT_EQ(report.size(), 1u);
  EXPECT_EQ(report.status(0), Status::walk_stopped);
  for (index_t edge = 0; edge < background_.nb_edges(); ++edge) {
    EXPECT_TRUE(line_->macro_elements(edge).empty()) << edge;
  }
  EXPECT_EQ(line_->macro_vertices(vertex_at(0.5)), (std::vector<MeshVertex>{{input->id(), 0}}));
  EXPECT_EQ(line_->macro_vertices(vertex_at(5.5)), (std::vector<MeshVertex>{{input->id(), 1}}));
  auto const first = vertex_at(0.5);
  auto const toward = edge_between(0.5, 1.0);
  ASSERT_EQ(log_.lines().size(), 1u);
  EXPECT_EQ(log_.lines()[0].first, velk::Logger::LEVEL::warn);
  EXPECT_EQ(log_.lines()[0].second,
            "[BackgroundLineInserter::insert_curve] walk of input edge 0 of curve across from "
            "background vertex " +
                std::to_string(first) + " along edge " + std::to_string(toward) +
                " stopped at background vertex 2 without reaching background vertex " +
                std::to_string(vertex_at(5.5)) + "; its edges were not tagged");
  EXPECT_EQ(line_->macro_edge_path({first, vertex_at(5.5)}, MeshEdge{input->id(), 0}),
            std::nullopt);
}

TEST_F(BackgroundLineBadInput, InputEdgeOnOneVertexStartsNoWalkOnAnOpenLine) {
  // A zero-length edge 1-2 (both at x = 1): an input edge placed on vertex 1 at both ends
  // finds the far end of that edge on its segment, but covers no background edge: no walk
  // sets out to run off the open end.
  velk::test::build_chain(curve_builder_, {0.0, 1.0, 1.0, 2.0});
  open_line();
  auto const input = make_input({1.0, 1.0}, "point");
  auto const report = inserter_->insert_curve(*input);
  ASSERT_EQ(report.size(), 1u);
  EXPECT_EQ(report.status(0), Status::inserted);
  for (index_t edge = 0; edge < background_.nb_edges(); ++edge) {
    EXPECT_TRUE(line_->macro_elements(edge).empty()) << edge;
  }
  EXPECT_EQ(line_->macro_vertices(1),
            (std::vector<MeshVertex>{{input->id(), 0}, {input->id(), 1}}));
  EXPECT_TRUE(log_.lines().empty());
}

TEST_F(BackgroundLineBadInput, ThrowingInsertionInTheMiddleOfACurveKeepsWhatCameBefore) {
  start({0.0, 1.0, 2.0, 3.0, 4.0});
  // Edge 0 (1.5-3.5) goes in; edge 1 places 3.5 again, then fails on 9; edge 2 is not reached.
  auto const input = make_input({1.5, 3.5, 9.0, 2.25});
  EXPECT_EQ(error_of([&] { inserter_->insert_curve(*input); }), FAILED_TO_INSERT);
  MeshElement const first_edge{input->id(), 0};
  EXPECT_EQ(line_->macro_elements(edge_between(1.5, 2.0)),
            (std::vector<MeshElement>{{recorded_->id(), 0}, first_edge}));
  EXPECT_EQ(line_->macro_elements(edge_between(2.0, 2.5)),
            (std::vector<MeshElement>{{recorded_->id(), 0}, first_edge}));
  EXPECT_EQ(line_->macro_elements(edge_between(2.5, 3.0)), (std::vector<MeshElement>{first_edge}));
  EXPECT_EQ(line_->macro_elements(edge_between(3.0, 3.5)), (std::vector<MeshElement>{first_edge}));
  EXPECT_EQ(line_->macro_vertices(vertex_at(3.5)),
            (std::vector<MeshVertex>{{input->id(), 1}, {input->id(), 1}}));
  EXPECT_EQ(vertex_at(2.25), velk::NO_ID);
  expect_recorded_intact();
  // The line goes on working.
  auto const next = make_input({3.25, 0.25});
  EXPECT_EQ(inserter_->insert_curve(*next).status(0), Status::inserted);
  expect_recorded_intact();
}

}  // namespace
