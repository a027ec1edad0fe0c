// SMPP: one ESME session towards one SMSC over one TCP connection.
//
// Threading: the object lives on the thread that runs its event loop; all its
// events are raised there, synchronously. Methods and properties never throw
// (DebugPDU excepted): a failure reaches the host as the Error event with a
// seven-line report. Error numbers are named by ErrorCode (error_codes.hpp).
//
// Waiting. A call that waits runs the session's event loop while it waits
// (one event at a time, sleeping between events; it never spins), so while
// it waits every event of this session can arrive, and so can the events and
// handlers of everything else on the same loop (other sessions, the host's
// own Asio handlers, the AutoEnquireLinkInterval tick). A wait ends as soon
// as its condition holds or its timeout passes; a wait for a response also
// ends when the connection it began on is lost. The calls that wait, and for
// how long at most:
//   Bind         ConnectionTimeout for the connection, plus OperationsTimeout
//                for the bind response; when a connection is already open it
//                is unbound first, which adds up to two OperationsTimeouts
//                (the unbind_resp, then the sending of what is queued):
//                ConnectionTimeout + 3 x OperationsTimeout in all.
//   Unbind       2 x OperationsTimeout: the unbind_resp, then the sending of
//                PDUs still queued on the connection.
//   SendMessage, SendMessageAsp   OperationsTimeout, with WaitForMessageID only.
//   QueryMessage OperationsTimeout, with WaitForResponse only.
//   ~SMPP        as Unbind, when it unbinds (see the destructor).
// EnquireLink, CancelMessage, DeliverShortMessage, DebugPDU, NewMessage and
// the properties never wait; the socket never blocks a call. An
// OperationsTimeout of 0 or below ends a wait at once; a ConnectionTimeout
// of 0 or below still gives the connect one pass of the loop. A wait checks
// its timeout between events, so time spent in the host's own handlers
// (and in calls nested in them) adds to these bounds.
//
// Re-entrancy. Events are raised from inside the calls too: Error, Warning,
// DebugLog and TraceLog from any call; Bound, UnBound, LinkOk, GenericNACK,
// Message... and ConnectionClosed from DebugPDU and from any wait. A handler
// may call any method of this session, waiting ones included; such a call
// runs nested inside the call that raised the event. Received PDUs are each
// handled exactly once, in arrival order; nested more than 64 deep, a wait
// handles only responses and leaves requests to the waits it is nested in.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "korvane/enums.hpp"
#include "korvane/export.hpp"
#include "korvane/message_object.hpp"
#include "korvane/smpp_events.hpp"
#include "korvane/submission.hpp"
#include "korvane/variant.hpp"

namespace asio {
class io_context;
}

namespace korvane {

namespace platform {
class Environment;
}
namespace session {
class Session;
}

class KORVANE_SMPP_API SMPP {
 public:
  // Runs on the calling thread's own event loop (see DoEvents).
  SMPP();
  // Shares a host's Asio loop, which must outlive the object. The session
  // puts its socket and its one-second timer on that loop and keeps no work
  // guard between calls: the loop runs out of work when the host's does. The
  // host runs the loop (run, poll, ...) on the object's thread. While a call
  // of the session waits, the session runs the loop itself, a handler or a
  // ready batch at a time, so the host's own handlers run inside that wait;
  // for each such pass it holds a work guard, and it restarts the loop first
  // when the loop is stopped (a host's stop() does not cut a wait short).
  explicit SMPP(asio::io_context& loop);
  // Runs on an environment of the host's (a fake one in tests). The
  // environment must outlive the session.
  explicit SMPP(platform::Environment& environment);
  // With AutoUnbindOnDestroy set (the default) and a connection open, sends
  // unbind and waits as Unbind does, raising its events (TraceLog, UnBound,
  // Error, ...) to the sinks still subscribed; then closes the connection.
  // Pending PDUs not yet handled are dropped. Never throws.
  ~SMPP();

  SMPP(const SMPP&) = delete;
  SMPP& operator=(const SMPP&) = delete;
  SMPP(SMPP&&) = delete;
  SMPP& operator=(SMPP&&) = delete;

