#include <background_common/macro_info_builder.hpp>

#include <absl/strings/str_cat.h>

#include <background_common/macro_info_impl.hpp>

namespace velk::internal {

struct MacroInfoBuilder::Impl {
  MacroInfo& info;
};

MacroInfo& MacroInfoBuilder::bound_info(char const* operation) const {
  if (!impl_) {
    throw LumoraException{absl::StrCat("[", operation, "] the builder was moved from")};
  }
  return impl_->info;
}

MacroInfoBuilder::MacroInfoBuilder(MacroInfo& info) : impl_{std::make_unique<Impl>(Impl{info})} {}

MacroInfoBuilder::MacroInfoBuilder(MacroInfoBuilder&& other) noexcept = default;

MacroInfoBuilder::~MacroInfoBuilder() = default;

void MacroInfoBuilder::update_vertex(MultiMapping<index_t> const& mapping) {
  static constexpr char const* OPERATION = "MacroInfoBuilder::update_vertex";
  auto& store = MacroInfo::Impl::of(bound_info(OPERATION), OPERATION);
  auto& vertices = *store.vertices;
  detail::check_index(mapping.first, vertices.size(), OPERATION, "vertex");
  for (auto const vertex : mapping.second) {
    detail::check_index(vertex, vertices.size(), OPERATION, "vertex");
  }
  // The footprint first: should memory run out on the way, `mapping.first` is at worst a
  // candidate of a mesh it does not carry (harmless), never a carrier the footprint misses.
  // Its own meshes are recorded already.
  for (auto const vertex : mapping.second) {
    auto const list = vertices.keys(vertex);
    for (std::size_t entry = 0; entry < list.size(); ++entry) {
      if (entry > 0 && list[entry].mesh == list[entry - 1].mesh) continue;
      store.vertex_footprint->add(vertices.meshes()[list[entry].mesh], mapping.first);
    }
  }
  vertices.merge(mapping.first, mapping.second);
}

void MacroInfoBuilder::update_vertices(absl::Span<MultiMapping<index_t> const> mappings) {
  for (auto const& mapping : mappings) update_vertex(mapping);
}

void MacroInfoBuilder::update_element(Mapping<index_t> const& mapping) {
  static constexpr char const* OPERATION = "MacroInfoBuilder::update_element";
  auto& store = MacroInfo::Impl::of(bound_info(OPERATION), OPERATION);
  auto& elements = *store.elements;
  detail::check_index(mapping.first, elements.size(), OPERATION, "edge");
  detail::check_index(mapping.second, elements.size(), OPERATION, "edge");
  if (mapping.first == mapping.second) return;
  auto const source = elements.keys(mapping.second);
  if (!source.empty()) {
    store.edge_footprint->derive(mapping.first, mapping.second, [&](auto&& add) {
      for (std::size_t entry = 0; entry < source.size(); ++entry) {
        if (entry > 0 && source[entry].mesh == source[entry - 1].mesh) continue;
        add(elements.meshes()[source[entry].mesh]);
      }
    });
  }
  elements.share(mapping.first, mapping.second);
}

void MacroInfoBuilder::add_macro_vertex_info(MeshVertex const& macro_vertex, index_t vertex) {
  static constexpr char const* OPERATION = "MacroInfoBuilder::add_macro_vertex_info";
  auto& store = MacroInfo::Impl::of(bound_info(OPERATION), OPERATION);
  auto& vertices = *store.vertices;
  detail::check_index(vertex, vertices.size(), OPERATION, "vertex");
  auto const key = vertices.key(macro_vertex.mesh_id, macro_vertex.vertex_id);
  store.vertex_footprint->add(macro_vertex.mesh_id, vertex);
  vertices.append(vertex, key);
}

void MacroInfoBuilder::add_macro_element_info(MeshElement const& macro_element, index_t edge) {
  static constexpr char const* OPERATION = "MacroInfoBuilder::add_macro_element_info";
  auto& store = MacroInfo::Impl::of(bound_info(OPERATION), OPERATION);
  auto& elements = *store.elements;
  detail::check_index(edge, elements.size(), OPERATION, "edge");
  auto const key = elements.key(macro_element.mesh_id, macro_element.element_id);
  store.edge_footprint->add(macro_element.mesh_id, edge);
  elements.append(edge, key);
}

void MacroInfoBuilder::add_macro_element_info(MeshElement const& macro_element,
                                              absl::Span<index_t const> edges) {
  static constexpr char const* OPERATION = "MacroInfoBuilder::add_macro_element_info";
  auto& store = MacroInfo::Impl::of(bound_info(OPERATION), OPERATION);
  auto& elements = *store.elements;
  for (auto const edge : edges) detail::check_index(edge, elements.size(), OPERATION, "edge");
  if (edges.empty()) return;
  auto const key = elements.key(macro_element.mesh_id, macro_element.element_id);
  for (auto const edge : edges) {
    store.edge_footprint->add(macro_element.mesh_id, edge);
    elements.append(edge, key);
  }
}

namespace {

// Removes the entries of `mesh_id` from the listed candidates' lists; records each element
// that lost some, with how many.
template <typename Entry>
void remove_entries(MacroListAttribute<Entry>& lists, std::vector<index_t> const& candidates,
                    uuid const& mesh_id, std::vector<std::pair<index_t, index_t>>& removed) {
  auto const key = lists.find_key(mesh_id, 0);
  if (!key) return;  // no list ever named the mesh
  lists.remove_mesh(candidates, key->mesh, removed);
}

}  // namespace

MacroInfoRemoval MacroInfoBuilder::remove_macro_mesh(uuid const& mesh_id) {
  static constexpr char const* OPERATION = "MacroInfoBuilder::remove_macro_mesh";
  auto& store = MacroInfo::Impl::of(bound_info(OPERATION), OPERATION);
  MacroInfoRemoval removal;
  remove_entries(*store.vertices, store.vertex_footprint->candidates(mesh_id), mesh_id,
                 removal.vertices);
  remove_entries(*store.elements, store.edge_footprint->candidates(mesh_id), mesh_id,
                 removal.edges);
  store.vertex_footprint->forget(mesh_id);
  store.edge_footprint->forget(mesh_id);
  return removal;
}

}  // namespace velk::internal
