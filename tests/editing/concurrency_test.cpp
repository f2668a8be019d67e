// Independent background lines filled on several threads at once, as the tool's `overlay`
// does with one line per sequence: each line gets the same macro information as when filled
// alone, while every insertion composes its debug lines and reports progress through the
// shared logger. Run under ThreadSanitizer by `make test-tsan`.
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <velk/background_line.hpp>

#include "support/chain_curve.hpp"
#include "support/log_capture.hpp"

namespace {

using namespace velk;

// Per background edge, the (curve number, input edge) pairs it carries.
using Carried = std::vector<std::vector<std::pair<int, index_t>>>;

Carried fill_line(unsigned seed) {
  BackgroundLineLibrary::initialize();
  EdgedCurve<1> background;
  EdgedCurveBuilder<1> background_builder{background};
  std::vector<double> coordinates;
  for (int x = 0; x <= 50; ++x) coordinates.push_back(x);
  test::build_chain(background_builder, coordinates);
  internal::BackgroundLine line{background};
  internal::BackgroundLineBuilder line_builder{line};
  internal::BackgroundLineModifier modifier{line, line_builder, background_builder};
  internal::BackgroundLineInserter inserter{{line, modifier}, line_builder};

  std::mt19937 random{seed};
  std::uniform_real_distribution<double> position{0.0, 50.0};
  std::vector<std::unique_ptr<EdgedCurve<1>>> curves;
  for (int c = 0; c < 4; ++c) {
    curves.push_back(std::make_unique<EdgedCurve<1>>());
    EdgedCurveBuilder<1> builder{*curves.back()};
    for (int e = 0; e < 30; ++e) {
      auto const a = builder.create_point(Point<1>{{position(random)}});
      auto const b = builder.create_point(Point<1>{{position(random)}});
      builder.create_edge(a, b);
    }
    inserter.insert_curve(*curves.back());
  }
  Carried carried(background.nb_edges());
  for (index_t edge = 0; edge < background.nb_edges(); ++edge) {
    for (auto const& macro : line.macro_elements(edge)) {
      int curve = 0;
      while (curves[curve]->id() != macro.mesh_id) ++curve;
      carried[edge].emplace_back(curve, macro.element_id);
    }
  }
  return carried;
}

TEST(Concurrency, IndependentLinesFillOnThreadsAsAlone) {
  constexpr unsigned LINES = 6;
  std::vector<Carried> alone;
  for (unsigned seed = 0; seed < LINES; ++seed) alone.push_back(fill_line(seed));

  test::LogCapture capture{Logger::LEVEL::debug};
  std::vector<Carried> together(LINES);
  std::vector<std::thread> threads;
  for (unsigned seed = 0; seed < LINES; ++seed) {
    threads.emplace_back([&together, seed] { together[seed] = fill_line(seed); });
  }
  for (auto& thread : threads) thread.join();
  for (unsigned seed = 0; seed < LINES; ++seed) EXPECT_EQ(together[seed], alone[seed]);
  // 4 curves of 30 edges per line, 18 debug lines per edge and two progress lines per curve.
  EXPECT_EQ(capture.lines().size(), LINES * 4 * (30 * 18 + 2));
}

}  // namespace
