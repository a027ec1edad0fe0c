// Round trips against the npm `smpp` package as SMSC (peer_smsc.js): one
// row per exchange, each with its own peer. A row binds, acts on the
// session, and checks the peer's decode of one PDU (`key=value` lines) and
// what the session raised. Skips where node is absent.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <asio/io_context.hpp>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "korvane/smpp.hpp"
#include "korvane/text.hpp"
#include "support/event_recorder.hpp"
#include "support/pump_until.hpp"

namespace korvane {
namespace {

using Record = std::vector<std::string>;  // "== received submit_sm", then "key=value" lines
using testing::PumpUntil;
constexpr auto kCap = std::chrono::seconds(10);

std::string Field(const Record& record, const std::string& key) {
  for (const std::string& line : record)
    if (line.starts_with(key + "=")) return line.substr(key.size() + 1);
  return "<none>";
}

// The peer under node; its output is read without blocking while the
// session's loop is pumped. Ended at destruction.
class NpmPeer {
 public:
  explicit NpmPeer(const std::string& scenario) {
    setenv("KORVANE_PEER", scenario.c_str(), 1);
    pipe_ = popen("NODE_PATH=" KORVANE_NPM_MODULES " node " KORVANE_PEER_SCRIPT " 2>&1", "r");
    const auto deadline = std::chrono::steady_clock::now() + kCap;
    while (port == 0 && pipe_ && std::chrono::steady_clock::now() < deadline && Read(100)) {
    }
  }
  ~NpmPeer() {
    if (pid_ > 0) kill(pid_, SIGTERM);
    if (pipe_) pclose(pipe_);
  }

  // The next record with this head not yet taken, pumping `loop` meanwhile.
  Record Take(asio::io_context& loop, const std::string& head) {
    Record found;
    PumpUntil(
        loop,
        [&] {
          Read(0);
          for (Record& record : records_) {
            if (record.empty() || record[0] != head) continue;
            found = std::move(record);
            record.clear();
            return true;
          }
          return false;
        },
        kCap);
    return found;
  }

  int port = 0;
  std::string transcript;

 private:
  // Takes what arrived within `wait_ms`; false at the end of the output.
  bool Read(int wait_ms) {
    pollfd readable{fileno(pipe_), POLLIN, 0};
    if (poll(&readable, 1, wait_ms) <= 0) return true;
    char chunk[4096];
    const ssize_t count = read(readable.fd, chunk, sizeof chunk);
    if (count <= 0) return false;
    buffer_.append(chunk, static_cast<std::size_t>(count));
    for (std::size_t end; (end = buffer_.find('\n')) != std::string::npos;
         buffer_.erase(0, end + 1)) {
      const std::string line = buffer_.substr(0, end);
      transcript += "  peer: " + line + "\n";
      if (line.starts_with("port=")) port = std::stoi(line.substr(5));
      if (line.starts_with("pid=")) pid_ = std::stoi(line.substr(4));
      if (line.starts_with("== ")) records_.emplace_back();
      if (!records_.empty()) records_.back().push_back(line);
    }
    return true;
  }

  FILE* pipe_ = nullptr;
  pid_t pid_ = 0;
  std::string buffer_;
  std::vector<Record> records_;
};

// A session bound to the peer; declared before the session, the peer
// outlives it and answers its closing unbind.
struct Exchange {
  explicit Exchange(const std::string& scenario) : peer(scenario), smpp(loop) {
    smpp.Subscribe(events);
    smpp.SMPPServerAddress("127.0.0.1");
    smpp.SMPPServerPort(peer.port);
    smpp.SystemID("korvane");
    smpp.Password(Variant("secret"));
    smpp.SystemType("VMA");
    smpp.AddressTON(AddressTypeOfNumbers::tonInternational);
    smpp.AddressNPI(AddressNumberPlanIndicators::npiISDN);
    smpp.ReceiverAddressRange("^4477");
    smpp.ProtocolID(ProtocolIDs::SMPPv34);
    smpp.OperationsTimeout(10);
    smpp.ConnectionTimeout(10);
  }
  bool PumpUntilEvent(const std::string& name) {
    return PumpUntil(
        loop, [&] { return !events.Named(name).empty(); }, kCap);
  }

