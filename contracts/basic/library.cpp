#include <basic/library.hpp>

namespace velk {
namespace {

struct InitializationRecord {
  std::mutex mutex;
  std::vector<std::string> names;
};

InitializationRecord& record() {
  static InitializationRecord names;
  return names;
}

}  // namespace

struct Library::Impl {
  std::once_flag initialized;
};

Library::Library() : impl_{std::make_unique<Impl>()} {}

Library::~Library() = default;

void Library::call_initialize(char const* name) {
  std::call_once(impl_->initialized, [this, name] {
    do_initialize();
    auto& done = record();
    std::lock_guard<std::mutex> guard{done.mutex};
    done.names.emplace_back(name == nullptr ? "" : name);
  });
}

std::vector<std::string> Library::initialized_libraries() {
  auto& done = record();
  std::lock_guard<std::mutex> guard{done.mutex};
  return done.names;
}

LumoraBasicLibrary::LumoraBasicLibrary() = default;

void LumoraBasicLibrary::initialize() { register_and_initialize<LumoraBasicLibrary>("Basic"); }

void LumoraBasicLibrary::do_initialize() {}

}  // namespace velk
