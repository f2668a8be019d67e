// Libraries of the family and their one-time initialisation.
//
//   class MyLibrary : public velk::Library {
//    public:
//     static void initialize() { velk::Library::register_and_initialize<MyLibrary>("Mine"); }
//    private:
//     void do_initialize() override { velk::LumoraMeshLibrary::initialize(); }
//   };
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <typeinfo>
#include <vector>

#include <basic/lumora_basic_export.hpp>
#include <basic/singleton.hpp>

namespace velk {

// Base of every library's registration object. Each registered object runs its
// `do_initialize` at most once per process, however many threads ask at once; the
// names of initialised libraries are recorded in the order their initialisation ended.
class LUMORA_BASIC_API Library : public Singleton {
 public:
  ~Library() override;

  // Runs `do_initialize` the first time it is called on this object; later calls, and
  // calls racing with the first one, return once that first run has finished. If
  // `do_initialize` throws, the exception propagates and a later call tries again.
  void call_initialize(char const* name);

  // Names given to `call_initialize`, one per completed initialisation, in completion
  // order (a library that initialises others inside `do_initialize` completes after them).
  static std::vector<std::string> initialized_libraries();

  // The registration steps every library's static `initialize()` performs: under the
  // registry lock, look up the instance of `LibraryType` (dynamic cast), create and
  // register it when missing; then, outside the lock, `call_initialize(name)`.
  template <typename LibraryType>
  static void register_and_initialize(char const* name) {
    LibraryType* library = nullptr;
    {
      std::lock_guard<std::mutex> guard{Singleton::lock()};
      library = dynamic_cast<LibraryType*>(Singleton::instance(typeid(LibraryType)));
      if (library == nullptr) {
        library = new LibraryType{};
        Singleton::set_instance(typeid(LibraryType), library);
      }
    }
    library->call_initialize(name);
  }

 protected:
  Library();

 private:
  virtual void do_initialize() = 0;

  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The basic kernel library: nothing to set up beyond being registered.
class LUMORA_BASIC_API LumoraBasicLibrary : public Library {
 public:
  LumoraBasicLibrary();
  static void initialize();

 private:
  void do_initialize() override;
};

}  // namespace velk
