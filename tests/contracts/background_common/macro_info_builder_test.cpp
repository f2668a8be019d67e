#include <background_common/macro_info_builder.hpp>

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <basic/lumora_exception.hpp>
#include <mesh/edged_curve.hpp>
#include <mesh/edged_curve_builder.hpp>

#include "support/chain_curve.hpp"
#include "support/macro_info_store.hpp"
#include "support/thrown_message.hpp"

namespace {

using velk::test::CurveStore;
using velk::test::StoreWriter;
using velk::test::thrown_message;

using velk::MeshElement;
using velk::MeshVertex;
using velk::internal::MacroInfo;
using Vertices = std::vector<MeshVertex>;
using Elements = std::vector<MeshElement>;

class UninitializedStore : public MacroInfo {};

// A store over three vertices and two edges (its lists grow with the curve), and macro
// records to write.
struct Fixture {
  Fixture() { velk::test::build_chain(builder, {0.0, 1.0, 2.0}); }
  velk::EdgedCurve<1> curve;
  velk::EdgedCurveBuilder<1> builder{curve};
  CurveStore store{curve};
  StoreWriter writer{store};
  velk::uuid input;
  MeshVertex a{input, 0}, b{input, 1}, c{input, 2}, d{input, 3};
  MeshElement p{input, 0}, q{input, 1}, r{input, 2};
};

TEST(MacroInfoBuilder, AddAppendsInOrderAndKeepsRepeats) {
  Fixture f;
  f.writer.add_macro_vertex_info(f.a, 1);
  f.writer.add_macro_vertex_info(f.b, 1);
  f.writer.add_macro_vertex_info(f.a, 1);
  f.writer.add_macro_element_info(f.q, 0);
  f.writer.add_macro_element_info(f.q, 0);
  EXPECT_EQ(f.store.macro_vertices(1), (Vertices{f.a, f.b, f.a}));
  EXPECT_EQ(f.store.macro_elements(0), (Elements{f.q, f.q}));
  EXPECT_TRUE(f.store.macro_vertices(0).empty());
  EXPECT_TRUE(f.store.macro_elements(1).empty());
}

TEST(MacroInfoBuilder, UpdateElementCopiesTheSourceListOntoTheReceivingEdge) {
  Fixture f;
  f.writer.add_macro_element_info(f.p, 0);
  f.writer.add_macro_element_info(f.q, 0);
  f.writer.add_macro_element_info(f.r, 1);
  f.writer.update_element({1, 0});
  EXPECT_EQ(f.store.macro_elements(1), (Elements{f.p, f.q}));
  EXPECT_EQ(f.store.macro_elements(0), (Elements{f.p, f.q}));
  f.writer.update_element({0, 0});
  EXPECT_EQ(f.store.macro_elements(0), (Elements{f.p, f.q}));
  // A copy, not a shared list.
  f.writer.add_macro_element_info(f.r, 0);
  EXPECT_EQ(f.store.macro_elements(1), (Elements{f.p, f.q}));
}

TEST(MacroInfoBuilder, UpdateVertexGivesTheFirstVertexTheUnionOwnEntriesFirst) {
  Fixture f;
  f.writer.add_macro_vertex_info(f.a, 0);
  f.writer.add_macro_vertex_info(f.b, 0);
  f.writer.add_macro_vertex_info(f.c, 1);
  f.writer.add_macro_vertex_info(f.a, 1);
  f.writer.add_macro_vertex_info(f.d, 2);
  f.writer.add_macro_vertex_info(f.c, 2);

  f.writer.update_vertex({0, {1, 2}});
  EXPECT_EQ(f.store.macro_vertices(0), (Vertices{f.a, f.b, f.c, f.d}));
  EXPECT_EQ(f.store.macro_vertices(1), (Vertices{f.c, f.a}));
  EXPECT_EQ(f.store.macro_vertices(2), (Vertices{f.d, f.c}));

  // A mapping that lists the first vertex itself, as a collapse's does.
  f.writer.update_vertex({1, {1, 2}});
  EXPECT_EQ(f.store.macro_vertices(1), (Vertices{f.c, f.a, f.d}));

  // Mappings are applied in order: the second one sees the first one's result.
  std::vector<velk::MultiMapping<velk::index_t>> const mappings{{2, {0}}, {1, {2}}};
  f.writer.update_vertices(mappings);
  EXPECT_EQ(f.store.macro_vertices(2), (Vertices{f.d, f.c, f.a, f.b}));
  EXPECT_EQ(f.store.macro_vertices(1), (Vertices{f.c, f.a, f.d, f.b}));
}

// Lists long enough that the merge finds repeats by hashing; the entries of another mesh
// that reach the first vertex are then removed with that mesh, as the footprint knows.
TEST(MacroInfoBuilder, UpdateVertexOfLongListsKeepsTheFirstOfEachEntry) {
  Fixture f;
  velk::uuid const other;
  for (velk::index_t index = 0; index < 30; ++index) {
    f.writer.add_macro_vertex_info({f.input, index}, 0);
  }
  f.writer.add_macro_vertex_info({f.input, 3}, 0);  // a repeat within the first list
  for (velk::index_t index = 20; index < 50; ++index) {
    f.writer.add_macro_vertex_info({f.input, index}, 1);
    f.writer.add_macro_vertex_info({other, index}, 1);
  }
  // Its own entries once each, then the other list's new ones in the order met.
  Vertices expected;
  for (velk::index_t index = 0; index < 30; ++index) expected.push_back({f.input, index});
  for (velk::index_t index = 20; index < 50; ++index) {
    if (index >= 30) expected.push_back({f.input, index});
    expected.push_back({other, index});
  }
  Vertices expected_without_other;
  for (velk::index_t index = 0; index < 50; ++index) {
    expected_without_other.push_back({f.input, index});
  }

  f.writer.update_vertex({0, {1}});
  EXPECT_EQ(f.store.macro_vertices(0), expected);
  f.writer.remove_macro_mesh(other);
  EXPECT_EQ(f.store.macro_vertices(0), expected_without_other);
}

TEST(MacroInfoBuilder, MovedBuilderEditsTheSameStore) {
  Fixture f;
  StoreWriter moved{std::move(f.writer)};
  moved.add_macro_vertex_info(f.a, 2);
  moved.add_macro_element_info(f.p, 1);
  EXPECT_EQ(f.store.macro_vertices(2), (Vertices{f.a}));
  EXPECT_EQ(f.store.macro_elements(1), (Elements{f.p}));
  EXPECT_EQ(thrown_message([&] { f.writer.add_macro_vertex_info(f.a, 0); }),
            "[MacroInfoBuilder::add_macro_vertex_info] the builder was moved from");
}

TEST(MacroInfoBuilder, RefusesBadIndicesAndChangesNothing) {
  Fixture f;
  f.writer.add_macro_vertex_info(f.a, 0);
  f.writer.add_macro_vertex_info(f.b, 1);
  f.writer.add_macro_element_info(f.p, 0);

  EXPECT_EQ(thrown_message([&] {
              f.writer.update_vertex({0, {1, 9}});
            }),
            "[MacroInfoBuilder::update_vertex] vertex index 9 is out of range (3 vertices)");
  EXPECT_EQ(thrown_message([&] {
              f.writer.update_vertex({5, {1}});
            }),
            "[MacroInfoBuilder::update_vertex] vertex index 5 is out of range (3 vertices)");
  EXPECT_EQ(thrown_message([&] {
              f.writer.update_element({1, 2});
            }),
            "[MacroInfoBuilder::update_element] edge index 2 is out of range (2 edges)");
  EXPECT_EQ(thrown_message([&] {
              f.writer.update_element({7, 0});
            }),
            "[MacroInfoBuilder::update_element] edge index 7 is out of range (2 edges)");
  EXPECT_EQ(thrown_message([&] { f.writer.add_macro_element_info(f.q, 2); }),
            "[MacroInfoBuilder::add_macro_element_info] edge index 2 is out of range (2 edges)");
  EXPECT_THROW(f.writer.add_macro_vertex_info(f.c, 3), velk::LumoraException);

  EXPECT_EQ(f.store.macro_vertices(0), (Vertices{f.a}));
  EXPECT_EQ(f.store.macro_vertices(1), (Vertices{f.b}));
  EXPECT_EQ(f.store.macro_elements(0), (Elements{f.p}));
  EXPECT_TRUE(f.store.macro_elements(1).empty());
}

TEST(MacroInfoBuilder, RefusesAStoreThatIsNotInitialised) {
  UninitializedStore store;
  StoreWriter writer{store};
  EXPECT_EQ(thrown_message([&] {
              writer.add_macro_element_info(MeshElement{velk::uuid{}, 0}, 0);
            }),
            "[MacroInfoBuilder::add_macro_element_info] the macro-information data base is not "
            "initialised");
}

}  // namespace
