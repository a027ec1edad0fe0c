// Round trips against the npm `smpp` package as SMSC (peer_smsc.js), one
// row per peer: the session binds, acts and ends, then one transcript of
// what the peer decoded (its `key=value` lines), the events the session
// raised and what the host found is compared with the row's. The octets
// themselves are pinned by the encoder and decoder tests: a row shows the
// fields that prove the two sides agree on each PDU's layout. Skips where
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
    smpp->ReceiverAddressRange("^4477");
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
  void Send(MessageObject message) { EXPECT_FALSE(smpp->SendMessage(message, true).empty()); }

  FILE* pipe = nullptr;
  int port = 0;
  std::string transcript;  // the peer's output
  asio::io_context loop;
  testing::EventRecorder events;
  std::optional<SMPP> smpp;                 // ended before the peer's output is read
  std::map<std::string, std::string> host;  // what the host found
};

// One thing seen: a PDU the peer decoded ("<command>": its fields), an event
// ("<Name>[ <number>]": the members of its message), or "host": what the
// host found.
struct Seen {
  std::string head;
  std::map<std::string, std::string> fields;
  MessageObject message;

  std::string Value(const std::string& key) const {
    if (std::islower(head[0])) return fields.contains(key) ? fields.at(key) : "<none>";
    return message.GetMember(key).ToText();
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

const std::string kParts[] = {"\xd0\x9f" + std::string(65, 'a'), "\xf0\x9f\x98\x80 ok"};

const Row kRows[] = {
    // Requests of ours: a deliver_sm's callback number takes the source
    // address's TON and NPI; the peer's deliver_sm_resp is taken without
    // complaint; a queried message takes the answer's values; the peer
    // closes once it has answered the unbind.
    {"our_requests", BindTypes::SmppBindAsTransceiver, "{}",
     [](Exchange& x) {
       EXPECT_TRUE(x.smpp->EnquireLink());
       MessageObject m = MessageOf(
           "MessageID=NPM-5|SourceAddress=4477|SourceAddressTON=1|SourceAddressNPI=1|"
           "DestAddress=0612|ShortMessage=to the SMSC|CallbackNumber=5551");
       x.smpp->DeliverShortMessage(m);
       x.smpp->QueryMessage(m, true);
       x.host["final"] = m.FinalDeliveryDate.ToString();
       x.smpp->CancelMessage(m);
       x.smpp->Unbind();
     },
     "enquire_link\n"
     "deliver_sm: short_message.message=to the SMSC|callback_num.0.ton=1|callback_num.0.npi=1|"
     "callback_num.0.number=5551\n"
     "query_sm: message_id=NPM-5|source_addr=4477\n"
     "cancel_sm: message_id=NPM-5|destination_addr=0612\n"
     "unbind\nclosed\nLinkOk\n"
     "MessageStatusReceived: DeliveryStatus=2|DeliveryErrorCode=7\n"
     "MessageCancelResult: CancelResultCode=0\nUnBound\n"
     "host: final=2026-12-06 12:00:00|bound=0|Bound=1|Error=0"},
    // The peer's requests, each answered: three deliveries (Latin-1 text
    // with a callback number and a parameter, a receipt, a body in
    // message_payload), an enquire_link (the Warning "Server sent
    // EnquireLink") and an unbind (the Error "Invalid Data in UnBind
    // Segment"), after which it closes.
    {"peer_requests", BindTypes::SmppBindAsReceiver,
     R"({"send": [["deliver_sm", {"source_addr": "447700900001", "destination_addr": "12345",
       "data_coding": 3, "short_message": {"hex": "48e96c6c6f"}, "source_port": 3000,
       "callback_num": [{"digit_mode": 0, "ton": 1, "npi": 1, "number": "55512"}]}],
       ["deliver_sm", {"source_addr": "447700900001", "destination_addr": "4477",
       "esm_class": 4, "short_message": "id:NPM-7 stat:DELIVRD", "receipted_message_id": "NPM-7",
       "message_state": 2, "network_error_code": {"hex": "03002a"}}],
       ["deliver_sm", {"source_addr": "447700900002", "destination_addr": "4477",
       "data_coding": 8, "message_payload": {"hex": "0410041104120413"}}],
       ["enquire_link", {}], ["unbind", {}]]})",
     [](Exchange& x) {
       testing::PumpUntil(
           x.loop, [&] { return !x.events.Named("ConnectionClosed").empty(); },
           std::chrono::seconds(10));
     },
     "deliver_sm_resp: command_status=0|matches_sent=yes\n"
     "deliver_sm_resp: command_status=0|matches_sent=yes\n"
     "deliver_sm_resp: command_status=0|matches_sent=yes\n"
     "enquire_link_resp: matches_sent=yes\nunbind_resp: matches_sent=yes\n"
     "MessageReceived: SourceAddress=447700900001|DestAddress=12345|ShortMessage=H\xE9llo|"
     "CallbackNumber=55512|CallbackNumberTON=1|TLVs.Count=1\n"
     "MessageReceived: MessageType=4|MessageState=2|ShortMessage=id:NPM-7 stat:DELIVRD|"
     "TLVs.Count=2\n"
     "MessageReceived: DataCoding=8|Payload=\x04\x10\x04\x11\x04\x12\x04\x13\n"
     "Warning 28282\nError 29006\nConnectionClosed\nhost: bound=0|Bound=1|Error=1"},
    // Latin-1 text, one octet a character, with a tag the peer does not
    // know (0x1403). For submit_multi, addresses go before distribution
    // lists; "*99#" is not all digits: digit mode 1. A long UCS-2 text with
    // a surrogate pair at a part boundary, in parts with a concatenation
    // UDH (IEI 0, length 3, the reference's low octet, total, number) and
    // with SAR parameters.
    {"submissions", BindTypes::SmppBindAsTransmitter,
     R"({"answer": {"submit_multi": {"unsuccess_sme": [{"destination_addr": "4477009",
       "error_status_code": 11}]}}})",
     [](Exchange& x) {
       x.smpp->TimeZoneBias("04+");
       MessageObject m = MessageOf(
           "DestAddress=0612|DataCoding=3|ValidityRelative=1|"
           "ValidityHours=48|ShortMessage=Caf\xE9 au lait");
       m.ScheduledDeliveryTime = DateTime(2027, 1, 2, 3, 4, 5);
       m.AddOptionalParamString(0x1403, "abc");
       x.Send(m);
       m = MessageOf("SourceAddress=4477|Payload=a payload|CallbackNumber=*99#");
       m.AddDistributionList("FRIENDS");
       m.AddRecipient(AddressTypeOfNumbers::tonInternational, AddressNumberPlanIndicators::npiISDN,
                      "447700900001");
       x.Send(m);
       for (const auto method : {text::SplitMethod::Udh8, text::SplitMethod::Sar})
         for (MessageObject& part :
              text::SplitText(kParts[0] + kParts[1], {.method = method, .reference = 0x0102},
                              MessageOf("DestAddress=1234")))
           x.Send(part);
     },
     "submit_sm: raw.schedule_delivery_time=270102030405004+|"
     "raw.validity_period=000000480000000R|data_coding=3|"
     "short_message.message=Caf\xC3\xA9 au lait|5123=616263|message_payload.message=<none>\n"
     "submit_multi: dest_address.0.dest_addr_ton=1|dest_address.0.destination_addr=447700900001|"
     "dest_address.1.dl_name=FRIENDS|dest_address.2.dl_name=<none>|short_message.message=|"
     "message_payload.message=a payload|callback_num.0.digit_mode=1\n"
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
         "host: bound=1|Bound=1|Error=0"},
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
  const std::string expected = std::string("bind_") + kinds[static_cast<int>(row.bind)] +
                               ": system_id=korvane|address_range=" + (tx ? "" : "^4477") + "\n" +
                               row.expected + "\n";
  EXPECT_EQ(Observed(seen, expected), expected) << x.transcript;
}

INSTANTIATE_TEST_SUITE_P(Npm, RoundTripTest, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace korvane
