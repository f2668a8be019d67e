#include <mesh/mesh_element.hpp>

#include <gtest/gtest.h>

namespace {

TEST(EdgeVertex, OppositeFlipsTheLocalIndexOnTheSameEdge) {
  velk::EdgeVertex const second{7, 1};
  EXPECT_EQ(second.opposite(), (velk::EdgeVertex{7, 0}));
  EXPECT_EQ(second.opposite().opposite(), second);
  EXPECT_NE(second, (velk::EdgeVertex{7, 0}));
  EXPECT_NE(second, (velk::EdgeVertex{6, 1}));
}

}  // namespace
