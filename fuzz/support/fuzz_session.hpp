// A session on the fake environment (virtual time, scripted socket) with a
// reading sink, for the fuzz targets that feed received octets. Waits are
// short (one second of virtual time, a hundred yields), so an input that
// never answers costs little. The peer answers the first request (the bind)
// with octets the target chooses, and afterwards accepts every bind and
// answers every unbind, so that destroying the session ends promptly.
#pragma once

#include <cstdint>
#include <vector>

#include "korvane/smpp.hpp"
#include "support/fake_environment.hpp"
#include "support/reading_sink.hpp"

namespace korvane::fuzzing {

class FuzzSession {
 public:
  FuzzSession();
  ~FuzzSession();
  FuzzSession(const FuzzSession&) = delete;
  FuzzSession& operator=(const FuzzSession&) = delete;

  // Connects and binds as `type`; the peer answers the bind request with
  // `bind_answer` as it stands. Returns what Bind returned.
  int16_t Bind(BindTypes type, std::vector<uint8_t> bind_answer);

  // Declared in this order: the session is destroyed first, and unbinds
  // while the sink and the environment are still there.
  testing::FakeEnvironment environment;
  ReadingSink sink;
  SMPP smpp;
  testing::ScriptedSocket& socket;

 private:
  std::vector<uint8_t> Answer(const std::vector<uint8_t>& sent);

  std::vector<uint8_t> first_answer_;
  bool answered_first_ = false;
};

// A well-formed response to `request`: the header with the request's
// sequence_number and status 0, and for a bind response an empty system_id.
std::vector<uint8_t> AcceptingResponse(const std::vector<uint8_t>& request);

}  // namespace korvane::fuzzing