  // Public variables: plain fields, no checks, no side effects.
  bool ConnectedAndBound = false;
  std::string LastMessageID;
  bool ForceNoNullMessage = false;
  bool ForceNoPayloadFieldUsage = false;
  int32_t InstanceID = 0;
  bool ReplaceNullWithSpace = false;
  // Off: submit_sm and submit_multi carry the session's ProtocolID in
  // protocol_id. On: they carry the message's ProtocolID (the TP-PID the
  // network reads there).
  bool UseMessageProtocolID = false;

  // Connection settings.
  std::string SMPPServerAddress() const;
  void SMPPServerAddress(const std::string& value);
  int32_t SMPPServerPort() const;
  void SMPPServerPort(int32_t value);
  // SystemID and UserName are two names of one field.
  std::string SystemID() const;
  void SystemID(const std::string& value);
  std::string UserName() const;
  void UserName(const std::string& value);
  Variant Password() const;
  void Password(const Variant& value);
  std::string SystemType() const;
  void SystemType(const std::string& value);
  // At most 41 characters; a longer value raises Error 22342 and the stored
  // range stays.
  std::string ReceiverAddressRange() const;
  void ReceiverAddressRange(const std::string& value);
  ProtocolIDs ProtocolID() const;
  void ProtocolID(ProtocolIDs value);
  AddressTypeOfNumbers AddressTON() const;
  void AddressTON(AddressTypeOfNumbers value);
  AddressNumberPlanIndicators AddressNPI() const;
  void AddressNPI(AddressNumberPlanIndicators value);
  SMSDataCodingSchemes DataCodingScheme() const;
  void DataCodingScheme(SMSDataCodingSchemes value);

  // Diagnostics and lifetime.
  bool EnableDebugMessages() const;
  void EnableDebugMessages(bool value);
  bool EnableTraceMessages() const;
  void EnableTraceMessages(bool value);
  bool AutoUnbindOnDestroy() const;
  void AutoUnbindOnDestroy(bool value);

