// The simulator's engine over loopback TCP, driven by the real client
// library, and the program itself.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "korvane/smpp.hpp"
#include "korvane/text.hpp"
#include "smsc/engine.hpp"
#include "smsc_fixture.hpp"
#include "support/event_recorder.hpp"
#include "support/pump_until.hpp"

namespace korvane::smsc {
namespace {

using namespace std::chrono_literals;

MessageObject TextTo(const std::string& dest, const std::string& text, bool receipt) {
  MessageObject message;
  message.SourceAddress = "447700900123";
  message.DestAddress = dest;
  message.ShortMessage = text;
  if (receipt) message.RegisteredDelivery = RegisteredDeliveryTypes::SMSCOnSuccessOrFailure;
  return message;
}

TEST_F(SmscEngineTest, BindsAreCheckedAgainstTheConfiguredCredentials) {
  Start({.system_id = "esme", .password = "secret"});
  EXPECT_EQ(NewClient("esme", "secret").smpp.Bind(BindTypes::SmppBindAsTransceiver), 3);
  // A refused bind is raised as Error 27000 + command_status.
  Client& wrong_password = NewClient("esme", "wrong");
  Client& wrong_system_id = NewClient("other", "secret");
  for (Client* client : {&wrong_password, &wrong_system_id}) client->smpp.OperationsTimeout(1);
  EXPECT_EQ(wrong_password.smpp.Bind(BindTypes::SmppBindAsTransmitter), 0);
  EXPECT_EQ(wrong_password.events.Named("Error").at(0).number, 27000 + 0x0E);
  EXPECT_EQ(wrong_system_id.smpp.Bind(BindTypes::SmppBindAsReceiver), 0);
  EXPECT_EQ(wrong_system_id.events.Named("Error").at(0).number, 27000 + 0x0F);
}

TEST_F(SmscEngineTest, ReceiptReturnsToTheSubmittingTransceiver) {
  Start({.receipt_delay = 10ms});
  Client& client = BoundClient(BindTypes::SmppBindAsTransceiver);
  MessageObject message = TextTo("12345", "Hello from the test", true);
  const std::string id = client.smpp.SendMessage(message, true);
  EXPECT_EQ(id, "0000000001");

  ASSERT_TRUE(PumpUntilEvents(client, "MessageReceived"));
  const MessageObject receipt = client.events.Named("MessageReceived")[0].message;
  EXPECT_EQ(receipt.MessageType, MessageTypes::escmSMSCDeliveryReceipt);
  EXPECT_EQ(receipt.GetOptionalParamStringValue(0x001E), id + '\0');
  EXPECT_EQ(receipt.MessageState, MessageStates::Delivered);
  EXPECT_EQ(receipt.SourceAddress, "12345");
  EXPECT_EQ(receipt.DestAddress, "447700900123");
  const std::string text = receipt.ShortMessage.Text();
  EXPECT_EQ(text.rfind("id:0000000001 sub:001 dlvrd:001 submit date:", 0), 0u) << text;
  EXPECT_NE(text.find(" stat:DELIVRD err:000 text:Hello from the test"), std::string::npos);
}

TEST_F(SmscEngineTest, CancelDeletesAMessageEnRouteOnce) {
  Start({.receipt_delay = 60s});
  Client& client = BoundClient(BindTypes::SmppBindAsTransceiver);
  MessageObject message = TextTo("12345", "Never mind", true);
  ASSERT_FALSE(client.smpp.SendMessage(message, true).empty());
  client.smpp.CancelMessage(message);
  ASSERT_TRUE(PumpUntilEvents(client, "MessageCancelResult"));
  EXPECT_EQ(client.events.Named("MessageCancelResult")[0].message.CancelResultCode, 0);
  client.smpp.CancelMessage(message);  // refused: ESME_RCANCELFAIL, raised as Error
  ASSERT_TRUE(PumpUntilEvents(client, "Error"));
  EXPECT_EQ(client.events.Named("Error")[0].number, 27000 + 0x11);
  client.smpp.QueryMessage(message, true);
  EXPECT_EQ(message.DeliveryStatus, MessageStates::Deleted);
}

TEST_F(SmscEngineTest, MobileOriginatedMessagesReachReceivers) {
  Start({.mo_on_bind = {{"447700900001", "12345", "Hello on bind"}}});
  // Sent before anyone can receive (it runs on the engine's loop before the
  // connections): it waits for the next receiver.
  smsc->Engine().SendMo({"447700900002", "12345", "Hello from a phone"});
  Client& transmitter = BoundClient(BindTypes::SmppBindAsTransmitter);
  Client& receiver = BoundClient(BindTypes::SmppBindAsReceiver);
  ASSERT_TRUE(PumpUntilEvents(receiver, "MessageReceived", 2));
  // A long text comes in concatenated parts, a non-Latin one in UCS-2.
  smsc->Engine().SendMo({"447700900003", "12345", std::string(300, 'x')});
  smsc->Engine().SendMo({"447700900004", "12345", "\xd0\x9f\xd1\x80\xd0\xb8"});
  ASSERT_TRUE(PumpUntilEvents(receiver, "MessageReceived", 5));

  const auto received = receiver.events.Named("MessageReceived");
  EXPECT_EQ(received[0].message.ShortMessage.Text(), "Hello on bind");
  EXPECT_EQ(received[1].message.SourceAddress, "447700900002");
  EXPECT_EQ(received[1].message.DestAddress, "12345");
  EXPECT_EQ(received[1].message.ShortMessage.Text(), "Hello from a phone");
  EXPECT_EQ(received[1].message.MessageType, MessageTypes{});
  text::Reassembler reassembler;
  EXPECT_TRUE(reassembler.Add(received[2].message, {}).empty());
  const auto whole = reassembler.Add(received[3].message, {});
  ASSERT_EQ(whole.size(), 1u);
  EXPECT_EQ(whole[0].text, std::string(300, 'x'));
  EXPECT_EQ(received[4].message.DataCoding, SMSDataCodingSchemes::dcsUCS2);
  EXPECT_EQ(text::TextOf(received[4].message), "\xd0\x9f\xd1\x80\xd0\xb8");
  EXPECT_TRUE(transmitter.events.Named("MessageReceived").empty());
}

// The program: its first line names the port, --mo reaches a receiver, and
// it exits with 0 after the requested unbind.
TEST(SmscProgramTest, ListensPrintsThePortAndExitsAfterTheUnbind) {
  FILE* program = popen("timeout 20 " KORVANE_SMSC_BINARY
                        " --port 0 --quiet --exit-after-unbinds 1 --mo 'Hi there'",
                        "r");
  ASSERT_NE(program, nullptr);
  char line[128] = {};
  ASSERT_NE(std::fgets(line, sizeof line, program), nullptr);
  const std::string text = line;
  const std::string prefix = "korvane-smsc listening on 127.0.0.1:";
  ASSERT_EQ(text.rfind(prefix, 0), 0u) << text;
  {
    asio::io_context loop;
    Client client(loop, static_cast<uint16_t>(std::stoi(text.substr(prefix.size()))), "esme", "");
    EXPECT_EQ(client.smpp.Bind(BindTypes::SmppBindAsReceiver), 1);
    ASSERT_TRUE(testing::PumpUntil(
        loop, [&] { return !client.events.Named("MessageReceived").empty(); }, 3s));
    EXPECT_EQ(client.events.Named("MessageReceived")[0].message.ShortMessage.Text(), "Hi there");
    client.smpp.Unbind();
  }
  EXPECT_EQ(pclose(program), 0);
}

}  // namespace
}  // namespace korvane::smsc
