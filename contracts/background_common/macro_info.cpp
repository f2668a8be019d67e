#include <background_common/macro_info.hpp>

#include <absl/strings/str_cat.h>

#include <background_common/macro_info_impl.hpp>

namespace velk::internal {
namespace {

// Deletes `name` from `manager` when it still holds `attribute`.
template <typename A>
void remove_if_owned(AttributeManager& manager, char const* name,
                     std::shared_ptr<A> const& attribute) noexcept {
  if (!attribute) return;
  try {
    if (manager.find_custom_attribute<A>(name) == attribute) manager.delete_attribute(name);
  } catch (...) {
    // Another attribute of another type took the name: it is not ours to remove.
  }
}

// The lists kept under `name`, made when missing.
template <typename Entry>
std::shared_ptr<MacroListAttribute<Entry>> find_or_create_lists(AttributeManager& manager,
                                                                char const* name) {
  return manager.find_or_create_custom_attribute<MacroListAttribute<Entry>>(
      name, [] { return std::make_shared<MacroListAttribute<Entry>>(); });
}

// The footprint kept under `name`, made (and filled from `lists`, which may hold data
// already) when missing.
template <typename Entry>
std::shared_ptr<MacroFootprint> find_or_create_footprint(AttributeManager& manager,
                                                         char const* name,
                                                         MacroListAttribute<Entry> const& lists) {
  bool created = false;
  auto footprint = manager.find_or_create_custom_attribute<MacroFootprint>(name, [&created] {
    created = true;
    return std::make_shared<MacroFootprint>();
  });
  if (!created) return footprint;
  for (index_t element = 0; element < lists.size(); ++element) {
    for (auto const key : lists.keys(element)) footprint->add(lists.meshes()[key.mesh], element);
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
  static constexpr char const* OPERATION = "MacroInfo::macro_elements";
  auto const& store = Impl::of(*this, OPERATION);
  detail::check_index(edge, store.elements->size(), OPERATION, "edge");
  return store.elements->entries(edge);
}

std::vector<MeshVertex> const& MacroInfo::macro_vertices(index_t vertex) const {
  static constexpr char const* OPERATION = "MacroInfo::macro_vertices";
  auto const& store = Impl::of(*this, OPERATION);
  detail::check_index(vertex, store.vertices->size(), OPERATION, "vertex");
  return store.vertices->entries(vertex);
}

MacroListView<MeshElement> MacroInfo::macro_element_view(index_t edge) const {
  static constexpr char const* OPERATION = "MacroInfo::macro_element_view";
  auto const& store = Impl::of(*this, OPERATION);
  detail::check_index(edge, store.elements->size(), OPERATION, "edge");
  return {store.elements->keys(edge), store.elements->meshes()};
}

MacroListView<MeshVertex> MacroInfo::macro_vertex_view(index_t vertex) const {
  static constexpr char const* OPERATION = "MacroInfo::macro_vertex_view";
  auto const& store = Impl::of(*this, OPERATION);
  detail::check_index(vertex, store.vertices->size(), OPERATION, "vertex");
  return {store.vertices->keys(vertex), store.vertices->meshes()};
}

std::optional<MacroKey> MacroInfo::macro_element_key(MeshEdge const& macro_edge) const {
  return Impl::of(*this, "MacroInfo::macro_element_key")
      .elements->find_key(macro_edge.mesh_id, macro_edge.edge_id);
}

std::size_t MacroInfo::find_macro_element(index_t edge, MacroKey key, std::size_t hint) const {
  static constexpr char const* OPERATION = "MacroInfo::find_macro_element";
  auto const& store = Impl::of(*this, OPERATION);
  detail::check_index(edge, store.elements->size(), OPERATION, "edge");
  return store.elements->find(edge, key, hint);
}

bool MacroInfo::same_macro_elements(index_t first_edge, index_t second_edge) const {
  static constexpr char const* OPERATION = "MacroInfo::same_macro_elements";
  auto const& store = Impl::of(*this, OPERATION);
  detail::check_index(first_edge, store.elements->size(), OPERATION, "edge");
  detail::check_index(second_edge, store.elements->size(), OPERATION, "edge");
  return store.elements->same_entries(first_edge, second_edge);
}

std::size_t MacroInfo::memory_bytes() const {
  auto const& store = Impl::of(*this, "MacroInfo::memory_bytes");
  return store.vertices->memory_bytes() + store.elements->memory_bytes();
}

void MacroInfo::initialize_macro_info_data_base(AttributeManager& vertex_attribute_manager,
                                                AttributeManager& edge_attribute_manager) {
  if (!impl_) impl_ = std::make_unique<Impl>();
  impl_->vertices =
      find_or_create_lists<MeshVertex>(vertex_attribute_manager, VERTEX_ATTRIBUTE_NAME);
  impl_->elements = find_or_create_lists<MeshElement>(edge_attribute_manager, EDGE_ATTRIBUTE_NAME);
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
  remove_if_owned(vertex_attribute_manager, VERTEX_FOOTPRINT_ATTRIBUTE_NAME,
                  impl_->vertex_footprint);
  remove_if_owned(edge_attribute_manager, EDGE_FOOTPRINT_ATTRIBUTE_NAME, impl_->edge_footprint);
}

}  // namespace velk::internal
