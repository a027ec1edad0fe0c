// Round trips against the npm `smpp` package as SMSC (peer_smsc.js), one
// row per peer: the session binds, acts and ends, then one transcript of
// what the peer decoded (its `key=value` lines), the events the session
// raised and what the host found is compared with the row's. Skips where
// node is absent.
#include <gtest/gtest.h>

#include <algorithm>
#include <asio/io_context.hpp>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "korvane/smpp.hpp"
#include "korvane/text.hpp"
#include "support/event_recorder.hpp"
#include "support/pump_until.hpp"

namespace korvane {
namespace {

// Calls `each` with the key and the value of every "key=value" of `pairs`,
// '|' between them.
void ForEachPair(const std::string& pairs,
                 const std::function<void(const std::string&, const std::string&)>& each) {
  std::istringstream in(pairs);
  for (std::string pair; std::getline(in, pair, '|');)
    each(pair.substr(0, pair.find('=')), pair.substr(pair.find('=') + 1));
}

MessageObject MessageOf(const std::string& members) {
  MessageObject message;
  ForEachPair(members, [&](const std::string& member, const std::string& value) {
    message.PutMember(member, Variant(value));
  });
  return message;
}

std::string HexOf(const std::string& octets) {
  std::string hex;
  for (const unsigned char octet : octets)
    hex += {"0123456789abcdef"[octet >> 4], "0123456789abcdef"[octet & 15]};
  return hex;
}

// The peer under node (for a minute at most; it ends with its connection)
// and a session bound to it.
struct Exchange {
  explicit Exchange(const std::string& scenario) {
    setenv("KORVANE_PEER", scenario.c_str(), 1);
    pipe = popen("NODE_PATH=" KORVANE_NPM_MODULES " timeout 60 node " KORVANE_PEER_SCRIPT " 2>&1",
                 "r");
    for (std::string line; port == 0 && ReadLine(line);)
      if (line.starts_with("port=")) port = std::stoi(line.substr(5));
    smpp.emplace(loop);
    smpp->Subscribe(events);
    smpp->SMPPServerAddress("127.0.0.1");
    smpp->SMPPServerPort(port);
    smpp->SystemID("korvane");
    smpp->Password(Variant("secret"));
    smpp->SystemType("VMA");
    smpp->AddressTON(AddressTypeOfNumbers::tonInternational);
    smpp->AddressNPI(AddressNumberPlanIndicators::npiISDN);
    smpp->ReceiverAddressRange("^4477");
    smpp->ProtocolID(ProtocolIDs::SMPPv34);
    smpp->TimeZoneBias("04+");
  }
  ~Exchange() {
    smpp.reset();
    if (pipe) pclose(pipe);
  }
  // The next line of the peer's output; false at the end.
  bool ReadLine(std::string& line) {
    char chunk[4096];
    if (!pipe || !fgets(chunk, sizeof chunk, pipe)) return false;
    line = chunk;
    if (line.ends_with('\n')) line.pop_back();
    transcript += "  peer: " + line + "\n";
    return true;
  }
  // Sends a message made of "Member=value|..." after `more` filled it in.
  void Send(const std::string& members, const std::function<void(MessageObject&)>& more = {}) {
    MessageObject message = MessageOf(members);
    if (more) more(message);
    EXPECT_FALSE(smpp->SendMessage(message, true).empty());
    host["sent"] += std::to_string(message.SequenceNumber) + " ";
  }

  FILE* pipe = nullptr;
  int port = 0;
  std::string transcript;  // the peer's output
  asio::io_context loop;
  testing::EventRecorder events;
  std::optional<SMPP> smpp;                 // ended before the peer's output is read
  std::map<std::string, std::string> host;  // what the host found
};

// One thing seen: a PDU the peer decoded ("<command>": its fields), an event
// ("<Name>[ <number>]": the members of its message, "tlv.<hex tag>" an
// optional parameter's octets), or "host": what the host found.
struct Seen {
  std::string head;
  std::map<std::string, std::string> fields;
  MessageObject message;

