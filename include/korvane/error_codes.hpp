// The numbers of every error and warning the component raises: as the
// number of the Error and Warning events, and as ComponentError::Number().
// Compare them with `static_cast<int32_t>(ErrorCode::NotBound)` or
// `IsError(number, ErrorCode::NotBound)`.
#pragma once

#include <cstdint>

namespace korvane {

enum class ErrorCode : int32_t {
  // Raised as the platform itself would raise them.
  InvalidProcedureCall = 5,  // a value that is not a calendar date, a NUL in a text field, ...
  Overflow = 6,              // a value that does not fit its field
  OutOfMemory = 7,
  SubscriptOutOfRange = 9,     // a field that runs past the end of a received PDU
  TypeMismatch = 13,           // a value of the wrong kind, a bad hexadecimal piece
  InvalidPropertyValue = 380,  // a local port outside 0..65535
  MemberNotSupported = 438,    // an unknown member name of a late-bound object

  // The session's own errors.
  InvalidBindingType = 20390,         // Bind with a type other than 1, 2 or 3
  InvalidAddressRangeLength = 22342,  // ReceiverAddressRange over 41 characters
  // A refusal from the SMSC: StatusBase + the low octet of command_status
  // for a status the component knows (27001 to 27098), UnknownStatus for
  // any other.
  StatusBase = 27000,
  UnknownStatus = 28000,
  ServerEnquireLink = 28282,  // Warning: the SMSC sent its own enquire_link
  NoDestination = 28733,      // neither DestAddress nor recipients
  GenericNack = 29000,        // Warning: generic_nack received
  InvalidBindReceiverResp = 29001,
  InvalidBindTransmitterResp = 29002,
  InvalidQuerySmResp = 29003,
  InvalidSubmitSmResp = 29004,
  // A refused deliver_sm_resp (Error), or a deliver_sm whose short message
  // is shorter than its sm_length (Warning).
  DeliverSmFault = 29005,
  InvalidUnbind = 29006,
  InvalidCancelSmResp = 29008,
  InvalidBindTransceiverResp = 29009,
  InvalidSubmitMultiResp = 29033,
  TooManyRecipients = 29928,     // a 255th recipient
  SendNotConnected = 29983,      // a PDU to send without a connection
  InvalidCommandLength = 29984,  // a received command_length that breaks the stream
  OutputQueueFull = 29985,       // a request refused: MaxOutputBytes are waiting to be sent
  NotBound = 98821,
  BoundAsReceiver = 98822,  // QueryMessage while bound as receiver

  // The connection's errors, numbered as Winsock numbers them (source
  // "Winsock"). UnmappedSocketError stands for a failure without a Winsock
  // counterpart; the other numbers of 10004 to 10109 that the system reports
  // arrive as they are.
  UnmappedSocketError = 10000,
  ConnectionAborted = 10053,  // a Warning: the connection was closed
  ConnectionReset = 10054,
  TimedOut = 10060,
  ConnectionRefused = 10061,
  HostNotFound = 11001,
  HostNotFoundTryAgain = 11002,
  NoRecovery = 11003,
  NoData = 11004,
  WrongSocketState = 40006,
};

// True when an event's or a ComponentError's number is `code`.
constexpr bool IsError(int32_t number, ErrorCode code) {
  return number == static_cast<int32_t>(code);
}

}  // namespace korvane
