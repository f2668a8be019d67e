#include <velk/tracks/edge_rows.hpp>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <velk/tracks/track_error.hpp>

namespace {

using namespace velk::tracks;

// A background edge as a caller hands it over: its start and the tracks it carries.
struct Edge {
  double start;
  std::vector<std::size_t> tracks;
};

struct Case {
  char const* what;
  std::vector<Edge> edges;
  // The set of each row (rows over breakpoints 0, 10, 20, 30) as its tracks, "-" for none;
  // empty: the edges must be refused.
  std::vector<std::string> rows;
};

std::string text_of(LineRows const& rows, std::size_t row) {
  if (rows.set_of_edge[row] == LineRows::NO_SET) return "-";
  std::string text;
  for (std::size_t t = 0; t < 2; ++t) {
    if (rows.sets[rows.set_of_edge[row]].contains(t)) text += std::to_string(t);
  }
  return text;
}

TEST(EdgeRows, RowsTakeTheSetOfTheFinerEdgesInsideThem) {
  std::vector<Case> const cases{
      {"one edge per row", {{0, {0}}, {10, {}}, {20, {0, 1}}}, {"0", "-", "01"}},
      {"edges inside rows carry their row's set",
       {{0, {0}}, {4, {0}}, {10, {}}, {20, {1}}, {25, {1}}, {29, {1}}},
       {"0", "-", "1"}},
      {"an edge inside a row carries another set",
       {{0, {0}}, {5, {0, 1}}, {10, {}}, {20, {1}}},
       {}},
      {"an edge off the breakpoints", {{-1, {0}}, {0, {0}}, {10, {}}, {20, {1}}}, {}},
      {"an edge past the last breakpoint", {{0, {0}}, {10, {}}, {20, {1}}, {30, {1}}}, {}},
      {"edges that stop before the last row", {{0, {0}}, {10, {}}}, {}},
  };
  for (auto const& known : cases) {
    SCOPED_TRACE(known.what);
    Breakpoints breakpoints{{0, 10, 20, 30}, {0, 0, 0, 0}};
    EdgeRows rows{"chr1", breakpoints, "\"chr1\""};
    auto const run = [&] {
      CurveSet tracks{2};
      for (auto const& edge : known.edges) {
        tracks.clear();
        for (auto const t : edge.tracks) tracks.insert(t);
        rows.add(edge.start, tracks);
      }
      return std::move(rows).finish();
    };
    if (known.rows.empty()) {
      EXPECT_THROW(run(), TrackError);
      continue;
    }
    auto const line = run();
    EXPECT_EQ(line.sequence, "chr1");
    ASSERT_EQ(line.set_of_edge.size(), known.rows.size());
    for (std::size_t row = 0; row < known.rows.size(); ++row) {
      EXPECT_EQ(text_of(line, row), known.rows[row]) << "row " << row;
    }
  }
}

}  // namespace
