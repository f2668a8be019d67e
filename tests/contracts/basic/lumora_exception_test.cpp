#include <basic/lumora_exception.hpp>

#include <pthread.h>

#include <exception>
#include <optional>
#include <stdexcept>

#include <gtest/gtest.h>

#include <geometry/point.hpp>
#include <mesh/edged_curve.hpp>
#include <mesh/edged_curve_builder.hpp>

namespace {

// The start function of a fresh thread: the stack under the throw is only the thread's
// own few frames, well below the ten slots.
void* throw_on_shallow_stack(void* result) {
  try {
    throw velk::LumoraException{"[Test::shallow] thrown"};
  } catch (velk::LumoraException const& error) {
    static_cast<std::optional<velk::LumoraException>*>(result)->emplace(error);
  }
  return nullptr;
}

TEST(LumoraException, CapturesShallowStackAndClearsUnusedSlots) {
  std::optional<velk::LumoraException> caught;
  pthread_t thread;
  ASSERT_EQ(pthread_create(&thread, nullptr, &throw_on_shallow_stack, &caught), 0);
  ASSERT_EQ(pthread_join(thread, nullptr), 0);
  ASSERT_TRUE(caught.has_value());
  EXPECT_STREQ(caught->what(), "[Test::shallow] thrown");
  auto const count = caught->stack_size();
  EXPECT_GT(count, 0);
  EXPECT_LT(count, velk::LumoraException::MAX_STACK_SIZE);
  for (int slot = 0; slot < velk::LumoraException::MAX_STACK_SIZE; ++slot) {
    if (slot < count) {
      EXPECT_NE(caught->stack()[slot], nullptr) << "slot " << slot;
    } else {
      EXPECT_EQ(caught->stack()[slot], nullptr) << "slot " << slot;
    }
  }
}

// Builds the exception under `depth` more frames of this function.
__attribute__((noinline)) velk::LumoraException make_at_depth(int depth) {
  if (depth > 0) {
    auto error = make_at_depth(depth - 1);
    return error;
  }
  return velk::LumoraException{"[Test::deep] thrown"};
}

TEST(LumoraException, CapturesAtMostTenAddressesAndKeepsThemInCopies) {
  auto const error = make_at_depth(15);
  EXPECT_EQ(error.stack_size(), velk::LumoraException::MAX_STACK_SIZE);
  // Each address is a frame's return address. The constructor's own frame, whose return
  // address is the constructor's call site, is skipped: all ten are the recursive call.
  EXPECT_NE(error.stack()[0], nullptr);
  for (auto const address : error.stack()) EXPECT_EQ(address, error.stack()[0]);
  velk::LumoraException const copy{error};
  EXPECT_EQ(copy.stack(), error.stack());
  EXPECT_EQ(copy.stack_size(), error.stack_size());
  EXPECT_STREQ(copy.what(), "[Test::deep] thrown");
}

TEST(LumoraException, IsCaughtAsStandardExceptions) {
  auto const thrower = [] { throw velk::LumoraException{"[Test::thrower] message kept"}; };
  try {
    thrower();
  } catch (std::runtime_error const& error) {
    EXPECT_STREQ(error.what(), "[Test::thrower] message kept");
  }
  try {
    thrower();
  } catch (std::exception const& error) {
    EXPECT_STREQ(error.what(), "[Test::thrower] message kept");
  }
}

template <typename Call>
std::string message_of(Call&& call) {
  try {
    call();
  } catch (velk::LumoraException const& error) {
    return error.what();
  }
  return "no exception";
}

TEST(LumoraException, IndexCheckMessagesNameCallIndexAndCount) {
  velk::EdgedCurve<1> curve;
  velk::EdgedCurveBuilder<1> builder{curve};
  for (int vertex = 0; vertex < 6; ++vertex) builder.create_point(velk::Point<1>{{1.0 * vertex}});
  for (velk::index_t edge = 0; edge < 5; ++edge) builder.create_edge(edge, edge + 1);

  EXPECT_EQ(message_of([&] { curve.edge_vertices(12); }),
            "[Graph::edge_vertices] edge index 12 is out of range (5 edges)");
  EXPECT_EQ(message_of([&] { curve.point(6); }),
            "[EdgedCurve::point] vertex index 6 is out of range (6 vertices)");
  velk::EdgeVertex const bad_local_index{0, 2};
  EXPECT_EQ(message_of([&] { curve.edge_vertex(bad_local_index); }),
            "[Graph::edge_vertex] local vertex index 2 is out of range (2 local vertices)");
  auto attribute = curve.edge_attribute_manager().find_or_create_attribute<int>("tag", 0);
  EXPECT_EQ(message_of([&] { attribute->value(5); }),
            "[VariableAttribute::value] element index 5 is out of range (5 elements)");
  EXPECT_EQ(
      message_of([] { velk::detail::check_index(3, 3, "ElementInsertionInfo::status", "entry"); }),
      "[ElementInsertionInfo::status] entry index 3 is out of range (3 entries)");
}

}  // namespace