  std::string Value(const std::string& key) const {
    if (std::islower(head[0])) return fields.contains(key) ? fields.at(key) : "<none>";
    if (!key.starts_with("tlv.")) return message.GetMember(key).ToText();
    return HexOf(message.GetOptionalParamStringValue(std::stoi(key.substr(4), 0, 16)));
  }
};

// `expected`, lines of "<head>[: key=value|...]", with the values of the
// first thing seen with that head (each taken once) instead of the values
// written.
std::string Observed(std::vector<Seen>& seen, const std::string& expected) {
  std::istringstream lines(expected);
  std::string observed;
  for (std::string line; std::getline(lines, line);) {
    const std::string head = line.substr(0, line.find(':'));
    const auto at = std::ranges::find(seen, head, &Seen::head);
    if (at == seen.end()) {
      observed += head + " (not seen)\n";
      continue;
    }
    std::string values;
    if (line.size() > head.size())
      ForEachPair(line.substr(head.size() + 2), [&](const std::string& key, const std::string&) {
        values += (values.empty() ? ": " : "|") + key + "=" + at->Value(key);
      });
    observed += head + values + "\n";
    seen.erase(at);
  }
  return observed;
}

struct Row {
  const char* name;
  BindTypes bind;
  const char* scenario;  // the peer's (see peer_smsc.js)
  void (*act)(Exchange&);
  std::string expected;  // see Observed; after the line of the bind
};
void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

const std::string kAddressed =
    "MessageID=NPM-5|ServiceType=CMT|SourceAddress=4477|SourceAddressTON=1|SourceAddressNPI=1|"
    "DestAddress=0612|DestAddressTON=2|DestAddressNPI=1";
const std::string kParts[] = {"\xd0\x9f" + std::string(65, 'a'), "\xf0\x9f\x98\x80 ok"};

const Row kRows[] = {
    // Requests of ours: a deliver_sm's callback number takes the source
    // address's TON and NPI; the peer's deliver_sm_resp is taken without
    // complaint; a queried message takes the answer's values; the peer
    // closes once it has answered the unbind.
    {"our_requests", BindTypes::SmppBindAsTransceiver, "{}",
     [](Exchange& x) {
       EXPECT_TRUE(x.smpp->EnquireLink());
       MessageObject m = MessageOf(kAddressed + "|ShortMessage=to the SMSC|CallbackNumber=5551");
       x.smpp->DeliverShortMessage(m);
       x.host["sent"] = std::to_string(m.SequenceNumber);
       x.host["query"] = x.smpp->QueryMessage(m, true).ToText();
       x.host["sent"] += " " + std::to_string(m.SequenceNumber);
       x.host["final"] =
           m.FinalDeliveryDate.ToString() + " " + m.GetMember("DeliveryStatus").ToText();
       x.smpp->CancelMessage(m);
       x.smpp->Unbind();
     },
     "enquire_link: sequence_number=1\n"
     "deliver_sm: sequence_number=4|service_type=CMT|source_addr=4477|destination_addr=0612|"
     "short_message.message=to the SMSC|protocol_id=52|callback_num.0.ton=1|callback_num.0.npi=1|"
     "callback_num.0.number=5551\n"
     "query_sm: sequence_number=5|message_id=NPM-5|source_addr_ton=1|source_addr=4477\n"
     "cancel_sm: sequence_number=6|service_type=CMT|message_id=NPM-5|source_addr=4477|"
     "dest_addr_ton=2|destination_addr=0612\n"
     "unbind: sequence_number=7\nclosed\nLinkOk\n"
     "MessageStatusReceived: MessageID=NPM-5|DeliveryStatus=2|DeliveryErrorCode=7\n"
     "MessageCancelResult: SequenceNumber=6|CancelResultCode=0\nUnBound\n"
     "host: sent=4 5|query=|final=2026-12-06 12:00:00 2|bound=0|Bound=1|Error=0"},
    // The peer's requests, each answered: three deliveries (a mobile
    // originated message, a receipt, a body in message_payload), an
    // enquire_link (the Warning "Server sent EnquireLink") and an unbind
    // (the Error "Invalid Data in UnBind Segment"), after which it closes.
    {"peer_requests", BindTypes::SmppBindAsReceiver,
     R"({"send": [["deliver_sm", {"service_type": "WAP", "source_addr_ton": 1,
       "source_addr": "447700900001", "dest_addr_npi": 8, "destination_addr": "12345",
       "priority_flag": 1, "data_coding": 3, "short_message": {"hex": "48e96c6c6f"},
       "user_message_reference": 258, "source_port": 3000,
       "callback_num": [{"digit_mode": 0, "ton": 1, "npi": 1, "number": "55512"}]}],
       ["deliver_sm", {"source_addr": "447700900001", "destination_addr": "4477",
       "esm_class": 4, "short_message": "id:NPM-7 sub:001 dlvrd:001 submit date:2612061200 done)"
     R"( date:2612061201 stat:DELIVRD err:000 text:Hello", "receipted_message_id": "NPM-7",
       "message_state": 2, "network_error_code": {"hex": "03002a"}}],
       ["deliver_sm", {"source_addr": "447700900002", "destination_addr": "4477",
       "data_coding": 8, "message_payload": {"hex": "0410041104120413"}}],
       ["enquire_link", {}], ["unbind", {}]]})",
     [](Exchange& x) {
       testing::PumpUntil(
           x.loop, [&] { return !x.events.Named("ConnectionClosed").empty(); },
           std::chrono::seconds(10));
     },
     "deliver_sm_resp: sequence_number=1|command_status=0|message_id=|matches_sent=yes\n"
     "deliver_sm_resp: sequence_number=2|command_status=0|matches_sent=yes\n"
     "deliver_sm_resp: sequence_number=3|command_status=0|matches_sent=yes\n"
     "enquire_link_resp: sequence_number=4|command_status=0|matches_sent=yes\n"
     "unbind_resp: sequence_number=5|command_status=0|matches_sent=yes\n"
     "MessageReceived: SequenceNumber=1|ServiceType=WAP|SourceAddressTON=1|"
     "SourceAddress=447700900001|DestAddressNPI=8|DestAddress=12345|MessageType=0|Priority=1|"
     "DataCoding=3|ShortMessage=H\xE9llo|UserMessageReference=258|CallbackNumber=55512|"
     "CallbackNumberTON=1|tlv.020a=0bb8\n"
     "MessageReceived: SequenceNumber=2|MessageType=4|MessageState=2|"
     "ShortMessage=id:NPM-7 sub:001 dlvrd:001 submit date:2612061200 done date:2612061201 "
     "stat:DELIVRD err:000 text:Hello|tlv.001e=4e504d2d3700|tlv.0423=03002a\n"
     "MessageReceived: SequenceNumber=3|DataCoding=8|Payload=\x04\x10\x04\x11\x04\x12\x04\x13\n"
     "Warning 28282\nError 29006\nConnectionClosed\nhost: bound=0|Bound=1|Error=1"},
    // Latin-1 text, one octet a character; a tag the peer does not know
    // (0x1403) comes out as its octets. For submit_multi, addresses go
    // before distribution lists; "*99#" is not all digits: digit mode 1.
    // A long UCS-2 text with a surrogate pair at a part boundary, in parts
    // with a concatenation UDH (IEI 0, length 3, the reference's low octet,
    // total, number) and with SAR parameters.
    {"submissions", BindTypes::SmppBindAsTransmitter,
     R"({"answer": {"submit_multi": {"unsuccess_sme": [{"destination_addr": "4477009",
       "error_status_code": 11}]}}})",
     [](Exchange& x) {
       x.Send(kAddressed +
                  "|SourceAddress=4477009|MessageMode=3|Priority=2|RegisteredDelivery=1|"
                  "ReplaceIfPresent=1|DataCoding=3|ValidityRelative=1|ValidityHours=48|"
                  "ShortMessage=Caf\xE9 au lait|CallbackNumber=441234567|UserMessageReference=300",
              [](MessageObject& m) {
                m.ScheduledDeliveryTime = DateTime(2027, 1, 2, 3, 4, 5);
                m.AddOptionalParamString(0x020A, std::string("\x0B\xB8", 2));
                m.AddOptionalParamString(0x1403, "abc");
              });
       x.Send("SourceAddress=4477|Payload=a payload|CallbackNumber=*99#|UserMessageReference=7",
              [](MessageObject& m) {
                m.AddDistributionList("FRIENDS");
                m.AddRecipient(AddressTypeOfNumbers::tonInternational,
                               AddressNumberPlanIndicators::npiISDN, "447700900001");
              });
       for (const auto method : {text::SplitMethod::Udh8, text::SplitMethod::Sar})
         for (MessageObject& part :
              text::SplitText(kParts[0] + kParts[1], {.method = method, .reference = 0x0102},
                              MessageOf("DestAddress=1234")))
           EXPECT_FALSE(x.smpp->SendMessage(part, true).empty());
     },
     "submit_sm: sequence_number=4|service_type=CMT|source_addr_ton=1|source_addr_npi=1|"
     "source_addr=4477009|dest_addr_ton=2|dest_addr_npi=1|destination_addr=0612|esm_class=3|"
     "protocol_id=52|priority_flag=2|raw.schedule_delivery_time=270102030405004+|"
     "raw.validity_period=000000480000000R|registered_delivery=1|replace_if_present_flag=1|"
     "data_coding=3|short_message.message=Caf\xC3\xA9 au lait|callback_num.0.digit_mode=0|"
     "callback_num.0.number=441234567|user_message_reference=300|source_port=3000|"
     "5123=616263|message_payload.message=<none>\n"
     "submit_multi: sequence_number=5|source_addr=4477|dest_address.0.dest_addr_ton=1|"
     "dest_address.0.dest_addr_npi=1|dest_address.0.destination_addr=447700900001|"
     "dest_address.1.dl_name=FRIENDS|dest_address.2.dl_name=<none>|short_message.message=|"
     "message_payload.message=a payload|callback_num.0.digit_mode=1|user_message_reference=7\n"
     "MessageDelivered: MessageID=NPM-1\n"
     "MessageDelivered: MessageID=MULTI-2|UnsuccessfulDeliveries=1|Recipients.Count=1\n"
     "submit_sm: data_coding=8|esm_class=64|short_message.udh.0=0003020201|"
     "short_message.message=" +
         kParts[0] +
         "\n"
         "submit_sm: short_message.udh.0=0003020202|short_message.message=" +
         kParts[1] +
         "\n"
         "submit_sm: data_coding=8|esm_class=0|short_message.udh.0=<none>|sar_msg_ref_num=258|"
         "sar_total_segments=2|sar_segment_seqnum=1|short_message.message=" +
         kParts[0] +
         "\n"
         "submit_sm: sar_segment_seqnum=2|short_message.message=" +
         kParts[1] +
         "\n"
         "host: sent=4 5 |bound=1|Bound=1|Error=0"},
};

