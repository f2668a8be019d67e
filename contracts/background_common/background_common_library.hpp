// Registration of the background-common library.
//
//   velk::BackgroundCommonLibrary::initialize();   // initialises the mesh library first
#pragma once

#include <background_common/velk_background_common_export.hpp>
#include <basic/library.hpp>

namespace velk {

// The background-common library's registration object ("BackgroundCommon").
class VELK_BACKGROUND_COMMON_API BackgroundCommonLibrary : public Library {
 public:
  BackgroundCommonLibrary();
  static void initialize();

 private:
  void do_initialize() override;
};

}  // namespace velk
