// The report of an insertion: one entry per inserted element.
//
//   auto report = inserter.insert_curve(input);
//   for (velk::index_t i = 0; i < report.size(); ++i) { report.status(i); report.element(i); }
#pragma once

#include <memory>

#include <background_common/velk_background_common_export.hpp>
#include <basic/common.hpp>

namespace velk::internal {

// Entries (status, element index) in the order they were added. A value type.
class VELK_BACKGROUND_COMMON_API ElementInsertionInfo {
 public:
  enum struct INSERTION_STATUS : unsigned char {
    // The element was inserted completely.
    inserted = 0,
    // The element's end vertices were placed, but a walk along the background between them
    // stopped at a dead end or a loop; see `BackgroundLineInserter`.
    walk_stopped = 1
  };

  ElementInsertionInfo();
  ~ElementInsertionInfo();
  ElementInsertionInfo(ElementInsertionInfo const& other);
  ElementInsertionInfo(ElementInsertionInfo&& other) noexcept;
  ElementInsertionInfo& operator=(ElementInsertionInfo const& other);
  ElementInsertionInfo& operator=(ElementInsertionInfo&& other) noexcept;

  void add(INSERTION_STATUS status, index_t element);

  // Makes room for `count` entries (a hint; changes nothing observable).
  void reserve(index_t count);

  index_t size() const;

  // Entry `entry`'s status and element; throw `LumoraException` when out of range.
  INSERTION_STATUS status(index_t entry) const;
  index_t element(index_t entry) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace velk::internal
