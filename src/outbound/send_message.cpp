#include "outbound/send_message.hpp"

#include <optional>

#include "korvane/errors.hpp"
#include "message/message_conversion.hpp"
#include "outbound/submit.hpp"
#include "session/session.hpp"
#include "vocabulary/numeric_text.hpp"
#include "vocabulary/protocol.hpp"

namespace korvane::outbound {
namespace {

using vocabulary::kComponentSource;

// The start shared by both forms: LastMessageID is cleared, and the session
// must be bound.
bool StartSubmission(session::Session& session) {
  session.owner().LastMessageID.clear();
  if (session.bind_state().ConnectedAndBound()) return true;
  session.RaiseError(ErrorCode::NotBound, kComponentSource, "Not bound");
  return false;
}

void ReportNoDestination(session::Session& session) {
  session.RaiseError(ErrorCode::NoDestination, kComponentSource,
                     "The recipients collection is empty and no DestAddress property specified.");
}

// Waits for the response to the request sent since the counter stood at
// `last_before`: its id when accepted, the empty text at once when refused,
// after OperationsTimeout when none came. When nothing was sent (the counter
// did not move) the wait is as it always was: any id ends it.
std::string WaitForMessageId(session::Session& session, int32_t last_before) {
  const int32_t sequence_number = session.sequence().Last();
  if (sequence_number == last_before) {
    std::string& last_message_id = session.owner().LastMessageID;
    session.WaitForResponse([&] { return !last_message_id.empty(); });
    return last_message_id;
  }
  session::ResponseWaits& waits = session.response_waits();
  waits.Expect(sequence_number);
  session.WaitForResponse([&] { return waits.IsAnswered(sequence_number); });
  return waits.Take(sequence_number).message_id;
}

// A count read by name: an integer or a numeric text.
int64_t CountOf(const Variant& value) {
  if (value.IsInteger()) return value.Integer();
  const std::optional<double> number =
      value.IsText() ? vocabulary::NumericValue(value.Text()) : std::nullopt;
  if (!number) throw ComponentError(13, "Type mismatch");
  return static_cast<int64_t>(*number);
}

}  // namespace

std::string SendMessage(session::Session& session, MessageObject& message,
                        bool wait_for_message_id) {
  auto procedure = session.Procedure("SendMessage");
  std::string result;
  if (!StartSubmission(session)) return result;
  const int32_t last_before = session.sequence().Last();
  procedure.Step([&] {
    if (!message.DestAddress.empty()) {
      SubmitSMS(session, message, false);
    } else if (!message.Recipients.empty()) {
      SubmitSMS(session, message, true);
    } else {
      ReportNoDestination(session);
    }
  });
  if (wait_for_message_id) {
    procedure.Step([&] {
      result = WaitForMessageId(session, last_before);
      message.MessageID = result;
    });
  }
  return result;
}

std::string SendMessageAsp(session::Session& session, LateBound& object, bool wait_for_message_id) {
  auto procedure = session.Procedure("SendMessageAsp");
  std::string result;
  if (!StartSubmission(session)) return result;
  const int32_t last_before = session.sequence().Last();
  procedure.Step([&] {
    bool submit_multi = false;
    if (object.GetMember("DestAddress").ToText().empty()) {
      if (CountOf(object.GetMember("Recipients.Count")) < 1) {
        ReportNoDestination(session);
        return;
      }
      submit_multi = true;
    }
    if (auto* message = dynamic_cast<MessageObject*>(&object)) {
      SubmitSMS(session, *message, submit_multi);
      return;
    }
    MessageObject converted = message::MessageFromMembers(object);
    SubmitSMS(session, converted, submit_multi);
    if (converted.SequenceNumber != 0) {
      procedure.Unchecked([&] { object.PutMember("SequenceNumber", converted.SequenceNumber); });
    }
  });
  if (wait_for_message_id) {
    procedure.Step([&] {
      result = WaitForMessageId(session, last_before);
      object.PutMember("MessageID", result);
    });
  }
  return result;
}

}  // namespace korvane::outbound
