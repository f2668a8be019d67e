// The session's answers by handle agree with its answers by name; clean's renumbering says
// where every surviving vertex and edge went; the on-background query names the point that
// makes an insertion fail; the line stack survives moves and clones.
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <velk/background_line.hpp>

#include "support/log_capture.hpp"

namespace {

using velk::BackgroundLineSession;
using velk::CurveElement;
using velk::index_t;
using velk::NO_ID;

// A random job: a chain background over [0, 100] and curves of random points on it, some
// inserting only some of their edges.
struct RandomJob {
  std::vector<double> background;
  std::vector<std::string> names;
  std::vector<std::vector<double>> points;
  std::vector<std::optional<std::vector<index_t>>> only;

  explicit RandomJob(unsigned seed) {
    std::mt19937 random{seed};
    std::uniform_real_distribution<double> x{0.0, 100.0};
    for (int i = 0; i <= 10; ++i) background.push_back(10.0 * i);
    auto const nb_curves = 2 + random() % 5;
    for (unsigned c = 0; c < nb_curves; ++c) {
      names.push_back("c" + std::to_string(c));
      std::vector<double> curve;
      auto const nb_points = 2 + random() % 6;
      for (unsigned p = 0; p < nb_points; ++p) {
        // Some points on background vertices, so that curves share them.
        curve.push_back(random() % 3 == 0 ? 10.0 * (random() % 11) : x(random));
      }
      points.push_back(curve);
      if (random() % 3 == 0) {
        std::vector<index_t> subset;
        for (index_t e = 0; e + 1 < nb_points; ++e) {
          if (random() % 2 == 0) subset.push_back(e);
        }
        only.emplace_back(subset);
      } else {
        only.emplace_back();
      }
    }
  }
};

std::vector<CurveElement> named(BackgroundLineSession const& session, index_t item, bool vertex) {
  std::vector<CurveElement> result;
  auto const add = [&](std::size_t curve, index_t index) {
    result.push_back({session.curve_name(curve), index});
  };
  if (vertex) {
    session.for_each_macro_vertex(item, add);
  } else {
    session.for_each_macro_element(item, add);
  }
  return result;
}

TEST(BackgroundLineSessionHandles, AgreeWithTheAnswersByNameThroughRemovalAndClean) {
  velk::test::LogCapture quiet{velk::Logger::LEVEL::warn};
  for (unsigned seed = 0; seed < 40; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    RandomJob const job{seed};
    BackgroundLineSession by_handle{job.background};
    BackgroundLineSession by_name{job.background};
    std::vector<velk::CurveInput> inputs;
    for (std::size_t c = 0; c < job.names.size(); ++c) {
      velk::CurveInput input{job.names[c], job.points[c], {}, std::nullopt};
      if (job.only[c]) input.only = absl::MakeConstSpan(*job.only[c]);
      inputs.push_back(input);
    }
    auto const handles = by_handle.insert_curves(inputs);
    ASSERT_EQ(handles.size(), job.names.size());
    for (std::size_t c = 0; c < job.names.size(); ++c) {
      EXPECT_EQ(handles[c], c);
      EXPECT_EQ(by_handle.handle(job.names[c]), c);
      // `insert` inserts every edge for an empty list: only a non-empty subset compares.
      if (job.only[c] && job.only[c]->empty()) {
        by_name.insert_curve_edges(job.names[c], job.points[c], {}, {});
      } else {
        auto const report = by_name.insert(job.names[c], job.points[c], {},
                                           job.only[c] ? *job.only[c] : std::vector<index_t>{});
        auto const& expected = by_handle.report(c);
        ASSERT_EQ(report.size(), expected.size());
        for (std::size_t k = 0; k < report.size(); ++k) {
          EXPECT_EQ(report[k].edge, expected[k].edge);
          EXPECT_EQ(report[k].status, expected[k].status);
        }
      }
    }
    // Remove one curve, by handle here and by name there, then clean both.
    auto const gone = seed % job.names.size();
    by_handle.remove(gone);
    by_name.remove(job.names[gone]);
    EXPECT_FALSE(by_handle.has_curve(gone));
    EXPECT_THROW(by_handle.report(gone), velk::InvalidArgument);

    auto const old_points = by_handle.points();
    auto const old_edges = by_handle.edges();
    std::vector<bool> old_detached;
    for (index_t e = 0; e < by_handle.nb_edges(); ++e) {
      old_detached.push_back(by_handle.is_edge_detached(e));
    }
    auto const renumbering = by_handle.clean();
    by_name.clean();
    ASSERT_EQ(by_handle.points(), by_name.points());
    ASSERT_EQ(by_handle.edges(), by_name.edges());
    // Every live edge survives, between the renumbered vertices at the same coordinates.
    for (index_t e = 0; e < old_edges.size(); ++e) {
      auto const now = renumbering.edges.empty() ? e : renumbering.edges[e];
      ASSERT_EQ(now == NO_ID, static_cast<bool>(old_detached[e])) << "edge " << e;
      if (now == NO_ID) continue;
      for (int end = 0; end < 2; ++end) {
        auto const old_vertex = old_edges[e][end];
        auto const vertex =
            renumbering.vertices.empty() ? old_vertex : renumbering.vertices[old_vertex];
        ASSERT_EQ(by_handle.edge(now)[end], vertex);
        EXPECT_EQ(by_handle.point(vertex), old_points[old_vertex]);
      }
    }

    for (index_t v = 0; v < by_handle.nb_vertices(); ++v) {
      EXPECT_EQ(named(by_handle, v, true), by_name.macro_vertices(v)) << "vertex " << v;
    }
    for (index_t e = 0; e < by_handle.nb_edges(); ++e) {
      EXPECT_EQ(named(by_handle, e, false), by_name.macro_elements(e)) << "edge " << e;
      EXPECT_EQ(by_handle.nb_macro_elements(e), by_name.macro_elements(e).size());
    }
    // Every chain at once is every chain asked one by one.
    auto const all = by_handle.macro_edge_paths();
    std::size_t asked = 0;
    for (std::size_t c = 0; c < job.names.size(); ++c) {
      if (c == gone) continue;
      for (index_t e = 0; e + 1 < job.points[c].size(); ++e) {
        auto const one = by_name.path(job.names[c], e);
        EXPECT_EQ(by_handle.path(c, e), one);
        if (!one) continue;
        ++asked;
        std::size_t query = 0;
        while (query < all.curves.size() && (all.curves[query] != c || all.edges[query] != e)) {
          ++query;
        }
        ASSERT_LT(query, all.curves.size()) << c << ":" << e;
        ASSERT_TRUE(all.found(query));
        EXPECT_EQ(all.chain(query).to_vector(), *one);
      }
    }
    EXPECT_EQ(asked, all.curves.size());
    // The carriers of every vertex at once are `vertex_of`'s answers; stale ones are refused.
    auto const carriers = by_handle.carriers();
    ASSERT_EQ(carriers.size(), job.names.size());
    EXPECT_TRUE(carriers[gone].empty());
    for (std::size_t c = 0; c < job.names.size(); ++c) {
      if (c == gone) continue;
      for (index_t v = 0; v < job.points[c].size(); ++v) {
        EXPECT_EQ(carriers[c][v], by_name.vertex_of(job.names[c], v).value_or(NO_ID));
      }
    }
    EXPECT_EQ(by_handle.macro_edge_paths(carriers).curves, all.curves);
    auto stale = carriers;
    stale.pop_back();
    EXPECT_THROW(by_handle.macro_edge_paths(stale), velk::InvalidArgument);
  }
}

TEST(BackgroundLineSessionHandles, PointOffBackgroundNamesThePointThatFailsTheInsertion) {
  velk::test::LogCapture quiet{velk::Logger::LEVEL::err};
  struct Case {
    std::vector<double> points;
    std::optional<std::vector<index_t>> only;
    std::optional<index_t> off;
  };
  std::vector<Case> const cases{
      {{5.0, 15.0}, std::nullopt, std::nullopt},
      {{5.0, 35.0, 15.0}, std::nullopt, 1},
      {{-1.0, 5.0, 15.0}, std::nullopt, 0},
      {{-1.0, 5.0, 15.0}, std::vector<index_t>{1}, std::nullopt},  // edge 0 left out
      {{5.0, 15.0, 25.0, 50.0}, std::vector<index_t>{2, 0}, 3},
      {{30.0 + 1e-9, 0.0 - 1e-9}, std::nullopt, std::nullopt},  // within the tolerance
      {{5.0, 99.0}, std::vector<index_t>{}, std::nullopt},      // nothing to insert
  };
  for (std::size_t k = 0; k < cases.size(); ++k) {
    SCOPED_TRACE("case " + std::to_string(k));
    auto const& test = cases[k];
    BackgroundLineSession session{{0.0, 10.0, 20.0, 30.0}};
    std::optional<absl::Span<index_t const>> only;
    if (test.only) only = absl::MakeConstSpan(*test.only);
    EXPECT_EQ(session.point_off_background(test.points, {}, only), test.off);
    auto const insert = [&] {
      return test.only ? session.insert_curve_edges("c", test.points, {}, *test.only)
                       : session.insert_curve("c", test.points);
    };
    if (!test.off) {
      auto const handle = insert();
      EXPECT_EQ(session.report(handle).size(),
                test.only ? test.only->size() : test.points.size() - 1);
      continue;
    }
    auto const before = session.points();
    try {
      insert();
      ADD_FAILURE() << "inserted";
    } catch (velk::LumoraException const& error) {
      EXPECT_NE(std::string{error.what()}.find("point " + std::to_string(*test.off) + " ("),
                std::string::npos)
          << error.what();
    }
    EXPECT_EQ(session.points(), before);
    EXPECT_FALSE(session.has_curve("c"));
    EXPECT_FALSE(session.has_curve(std::size_t{0}));
  }
}

TEST(LineStack, MovedAndClonedStacksKeepWorking) {
  velk::test::LogCapture quiet{velk::Logger::LEVEL::warn};
  velk::internal::LineStack stack;
  for (double const x : {0.0, 10.0, 20.0}) {
    stack.curve_builder().create_point(velk::Point<1>{{x}});
  }
  stack.curve_builder().create_edge(0, 1);
  stack.curve_builder().create_edge(1, 2);
  velk::EdgedCurve<1> input;
  {
    velk::EdgedCurveBuilder<1> builder{input};
    builder.create_point(velk::Point<1>{{5.0}});
    builder.create_point(velk::Point<1>{{15.0}});
    builder.create_edge(0, 1);
  }
  stack.inserter().insert_curve(input);
  auto copy = stack.clone();
  velk::internal::LineStack moved{std::move(stack)};
  copy = std::move(moved);  // the clone's objects leave with `moved`
  copy.modifier().clean_edges();
  EXPECT_EQ(copy.curve().nb_edges(), 4u);
  std::size_t carried = 0;
  for (index_t e = 0; e < copy.curve().nb_edges(); ++e) {
    carried += copy.line().macro_element_view(e).size();
  }
  EXPECT_EQ(carried, 2u);  // the input edge, along the two edges between 5 and 15
}

}  // namespace
