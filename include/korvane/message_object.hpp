// MessageObject: the record of one short message. It carries what a
// submission needs (addresses, flags, schedule, validity, body, callback
// number, optional parameters, recipients) and what the session learns about
// the message afterwards. A plain value: copy it to keep it. Not thread-safe;
// use it on one thread at a time.
//
// Who sets what. The host sets the fields a request sends: ServiceType, the
// source and destination addresses with their TONs and NPIs (or Recipients),
// MessageType, MessageMode, Priority, ScheduledDeliveryTime, the validity
// fields, ReplaceIfPresent, DataCoding, ShortMessage or Payload,
// RegisteredDelivery, the callback number fields, DefaultMsgId,
// UserMessageReference and TLVs; MessageID for QueryMessage and
// CancelMessage. ProtocolID is not sent: the session's ProtocolID is.
// The session writes into the host's object: SequenceNumber on every
// request it sends; CallbackNumber, cut to 15 characters, on a submission
// or delivery; MessageID when SendMessage waits for it; FinalDeliveryDate,
// DeliveryStatus and DeliveryErrorCode when QueryMessage waits.
// The objects the events carry are new ones the session fills from the PDU:
// MessageDelivered - MessageID, and for submit_multi UnsuccessfulDeliveries
// and Recipients with their StatusCode; MessageStatusReceived - MessageID,
// FinalDeliveryDate, DeliveryStatus, DeliveryErrorCode; MessageCancelResult
// - SequenceNumber, CancelResultCode; MessageReceived - the deliver_sm's
// fields (ServiceType, addresses, MessageType, ProtocolID, Priority,
// RegisteredDelivery, DataCoding, ShortMessage and ShortMessageBytes,
// Payload and PayloadBytes, UserMessageReference, the callback number,
// MessageState, SequenceNumber, other parameters as TLVs).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "korvane/date_time.hpp"
#include "korvane/enums.hpp"
#include "korvane/export.hpp"
#include "korvane/late_bound.hpp"
#include "korvane/records.hpp"
#include "korvane/variant.hpp"

namespace korvane {

class KORVANE_SMPP_API MessageObject : public LateBound {
 public:
  MessageObject() = default;

  // Plain fields, in the order of the interface.
  std::string ServiceType;
  std::string SourceAddress;
  AddressTypeOfNumbers SourceAddressTON{};
  AddressNumberPlanIndicators SourceAddressNPI{};
  std::string DestAddress;
  AddressTypeOfNumbers DestAddressTON{};
  AddressNumberPlanIndicators DestAddressNPI{};
  MessageTypes MessageType{};
  MessagingModes MessageMode{};
  MessageStates MessageState{};
  PriorityFlags Priority{};
  DateTime ScheduledDeliveryTime;
  bool ValidityRelative = false;
  int16_t ValiditySeconds = 0;
  int16_t ValidityHours = 0;
  bool ReplaceIfPresent = false;
  SMSDataCodingSchemes DataCoding{};
  Variant ShortMessage;
  RegisteredDeliveryTypes RegisteredDelivery{};
  int16_t ProtocolID = 0;
  int32_t SequenceNumber = 0;
  std::string MessageID;
  DateTime FinalDeliveryDate;
  MessageStates DeliveryStatus{};
  int16_t DeliveryErrorCode = 0;
  std::string CallbackNumber;
  AddressTypeOfNumbers CallbackNumberTON{};
  AddressNumberPlanIndicators CallbackNumberNPI{};
  int32_t CancelResultCode = 0;
  Variant ShortMessageBytes;
  Variant PayloadBytes;
  Variant Payload;
  int16_t UnsuccessfulDeliveries = 0;
  std::vector<Recipient> Recipients;
  std::vector<TLV> TLVs;
  // With AckAfterHandler on, the command_status of the deliver_sm_resp or
  // data_sm_resp that answers a received message: a MessageReceived handler
  // sets it (e.g. 0x00000064, ESME_RX_T_APPNACK, to have the SMSC deliver
  // the message again). 0 accepts it. Not sent in any request.
  uint32_t ResponseStatus = 0;

  // "Default Message ID. Use only if instructed." 0 to 255 is stored; any
  // other value stores 0.
  int16_t DefaultMsgId() const;
  void DefaultMsgId(int16_t value);

  // Decimal text of the stored reference. A numeric text whose value lies in
  // 0 to 65535 is stored; anything else stores 0.
  std::string UserMessageReference() const;
  void UserMessageReference(const std::string& value);

  // Stored as given. When not empty it overrides ValiditySeconds and
  // ValidityHours on submission.
  std::string ValidityPeriodString() const;
  void ValidityPeriodString(const std::string& value);

  // "Adds a phone number or address to the recipients list." Keeps the first
  // 21 characters of Address and clears DestAddress with its TON and NPI.
  // The 255th entry throws ComponentError 29928.
  void AddRecipient(AddressTypeOfNumbers AddressTON, AddressNumberPlanIndicators AddressNPI,
                    const std::string& Address);
  // "Adds a distribution list to the recipients of this message. "
  void AddDistributionList(const std::string& DistributionListName);
  // "Clears the recipient list." DestAddress is left as it is.
  void ClearRecipients();

  // Optional parameters, kept in list order; duplicate tags are allowed and
  // lookups take the first entry with the tag.
  void AddOptionalParamString(int32_t Tag, const std::string& TagValue);
  // Adds nothing unless TagValue holds an array of bytes.
  void AddOptionalParamByte(int32_t Tag, const Variant& TagValue);
  void ClearTLVs();
  std::string GetOptionalParamStringValue(int32_t Tag) const;
  // The first entry's value as bytes (an empty array for an empty value), or
  // an empty Variant when no entry has the tag.
  Variant GetOptionalParamBytesValue(int32_t Tag) const;
  // Replace the first entry with the tag by a new entry at the end of the
  // list; False, and nothing changes, when no entry has the tag.
  bool UpdateOptionalParamString(int32_t Tag, const std::string& TagValue);
  bool UpdateOptionalParamBytes(int32_t Tag, const Variant& TagValue);
  // Removes every entry with the tag; True when at least one was removed.
  bool RemoveTLV(int32_t Tag);

  // By-name access to the members above (dates excepted).
  Variant GetMember(const std::string& path) const override;
  void PutMember(const std::string& path, const Variant& value) override;

 private:
  int16_t default_msg_id_ = 0;
  int32_t user_message_reference_ = 0;
  std::string validity_period_string_;
};

}  // namespace korvane
