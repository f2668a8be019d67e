// An object paired with the modifier that edits it.
//
//   velk::internal::BackgroundLineInserter inserter{{line, modifier}, line_builder};
#pragma once

#include <modifier/edged_curve_modifier.hpp>

namespace velk::internal {

// Two references: the object, then its modifier. Neither is owned.
template <typename Object, typename Modifier = EdgedCurveModifier<1>>
struct ModifiableObject {
  Object& object;
  Modifier& modifier;
};

}  // namespace velk::internal
