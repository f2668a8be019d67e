// Private state of `MacroInfo`, shared with its builder.
#pragma once

#include <memory>
#include <vector>

#include <background_common/macro_info.hpp>
#include <mesh/attribute.hpp>

namespace velk::internal {

struct MacroInfo::Impl {
  std::shared_ptr<VariableAttribute<std::vector<MeshVertex>>> vertices;
  std::shared_ptr<VariableAttribute<std::vector<MeshElement>>> elements;

  // The store after checking it is initialised; `operation` names the caller in the error.
  static Impl const& of(MacroInfo const& info, char const* operation);
  static Impl& of(MacroInfo& info, char const* operation);
};

}  // namespace velk::internal
