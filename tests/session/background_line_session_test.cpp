#include <velk/background_line_session.hpp>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <basic/logger.hpp>

#include "support/thrown_message.hpp"

namespace {

using velk::BackgroundLineSession;
using velk::CurveElement;
using velk::index_t;
using velk::InsertedEdge;
using velk::test::thrown_message;
using Edge = BackgroundLineSession::Edge;
using Indices = std::vector<index_t>;

// The message of the `InvalidArgument` that `call` throws, or a marker.
std::string refusal(std::function<void()> const& call) {
  try {
    call();
  } catch (velk::InvalidArgument const& error) {
    return error.what();
  } catch (velk::LumoraException const& error) {
    return std::string{"(not an InvalidArgument) "} + error.what();
  }
  return "(nothing thrown)";
}

std::vector<std::string> statuses(std::vector<InsertedEdge> const& report) {
  std::vector<std::string> result;
  for (auto const& entry : report) {
    result.push_back(std::to_string(entry.edge) + " " +
                     std::string{BackgroundLineSession::status_name(entry.status)});
  }
  return result;
}

TEST(BackgroundLineSession, AnswersTheExampleByName) {
  BackgroundLineSession line{{0.0, 10.0, 20.0, 30.0}};
  auto const report = line.insert("well-1", {5.0, 15.0, 25.0});
  EXPECT_EQ(statuses(report), (std::vector<std::string>{"0 inserted", "1 inserted"}));
  EXPECT_TRUE(line.is_edge_detached(0));
  line.clean();

  EXPECT_EQ(line.points(), (std::vector<double>{0, 10, 20, 30, 5, 15, 25}));
  EXPECT_EQ(line.edges(), (std::vector<Edge>{{0, 4}, {4, 1}, {1, 5}, {5, 2}, {2, 6}, {6, 3}}));
  EXPECT_EQ(line.curve_names(), (std::vector<std::string>{"well-1"}));
  EXPECT_EQ(line.macro_vertices(5), (std::vector<CurveElement>{{"well-1", 1}, {"well-1", 1}}));
  EXPECT_EQ(line.macro_elements(3), (std::vector<CurveElement>{{"well-1", 1}}));
  EXPECT_EQ(line.vertex_of("well-1", 0), 4u);
  EXPECT_EQ(line.vertex_of("well-1", 2), 6u);
  EXPECT_EQ(line.path("well-1", 0), (Indices{1, 2}));
  EXPECT_EQ(line.path("well-1", 1), (Indices{3, 4}));

  auto const pieces = line.overlapping(12.0, 18.0);
  ASSERT_EQ(pieces.size(), 2u);
  EXPECT_EQ(pieces[0].edge, 2u);
  EXPECT_EQ(pieces[0].start, 10.0);
  EXPECT_EQ(pieces[0].end, 15.0);
  EXPECT_EQ(pieces[0].carried, (std::vector<CurveElement>{{"well-1", 0}}));
  EXPECT_EQ(pieces[1].edge, 3u);
  EXPECT_EQ(pieces[1].carried, (std::vector<CurveElement>{{"well-1", 1}}));
  EXPECT_EQ(line.background_line().line().nb_edges(), 6u);
}

TEST(BackgroundLineSession, InsertsChosenEdgesOfAGivenGraph) {
  // Background edges out of axis order; the curve runs backwards and only edge 1 goes in.
  std::vector<Edge> const background_edges{{0, 2}, {2, 4}, {4, 3}, {3, 1}};
  BackgroundLineSession line{{0, 40, 10, 30, 20}, background_edges, 1e-8, "section"};
  std::vector<Edge> const curve_edges{{2, 1}, {1, 0}};
  auto const report = line.insert("well-2", {12.5, 27.5, 38}, curve_edges, {1});
  EXPECT_EQ(statuses(report), (std::vector<std::string>{"1 inserted"}));
  EXPECT_EQ(line.name(), "section");
  EXPECT_EQ(line.vertex_of("well-2", 2), std::nullopt);  // only edge 1 went in
  EXPECT_EQ(line.path("well-2", 0), std::nullopt);
  auto const chain = line.path("well-2", 1);
  ASSERT_TRUE(chain.has_value());
  double covered = 0;
  for (auto const edge : *chain) {
    auto const ends = line.edge(edge);
    covered += std::abs(line.point(ends[1]) - line.point(ends[0]));
  }
  EXPECT_EQ(covered, 15.0);
  EXPECT_EQ(line.point(*line.vertex_of("well-2", 1)), 27.5);
}

TEST(BackgroundLineSession, ScalesTheCallersToleranceByAPowerOfTwo) {
  std::vector<double> const background{0.0, 0.1, 1000.3};
  BackgroundLineSession exact{background};
  EXPECT_EQ(exact.scale_exponent(), 0);
  EXPECT_EQ(exact.tolerance(), velk::GEOMETRIC_TOLERANCE);

  BackgroundLineSession metres{background, {}, 1e-3};
  EXPECT_EQ(metres.scale_exponent(), -16);  // 1e-8 * 2^16 = 6.6e-4, the largest not above 1e-3
  EXPECT_EQ(metres.tolerance(), std::ldexp(1e-8, 16));
  metres.insert("a", {0.3, 700.7});
  metres.insert("b", {0.3006, 700.7});  // within the tolerance of a's vertex: snaps onto it
  metres.insert("c", {0.3009, 700.7});  // within the one asked, not the one in effect
  EXPECT_NE(metres.vertex_of("c", 0), metres.vertex_of("a", 0));
  EXPECT_EQ(metres.vertex_of("b", 0), metres.vertex_of("a", 0));
  EXPECT_EQ(metres.point(*metres.vertex_of("a", 0)), 0.3);  // no digit changed
  EXPECT_EQ(metres.point(*metres.vertex_of("a", 1)), 700.7);
  EXPECT_EQ(metres.point(1), 0.1);

  exact.insert("a", {0.3, 700.7});
  exact.insert("b", {0.3009, 700.7});
  EXPECT_NE(exact.vertex_of("b", 0), exact.vertex_of("a", 0));
}

// The tolerance in effect is never above the one asked (nor half of it or below), so points
// farther apart than asked never snap together: asked 8, 17 snaps onto 20, never onto 10;
// asked 2.5, it stays a point of its own.
TEST(BackgroundLineSession, ToleranceInEffectIsNeverAboveTheOneAsked) {
  for (double const asked : {8.0, 1e-3, 3e-9, 1e-8, 0.7, 12345.0, 1e-300}) {
    BackgroundLineSession line{{0.0, 10.0, 20.0, 30.0}, {}, asked};
    EXPECT_LE(line.tolerance(), asked);
    EXPECT_GT(line.tolerance(), asked / 2);
    EXPECT_EQ(line.tolerance(), std::ldexp(velk::GEOMETRIC_TOLERANCE, -line.scale_exponent()));
  }
  for (auto const& [asked, landing] : {std::pair{8.0, 20.0}, std::pair{2.5, 17.0}}) {
    BackgroundLineSession line{{0.0, 10.0, 20.0, 30.0}, {}, asked};
    line.insert("a", {17.0, 25.0});
    EXPECT_EQ(line.point(*line.vertex_of("a", 0)), landing) << "asked " << asked;
  }
}

// A folded or zero-length background is warned about through the library's logger, in the
// words the command-line tool uses for the same background.
TEST(BackgroundLineSession, WarnsAboutFoldedAndZeroLengthBackgrounds) {
  struct Case {
    std::vector<double> points;
    std::vector<std::string> warnings;
  };
  std::string const unsorted =
      "; is the background sorted? (without \"edges\", its points are joined in file order)";
  std::vector<Case> const cases{
      {{0, 40, 10, 30, 20},
       {"background: 4 edges overlap other background edges, e.g. edge 0 (0 to 40) overlaps "
        "edge 1 (40 to 10)" +
        unsorted}},
      {{30, 0, 20, 10},
       {"background: 3 edges overlap other background edges, e.g. edge 0 (30 to 0) overlaps "
        "edge 1 (0 to 20)" +
        unsorted}},
      {{0, 0, 1},
       {"background: 1 edge of zero length (ends within 1e-08 of each other), e.g. edge 0 (0 to "
        "0)"}},
      {{0, 10, 20, 30}, {}},
  };
  for (auto const& [points, warnings] : cases) {
    std::vector<std::string> logged;
    velk::Logger::set_handler([&logged](velk::Logger::LEVEL level, std::string_view line) {
      if (level == velk::Logger::LEVEL::warn) logged.emplace_back(line);
    });
    BackgroundLineSession line{points};
    velk::Logger::set_handler(nullptr);
    EXPECT_EQ(logged, warnings);
  }
}

TEST(BackgroundLineSession, FindsPathsLongerThanTheDefaultStepLimit) {
  std::vector<double> chain(3001);
  for (std::size_t i = 0; i < chain.size(); ++i) chain[i] = static_cast<double>(i);
  BackgroundLineSession line{chain};
  line.insert("long", {0.5, 2999.5, 2999.5});  // edge 1 has both ends on one vertex
  auto const path = line.path("long", 0);
  ASSERT_TRUE(path.has_value());
  EXPECT_EQ(path->size(), 3000u);
  EXPECT_EQ(line.path("long", 1), Indices{});
}

TEST(BackgroundLineSession, OverlappingExcludesEdgesThatOnlyTouch) {
  // Two overlapping components: [0, 10] and [5, 15] (one edge each), then [20, 30].
  BackgroundLineSession line{{0, 10, 5, 15, 20, 30}, std::vector<Edge>{{0, 1}, {2, 3}, {4, 5}}};
  auto const edges_of = [&line](double a, double b) {
    Indices edges;
    for (auto const& piece : line.overlapping(a, b)) edges.push_back(piece.edge);
    return edges;
  };
  EXPECT_EQ(edges_of(6, 7), (Indices{0, 1}));
  EXPECT_EQ(edges_of(15, 20), Indices{});     // touches [5, 15] and [20, 30] only
  EXPECT_EQ(edges_of(15, 15), (Indices{1}));  // a point: the edges that contain it
  EXPECT_EQ(edges_of(-1e300, 1e300), (Indices{0, 1, 2}));
  auto const inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(edges_of(25, inf), (Indices{2}));
}

// After random insertions, `overlapping` and `vertex_of` agree with a scan of everything.
TEST(BackgroundLineSession, QueriesAgreeWithAFullScan) {
  for (unsigned seed = 1; seed <= 20; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random{seed};
    std::uniform_real_distribution<double> position{0.0, 100.0};
    std::vector<double> background{0.0};
    for (int i = 1; i <= 20; ++i) background.push_back(5.0 * i);
    BackgroundLineSession line{background, {}, 0.25};
    std::vector<std::vector<double>> curves;
    for (int curve = 0; curve < 6; ++curve) {
      std::vector<double> points;
      for (int i = 0; i < 5; ++i) points.push_back(std::round(position(random) * 4) / 4);
      line.insert("c" + std::to_string(curve), points);
      curves.push_back(points);
    }
    if (seed % 2 == 0) line.clean();

    for (std::size_t curve = 0; curve < curves.size(); ++curve) {
      auto const name = "c" + std::to_string(curve);
      for (index_t vertex = 0; vertex < curves[curve].size(); ++vertex) {
        std::optional<index_t> expected;
        for (index_t v = 0; v < line.nb_vertices() && !expected; ++v) {
          for (auto const& carried : line.macro_vertices(v)) {
            if (carried == CurveElement{name, vertex}) expected = v;
          }
        }
        ASSERT_TRUE(expected.has_value());
        EXPECT_EQ(line.vertex_of(name, vertex), expected);
        EXPECT_LE(std::abs(line.point(*expected) - curves[curve][vertex]), line.tolerance());
      }
    }
    for (int query = 0; query < 50; ++query) {
      auto a = std::round(position(random) * 4) / 4;
      auto b = std::round(position(random) * 4) / 4;
      if (a > b) std::swap(a, b);
      Indices expected;
      std::vector<std::pair<double, index_t>> order;
      for (index_t edge = 0; edge < line.nb_edges(); ++edge) {
        if (line.is_edge_detached(edge)) continue;
        auto const ends = line.edge(edge);
        auto const lo = std::min(line.point(ends[0]), line.point(ends[1]));
        auto const hi = std::max(line.point(ends[0]), line.point(ends[1]));
        // They share a part of the axis, or a point when one of them is a point.
        auto const low = std::max(lo, a);
        auto const high = std::min(hi, b);
        bool const shares = low < high || (low == high && (lo == hi || a == b));
        if (shares) order.emplace_back(lo, edge);
      }
      std::sort(order.begin(), order.end());
      for (auto const& entry : order) expected.push_back(entry.second);
      Indices found;
      for (auto const& piece : line.overlapping(a, b)) {
        found.push_back(piece.edge);
        EXPECT_EQ(piece.carried, line.macro_elements(piece.edge));
      }
      EXPECT_EQ(found, expected) << "[" << a << ", " << b << "]";
    }
  }
}

TEST(BackgroundLineSession, RefusesBadArgumentsBeforeChangingAnything) {
  auto const nan = std::numeric_limits<double>::quiet_NaN();
  BackgroundLineSession line{{0.0, 10.0, 20.0}};
  line.insert("well", {1.0, 2.0});
  auto const edges_before = line.nb_edges();
  std::vector<Edge> const loop{{0, 0}};
  std::vector<Edge> const far{{0, 5}};
  struct Case {
    std::function<void()> call;
    std::string message;
  };
  std::vector<Case> const cases{
      {[] {
         BackgroundLineSession{{0.0, 1.0}, {}, 0.0};
       },
       "[BackgroundLineSession::BackgroundLineSession] tolerance 0 must be positive and finite"},
      {[] {
         BackgroundLineSession{{0.0, 1.0}, {}, 1e-320};
       },
       "[BackgroundLineSession::BackgroundLineSession] tolerance 1e-320 is out of the range that "
       "coordinates can be scaled to"},
      {[&] {
         BackgroundLineSession{{0.0, nan}};
       },
       "[BackgroundLineSession::BackgroundLineSession] background: point 1 is not finite (nan)"},
      {[&] {
         BackgroundLineSession{{0.0, 1.0}, loop};
       },
       "[BackgroundLineSession::BackgroundLineSession] background: edge 0 joins vertex 0 to "
       "itself"},
      {[&] {
         BackgroundLineSession{{0.0, 1e300}, {}, 1e-20};
       },
       "[BackgroundLineSession::BackgroundLineSession] background: point 1 (1e+300) overflows "
       "when scaled by 2^40 for the tolerance"},
      {[&] {
         line.insert("well", {1.0, 2.0});
       },
       "[BackgroundLineSession::insert] a curve is already named \"well\""},
      {[&] {
         line.insert("", {1.0, 2.0});
       },
       "[BackgroundLineSession::insert] a curve needs a name"},
      {[&] {
         line.insert("new", {1.0, 2.0}, far);
       },
       "[BackgroundLineSession::insert] curve \"new\": edge 0 names vertex 5, out of range (2 "
       "points)"},
      {[&] {
         line.insert("new", {1.0, 2.0}, {}, {0, 1});
       },
       "[BackgroundLineSession::insert] curve \"new\": entry 1 of the edges to insert names edge "
       "1, out of range (1 edges)"},
      {[&] {
         line.insert("new", {1.0, 1e-310});
       },
       "[BackgroundLineSession::insert] curve \"new\": point 1 (1e-310) underflows when scaled "
       "by 2^0 for the tolerance"},
      {[&] { line.point(99); },
       "[BackgroundLineSession::point] background vertex 99 is out of range (5 vertices)"},
      {[&] { line.macro_elements(99); },
       "[BackgroundLineSession::macro_elements] background edge 99 is out of range (6 edges)"},
      {[&] { line.vertex_of("nobody", 0); },
       "[BackgroundLineSession::vertex_of] no curve is named \"nobody\""},
      {[&] { line.vertex_of("well", 2); },
       "[BackgroundLineSession::vertex_of] vertex 2 of curve \"well\" is out of range (2 "
       "vertices)"},
      {[&] { line.path("well", 1); },
       "[BackgroundLineSession::path] edge 1 of curve \"well\" is out of range (1 edges)"},
      {[&] { line.overlapping(2.0, 1.0); },
       "[BackgroundLineSession::overlapping] [2, 1] is not an interval"},
  };
  for (auto const& test : cases) EXPECT_EQ(refusal(test.call), test.message);
  EXPECT_EQ(line.nb_edges(), edges_before);
  EXPECT_EQ(line.curve_names(), std::vector<std::string>{"well"});
}

TEST(BackgroundLineSession, InsertsNothingWhenAPointLiesOffTheBackground) {
  BackgroundLineSession line{{0.0, 10.0}};
  auto const message = thrown_message([&] { line.insert("out", {2.0, 5.0, 12.0}); });
  EXPECT_EQ(message,
            "[BackgroundLineSession::insert] curve \"out\": point 2 (12) lies on no background "
            "edge; nothing was inserted");
  EXPECT_EQ(line.nb_edges(), 1u);
  EXPECT_FALSE(line.has_curve("out"));
  // The same name is free for the corrected curve.
  EXPECT_EQ(line.insert("out", {2.0, 5.0, 10.0}).size(), 2u);
}

TEST(BackgroundLineSession, KeepsWorkingAfterAMove) {
  BackgroundLineSession first{{0.0, 10.0}};
  first.insert("a", {2.0, 4.0});
  BackgroundLineSession moved{std::move(first)};
  moved.insert("b", {3.0, 8.0});
  EXPECT_EQ(moved.curve_names(), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(moved.curve("b").nb_vertices(), 2u);
  EXPECT_EQ(moved.macro_elements(moved.overlapping(3.5, 3.5)[0].edge),
            (std::vector<CurveElement>{{"a", 0}, {"b", 0}}));
}

// Removing a curve takes its macro information and the vertices only it needed, frees its
// name, and leaves the other curves' answers as they were.
TEST(BackgroundLineSession, RemovesACurveByName) {
  BackgroundLineSession line{{0.0, 10.0, 20.0}};
  line.insert("a", {2.0, 12.0});
  line.insert("b", {5.0, 15.0});
  auto const report = line.remove("a");
  EXPECT_EQ(report.macro_vertices_removed, 2u);
  EXPECT_EQ(report.macro_elements_removed, 3u);  // [2, 5], [5, 10] and [10, 12]
  EXPECT_EQ(report.vertices_merged, 2u);
  line.clean();
  EXPECT_EQ(line.curve_names(), (std::vector<std::string>{"b"}));
  EXPECT_EQ(line.points(), (std::vector<double>{0.0, 10.0, 20.0, 5.0, 15.0}));
  EXPECT_EQ(line.path("b", 0), (Indices{2, 1}));  // [5, 10], then [10, 15]
  EXPECT_EQ(refusal([&] { line.remove("a"); }),
            "[BackgroundLineSession::remove] no curve is named \"a\"");
  EXPECT_EQ(line.insert("a", {2.0, 4.0}).size(), 1u);
}

}  // namespace

// An interrupt check that throws stops an insertion at any of its stages (building the
// curve, checking its points, inserting its edges): the line is as before and the name free.
TEST(BackgroundLineSession, AnInterruptedInsertionChangesNothing) {
  std::vector<double> points(200'001);
  for (std::size_t i = 0; i < points.size(); ++i) points[i] = double(i) / (points.size() - 1);
  struct Stop {};
  for (int const calls_before_stop : {0, 4, 7, 30}) {
    BackgroundLineSession line{{0.0, 0.5, 1.0}};
    line.insert("first", {0.25, 0.75});
    auto const points_before = line.points();
    auto const edges_before = line.edges();
    int calls = 0;
    line.set_interrupt_check([&] {
      if (calls++ == calls_before_stop) throw Stop{};
    });
    EXPECT_THROW(line.insert("long", points), Stop) << calls_before_stop;
    EXPECT_EQ(line.points(), points_before);
    EXPECT_EQ(line.edges(), edges_before);
    EXPECT_EQ(line.curve_names(), std::vector<std::string>{"first"});
    auto const columns = line.macro_element_columns(Indices{0, 1, 2, 3, 4, 5});
    EXPECT_EQ(columns.curve.size(), 2u);
    line.set_interrupt_check({});
    EXPECT_EQ(line.insert("long", points).size(), points.size() - 1);
  }
}
