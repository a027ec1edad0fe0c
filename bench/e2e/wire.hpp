// Octet-level helpers shared by the sink SMSC and the raw-socket baselines:
// header fields, building a PDU, cutting whole PDUs out of a byte stream, and
// the blocking loopback socket calls the baselines make.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace korvane::bench {

inline constexpr std::size_t kHeaderLength = 16;
inline constexpr uint32_t kBindTransceiver = 0x00000009;
inline constexpr uint32_t kSubmitSm = 0x00000004;
inline constexpr uint32_t kSubmitSmResp = 0x80000004;
inline constexpr uint32_t kDeliverSm = 0x00000005;
inline constexpr uint32_t kDeliverSmResp = 0x80000005;
inline constexpr uint32_t kUnbind = 0x00000006;
inline constexpr uint32_t kEnquireLink = 0x00000015;
inline constexpr uint32_t kGenericNack = 0x80000000;
inline constexpr uint32_t kResponseBit = 0x80000000;

uint32_t Read32(const uint8_t* at);
void Write32(uint8_t* at, uint32_t value);
void Append32(std::vector<uint8_t>& out, uint32_t value);

inline uint32_t CommandIdOf(std::span<const uint8_t> pdu) { return Read32(pdu.data() + 4); }
inline uint32_t SequenceOf(std::span<const uint8_t> pdu) { return Read32(pdu.data() + 12); }

// Appends one PDU: the header with command_length computed, then `body`.
void AppendPdu(std::vector<uint8_t>& out, uint32_t command_id, uint32_t status, uint32_t sequence,
               std::span<const uint8_t> body = {});
std::vector<uint8_t> MakePdu(uint32_t command_id, uint32_t status, uint32_t sequence,
                             std::span<const uint8_t> body = {});
std::span<const uint8_t> AsOctets(std::string_view text);

// Cuts whole PDUs from the front of a growing buffer. Feed appends what was
// read; Next hands out the next whole PDU until none is left; the octets of
// an incomplete PDU stay for the next Feed.
class StreamCutter {
 public:
  void Feed(std::span<const uint8_t> octets);
  // The next whole PDU, valid until the next Feed; empty when none is whole.
  std::span<const uint8_t> Next();
  // Room for a read straight into the buffer; Commit makes `size` of it data.
  std::span<uint8_t> Room(std::size_t at_least);
  void Commit(std::size_t size);

 private:
  void Compact();

  std::vector<uint8_t> buffer_;
  std::size_t begin_ = 0;  // first octet not yet handed out
  std::size_t end_ = 0;    // one past the last octet received
};

// Blocking TCP client on 127.0.0.1 with TCP_NODELAY; -1 on failure.
int ConnectLoopback(uint16_t port);
// A blocking read that waits longer than this fails instead of hanging a run.
void SetReceiveTimeout(int fd, int seconds);
// Writes every octet (one call unless the kernel takes less); false on error.
bool WriteAll(int fd, std::span<const uint8_t> octets);

}  // namespace korvane::bench
