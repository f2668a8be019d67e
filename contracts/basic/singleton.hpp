// The process-wide registry of singletons, keyed by type.
//
//   std::lock_guard<std::mutex> guard{velk::Singleton::lock()};
//   auto* found = dynamic_cast<MyLibrary*>(velk::Singleton::instance(typeid(MyLibrary)));
//   if (found == nullptr) velk::Singleton::set_instance(typeid(MyLibrary), new MyLibrary{});
#pragma once

#include <mutex>
#include <typeinfo>

#include <basic/lumora_basic_export.hpp>

namespace velk {

// Base of every object kept in the registry. The registry owns what it holds and
// destroys it when the process exits.
class LUMORA_BASIC_API Singleton {
 public:
  virtual ~Singleton();
  Singleton(Singleton const&) = delete;
  Singleton& operator=(Singleton const&) = delete;

  // The registry's mutex. `instance` and `set_instance` must be called while holding it.
  static std::mutex& lock();

  // The object registered for `type`, or null when none is.
  static Singleton* instance(std::type_info const& type);

  // Registers `singleton` for `type`; the registry takes ownership. Throws
  // `LumoraException` (after destroying `singleton`) when `type` already has an entry or
  // `singleton` is null.
  static void set_instance(std::type_info const& type, Singleton* singleton);

 protected:
  Singleton();
};

}  // namespace velk