  NpmPeer peer;
  testing::EventRecorder events;
  asio::io_context loop;
  SMPP smpp;
  MessageObject message;  // what the row sent; its sequence number is checked at the peer
  Record record;          // the peer's decode of the row's PDU
};

using Values = std::function<std::string(const std::string&)>;

// The fields of the next "== received <command>" record, which becomes
// x.record; without a command, those of x.record.
Values Decoded(Exchange& x, const std::string& command = "") {
  if (!command.empty()) x.record = x.peer.Take(x.loop, "== received " + command);
  return [record = x.record](const std::string& key) { return Field(record, key); };
}

// Calls `each` with the key and the value of every "key=value" of `pairs`,
// '|' between them.
void ForEachPair(const std::string& pairs,
                 const std::function<void(const std::string&, const std::string&)>& each) {
  std::istringstream in(pairs);
  for (std::string pair; std::getline(in, pair, '|');)
    each(pair.substr(0, pair.find('=')), pair.substr(pair.find('=') + 1));
}

void ExpectValues(const Values& value_of, const std::string& expected) {
  ForEachPair(expected, [&](const std::string& key, const std::string& value) {
    EXPECT_EQ(value_of(key), value) << key;
  });
}

std::string HexOf(const std::string& octets) {
  std::string hex;
  for (const unsigned char octet : octets) {
    hex += "0123456789abcdef"[octet >> 4];
    hex += "0123456789abcdef"[octet & 15];
  }
  return hex;
}

struct Row {
  const char* name;
  BindTypes bind;
  const char* scenario;  // the peer's (see peer_smsc.js)
  std::string message;   // "Member=value|..." put into x.message before `act`
  void (*act)(Exchange&);
  const char* decoded;  // "<command>: key=value|..." as the peer decoded the row's PDU
  const char* event;    // the event the session raises, "<name>" or "<name> <number>"
  const char* members;  // "Member=value|..." of the event's message
  void (*check)(Exchange&) = nullptr;
};

constexpr auto kTx = BindTypes::SmppBindAsTransmitter;
constexpr auto kRx = BindTypes::SmppBindAsReceiver;
constexpr auto kTrx = BindTypes::SmppBindAsTransceiver;
void None(Exchange&) {}
void Send(Exchange& x) { EXPECT_FALSE(x.smpp.SendMessage(x.message, true).empty()); }
const std::string kAddressed =
    "MessageID=NPM-5|ServiceType=CMT|SourceAddress=4477|SourceAddressTON=1|SourceAddressNPI=1|"
    "DestAddress=0612|DestAddressTON=2|DestAddressNPI=1";
const std::string kReceipt =
    "id:NPM-7 sub:001 dlvrd:001 submit date:2612061200 done date:2612061201 stat:DELIVRD err:000 "
    "text:Hello";

const Row kRows[] = {
    {"refused_bind", kTrx, R"({"answer": {"bind_transceiver": {"command_status": 13}}})", "", None,
     "bind_transceiver: command_status=0", "Error", ""},
    {"our_enquire_link", kTrx, "{}", "", [](Exchange& x) { EXPECT_TRUE(x.smpp.EnquireLink()); },
     "enquire_link: command_length=16", "LinkOk", ""},
    {"peers_enquire_link", kTrx, R"({"send": [["enquire_link", {}]]})", "", None,
     "enquire_link_resp: command_status=0|command_length=16|matches_sent=yes", "Warning 28282", ""},
    {"our_unbind", kTrx, "{}", "", [](Exchange& x) { x.smpp.Unbind(); },
     "unbind: command_length=16", "UnBound", "",
     [](Exchange& x) {  // the peer closes once it has answered
       EXPECT_FALSE(x.peer.Take(x.loop, "== closed").empty());
       EXPECT_TRUE(x.events.Named("Error").empty());
       EXPECT_FALSE(x.smpp.ConnectedAndBound);
     }},
    // Answered, and reported as the Error "Invalid Data in UnBind Segment".
    {"peers_unbind", kTrx, R"({"send": [["unbind", {}]]})", "", None,
     "unbind_resp: command_status=0|command_length=16|matches_sent=yes", "Error 29006", "",
     [](Exchange& x) {
       EXPECT_TRUE(x.PumpUntilEvent("ConnectionClosed"));
       EXPECT_FALSE(x.smpp.ConnectedAndBound);
     }},
    // The peer answers final_date "261206120000000+", message_state 2, error_code 7.
    {"query_sm", kTrx, "{}", kAddressed,
     [](Exchange& x) { EXPECT_TRUE(x.smpp.QueryMessage(x.message, true).IsEmpty()); },
     "query_sm: message_id=NPM-5|source_addr_ton=1|source_addr_npi=1|source_addr=4477",
     "MessageStatusReceived", "MessageID=NPM-5|DeliveryStatus=2|DeliveryErrorCode=7",
     [](Exchange& x) {
       EXPECT_EQ(x.message.FinalDeliveryDate, DateTime(2026, 12, 6, 12, 0, 0));
       EXPECT_EQ(x.message.GetMember("DeliveryStatus").ToText(), "2");
     }},
    {"cancel_sm", kTrx, "{}", kAddressed, [](Exchange& x) { x.smpp.CancelMessage(x.message); },
     "cancel_sm: service_type=CMT|message_id=NPM-5|source_addr_ton=1|source_addr_npi=1|"
     "source_addr=4477|dest_addr_ton=2|dest_addr_npi=1|destination_addr=0612",
     "MessageCancelResult", "CancelResultCode=0",
     [](Exchange& x) {
       EXPECT_EQ(x.events.Named("MessageCancelResult")[0].message.SequenceNumber,
                 x.message.SequenceNumber);
     }},
    // A deliver_sm's callback number takes the source address's TON and NPI;
    // the peer's deliver_sm_resp is taken without complaint.
    {"our_deliver_sm", kTrx, "{}", kAddressed + "|ShortMessage=to the SMSC|CallbackNumber=5551",
     [](Exchange& x) {
       x.smpp.EnableTraceMessages(true);
       x.smpp.DeliverShortMessage(x.message);
     },
     "deliver_sm: service_type=CMT|source_addr=4477|destination_addr=0612|"
     "short_message.message=to the SMSC|protocol_id=52|callback_num.0.digit_mode=0|"
     "callback_num.0.ton=1|callback_num.0.npi=1|callback_num.0.number=5551",
     "", "",
     [](Exchange& x) {
       EXPECT_TRUE(PumpUntil(x.loop, [&] {
         for (const auto& trace : x.events.Named("TraceLog"))
           if (trace.text.starts_with("Received DELIVER_SM_RESP")) return true;
         return false;
       }));
       EXPECT_TRUE(x.events.Named("Error").empty());
     }},
    {"mobile_originated", kRx,
     R"({"send": [["deliver_sm", {"service_type": "WAP", "source_addr_ton": 1,
       "source_addr_npi": 1, "source_addr": "447700900001", "dest_addr_ton": 2, "dest_addr_npi": 8,
       "destination_addr": "12345", "priority_flag": 1, "data_coding": 3,
       "short_message": {"hex": "48e96c6c6f"}, "user_message_reference": 258, "source_port": 3000,
       "callback_num": [{"digit_mode": 0, "ton": 1, "npi": 1, "number": "55512"}]}]]})",
     "", None, "deliver_sm_resp: command_status=0|message_id=|matches_sent=yes", "MessageReceived",
     "ServiceType=WAP|SourceAddressTON=1|SourceAddressNPI=1|SourceAddress=447700900001|"
     "DestAddressTON=2|DestAddressNPI=8|DestAddress=12345|MessageType=0|Priority=1|DataCoding=3|"
     "ShortMessage=H\xE9llo|ShortMessageBytes=H\xE9llo|UserMessageReference=258|"
     "CallbackNumber=55512|CallbackNumberTON=1|CallbackNumberNPI=1",
     [](Exchange& x) {
       const MessageObject m = x.events.Named("MessageReceived")[0].message;
       EXPECT_TRUE(m.ShortMessageBytes.IsBytes());
       EXPECT_EQ(m.GetOptionalParamStringValue(0x020A), std::string("\x0B\xB8", 2));
       EXPECT_EQ(std::to_string(m.SequenceNumber), Field(x.record, "sequence_number"));
     }},
    {"delivery_receipt", kRx,
     R"({"send": [["deliver_sm", {"source_addr": "447700900001", "destination_addr": "4477",
       "esm_class": 4, "short_message": {"hex": "RECEIPT"}, "receipted_message_id": "NPM-7",
       "message_state": 2, "network_error_code": {"hex": "03002a"}}]]})",
     "", None, "deliver_sm_resp: command_status=0|matches_sent=yes", "MessageReceived",
     "MessageType=4|MessageState=2",
     [](Exchange& x) {
       const MessageObject m = x.events.Named("MessageReceived")[0].message;
       EXPECT_EQ(m.ShortMessage.Text(), kReceipt);
       EXPECT_EQ(m.GetOptionalParamStringValue(0x001E), std::string("NPM-7\0", 6));
       EXPECT_EQ(m.GetOptionalParamBytesValue(0x0423).Bytes(), (std::vector<uint8_t>{3, 0, 0x2A}));
     }},
    {"body_in_message_payload", kRx,
     R"({"send": [["deliver_sm", {"source_addr": "447700900002", "destination_addr": "4477",
       "data_coding": 8, "message_payload": {"hex": "0410041104120413"}}]]})",
     "", None, "deliver_sm_resp: command_status=0|matches_sent=yes", "MessageReceived",
     "DataCoding=8|ShortMessage=|Payload=\x04\x10\x04\x11\x04\x12\x04\x13"},
    // Latin-1 text, one octet a character; a tag the peer does not know
    // (0x1403) comes out as its octets.
    {"submit_sm", kTx, "{}",
     kAddressed +
         "|SourceAddress=4477009|MessageMode=3|Priority=2|RegisteredDelivery=1|ReplaceIfPresent=1|"
         "DataCoding=3|ValidityRelative=1|ValidityHours=48|ShortMessage=Caf\xE9 au lait|"
         "CallbackNumber=441234567|CallbackNumberTON=1|CallbackNumberNPI=1|UserMessageReference="
         "300",
     [](Exchange& x) {
       x.message.ScheduledDeliveryTime = DateTime(2027, 1, 2, 3, 4, 5);
       x.message.AddOptionalParamString(0x020A, std::string("\x0B\xB8", 2));
       x.message.AddOptionalParamString(0x1403, "abc");
       Send(x);
     },
     "submit_sm: service_type=CMT|source_addr_ton=1|source_addr_npi=1|source_addr=4477009|"
     "dest_addr_ton=2|dest_addr_npi=1|destination_addr=0612|esm_class=3|protocol_id=52|"
     "priority_flag=2|raw.validity_period=000000480000000R|registered_delivery=1|"
     "replace_if_present_flag=1|data_coding=3|sm_default_msg_id=0|"
     "short_message.message=Caf\xC3\xA9 au lait|callback_num.0.digit_mode=0|callback_num.0.ton=1|"
     "callback_num.0.npi=1|callback_num.0.number=441234567|user_message_reference=300|"
     "source_port=3000|5123=616263|message_payload.message=<none>",
     "MessageDelivered", "MessageID=NPM-1",
     [](Exchange& x) {
       EXPECT_EQ(x.message.MessageID, "NPM-1");
       EXPECT_EQ(Field(x.record, "raw.schedule_delivery_time"),
                 "2701020304050" + x.smpp.TimeZoneBias());
     }},
    // A long UCS-2 text with a surrogate pair at a part boundary, in parts
    // with a concatenation UDH and with SAR parameters.
    {"concatenated_parts", kTx, "{}", "DestAddress=1234",
     [](Exchange& x) {
       const std::string text = "\xd0\x9f" + std::string(65, 'a') + "\xf0\x9f\x98\x80 ok";
       for (const auto method : {text::SplitMethod::Udh8, text::SplitMethod::Sar}) {
         std::vector<MessageObject> parts =
             text::SplitText(text, {.method = method, .reference = 0x0102}, x.message);
         ASSERT_EQ(parts.size(), 2u);
         std::string joined;
         for (const char* n : {"1", "2"}) {
           EXPECT_FALSE(x.smpp.SendMessage(parts[*n - '1'], true).empty());
           const Values pdu = Decoded(x, "submit_sm");
           joined += pdu("short_message.message");
           // UDH: IEI 0, length 3, the reference's low octet, total, number.
           ExpectValues(pdu, method == text::SplitMethod::Udh8
                                 ? "data_coding=8|esm_class=64|short_message.udh.0=000302020" +
                                       std::string(n) + "|sar_msg_ref_num=<none>"
                                 : "data_coding=8|esm_class=0|sar_msg_ref_num=258|"
                                   "sar_total_segments=2|sar_segment_seqnum=" +
                                       std::string(n));
         }
         EXPECT_EQ(joined, text);
       }
     },
     "", "", ""},
    // Addresses go before distribution lists; "*99#" is not all digits: digit mode 1.
    {"submit_multi", kTx, "{}",
     "SourceAddress=4477|Payload=a payload|CallbackNumber=*99#|UserMessageReference=7",
     [](Exchange& x) {
       x.message.AddDistributionList("FRIENDS");
       x.message.AddRecipient(AddressTypeOfNumbers::tonInternational,
                              AddressNumberPlanIndicators::npiISDN, "447700900001");
       x.message.AddRecipient(AddressTypeOfNumbers::tonNational,
                              AddressNumberPlanIndicators::npiISDN, "0612");
       Send(x);
     },
     "submit_multi: source_addr=4477|dest_address.0.dest_addr_ton=1|"
     "dest_address.0.dest_addr_npi=1|dest_address.0.destination_addr=447700900001|"
     "dest_address.1.dest_addr_ton=2|dest_address.1.dest_addr_npi=1|"
     "dest_address.1.destination_addr=0612|dest_address.2.dl_name=FRIENDS|"
     "dest_address.3.dl_name=<none>|short_message.message=|message_payload.message=a payload|"
     "callback_num.0.digit_mode=1|callback_num.0.number=*99#|user_message_reference=7",
     "MessageDelivered", "MessageID=MULTI-1"},
    {"submit_multi_unsuccessful", kTx,
     R"({"answer": {"submit_multi": {"unsuccess_sme": [{"dest_addr_ton": 1, "dest_addr_npi": 1,
       "destination_addr": "447700900001", "error_status_code": 11}, {"dest_addr_ton": 2,
       "dest_addr_npi": 8, "destination_addr": "0612", "error_status_code": 69}]}}})",
     "ShortMessage=multi",
     [](Exchange& x) {
       x.message.AddRecipient(AddressTypeOfNumbers::tonInternational,
                              AddressNumberPlanIndicators::npiISDN, "447700900001");
       Send(x);
     },
     "submit_multi: short_message.message=multi", "MessageDelivered",
     "MessageID=MULTI-1|UnsuccessfulDeliveries=2|Recipients.Count=2",
     [](Exchange& x) {
       std::string recipients;
       const MessageObject answer = x.events.Named("MessageDelivered")[0].message;
       for (const Recipient& r : answer.Recipients)
         recipients += std::to_string(static_cast<int>(r.AddressTON)) + "/" +
                       std::to_string(static_cast<int>(r.AddressNPI)) + "/" + r.Address + "/" +
                       std::to_string(r.StatusCode) + " ";
       EXPECT_EQ(recipients, "1/1/447700900001/11 2/8/0612/69 ");
     }},
};

