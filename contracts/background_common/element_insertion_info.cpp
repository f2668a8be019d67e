#include <background_common/element_insertion_info.hpp>

#include <vector>

#include <basic/lumora_exception.hpp>

namespace velk::internal {

struct ElementInsertionInfo::Impl {
  struct Entry {
    INSERTION_STATUS status;
    index_t element;
  };
  std::vector<Entry> entries;
};

ElementInsertionInfo::ElementInsertionInfo() : impl_{std::make_unique<Impl>()} {}

ElementInsertionInfo::~ElementInsertionInfo() = default;

ElementInsertionInfo::ElementInsertionInfo(ElementInsertionInfo const& other)
    : impl_{other.impl_ ? std::make_unique<Impl>(*other.impl_) : std::make_unique<Impl>()} {}

// A move takes the entries and allocates nothing (it cannot fail): the report it leaves
// has no state, and reads as empty until something is added.
ElementInsertionInfo::ElementInsertionInfo(ElementInsertionInfo&& other) noexcept
    : impl_{std::move(other.impl_)} {}

ElementInsertionInfo& ElementInsertionInfo::operator=(ElementInsertionInfo const& other) {
  if (this == &other) return *this;
  if (!other.impl_) {
    if (impl_) impl_->entries.clear();
  } else if (impl_) {
    *impl_ = *other.impl_;
  } else {
    impl_ = std::make_unique<Impl>(*other.impl_);
  }
  return *this;
}

ElementInsertionInfo& ElementInsertionInfo::operator=(ElementInsertionInfo&& other) noexcept {
  impl_.swap(other.impl_);
  return *this;
}

void ElementInsertionInfo::add(INSERTION_STATUS status, index_t element) {
  if (!impl_) impl_ = std::make_unique<Impl>();
  impl_->entries.push_back(Impl::Entry{status, element});
}

void ElementInsertionInfo::reserve(index_t count) {
  if (!impl_) impl_ = std::make_unique<Impl>();
  impl_->entries.reserve(count);
}

index_t ElementInsertionInfo::size() const {
  return impl_ ? static_cast<index_t>(impl_->entries.size()) : 0;
}

ElementInsertionInfo::INSERTION_STATUS ElementInsertionInfo::status(index_t entry) const {
  detail::check_index(entry, size(), "ElementInsertionInfo::status", "entry");
  return impl_->entries[entry].status;
}

index_t ElementInsertionInfo::element(index_t entry) const {
  detail::check_index(entry, size(), "ElementInsertionInfo::element", "entry");
  return impl_->entries[entry].element;
}

}  // namespace velk::internal
