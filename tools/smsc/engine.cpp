#include "smsc/engine.hpp"

#include <algorithm>
#include <asio/post.hpp>
#include <exception>
#include <utility>

#include "smsc/session.hpp"

namespace korvane::smsc {

SmscEngine::SmscEngine(asio::io_context& loop, SmscOptions options)
    : loop_(loop),
      options_(std::move(options)),
      acceptor_(loop),
      delivery_timer_(loop),
      rebind_guard_(options_.faults.rebind_guard) {
  const asio::ip::tcp::endpoint endpoint(asio::ip::make_address(options_.host), options_.port);
  acceptor_.open(endpoint.protocol());
  acceptor_.set_option(asio::ip::tcp::acceptor::reuse_address(true));
  acceptor_.bind(endpoint);
  acceptor_.listen();
  port_ = acceptor_.local_endpoint().port();
  Accept();
}

SmscEngine::~SmscEngine() { StopNow(); }

void SmscEngine::Stop() {
  asio::post(loop_, [this] { StopNow(); });
}

void SmscEngine::SendMo(MoMessage mo) {
  asio::post(loop_, [this, mo = std::move(mo)] {
    if (!stopped_) DeliverMo(mo);
  });
}

void SmscEngine::StopNow() {
  if (stopped_) return;
  stopped_ = true;
  std::error_code ignored;
  acceptor_.close(ignored);
  delivery_timer_.cancel();
  const auto sessions = std::exchange(sessions_, {});
  for (const auto& session : sessions) session->Close("simulator stopped");
  Log("stopped");
  if (options_.on_stopped) options_.on_stopped();
}

void SmscEngine::Accept() {
  acceptor_.async_accept([this](const std::error_code& error, asio::ip::tcp::socket socket) {
    if (error == asio::error::operation_aborted || stopped_) return;
    if (error) {
      Report("accept failed: " + error.message());
    } else {
      // Each response leaves at once: held back behind an unacknowledged
      // one (Nagle), it would wait for the client's delayed acknowledgement.
      std::error_code ignored;
      socket.set_option(asio::ip::tcp::no_delay(true), ignored);
      auto session = std::make_shared<Session>(*this, std::move(socket), next_session_number_++);
      sessions_.push_back(session);
      session->Start();
    }
    Accept();
  });
}

void SmscEngine::Log(const std::string& line) const {
  if (options_.log) options_.log(line);
}

void SmscEngine::Report(const std::string& line) const {
  if (options_.report) options_.report(line);
}

uint32_t SmscEngine::Authenticate(const std::string& system_id, const std::string& password) const {
  if (!options_.system_id.empty() && system_id != options_.system_id) {
    return kStatusInvalidSystemId;
  }
  if (!options_.password.empty() && password != options_.password) return kStatusInvalidPassword;
  return kStatusOk;
}

bool SmscEngine::RebindRefused(const std::string& system_id) {
  if (!rebind_guard_.Refuses(system_id, std::chrono::steady_clock::now())) return false;
  counters_.Add(FaultCounters::kRebindsRefused);
  return true;
}

std::string SmscEngine::Submit(const std::shared_ptr<Session>& origin, StoredMessage message) {
  message.submit_time = NowTimeString();
  const std::string id = store_.Add(std::move(message)).id;
  counters_.Add(FaultCounters::kAccepted);
  counters_.Set(FaultCounters::kDuplicates, store_.Duplicates());
  deliveries_.push_back({id, std::chrono::steady_clock::now() + options_.receipt_delay, origin});
  if (deliveries_.size() == 1) ArmDeliveries();
  return id;
}

void SmscEngine::ArmDeliveries() {
  delivery_timer_.expires_at(deliveries_.front().due);
  delivery_timer_.async_wait([this](const std::error_code& error) {
    if (error || stopped_) return;
    DeliverDue();
  });
}

// Delivers every message whose time has come: en route becomes delivered,
// and a receipt goes out when one was asked for. Cancelled messages are
// passed over.
void SmscEngine::DeliverDue() {
  const auto now = std::chrono::steady_clock::now();
  while (!deliveries_.empty() && deliveries_.front().due <= now) {
    const Delivery delivery = std::move(deliveries_.front());
    deliveries_.pop_front();
    StoredMessage* message = store_.Find(delivery.id);
    if (message == nullptr || message->state != kStateEnroute) continue;
    message->state = kStateDelivered;
    message->done_time = NowTimeString();
    if (message->WantsReceipt()) SendReceipt(*message, delivery.origin.lock());
  }
  if (!deliveries_.empty()) ArmDeliveries();
}

// To the submitting session when it is a transceiver still bound, else to
// the first receiver or transceiver of the same system_id, else to the next
// one that binds.
void SmscEngine::SendReceipt(const StoredMessage& message, const std::shared_ptr<Session>& origin) {
  std::shared_ptr<Session> target;
  if (origin && origin->Bound() == BindKind::kTransceiver) {
    target = origin;
  } else if (const auto receivers = Receivers(&message.system_id); !receivers.empty()) {
    target = receivers.front();
  }
  if (target == nullptr) {
    Log("receipt for " + message.id + " waits for a receiver bound as \"" +
        Printable(message.system_id) + "\"");
    pending_receipts_.push_back(message.id);
    return;
  }
  SendDeliverSm(*target, ReceiptOf(message));
}

void SmscEngine::DeliverMo(const MoMessage& mo) {
  const auto receivers = Receivers(nullptr);
  if (receivers.empty()) {
    Log("mobile-originated message waits for a receiver");
    pending_mo_.push_back(mo);
    return;
  }
  for (const auto& receiver : receivers) SendMoTo(*receiver, mo);
}

void SmscEngine::SendMoTo(Session& session, const MoMessage& mo) {
  try {
    for (const Submission& part : MoParts(mo.from, mo.to, mo.text, references_.Next()))
      SendDeliverSm(session, part);
  } catch (const text::TextError& error) {
    Report("mobile-originated message not sent: " + std::string(error.what()));
  }
}

void SmscEngine::LogText(const Submission& message) {
  if (!options_.log) return;
  for (const std::string& line : text_log_.Lines(message, std::chrono::steady_clock::now()))
    Log(line);
}

void SmscEngine::ReceiverBound(Session& session) {
  for (const MoMessage& mo : options_.mo_on_bind) SendMoTo(session, mo);
  for (const MoMessage& mo : std::exchange(pending_mo_, {})) SendMoTo(session, mo);
  std::erase_if(pending_receipts_, [&](const std::string& id) {
    const StoredMessage* message = store_.Find(id);
    if (message == nullptr || message->system_id != session.SystemId()) return false;
    SendDeliverSm(session, ReceiptOf(*message));
    return true;
  });
}

void SmscEngine::SendDeliverSm(Session& session, const Submission& message) const {
  try {
    session.Send(DeliverSm(session.NextSequence(), message));
  } catch (const std::exception& error) {
    Report("#" + std::to_string(session.Number()) + " deliver_sm not sent: " + error.what());
  }
}

std::vector<std::shared_ptr<Session>> SmscEngine::Receivers(const std::string* system_id) const {
  std::vector<std::shared_ptr<Session>> receivers;
  for (const auto& session : sessions_) {
    if (session->CanReceive() && (system_id == nullptr || session->SystemId() == *system_id)) {
      receivers.push_back(session);
    }
  }
  return receivers;
}

void SmscEngine::SessionClosed(const Session& session, bool unbound) {
  if (stopped_) return;
  // Still bound: the binding ended without an unbind.
  if (session.Bound() != BindKind::kNone) {
    rebind_guard_.BindingDropped(session.SystemId(), std::chrono::steady_clock::now());
  }
  std::erase_if(sessions_, [&](const auto& kept) { return kept.get() == &session; });
  if (unbound && ++unbinds_ == options_.exit_after_unbinds) {
    Log("exiting after " + std::to_string(unbinds_) + " unbind(s)");
    StopNow();
  }
}

}  // namespace korvane::smsc
