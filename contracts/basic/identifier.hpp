// Identity of a mesh: a uuid and a name.
//
//   curve.id().string();   // canonical uuid text
//   curve.name();          // "well-A"
#pragma once

#include <memory>
#include <string_view>

#include <basic/lumora_basic_export.hpp>
#include <basic/uuid.hpp>

namespace velk {

// Base of every mesh: a uuid drawn at construction and a name (empty by default). The
// mesh builders set the name; the uuid never changes except when a clone copies it.
class LUMORA_BASIC_API Identifier {
 public:
  virtual ~Identifier();
  Identifier(Identifier const&) = delete;
  Identifier& operator=(Identifier const&) = delete;

  uuid const& id() const;
  std::string_view name() const;

 protected:
  Identifier();

  void set_id(uuid const& id);
  void set_name(std::string_view name);

 private:
  friend class GraphBuilder;

  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace velk
