// SMPP::AsyncSubmit: SubmitAsync with an Asio completion token, for a host
// whose session shares its asio::io_context, e.g.
//   SubmitResult r = co_await smpp.AsyncSubmit(m, asio::use_awaitable);
// Include this header where AsyncSubmit is called.
#pragma once

#include <asio/async_result.hpp>
#include <memory>
#include <utility>

#include "korvane/smpp_session.hpp"

namespace korvane {

template <typename CompletionToken>
auto SMPP::AsyncSubmit(MessageObject Message, CompletionToken&& Token) {
  return asio::async_initiate<CompletionToken, void(SubmitResult)>(
      [this](auto handler, MessageObject message) {
        // Completion handlers may be move-only; the callback is copied.
        auto shared = std::make_shared<decltype(handler)>(std::move(handler));
        SubmitAsync(std::move(message),
                    [shared](const SubmitResult& result) { std::move (*shared)(result); });
      },
      Token, std::move(Message));
}

}  // namespace korvane
