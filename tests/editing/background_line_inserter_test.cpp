#include <velk/background_line/background_line_inserter.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <initializer_list>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "support/background_fixture.hpp"
#include "support/log_capture.hpp"

namespace {

using velk::index_t;
using velk::Logger;
using velk::NO_ID;
using velk::internal::ElementInsertionInfo;
using velk::test::ChainWithBuilder;
using velk::test::macro_tag;
using velk::test::macro_tags;
using velk::test::MacroTags;
using Status = ElementInsertionInfo::INSERTION_STATUS;
using Entries = std::vector<std::pair<int, index_t>>;
using Texts = std::vector<std::string>;

constexpr char const* FAILED_TO_INSERT =
    "[BackgroundLineInserter::insert_curve] Failed to insert vertex.";

struct Background : velk::test::EditableBackground {
  using EditableBackground::EditableBackground;
  velk::internal::BackgroundLineInserter inserter{{line, modifier}, line_builder};
};

// A background made of whole edges given as vertex pairs (for loops and disjoint parts).
struct GraphBackground : Background {
  GraphBackground(std::vector<double> const& positions,
                  std::vector<std::pair<index_t, index_t>> const& edges)
      : Background{std::vector<double>{}} {
    for (auto const x : positions) curve_builder.create_point(velk::test::at(x));
    for (auto const& edge : edges) curve_builder.create_edge(edge.first, edge.second);
  }
};

Entries entries(ElementInsertionInfo const& report) {
  Entries result;
  for (index_t entry = 0; entry < report.size(); ++entry) {
    result.emplace_back(static_cast<int>(report.status(entry)), report.element(entry));
  }
  return result;
}

std::pair<int, index_t> entry(Status status, index_t element) {
  return {static_cast<int>(status), element};
}

Texts texts_at(velk::test::LogCapture const& capture, Logger::LEVEL level) {
  Texts texts;
  for (auto const& line : capture.lines()) {
    if (line.first == level) texts.push_back(line.second);
  }
  return texts;
}

// The one vertex at `x` (splits put input points there exactly).
index_t vertex_at(velk::EdgedCurve<1> const& curve, double x) {
  index_t found = NO_ID;
  for (index_t vertex = 0; vertex < curve.nb_vertices(); ++vertex) {
    if (curve.point(vertex).value(0) != x) continue;
    EXPECT_EQ(found, NO_ID) << "two vertices at " << x;
    found = vertex;
  }
  EXPECT_NE(found, NO_ID) << "no vertex at " << x;
  return found;
}

// The live edge from the vertex at `a` to the vertex at `b`.
index_t edge_between(velk::EdgedCurve<1> const& curve, double a, double b) {
  auto const second = vertex_at(curve, b);
  for (auto const& around : curve.edges_around_vertex(vertex_at(curve, a))) {
    if (curve.edge_vertex(around.opposite()) == second) return around.edge_id;
  }
  ADD_FAILURE() << "no edge between " << a << " and " << b;
  return NO_ID;
}

MacroTags tags_between(Background const& background, double a, double b) {
  auto const edge = edge_between(background.curve, a, b);
  if (edge == NO_ID) return {{"no edge", NO_ID}};
  return macro_tags(background.line.macro_elements(edge));
}

MacroTags tags_at(Background const& background, double x) {
  return macro_tags(background.line.macro_vertices(vertex_at(background.curve, x)));
}

// Runs an insertion whose walk could fail to stop. A thread that never returns cannot be
// stopped safely, so a hang ends the test process with a message instead of waiting for
// the test runner's timeout.
template <typename Insertion>
ElementInsertionInfo finishing(Insertion&& insertion) {
  auto pending = std::async(std::launch::async, std::forward<Insertion>(insertion));
  if (pending.wait_for(std::chrono::seconds{60}) != std::future_status::ready) {
    std::fprintf(stderr, "the insertion did not finish: a walk does not stop\n");
    std::abort();
  }
  return pending.get();
}

std::string warning(char const* curve, index_t from, index_t along, index_t stopped,
                    index_t target) {
  return "[BackgroundLineInserter::insert_curve] walk of input edge 0 of curve " +
         std::string{curve} + " from background vertex " + std::to_string(from) +
         " along edge " + std::to_string(along) + " stopped at background vertex " +
         std::to_string(stopped) + " without reaching background vertex " +
         std::to_string(target) + "; its edges were not tagged";
}

TEST(BackgroundLineInserter, SplitsInsideAndSnapsOntoAVertexWritingTheirDebugLines) {
  Background background{{0.0, 1.0}};
  ChainWithBuilder input{{0.5, 1.0}, "well-A"};
  velk::test::LogCapture capture{Logger::LEVEL::debug};
  auto const report = background.inserter.insert_curve(input.curve);

  Texts const expected{
      "\"insert_curve_edge\" = insert_curve_edge", "edge_id = 0",
      "\"insert_vertex\" = insert_vertex", "point = 0.5", "\"INSERT VERTEX\" = INSERT VERTEX",
      "point = 0.5", "\"split\" = split", "inserted_vertex = 2", "vertex = 0",
      "background_vertices[v] = 2",
      "\"insert_vertex\" = insert_vertex", "point = 1", "\"INSERT VERTEX\" = INSERT VERTEX",
      "point = 1", "\"snap\" = snap", "inserted_vertex = 1", "vertex = 1",
      "background_vertices[v] = 1"};
  EXPECT_EQ(texts_at(capture, Logger::LEVEL::debug), expected);
  EXPECT_EQ(entries(report), (Entries{entry(Status::inserted, 0)}));

  EXPECT_EQ(background.curve.nb_vertices(), 3u);
  EXPECT_EQ(background.curve.point(2).value(0), 0.5);
  EXPECT_TRUE(background.curve.is_edge_detached(0));
  EXPECT_EQ(tags_at(background, 0.5), (MacroTags{macro_tag(input.curve, 0)}));
  EXPECT_EQ(tags_at(background, 1.0), (MacroTags{macro_tag(input.curve, 1)}));
  EXPECT_TRUE(tags_at(background, 0.0).empty());
  EXPECT_EQ(tags_between(background, 0.5, 1.0), (MacroTags{macro_tag(input.curve, 0)}));
  EXPECT_TRUE(tags_between(background, 0.0, 0.5).empty());
  velk::test::expect_consistent(background.curve);
}

TEST(BackgroundLineInserter, LeavesTheFilteringOfDebugLinesToTheLogger) {
  for (auto const level : {Logger::LEVEL::info, Logger::LEVEL::warn, Logger::LEVEL::trace}) {
    Background background{{0.0, 1.0}};
    ChainWithBuilder input{{0.5, 1.0}};
    velk::test::LogCapture capture{level};
    background.inserter.insert_curve(input.curve);
    auto const nb_debug = texts_at(capture, Logger::LEVEL::debug).size();
    auto const nb_info = texts_at(capture, Logger::LEVEL::info).size();
    SCOPED_TRACE(std::string{Logger::level_name(level)});
    EXPECT_EQ(nb_debug, level == Logger::LEVEL::trace ? 18u : 0u);
    EXPECT_EQ(nb_info, level == Logger::LEVEL::warn ? 0u : 2u);
    EXPECT_EQ(capture.lines().size(), nb_debug + nb_info);
  }
}

TEST(BackgroundLineInserter, PlacesASharedInputVertexOncePerEdge) {
  Background background{{0.0, 4.0}};
  ChainWithBuilder input{{1.0, 2.0, 3.0}};
  velk::test::LogCapture capture{Logger::LEVEL::debug};
  auto const report = background.inserter.insert_curve(input.curve);

  auto const debug = texts_at(capture, Logger::LEVEL::debug);
  EXPECT_EQ(std::count(debug.begin(), debug.end(), "\"split\" = split"), 3);
  EXPECT_EQ(std::count(debug.begin(), debug.end(), "\"snap\" = snap"), 1);
  EXPECT_EQ(entries(report), (Entries{entry(Status::inserted, 0), entry(Status::inserted, 1)}));
  EXPECT_EQ(tags_at(background, 2.0),
            (MacroTags{macro_tag(input.curve, 1), macro_tag(input.curve, 1)}));
  EXPECT_EQ(tags_between(background, 1.0, 2.0), (MacroTags{macro_tag(input.curve, 0)}));
  EXPECT_EQ(tags_between(background, 2.0, 3.0), (MacroTags{macro_tag(input.curve, 1)}));
  EXPECT_TRUE(tags_between(background, 0.0, 1.0).empty());
  EXPECT_TRUE(tags_between(background, 3.0, 4.0).empty());
}

TEST(BackgroundLineInserter, RecordsBothEndsOnTheVertexTheyBothSnapTo) {
  Background background{{0.0, 1.0, 2.0}};
  ChainWithBuilder input{{1.0, 1.0 + 0.5e-8}};
  velk::test::LogCapture capture{Logger::LEVEL::debug};
  auto const report = background.inserter.insert_curve(input.curve);

  EXPECT_EQ(entries(report), (Entries{entry(Status::inserted, 0)}));
  EXPECT_EQ(macro_tags(background.line.macro_vertices(1)),
            (MacroTags{macro_tag(input.curve, 0), macro_tag(input.curve, 1)}));
  EXPECT_EQ(background.curve.nb_edges(), 2u);
  EXPECT_TRUE(background.line.macro_elements(0).empty());
  EXPECT_TRUE(background.line.macro_elements(1).empty());
  EXPECT_TRUE(texts_at(capture, Logger::LEVEL::warn).empty());
}

// Forty background edges between the ends: longer than the walk's short list of passed
// vertices.
TEST(BackgroundLineInserter, TagsEveryCoveredEdgeOnceFromTheFirstVertexOn) {
  std::vector<double> positions;
  for (int vertex = 0; vertex <= 41; ++vertex) positions.push_back(vertex);
  Background background{positions};
  ChainWithBuilder input{{40.5, 0.5}};
  auto const report = background.inserter.insert_curve(input.curve);

  EXPECT_EQ(entries(report), (Entries{entry(Status::inserted, 0)}));
  MacroTags const carried{macro_tag(input.curve, 0)};
  std::vector<index_t> expected_chain;
  std::vector<double> stops{40.5};
  for (int vertex = 40; vertex >= 1; --vertex) stops.push_back(vertex);
  stops.push_back(0.5);
  for (std::size_t stop = 0; stop + 1 < stops.size(); ++stop) {
    EXPECT_EQ(tags_between(background, stops[stop], stops[stop + 1]), carried) << stops[stop];
    expected_chain.push_back(edge_between(background.curve, stops[stop], stops[stop + 1]));
  }
  EXPECT_TRUE(tags_between(background, 0.0, 0.5).empty());
  EXPECT_TRUE(tags_between(background, 40.5, 41.0).empty());
  EXPECT_EQ(background.line.macro_edge_path(
                {vertex_at(background.curve, 40.5), vertex_at(background.curve, 0.5)},
                velk::MeshEdge{input.curve.id(), 0}),
            expected_chain);
}

TEST(BackgroundLineInserter, FailureKeepsTheEdgesInsertedBeforeIt) {
  Background background{{0.0, 10.0}};
  ChainWithBuilder input{{1.0, 2.0, 3.0, 20.0}, "well-F"};
  velk::test::LogCapture capture{Logger::LEVEL::debug};
  EXPECT_EQ(velk::test::thrown_message([&] { background.inserter.insert_curve(input.curve); }),
            FAILED_TO_INSERT);

  auto const debug = texts_at(capture, Logger::LEVEL::debug);
  ASSERT_EQ(debug.size(), 18u + 18u + 2u + 8u + 2u);
  EXPECT_EQ(Texts(debug.begin() + 36, debug.begin() + 38),
            (Texts{"\"insert_curve_edge\" = insert_curve_edge", "edge_id = 2"}));
  auto const placed = std::to_string(vertex_at(background.curve, 3.0));
  EXPECT_EQ(Texts(debug.begin() + 38, debug.begin() + 46),
            (Texts{"\"insert_vertex\" = insert_vertex", "point = 3",
                   "\"INSERT VERTEX\" = INSERT VERTEX", "point = 3", "\"snap\" = snap",
                   "inserted_vertex = " + placed, "vertex = 2",
                   "background_vertices[v] = " + placed}));
  EXPECT_EQ(Texts(debug.end() - 2, debug.end()),
            (Texts{"\"insert_vertex\" = insert_vertex", "point = 20"}));
  auto const progress = texts_at(capture, Logger::LEVEL::info);
  auto const prefix = "Insertion of curve well-F (" + input.curve.id().string() + "): ";
  ASSERT_EQ(progress.size(), 2u);
  EXPECT_EQ(progress.front(), prefix + "started (3 steps)");
  EXPECT_EQ(progress.back().rfind(prefix + "interrupted at 2/3 after ", 0), 0u) << progress.back();

  // Edges 0 and 1 stay inserted; of edge 2 only vertex 0 was placed and recorded.
  EXPECT_EQ(tags_between(background, 1.0, 2.0), (MacroTags{macro_tag(input.curve, 0)}));
  EXPECT_EQ(tags_between(background, 2.0, 3.0), (MacroTags{macro_tag(input.curve, 1)}));
  EXPECT_TRUE(tags_between(background, 3.0, 10.0).empty());
  EXPECT_EQ(tags_at(background, 2.0),
            (MacroTags{macro_tag(input.curve, 1), macro_tag(input.curve, 1)}));
  EXPECT_EQ(tags_at(background, 3.0),
            (MacroTags{macro_tag(input.curve, 2), macro_tag(input.curve, 2)}));
  EXPECT_EQ(background.curve.nb_vertices(), 5u);
  std::size_t nb_records = 0;
  for (index_t vertex = 0; vertex < background.curve.nb_vertices(); ++vertex) {
    nb_records += background.line.macro_vertices(vertex).size();
  }
  EXPECT_EQ(nb_records, 5u);
  velk::test::expect_consistent(background.curve);
}

TEST(BackgroundLineInserter, FailsOnPointsTheBackgroundDoesNotCover) {
  Background background{{0.0, 10.0}};
  ChainWithBuilder placed{{1.0, 2.0}};
  background.inserter.insert_curve(placed.curve);
  auto const nb_vertices = background.curve.nb_vertices();

  ChainWithBuilder before_start{{-1.0, 1.0}};
  ChainWithBuilder not_a_number{{std::numeric_limits<double>::quiet_NaN(), 1.0}};
  for (auto const* input : {&before_start, &not_a_number}) {
    EXPECT_EQ(velk::test::thrown_message([&] {
                background.inserter.insert_curve_edges(input->curve, std::vector<index_t>{0});
              }),
              FAILED_TO_INSERT);
  }
  // The search still knows the background as it was before it shrank; the lookup of the
  // current background finds nothing at 7.
  background.modifier.move_point(vertex_at(background.curve, 10.0), velk::test::at(5.0));
  ChainWithBuilder beyond_end{{7.0, 8.0}};
  EXPECT_EQ(velk::test::thrown_message(
                [&] { background.inserter.insert_curve(beyond_end.curve); }),
            FAILED_TO_INSERT);
  EXPECT_EQ(background.curve.nb_vertices(), nb_vertices);
  EXPECT_EQ(tags_between(background, 1.0, 2.0), (MacroTags{macro_tag(placed.curve, 0)}));
}

TEST(BackgroundLineInserter, InsertsAnIndexListedTwiceTwice) {
  Background background{{0.0, 2.0}};
  ChainWithBuilder input{{0.5, 1.5}};
  auto const report =
      background.inserter.insert_curve_edges(input.curve, std::vector<index_t>{0, 0});

  EXPECT_EQ(entries(report), (Entries{entry(Status::inserted, 0), entry(Status::inserted, 0)}));
  EXPECT_EQ(tags_between(background, 0.5, 1.5),
            (MacroTags{macro_tag(input.curve, 0), macro_tag(input.curve, 0)}));
  EXPECT_EQ(tags_at(background, 0.5),
            (MacroTags{macro_tag(input.curve, 0), macro_tag(input.curve, 0)}));
  EXPECT_EQ(background.curve.nb_vertices(), 4u);
}

TEST(BackgroundLineInserter, RebuildsTheElementSearchOnlyWhenTheCleanStampChanged) {
  Background background{{0.0, 8.0}};
  EXPECT_EQ(background.inserter.nb_element_search_rebuilds(), 0u);
  ChainWithBuilder first{{1.0, 2.0}};
  background.inserter.insert_curve(first.curve);
  EXPECT_EQ(background.inserter.nb_element_search_rebuilds(), 1u);

  // Splits do not change the stamp, nor do cleans that remove nothing.
  ChainWithBuilder second{{3.0, 4.0}};
  background.inserter.insert_curve(second.curve);
  background.modifier.clean_vertices();
  background.inserter.insert_curve_edges(second.curve, {});
  EXPECT_EQ(background.inserter.nb_element_search_rebuilds(), 1u);

  auto const stamp = background.modifier.clean_stamp();
  background.modifier.clean_edges();
  ASSERT_NE(background.modifier.clean_stamp(), stamp);
  ChainWithBuilder third{{5.0, 6.0}};
  background.inserter.insert_curve(third.curve);
  EXPECT_EQ(background.inserter.nb_element_search_rebuilds(), 2u);
  background.inserter.insert_curve_edges(third.curve, {});
  EXPECT_EQ(background.inserter.nb_element_search_rebuilds(), 2u);
}

TEST(BackgroundLineInserter, InsertsIntoALineThatCleanEdgesRenumbered) {
  Background background{{0.0, 4.0}};
  ChainWithBuilder first{{1.0, 3.0}};
  background.inserter.insert_curve(first.curve);
  background.modifier.clean_edges();
  for (index_t edge = 0; edge < background.curve.nb_edges(); ++edge) {
    ASSERT_FALSE(background.curve.is_edge_detached(edge));
  }

  ChainWithBuilder second{{2.0, 3.5}};
  auto const report = background.inserter.insert_curve(second.curve);
  EXPECT_EQ(entries(report), (Entries{entry(Status::inserted, 0)}));
  EXPECT_TRUE(tags_between(background, 0.0, 1.0).empty());
  EXPECT_EQ(tags_between(background, 1.0, 2.0), (MacroTags{macro_tag(first.curve, 0)}));
  EXPECT_EQ(tags_between(background, 2.0, 3.0),
            (MacroTags{macro_tag(first.curve, 0), macro_tag(second.curve, 0)}));
  EXPECT_EQ(tags_between(background, 3.0, 3.5), (MacroTags{macro_tag(second.curve, 0)}));
  EXPECT_TRUE(tags_between(background, 3.5, 4.0).empty());
  EXPECT_EQ(tags_at(background, 3.0), (MacroTags{macro_tag(first.curve, 1)}));
  velk::test::expect_consistent(background.curve);
}

TEST(BackgroundLineInserter, InsertsACurveOfMoreThanSixtyFourEdges) {
  constexpr index_t NB_EDGES = 200;
  Background background{{0.0, 300.0}};
  std::vector<double> positions;
  for (index_t vertex = 0; vertex <= NB_EDGES; ++vertex) positions.push_back(vertex + 0.5);
  ChainWithBuilder input{positions};
  auto const report = background.inserter.insert_curve(input.curve);

  ASSERT_EQ(report.size(), NB_EDGES);
  for (index_t edge = 0; edge < NB_EDGES; ++edge) {
    EXPECT_EQ(entry(report.status(edge), report.element(edge)), entry(Status::inserted, edge));
    EXPECT_EQ(tags_between(background, edge + 0.5, edge + 1.5),
              (MacroTags{macro_tag(input.curve, edge)}))
        << "input edge " << edge;
  }
  EXPECT_EQ(tags_at(background, 100.5),
            (MacroTags{macro_tag(input.curve, 100), macro_tag(input.curve, 100)}));
  EXPECT_TRUE(tags_between(background, 200.5, 300.0).empty());
  velk::test::expect_consistent(background.curve);
}

TEST(BackgroundLineInserter, ReportsProgressAtInfoLevelUnderTheCurvesNameAndUuid) {
  Background background{{0.0, 4.0}};
  ChainWithBuilder input{{1.0, 2.0, 3.0}, "well-A"};
  velk::test::LogCapture capture{Logger::LEVEL::info};
  background.inserter.insert_curve(input.curve);

  auto const prefix = "Insertion of curve well-A (" + input.curve.id().string() + "): ";
  auto const progress = texts_at(capture, Logger::LEVEL::info);
  ASSERT_EQ(capture.lines().size(), progress.size());
  ASSERT_GE(progress.size(), 2u);
  EXPECT_EQ(progress.front(), prefix + "started (2 steps)");
  EXPECT_EQ(progress.back().rfind(prefix + "completed 2/2 in ", 0), 0u) << progress.back();
  for (auto const& line : progress) EXPECT_EQ(line.rfind(prefix, 0), 0u) << line;
}

TEST(BackgroundLineInserter, GivesAnEmptyReportForNoEdgesAndStillRunsTheProgressReport) {
  Background background{{0.0, 4.0}};
  ChainWithBuilder lonely{{1.0}, "lonely"};
  ChainWithBuilder input{{1.0, 2.0}, "input"};
  velk::test::LogCapture capture{Logger::LEVEL::info};
  EXPECT_EQ(background.inserter.insert_curve(lonely.curve).size(), 0u);
  EXPECT_EQ(background.inserter.nb_element_search_rebuilds(), 1u);
  EXPECT_EQ(background.inserter.insert_curve_edges(input.curve, {}).size(), 0u);

  auto const progress = texts_at(capture, Logger::LEVEL::info);
  ASSERT_EQ(progress.size(), 4u);
  auto const lonely_prefix = "Insertion of curve lonely (" + lonely.curve.id().string() + "): ";
  auto const input_prefix = "Insertion of curve input (" + input.curve.id().string() + "): ";
  EXPECT_EQ(progress[0], lonely_prefix + "started (0 steps)");
  EXPECT_EQ(progress[1].rfind(lonely_prefix + "completed 0/0 in ", 0), 0u) << progress[1];
  EXPECT_EQ(progress[2], input_prefix + "started (0 steps)");
  EXPECT_EQ(progress[3].rfind(input_prefix + "completed 0/0 in ", 0), 0u) << progress[3];
  EXPECT_EQ(background.curve.nb_vertices(), 2u);
  EXPECT_EQ(background.curve.nb_edges(), 1u);
}

TEST(BackgroundLineInserter, RefusesAModifierOfAnotherCurve) {
  Background background{{0.0, 1.0}};
  ChainWithBuilder other{{0.0, 1.0}};
  velk::EdgedCurveModifier<1> other_modifier{other.curve, other.curve_builder};
  EXPECT_EQ(velk::test::thrown_message([&] {
              velk::internal::BackgroundLineInserter inserter{{background.line, other_modifier},
                                                              background.line_builder};
            }),
            "[BackgroundLineInserter::BackgroundLineInserter] the modifier edits another curve "
            "than the background line's");
}

// Both ends snap onto vertex 1 at 0. The open end at 1.5e-8 lies within the tolerance of
// the input segment [0, 0.7e-8], but an input edge whose ends share a vertex covers no
// background edge: no walk sets out (one would run off the open end), nothing warns.
TEST(BackgroundLineInserter, StartsNoWalkWhenBothEndsShareAVertex) {
  Background background{{-1.0, 0.0, 1.5e-8}};
  ChainWithBuilder input{{0.0, 0.7e-8}, "short"};
  velk::test::LogCapture capture{Logger::LEVEL::debug};
  auto const report = finishing([&] { return background.inserter.insert_curve(input.curve); });

  EXPECT_EQ(entries(report), (Entries{entry(Status::inserted, 0)}));
  EXPECT_TRUE(texts_at(capture, Logger::LEVEL::warn).empty());
  EXPECT_EQ(macro_tags(background.line.macro_vertices(1)),
            (MacroTags{macro_tag(input.curve, 0), macro_tag(input.curve, 1)}));
  EXPECT_EQ(background.curve.nb_edges(), 2u);
  EXPECT_TRUE(background.line.macro_elements(0).empty());
  EXPECT_TRUE(background.line.macro_elements(1).empty());
}

// A loop 0-1-2-3-0 and a separate edge 4-5: the input runs from vertex 0 of the loop to
// vertex 4, so both walks go round the loop back to vertex 0.
TEST(BackgroundLineInserter, StopsWalksThatGoRoundALoopWithoutReachingTheSecondVertex) {
  GraphBackground background{{0.0, 1.0, 2.0, 3.0, 5.0, 6.0},
                             {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}}};
  ChainWithBuilder input{{0.0, 5.0, 5.5}, "loop-input"};
  velk::test::LogCapture capture{Logger::LEVEL::debug};
  auto const report = finishing([&] { return background.inserter.insert_curve(input.curve); });