  // Seconds; no range check (0 or below makes every wait end at once).
  int16_t OperationsTimeout() const;
  void OperationsTimeout(int16_t value);
  // Asynchronous submissions (SubmitAsync): at most MaxOutstanding in flight
  // (default 10; below 1 counts as 1), and at most MaxQueuedSubmissions
  // (default 10000) queued in order behind them.
  int32_t MaxOutstanding() const;
  void MaxOutstanding(int32_t value);
  int32_t MaxQueuedSubmissions() const;
  void MaxQueuedSubmissions(int32_t value);
  // Throttling of asynchronous submissions. MaxSubmitsPerSecond (default 0:
  // no cap) caps the submit PDUs SubmitAsync sends per second, retries
  // included, spread evenly (one every 1/R s). A submission answered
  // 0x00000058 (throttled) or 0x00000014 (queue full) is sent again after a
  // back-off, at its own place in the order (ahead of every submission not
  // yet sent), at most ThrottleRetryLimit times (default 5; 0: never); then
  // it completes Refused with the last status. SubmitResult::Retries counts
  // them. Each throttle answer also slows the pace (cut at once, raised
  // slowly while none arrives, never above MaxSubmitsPerSecond); with no
  // cap and no throttle answer nothing is paced. Synchronous calls are
  // neither paced nor retried.
  int32_t MaxSubmitsPerSecond() const;
  void MaxSubmitsPerSecond(int32_t value);
  int32_t ThrottleRetryLimit() const;
  void ThrottleRetryLimit(int32_t value);
  // Octets given to the connection and not yet taken by the system, at most
  // (default 8 MiB; 0 or below: no cap). A request that would go beyond it
  // is refused with Error 29985 "The output queue is full ..." and nothing
  // is sent; SubmitAsync submissions wait in their queue instead until the
  // output drains. Responses to the SMSC, enquire_link and unbind
  // always go.
  int32_t MaxOutputBytes() const;
  void MaxOutputBytes(int32_t value);
  // Off (the default): a deliver_sm or data_sm is acknowledged with status 0
  // before MessageReceived is raised. On: the response is sent after the
  // handlers return, with the status a handler set in the message's
  // ResponseStatus; when a handler throws, with 0x00000064
  // (ESME_RX_T_APPNACK), and the exception is reported as an Error.
  bool AckAfterHandler() const;
  void AckAfterHandler(bool value);
  int16_t ConnectionTimeout() const;
  void ConnectionTimeout(int16_t value);
  // Seconds between automatic enquire_link PDUs; a negative value stores 0.
  int16_t AutoEnquireLinkInterval() const;
  void AutoEnquireLinkInterval(int16_t value);
  // Dead-link detection (default 0 = off): while bound, an enquire_link
  // (automatic or EnquireLink) followed by LinkTimeout seconds in which
  // nothing at all arrives ends the connection as a peer's close would: an
  // unbind is handed to the socket without waiting for its answer, the
  // connection is closed and ConnectionClosed is raised.
  int16_t LinkTimeout() const;
  void LinkTimeout(int16_t value);
  // Automatic rebind (default off). When a bound connection is lost (closed
  // or reset by the peer, or dead as above; not after Unbind, Bind, the
  // SMSC's own unbind or the destructor), the session connects and binds
  // again with the same binding type, on the event loop, without blocking
  // a call. Attempt N waits ReconnectInitialDelayMs x 2^(N-1), at most
  // ReconnectMaxDelayMs, each with up to 20 % jitter (never above the most,
  // at least 1 ms); it raises Reconnecting, then Reconnected or
  // ReconnectFailed (connect failed or timed out after ConnectionTimeout,
  // bind refused, no bind response within OperationsTimeout, connection
  // lost while binding). After Reconnected the back-off starts again from
  // the first delay. An accepted rebind raises Bound as any bind does,
  // then Reconnected. Bind or Unbind stop the rebinding.
  // SubmitAsync while rebinding: submissions still queued stay queued (new
  // ones are queued too) and are sent after the rebind; those in flight
  // when the connection was lost complete as ConnectionLost and are never
  // sent again; when the rebinding is stopped the queued ones complete as
  // NotSent.
  bool AutoReconnect() const;
  void AutoReconnect(bool value);
  int32_t ReconnectInitialDelayMs() const;
  void ReconnectInitialDelayMs(int32_t value);
  int32_t ReconnectMaxDelayMs() const;
  void ReconnectMaxDelayMs(int32_t value);

  // "Forces a bias in quarter hours negative or positive to use on the
  // scheduled delivery time. I.E.: 12+ is GMT +3". One value for every
  // session of the thread, computed from the local zone when the first
  // session is created. A value other than two digits and a sign ("04-",
  // "08+") is ignored.
  std::string TimeZoneBias() const;
  void TimeZoneBias(const std::string& value);

  // The socket's view: empty / 0 before any connection; the local port is
  // the one the next connect binds to (0: the system chooses).
  std::string LocalIPAddress() const;
  int32_t LocalTCPPort() const;
  void LocalTCPPort(int32_t value);
  int32_t SocketHandle() const;

  // Connects and binds as receiver, transmitter or transceiver; waits until
  // the SMSC accepts or OperationsTimeout passes. Returns the accepted
  // binding type (1, 2 or 3), or 0.
  int16_t Bind(BindTypes BindingType);
  // Sends unbind, waits for the reply up to OperationsTimeout, and closes
  // the connection.
  void Unbind();
  // Sends one enquire_link while bound (the reply arrives as LinkOk); true
  // when it was handed to the connection, false when not bound or not sent.
  bool EnquireLink();

  // Feeds a PDU typed as hexadecimal octets separated by blanks ("00 00 00
  // 10 80 00 00 15 ...") to the inbound handler as if the SMSC had sent it.
  // Throws ComponentError 13 for a piece that is not hexadecimal and 6 for
  // one above FF; then nothing is dispatched.
  void DebugPDU(const std::string& sPDU);

