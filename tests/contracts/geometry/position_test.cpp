#include <geometry/position.hpp>

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace {

using velk::GEOMETRIC_TOLERANCE;
using velk::POSITION;

POSITION position_of(double x, double first, double second) {
  return velk::point_segment_position<1>(
      velk::Point<1>{{x}}, velk::Segment<1>{velk::Point<1>{{first}}, velk::Point<1>{{second}}});
}

TEST(PointSegmentPosition, ClassifiesInsideEndsAndOutside) {
  EXPECT_EQ(POSITION::outside, POSITION{0});
  EXPECT_EQ(position_of(1.0, 0.0, 2.0), POSITION::inside);
  EXPECT_EQ(position_of(0.0, 0.0, 2.0), POSITION::vertex0);
  EXPECT_EQ(position_of(2.0, 0.0, 2.0), POSITION::vertex1);
  EXPECT_EQ(position_of(-0.5, 0.0, 2.0), POSITION::outside);
  EXPECT_EQ(position_of(2.5, 0.0, 2.0), POSITION::outside);
}

TEST(PointSegmentPosition, ReversedSegmentKeepsItsVertexOrder) {
  EXPECT_EQ(position_of(1.0, 2.0, 0.0), POSITION::inside);
  EXPECT_EQ(position_of(2.0, 2.0, 0.0), POSITION::vertex0);
  EXPECT_EQ(position_of(0.0, 2.0, 0.0), POSITION::vertex1);
  EXPECT_EQ(position_of(-0.5, 2.0, 0.0), POSITION::outside);
  EXPECT_EQ(position_of(3.0, 2.0, 0.0), POSITION::outside);
}

TEST(PointSegmentPosition, ToleranceIsInclusive) {
  auto const just_beyond = std::nextafter(GEOMETRIC_TOLERANCE, 1.0);
  EXPECT_EQ(position_of(-GEOMETRIC_TOLERANCE, 0.0, 2.0), POSITION::vertex0);
  EXPECT_EQ(position_of(-just_beyond, 0.0, 2.0), POSITION::outside);
  EXPECT_EQ(position_of(-GEOMETRIC_TOLERANCE, 2.0, 0.0), POSITION::vertex1);
  EXPECT_EQ(position_of(-just_beyond, 2.0, 0.0), POSITION::outside);
  // Within the tolerance of an end but inside: the end wins.
  EXPECT_EQ(position_of(GEOMETRIC_TOLERANCE / 2, 0.0, 2.0), POSITION::vertex0);
}

TEST(PointSegmentPosition, ShortSegmentsGiveTheNearerEnd) {
  EXPECT_EQ(position_of(1.0, 1.0, 1.0), POSITION::vertex0);
  EXPECT_EQ(position_of(1.0 + GEOMETRIC_TOLERANCE / 2, 1.0, 1.0), POSITION::vertex0);
  EXPECT_EQ(position_of(1.5, 1.0, 1.0), POSITION::outside);
  double const end = 4 * GEOMETRIC_TOLERANCE / 10;
  EXPECT_EQ(position_of(end, 0.0, end), POSITION::vertex1);
  EXPECT_EQ(position_of(0.0, 0.0, end), POSITION::vertex0);
}

TEST(PointSegmentPosition, NotANumberIsOutside) {
  auto const nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(position_of(nan, 0.0, 2.0), POSITION::outside);
  EXPECT_EQ(position_of(nan, 0.0, 0.0), POSITION::outside);
  EXPECT_EQ(position_of(1.0, nan, 2.0), POSITION::outside);
  // A point on the one valid end of a segment whose other end is not a number.
  EXPECT_EQ(position_of(2.0, nan, 2.0), POSITION::outside);
  EXPECT_EQ(position_of(0.0, 0.0, nan), POSITION::outside);
}

}  // namespace
