// A failed insertion changes nothing: `BackgroundLineSession::insert` (and the library's
// `insert_new_curve` behind it) made to fail at each of its memory allocations in turn,
// through this program's replacement of the global `operator new` (failing_allocation.hpp).
// After each failure the session must be as it was before the call, in everything a caller
// can read (the lists around the vertices included), with the name free; inserting the
// curve again must then give what it gives on a session that never failed.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <velk/background_line_session.hpp>

#include "failure/failing_allocation.hpp"
#include "support/log_capture.hpp"

namespace {

using velk::BackgroundLineSession;
using velk::index_t;

// Everything a caller can read of a session, the library's lists around the vertices and
// the names of the curve's attributes included.
struct Observed {
  std::vector<std::uint64_t> point_bits;
  std::vector<BackgroundLineSession::Edge> edges;
  std::vector<bool> detached;
  std::vector<std::vector<velk::CurveElement>> macro_vertices;
  std::vector<std::vector<velk::CurveElement>> macro_elements;
  std::vector<std::vector<velk::EdgeVertex>> around;
  std::vector<std::string> curve_names;
  std::vector<std::string> attribute_names;

  friend bool operator==(Observed const& lhs, Observed const& rhs) {
    return lhs.point_bits == rhs.point_bits && lhs.edges == rhs.edges &&
           lhs.detached == rhs.detached && lhs.macro_vertices == rhs.macro_vertices &&
           lhs.macro_elements == rhs.macro_elements && lhs.around == rhs.around &&
           lhs.curve_names == rhs.curve_names && lhs.attribute_names == rhs.attribute_names;
  }
};

Observed observe(BackgroundLineSession const& session) {
  Observed observed;
  auto const& curve = session.background_line().line();
  for (auto const x : session.points()) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &x, sizeof bits);
    observed.point_bits.push_back(bits);
  }
  observed.edges = session.edges();
  for (index_t vertex = 0; vertex < session.nb_vertices(); ++vertex) {
    observed.macro_vertices.push_back(session.macro_vertices(vertex));
    auto const& around = curve.edges_around_vertex(vertex);
    observed.around.emplace_back(around.begin(), around.end());
  }
  for (index_t edge = 0; edge < session.nb_edges(); ++edge) {
    observed.detached.push_back(session.is_edge_detached(edge));
    observed.macro_elements.push_back(session.macro_elements(edge));
  }
  observed.curve_names = session.curve_names();
  observed.attribute_names = curve.vertex_attribute_manager().attribute_names();
  for (auto const& name : curve.edge_attribute_manager().attribute_names()) {
    observed.attribute_names.push_back("edge " + name);
  }
  return observed;
}

// A background of three edges, a curve inserted and another inserted then removed (so
// that edges carry macro elements, splits made vertices and some edges are detached), and
// the curve to insert: it splits edges of the background and its own new ones, snaps onto
// a vertex, runs over edges that carry the first curve, and lands twice on one vertex.
struct Scenario {
  explicit Scenario(bool first_insertion) : session{{0.0, 10.0, 20.0, 30.0}} {
    if (first_insertion) return;
    session.insert("a", {5.0, 25.0});
    session.insert("gone", {12.0, 14.0});
    session.remove("gone");
  }
  std::vector<velk::InsertedEdge> insert(std::vector<index_t> const& only) {
    return session.insert("b", {2.0, 12.0, 15.0, 27.0, 5.0, 5.0 + 1e-9}, {}, only);
  }
  BackgroundLineSession session;
};

TEST(BackgroundLineSessionFailure, AnInsertionThatRunsOutOfMemoryChangesNothing) {
  velk::test::LogCapture quiet{velk::Logger::LEVEL::warn};  // no progress lines
  for (bool const first_insertion : {true, false}) {
    for (auto const& only : {std::vector<index_t>{}, std::vector<index_t>{3, 0, 4}}) {
      SCOPED_TRACE(std::string{first_insertion ? "into the bare background" : "after others"} +
                   (only.empty() ? ", every edge" : ", chosen edges"));
      Scenario reference{first_insertion};
      auto const expected_report = reference.insert(only);
      auto const expected = observe(reference.session);

      long failures = 0;
      for (long allocation = 0;; ++allocation) {
        Scenario scenario{first_insertion};
        auto const before = observe(scenario.session);
        if (!velk::test::fails_at(allocation, [&] { scenario.insert(only); })) {
          break;  // the insertion needs fewer allocations than that
        }
        ++failures;
        ASSERT_TRUE(observe(scenario.session) == before)
            << "the session changed when allocation " << allocation << " failed";
        ASSERT_FALSE(scenario.session.has_curve("b")) << "allocation " << allocation;
        // The name is free, and the line behaves as one that never failed.
        auto const report = scenario.insert(only);
        ASSERT_EQ(report.size(), expected_report.size()) << "allocation " << allocation;
        ASSERT_TRUE(observe(scenario.session) == expected)
            << "inserting again after allocation " << allocation << " failed differs";
      }
      std::printf("%ld allocations made to fail in turn\n", failures);
      EXPECT_GT(failures, 50);
    }
  }
}

}  // namespace
