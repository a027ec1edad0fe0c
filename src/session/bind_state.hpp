// BindState: where the session stands with the SMSC, changed only through
// named transitions. It holds the binding type (the one requested while a
// bind waits, the accepted one after) and the bind result that Bind returns,
// and mirrors the state into the public ConnectedAndBound variable, which
// the host may also write.
#pragma once

#include <cstdint>

namespace korvane::session {

class BindState {
 public:
  // `connected_and_bound` is the owner's public variable; it must outlive
  // this state.
  explicit BindState(bool& connected_and_bound) : connected_and_bound_(connected_and_bound) {}

  // 0 = none, 1 = receiver, 2 = transmitter, 3 = transceiver.
  int32_t BindingType() const { return binding_type_; }
  // What Bind waits on and returns; set only by an accepted bind response.
  int32_t BindResult() const { return bind_result_; }
  // The public variable as it stands, whoever wrote it last.
  bool ConnectedAndBound() const { return connected_and_bound_; }

  // A bind starts: no result yet.
  void BindStarted() { bind_result_ = 0; }
  // A bind request of this type is about to go out.
  void Requested(int32_t binding_type) { binding_type_ = binding_type; }
  // No bind is pending after all (no connection, or a type that is none).
  void RequestDropped() { binding_type_ = 0; }
  // The SMSC accepted a bind of this type.
  void Accepted(int32_t binding_type) {
    connected_and_bound_ = true;
    binding_type_ = binding_type;
    bind_result_ = binding_type;
  }
  // The SMSC refused a bind.
  void Refused() { connected_and_bound_ = false; }
  // The SMSC answered an enquire_link.
  void LinkConfirmed() { connected_and_bound_ = true; }
  // Unbound, by either side.
  void Unbound() {
    binding_type_ = 0;
    connected_and_bound_ = false;
  }
  // The connection is gone; a bind result already given is kept when
  // `forget_bind_result` is false.
  void ConnectionLost(bool forget_bind_result) {
    connected_and_bound_ = false;
    binding_type_ = 0;
    if (forget_bind_result) bind_result_ = 0;
  }

 private:
  bool& connected_and_bound_;
  int32_t binding_type_ = 0;
  int32_t bind_result_ = 0;
};

}  // namespace korvane::session
