#include "support/fuzz_session.hpp"

#include <algorithm>
#include <utility>

#include "korvane/errors.hpp"

namespace korvane::fuzzing {
namespace {

constexpr std::size_t kHeaderLength = 16;

uint32_t CommandIdOf(const std::vector<uint8_t>& pdu) {
  return uint32_t{pdu[4]} << 24 | uint32_t{pdu[5]} << 16 | uint32_t{pdu[6]} << 8 | pdu[7];
}

bool IsBind(uint32_t command_id) { return command_id == 1 || command_id == 2 || command_id == 9; }

}  // namespace

std::vector<uint8_t> AcceptingResponse(const std::vector<uint8_t>& request) {
  if (request.size() < kHeaderLength) return {};
  const uint32_t response_id = CommandIdOf(request) | 0x80000000u;
  std::vector<uint8_t> response(kHeaderLength, 0);
  if (IsBind(CommandIdOf(request) & 0xFF)) response.push_back(0);  // empty system_id
  response[3] = static_cast<uint8_t>(response.size());
  for (int i = 0; i < 4; ++i) response[4 + i] = static_cast<uint8_t>(response_id >> (24 - 8 * i));
  std::copy(request.begin() + 12, request.begin() + 16, response.begin() + 12);
  return response;
}

FuzzSession::FuzzSession() : smpp(environment), socket(*environment.LastSocket()) {
  // A failing helper procedure would otherwise print its report for every input.
  SetUnexpectedErrorHandler([](const std::string&) { return ErrorDecision::Ignore; });
  smpp.Subscribe(sink);
  smpp.SMPPServerAddress("smsc.fuzz");
  smpp.SMPPServerPort(2775);
  smpp.OperationsTimeout(1);
  smpp.ConnectionTimeout(1);
  socket.AnswerWith([this](const std::vector<uint8_t>& sent) { return Answer(sent); });
}

// The handlers' actions may refer to the target's own state, which ends
// before the session's final unbind.
FuzzSession::~FuzzSession() {
  sink.on_message = nullptr;
  sink.on_link_event = nullptr;
}

int16_t FuzzSession::Bind(BindTypes type, std::vector<uint8_t> bind_answer) {
  first_answer_ = std::move(bind_answer);
  return smpp.Bind(type);
}

std::vector<uint8_t> FuzzSession::Answer(const std::vector<uint8_t>& sent) {
  if (!std::exchange(answered_first_, true)) return std::move(first_answer_);
  if (sent.size() < kHeaderLength) return {};
  const uint32_t command_id = CommandIdOf(sent);
  if (IsBind(command_id) || command_id == 6) return AcceptingResponse(sent);
  return {};
}

}  // namespace korvane::fuzzing
