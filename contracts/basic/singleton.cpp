#include <basic/singleton.hpp>

#include <memory>
#include <typeindex>

#include <absl/container/flat_hash_map.h>
#include <absl/strings/str_cat.h>

#include <basic/lumora_exception.hpp>

namespace velk {
namespace {

using Registry = absl::flat_hash_map<std::type_index, std::unique_ptr<Singleton>>;

Registry& registry() {
  static Registry entries;
  return entries;
}

}  // namespace

Singleton::Singleton() = default;

Singleton::~Singleton() = default;

std::mutex& Singleton::lock() {
  static std::mutex mutex;
  return mutex;
}

Singleton* Singleton::instance(std::type_info const& type) {
  auto const found = registry().find(std::type_index{type});
  return found == registry().end() ? nullptr : found->second.get();
}

void Singleton::set_instance(std::type_info const& type, Singleton* singleton) {
  std::unique_ptr<Singleton> owned{singleton};
  if (!owned) {
    throw LumoraException{
        absl::StrCat("[Singleton::set_instance] null instance given for type ", type.name())};
  }
  auto const inserted = registry().try_emplace(std::type_index{type}, std::move(owned));
  if (!inserted.second) {
    throw LumoraException{absl::StrCat("[Singleton::set_instance] type ", type.name(),
                                       " already has a registered instance")};
  }
}

}  // namespace velk
