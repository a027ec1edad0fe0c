#include "smsc/session.hpp"

#include <asio/read.hpp>
#include <asio/write.hpp>
#include <exception>
#include <utility>

#include "smsc/engine.hpp"
#include "smsc/message_store.hpp"
#include "vocabulary/protocol.hpp"

namespace korvane::smsc {
namespace {

namespace v = vocabulary;

// The system_id of the simulator's bind responses.
constexpr std::string_view kSmscSystemId = "korvane-smsc";

}  // namespace

Session::Session(SmscEngine& engine, asio::ip::tcp::socket socket, int number)
    : engine_(engine),
      socket_(std::move(socket)),
      enquire_timer_(socket_.get_executor()),
      number_(number),
      delayed_(engine.Options().latency, static_cast<uint32_t>(number)),
      response_timer_(socket_.get_executor()),
      faults_(engine.Options().faults, static_cast<uint32_t>(number)),
      disconnect_timer_(socket_.get_executor()) {}

void Session::Start() {
  std::error_code error;
  const auto peer = socket_.remote_endpoint(error);
  Log("connected" +
      (error ? std::string()
             : " from " + peer.address().to_string() + ":" + std::to_string(peer.port())));
  ReadHeader();
}

void Session::ReadHeader() {
  asio::async_read(socket_, asio::buffer(header_),
                   [self = shared_from_this()](const std::error_code& error, std::size_t) {
                     self->OnHeader(error);
                   });
}

void Session::OnHeader(const std::error_code& error) {
  if (closed_ || closing_) return;
  if (error) return Close(error == asio::error::eof ? "closed by the client" : error.message());
  const v::PduHeader header = v::ReadHeader(header_);
  const uint32_t length = header.command_length;
  if (length < kMinCommandLength || length > kMaxCommandLength) {
    Report("command_length " + std::to_string(length) + " outside " +
           std::to_string(kMinCommandLength) + ".." + std::to_string(kMaxCommandLength));
    Send(HeaderOnly(v::kGenericNack, kStatusInvalidLength, header.sequence_number));
    return CloseAfterWrites("invalid command_length");
  }
  pdu_.assign(header_.begin(), header_.end());
  pdu_.resize(length);
  if (length == kMinCommandLength) return Handle();
  asio::async_read(socket_,
                   asio::buffer(pdu_.data() + kMinCommandLength, length - kMinCommandLength),
                   [self = shared_from_this()](const std::error_code& error, std::size_t) {
                     self->OnBody(error);
                   });
}

void Session::OnBody(const std::error_code& error) {
  if (closed_ || closing_) return;
  if (error) return Close(error == asio::error::eof ? "closed by the client" : error.message());
  Handle();
}

void Session::Handle() {
  const v::PduHeader header = v::ReadHeader(pdu_);
  LogPdu("< ", pdu_);
  const bool last_pdu = faults_.CountPdu();
  const bool dropped = (header.command_id & v::kResponseBit) == 0 && faults_.DropAnswer();
  if (dropped) engine_.Count(FaultCounters::kDropped);
  withhold_answer_ = dropped || last_pdu;
  try {
    Dispatch(header);
  } catch (const std::exception& error) {
    Report("malformed " + CommandName(header.command_id) +
           " seq=" + std::to_string(header.sequence_number) + ": " + error.what());
    Send(HeaderOnly(v::kGenericNack, kStatusInvalidLength, header.sequence_number));
    CloseAfterWrites("malformed PDU");
  }
  withhold_answer_ = false;
  if (last_pdu) {
    Disconnect("disconnect after " +
               std::to_string(engine_.Options().faults.disconnect_every_pdus) + " PDUs");
  }
  if (!closing_ && !closed_) ReadHeader();
}

void Session::Dispatch(const v::PduHeader& header) {
  const uint32_t resp = header.command_id | v::kResponseBit;
  const bool transmits = bound_ == BindKind::kTransmitter || bound_ == BindKind::kTransceiver;
  switch (header.command_id) {
    case v::kBindTransmitter:
      return OnBind(header, BindKind::kTransmitter);
    case v::kBindReceiver:
      return OnBind(header, BindKind::kReceiver);
    case v::kBindTransceiver:
      return OnBind(header, BindKind::kTransceiver);
    case v::kEnquireLink:
      return Respond(HeaderOnly(v::kEnquireLinkResp, kStatusOk, header.sequence_number));
    case v::kUnbind:
      return OnUnbind(header);
    case v::kSubmitSm:
    case v::kSubmitMulti:
    case v::kQuerySm:
    case v::kCancelSm:
      if (!transmits)
        return Respond(HeaderOnly(resp, kStatusInvalidBindState, header.sequence_number));
      if (header.command_id == v::kQuerySm) return OnQuery(header);
      if (header.command_id == v::kCancelSm) return OnCancel(header);
      return OnSubmit(header, header.command_id == v::kSubmitMulti);
    case v::kDeliverSm:
      if (bound_ == BindKind::kNone) {
        return Respond(HeaderOnly(resp, kStatusInvalidBindState, header.sequence_number));
      }
      return OnDeliverSm(header);
    default:
      // Responses (to the simulator's deliver_sm and enquire_link) are only
      // logged; a request the simulator does not serve is refused.
      if ((header.command_id & v::kResponseBit) == 0) {
        Respond(HeaderOnly(v::kGenericNack, kStatusInvalidCommand, header.sequence_number));
      }
  }
}

void Session::OnBind(const v::PduHeader& header, BindKind kind) {
  const BindRequest bind = ParseBind(pdu_);
  const uint32_t resp = header.command_id | v::kResponseBit;
  if (bound_ != BindKind::kNone) {
    return Respond(BindResp(resp, kStatusAlreadyBound, header.sequence_number, kSmscSystemId));
  }
  uint32_t status = engine_.Authenticate(bind.system_id, bind.password);
  if (status == kStatusOk && engine_.RebindRefused(bind.system_id)) status = kStatusAlreadyBound;
  Respond(BindResp(resp, status, header.sequence_number, kSmscSystemId));
  if (status != kStatusOk) return;
  bound_ = kind;
  system_id_ = bind.system_id;
  ArmEnquireLink();
  if (const auto due = faults_.DisconnectDue(DelayedResponses::Clock::now())) ArmDisconnect(*due);
  if (CanReceive()) engine_.ReceiverBound(*this);
}

void Session::OnSubmit(const v::PduHeader& header, bool multi) {
  const Submission message = multi ? ParseSubmitMulti(pdu_) : ParseSubmitSm(pdu_);
  const uint32_t status = faults_.SubmitStatus(DelayedResponses::Clock::now());
  if (status != kStatusOk) {
    engine_.Count(status == kStatusThrottled ? FaultCounters::kThrottled
                                             : FaultCounters::kQueueFull);
    return Respond(
        HeaderOnly(multi ? v::kSubmitMultiResp : v::kSubmitSmResp, status, header.sequence_number));
  }
  engine_.LogText(message);
  StoredMessage stored;
  stored.system_id = system_id_;
  stored.source = message.source;
  if (!message.dests.empty()) {
    stored.dest = message.dests.front();
  } else if (!message.lists.empty()) {
    stored.dest.address = message.lists.front();
  }
  stored.body = message.Body();
  stored.registered_delivery = message.registered_delivery;
  const std::string id = engine_.Submit(shared_from_this(), std::move(stored));
  Respond(multi ? SubmitMultiResp(header.sequence_number, id)
                : MessageIdResp(v::kSubmitSmResp, header.sequence_number, id));
}

void Session::OnQuery(const v::PduHeader& header) {
  const QueryRequest query = ParseQuery(pdu_);
  const StoredMessage* message = engine_.Store().Find(query.message_id);
  if (message == nullptr) {
    return Respond(HeaderOnly(v::kQuerySmResp, kStatusQueryFailed, header.sequence_number));
  }
  Respond(QueryResp(header.sequence_number, message->id, message->done_time, message->state, 0));
}

// Cancels by message_id only: a message still en route is deleted; an
// unknown id, an empty one, or a message already delivered or deleted is
// refused with ESME_RCANCELFAIL.
void Session::OnCancel(const v::PduHeader& header) {
  const CancelRequest cancel = ParseCancel(pdu_);
  StoredMessage* message = engine_.Store().Find(cancel.message_id);
  if (message == nullptr || message->state != kStateEnroute) {
    return Respond(HeaderOnly(v::kCancelSmResp, kStatusCancelFailed, header.sequence_number));
  }
  message->state = kStateDeleted;
  message->done_time = NowTimeString();
  Respond(HeaderOnly(v::kCancelSmResp, kStatusOk, header.sequence_number));
}

void Session::OnUnbind(const v::PduHeader& header) {
  Respond(HeaderOnly(v::kUnbindResp, kStatusOk, header.sequence_number), /*last=*/true);
  bound_ = BindKind::kNone;
  unbound_ = true;
  CloseAfterWrites("unbound");
}

void Session::OnDeliverSm(const v::PduHeader& header) {
  ParseSubmitSm(pdu_);  // a body that cannot be read is refused like any other
  Respond(MessageIdResp(v::kDeliverSmResp, header.sequence_number, ""));
}

void Session::Send(Octets pdu) {
  if (closed_) return;
  // Nothing the simulator sends overtakes a response still delayed: the
  // bind_resp comes before the messages that follow a bind.
  if (!delayed_.Empty()) {
    delayed_.Add(DelayedResponses::Clock::now(), std::move(pdu), /*last=*/true);
    return ArmResponses();
  }
  Write(std::move(pdu));
}

void Session::Write(Octets pdu) {
  if (closed_) return;
  LogPdu("> ", pdu);
  writes_.push_back(std::move(pdu));
  if (writes_.size() == 1) WriteNext();
}

void Session::Respond(Octets pdu, bool last) {
  if (withhold_answer_) {
    if (engine_.Options().log) Log("answer withheld: " + Describe(pdu));
    return;
  }
  if (!engine_.Options().latency.Any()) return Write(std::move(pdu));
  if (closed_) return;
  const auto now = DelayedResponses::Clock::now();
  delayed_.Add(now + delayed_.Draw(), std::move(pdu), last);
  ArmResponses();
}

// One timer for the earliest response due; re-armed when an earlier one
// comes, and after each batch.
void Session::ArmResponses() {
  const auto next = delayed_.NextDue();
  if (!next || (response_timer_due_ && *response_timer_due_ <= *next)) return;
  response_timer_due_ = *next;
  response_timer_.expires_at(*next);
  response_timer_.async_wait(
      [self = shared_from_this(), due = *next](const std::error_code& error) {
        if (error || self->closed_ || self->response_timer_due_ != due) return;
        self->response_timer_due_.reset();
        self->SendDueResponses();
      });
}

void Session::SendDueResponses() {
  for (Octets& pdu : delayed_.TakeDue(DelayedResponses::Clock::now())) Write(std::move(pdu));
  ArmResponses();
}

void Session::WriteNext() {
  asio::async_write(socket_, asio::buffer(writes_.front()),
                    [self = shared_from_this()](const std::error_code& error, std::size_t) {
                      if (self->closed_) return;
                      if (error) return self->Close("write failed: " + error.message());
                      self->writes_.pop_front();
                      if (!self->writes_.empty()) return self->WriteNext();
                      if (self->closing_ && self->delayed_.Empty())
                        self->Close(self->closing_reason_);
                    });
}

uint32_t Session::NextSequence() {
  last_sequence_ = last_sequence_ >= 0x7FFFFFFF ? 1 : last_sequence_ + 1;
  return last_sequence_;
}

void Session::CloseAfterWrites(const std::string& reason) {
  closing_ = true;
  closing_reason_ = reason;
  // Responses still delayed go first; the last write closes.
  if (writes_.empty() && delayed_.Empty()) Close(reason);
}

void Session::Disconnect(const std::string& reason) {
  if (closing_ || closed_) return;
  engine_.Count(FaultCounters::kDisconnects);
  CloseAfterWrites(reason);
}

void Session::ArmDisconnect(DelayedResponses::Clock::time_point due) {
  disconnect_timer_.expires_at(due);
  disconnect_timer_.async_wait([self = shared_from_this()](const std::error_code& error) {
    if (error || self->closed_) return;
    const auto after = self->engine_.Options().faults.disconnect_after_bind;
    self->Disconnect("disconnect " + std::to_string(after.count()) + " ms after the bind");
  });
}

void Session::Close(const std::string& reason) {
  if (closed_) return;
  const auto self = shared_from_this();  // the engine lets go of it below
  closed_ = true;
  std::error_code ignored;
  enquire_timer_.cancel();
  response_timer_.cancel();
  disconnect_timer_.cancel();
  socket_.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
  socket_.close(ignored);
  Log("closed (" + reason + ")");
  engine_.SessionClosed(*this, unbound_);
}

void Session::ArmEnquireLink() {
  const auto interval = engine_.Options().enquire_interval;
  if (interval.count() <= 0) return;
  enquire_timer_.expires_after(interval);
  enquire_timer_.async_wait([self = shared_from_this()](const std::error_code& error) {
    if (error || self->closed_ || self->bound_ == BindKind::kNone) return;
    self->Send(HeaderOnly(v::kEnquireLink, kStatusOk, self->NextSequence()));
    self->ArmEnquireLink();
  });
}

void Session::LogPdu(std::string_view direction, const Octets& pdu) const {
  if (!engine_.Options().log) return;  // quiet: not even described
  Log(std::string(direction) + Describe(pdu));
  if (engine_.Options().trace) Log("  " + HexDump(pdu));
}

void Session::Log(const std::string& line) const { engine_.Log(Numbered(line)); }

void Session::Report(const std::string& line) const { engine_.Report(Numbered(line)); }

// Appended piece by piece: `"literal" + temporary` trips g++ 12's -Wrestrict
// at -O3.
std::string Session::Numbered(const std::string& line) const {
  std::string numbered = "#";
  numbered += std::to_string(number_);
  numbered += ' ';
  numbered += line;
  return numbered;
}

}  // namespace korvane::smsc
