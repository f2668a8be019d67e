#include <background_common/background_common_library.hpp>

#include <mesh/mesh_library.hpp>

namespace velk {

BackgroundCommonLibrary::BackgroundCommonLibrary() = default;

void BackgroundCommonLibrary::initialize() {
  register_and_initialize<BackgroundCommonLibrary>("BackgroundCommon");
}

void BackgroundCommonLibrary::do_initialize() { LumoraMeshLibrary::initialize(); }

}  // namespace velk
