// The simulator without sockets: its decisions over explicit time points
// (the throttle window, the seeded fault draws, the rebind guard, the count of
// duplicate texts, the latency option, the order delayed responses leave in),
// and its codec and receipts.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "smsc/fault_plan.hpp"
#include "smsc/message_store.hpp"
#include "smsc/pdus.hpp"
#include "smsc/rebind_guard.hpp"
#include "smsc/response_delay.hpp"
#include "smsc/throttle_window.hpp"
#include "support/test_util.hpp"

namespace korvane::smsc {
namespace {

using namespace std::chrono_literals;
using testing::ErrorNumberOf;
using testing::Hex;
using testing::HexText;
const std::chrono::steady_clock::time_point t0 = std::chrono::steady_clock::time_point{} + 1h;

// Per decision, '+' yes and '-' no: the throttle window admitting 3 in any
// second (at ms from t0); the rebind guard of 500 ms refusing "esme"
// dropped at 0 and again at 2 s, and neither "other" nor under a guard of 0; the count of duplicate
// texts kept ("" never counts); the --latency-ms option, MEAN[,JITTER] as
// mean * 1000 + jitter (-1: refused).
TEST(SmscDecisionsTest, FollowTheWindowsAndCounts) {
  ThrottleWindow window(3);
  std::string admitted;
  for (const int ms : {0, 0, 400, 400, 999, 1000, 1000, 1000, 1399, 1400, 1400, 5000})
    admitted += window.Admit(t0 + std::chrono::milliseconds(ms)) ? '+' : '-';
  EXPECT_EQ(admitted, "+++--++--+-+");

  RebindGuard guard(500ms), off(0ms);
  for (RebindGuard* dropped : {&guard, &off}) dropped->BindingDropped("esme", t0);
  std::string refused = off.Refuses("esme", t0) || guard.Refuses("other", t0) ? "+" : "-";
  for (const int ms : {0, 499, 500, 2000, 2499}) {
    if (ms == 2000) guard.BindingDropped("esme", t0 + 2s);
    refused += guard.Refuses("esme", t0 + std::chrono::milliseconds(ms)) ? '+' : '-';
  }
  EXPECT_EQ(refused, "-++-++");

  MessageStore store;
  std::string duplicates;
  for (StoredMessage message; const char* body : {"one", "two", "one", "", "", "one"}) {
    message.body = body;
    duplicates += (store.Add(message), std::to_string(store.Duplicates()));
  }
  EXPECT_EQ(duplicates, "001112");

  std::string parsed;
  for (const char* text : {"0", "20", "20,5", "", "-1", "20,", "20,5,1", "2x", "3600001"}) {
    const std::optional<Latency> latency = ParseLatency(text);
    parsed +=
        std::to_string(latency ? latency->mean.count() * 1000 + latency->jitter.count() : -1) + " ";
  }
  EXPECT_EQ(parsed, "0 20000 20005 -1 -1 -1 -1 -1 -1 ");
}

// Per submission: 'q' answered queue full, 'd' its answer dropped. At rate
// 1 every one is queue full, and those take no place under the throttle. The
// close after the bind falls due that long after it, or never.
TEST(SessionFaultsTest, DrawsFollowTheRatesAndRepeatWithTheSeedAndConnection) {
  const auto draws = [](const FaultOptions& options, uint32_t session) {
    SessionFaults faults(options, session);
    std::string drawn;
    for (int n = 0; n < 10000; ++n)
      drawn += (faults.SubmitStatus(t0) == kStatusQueueFull ? "q" : ".") +
               std::string(faults.DropAnswer() ? "d" : ".");
    return drawn;
  };
  const FaultOptions rates{.queue_full_rate = 0.1, .drop_rate = 0.25};
  const std::string drawn = draws(rates, 1);
  EXPECT_EQ(draws(rates, 1), drawn);
  EXPECT_NE(draws(rates, 2), drawn);
  EXPECT_NE(draws({.queue_full_rate = 0.1, .drop_rate = 0.25, .seed = 2}, 1), drawn);
  EXPECT_NEAR(std::count(drawn.begin(), drawn.end(), 'q'), 1000, 150);
  EXPECT_NEAR(std::count(drawn.begin(), drawn.end(), 'd'), 2500, 150);
  EXPECT_EQ(draws({}, 1).find_first_not_of('.'), std::string::npos);
  EXPECT_EQ(draws({.throttle_tps = 1, .queue_full_rate = 1, .drop_rate = 1}, 1).find('.'),
            std::string::npos);
  EXPECT_EQ(SessionFaults({.disconnect_after_bind = 20ms}, 1).DisconnectDue(t0), t0 + 20ms);
  EXPECT_FALSE(SessionFaults(rates, 1).DisconnectDue(t0));
}

TEST(ResponseLatencyTest, ResponsesLeaveInTheOrderOfTheirDueTimes) {
  DelayedResponses delayed({20ms, 5ms}, 1);
  for (int n = 0; n < 100; ++n) EXPECT_LE(delayed.Draw(), 25ms);
  const DelayedResponses::Clock::time_point t0{};
  delayed.Add(t0 + 30ms, {3});
  delayed.Add(t0 + 10ms, {1});
  delayed.Add(t0 + 30ms, {4});  // equal times: in the order added
  delayed.Add(t0 + 20ms, {2});
  delayed.Add(t0 + 5ms, {5}, /*last=*/true);  // behind every one waiting
  EXPECT_EQ(delayed.NextDue(), t0 + 10ms);
  EXPECT_EQ(delayed.TakeDue(t0 + 20ms), (std::vector<Octets>{{1}, {2}}));
  EXPECT_EQ(delayed.TakeDue(t0 + 60ms), (std::vector<Octets>{{3}, {4}, {5}}));
  EXPECT_TRUE(delayed.Empty());
}

// The receipt's text and deliver_sm byte for byte; submit_multi with both
// kinds of destination and message_payload; bodies running past their end
// (a TLV declaring 5 octets and bringing 1) throw and describe as malformed; responses; a long
// mobile-originated text travels as message_payload.
TEST(SmscPduTest, ReceiptsRequestsAndResponsesByteForByte) {
  const StoredMessage delivered{.id = "0000000007",
                                .system_id = "esme",
                                .source = {1, 1, "447700900123"},
                                .dest = {0, 0, "12345"},
                                .body = "Hello, this is a long text",
                                .registered_delivery = 1,
                                .state = kStateDelivered,
                                .submit_time = "240315123000004+",
                                .done_time = "240315123100004+"};
  const std::string text = ReceiptText(delivered);
  EXPECT_EQ(text,
            "id:0000000007 sub:001 dlvrd:001 submit date:2403151230 done date:2403151231 "
            "stat:DELIVRD err:000 text:Hello, this is a lon");
  EXPECT_EQ(HexText(DeliverSm(9, ReceiptOf(delivered))),
            "00 00 00 C0 00 00 00 05 00 00 00 00 00 00 00 09"  // header, sequence 9
            " 00"                                              // service_type
            " 00 00 31 32 33 34 35 00"                         // from the handset
            " 01 01 34 34 37 37 30 30 39 30 30 31 32 33 00"    // to the ESME
            " 04 00 00 00 00 00 00 00 00"  // esm_class 4, then zeros to sm_default_msg_id
            " 7A " +                       // sm_length 122
                HexText(testing::Octets(text)) +
                " 00 1E 00 0B 30 30 30 30 30 30 30 30 30 37 00"  // receipted_message_id
                " 04 27 00 01 02");                              // message_state DELIVERED
  const auto multi =
      Hex("00 00 00 3D 00 00 00 21 00 00 00 00 00 00 00 05 00 01 01 31 00 02"
          " 01 01 01 32 32 00 02 66 72 69 65 6E 64 73 00"  // SME "22", list "friends"
          " 00 00 00 00 00 01 00 00 00 00"                 // registered_delivery 1, sm_length 0
          " 04 24 00 05 48 65 6C 6C 6F 14 03 00 01 41");   // message_payload "Hello", one more
  EXPECT_EQ(Describe(multi),
            "submit_multi seq=5 from=\"1\" to=\"22,list:friends\" reg=1 text=\"Hello\"");
  const auto truncated_tlv =
      Hex("00 00 00 27 00 00 00 04 00 00 00 00 00 00 00 02 00 00 00 00 00 00 31 00"
          " 00 00 00 00 00 00 00 00 00 00 04 24 00 05 41");
  EXPECT_EQ(ErrorNumberOf([&] { ParseSubmitSm(truncated_tlv); }), 9);
  EXPECT_EQ(Describe(truncated_tlv), "submit_sm seq=2 (malformed)");
  EXPECT_EQ(HexText(QueryResp(3, "7", "", kStateEnroute, 0)),
            "00 00 00 15 80 00 00 03 00 00 00 00 00 00 00 03 37 00 00 01 00");
  EXPECT_EQ(HexText(SubmitMultiResp(4, "8")),
            "00 00 00 13 80 00 00 21 00 00 00 00 00 00 00 04 38 00 00");
  Submission mo;
  mo.dests.push_back({0, 0, "2"});
  mo.short_message = std::string(300, 'x');
  const Submission read = ParseSubmitSm(DeliverSm(1, mo));
  EXPECT_EQ(read.short_message + "|" + read.Body(), "|" + mo.short_message);
}

}  // namespace
}  // namespace korvane::smsc
