#include "platform/socket_errors.hpp"

#include <gtest/gtest.h>

#include <asio/error.hpp>

namespace korvane::platform {
namespace {

TEST(SocketErrorsTest, ErrorsTakeWinsockNumbersOrAFallbackNamingTheirOrigin) {
  const std::error_code unmapped = std::make_error_code(std::errc::no_such_file_or_directory);
  const std::pair<std::error_code, int32_t> cases[] = {{asio::error::connection_aborted, 10053},
                                                       {asio::error::connection_reset, 10054},
                                                       {asio::error::eof, 10054},
                                                       {asio::error::timed_out, 10060},
                                                       {asio::error::connection_refused, 10061},
                                                       {asio::error::host_not_found, 11001},
                                                       {unmapped, kUnmappedSocketError}};
  for (const auto& [error, number] : cases) EXPECT_EQ(TranslateSocketError(error).number, number);
  EXPECT_EQ(TranslateSocketError(unmapped).description, unmapped.message() + " (generic 2)");
}

}  // namespace
}  // namespace korvane::platform
