// Named, typed attributes on the vertices or the edges of a mesh.
//
//   auto& manager = curve.vertex_attribute_manager();
//   auto tags = manager.find_or_create_attribute<int>("tag", 0);
//   manager.attribute_exists("tag");   // true
//   manager.delete_attribute("tag");   // `tags` stays usable, detached from the mesh
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <typeinfo>
#include <utility>
#include <vector>

#include <absl/strings/str_cat.h>
#include <absl/types/span.h>

#include <mesh/attribute.hpp>
#include <mesh/lumora_mesh_export.hpp>

namespace velk {

// Keeps attributes by name, each with one value per element of its mesh. Attributes grow
// with new elements, follow renumbering and are deep-copied when the mesh is cloned;
// the mesh builders drive this. Not thread-safe.
class LUMORA_MESH_API AttributeManager {
 public:
  AttributeManager();
  ~AttributeManager();
  AttributeManager(AttributeManager const&) = delete;
  AttributeManager& operator=(AttributeManager const&) = delete;

  // Number of elements every attribute holds a value for.
  index_t nb_elements() const;

  // The attribute `name`, created with `default_value` for every element when missing.
  // Throws `LumoraException` when `name` exists with another value type.
  template <typename T>
  std::shared_ptr<VariableAttribute<T>> find_or_create_attribute(std::string_view name,
                                                                 T default_value) {
    if (auto existing = find_attribute<T>(name)) return existing;
    auto created = std::make_shared<VariableAttribute<T>>(std::move(default_value), nb_elements());
    register_attribute(name, created);
    return created;
  }

  // The attribute `name`, or null when missing. Throws `LumoraException` when it exists
  // with another value type.
  template <typename T>
  std::shared_ptr<VariableAttribute<T>> find_attribute(std::string_view name) const {
    auto base = find_base(name);
    if (!base) return nullptr;
    auto typed = std::dynamic_pointer_cast<VariableAttribute<T>>(base);
    if (!typed) throw_type_mismatch(name, typeid(T));
    return typed;
  }

  // The attribute `name` of a caller-defined type `A` (derived from `AttributeBase`, with
  // its own rules for growing, renumbering and cloning), made by `make()` and sized to the
  // elements when missing; null from `find_custom_attribute` when missing. Both throw
  // `LumoraException` when `name` exists with another type.
  template <typename A, typename Make>
  std::shared_ptr<A> find_or_create_custom_attribute(std::string_view name, Make&& make) {
    if (auto existing = find_custom_attribute<A>(name)) return existing;
    std::shared_ptr<A> created = std::forward<Make>(make)();
    register_attribute(name, created);
    return created;
  }
  template <typename A>
  std::shared_ptr<A> find_custom_attribute(std::string_view name) const {
    auto base = find_base(name);
    if (!base) return nullptr;
    auto typed = std::dynamic_pointer_cast<A>(base);
    if (!typed) throw_type_mismatch(name, typeid(A));
    return typed;
  }

  bool attribute_exists(std::string_view name) const;

  // Removes `name` from the manager; does nothing when it is missing. Holders of the
  // attribute keep a valid object.
  void delete_attribute(std::string_view name);

  // Names of all attributes, in lexicographic order.
  std::vector<std::string> attribute_names() const;

 private:
  friend class VertexSet;
  friend class Graph;
  friend class GraphBuilder;

  std::shared_ptr<AttributeBase> find_base(std::string_view name) const;
  void register_attribute(std::string_view name, std::shared_ptr<AttributeBase> attribute);
  [[noreturn]] void throw_type_mismatch(std::string_view name, std::type_info const& type) const;

  void resize(index_t nb_elements);
  void renumber(absl::Span<index_t const> old_to_new, index_t new_size);
  void copy_from(AttributeManager const& other);

  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace velk
