// tshark for the wire check: captures the TCP traffic of one port on lo into
// a file, then dissects that file with the port decoded as SMPP. Every wait
// is capped; a capture still running at destruction is ended.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "interop/child_process.hpp"

namespace korvane::testing {

// One SMPP PDU as tshark dissected it.
struct DissectedPdu {
  int frame = 0;
  uint32_t command_id = 0;
  bool to_smsc = false;  // sent to the captured port
};

struct Dissection {
  std::vector<DissectedPdu> pdus;
  int tcp_frames = 0;                 // frames of the captured TCP port
  std::vector<std::string> problems;  // malformed frames, expert errors
};

class TsharkCapture {
 public:
  // tshark on PATH, or the empty text.
  static std::string FindTshark();

  TsharkCapture(std::string tshark, std::string file);
  ~TsharkCapture();
  TsharkCapture(const TsharkCapture&) = delete;
  TsharkCapture& operator=(const TsharkCapture&) = delete;

  enum class Start { kCapturing, kNotPermitted, kFailed };
  // Starts capturing on lo for `port` (TCP, and the UDP probes that show
  // when capturing has begun) and returns once the capture takes packets;
  // Output() holds what tshark printed.
  Start Begin(uint16_t port);
  // Packets reach the file in blocks, up to a second or so late: waits until
  // `count` packet summaries containing `text` were printed, which shows
  // that the file holds everything up to them.
  bool WaitForPackets(const std::string& text, int count);
  // Ends the capture (SIGINT) and waits for the file to be complete.
  bool End();
  // Dissects the file; what tshark printed besides the fields goes to
  // Output().
  Dissection Dissect() const;
  const std::string& Output() const { return output_; }

 private:
  bool AwaitProbe();

  std::string tshark_;
  std::string file_;
  uint16_t port_ = 0;
  std::unique_ptr<ChildProcess> capture_;
  mutable std::string output_;
};

}  // namespace korvane::testing
