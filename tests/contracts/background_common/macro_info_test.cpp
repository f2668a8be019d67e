#include <background_common/macro_info.hpp>

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <background_common/macro_info_builder.hpp>
#include <basic/lumora_exception.hpp>
#include <mesh/edged_curve_builder.hpp>

#include "support/chain_curve.hpp"
#include "support/macro_info_store.hpp"
#include "support/thrown_message.hpp"

namespace {

using velk::test::StoreWriter;
using velk::test::thrown_message;

using velk::internal::MacroInfo;
using Names = std::vector<std::string>;

// A store over one curve, made the way a background class makes it.
class CurveStore : public MacroInfo {
 public:
  explicit CurveStore(velk::EdgedCurve<1> const& curve) : curve_{&curve} { initialize(); }
  CurveStore(CurveStore&& other) noexcept = default;

  void initialize() {
    initialize_macro_info_data_base(curve_->vertex_attribute_manager(),
                                    curve_->edge_attribute_manager());
  }
  void clean() {
    clean_macro_info_data_base(curve_->vertex_attribute_manager(),
                               curve_->edge_attribute_manager());
  }

 private:
  velk::EdgedCurve<1> const* curve_;
};

// Three vertices at 0, 1, 2 and the two edges between them.
struct TwoEdges {
  TwoEdges() { velk::test::build_chain(builder, {0.0, 1.0, 2.0}); }
  bool holds_data_base() const {
    return curve.vertex_attribute_manager().attribute_exists(MacroInfo::VERTEX_ATTRIBUTE_NAME) &&
           curve.edge_attribute_manager().attribute_exists(MacroInfo::EDGE_ATTRIBUTE_NAME);
  }
  velk::EdgedCurve<1> curve;
  velk::EdgedCurveBuilder<1> builder{curve};
};

TEST(MacroInfo, InitializePutsVertexListsOnTheFirstManagerAndEdgeListsOnTheSecond) {
  TwoEdges mesh;
  CurveStore store{mesh.curve};
  // Each list beside its footprint (names in lexicographic order).
  EXPECT_EQ(mesh.curve.vertex_attribute_manager().attribute_names(),
            (Names{MacroInfo::VERTEX_FOOTPRINT_ATTRIBUTE_NAME, MacroInfo::VERTEX_ATTRIBUTE_NAME}));
  EXPECT_EQ(mesh.curve.edge_attribute_manager().attribute_names(),
            (Names{MacroInfo::EDGE_FOOTPRINT_ATTRIBUTE_NAME, MacroInfo::EDGE_ATTRIBUTE_NAME}));
  EXPECT_TRUE(store.macro_vertices(2).empty());
  EXPECT_TRUE(store.macro_elements(1).empty());

  // The lists grow with the curve.
  auto const vertex = mesh.builder.create_point(velk::Point<1>{{3.0}});
  EXPECT_TRUE(store.macro_elements(mesh.builder.create_edge(2, vertex)).empty());
  EXPECT_TRUE(store.macro_vertices(vertex).empty());
}

TEST(MacroInfo, InitializeTakesOverTheListsOfAClonedCurve) {
  TwoEdges mesh;
  CurveStore store{mesh.curve};
  velk::MeshVertex const macro_vertex{velk::uuid{}, 4};
  velk::MeshElement const macro_element{velk::uuid{}, 7};
  StoreWriter{store}.add_macro_vertex_info(macro_vertex, 2);
  StoreWriter{store}.add_macro_element_info(macro_element, 1);

  auto const copy = mesh.curve.clone();
  CurveStore copy_store{*copy};
  EXPECT_EQ(copy_store.macro_vertices(2), std::vector<velk::MeshVertex>{macro_vertex});
  EXPECT_EQ(copy_store.macro_elements(1), std::vector<velk::MeshElement>{macro_element});
  StoreWriter{copy_store}.add_macro_element_info(macro_element, 0);
  EXPECT_TRUE(store.macro_elements(0).empty());  // the copy's lists are its own

  store.initialize();  // again, over the same managers: what is stored stays
  EXPECT_EQ(store.macro_vertices(2), std::vector<velk::MeshVertex>{macro_vertex});
}

TEST(MacroInfo, CleanRemovesOnlyTheAttributesItStillOwns) {
  TwoEdges mesh;
  mesh.curve.edge_attribute_manager().find_or_create_attribute<int>("tag", 0);
  CurveStore first{mesh.curve};
  CurveStore second{mesh.curve};  // takes over the same lists
  StoreWriter{first}.add_macro_element_info(velk::MeshElement{velk::uuid{}, 3}, 0);
  EXPECT_EQ(second.macro_elements(0).size(), 1u);

  first.clean();
  EXPECT_FALSE(
      mesh.curve.vertex_attribute_manager().attribute_exists(MacroInfo::VERTEX_ATTRIBUTE_NAME));
  EXPECT_EQ(mesh.curve.edge_attribute_manager().attribute_names(), Names{"tag"});
  second.clean();  // already removed by the first store
  first.clean();   // twice

  // A store set up later owns new attributes, which the earlier stores leave alone.
  CurveStore third{mesh.curve};
  first.clean();
  second.clean();
  EXPECT_TRUE(mesh.holds_data_base());
  third.clean();
  EXPECT_FALSE(mesh.holds_data_base());
}

TEST(MacroInfo, ReadsCheckTheIndex) {
  TwoEdges mesh;
  CurveStore store{mesh.curve};
  EXPECT_EQ(thrown_message([&] { store.macro_elements(2); }),
            "[MacroInfo::macro_elements] edge index 2 is out of range (2 edges)");
  EXPECT_EQ(thrown_message([&] { store.macro_vertices(3); }),
            "[MacroInfo::macro_vertices] vertex index 3 is out of range (3 vertices)");
}

TEST(MacroInfo, MovedFromStoreThrowsOnReadsAndCleansNothing) {
  TwoEdges mesh;
  CurveStore source{mesh.curve};
  StoreWriter{source}.add_macro_vertex_info(velk::MeshVertex{velk::uuid{}, 1}, 0);
  CurveStore target{std::move(source)};
  EXPECT_EQ(target.macro_vertices(0).size(), 1u);
  EXPECT_EQ(thrown_message([&] { source.macro_elements(0); }),
            "[MacroInfo::macro_elements] the macro-information data base is not initialised");
  EXPECT_EQ(thrown_message([&] { source.macro_vertices(0); }),
            "[MacroInfo::macro_vertices] the macro-information data base is not initialised");
  source.clean();
  EXPECT_TRUE(mesh.holds_data_base());
  target.clean();
  EXPECT_FALSE(mesh.holds_data_base());
}

}  // namespace
