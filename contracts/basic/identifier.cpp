#include <basic/identifier.hpp>

#include <string>

namespace velk {

struct Identifier::Impl {
  uuid id;
  std::string name;
};

Identifier::Identifier() : impl_{std::make_unique<Impl>()} {}

Identifier::~Identifier() = default;

uuid const& Identifier::id() const { return impl_->id; }

std::string_view Identifier::name() const { return impl_->name; }

void Identifier::set_id(uuid const& id) { impl_->id = id; }

void Identifier::set_name(std::string_view name) { impl_->name = std::string{name}; }

}  // namespace velk
