// Registration of the background line library.
//
//   velk::BackgroundLineLibrary::initialize();   // once, before any other class is used
#pragma once

#include <basic/library.hpp>
#include <velk/background_line/velk_background_line_export.hpp>

namespace velk {

// The library's registration object, kept in the kernel's singleton registry. Loading the
// library registers nothing: a host calls `initialize()` explicitly.
class VELK_BACKGROUND_LINE_API BackgroundLineLibrary : public Library {
 public:
  // Registers the one instance when missing (under the registry lock), then initialises
  // it under the name "BackgroundLine" outside the lock: the mesh library first, then the
  // background-common library. Safe to call again and from several threads at once.
  // Exceptions of the libraries it initialises propagate; the instance stays registered.
  static void initialize();

  BackgroundLineLibrary();
  ~BackgroundLineLibrary() override;

 private:
  void do_initialize() override;
};

}  // namespace velk
