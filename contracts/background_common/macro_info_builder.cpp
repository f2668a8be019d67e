#include <background_common/macro_info_builder.hpp>

#include <algorithm>

#include <absl/container/flat_hash_set.h>
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
  auto& vertices = *MacroInfo::Impl::of(bound_info(OPERATION), OPERATION).vertices;
  detail::check_index(mapping.first, vertices.size(), OPERATION, "vertex");
  for (auto const vertex : mapping.second) {
    detail::check_index(vertex, vertices.size(), OPERATION, "vertex");
  }
  std::vector<MeshVertex> merged;
  absl::flat_hash_set<MeshVertex> seen;
  auto const append_new = [&merged, &seen](std::vector<MeshVertex> const& list) {
    for (auto const& macro_vertex : list) {
      if (seen.insert(macro_vertex).second) merged.push_back(macro_vertex);
    }
  };
  append_new(vertices.value(mapping.first));
  for (auto const vertex : mapping.second) append_new(vertices.value(vertex));
  auto& footprint = *MacroInfo::Impl::of(bound_info(OPERATION), OPERATION).vertex_footprint;
  for (std::size_t entry = 0; entry < merged.size(); ++entry) {
    if (entry > 0 && merged[entry].mesh_id == merged[entry - 1].mesh_id) continue;
    footprint.add(merged[entry].mesh_id, mapping.first);
  }
  vertices.set_value(mapping.first, std::move(merged));
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
  auto const& source = elements.value(mapping.second);
  store.edge_footprint->derive(mapping.first, mapping.second, source);
  // The copy has one free slot: the receiving edge (a half of a split edge) is usually
  // tagged next, by the input edge being inserted or the one after it, and an exact-size
  // copy would be reallocated at once by that append.
  std::vector<MeshElement> copy;
  if (!source.empty()) {
    copy.reserve(source.size() + 1);
    copy.assign(source.begin(), source.end());
  }
  elements.set_value(mapping.first, std::move(copy));
}

void MacroInfoBuilder::add_macro_vertex_info(MeshVertex const& macro_vertex, index_t vertex) {
  static constexpr char const* OPERATION = "MacroInfoBuilder::add_macro_vertex_info";
  auto& store = MacroInfo::Impl::of(bound_info(OPERATION), OPERATION);
  auto& vertices = *store.vertices;
  detail::check_index(vertex, vertices.size(), OPERATION, "vertex");
  store.vertex_footprint->add(macro_vertex.mesh_id, vertex);
  vertices.modify_value(vertex, [&macro_vertex](std::vector<MeshVertex>& list) {
    // An input vertex inside a curve is placed once for each of its two edges: room for two
    // from the start saves growing the list at the second placement.
    if (list.capacity() == 0) list.reserve(2);
    list.push_back(macro_vertex);
  });
}

void MacroInfoBuilder::add_macro_element_info(MeshElement const& macro_element, index_t edge) {
  static constexpr char const* OPERATION = "MacroInfoBuilder::add_macro_element_info";
  auto& store = MacroInfo::Impl::of(bound_info(OPERATION), OPERATION);
  auto& elements = *store.elements;
  detail::check_index(edge, elements.size(), OPERATION, "edge");
  store.edge_footprint->add(macro_element.mesh_id, edge);
  elements.modify_value(edge, [&macro_element](std::vector<MeshElement>& list) {
    list.push_back(macro_element);
  });
}

namespace {

// Removes the entries of `mesh_id` from the listed candidates' lists; records each element
// that lost some, with how many.
template <typename Entry>
void remove_entries(VariableAttribute<std::vector<Entry>>& lists,
                    std::vector<index_t> const& candidates, uuid const& mesh_id,
                    std::vector<std::pair<index_t, index_t>>& removed) {
  for (auto const element : candidates) {
    if (element >= lists.size()) continue;
    index_t count = 0;
    lists.modify_value(element, [&mesh_id, &count](std::vector<Entry>& list) {
      auto const end = std::remove_if(list.begin(), list.end(), [&mesh_id](Entry const& entry) {
        return entry.mesh_id == mesh_id;
      });
      count = static_cast<index_t>(list.end() - end);
      list.erase(end, list.end());
    });
    if (count > 0) removed.emplace_back(element, count);
  }
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