class RoundTripTest : public ::testing::TestWithParam<Row> {};

TEST_P(RoundTripTest, PeerDecodesAndSessionRaises) {
  if (std::system("command -v node >/dev/null") != 0) GTEST_SKIP() << "node is not on PATH";
  const Row& row = GetParam();
  Exchange x(row.scenario);
  ASSERT_NE(x.port, 0) << x.transcript;
  EXPECT_EQ(x.smpp->Bind(row.bind), static_cast<int16_t>(row.bind));
  row.act(x);
  x.host["bound"] = x.smpp->ConnectedAndBound ? "1" : "0";
  x.smpp.reset();  // unbinds when bound; the peer ends with the connection
  for (const char* name : {"Bound", "Error"})
    x.host[name] = std::to_string(x.events.Named(name).size());
  std::vector<Seen> seen;
  for (std::string line; x.ReadLine(line);) {
    if (line.starts_with("== ")) seen.push_back({line.substr(3), {}, {}});
    const std::size_t equals = line.find('=');
    if (!seen.empty() && equals != 0)
      seen.back().fields[line.substr(0, equals)] = line.substr(equals + 1);
  }
  for (const testing::RecordedEvent& e : x.events.events)
    seen.push_back({e.number ? e.name + " " + std::to_string(e.number) : e.name, {}, e.message});
  seen.push_back({"host", x.host, {}});
  // A transmitter receives nothing: its bind carries no range.
  const bool tx = row.bind == BindTypes::SmppBindAsTransmitter;
  const char* kinds[] = {"", "receiver", "transmitter", "transceiver"};
  const std::string expected =
      std::string("bind_") + kinds[static_cast<int>(row.bind)] +
      ": system_id=korvane|password=secret|system_type=VMA|interface_version=52|addr_ton=1|"
      "addr_npi=1|address_range=" +
      (tx ? "" : "^4477") + "\n" + row.expected + "\n";
  EXPECT_EQ(Observed(seen, expected), expected) << x.transcript;
}

INSTANTIATE_TEST_SUITE_P(Npm, RoundTripTest, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace korvane
