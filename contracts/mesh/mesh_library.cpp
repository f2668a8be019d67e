#include <mesh/mesh_library.hpp>

namespace velk {

LumoraMeshLibrary::LumoraMeshLibrary() = default;

void LumoraMeshLibrary::initialize() { register_and_initialize<LumoraMeshLibrary>("Mesh"); }

void LumoraMeshLibrary::do_initialize() { LumoraBasicLibrary::initialize(); }

}  // namespace velk
