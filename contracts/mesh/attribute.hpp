// Typed per-element values kept by an `AttributeManager`.
//
//   auto weights = curve.edge_attribute_manager().find_or_create_attribute<double>("w", 1.0);
//   weights->set_value(edge, 2.0);
//   weights->value(edge);                       // 2.0
#pragma once

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include <absl/types/span.h>

#include <basic/common.hpp>
#include <basic/lumora_exception.hpp>
#include <mesh/lumora_mesh_export.hpp>

namespace velk {

// The type-independent side of an attribute: what its manager does to it when elements
// are created, renumbered or the mesh is cloned.
class LUMORA_MESH_API AttributeBase {
 public:
  virtual ~AttributeBase();
  AttributeBase(AttributeBase const&) = delete;
  AttributeBase& operator=(AttributeBase const&) = delete;

  virtual index_t size() const = 0;

  // Grows (new elements take the default value) or shrinks to `size` elements.
  virtual void resize(index_t size) = 0;

  // Makes room for `capacity` elements without changing the size (a hint for growth).
  virtual void reserve(index_t capacity) = 0;

  // Keeps element i as element `old_to_new[i]`, drops those mapped to `NO_ID`.
  virtual void renumber(absl::Span<index_t const> old_to_new, index_t new_size) = 0;

  // An independent deep copy.
  virtual std::shared_ptr<AttributeBase> clone() const = 0;

 protected:
  AttributeBase();
};

// One value of type `T` per element, `default_value()` for elements never written.
// Handed out as `std::shared_ptr`: it stays valid after its manager deleted it (it then
// no longer follows the mesh's elements).
template <typename T>
class LUMORA_MESH_API VariableAttribute final : public AttributeBase {
 public:
  VariableAttribute(T default_value, index_t size)
      : default_value_(std::move(default_value)), values_(size, default_value_) {}

  index_t size() const override { return static_cast<index_t>(values_.size()); }

  T const& default_value() const { return default_value_; }

  // Throws `LumoraException` when `element` is out of range.
  T const& value(index_t element) const {
    detail::check_index(element, size(), "VariableAttribute::value", "element");
    return values_[element];
  }

  void set_value(index_t element, T value) {
    detail::check_index(element, size(), "VariableAttribute::set_value", "element");
    values_[element] = std::move(value);
  }

  // Calls `modifier(T&)` on the stored value in place.
  template <typename Modifier>
  void modify_value(index_t element, Modifier&& modifier) {
    detail::check_index(element, size(), "VariableAttribute::modify_value", "element");
    std::forward<Modifier>(modifier)(values_[element]);
  }

  void resize(index_t size) override { values_.resize(size, default_value_); }

  // Grows the room geometrically, so that many small reservations in a row cost no more
  // than growing one element at a time.
  void reserve(index_t capacity) override {
    if (capacity > values_.capacity()) {
      values_.reserve(std::max<std::size_t>(capacity, 2 * values_.capacity()));
    }
  }

  void renumber(absl::Span<index_t const> old_to_new, index_t new_size) override {
    if (renumber_in_place(old_to_new, new_size)) return;
    std::vector<T> renumbered(new_size, default_value_);
    auto const count = std::min<std::size_t>(old_to_new.size(), values_.size());
    for (std::size_t old_index = 0; old_index < count; ++old_index) {
      auto const new_index = old_to_new[old_index];
      if (new_index != NO_ID && new_index < new_size) {
        renumbered[new_index] = std::move(values_[old_index]);
      }
    }
    values_ = std::move(renumbered);
  }

  std::shared_ptr<AttributeBase> clone() const override {
    auto copy = std::make_shared<VariableAttribute<T>>(default_value_, 0);
    copy->values_ = values_;
    return copy;
  }

 private:
  // A renumbering that keeps elements in order and fills every new index (as removing
  // elements does) is done by moving values down within the array: no second array, no
  // default values made and dropped. Returns false, changing nothing, for any other.
  bool renumber_in_place(absl::Span<index_t const> old_to_new, index_t new_size) {
    auto const count = std::min<std::size_t>(old_to_new.size(), values_.size());
    index_t next = 0;
    for (std::size_t old_index = 0; old_index < count; ++old_index) {
      auto const new_index = old_to_new[old_index];
      if (new_index == NO_ID || new_index >= new_size) continue;
      if (new_index != next) return false;
      ++next;
    }
    if (next != new_size) return false;
    for (std::size_t old_index = 0; old_index < count; ++old_index) {
      auto const new_index = old_to_new[old_index];
      if (new_index == NO_ID || new_index >= new_size || new_index == old_index) continue;
      values_[new_index] = std::move(values_[old_index]);
    }
    values_.erase(values_.begin() + new_size, values_.end());
    return true;
  }

  T default_value_;
  std::vector<T> values_;
};

}  // namespace velk