  EXPECT_EQ(entries(report),
            (Entries{entry(Status::walk_stopped, 0), entry(Status::inserted, 1)}));
  EXPECT_EQ(texts_at(capture, Logger::LEVEL::warn),
            (Texts{warning("loop-input", 0, 0, 0, 4), warning("loop-input", 0, 3, 0, 4)}));
  for (index_t edge = 0; edge < 5; ++edge) {
    EXPECT_TRUE(background.line.macro_elements(edge).empty()) << "edge " << edge;
  }
  EXPECT_EQ(macro_tags(background.line.macro_vertices(0)), (MacroTags{macro_tag(input.curve, 0)}));
  EXPECT_EQ(tags_between(background, 5.0, 5.5), (MacroTags{macro_tag(input.curve, 1)}));
}

// The same round a loop of forty vertices, longer than the walk's short list of passed
// vertices.
TEST(BackgroundLineInserter, StopsWalksRoundALongLoop) {
  constexpr index_t NB_LOOP = 40;
  std::vector<double> positions;
  std::vector<std::pair<index_t, index_t>> edges;
  for (index_t vertex = 0; vertex < NB_LOOP; ++vertex) {
    positions.push_back(vertex);
    edges.emplace_back(vertex, (vertex + 1) % NB_LOOP);
  }
  positions.insert(positions.end(), {50.0, 51.0});
  edges.emplace_back(NB_LOOP, NB_LOOP + 1);
  GraphBackground background{positions, edges};
  ChainWithBuilder input{{0.0, 50.0}, "long-loop"};
  velk::test::LogCapture capture{Logger::LEVEL::debug};
  auto const report = finishing([&] { return background.inserter.insert_curve(input.curve); });

  EXPECT_EQ(entries(report), (Entries{entry(Status::walk_stopped, 0)}));
  EXPECT_EQ(texts_at(capture, Logger::LEVEL::warn),
            (Texts{warning("long-loop", 0, 0, 0, NB_LOOP),
                   warning("long-loop", 0, NB_LOOP - 1, 0, NB_LOOP)}));
  for (index_t edge = 0; edge <= NB_LOOP; ++edge) {
    EXPECT_TRUE(background.line.macro_elements(edge).empty()) << "edge " << edge;
  }
}

