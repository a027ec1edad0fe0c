#include "diagnostics/hooks.hpp"

#include <iostream>
#include <mutex>
#include <utility>

namespace korvane {
namespace {

using UnexpectedErrorHandler = std::function<ErrorDecision(const std::string&)>;
using AboutHandler = std::function<void(const std::string&, const std::string&)>;

struct Hooks {
  std::mutex mutex;
  UnexpectedErrorHandler unexpected_error;
  AboutHandler about;
};

Hooks& TheHooks() {
  static Hooks hooks;
  return hooks;
}

// A copy of one hook taken under the lock, so that it is called without it.
template <typename Handler>
Handler Snapshot(Handler Hooks::*hook) {
  Hooks& hooks = TheHooks();
  std::lock_guard lock(hooks.mutex);
  return hooks.*hook;
}

template <typename Handler>
void Replace(Handler Hooks::*hook, Handler handler) {
  Hooks& hooks = TheHooks();
  std::lock_guard lock(hooks.mutex);
  hooks.*hook = std::move(handler);
}

}  // namespace

void SetUnexpectedErrorHandler(UnexpectedErrorHandler handler) {
  Replace(&Hooks::unexpected_error, std::move(handler));
}

void SetAboutHandler(AboutHandler handler) { Replace(&Hooks::about, std::move(handler)); }

namespace diagnostics {

ErrorDecision AskUnexpectedErrorHandler(const std::string& report) {
  if (const auto handler = Snapshot(&Hooks::unexpected_error)) return handler(report);
  std::cerr << "UNEXPECTED ERROR\n" << report << '\n';
  return ErrorDecision::Ignore;
}

void ShowAbout(const std::string& title, const std::string& version) {
  if (const auto handler = Snapshot(&Hooks::about)) return handler(title, version);
  std::cerr << title << ' ' << version << '\n';
}

}  // namespace diagnostics
}  // namespace korvane
