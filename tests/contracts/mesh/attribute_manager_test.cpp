#include <mesh/attribute_manager.hpp>

#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <mesh/edged_curve.hpp>
#include <mesh/edged_curve_builder.hpp>

#include "support/chain_curve.hpp"

namespace {

class AttributeManagerTest : public testing::Test {
 protected:
  void SetUp() override { velk::test::build_chain(builder, {0.0, 1.0, 2.0}); }

  velk::EdgedCurve<1> curve;
  velk::EdgedCurveBuilder<1> builder{curve};
  velk::AttributeManager& vertices = curve.vertex_attribute_manager();
  velk::AttributeManager& edges = curve.edge_attribute_manager();
};

TEST_F(AttributeManagerTest, FindOrCreateReturnsTheExistingAttribute) {
  EXPECT_EQ(vertices.nb_elements(), 3u);
  EXPECT_EQ(edges.nb_elements(), 2u);
  EXPECT_EQ(vertices.find_attribute<int>("tag"), nullptr);
  auto const created = vertices.find_or_create_attribute<int>("tag", 5);
  ASSERT_EQ(created->size(), 3u);
  EXPECT_EQ(created->value(2), 5);
  created->set_value(1, 8);
  auto const found = vertices.find_or_create_attribute<int>("tag", 99);
  EXPECT_EQ(found, created);
  EXPECT_EQ(found->value(1), 8);
  EXPECT_EQ(found->default_value(), 5);
  EXPECT_EQ(vertices.find_attribute<int>("tag"), created);
  EXPECT_FALSE(edges.attribute_exists("tag"));
}

TEST_F(AttributeManagerTest, RefusesAnotherValueType) {
  vertices.find_or_create_attribute<int>("tag", 0);
  try {
    vertices.find_or_create_attribute<double>("tag", 0.0);
    FAIL() << "attribute of another type handed out";
  } catch (velk::LumoraException const& error) {
    EXPECT_THAT(error.what(), testing::StartsWith("[AttributeManager::find_attribute] attribute "
                                                  "\"tag\" exists with another type than "));
  }
  EXPECT_THROW(vertices.find_attribute<unsigned>("tag"), velk::LumoraException);
  EXPECT_NE(vertices.find_attribute<int>("tag"), nullptr);
}

TEST_F(AttributeManagerTest, AttributesGrowWithNewElementsWithTheDefaultValue) {
  auto const tags = vertices.find_or_create_attribute<std::string>("name", "none");
  auto const weights = edges.find_or_create_attribute<double>("w", 1.5);
  tags->set_value(0, "first");
  weights->set_value(1, 4.0);
  auto const vertex = builder.create_point(velk::Point<1>{{3.0}});
  auto const edge = builder.create_edge(2, vertex);
  ASSERT_EQ(tags->size(), 4u);
  ASSERT_EQ(weights->size(), 3u);
  EXPECT_EQ(tags->value(vertex), "none");
  EXPECT_EQ(tags->value(0), "first");
  EXPECT_EQ(weights->value(edge), 1.5);
  EXPECT_EQ(weights->value(1), 4.0);
  EXPECT_THROW(weights->value(3), velk::LumoraException);
  EXPECT_THROW(weights->set_value(3, 0.0), velk::LumoraException);
}

TEST_F(AttributeManagerTest, DeletedAttributeStaysValidForItsHolders) {
  auto held = edges.find_or_create_attribute<int>("tag", 0);
  held->set_value(1, 6);
  edges.delete_attribute("tag");
  edges.delete_attribute("tag");  // already gone: nothing to do
  EXPECT_FALSE(edges.attribute_exists("tag"));
  EXPECT_EQ(held->value(1), 6);
  held->set_value(0, 2);

  // The held object no longer follows the mesh; a new attribute of that name is fresh.
  builder.create_edge(0, 2);
  EXPECT_EQ(held->size(), 2u);
  auto const fresh = edges.find_or_create_attribute<int>("tag", -1);
  EXPECT_NE(fresh, held);
  ASSERT_EQ(fresh->size(), 3u);
  EXPECT_EQ(fresh->value(1), -1);
}

}  // namespace
