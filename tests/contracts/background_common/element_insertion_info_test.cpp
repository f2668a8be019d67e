#include <background_common/element_insertion_info.hpp>

#include <string>
#include <utility>

#include <gtest/gtest.h>

#include <basic/lumora_exception.hpp>

#include "support/thrown_message.hpp"

namespace {

using velk::test::thrown_message;

using velk::internal::ElementInsertionInfo;
using STATUS = ElementInsertionInfo::INSERTION_STATUS;

ElementInsertionInfo two_entries() {
  ElementInsertionInfo info;
  info.add(STATUS::inserted, 4);
  info.add(STATUS::walk_stopped, 1);
  return info;
}

void expect_two_entries(ElementInsertionInfo const& info) {
  ASSERT_EQ(info.size(), 2u);
  EXPECT_EQ(info.status(0), STATUS::inserted);
  EXPECT_EQ(info.element(0), 4u);
  EXPECT_EQ(info.status(1), STATUS::walk_stopped);
  EXPECT_EQ(info.element(1), 1u);
}

TEST(ElementInsertionInfo, KeepsEntriesInTheOrderAdded) {
  ElementInsertionInfo const empty;
  EXPECT_EQ(empty.size(), 0u);
  EXPECT_EQ(static_cast<int>(STATUS::inserted), 0);
  expect_two_entries(two_entries());
}

TEST(ElementInsertionInfo, CopiesAreIndependentAndMovesTransferTheEntries) {
  auto original = two_entries();
  ElementInsertionInfo copy{original};
  original.add(STATUS::inserted, 9);
  expect_two_entries(copy);

  ElementInsertionInfo assigned;
  assigned = copy;
  copy.add(STATUS::inserted, 8);
  expect_two_entries(assigned);

  ElementInsertionInfo moved{std::move(assigned)};
  expect_two_entries(moved);
  EXPECT_EQ(assigned.size(), 0u);  // emptied, still usable
  assigned.add(STATUS::inserted, 2);
  EXPECT_EQ(assigned.element(0), 2u);

  ElementInsertionInfo move_assigned;
  move_assigned = std::move(moved);
  expect_two_entries(move_assigned);
}

TEST(ElementInsertionInfo, RefusesEntriesOutOfRange) {
  auto const info = two_entries();
  EXPECT_EQ(thrown_message([&] { info.status(2); }),
            "[ElementInsertionInfo::status] entry index 2 is out of range (2 entries)");
  EXPECT_EQ(thrown_message([&] { info.element(velk::NO_ID); }),
            "[ElementInsertionInfo::element] entry index 4294967295 is out of range (2 entries)");
}

}  // namespace
