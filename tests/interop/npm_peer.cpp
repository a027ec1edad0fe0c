#include "interop/npm_peer.hpp"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "support/pump_until.hpp"

namespace korvane::testing {
namespace {

// Node starts in well under a second; the cap is for a loaded machine.
constexpr auto kStartCap = std::chrono::seconds(15);

std::vector<std::string> NodeCommand(const std::string& node) {
  return {node, KORVANE_PEER_SCRIPT};
}

// One command a line: line breaks inside a JSON text become blanks.
std::string OneLine(std::string json) {
  std::replace(json.begin(), json.end(), '\n', ' ');
  return json;
}

}  // namespace

std::string NpmPeer::FindNode() { return FindOnPath("node"); }

std::string NpmPeer::ModulesDirectory() { return KORVANE_NPM_MODULES; }

bool NpmPeer::ModulesInstalled() {
  return std::filesystem::exists(ModulesDirectory() + "/smpp/package.json");
}

NpmPeer::NpmPeer(const std::string& node)
    : process_(NodeCommand(node), {"NODE_PATH=" + ModulesDirectory()}) {
  if (!process_.Started()) {
    problem_ = "could not start " + node;
    return;
  }
  const auto deadline = std::chrono::steady_clock::now() + kStartCap;
  while (std::chrono::steady_clock::now() < deadline && !process_.OutputEnded()) {
    const auto line = process_.ReadLine(std::chrono::milliseconds(100));
    if (!line) continue;
    lines_.push_back(*line);
    const auto object = ParseFlatObject(*line);
    if (object && ValueOf(*object, "event") == "listening" && ValueOf(*object, "port") != "0") {
      port_ = static_cast<uint16_t>(std::atoi(ValueOf(*object, "port").c_str()));
      return;
    }
  }
  problem_ = "the npm peer did not report a listening port:\n" + Transcript();
}

void NpmPeer::Command(const std::string& json) { process_.WriteLine(json); }

void NpmPeer::Send(const std::string& command, const std::string& fields) {
  Command(R"({"op":"send","command":)" + JsonString(command) + R"(,"fields":)" + OneLine(fields) +
          "}");
}

bool NpmPeer::AnswerWith(asio::io_context& loop, const std::string& command,
                         const std::string& fields) {
  Command(R"({"op":"answer","command":)" + JsonString(command) + R"(,"fields":)" + OneLine(fields) +
          "}");
  return WaitFor(loop,
                 [&](const FlatObject& line) {
                   return ValueOf(line, "event") == "answer" && ValueOf(line, "command") == command;
                 })
      .has_value();
}

void NpmPeer::CloseConnection() { Command(R"({"op":"close"})"); }

void NpmPeer::ReadAvailable() {
  while (auto line = process_.ReadLine(std::chrono::milliseconds(0))) {
    lines_.push_back(*line);
    auto object = ParseFlatObject(*line);
    if (object && !object->count("event")) object.reset();
    objects_.push_back(std::move(object));
    taken_.push_back(false);
  }
}

std::optional<FlatObject> NpmPeer::WaitFor(asio::io_context& loop, const Match& match,
                                           std::chrono::milliseconds cap) {
  std::optional<FlatObject> found;
  PumpUntil(
      loop,
      [&] {
        ReadAvailable();
        for (std::size_t i = 0; i < objects_.size(); ++i) {
          if (taken_[i] || !objects_[i] || !match(*objects_[i])) continue;
          taken_[i] = true;
          found = objects_[i];
          return true;
        }
        return false;
      },
      cap);
  return found;
}

std::optional<FlatObject> NpmPeer::WaitForReceived(asio::io_context& loop,
                                                   const std::string& command) {
  return WaitFor(loop, [&](const FlatObject& line) {
    return ValueOf(line, "event") == "received" && ValueOf(line, "command") == command;
  });
}

std::optional<FlatObject> NpmPeer::WaitForSent(asio::io_context& loop, const std::string& command) {
  return WaitFor(loop, [&](const FlatObject& line) {
    return ValueOf(line, "event") == "sent" && ValueOf(line, "command") == command;
  });
}

std::string NpmPeer::Transcript() const {
  std::string text;
  for (const std::string& line : lines_) text += "  peer: " + line + "\n";
  return text;
}

}  // namespace korvane::testing
