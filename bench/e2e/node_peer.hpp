// The npm `smpp` client as a peer: bench/node/smpp_submit.js run by node as a
// child process against the sink, with its processor time and peak memory
// taken from the child's resource usage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "e2e/measure.hpp"

namespace korvane::bench {

struct NodePeer {
  std::string script;        // path of smpp_submit.js
  std::string node_modules;  // where `npm install smpp` put the package
};

// The peer's fire-and-forget submission of `count` messages, or nothing,
// with the reason in `skipped`, when node or the package is missing or the
// run fails.
std::optional<Sample> RunNodeSubmit(const NodePeer& peer, uint16_t port, std::size_t count,
                                    std::string& skipped);

}  // namespace korvane::bench
