#include "interop/tshark_capture.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <csignal>
#include <cstdlib>
#include <sstream>

namespace korvane::testing {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using Clock = std::chrono::steady_clock;

// tshark starts in a second or two; the caps allow for a loaded machine.
constexpr auto kStartCap = seconds(30);
constexpr auto kStopCap = seconds(15);
constexpr auto kPacketCap = seconds(30);
constexpr auto kDissectCap = seconds(60);
// One line per frame: its number, TCP destination port, the SMPP command ids
// in it, the malformed marker and the expert severities.
constexpr const char* kDissectedFields[] = {"frame.number", "tcp.dstport", "smpp.command_id",
                                            "_ws.malformed", "_ws.expert.severity"};
// Expert severities at or above "error" (PI_ERROR).
constexpr long kExpertError = 0x00800000;

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> pieces;
  std::istringstream in(text);
  for (std::string piece; std::getline(in, piece, separator);) pieces.push_back(piece);
  if (!text.empty() && text.back() == separator) pieces.emplace_back();
  return pieces;
}

// Every line the child prints until it ends, or until `cap` passed.
std::vector<std::string> AllLines(ChildProcess& child, Clock::duration cap) {
  std::vector<std::string> lines;
  const auto deadline = Clock::now() + cap;
  while (!child.OutputEnded() && Clock::now() < deadline) {
    if (auto line = child.ReadLine(milliseconds(100))) lines.push_back(*line);
  }
  return lines;
}

// One UDP datagram to 127.0.0.1:`port`, which the capture filter also
// matches: seeing it in the capture shows that capturing has begun.
void SendUdpProbe(uint16_t port) {
  const int probe = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (probe < 0) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  static constexpr char kText[] = "probe";
  sendto(probe, kText, sizeof kText - 1, 0, reinterpret_cast<const sockaddr*>(&address),
         sizeof address);
  close(probe);
}

}  // namespace

std::string TsharkCapture::FindTshark() { return FindOnPath("tshark"); }

TsharkCapture::TsharkCapture(std::string tshark, std::string file)
    : tshark_(std::move(tshark)), file_(std::move(file)) {}

TsharkCapture::~TsharkCapture() {
  if (capture_) End();
}

TsharkCapture::Start TsharkCapture::Begin(uint16_t port) {
  port_ = port;
  capture_ = std::make_unique<ChildProcess>(
      std::vector<std::string>{tshark_, "-i", "lo", "-f", "port " + std::to_string(port), "-w",
                               file_, "-P", "-l", "-d",
                               "tcp.port==" + std::to_string(port) + ",smpp"},
      std::vector<std::string>{}, ChildProcess::Stderr::kIntoOutput);
  if (!capture_->Started()) return Start::kFailed;
  const auto deadline = Clock::now() + kStartCap;
  while (!capture_->OutputEnded() && Clock::now() < deadline) {
    const auto line = capture_->ReadLine(milliseconds(100));
    if (!line) continue;
    output_ += *line + "\n";
    if (Contains(*line, "Capturing on")) return AwaitProbe() ? Start::kCapturing : Start::kFailed;
  }
  for (auto line : AllLines(*capture_, seconds(1))) output_ += line + "\n";
  capture_.reset();
  const bool refused = Contains(output_, "permission") || Contains(output_, "not permitted");
  return refused ? Start::kNotPermitted : Start::kFailed;
}

// tshark says it captures a little before packets are really taken: UDP
// probes go out until one shows up among the packet summaries.
bool TsharkCapture::AwaitProbe() {
  const auto deadline = Clock::now() + kStartCap;
  while (!capture_->OutputEnded() && Clock::now() < deadline) {
    SendUdpProbe(port_);
    const auto probe_deadline = Clock::now() + milliseconds(200);
    while (Clock::now() < probe_deadline) {
      const auto line = capture_->ReadLine(milliseconds(50));
      if (!line) continue;
      output_ += *line + "\n";
      if (Contains(*line, "UDP")) return true;
    }
  }
  return false;
}

bool TsharkCapture::WaitForPackets(const std::string& text, int count) {
  const auto seen = [&] {
    int found = 0;
    for (std::size_t at = output_.find(text); at != std::string::npos;
         at = output_.find(text, at + text.size()))
      ++found;
    return found >= count;
  };
  const auto deadline = Clock::now() + kPacketCap;
  while (capture_ && !seen() && !capture_->OutputEnded() && Clock::now() < deadline) {
    if (auto line = capture_->ReadLine(milliseconds(100))) output_ += *line + "\n";
  }
  return seen();
}

bool TsharkCapture::End() {
  if (!capture_) return false;
  // SIGINT lets tshark write out what it captured and close the file.
  auto status = capture_->Stop(SIGINT, kStopCap);
  for (auto line : AllLines(*capture_, seconds(1))) output_ += line + "\n";
  capture_.reset();
  return status.has_value();
}

Dissection TsharkCapture::Dissect() const {
  const std::string port = std::to_string(port_);
  std::vector<std::string> command = {tshark_, "-r", file_, "-d", "tcp.port==" + port + ",smpp"};
  for (const char* option : {"-T", "fields", "-E", "separator=/t", "-E", "occurrence=a"})
    command.push_back(option);
  for (const char* field : kDissectedFields) {
    command.push_back("-e");
    command.push_back(field);
  }
  ChildProcess dissector(command, {}, ChildProcess::Stderr::kIntoOutput);
  Dissection dissection;
  for (const std::string& line : AllLines(dissector, kDissectCap)) {
    const std::vector<std::string> fields = Split(line, '\t');
    if (fields.size() != 5 || fields[0].empty() || !std::isdigit(fields[0][0])) {
      output_ += line + "\n";  // tshark's own remarks
      continue;
    }
    if (!fields[1].empty()) ++dissection.tcp_frames;  // not a UDP probe
    const int frame = std::atoi(fields[0].c_str());
    const bool to_smsc = fields[1] == port;
    for (const std::string& id : Split(fields[2], ',')) {
      if (!id.empty())
        dissection.pdus.push_back(
            {frame, static_cast<uint32_t>(std::stoul(id, nullptr, 16)), to_smsc});
    }
    if (!fields[3].empty()) dissection.problems.push_back("frame " + fields[0] + ": " + fields[3]);
    for (const std::string& severity : Split(fields[4], ',')) {
      if (!severity.empty() && std::stol(severity) >= kExpertError)
        dissection.problems.push_back("frame " + fields[0] + ": expert error " + severity);
    }
  }
  if (!dissector.OutputEnded()) dissection.problems.push_back("tshark -r did not finish");
  return dissection;
}

}  // namespace korvane::testing