// The scenario with the values built in code.
std::string ScenarioOf(const Row& row) {
  std::string scenario = row.scenario;
  if (const auto at = scenario.find("RECEIPT"); at != std::string::npos)
    scenario.replace(at, 7, HexOf(kReceipt));
  return scenario;
}

class RoundTripTest : public ::testing::TestWithParam<Row> {};

TEST_P(RoundTripTest, PeerDecodesAndSessionRaises) {
  if (std::system("command -v node >/dev/null") != 0) GTEST_SKIP() << "node is not on PATH";
  ASSERT_TRUE(std::filesystem::exists(KORVANE_NPM_MODULES "/smpp/package.json"))
      << "npm smpp 0.5.1 is not installed (the npm_smpp_peer set-up test installs it)";
  const Row& row = GetParam();
  Exchange x(ScenarioOf(row));
  ASSERT_NE(x.peer.port, 0) << x.peer.transcript;
  const bool refused = std::string(row.scenario).find("command_status") != std::string::npos;
  if (refused) x.smpp.OperationsTimeout(1);  // a refused bind waits it out
  ASSERT_EQ(x.smpp.Bind(row.bind), refused ? 0 : static_cast<int16_t>(row.bind));
  // (The peer's own unbind may already have ended the session.)
  if (std::string(row.scenario).find("unbind") == std::string::npos) {
    EXPECT_EQ(x.smpp.ConnectedAndBound, !refused);
    EXPECT_EQ(x.events.Named("Bound").size(), refused ? 0u : 1u);
  }
  const char* bind = row.bind == kTx   ? "bind_transmitter"
                     : row.bind == kRx ? "bind_receiver"
                                       : "bind_transceiver";
  // A transmitter receives nothing: its bind carries no range.
  ExpectValues(Decoded(x, bind),
               "system_id=korvane|password=secret|system_type=VMA|interface_version=52|addr_ton=1|"
               "addr_npi=1|address_range=" +
                   std::string(row.bind == kTx ? "" : "^4477"));
  ForEachPair(row.message, [&](const std::string& member, const std::string& value) {
    x.message.PutMember(member, Variant(value));
  });
  row.act(x);
  if (const std::string decoded = row.decoded; !decoded.empty()) {
    const std::string command = decoded.substr(0, decoded.find(':'));
    if (command != bind) x.record = x.peer.Take(x.loop, "== received " + command);
    ASSERT_FALSE(x.record.empty()) << command << " not seen\n" << x.peer.transcript;
    ExpectValues(Decoded(x), decoded.substr(command.size() + 2));
    if (x.message.SequenceNumber != 0) {
      EXPECT_EQ(Field(x.record, "sequence_number"), std::to_string(x.message.SequenceNumber));
    }
  }
  if (const std::string event = row.event; !event.empty()) {
    const std::string name = event.substr(0, event.find(' '));
    ASSERT_TRUE(x.PumpUntilEvent(name)) << name << " not raised\n" << x.peer.transcript;
    const testing::RecordedEvent raised = x.events.Named(name)[0];
    if (name != event) {
      EXPECT_EQ(std::to_string(raised.number), event.substr(name.size() + 1));
    }
    ExpectValues(
        [&](const std::string& member) { return raised.message.GetMember(member).ToText(); },
        row.members);
  }
  if (row.check) row.check(x);
  if (HasFailure()) ADD_FAILURE() << x.peer.transcript;
}

INSTANTIATE_TEST_SUITE_P(Npm, RoundTripTest, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace korvane
