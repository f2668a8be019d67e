#include <mesh/edged_curve.hpp>

#include <array>
#include <functional>
#include <memory>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <mesh/edged_curve_builder.hpp>

#include "support/chain_curve.hpp"

namespace {

using testing::ElementsAre;
using velk::EdgeVertex;
using Vertices = std::array<velk::index_t, 2>;

TEST(EdgedCurve, BuildsAsTheHostDocumentationShows) {
  velk::EdgedCurve<1> curve;
  EXPECT_NE(curve.id(), velk::EdgedCurve<1>{}.id());
  EXPECT_EQ(curve.name(), "");
  velk::EdgedCurveBuilder<1> builder{curve};
  builder.set_name("well-A");
  unsigned const v0 = builder.create_point(velk::Point<1>{{0.0}});
  unsigned const v1 = builder.create_point(velk::Point<1>{{2.5}});
  unsigned const e = builder.create_edge(v0, v1);
  EXPECT_EQ(v1, 1u);
  EXPECT_EQ(e, 0u);
  EXPECT_EQ(curve.nb_vertices(), 2u);
  EXPECT_EQ(curve.nb_edges(), 1u);
  EXPECT_EQ(curve.point(v1).value(0), 2.5);
  EXPECT_EQ(curve.edge_vertices(e), (Vertices{v0, v1}));
  EXPECT_THAT(curve.edges_around_vertex(v0), ElementsAre(EdgeVertex{e, 0}));
  EXPECT_EQ(curve.name(), "well-A");
  builder.set_point(v1, velk::Point<1>{{-1.0}});
  auto const segment = curve.segment(e);
  EXPECT_EQ(segment.vertex(0).value(0), 0.0);
  EXPECT_EQ(segment.vertex(1).value(0), -1.0);
}

TEST(EdgedCurve, AccessorsRefuseOutOfRangeIndices) {
  velk::EdgedCurve<1> curve;
  velk::EdgedCurveBuilder<1> builder{curve};
  velk::test::build_chain(builder, {0.0, 1.0, 2.0});
  EdgeVertex const missing_edge{2, 0};
  EdgeVertex const bad_local_index{0, 2};
  std::vector<std::function<void()>> const calls{[&] { curve.point(3); },
                                                 [&] { curve.point(velk::NO_ID); },
                                                 [&] { curve.edge_vertices(2); },
                                                 [&] { curve.edge_vertex(missing_edge); },
                                                 [&] { curve.edge_vertex(bad_local_index); },
                                                 [&] { curve.edges_around_vertex(3); },
                                                 [&] { curve.is_edge_detached(2); },
                                                 [&] { curve.segment(2); }};
  for (std::size_t call = 0; call < calls.size(); ++call) {
    EXPECT_THROW(calls[call](), velk::LumoraException) << "call " << call;
  }
  velk::EdgedCurve<1> empty;
  EXPECT_THROW(empty.point(0), velk::LumoraException);
  EXPECT_THROW(empty.edges_around_vertex(0), velk::LumoraException);
}

TEST(EdgedCurve, CloneIsAnIndependentDeepCopy) {
  velk::EdgedCurve<1> curve;
  velk::EdgedCurveBuilder<1> builder{curve};
  builder.set_name("original");
  velk::test::build_chain(builder, {0.0, 1.0, 2.0});
  builder.disconnect_edge(1);
  auto const tags = curve.vertex_attribute_manager().find_or_create_attribute<int>("tag", -1);
  auto const weights = curve.edge_attribute_manager().find_or_create_attribute<double>("w", 0.5);
  tags->set_value(2, 42);

  auto const copy = curve.clone();
  EXPECT_EQ(copy->id(), curve.id());
  EXPECT_EQ(copy->name(), "original");
  EXPECT_EQ(copy->point(2).value(0), 2.0);
  EXPECT_EQ(copy->edge_vertices(1), (Vertices{1, 2}));
  EXPECT_TRUE(copy->is_edge_detached(1));
  EXPECT_THAT(copy->edges_around_vertex(1), ElementsAre(EdgeVertex{0, 1}));
  auto const copy_tags = copy->vertex_attribute_manager().find_attribute<int>("tag");
  ASSERT_NE(copy_tags, nullptr);
  EXPECT_EQ(copy_tags->value(2), 42);
  EXPECT_EQ(copy_tags->default_value(), -1);
  EXPECT_EQ(copy->edge_attribute_manager().find_attribute<double>("w")->value(1), 0.5);

  velk::EdgedCurveBuilder<1> copy_builder{*copy};
  copy_builder.set_name("copy");
  copy_builder.set_point(0, velk::Point<1>{{-5.0}});
  copy_builder.create_edge(2, 0);
  copy_tags->set_value(2, 7);
  copy->edge_attribute_manager().delete_attribute("w");
  EXPECT_EQ(curve.name(), "original");
  EXPECT_EQ(curve.point(0).value(0), 0.0);
  EXPECT_EQ(curve.nb_edges(), 2u);
  EXPECT_THAT(curve.edges_around_vertex(0), ElementsAre(EdgeVertex{0, 0}));
  EXPECT_EQ(tags->value(2), 42);
  EXPECT_TRUE(curve.edge_attribute_manager().attribute_exists("w"));

  builder.set_point(2, velk::Point<1>{{8.0}});
  builder.delete_edges({true, false});
  weights->set_value(0, 9.0);
  EXPECT_EQ(copy->point(2).value(0), 2.0);
  EXPECT_EQ(copy->nb_edges(), 3u);
  EXPECT_EQ(copy->edge_vertices(0), (Vertices{0, 1}));
  EXPECT_FALSE(copy->is_edge_detached(0));
  EXPECT_EQ(copy_tags->value(2), 7);
}

}  // namespace
