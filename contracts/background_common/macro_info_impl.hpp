// Private state of `MacroInfo`, shared with its builder.
#pragma once

#include <memory>
#include <vector>

#include <background_common/macro_footprint.hpp>
#include <background_common/macro_info.hpp>
#include <background_common/macro_list_attribute.hpp>

namespace velk::internal {

struct MacroInfo::Impl {
  std::shared_ptr<MacroListAttribute<MeshVertex>> vertices;
  std::shared_ptr<MacroListAttribute<MeshElement>> elements;
  // Which vertices and edges carry each input mesh (null until initialised).
  std::shared_ptr<MacroFootprint> vertex_footprint;
  std::shared_ptr<MacroFootprint> edge_footprint;

  // The store after checking it is initialised; `operation` names the caller in the error.
  // Inline: every read of a macro list goes through it.
  static Impl const& of(MacroInfo const& info, char const* operation) {
    if (!info.impl_ || !info.impl_->vertices || !info.impl_->elements) {
      throw_not_initialised(operation);
    }
    return *info.impl_;
  }
  static Impl& of(MacroInfo& info, char const* operation) {
    return const_cast<Impl&>(of(static_cast<MacroInfo const&>(info), operation));
  }

  [[noreturn]] static void throw_not_initialised(char const* operation);
};

}  // namespace velk::internal
