// The npm `smpp` package as the SMSC of a test: runs peer_smsc.js under node
// and reads what the peer reports, one flat object per line (see the
// script's header for the lines and the commands). The waits pump the
// session's Asio loop while they watch the peer, so a session on the test
// thread goes on meanwhile; every wait is capped.
#pragma once

#include <asio/io_context.hpp>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "interop/child_process.hpp"
#include "interop/flat_json.hpp"

namespace korvane::testing {

class NpmPeer {
 public:
  // node on PATH, or the empty text.
  static std::string FindNode();
  // The node_modules folder the build installs smpp@0.5.1 into.
  static std::string ModulesDirectory();
  static bool ModulesInstalled();

  // Starts the peer and waits until it listens; otherwise Problem() says why.
  explicit NpmPeer(const std::string& node);

  bool Listening() const { return port_ != 0; }
  uint16_t Port() const { return port_; }
  const std::string& Problem() const { return problem_; }

  // Has the peer send a request; `fields` is a JSON object text.
  void Send(const std::string& command, const std::string& fields = "{}");
  // The peer answers `command` with these fields (a JSON object text) over
  // its usual ones from now on; waits until it confirmed.
  bool AnswerWith(asio::io_context& loop, const std::string& command, const std::string& fields);
  void CloseConnection();

  using Match = std::function<bool(const FlatObject&)>;
  // The first line not taken yet that matches, waiting for it while
  // pumping `loop`; the line is taken.
  std::optional<FlatObject> WaitFor(asio::io_context& loop, const Match& match,
                                    std::chrono::milliseconds cap = std::chrono::seconds(5));
  // A PDU the peer received, or sent, with this command.
  std::optional<FlatObject> WaitForReceived(asio::io_context& loop, const std::string& command);
  std::optional<FlatObject> WaitForSent(asio::io_context& loop, const std::string& command);
  // Every line so far, for failure messages.
  std::string Transcript() const;

 private:
  void ReadAvailable();
  void Command(const std::string& json);

  ChildProcess process_;
  uint16_t port_ = 0;
  std::string problem_;
  std::vector<std::string> lines_;
  std::vector<std::optional<FlatObject>> objects_;
  std::vector<bool> taken_;
};

}  // namespace korvane::testing
