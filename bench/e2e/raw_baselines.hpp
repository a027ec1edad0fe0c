// The physical limits: clients made of plain blocking system calls that
// send and read exactly the octets the library would, against the same sink.
// Each returns its count, wall time and the processor time of its own
// threads; the caller adds the sink's time and the memory peak.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "e2e/measure.hpp"

namespace korvane::bench {

// Writes `count` pre-encoded submit_sm of `pdu_size` octets from `stream`,
// one send() per PDU or one per 64 KiB, while a second thread reads the
// responses in 64 KiB blocks; timed until the last submit_sm_resp is read.
Sample RawSubmit(uint16_t port, std::span<const uint8_t> stream, std::size_t pdu_size,
                 std::size_t count, bool batched);

// `count` round trips: one submit_sm written, then read until its response
// is whole.
Sample RawPingPong(uint16_t port, std::size_t count);

// Sends enquire_link to start the sink's deliver_sm stream and reads it in
// 64 KiB blocks until `count` deliver_sm arrived, answering each with a
// deliver_sm_resp: one send() per response, or one per block read.
Sample RawReception(uint16_t port, std::size_t count, bool batched);

}  // namespace korvane::bench
