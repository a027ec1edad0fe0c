#include "platform/socket_errors.hpp"

#include <asio/error.hpp>
#include <cerrno>

namespace korvane::platform {
namespace {

struct ErrnoMapping {
  int system_value;
  int32_t winsock_number;
};

// POSIX errno values with their Winsock numbers (WSAE... = 10000 + the BSD
// value, which differs from Linux's, hence the table).
constexpr ErrnoMapping kErrnoMappings[] = {
    {EINTR, 10004},        {EBADF, 10009},       {EACCES, 10013},          {EFAULT, 10014},
    {EINVAL, 10022},       {EMFILE, 10024},      {EWOULDBLOCK, 10035},     {EINPROGRESS, 10036},
    {EALREADY, 10037},     {ENOTSOCK, 10038},    {EDESTADDRREQ, 10039},    {EMSGSIZE, 10040},
    {EPROTOTYPE, 10041},   {ENOPROTOOPT, 10042}, {EPROTONOSUPPORT, 10043}, {EOPNOTSUPP, 10045},
    {EAFNOSUPPORT, 10047}, {EADDRINUSE, 10048},  {EADDRNOTAVAIL, 10049},   {ENETDOWN, 10050},
    {ENETUNREACH, 10051},  {ENETRESET, 10052},   {ECONNABORTED, 10053},    {ECONNRESET, 10054},
    {EPIPE, 10054},        {ENOBUFS, 10055},     {EISCONN, 10056},         {ENOTCONN, 10057},
    {ESHUTDOWN, 10058},    {ETIMEDOUT, 10060},   {ECONNREFUSED, 10061},    {EHOSTDOWN, 10064},
    {EHOSTUNREACH, 10065},
};

int32_t WinsockNumber(const std::error_code& error) {
  if (error.category() == asio::error::get_netdb_category()) {
    switch (error.value()) {
      case asio::error::host_not_found:
        return 11001;
      case asio::error::host_not_found_try_again:
        return 11002;
      case asio::error::no_recovery:
        return 11003;
      case asio::error::no_data:
        return 11004;
      default:
        return kUnmappedSocketError;
    }
  }
  if (error.category() == asio::error::get_addrinfo_category()) {
    // An unknown service or socket type: the port or protocol was not usable.
    return error == asio::error::service_not_found ? 10109 : 10044;
  }
  if (error.category() == asio::error::get_misc_category()) {
    // The stream ended where data was expected: the peer dropped the link.
    return error == asio::error::eof ? 10054 : kUnmappedSocketError;
  }
  if (error.category() == asio::error::get_system_category() ||
      error.category() == std::system_category() || error.category() == std::generic_category()) {
    for (const ErrnoMapping& mapping : kErrnoMappings) {
      if (mapping.system_value == error.value()) return mapping.winsock_number;
    }
  }
  return kUnmappedSocketError;
}

}  // namespace

SocketError TranslateSocketError(const std::error_code& error) {
  SocketError result{WinsockNumber(error), error.message()};
  if (result.number == kUnmappedSocketError) {
    result.description +=
        " (" + std::string(error.category().name()) + " " + std::to_string(error.value()) + ")";
  }
  return result;
}

}  // namespace korvane::platform
