#include <mesh/graph_builder.hpp>

#include <array>
#include <functional>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <mesh/edged_curve.hpp>
#include <mesh/edged_curve_builder.hpp>

#include "support/chain_curve.hpp"

namespace {

using testing::ElementsAre;
using testing::IsEmpty;
using velk::EdgeVertex;
using velk::NO_ID;
using Vertices = std::array<velk::index_t, 2>;

class GraphBuilderTest : public testing::Test {
 protected:
  velk::EdgedCurve<1> curve;
  velk::EdgedCurveBuilder<1> builder{curve};
};

TEST_F(GraphBuilderTest, EdgesAroundVertexFollowCreateSetAndDisconnect) {
  velk::test::build_chain(builder, {0.0, 1.0, 2.0, 3.0});
  EXPECT_THAT(curve.edges_around_vertex(1), ElementsAre(EdgeVertex{0, 1}, EdgeVertex{1, 0}));
  auto const loop = builder.create_edge(3, 3);
  EXPECT_THAT(curve.edges_around_vertex(3),
              ElementsAre(EdgeVertex{2, 1}, EdgeVertex{loop, 0}, EdgeVertex{loop, 1}));

  builder.set_edge_vertex({0, 1}, 2);
  builder.set_edge_vertex({loop, 1}, 0);
  EXPECT_EQ(curve.edge_vertices(0), (Vertices{0, 2}));
  EXPECT_EQ(curve.edge_vertices(loop), (Vertices{3, 0}));
  EXPECT_THAT(curve.edges_around_vertex(0), ElementsAre(EdgeVertex{0, 0}, EdgeVertex{loop, 1}));
  EXPECT_THAT(curve.edges_around_vertex(1), ElementsAre(EdgeVertex{1, 0}));
  EXPECT_THAT(curve.edges_around_vertex(2),
              ElementsAre(EdgeVertex{1, 1}, EdgeVertex{2, 0}, EdgeVertex{0, 1}));
  EXPECT_THAT(curve.edges_around_vertex(3), ElementsAre(EdgeVertex{2, 1}, EdgeVertex{loop, 0}));

  builder.disconnect_edge(1);
  builder.disconnect_edge(1);  // a second time does nothing
  EXPECT_TRUE(curve.is_edge_detached(1));
  EXPECT_FALSE(curve.is_edge_detached(0));
  EXPECT_EQ(curve.edge_vertices(1), (Vertices{1, 2}));
  EXPECT_THAT(curve.edges_around_vertex(1), IsEmpty());
  EXPECT_THAT(curve.edges_around_vertex(2), ElementsAre(EdgeVertex{2, 0}, EdgeVertex{0, 1}));
  // On a detached edge only the stored vertex changes.
  builder.set_edge_vertex({1, 0}, 3);
  EXPECT_EQ(curve.edge_vertices(1), (Vertices{3, 2}));
  EXPECT_THAT(curve.edges_around_vertex(3), ElementsAre(EdgeVertex{2, 1}, EdgeVertex{loop, 0}));
}

TEST_F(GraphBuilderTest, ReservingChangesNothingWhateverTheEstimate) {
  velk::test::build_chain(builder, {0.0, 1.0, 2.0});
  auto const tags = curve.edge_attribute_manager().find_or_create_attribute<int>("tag", 7);
  tags->set_value(1, 3);
  // Room for fewer than there are, then for more than will be made, then for too few again.
  for (auto const room : {Vertices{1, 1}, Vertices{40, 80}, Vertices{4, 4}}) {
    builder.reserve(room[0], room[1]);
    EXPECT_EQ(curve.nb_vertices(), 3u);
    EXPECT_EQ(curve.nb_edges(), 2u);
    EXPECT_EQ(tags->size(), 2u);
  }
  for (int i = 0; i < 60; ++i) {
    auto const vertex = builder.create_point(velk::Point<1>{{3.0 + i}});
    builder.create_edge(vertex - 1, vertex);
  }
  EXPECT_EQ(curve.nb_vertices(), 63u);
  EXPECT_EQ(curve.nb_edges(), 62u);
  EXPECT_EQ(curve.point(62).value(0), 62.0);
  EXPECT_EQ(curve.edge_vertices(61), (Vertices{61, 62}));
  EXPECT_EQ(tags->size(), 62u);
  EXPECT_EQ(tags->value(1), 3);
  EXPECT_EQ(tags->value(61), 7);
  EXPECT_THAT(curve.edges_around_vertex(2), ElementsAre(EdgeVertex{1, 1}, EdgeVertex{2, 0}));
}

TEST_F(GraphBuilderTest, DeleteEdgesRenumbersEdgesAroundListsAndAttributes) {
  velk::test::build_chain(builder, {0.0, 1.0, 2.0, 3.0, 4.0});
  auto tags = curve.edge_attribute_manager().find_or_create_attribute<int>("tag", 0);
  for (velk::index_t edge = 0; edge < 4; ++edge) tags->set_value(edge, 10 + edge);
  builder.disconnect_edge(2);

  EXPECT_THAT(builder.delete_edges({false, true, false, false}), ElementsAre(0, NO_ID, 1, 2));
  ASSERT_EQ(curve.nb_edges(), 3u);
  EXPECT_EQ(curve.edge_vertices(1), (Vertices{2, 3}));
  EXPECT_EQ(curve.edge_vertices(2), (Vertices{3, 4}));
  EXPECT_TRUE(curve.is_edge_detached(1));
  EXPECT_FALSE(curve.is_edge_detached(2));
  EXPECT_THAT(curve.edges_around_vertex(1), ElementsAre(EdgeVertex{0, 1}));
  EXPECT_THAT(curve.edges_around_vertex(2), IsEmpty());
  EXPECT_THAT(curve.edges_around_vertex(3), ElementsAre(EdgeVertex{2, 0}));
  EXPECT_THAT(curve.edges_around_vertex(4), ElementsAre(EdgeVertex{2, 1}));
  ASSERT_EQ(tags->size(), 3u);
  EXPECT_EQ(tags->value(0), 10);
  EXPECT_EQ(tags->value(1), 12);
  EXPECT_EQ(tags->value(2), 13);
}

TEST_F(GraphBuilderTest, DeleteVerticesRenumbersPointsEdgesAndAttributes) {
  builder.create_point(velk::Point<1>{{9.0}});
  velk::test::build_chain(builder, {0.0, 1.0, 2.0});
  auto labels = curve.vertex_attribute_manager().find_or_create_attribute<int>("label", 0);
  for (velk::index_t vertex = 0; vertex < 4; ++vertex) labels->set_value(vertex, 100 + vertex);

  EXPECT_THAT(builder.delete_vertices({true, false, false, false}), ElementsAre(NO_ID, 0, 1, 2));
  ASSERT_EQ(curve.nb_vertices(), 3u);
  EXPECT_EQ(curve.point(0).value(0), 0.0);
  EXPECT_EQ(curve.point(2).value(0), 2.0);
  EXPECT_EQ(curve.edge_vertices(0), (Vertices{0, 1}));
  EXPECT_EQ(curve.edge_vertices(1), (Vertices{1, 2}));
  EXPECT_THAT(curve.edges_around_vertex(1), ElementsAre(EdgeVertex{0, 1}, EdgeVertex{1, 0}));
  EXPECT_THAT(curve.edges_around_vertex(2), ElementsAre(EdgeVertex{1, 1}));
  ASSERT_EQ(labels->size(), 3u);
  EXPECT_EQ(labels->value(0), 101);
  EXPECT_EQ(labels->value(2), 103);

  // A detached edge may name a removed vertex: it then names no vertex.
  builder.disconnect_edge(1);
  EXPECT_THAT(builder.delete_vertices({false, false, true}), ElementsAre(0, 1, NO_ID));
  EXPECT_EQ(curve.edge_vertices(1), (Vertices{1, NO_ID}));
}

TEST_F(GraphBuilderTest, RefusedCallsChangeNothing) {
  velk::test::build_chain(builder, {0.0, 1.0});
  builder.create_point(velk::Point<1>{{5.0}});
  auto labels = curve.vertex_attribute_manager().find_or_create_attribute<int>("label", 0);
  labels->set_value(2, 7);
  auto const revision = curve.revision();
  try {
    builder.delete_vertices({false, true, true});
    FAIL() << "vertex with an edge deleted";
  } catch (velk::LumoraException const& error) {
    EXPECT_STREQ(error.what(),
                 "[GraphBuilder::delete_vertices] vertex 1 still has 1 edges around it");
  }
  try {
    builder.delete_edges({true, false});
    FAIL() << "wrong flag count accepted";
  } catch (velk::LumoraException const& error) {
    EXPECT_STREQ(error.what(), "[GraphBuilder::delete_edges] 2 flags given for 1 edges");
  }
  EdgeVertex const missing_edge{1, 0};
  EdgeVertex const bad_local_index{0, 2};
  EdgeVertex const first_end{0, 0};
  std::vector<std::function<void()>> const calls{
      [&] { builder.delete_vertices({true}); },
      [&] { builder.create_edge(0, 3); },
      [&] { builder.create_edge(3, 0); },
      [&] { builder.set_edge_vertex(missing_edge, 0); },
      [&] { builder.set_edge_vertex(bad_local_index, 0); },
      [&] { builder.set_edge_vertex(first_end, 3); },
      [&] { builder.disconnect_edge(1); },
      [&] { builder.set_point(3, velk::Point<1>{{3.0}}); }};
  for (std::size_t call = 0; call < calls.size(); ++call) {
    EXPECT_THROW(calls[call](), velk::LumoraException) << "call " << call;
  }
  EXPECT_EQ(curve.revision(), revision);
  EXPECT_EQ(curve.nb_vertices(), 3u);
  EXPECT_EQ(curve.nb_edges(), 1u);
  EXPECT_EQ(curve.edge_vertices(0), (Vertices{0, 1}));
  EXPECT_THAT(curve.edges_around_vertex(0), ElementsAre(EdgeVertex{0, 0}));
  EXPECT_THAT(curve.edges_around_vertex(1), ElementsAre(EdgeVertex{0, 1}));
  EXPECT_EQ(curve.point(2).value(0), 5.0);
  EXPECT_EQ(labels->value(2), 7);
}

TEST_F(GraphBuilderTest, RevisionChangesOnEveryEdit) {
  EdgeVertex const second_edge_end{1, 1};
  std::vector<bool> const second_edge{false, true};
  std::vector<bool> const third_vertex{false, false, true};
  std::vector<std::function<void()>> const edits{
      [&] { builder.create_point(velk::Point<1>{{0.0}}); },
      [&] { builder.create_point(velk::Point<1>{{1.0}}); },
      [&] { builder.create_point(velk::Point<1>{{2.0}}); },
      [&] { builder.set_point(2, velk::Point<1>{{4.0}}); },
      [&] { builder.create_edge(0, 1); },
      [&] { builder.create_edge(1, 2); },
      [&] { builder.set_edge_vertex(second_edge_end, 0); },
      [&] { builder.disconnect_edge(1); },
      [&] { builder.delete_edges(second_edge); },
      [&] { builder.delete_vertices(third_vertex); }};
  for (std::size_t edit = 0; edit < edits.size(); ++edit) {
    auto const before = curve.revision();
    edits[edit]();
    EXPECT_NE(curve.revision(), before) << "edit " << edit;
  }
}

}  // namespace
