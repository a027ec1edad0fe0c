#include "platform/socket_errors.hpp"

#include <gtest/gtest.h>

#include <asio/error.hpp>
#include <cerrno>

namespace korvane::platform {
namespace {

TEST(SocketErrorsTest, SystemAndResolverErrorsTakeWinsockNumbers) {
  const struct {
    std::error_code error;
    int32_t number;
  } cases[] = {
      {asio::error::connection_aborted, 10053},
      {asio::error::connection_reset, 10054},
      {asio::error::broken_pipe, 10054},
      {asio::error::timed_out, 10060},
      {asio::error::connection_refused, 10061},
      {asio::error::host_not_found, 11001},
      {asio::error::host_not_found_try_again, 11002},
      {asio::error::no_data, 11004},
      {asio::error::network_unreachable, 10051},
      {asio::error::host_unreachable, 10065},
      {asio::error::address_in_use, 10048},
      {asio::error::not_connected, 10057},
      {asio::error::access_denied, 10013},
      {std::error_code(EADDRNOTAVAIL, std::system_category()), 10049},
      {std::make_error_code(std::errc::connection_refused), 10061},
  };
  for (const auto& c : cases) {
    const SocketError translated = TranslateSocketError(c.error);
    EXPECT_EQ(translated.number, c.number) << c.error.message();
    EXPECT_EQ(translated.description, c.error.message());
  }
}

TEST(SocketErrorsTest, UnmappedErrorKeepsItsOriginInTheDescription) {
  const SocketError translated =
      TranslateSocketError(std::error_code(ENOENT, std::system_category()));
  EXPECT_EQ(translated.number, kUnmappedSocketError);
  EXPECT_NE(translated.description.find("(system " + std::to_string(ENOENT) + ")"),
            std::string::npos);
}

TEST(SocketErrorsTest, WrongStateErrorIsTheControlsBadStateError) {
  const ComponentError error = WrongStateError();
  EXPECT_EQ(error.Number(), 40006);
  EXPECT_EQ(error.Description(),
            "Wrong protocol or connection state for the requested transaction or request");
  EXPECT_EQ(error.Source(), "Winsock");
}

}  // namespace
}  // namespace korvane::platform
