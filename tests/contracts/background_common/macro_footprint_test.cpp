// The footprint index of the macro-information store: candidates through derivations and
// through any number of renumberings, applied when a mesh is next used.
#include <background_common/macro_footprint.hpp>

#include <algorithm>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

namespace {

using velk::index_t;
using velk::MeshElement;
using velk::NO_ID;
using velk::internal::MacroFootprint;
using Indices = std::vector<index_t>;

Indices sorted_candidates(MacroFootprint& footprint, velk::uuid const& mesh) {
  auto candidates = footprint.candidates(mesh);
  std::sort(candidates.begin(), candidates.end());
  return candidates;
}

TEST(MacroFootprint, FollowsDerivationsThroughRenumberingsAndClones) {
  velk::uuid const a;
  velk::uuid const b;
  MacroFootprint footprint;
  footprint.resize(4);
  footprint.add(a, 1);
  footprint.add(b, 2);
  footprint.add(a, 1);  // twice: once among the candidates
  // Edge 1 split into 4 and 5, then 5 into 6 and 7; edge 2's list copied onto 3, then 3's
  // onto 0, a smaller index, which is recorded directly.
  auto const meshes_of = [](std::vector<MeshElement> list) {
    return [list](auto&& add) {
      for (auto const& element : list) add(element.mesh_id);
    };
  };
  auto const list_a = meshes_of({{a, 0}});
  auto const list_b = meshes_of({{b, 0}, {b, 1}});
  footprint.resize(8);
  footprint.derive(4, 1, list_a);
  footprint.derive(5, 1, list_a);
  footprint.derive(6, 5, list_a);
  footprint.derive(7, 5, list_a);
  footprint.derive(3, 2, list_b);
  footprint.derive(0, 3, list_b);
  footprint.derive(1, 2, meshes_of({}));  // an empty list names no mesh
  EXPECT_EQ(sorted_candidates(footprint, a), (Indices{1, 4, 5, 6, 7}));
  EXPECT_EQ(sorted_candidates(footprint, b), (Indices{0, 2, 3}));

  // Renumberings: drop the split edges 1 and 5, then reverse, then five more moves, so that
  // some are applied when a mesh is used and the rest all at once.
  footprint.renumber(Indices{0, NO_ID, 1, 2, 3, NO_ID, 4, 5}, 6);
  auto const copy = std::static_pointer_cast<MacroFootprint>(footprint.clone());
  EXPECT_EQ(sorted_candidates(footprint, a), (Indices{3, 4, 5}));
  footprint.renumber(Indices{5, 4, 3, 2, 1, 0}, 6);
  for (int round = 0; round < 5; ++round) {
    footprint.renumber(Indices{1, 2, 3, 4, 5, 0}, 6);  // each element one up, the last first
  }
  EXPECT_EQ(sorted_candidates(footprint, a), (Indices{0, 1, 5}));
  EXPECT_EQ(sorted_candidates(footprint, b), (Indices{2, 3, 4}));
  // The clone went its own way from its copy time.
  EXPECT_EQ(sorted_candidates(*copy, b), (Indices{0, 1, 2}));

  footprint.forget(a);
  EXPECT_FALSE(footprint.knows(a));
  EXPECT_TRUE(footprint.candidates(a).empty());
  EXPECT_EQ(sorted_candidates(footprint, b), (Indices{2, 3, 4}));
  footprint.resize(4);  // shrinking drops the candidates past the end
  EXPECT_EQ(sorted_candidates(footprint, b), (Indices{2, 3}));
}

}  // namespace
