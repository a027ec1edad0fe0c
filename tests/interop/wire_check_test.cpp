// The wire check: a session in which the client sends every PDU it can send,
// captured on lo and dissected by tshark's SMPP dissector. No frame may be
// malformed or carry an expert error, and every command the client sends
// must be dissected as such.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "interop/interop_fixture.hpp"
#include "interop/tshark_capture.hpp"
#include "korvane/text.hpp"

namespace korvane {
namespace {

using testing::TsharkCapture;

const std::map<uint32_t, std::string> kClientCommands = {
    {0x00000001, "bind_receiver"},    {0x00000002, "bind_transmitter"},
    {0x00000009, "bind_transceiver"}, {0x00000004, "submit_sm"},
    {0x00000021, "submit_multi"},     {0x00000003, "query_sm"},
    {0x00000008, "cancel_sm"},        {0x00000005, "deliver_sm"},
    {0x00000015, "enquire_link"},     {0x80000015, "enquire_link_resp"},
    {0x80000005, "deliver_sm_resp"},  {0x00000006, "unbind"},
    {0x80000006, "unbind_resp"}};

class WireCheckTest : public testing::InteropFixture {
 protected:
  MessageObject Message(const std::string& destination) {
    MessageObject message = smpp.NewMessage();
    message.SourceAddress = "4477";
    message.DestAddress = destination;
    return message;
  }

  // As transmitter: every message operation, then our unbind.
  void TransmitterSession() {
    BindAs(BindTypes::SmppBindAsTransmitter, "bind_transmitter");
    MessageObject plain = Message("1234");
    plain.ShortMessage = Variant("plain");
    EXPECT_EQ(smpp.SendMessage(plain, true), "NPM-1");
    MessageObject payload = Message("1234");
    payload.Payload = Variant(std::string(400, 'x'));
    EXPECT_EQ(smpp.SendMessage(payload, true), "NPM-2");
    MessageObject tlvs = Message("1234");
    tlvs.ShortMessage = Variant("with TLVs");
    tlvs.CallbackNumber = "441234567";
    tlvs.UserMessageReference("300");
    tlvs.AddOptionalParamString(0x1403, "abc");
    EXPECT_EQ(smpp.SendMessage(tlvs, true), "NPM-3");
    MessageObject multi = Message("");
    multi.AddRecipient(AddressTypeOfNumbers::tonInternational, AddressNumberPlanIndicators::npiISDN,
                       "447700900001");
    multi.AddDistributionList("FRIENDS");
    multi.ShortMessage = Variant("multi");
    EXPECT_EQ(smpp.SendMessage(multi, true), "MULTI-4");
    // A long text in parts: 16-bit UDH in GSM 7-bit, SAR in UCS-2.
    text::SplitOptions split{text::Encoding::Auto, text::SplitMethod::Udh16, 0x0A0B, false};
    for (MessageObject& part :
         text::SplitText(std::string(170, 'g') + "{\xe2\x82\xac}", split, Message("1234")))
      EXPECT_FALSE(smpp.SendMessage(part, true).empty());
    split.method = text::SplitMethod::Sar;
    for (MessageObject& part :
         text::SplitText("\xd0\x9f" + std::string(80, 'u'), split, Message("1234")))
      EXPECT_FALSE(smpp.SendMessage(part, true).empty());
    smpp.QueryMessage(plain, true);
    EXPECT_EQ(plain.DeliveryStatus, MessageStates::Delivered);
    smpp.CancelMessage(plain);
    EXPECT_TRUE(PumpUntilEvent("MessageCancelResult"));
    MessageObject deliver = Message("1234");
    deliver.ShortMessage = Variant("deliver");
    smpp.DeliverShortMessage(deliver);
    EXPECT_TRUE(peer->WaitForReceived(loop, "deliver_sm"));
    EXPECT_TRUE(smpp.EnquireLink());
    EXPECT_TRUE(PumpUntilEvent("LinkOk"));
    smpp.Unbind();
    EXPECT_EQ(events.Named("UnBound").size(), 1u);
  }

  // As receiver: the peer delivers, enquires and unbinds; we answer each.
  void ReceiverSession() {
    BindAs(BindTypes::SmppBindAsReceiver, "bind_receiver");
    peer->Send("deliver_sm", R"({"source_addr":"447700900001","destination_addr":"4477",)"
                             R"("short_message":{"hex":"48656c6c6f"}})");
    EXPECT_TRUE(peer->WaitForReceived(loop, "deliver_sm_resp"));
    peer->Send("enquire_link");
    EXPECT_TRUE(peer->WaitForReceived(loop, "enquire_link_resp"));
    peer->Send("unbind");
    EXPECT_TRUE(peer->WaitForReceived(loop, "unbind_resp"));
    EXPECT_TRUE(PumpUntilEvent("ConnectionClosed"));
  }

  void TransceiverSession() {
    BindAs(BindTypes::SmppBindAsTransceiver, "bind_transceiver");
    smpp.Unbind();
    EXPECT_EQ(events.Named("UnBound").size(), 1u);
  }
};

TEST_F(WireCheckTest, TsharkDissectsEveryPduTheClientSends) {
  const std::string tshark = TsharkCapture::FindTshark();
  if (tshark.empty()) GTEST_SKIP() << "tshark not found: the wire check needs it on PATH";
  const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                     ("korvane-wire-" + std::to_string(getpid()) + ".pcapng");
  TsharkCapture capture(tshark, file.string());
  switch (capture.Begin(peer->Port())) {
    case TsharkCapture::Start::kCapturing:
      break;
    case TsharkCapture::Start::kNotPermitted:
      GTEST_SKIP() << "capturing on lo is not permitted here (needs root or CAP_NET_RAW):\n"
                   << capture.Output();
    case TsharkCapture::Start::kFailed:
      FAIL() << "tshark did not start capturing:\n" << capture.Output();
  }

  TransmitterSession();
  ReceiverSession();
  TransceiverSession();
  ASSERT_FALSE(HasFailure()) << Transcript();
  // The peer's unbind_resp to each of our two unbinds, and ours to its one.
  EXPECT_TRUE(capture.WaitForPackets("Unbind - resp", 3)) << capture.Output();
  ASSERT_TRUE(capture.End()) << "tshark did not stop:\n" << capture.Output();

  const testing::Dissection dissection = capture.Dissect();
  EXPECT_TRUE(dissection.problems.empty())
      << ::testing::PrintToString(dissection.problems) << "\n(capture kept in " << file << ")";
  std::set<uint32_t> sent;
  int client_pdus = 0;
  for (const testing::DissectedPdu& pdu : dissection.pdus) {
    if (!pdu.to_smsc) continue;
    sent.insert(pdu.command_id);
    ++client_pdus;
  }
  for (const auto& [id, name] : kClientCommands)
    EXPECT_TRUE(sent.count(id)) << name << " was not dissected\n" << capture.Output();
  EXPECT_EQ(sent.size(), kClientCommands.size()) << "commands the client should not send";
  std::cout << "tshark dissected " << dissection.tcp_frames << " TCP frames, "
            << dissection.pdus.size() << " SMPP PDUs (" << client_pdus << " from the client, "
            << sent.size() << " commands)\n";
  if (!HasFailure()) std::filesystem::remove(file);
}

}  // namespace
}  // namespace korvane
