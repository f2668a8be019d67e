#include <mesh/attribute_manager.hpp>

#include <map>

#include <basic/strings.hpp>

namespace velk {

AttributeBase::AttributeBase() = default;
AttributeBase::~AttributeBase() = default;

struct AttributeManager::Impl {
  index_t nb_elements{0};
  std::map<std::string, std::shared_ptr<AttributeBase>, std::less<>> attributes;
};

AttributeManager::AttributeManager() : impl_{std::make_unique<Impl>()} {}

AttributeManager::~AttributeManager() = default;

index_t AttributeManager::nb_elements() const { return impl_->nb_elements; }

bool AttributeManager::attribute_exists(std::string_view name) const {
  return impl_->attributes.find(name) != impl_->attributes.end();
}

void AttributeManager::delete_attribute(std::string_view name) {
  auto const found = impl_->attributes.find(name);
  if (found != impl_->attributes.end()) impl_->attributes.erase(found);
}

std::vector<std::string> AttributeManager::attribute_names() const {
  std::vector<std::string> names;
  names.reserve(impl_->attributes.size());
  for (auto const& entry : impl_->attributes) names.push_back(entry.first);
  return names;
}

std::shared_ptr<AttributeBase> AttributeManager::find_base(std::string_view name) const {
  auto const found = impl_->attributes.find(name);
  return found == impl_->attributes.end() ? nullptr : found->second;
}

void AttributeManager::register_attribute(std::string_view name,
                                          std::shared_ptr<AttributeBase> attribute) {
  attribute->resize(impl_->nb_elements);
  impl_->attributes[std::string{name}] = std::move(attribute);
}

void AttributeManager::throw_type_mismatch(std::string_view name,
                                           std::type_info const& type) const {
  throw LumoraException{absl::StrCat("[AttributeManager::find_attribute] attribute \"", as_absl(name),
                                     "\" exists with another type than ", type.name())};
}

void AttributeManager::resize(index_t nb_elements) {
  impl_->nb_elements = nb_elements;
  for (auto& entry : impl_->attributes) entry.second->resize(nb_elements);
}

void AttributeManager::reserve(index_t capacity) {
  for (auto& entry : impl_->attributes) entry.second->reserve(capacity);
}

void AttributeManager::renumber(absl::Span<index_t const> old_to_new, index_t new_size) {
  impl_->nb_elements = new_size;
  for (auto& entry : impl_->attributes) entry.second->renumber(old_to_new, new_size);
}

void AttributeManager::copy_from(AttributeManager const& other) {
  impl_->nb_elements = other.impl_->nb_elements;
  impl_->attributes.clear();
  for (auto const& entry : other.impl_->attributes) {
    impl_->attributes.emplace(entry.first, entry.second->clone());
  }
}

}  // namespace velk
