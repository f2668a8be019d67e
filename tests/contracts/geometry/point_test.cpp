#include <geometry/point.hpp>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>

#include <gtest/gtest.h>

namespace {

TEST(Point, ReadsAndWritesItsCoordinate) {
  velk::Point<1> point;
  EXPECT_EQ(point.value(0), 0.0);
  point.set_value(0, -3.25);
  EXPECT_EQ(point.value(0), -3.25);
  EXPECT_EQ(point, velk::Point<1>{{-3.25}});
  EXPECT_NE(point, velk::Point<1>{{3.25}});
}

TEST(Point, RefusesAxisOutOfRange) {
  velk::Point<1> point{{1.0}};
  try {
    point.value(1);
    FAIL() << "axis 1 accepted";
  } catch (velk::LumoraException const& error) {
    EXPECT_STREQ(error.what(), "[Point::value] axis 1 is out of range (dimension 1)");
  }
  EXPECT_THROW(point.set_value(3, 2.0), velk::LumoraException);
  EXPECT_EQ(point.value(0), 1.0);
}

TEST(Point, TextIsShortestRoundTrip) {
  EXPECT_EQ(velk::Point<1>{{0.1}}.string(), "0.1");
  EXPECT_EQ(velk::Point<1>{{2.5}}.string(), "2.5");
  EXPECT_EQ(velk::Point<1>{{1e-9}}.string(), "1e-09");
  EXPECT_EQ(velk::Point<1>{{-0.0}}.string(), "-0");
  EXPECT_EQ(velk::Point<1>{{std::numeric_limits<double>::infinity()}}.string(), "inf");
  EXPECT_EQ(velk::Point<1>{{std::nan("")}}.string(), "nan");

  auto const seed = std::random_device{}();
  std::mt19937_64 engine{seed};
  std::uniform_int_distribution<std::uint64_t> bits;
  for (int trial = 0; trial < 2000; ++trial) {
    double value;
    auto const pattern = bits(engine);
    std::memcpy(&value, &pattern, sizeof value);
    if (!std::isfinite(value)) continue;
    auto const text = velk::Point<1>{{value}}.string();
    double const parsed = std::strtod(text.c_str(), nullptr);
    ASSERT_EQ(std::memcmp(&parsed, &value, sizeof value), 0)
        << "text " << text << " does not read back; seed " << seed;
    ASSERT_LE(text.size(), 24u) << text << "; seed " << seed;
  }
}

TEST(Point, IsFiniteOnlyForFiniteCoordinates) {
  EXPECT_TRUE(velk::Point<1>{{-1e300}}.is_finite());
  EXPECT_FALSE(velk::Point<1>{{std::nan("")}}.is_finite());
  EXPECT_FALSE(velk::Point<1>{{-std::numeric_limits<double>::infinity()}}.is_finite());
}

}  // namespace
