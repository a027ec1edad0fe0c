// Conversion of a generic late-bound host object into a MessageObject,
// through the members it exposes by name.
#pragma once

#include "korvane/late_bound.hpp"
#include "korvane/message_object.hpp"

namespace korvane::message {

// A MessageObject carrying every writable member that `object` exposes
// (those it lacks keep their initial values). Throws ComponentError 13
// "Type mismatch" when the object has no DestAddress, when a member's value
// does not convert, or when DestAddress is empty: such a message goes to
// its recipients, whose entries cannot be read by name.
MessageObject MessageFromMembers(const LateBound& object);

}  // namespace korvane::message
