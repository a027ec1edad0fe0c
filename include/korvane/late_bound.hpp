// LateBound: by-name member access of a generic host object, as a scripting
// host offers it. A path names a member, or a member of a member with a dot
// ("Recipients.Count"). Names match exactly; an unknown member throws
// ComponentError 438 "Object doesn't support this property or method".
#pragma once

#include <string>

#include "korvane/export.hpp"
#include "korvane/variant.hpp"

namespace korvane {

class KORVANE_SMPP_API LateBound {
 public:
  virtual ~LateBound() = default;
  virtual Variant GetMember(const std::string& path) const = 0;
  virtual void PutMember(const std::string& path, const Variant& value) = 0;

 protected:
  LateBound() = default;
  LateBound(const LateBound&) = default;
  LateBound& operator=(const LateBound&) = default;
};

}  // namespace korvane
