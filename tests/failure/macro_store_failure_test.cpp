// The macro-information store when memory runs out: reads that fill its caches, removals of
// an input mesh and clones, each made to fail at every one of its allocations in turn
// (failing_allocation.hpp). A failed read or clone leaves every list as it was; a failed
// removal leaves each list either as it was or as the removal makes it, and the removal,
// made again, completes it.
#include <cstdio>
#include <memory>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include <velk/background_line.hpp>

#include "failure/failing_allocation.hpp"
#include "support/background_fixture.hpp"

namespace {

using velk::index_t;
using velk::MeshElement;
using velk::MeshVertex;
using velk::internal::BackgroundLine;
using velk::test::at;

// Every list of a line, read in place (through the views, which keep nothing).
struct Lists {
  std::vector<std::vector<MeshVertex>> vertices;
  std::vector<std::vector<MeshElement>> edges;

  friend bool operator==(Lists const& lhs, Lists const& rhs) {
    return lhs.vertices == rhs.vertices && lhs.edges == rhs.edges;
  }
};

Lists lists_of(BackgroundLine const& line) {
  Lists lists;
  for (index_t vertex = 0; vertex < line.line().nb_vertices(); ++vertex) {
    auto const view = line.macro_vertex_view(vertex);
    lists.vertices.emplace_back(view.begin(), view.end());
  }
  for (index_t edge = 0; edge < line.line().nb_edges(); ++edge) {
    auto const view = line.macro_element_view(edge);
    lists.edges.emplace_back(view.begin(), view.end());
  }
  return lists;
}

// A background of four edges whose lists name three input meshes; splits made halves that
// share their edge's list, and one half then took a copy of its own.
struct Store {
  explicit Store(velk::uuid const (&meshes)[3]) : background{{0.0, 10.0, 20.0, 30.0, 40.0}} {
    auto& builder = background.line_builder;
    for (index_t edge = 0; edge < 4; ++edge)
      builder.add_macro_element_info({meshes[0], edge}, edge);
    for (index_t const edge : {1U, 2U}) builder.add_macro_element_info({meshes[1], edge}, edge);
    for (index_t vertex = 0; vertex < 5; ++vertex) {
      builder.add_macro_vertex_info({meshes[0], vertex}, vertex);
    }
    builder.add_macro_vertex_info({meshes[1], 0}, 1);
    auto const split = background.modifier.split_edge(1, at(15.0));
    background.modifier.split_edge(2, at(25.0));
    background.modifier.split_edge(split.new_edges[1], at(17.5));
    builder.add_macro_element_info({meshes[2], 0}, split.new_edges[0]);
  }

  BackgroundLine const& line() const { return background.line; }

  velk::test::EditableBackground background;
};

// A clone's curve and line, the line torn down first.
struct Clone {
  explicit Clone(
      std::tuple<std::unique_ptr<velk::EdgedCurve<1>>, std::unique_ptr<BackgroundLine>> made)
      : curve{std::move(std::get<0>(made))}, line{std::move(std::get<1>(made))} {}

  std::unique_ptr<velk::EdgedCurve<1>> curve;
  std::unique_ptr<BackgroundLine> line;
};

class MacroStoreFailure : public ::testing::Test {
 protected:
  velk::uuid const meshes_[3]{};
};

TEST_F(MacroStoreFailure, AReadThatRunsOutOfMemoryLeavesTheListsWhole) {
  long failures = 0;
  for (long allocation = 0;; ++allocation) {
    Store store{meshes_};
    auto const& line = store.line();
    auto const before = lists_of(line);
    auto const read_all = [&line] {
      for (index_t edge = 0; edge < line.line().nb_edges(); ++edge) line.macro_elements(edge);
      for (index_t vertex = 0; vertex < line.line().nb_vertices(); ++vertex) {
        line.macro_vertices(vertex);
      }
    };
    if (!velk::test::fails_at(allocation, read_all)) break;
    ++failures;
    ASSERT_TRUE(lists_of(line) == before) << "allocation " << allocation;
    for (index_t edge = 0; edge < line.line().nb_edges(); ++edge) {
      ASSERT_EQ(line.macro_elements(edge), before.edges[edge])
          << "allocation " << allocation << ", edge " << edge;
    }
    for (index_t vertex = 0; vertex < line.line().nb_vertices(); ++vertex) {
      ASSERT_EQ(line.macro_vertices(vertex), before.vertices[vertex])
          << "allocation " << allocation << ", vertex " << vertex;
    }
  }
  std::printf("%ld allocations made to fail in turn\n", failures);
  EXPECT_GT(failures, 10);
}

TEST_F(MacroStoreFailure, ARemovalThatRunsOutOfMemoryCanBeMadeAgain) {
  Store reference{meshes_};
  auto const before = lists_of(reference.line());
  reference.background.line_builder.remove_macro_mesh(meshes_[0]);
  auto const after = lists_of(reference.line());
  ASSERT_FALSE(after == before);

  long failures = 0;
  for (long allocation = 0;; ++allocation) {
    Store store{meshes_};
    auto& builder = store.background.line_builder;
    if (!velk::test::fails_at(allocation, [&] { builder.remove_macro_mesh(meshes_[0]); })) {
      break;
    }
    ++failures;
    auto const partial = lists_of(store.line());
    ASSERT_EQ(partial.vertices.size(), before.vertices.size());
    ASSERT_EQ(partial.edges.size(), before.edges.size());
    for (std::size_t vertex = 0; vertex < partial.vertices.size(); ++vertex) {
      ASSERT_TRUE(partial.vertices[vertex] == before.vertices[vertex] ||
                  partial.vertices[vertex] == after.vertices[vertex])
          << "allocation " << allocation << ", vertex " << vertex;
    }
    for (std::size_t edge = 0; edge < partial.edges.size(); ++edge) {
      ASSERT_TRUE(partial.edges[edge] == before.edges[edge] ||
                  partial.edges[edge] == after.edges[edge])
          << "allocation " << allocation << ", edge " << edge;
    }
    builder.remove_macro_mesh(meshes_[0]);
    ASSERT_TRUE(lists_of(store.line()) == after) << "allocation " << allocation;
    auto const again = builder.remove_macro_mesh(meshes_[0]);
    ASSERT_TRUE(again.vertices.empty() && again.edges.empty()) << "allocation " << allocation;
  }
  std::printf("%ld allocations made to fail in turn\n", failures);
  EXPECT_GT(failures, 3);
}

TEST_F(MacroStoreFailure, ACloneThatRunsOutOfMemoryLeavesTheOriginal) {
  long failures = 0;
  for (long allocation = 0;; ++allocation) {
    Store store{meshes_};
    auto const before = lists_of(store.line());
    if (!velk::test::fails_at(allocation, [&store] { Clone{store.line().clone()}; })) break;
    ++failures;
    ASSERT_TRUE(lists_of(store.line()) == before) << "allocation " << allocation;
    Clone const copy{store.line().clone()};
    ASSERT_TRUE(lists_of(*copy.line) == before) << "allocation " << allocation;
  }
  std::printf("%ld allocations made to fail in turn\n", failures);
  EXPECT_GT(failures, 10);
}

}  // namespace
