#include <velk/background_line/background_line_library.hpp>

#include <background_common/background_common_library.hpp>
#include <mesh/mesh_library.hpp>

namespace velk {

BackgroundLineLibrary::BackgroundLineLibrary() = default;

BackgroundLineLibrary::~BackgroundLineLibrary() = default;

void BackgroundLineLibrary::initialize() {
  register_and_initialize<BackgroundLineLibrary>("BackgroundLine");
}

void BackgroundLineLibrary::do_initialize() {
  LumoraMeshLibrary::initialize();
  BackgroundCommonLibrary::initialize();
}

}  // namespace velk
