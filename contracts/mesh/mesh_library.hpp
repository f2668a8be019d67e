// Registration of the mesh kernel.
//
//   velk::LumoraMeshLibrary::initialize();   // before using meshes; safe to repeat
#pragma once

#include <basic/library.hpp>
#include <mesh/lumora_mesh_export.hpp>

namespace velk {

// The mesh library's registration object ("Mesh"); initialising it initialises the basic
// library first.
class LUMORA_MESH_API LumoraMeshLibrary : public Library {
 public:
  LumoraMeshLibrary();
  static void initialize();

 private:
  void do_initialize() override;
};

}  // namespace velk
