// The two plain records of the interface. They are aggregates, so brace
// initialisation follows the field order below.
#pragma once

#include <cstdint>
#include <string>

#include "korvane/enums.hpp"

namespace korvane {

// One destination of a message: an SME address or a distribution list name.
struct Recipient {
  MultiDestAddressTypes DestAddressType;
  AddressTypeOfNumbers AddressTON;
  AddressNumberPlanIndicators AddressNPI;
  std::string Address;
  int16_t StatusCode;
};

// One optional parameter. TagValue holds the value one char per octet;
// TagLength is stored when the entry is made and sent as it stands.
struct TLV {
  int32_t Tag;
  int32_t TagLength;
  std::string TagValue;
};

}  // namespace korvane
