// The traffic of the end-to-end runs: the message every submitter sends, its
// submit_sm octets exactly as the library encodes them, and the deliver_sm
// the sink streams back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "korvane/enums.hpp"
#include "korvane/message_object.hpp"

namespace korvane::bench {

inline constexpr ProtocolIDs kProtocol = ProtocolIDs::SMPPv34;
inline constexpr const char* kSourceAddress = "KORVANE";
inline constexpr const char* kDestAddress = "447700900123";
inline constexpr const char* kText = "Benchmark message from KorvaneSMPP, 60 characters of text..";

MessageObject BenchMessage();

// The submit_sm of BenchMessage() with this sequence_number, built by the
// library's own encoder.
std::vector<uint8_t> EncodedSubmit(int32_t sequence_number);

// `count` submit_sm back to back, numbered from 1; all of one size.
std::vector<uint8_t> SubmitStream(std::size_t count);

// A mobile-originated deliver_sm with a short text (sequence_number 1).
std::vector<uint8_t> BenchDeliverSm();

}  // namespace korvane::bench