  // Submits the message: a submit_sm to DestAddress, or, when DestAddress is
  // empty, a submit_multi to Recipients. Not bound: Error 98821 and nothing
  // is sent. With WaitForMessageID, waits up to OperationsTimeout for the
  // response that carries this submission's sequence number, stores its
  // message id in Message.MessageID and returns it; a refusal of this
  // submission (a non-zero command_status or a generic_nack) ends the wait at
  // once with the empty text, after its Error events; the empty text too
  // when nothing came in time. Responses to other requests arriving meanwhile
  // raise their events and set LastMessageID as usual; otherwise returns the empty text at once and
  // the id arrives later as MessageDelivered and in LastMessageID. A value
  // that does not fit its field is reported through Error and nothing is
  // sent.
  std::string SendMessage(MessageObject& Message, bool WaitForMessageID = false);
  // The same for a late-bound object: a MessageObject behaves exactly as
  // above; another object is converted through its members, and one that
  // cannot be converted gives Error 13 and nothing is sent.
  std::string SendMessageAsp(LateBound& Message, bool WaitForMessageID = false);

  // Submits a copy of the message without blocking: a submit_sm, or a
  // submit_multi when DestAddress is empty. It is sent at once while fewer
  // than MaxOutstanding are in flight, else queued. Completion runs exactly
  // once on the session's event loop with a SubmitResult: Accepted or
  // Refused by the response with its sequence number (submit_sm_resp,
  // submit_multi_resp or generic_nack), TimedOut after OperationsTimeout,
  // ConnectionLost ("connection lost, outcome unknown") when the connection
  // ended before the answer, NotSent ("not sent") when it ended while the
  // message was queued, or when the encoder refused it (after its Error).
  // Not bound, or the queue full: Completion runs at once, inside the call,
  // with NotSent, and the call returns false. Responses still raise
  // MessageDelivered and set LastMessageID as for SendMessage.
  bool SubmitAsync(MessageObject Message, SubmitCompletion Completion);
  // The same with an Asio completion token (a callback, asio::use_awaitable,
  // ...) whose handler takes a SubmitResult; defined in
  // korvane/async_submit.hpp, which the caller includes.
  template <typename CompletionToken>
  auto AsyncSubmit(MessageObject Message, CompletionToken&& Token);

  // Asks for the state of a submitted message, named by MessageID and the
  // source address. Bound as receiver: Error 98822; not bound: Error 98821;
  // nothing is sent. With WaitForResponse, waits up to OperationsTimeout
  // for the answer with this query's sequence number and copies the state
  // into FinalDeliveryDate, DeliveryStatus and DeliveryErrorCode (after a
  // refusal, which ends the wait at once, or a timeout: the previous
  // answer's); the answer also arrives as
  // MessageStatusReceived. Returns an empty Variant.
  Variant QueryMessage(MessageObject& Message, bool WaitForResponse = false);
  // Asks the SMSC to cancel a submitted message (MessageID, ServiceType and
  // the addresses). Sent on any open connection; without one nothing
  // happens. The answer arrives as MessageCancelResult.
  void CancelMessage(MessageObject& Message);
  // Sends the message as a deliver_sm, for an SMSC that routes what the
  // application delivers to it. Does not wait for the answer; returns an
  // empty Variant.
  Variant DeliverShortMessage(MessageObject& Message);

  // A new, independent message in its initial state.
  MessageObject NewMessage();
  // Hands the component's title and version to the About hook.
  void AboutKVSMPP();

  // Sinks are called in subscription order; subscribing twice keeps one
  // subscription; a sink unsubscribed during an event is not called again.
  // The session keeps a reference, not a copy: a sink must stay alive until
  // it is unsubscribed or the SMPP object is destroyed, whichever comes
  // first, and the destructor may still raise events to it. A sink may
  // unsubscribe itself, or subscribe others, from inside a handler.
  void Subscribe(SMPPEvents& sink);
  void Unsubscribe(SMPPEvents& sink);

 private:
  friend class session::Session;
  std::unique_ptr<session::Session> session_;
};

}  // namespace korvane
