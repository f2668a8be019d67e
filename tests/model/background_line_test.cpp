#include <velk/background_line.hpp>

#include <memory>
#include <optional>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "support/model_fixtures.hpp"

namespace {

using velk::MeshElement;
using velk::MeshVertex;
using velk::internal::BackgroundLine;
using velk::internal::BackgroundLineBuilder;
using velk::internal::MacroInfo;
using Vertices = std::vector<MeshVertex>;
using Elements = std::vector<MeshElement>;

bool has_macro_attributes(velk::EdgedCurve<1> const& curve) {
  auto const on_vertices =
      curve.vertex_attribute_manager().attribute_exists(MacroInfo::VERTEX_ATTRIBUTE_NAME);
  auto const on_edges =
      curve.edge_attribute_manager().attribute_exists(MacroInfo::EDGE_ATTRIBUTE_NAME);
  EXPECT_EQ(on_vertices, on_edges) << "only one of the two macro attributes is present";
  return on_vertices && on_edges;
}

// A chain 0-1-2 carrying an input's vertex 0 on vertex 1 and edge 3 on edge 0, with a
// caller's own "tag" attribute on both managers.
struct TaggedChain {
  TaggedChain() {
    velk::test::build_unit_chain(curve_builder, 2);
    curve.vertex_attribute_manager().find_or_create_attribute<int>("tag", 7);
    curve.edge_attribute_manager().find_or_create_attribute<int>("tag", 8);
  }
  void add_macro_information(BackgroundLine& line) const {
    BackgroundLineBuilder builder{line};
    builder.add_macro_vertex_info(vertex, 1);
    builder.add_macro_element_info(element, 0);
  }
  velk::EdgedCurve<1> curve;
  velk::EdgedCurveBuilder<1> curve_builder{curve};
  velk::uuid input;
  MeshVertex vertex{input, 0};
  MeshElement element{input, 3};
};

TEST(BackgroundLine, ConstructionCreatesMacroAttributesAndDestructionRemovesOnlyThem) {
  TaggedChain chain;
  ASSERT_FALSE(has_macro_attributes(chain.curve));
  std::optional<BackgroundLine> line{std::in_place, chain.curve};
  EXPECT_EQ(&line->line(), &chain.curve);
  ASSERT_TRUE(has_macro_attributes(chain.curve));
  // Each list lives on its own manager, under the element kind it belongs to.
  EXPECT_FALSE(
      chain.curve.vertex_attribute_manager().attribute_exists(MacroInfo::EDGE_ATTRIBUTE_NAME));
  chain.add_macro_information(*line);
  EXPECT_EQ(line->macro_elements(0), Elements{chain.element});
  EXPECT_EQ(line->macro_vertices(1), Vertices{chain.vertex});

  line.reset();
  EXPECT_FALSE(
      chain.curve.vertex_attribute_manager().attribute_exists(MacroInfo::VERTEX_ATTRIBUTE_NAME));
  EXPECT_FALSE(
      chain.curve.edge_attribute_manager().attribute_exists(MacroInfo::EDGE_ATTRIBUTE_NAME));
  EXPECT_TRUE(chain.curve.vertex_attribute_manager().attribute_exists("tag"));
  EXPECT_TRUE(chain.curve.edge_attribute_manager().attribute_exists("tag"));
}

TEST(BackgroundLine, LineOverEmptyCurveInitializesGrowsAndCleans) {
  velk::EdgedCurve<1> curve;
  {
    BackgroundLine line{curve};
    EXPECT_TRUE(has_macro_attributes(curve));
    velk::EdgedCurveBuilder<1> curve_builder{curve};
    velk::test::build_unit_chain(curve_builder, 1);
    EXPECT_TRUE(line.macro_vertices(1).empty());
    EXPECT_TRUE(line.macro_elements(0).empty());
  }
  EXPECT_FALSE(has_macro_attributes(curve));
}

TEST(BackgroundLine, MovedFromLineLeavesTheCleanUpToTheTarget) {
  TaggedChain chain;
  auto source = std::make_unique<BackgroundLine>(chain.curve);
  chain.add_macro_information(*source);
  std::optional<BackgroundLine> target{std::in_place, std::move(*source)};
  source.reset();
  EXPECT_TRUE(has_macro_attributes(chain.curve));
  EXPECT_EQ(&target->line(), &chain.curve);
  EXPECT_EQ(target->macro_vertices(1), Vertices{chain.vertex});
  EXPECT_EQ(target->macro_elements(0), Elements{chain.element});

  target.reset();
  EXPECT_FALSE(has_macro_attributes(chain.curve));
}

TEST(BackgroundLine, CloneWrapsItsOwnCopyAndLeavesTheOriginalAlone) {
  TaggedChain chain;
  BackgroundLine line{chain.curve};
  chain.add_macro_information(line);
  auto [curve_copy, line_copy] = line.clone();

  EXPECT_EQ(&line_copy->line(), curve_copy.get());
  EXPECT_NE(curve_copy.get(), &chain.curve);
  EXPECT_EQ(curve_copy->nb_vertices(), 3u);
  EXPECT_EQ(curve_copy->nb_edges(), 2u);
  EXPECT_EQ(line_copy->macro_vertices(1), Vertices{chain.vertex});
  EXPECT_EQ(line_copy->macro_elements(0), Elements{chain.element});
  EXPECT_TRUE(line_copy->macro_elements(1).empty());

  // Editing the clone's information and curve changes nothing of the original.
  velk::uuid other;
  BackgroundLineBuilder copy_builder{*line_copy};
  copy_builder.add_macro_element_info(MeshElement{other, 0}, 1);
  copy_builder.add_macro_vertex_info(MeshVertex{other, 0}, 1);
  velk::EdgedCurveBuilder<1> copy_curve_builder{*curve_copy};
  copy_curve_builder.create_edge(0, 2);
  EXPECT_EQ(line_copy->macro_elements(1), Elements{(MeshElement{other, 0})});
  EXPECT_TRUE(line_copy->macro_elements(2).empty());

  EXPECT_EQ(&line.line(), &chain.curve);
  EXPECT_EQ(chain.curve.nb_edges(), 2u);
  EXPECT_TRUE(has_macro_attributes(chain.curve));
  EXPECT_EQ(line.macro_vertices(1), Vertices{chain.vertex});
  EXPECT_EQ(line.macro_elements(0), Elements{chain.element});
  EXPECT_TRUE(line.macro_elements(1).empty());
}

// In libstdc++ a tuple destroys its element 0 (the curve copy) before element 1 (the line
// over it): the line's destruction must then leave the freed curve alone. Run under
// AddressSanitizer, a touch of the freed curve fails here.
TEST(BackgroundLine, CloneTupleReleasedAsAWholeTouchesNoFreedCurve) {
  TaggedChain chain;
  BackgroundLine line{chain.curve};
  chain.add_macro_information(line);
  {
    auto [curve_copy, line_copy] = line.clone();
    BackgroundLineBuilder{*line_copy}.add_macro_element_info(chain.element, 1);
  }
  {
    auto cloned = line.clone();
    std::get<0>(cloned).reset();
    std::get<1>(cloned).reset();
  }
  EXPECT_TRUE(has_macro_attributes(chain.curve));
  EXPECT_EQ(line.macro_elements(0), Elements{chain.element});
  EXPECT_TRUE(line.macro_elements(1).empty());
}

TEST(BackgroundLine, CloneLineCopiesTheCurveWithoutMacroAttributes) {
  TaggedChain chain;
  BackgroundLine line{chain.curve};
  chain.add_macro_information(line);
  auto const copy = line.clone_line();

  ASSERT_EQ(copy->nb_vertices(), chain.curve.nb_vertices());
  for (velk::index_t vertex = 0; vertex < copy->nb_vertices(); ++vertex) {
    EXPECT_EQ(copy->point(vertex).value(0), chain.curve.point(vertex).value(0));
  }
  ASSERT_EQ(copy->nb_edges(), chain.curve.nb_edges());
  for (velk::index_t edge = 0; edge < copy->nb_edges(); ++edge) {
    EXPECT_EQ(copy->edge_vertices(edge), chain.curve.edge_vertices(edge));
  }
  EXPECT_EQ(copy->id(), chain.curve.id());
  EXPECT_FALSE(has_macro_attributes(*copy));
  EXPECT_EQ(copy->vertex_attribute_manager().find_attribute<int>("tag")->value(0), 7);
  EXPECT_EQ(copy->edge_attribute_manager().find_attribute<int>("tag")->value(1), 8);

  EXPECT_TRUE(has_macro_attributes(chain.curve));
  EXPECT_EQ(line.macro_vertices(1), Vertices{chain.vertex});
  EXPECT_EQ(line.macro_elements(0), Elements{chain.element});
}

TEST(BackgroundLine, TwoLinesOverOneCurveAreBothDestroyed) {
  for (bool const first_goes_first : {true, false}) {
    SCOPED_TRACE(first_goes_first ? "first line destroyed first" : "second line destroyed first");
    TaggedChain chain;
    auto first = std::make_unique<BackgroundLine>(chain.curve);
    chain.add_macro_information(*first);
    auto second = std::make_unique<BackgroundLine>(chain.curve);
    // The second line takes over the lists it finds on the curve.
    EXPECT_EQ(second->macro_elements(0), Elements{chain.element});
    if (first_goes_first) first.reset();
    second.reset();
    first.reset();
    EXPECT_FALSE(has_macro_attributes(chain.curve));
    EXPECT_TRUE(chain.curve.edge_attribute_manager().attribute_exists("tag"));
  }
}

}  // namespace