// Chain 0-1-2 over [0, 4] and an overlapping chain 3-4 over [1, 3]: the second end snaps
// onto vertex 4 of the other chain, which the walk along the first chain never meets.
TEST(BackgroundLineInserter, StopsAWalkThatDeadEndsOnAnotherChain) {
  GraphBackground background{{0.0, 2.0, 4.0, 1.0, 3.0}, {{0, 1}, {1, 2}, {3, 4}}};
  ChainWithBuilder input{{0.0, 3.0}, "crossing"};
  velk::test::LogCapture capture{Logger::LEVEL::debug};
  auto const report = finishing([&] { return background.inserter.insert_curve(input.curve); });

  EXPECT_EQ(entries(report), (Entries{entry(Status::walk_stopped, 0)}));
  EXPECT_EQ(texts_at(capture, Logger::LEVEL::warn), (Texts{warning("crossing", 0, 0, 2, 4)}));
  for (index_t edge = 0; edge < 3; ++edge) {
    EXPECT_TRUE(background.line.macro_elements(edge).empty()) << "edge " << edge;
  }
  EXPECT_EQ(macro_tags(background.line.macro_vertices(4)), (MacroTags{macro_tag(input.curve, 1)}));
}

// Both ends snap onto vertex 0 of a loop 0-1-2-0, with far ends on the input segment (vertex
// 1 at 1.5e-8; vertices 1 and 2 at +-1.2e-8): the input edge covers no background edge, and
// no walk goes round the loop.
TEST(BackgroundLineInserter, TagsNothingRoundALoopWhenBothEndsShareAVertexOnIt) {
  struct Case {
    std::vector<double> positions;
    std::vector<std::pair<index_t, index_t>> edges;
    std::vector<double> input;
  };
  for (auto const& loop :
       {Case{{0.0, 1.5e-8, 1.0}, {{0, 1}, {1, 2}, {2, 0}}, {0.0, 0.7e-8}},
        Case{{0.0, 1.2e-8, -1.2e-8}, {{2, 0}, {0, 1}, {1, 2}}, {-0.5e-8, 0.5e-8}}}) {
    SCOPED_TRACE(loop.positions[1]);
    GraphBackground background{loop.positions, loop.edges};
    ChainWithBuilder input{loop.input, "loop-short"};
    velk::test::LogCapture capture{Logger::LEVEL::debug};
    auto const report = finishing([&] { return background.inserter.insert_curve(input.curve); });

    EXPECT_EQ(entries(report), (Entries{entry(Status::inserted, 0)}));
    EXPECT_TRUE(texts_at(capture, Logger::LEVEL::warn).empty());
    EXPECT_EQ(macro_tags(background.line.macro_vertices(0)),
              (MacroTags{macro_tag(input.curve, 0), macro_tag(input.curve, 1)}));
    ASSERT_EQ(background.curve.nb_edges(), 3u);
    for (index_t edge = 0; edge < 3; ++edge) {
      EXPECT_TRUE(background.line.macro_elements(edge).empty()) << "edge " << edge;
    }
  }
}

}  // namespace
