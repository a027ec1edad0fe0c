// The named values that cross the component's boundary. Every enumeration is
// a 32-bit signed scope of its own; any other 32-bit value may be passed with
// static_cast and reaches the component unchanged.
#pragma once

#include <cstdint>

namespace korvane {

enum class BindTypes : int32_t {
  SmppBindAsReceiver = 1,
  SmppBindAsTransmitter = 2,
  SmppBindAsTransceiver = 3,
};

// Sent as the interface_version octet of the bind PDUs.
enum class ProtocolIDs : int32_t {
  Devault = 0,
  SMPPv33 = 51,
  SMPPv34 = 52,
};

enum class AddressTypeOfNumbers : int32_t {
  tonUnknown = 0,
  tonInternational = 1,
  tonNational = 2,
  tonNetSpecific = 3,
  tonSubscriberNumber = 4,
  tonAlphanumeric = 5,
  tonAbbreviated = 6,
};

enum class AddressNumberPlanIndicators : int32_t {
  npiUnknown = 0,
  npiISDN = 1,
  npiData = 3,
  npiTelex = 4,
  npiLandMobile = 6,
  npiNational = 8,
  npiPrivate = 9,
  npiERMES = 10,
  npiIP = 14,
  npiWAPClient = 18,
};

enum class SMSDataCodingSchemes : int32_t {
  dcsSMSCDefault = 0,
  dcsIA5ASCII = 1,
  dcs8BitBinaryA = 2,
  dcsLatin1 = 3,
  dcs8BitBinaryB = 4,
  dcsJIS = 5,
  dcsCyrillic = 6,
  dcsLatinHebrew = 7,
  dcsUCS2 = 8,
  dcsPictogramEncoding = 9,
  dcsMusicCodes = 10,
  dcsExtendedKanjiJIS = 13,
  dcsKSC5601 = 14,
  dcsFlashSMS = 16,
};

enum class PriorityFlags : int32_t {
  pfLowest = 0,
  pfNormal = 1,
  pfUrgent = 2,
  pfVeryUrgent = 3,
};

// Names of the standard service_type texts; a message's ServiceType is sent
// as the host gives it, never translated from these.
enum class ServiceTypes : int32_t {
  stDefault = 0,
  stCellMessaging = 1,
  stCellularPaging = 2,
  stVoiceMailNotification = 3,
  stVoiceMailAlert = 4,
  stWAP = 5,
  stUSSD = 6,
};

// esm_class type bits. The mixed esmc / escm prefixes are part of the
// interface.
enum class MessageTypes : int32_t {
  esmcDefault = 0,
  escmSMSCDeliveryReceipt = 4,
  escmSMEDeliveryAck = 8,
  escmSMEManualUserAck = 16,
  escmConversationAbortKoreanCDMA = 24,
  esmcIntermediateDeliveryNotification = 32,
  escmUDHI = 64,
  escmReplyPath = 128,
};

// esm_class messaging-mode bits.
enum class MessagingModes : int32_t {
  DefaultSMSC = 0,
  Datagram = 1,
  ForwardTransaction = 2,
  StoreAndForward = 3,
};

enum class RegisteredDeliveryTypes : int32_t {
  SMSCNotRequested = 0,
  SMSCOnSuccessOrFailure = 1,
  SMSCOnFailureOnly = 2,
  SMEDeliveryAckRequested = 4,
  SMEManualUserAckRequested = 8,
  IntermediateNotifRequested = 16,
};

enum class MessageStates : int32_t {
  Enroute = 1,
  Delivered = 2,
  Expired = 3,
  Deleted = 4,
  Undeliverable = 5,
  Accepted = 6,
  Unknown = 7,
};

// dest_flag of a submit_multi destination.
enum class MultiDestAddressTypes : int32_t {
  SME = 1,
  DistributionList = 2,
};

// The following enumerations name optional-parameter values for hosts; no
// property of the component is typed with them.
enum class AddressSubunit : int32_t {
  Unknown = 0,
  MSDisplay = 1,
  MobileEquipment = 2,
  SmartCard1 = 3,
  ExternalUnit1 = 4,
};

enum class MessageNetworkTypes : int32_t {
  Unknown = 0,
  GSM = 1,
  TDMA = 2,
  CDMA = 3,
  PDC = 4,
  PHS = 5,
  iDEN = 6,
  AMPS = 7,
  Paging = 8,
};

enum class MessageBearerTypes : int32_t {
  Unknown = 0,
  SMS = 1,
  CSD = 2,
  PacketData = 3,
  USSD = 4,
  CDPC = 5,
  DataTAC = 6,
  FLEXReFLEX = 7,
  Cellcast = 8,
};

enum class PrivacyIndicators : int32_t {
  NotRestricted = 0,
  Restricted = 1,
  Confidential = 2,
  Secret = 3,
};

enum class LanguageIndicators : int32_t {
  Unspecified = 0,
  English = 1,
  French = 2,
  Spanish = 3,
  German = 4,
  Portuguese = 5,
};

}  // namespace korvane
