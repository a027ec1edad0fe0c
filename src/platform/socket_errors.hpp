// Socket failures in the numbering of the classic Winsock control, which the
// session's events use, and the socket's own bad-state error. Free of Asio so
// that test fakes can raise the same errors as the real socket.
#pragma once

#include <cstdint>
#include <string>
#include <system_error>

#include "korvane/errors.hpp"

namespace korvane::platform {

struct SocketError {
  int32_t number = 0;
  std::string description;
};

// The number given to a failure that has no Winsock counterpart. It is the
// base of the Winsock range and no real Winsock error, so it never triggers
// the handling of a specific condition; the description then ends with the
// system's own category and value.
inline constexpr int32_t kUnmappedSocketError = 10000;

// Maps a system, resolver or Asio error to its Winsock number (10053
// aborted, 10054 reset, 10060 timed out, 10061 refused, 11001 host not
// found, ...) with the system's message as description.
SocketError TranslateSocketError(const std::error_code& error);

inline constexpr int32_t kWrongStateNumber = 40006;
inline constexpr char kWrongStateText[] =
    "Wrong protocol or connection state for the requested transaction or request";
inline constexpr char kSocketErrorSource[] = "Winsock";

// What a socket throws when asked for something its state does not allow.
inline ComponentError WrongStateError() {
  return ComponentError(kWrongStateNumber, kWrongStateText, kSocketErrorSource);
}

// What a socket throws for a local port outside 0..65535.
inline ComponentError InvalidPortError() {
  return ComponentError(380, "Invalid property value", kSocketErrorSource);
}

}  // namespace korvane::platform
