// The macro-information store: which input (macro) vertices and edges each vertex and
// edge of a background mesh stands for.
//
//   line.macro_elements(edge);      // std::vector<velk::MeshElement> const&
//   line.macro_vertices(vertex);    // std::vector<velk::MeshVertex> const&
#pragma once

#include <memory>
#include <vector>

#include <background_common/velk_background_common_export.hpp>
#include <mesh/attribute_manager.hpp>
#include <mesh/mesh_element.hpp>

namespace velk::internal {

class MacroInfoBuilder;

// Keeps one `std::vector<MeshVertex>` per background vertex and one
// `std::vector<MeshElement>` per background edge as attributes of the background mesh,
// under the names `VERTEX_ATTRIBUTE_NAME` and `EDGE_ATTRIBUTE_NAME`, so the lists grow
// with new elements, follow renumbering and are copied with the mesh; beside them, under
// the two footprint names, the index of which elements carry each input mesh. Written through a
// `MacroInfoBuilder`; made only as the base of a background class.
class VELK_BACKGROUND_COMMON_API MacroInfo {
 public:
  static constexpr char const* VERTEX_ATTRIBUTE_NAME = "velk_macro_vertices";
  static constexpr char const* EDGE_ATTRIBUTE_NAME = "velk_macro_elements";
  // The index of which vertices and edges carry each input mesh (a `MacroFootprint`),
  // beside the lists on the same managers.
  static constexpr char const* VERTEX_FOOTPRINT_ATTRIBUTE_NAME = "velk_macro_vertex_footprint";
  static constexpr char const* EDGE_FOOTPRINT_ATTRIBUTE_NAME = "velk_macro_element_footprint";

  ~MacroInfo();
  MacroInfo(MacroInfo const&) = delete;
  MacroInfo& operator=(MacroInfo const&) = delete;
  MacroInfo& operator=(MacroInfo&&) = delete;

  // The macro edges the background edge carries, in the order they were recorded.
  // Throws `LumoraException` when `edge` is out of range or the store is not initialised.
  std::vector<MeshElement> const& macro_elements(index_t edge) const;

  // The macro vertices the background vertex carries, in the order they were recorded.
  // Throws `LumoraException` when `vertex` is out of range or the store is not initialised.
  std::vector<MeshVertex> const& macro_vertices(index_t vertex) const;

 protected:
  MacroInfo();
  MacroInfo(MacroInfo&& other) noexcept;

  // Sets the store up on the background's vertex manager, then its edge manager. Lists
  // and footprints already stored there (a cloned mesh's) are taken over; lists found
  // without their footprint get one built from them. Throws
  // `LumoraException` when one of the names holds an attribute of another type.
  void initialize_macro_info_data_base(AttributeManager& vertex_attribute_manager,
                                       AttributeManager& edge_attribute_manager);

  // Removes the store's attributes from the managers, when they are still the ones this store
  // set up; cleaning what is already gone does nothing. Never throws.
  void clean_macro_info_data_base(AttributeManager& vertex_attribute_manager,
                                  AttributeManager& edge_attribute_manager) noexcept;

 private:
  friend class MacroInfoBuilder;

  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace velk::internal
