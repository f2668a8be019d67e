#include <background_common/macro_info.hpp>

#include <absl/strings/str_cat.h>

#include <background_common/macro_info_impl.hpp>

namespace velk::internal {
namespace {

// Deletes `name` from `manager` when it still holds `attribute`.
template <typename T>
void remove_if_owned(AttributeManager& manager, char const* name,
                     std::shared_ptr<VariableAttribute<T>> const& attribute) noexcept {
  if (!attribute) return;
  try {
    if (manager.find_attribute<T>(name) == attribute) manager.delete_attribute(name);
  } catch (...) {
    // Another attribute of another type took the name: it is not ours to remove.
  }
}

void remove_footprint_if_owned(AttributeManager& manager, char const* name,
                               std::shared_ptr<MacroFootprint> const& footprint) noexcept {
  if (!footprint) return;
  try {
    if (manager.find_custom_attribute<MacroFootprint>(name) == footprint) {
      manager.delete_attribute(name);
    }
  } catch (...) {
    // Another attribute of another type took the name: it is not ours to remove.
  }
}

// The footprint kept under `name`, made (and filled from `lists`, which may hold data
// already) when missing.
template <typename Entry>
std::shared_ptr<MacroFootprint> find_or_create_footprint(
    AttributeManager& manager, char const* name,
    VariableAttribute<std::vector<Entry>> const& lists) {
  bool created = false;
  auto footprint = manager.find_or_create_custom_attribute<MacroFootprint>(name, [&created] {
    created = true;
    return std::make_shared<MacroFootprint>();
  });
  if (!created) return footprint;
  for (index_t element = 0; element < lists.size(); ++element) {
    for (auto const& entry : lists.value(element)) footprint->add(entry.mesh_id, element);
  }
  return footprint;
}

}  // namespace

void MacroInfo::Impl::throw_not_initialised(char const* operation) {
  throw LumoraException{
      absl::StrCat("[", operation, "] the macro-information data base is not initialised")};
}

MacroInfo::MacroInfo() : impl_{std::make_unique<Impl>()} {}

MacroInfo::MacroInfo(MacroInfo&& other) noexcept = default;

MacroInfo::~MacroInfo() = default;

std::vector<MeshElement> const& MacroInfo::macro_elements(index_t edge) const {
  auto const& store = Impl::of(*this, "MacroInfo::macro_elements");
  detail::check_index(edge, store.elements->size(), "MacroInfo::macro_elements", "edge");
  return store.elements->value(edge);
}

std::vector<MeshVertex> const& MacroInfo::macro_vertices(index_t vertex) const {
  auto const& store = Impl::of(*this, "MacroInfo::macro_vertices");
  detail::check_index(vertex, store.vertices->size(), "MacroInfo::macro_vertices", "vertex");
  return store.vertices->value(vertex);
}

void MacroInfo::initialize_macro_info_data_base(AttributeManager& vertex_attribute_manager,
                                                AttributeManager& edge_attribute_manager) {
  if (!impl_) impl_ = std::make_unique<Impl>();
  impl_->vertices = vertex_attribute_manager.find_or_create_attribute<std::vector<MeshVertex>>(
      VERTEX_ATTRIBUTE_NAME, {});
  impl_->elements = edge_attribute_manager.find_or_create_attribute<std::vector<MeshElement>>(
      EDGE_ATTRIBUTE_NAME, {});
  impl_->vertex_footprint = find_or_create_footprint(
      vertex_attribute_manager, VERTEX_FOOTPRINT_ATTRIBUTE_NAME, *impl_->vertices);
  impl_->edge_footprint = find_or_create_footprint(edge_attribute_manager,
                                                   EDGE_FOOTPRINT_ATTRIBUTE_NAME, *impl_->elements);
}

void MacroInfo::clean_macro_info_data_base(AttributeManager& vertex_attribute_manager,
                                           AttributeManager& edge_attribute_manager) noexcept {
  if (!impl_) return;
  remove_if_owned(vertex_attribute_manager, VERTEX_ATTRIBUTE_NAME, impl_->vertices);
  remove_if_owned(edge_attribute_manager, EDGE_ATTRIBUTE_NAME, impl_->elements);
  remove_footprint_if_owned(vertex_attribute_manager, VERTEX_FOOTPRINT_ATTRIBUTE_NAME,
                            impl_->vertex_footprint);
  remove_footprint_if_owned(edge_attribute_manager, EDGE_FOOTPRINT_ATTRIBUTE_NAME,
                            impl_->edge_footprint);
}

}  // namespace velk::internal
